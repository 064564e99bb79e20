// The words of the subroutine pass and what it does to one line: the
// keyword test, the rapid-line test, the shift of a line's X and Y, and the
// name of a definition or call.
#pragma once

#include <cstdint>
#include <type_traits>

#include "reference/program_lines.h"
#include "tools/address_value.h"
#include "tools/build_policy.h"
#include "tools/dialogs.h"
#include "tools/failure.h"
#include "tools/text_ops.h"
#include "tools/whole_number.h"

namespace orvalen::nc_detail {

template <BuildPolicy Build>
struct Words {
  using Text = typename Build::Text;
  const Text end = Widen<typename Build::Char>("SUBEND");
  const Text begin = Widen<typename Build::Char>("SUBBEGIN");
  const Text call = Widen<typename Build::Char>("SUBCALL");
  const Text g = Widen<typename Build::Char>("G");
  const Text x = Widen<typename Build::Char>("X");
  const Text y = Widen<typename Build::Char>("Y");
  const Text question = Widen<typename Build::Char>("Soll das Programm Optimiert Werden?");
  const Text unknown_subroutine = Widen<typename Build::Char>("Internal Search Error (Subroutine)");
  const Text no_rapid_before_call = Widen<typename Build::Char>("Internal Search Error (Sub XY)");
};

// Keywords are matched at the start of the line, ignoring case and whatever
// follows them. A keyword is ASCII, and characters below 0x80 fold alone and
// one to one in every case comparison, so a difference within the line's
// leading ASCII characters settles it without the full comparison.
template <BuildPolicy Build>
bool StartsWithKeyword(typename Build::TextView line, typename Build::TextView keyword) {
  using Char = typename Build::Char;
  const auto head = CopySubstring(line, 1, static_cast<std::int64_t>(keyword.size()));
  const auto fold = [](Char c) { return c >= Char('a') && c <= Char('z') ? Char(c - 32) : c; };
  for (std::size_t k = 0; k < head.size(); ++k) {
    if (static_cast<std::make_unsigned_t<Char>>(head[k]) >= 0x80)
      return Build::SameTextIgnoringCase(head, keyword);
    if (fold(head[k]) != fold(keyword[k])) return false;
  }
  return head.size() == keyword.size();
}

// A rapid line is one whose G value rounds to 0. A line without G reads as
// the absent value and so is no rapid line.
template <BuildPolicy Build>
bool IsRapid(const Words<Build>& words, typename Build::TextView line) {
  const std::int64_t g = RoundToWholeNumber(ReadAddressValue<Build>(words.g, line));
  if (g < INT32_MIN || g > INT32_MAX) RaiseRangeError();
  return g == 0;
}

// Two separate read-modify-writes of the stored line, X first. The shifted
// line is built in `buffer`, which the list copies; a line without the
// letter stays as it is.
template <BuildPolicy Build, ProgramLines<Build> List>
void ShiftLine(const Words<Build>& words, List& lines, std::int64_t index, double dx, double dy,
               Dialogs<Build>& dialogs, typename Build::Text& buffer) {
  using TextView = typename Build::TextView;
  if (ShiftAddressValueInto<Build>(words.x, lines.Strings(index), dx, dialogs, buffer))
    lines.SetStrings(index, TextView(buffer));
  if (ShiftAddressValueInto<Build>(words.y, lines.Strings(index), dy, dialogs, buffer))
    lines.SetStrings(index, TextView(buffer));
}

// The text of a line shifted as ShiftLine shifts the stored line: X first,
// then Y on what that gave, with the same messages. A view of `line`,
// `first` or `second`, which must not be what `line` views.
template <BuildPolicy Build>
typename Build::TextView ShiftText(const Words<Build>& words, typename Build::TextView line,
                                   double dx, double dy, Dialogs<Build>& dialogs,
                                   typename Build::Text& first, typename Build::Text& second) {
  typename Build::TextView now = line;
  if (ShiftAddressValueInto<Build>(words.x, now, dx, dialogs, first)) now = first;
  if (ShiftAddressValueInto<Build>(words.y, now, dy, dialogs, second)) now = second;
  return now;
}

// The name of a definition or call: at most 255 characters from `start` on,
// trimmed; a view into the line.
template <BuildPolicy Build>
typename Build::TextView NameFrom(typename Build::TextView line, std::int64_t start) {
  return Trim(CopySubstring(line, start, 255));
}

}  // namespace orvalen::nc_detail
