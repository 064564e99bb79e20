// A part program rewritten by the subroutine pass without being held whole,
// in two reads of the file. A run does, in this order:
//   1. PlanProgram: the first read (driver/rewrite/program_plan.h), the plan;
//   2. RewriteProgram: the question, if the plan asks it (No saves nothing);
//   3. the second pass, worked out on the plan, silently (nc/second_pass.h);
//   4. the save begun (driver/file_access/program_save.h), unless nothing
//      will be saved;
//   5. the stream (driver/rewrite/stream_lines.h): the second read, every
//      line through to the save, the first pass's messages in line order;
//   6. the first pass's failure; the second pass's messages and failure;
//   7. the save completed: a create or write failure, or the new content
//      renamed over the program (or put beside it, in test mode).
// Memory stays within a few windows whatever the size of the file.
//
// The file must be the same for both reads: a file that changes while the
// plan is made fails as a whole read does; one that changes after, or while
// the stream reads it, fails the save ("Changed since it was read"), the
// program untouched.
#pragma once

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "driver/file_access/file_replacement.h"
#include "driver/file_access/path_texts.h"
#include "driver/file_access/program_save.h"
#include "driver/file_access/system_error_text.h"
#include "driver/program_text/program_text_rules.h"
#include "driver/rewrite/program_plan.h"
#include "driver/rewrite/stream_lines.h"
#include "nc/second_pass.h"
#include "nc/subroutine_rules.h"
#include "tools/build_policy.h"
#include "tools/dialogs.h"
#include "tools/failure.h"

namespace orvalen {

// The subroutine pass over the planned program, then its new content saved
// over `path` (`over_program`) or to `path` beside it, which must not lead
// to the program. Gives the number of subroutines, 0 when nothing was saved.
template <BuildPolicy Build>
std::int32_t RewriteProgram(const PlannedProgram<Build>& planned, Dialogs<Build>& dialogs,
                            const std::string& path, bool over_program,
                            const RewriteSettings& settings = {}) {
  using Rules = ProgramTextRules<Build>;
  const SubroutinePlan<Build>& plan = planned.plan;
  const PassWords<Build> words;
  if (plan.asks) {
    const int answer =
        dialogs.MessageDlg(words.question, DialogKind::kConfirmation, DialogButtons::kYesNo, 0);
    if (answer == kAnswerNo) return 0;
  }
  if (plan.count < 1 && !plan.failure) return plan.count;

  SecondPass<Build> second;
  bool saves = !plan.failure;
  if (saves) {
    second = RunSecondPass<Build>(plan, &rewrite_detail::RaiseListIndexOf<Build>);
    saves = second.saves;
  }
  ProgramSave save;
  if (saves) {
    save.Begin(
        path,
        SaveGuard{.replaces = over_program ? &planned.file : nullptr, .content_of = &planned.file},
        planned.layout.size >= (std::uint64_t{4} << 20));
  }
  std::int64_t stop = plan.failure ? plan.failure_line : plan.lines;
  // With nothing to write, the stream ends after the last line of a run.
  if (!save.Writes()) stop = std::min(stop, plan.runs.empty() ? 0 : plan.runs.back().end);
  const std::string_view mark = planned.layout.mark;
  int read_error = 0;
  bool same = true;
  if constexpr (Rules::kHasEncoding) {
    if (planned.layout.Wide())
      same = rewrite_detail::StreamLines<Build, char16_t>(planned, second, stop, save, dialogs,
                                                          mark, settings, read_error);
  }
  if (!planned.layout.Wide())
    same = rewrite_detail::StreamLines<Build, char>(planned, second, stop, save, dialogs, mark,
                                                    settings, read_error);
  if (read_error != 0)
    Raise<EFOpenError>(
        Rules::OpenFailureMessage(FullPath(planned.path), SystemErrorText(read_error)));
  if (!same)
    Raise<EFCreateError>(
        Rules::CreateFailureMessage(FullPath(path), SystemErrorText(kChangedSinceRead)));
  if (plan.failure) std::rethrow_exception(plan.failure);
  if (!second.Show(dialogs)) return 0;
  save.template Complete<Rules>(path);
  return plan.count;
}

}  // namespace orvalen
