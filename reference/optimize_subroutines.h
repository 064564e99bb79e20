// The subroutine zero-point pass. Every subroutine of a part program (the
// lines from "SUBBEGIN name" to "SUBEND") is moved to its own zero point,
// taken from its first rapid line, and the rapid line two lines above each
// "SUBCALL name" in the main part is moved the other way, so that the machine
// still reaches the same places. The pass rewrites lines in place and returns
// how many subroutines it processed; 0 means "save nothing".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "nc/keyword_lines.h"
#include "nc/line_shifts.h"
#include "nc/shift_runs.h"
#include "reference/program_lines.h"
#include "tools/address_value.h"
#include "tools/build_policy.h"
#include "tools/dialogs.h"
#include "tools/failure.h"
#include "tools/text_ops.h"

namespace orvalen {

// One entry of the subroutine table. TSub, SubName, OffX and OffY are the
// system's own names, as is OptimizeSubroutines; they stay as they are rather
// than follow this code's style.
template <BuildPolicy Build>
struct TSub {
  typename Build::Text SubName;
  double OffX = 0;
  double OffY = 0;
};

inline constexpr int kSubroutineSlots = 99;

// `List` offers Count(), Strings(index) and SetStrings(index, text view); an
// index outside the list raises EStringListError, which the pass does not
// catch. The pass holds a view from Strings only until it next replaces a
// line, and hands SetStrings a view into a buffer of its own, which the list
// copies. Nothing is allocated per line. On a list that allows it, a long
// program's lines are shifted on two threads.
template <BuildPolicy Build, ProgramLines<Build> List>
std::int32_t OptimizeSubroutines(List& lines, Dialogs<Build>& dialogs) {
  using namespace nc_detail;
  using TextView = typename Build::TextView;
  const Words<Build> words;
  std::array<TSub<Build>, kSubroutineSlots> table{};  // slot k is table[k - 1]
  typename Build::Text buffer;                        // the line being shifted

  std::int32_t count = 0;
  bool inside = false;
  bool found = false;
  bool ask = true;
  double zero_x = 0;
  double zero_y = 0;

  // First pass: the definitions. The zero-point search moves the index on,
  // so every line is visited once, by the loop or by a search; between the
  // keyword lines the loop only notes the lines to shift. They are shifted
  // after the loop (or before a failure of it goes on), in order: no line is
  // read by the loop after its turn to be shifted has come.
  const KeywordLines keywords = FindKeywordLines<Build>(words, lines);
  std::vector<ShiftRun> runs;
  try {
    const std::int64_t n = lines.Count();
    std::size_t next = 0;  // the next keyword line in keywords.starts
    for (std::int64_t i = 0; i < n; ++i) {
      while (next < keywords.starts.size() && keywords.starts[next] < i) ++next;
      const std::int64_t keyword = next < keywords.starts.size() ? keywords.starts[next] : n;
      if (inside && found && keyword > i) AddRangeToRuns(runs, i, keyword, -zero_x, -zero_y);
      if (keyword == n) break;
      i = keyword;
      const TextView line = lines.Strings(i);
      if (StartsWithKeyword<Build>(line, words.end)) {
        inside = false;
        found = false;
      } else if (!inside && StartsWithKeyword<Build>(line, words.begin)) {
        if (ask) {
          ask = false;
          const int answer = dialogs.MessageDlg(words.question, DialogKind::kConfirmation,
                                                DialogButtons::kYesNo, 0);
          if (answer == kAnswerNo) return 0;
        }
        typename Build::Text name(NameFrom<Build>(line, 9));
        ++count;
        inside = true;
        // The search passes over SUBEND and SUBBEGIN lines and does not stop
        // at the end of the list: reading past it is the list-index failure.
        for (;;) {
          ++i;
          const TextView candidate = lines.Strings(i);
          if (!IsRapid<Build>(words, candidate)) continue;
          const double x = ReadAddressValue<Build>(words.x, candidate);
          const double y = ReadAddressValue<Build>(words.y, candidate);
          if (x > -99999 && y > -9999) {
            found = true;
            zero_x = x;
            zero_y = y;
            AddToRuns(runs, i, -x, -y);
            if (count > kSubroutineSlots) RaiseRangeError();
            table[static_cast<std::size_t>(count - 1)] = {std::move(name), x, y};
            break;
          }
        }
      } else if (inside && found) {
        AddToRuns(runs, i, -zero_x, -zero_y);
      }
    }
  } catch (...) {
    ShiftRuns<Build>(words, lines, runs, dialogs, buffer);
    throw;
  }
  ShiftRuns<Build>(words, lines, runs, dialogs, buffer);
  if (count < 1) return count;

  // Second pass: the calls in the main part, before the first definition.
  // The pass has not changed those lines, nor has this one before it reads
  // them, so the scan found the same ones.
  for (const std::int64_t i : keywords.calls) {
    const TextView line = lines.Strings(i);
    const std::int64_t p = FirstOccurrence(TextView(words.call), line);
    const TextView name = NameFrom<Build>(line, p + 7);
    const TSub<Build>* slot = nullptr;
    for (const TSub<Build>& entry : table) {
      if (Build::SameTextIgnoringCase(name, entry.SubName)) {
        slot = &entry;
        break;
      }
    }
    if (slot == nullptr) {
      dialogs.ShowMessage(words.unknown_subroutine);
      return 0;
    }
    if (!IsRapid<Build>(words, lines.Strings(i - 2))) {
      dialogs.ShowMessage(words.no_rapid_before_call);
      return 0;
    }
    ShiftLine<Build>(words, lines, i - 2, slot->OffX, slot->OffY, dialogs, buffer);
  }
  return count;
}

}  // namespace orvalen
