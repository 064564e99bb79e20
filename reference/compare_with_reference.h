// The programs' streamed rewrite compared with the plain reference, for the
// tests and the fuzz target alike: the same part program rewritten beside
// itself both ways (reference: LoadProgram, OptimizeSubroutines,
// SaveBesideProgram, as the run drivers once did on the whole list), with
// the same scripted answer. The two must leave the same bytes (or nothing),
// show the same texts in the same order and raise the same failure.
#pragma once

#include <unistd.h>

#include <ostream>
#include <string>
#include <vector>

#include "driver/rewrite/rewrite_program.h"
#include "reference/line_list.h"
#include "reference/optimize_subroutines.h"
#include "reference/program_file.h"
#include "tests/recording_dialogs.h"
#include "tests/test_support.h"
#include "tools/build_policy.h"
#include "tools/failure.h"
#include "tools/utf8.h"

namespace orvalen::testing {

struct RunResult {
  std::string saved;  // the bytes saved, "(none)" when nothing was
  std::vector<std::string> shown;
  std::string failure;  // "Kind: message", empty when none
  bool operator==(const RunResult&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const RunResult& r) {
  out << "failure: " << r.failure << "\nshown:";
  for (const auto& s : r.shown) out << " [" << s << "]";
  return out << "\nsaved: " << r.saved.size() << " bytes";
}

// What a run with `answer` leaves at `out` and shows; `out` is removed.
template <BuildPolicy Build, class Run>
RunResult Outcome(const std::string& out, int answer, Run&& run) {
  RecordingDialogs<Build> dialogs({answer});
  RunResult result;
  try {
    run(dialogs);
  } catch (const Failure& failure) {
    result.failure = std::string(failure.KindName()) + ": " + ToUtf8(failure.Message());
  }
  for (const auto& text : dialogs.Texts()) {
    if constexpr (sizeof(typename Build::Char) == 2) {
      result.shown.push_back(ToUtf8(text));
    } else {
      result.shown.emplace_back(text);
    }
  }
  result.saved = Exists(out) ? ReadBytes(out) : "(none)";
  unlink(out.c_str());
  return result;
}

template <BuildPolicy Build>
RunResult ReferenceRun(const std::string& part, const std::string& out, int answer) {
  return Outcome<Build>(out, answer, [&](Dialogs<Build>& dialogs) {
    LineList<Build> lines;
    const HeldFile read = LoadProgram(lines, part);
    if (OptimizeSubroutines<Build>(lines, dialogs) > 0) SaveBesideProgram(lines, out, read);
  });
}

template <BuildPolicy Build>
RunResult StreamedRun(const std::string& part, const std::string& out, int answer,
                      const RewriteSettings& settings = {}) {
  return Outcome<Build>(out, answer, [&](Dialogs<Build>& dialogs) {
    RewriteProgram(PlanProgram<Build>(part, settings), dialogs, out, false, settings);
  });
}

}  // namespace orvalen::testing
