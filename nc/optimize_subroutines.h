// The subroutine zero-point pass. Every subroutine of a part program (the
// lines from "SUBBEGIN name" to "SUBEND") is moved to its own zero point,
// taken from its first rapid line, and the rapid line two lines above each
// "SUBCALL name" in the main part is moved the other way, so that the machine
// still reaches the same places. The pass rewrites lines in place and returns
// how many subroutines it processed; 0 means "save nothing".
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "tools/address_value.h"
#include "tools/build_policy.h"
#include "tools/dialogs.h"
#include "tools/failure.h"
#include "tools/text_ops.h"
#include "tools/whole_number.h"

namespace orvalen {

// The lines the pass works on, read and replaced by index (LineList, or lines
// held in memory). An index outside the list raises EStringListError, which
// the pass does not catch.
template <class List, class Build>
concept ProgramLines = requires(List& lines, std::int64_t index, typename Build::TextView text) {
  { lines.Count() } -> std::convertible_to<std::int64_t>;
  { lines.Strings(index) } -> std::convertible_to<typename Build::TextView>;
  // Takes a view and keeps a copy: the pass may hand it a piece of a line.
  lines.SetStrings(index, text);
};

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

namespace nc_detail {

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

// The name of a definition or call: at most 255 characters from `start` on,
// trimmed; a view into the line.
template <BuildPolicy Build>
typename Build::TextView NameFrom(typename Build::TextView line, std::int64_t start) {
  return Trim(CopySubstring(line, start, 255));
}

}  // namespace nc_detail

// `List` offers Count(), Strings(index) and SetStrings(index, text view); an
// index outside the list raises EStringListError, which the pass does not
// catch. The pass holds a view from Strings only until it next replaces a
// line, and hands SetStrings a view into a buffer of its own, which the list
// copies. Nothing is allocated per line.
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
  // so every line is visited once, by the loop or by a search.
  for (std::int64_t i = 0; i < lines.Count(); ++i) {
    const TextView line = lines.Strings(i);
    if (StartsWithKeyword<Build>(line, words.end)) {
      inside = false;
      found = false;
    } else if (!inside && StartsWithKeyword<Build>(line, words.begin)) {
      if (ask) {
        ask = false;
        const int answer =
            dialogs.MessageDlg(words.question, DialogKind::kConfirmation, DialogButtons::kYesNo, 0);
        if (answer == kAnswerNo) return 0;
      }
      // Copied: the search replaces lines before the name is stored.
      typename Build::Text name(NameFrom<Build>(line, 9));
      ++count;
      inside = true;
      // The search passes over SUBEND and SUBBEGIN lines and does not stop at
      // the end of the list: reading past it is the list-index failure.
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
          ShiftLine<Build>(words, lines, i, -x, -y, dialogs, buffer);
          if (count > kSubroutineSlots) RaiseRangeError();
          table[static_cast<std::size_t>(count - 1)] = {std::move(name), x, y};
          break;
        }
      }
    } else if (inside && found) {
      ShiftLine<Build>(words, lines, i, -zero_x, -zero_y, dialogs, buffer);
    }
  }
  if (count < 1) return count;

  // Second pass: the calls in the main part, before the first definition.
  const std::int64_t n = lines.Count();
  for (std::int64_t i = 0; i < n; ++i) {
    const TextView line = lines.Strings(i);
    if (StartsWithKeyword<Build>(line, words.begin)) break;
    const std::int64_t p = FirstOccurrence(TextView(words.call), line);
    if (p == 0) continue;
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
