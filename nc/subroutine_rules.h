// The rules of the subroutine pass, each named once: the keywords and where
// they count, the names of definitions and calls, the rapid line, the zero
// point, the subroutine table and its slots, and the shift of one line.
//   StartsWithKeyword("subBegin Bore", "SUBBEGIN")   -> true (any case, anything after)
//   StartsWithKeyword(" SUBBEGIN Bore", "SUBBEGIN")  -> false (only at the start)
//   DefinitionName("SUBBEGIN  Bore 1 ")               -> "Bore 1"
//   HoldsCall("N20 subcall Bore") -> false;  HoldsCall("N20 SUBCALL Bore") -> true
//   CallName("N20 SUBCALL  Bore ")                    -> "Bore"
//   IsRapid("G0 X1") -> true;  IsRapid("G00.4") -> true;  IsRapid("X1 Y2") -> false
//   IsZeroPoint(10, -9999) -> false (no Y reads as -9999: the search goes on)
//   FindSlot(table, "BORE") -> the first entry named "Bore", ignoring case
// TSub, SubName, OffX and OffY are the system's own names; they stay as they
// are rather than follow this code's style.
#pragma once

#include <array>
#include <cstdint>
#include <type_traits>

#include "tools/address_value.h"
#include "tools/build_policy.h"
#include "tools/dialogs.h"
#include "tools/failure.h"
#include "tools/text_ops.h"
#include "tools/whole_number.h"

namespace orvalen {

// The words of the pass: its keywords, the address letters it reads and
// writes, the question and its two messages.
template <BuildPolicy Build>
struct PassWords {
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

// Only a line whose first code unit is one of these may start a keyword: S,
// s, or one that may fold to one in a case comparison.
inline bool MayStartKeyword(unsigned lead) {
  return lead == 'S' || lead == 's' || lead >= 0x80;
}

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

// A name: at most 255 characters from position `start` (1-based) on,
// trimmed; a view into the line.
template <BuildPolicy Build>
typename Build::TextView NameFrom(typename Build::TextView line, std::int64_t start) {
  return Trim(CopySubstring(line, start, 255));
}

// The name a definition line gives its subroutine: what follows "SUBBEGIN".
template <BuildPolicy Build>
typename Build::TextView DefinitionName(typename Build::TextView line) {
  return NameFrom<Build>(line, 9);
}

// A line of the main part calls a subroutine when it holds SUBCALL anywhere,
// in exactly these letters.
template <BuildPolicy Build>
bool HoldsCall(const PassWords<Build>& words, typename Build::TextView line) {
  return FirstOccurrence(typename Build::TextView(words.call), line) != 0;
}

// The name a call line calls: what follows its first SUBCALL.
template <BuildPolicy Build>
typename Build::TextView CallName(const PassWords<Build>& words, typename Build::TextView line) {
  return NameFrom<Build>(line, FirstOccurrence(typename Build::TextView(words.call), line) + 7);
}

// A rapid line is one whose G value rounds to 0. A line without G reads as
// the absent value and so is no rapid line; a G value beyond 32 bits is the
// range failure.
template <BuildPolicy Build>
bool IsRapid(const PassWords<Build>& words, typename Build::TextView line) {
  const std::int64_t g = RoundToWholeNumber(ReadAddressValue<Build>(words.g, line));
  if (g < INT32_MIN || g > INT32_MAX) RaiseRangeError();
  return g == 0;
}

// The first rapid line of a subroutine whose X and Y pass this test gives
// its zero point; a line without X or Y (which reads as -9999) does not.
inline bool IsZeroPoint(double x, double y) {
  return x > -99999 && y > -9999;
}

// One entry of the subroutine table.
template <BuildPolicy Build>
struct TSub {
  typename Build::Text SubName;
  double OffX = 0;
  double OffY = 0;
};

// The table has 99 slots; the k-th subroutine takes slot k, table[k - 1], and
// a hundredth is the range failure. A slot not taken has an empty name.
inline constexpr int kSubroutineSlots = 99;
template <BuildPolicy Build>
using SubroutineTable = std::array<TSub<Build>, kSubroutineSlots>;

// The slot a call of `name` finds: the first, in slot order, whose name is
// the same ignoring case (an empty name finds a slot not taken); nullptr
// when there is none.
template <BuildPolicy Build>
const TSub<Build>* FindSlot(const SubroutineTable<Build>& table, typename Build::TextView name) {
  for (const TSub<Build>& entry : table)
    if (Build::SameTextIgnoringCase(name, entry.SubName)) return &entry;
  return nullptr;
}

// The text of a line shifted by the pass: X by `dx` first, then Y by `dy` on
// what that gave, each as ShiftAddressValue shifts it, with its messages. A
// view of `line`, `first` or `second`, which must not be what `line` views.
template <BuildPolicy Build>
typename Build::TextView ShiftText(const PassWords<Build>& words, typename Build::TextView line,
                                   double dx, double dy, Dialogs<Build>& dialogs,
                                   typename Build::Text& first, typename Build::Text& second) {
  typename Build::TextView now = line;
  if (ShiftAddressValueInto<Build>(words.x, now, dx, dialogs, first)) now = first;
  if (ShiftAddressValueInto<Build>(words.y, now, dy, dialogs, second)) now = second;
  return now;
}

}  // namespace orvalen
