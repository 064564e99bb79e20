// The subroutine pass over the whole list of lines, line by line on one
// thread, as the rules say it: the plain form that the tests and the fuzz
// targets compare the programs' streamed pass with. The programs never call
// it. Every line is shifted through ShiftLine, two separate
// read-modify-writes of the stored line (X first), never through the quiet
// one-go shift the stream uses. Returns how many subroutines it processed;
// 0 means "save nothing". OptimizeSubroutines is the system's own name.
#pragma once

#include <cstdint>
#include <utility>

#include "nc/subroutine_rules.h"
#include "reference/program_lines.h"
#include "tools/address_value.h"
#include "tools/build_policy.h"
#include "tools/dialogs.h"
#include "tools/failure.h"

namespace orvalen {

// Line `index` shifted in the list: X by `dx`, stored, then Y by `dy` on
// the stored line, stored. A line without the letter stays as it is.
template <BuildPolicy Build, ProgramLines<Build> List>
void ShiftLine(const PassWords<Build>& words, List& lines, std::int64_t index, double dx, double dy,
               Dialogs<Build>& dialogs) {
  lines.SetStrings(index, ShiftAddressValue<Build>(words.x, lines.Strings(index), dx, dialogs));
  lines.SetStrings(index, ShiftAddressValue<Build>(words.y, lines.Strings(index), dy, dialogs));
}

template <BuildPolicy Build, ProgramLines<Build> List>
std::int32_t OptimizeSubroutines(List& lines, Dialogs<Build>& dialogs) {
  using TextView = typename Build::TextView;
  const PassWords<Build> words;
  SubroutineTable<Build> table{};
  std::int32_t count = 0;
  bool inside = false;
  bool found = false;
  bool ask = true;
  double zero_x = 0;
  double zero_y = 0;

  // First pass: the definitions. The search for a zero point moves the
  // index on: it passes over SUBEND and SUBBEGIN lines and does not stop at
  // the end of the list (reading past it is the list-index failure).
  for (std::int64_t i = 0; i < lines.Count(); ++i) {
    const TextView line = lines.Strings(i);
    if (StartsWithKeyword<Build>(line, words.end)) {
      inside = false;
      found = false;
    } else if (!inside && StartsWithKeyword<Build>(line, words.begin)) {
      if (ask) {
        ask = false;
        if (dialogs.MessageDlg(words.question, DialogKind::kConfirmation, DialogButtons::kYesNo,
                               0) == kAnswerNo)
          return 0;
      }
      typename Build::Text name(DefinitionName<Build>(line));
      ++count;
      inside = true;
      for (;;) {
        ++i;
        const TextView candidate = lines.Strings(i);
        if (!IsRapid<Build>(words, candidate)) continue;
        const double x = ReadAddressValue<Build>(words.x, candidate);
        const double y = ReadAddressValue<Build>(words.y, candidate);
        if (IsZeroPoint(x, y)) {
          found = true;
          zero_x = x;
          zero_y = y;
          ShiftLine<Build>(words, lines, i, -x, -y, dialogs);
          if (count > kSubroutineSlots) RaiseRangeError();
          table[static_cast<std::size_t>(count - 1)] = {std::move(name), x, y};
          break;
        }
      }
    } else if (inside && found) {
      ShiftLine<Build>(words, lines, i, -zero_x, -zero_y, dialogs);
    }
  }
  if (count < 1) return count;

  // Second pass: the calls in the main part, before the first definition.
  for (std::int64_t i = 0; i < lines.Count(); ++i) {
    const TextView line = lines.Strings(i);
    if (StartsWithKeyword<Build>(line, words.begin)) break;
    if (!HoldsCall<Build>(words, line)) continue;
    const TSub<Build>* const slot = FindSlot<Build>(table, CallName<Build>(words, line));
    if (slot == nullptr) {
      dialogs.ShowMessage(words.unknown_subroutine);
      return 0;
    }
    if (!IsRapid<Build>(words, lines.Strings(i - 2))) {
      dialogs.ShowMessage(words.no_rapid_before_call);
      return 0;
    }
    ShiftLine<Build>(words, lines, i - 2, slot->OffX, slot->OffY, dialogs);
  }
  return count;
}

}  // namespace orvalen
