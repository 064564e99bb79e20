// The subroutine zero-point pass. Every subroutine of a part program (the
// lines from "SUBBEGIN name" to "SUBEND") is moved to its own zero point,
// taken from its first rapid line, and the rapid line two lines above each
// "SUBCALL name" in the main part is moved the other way, so that the machine
// still reaches the same places. The pass rewrites lines in place and returns
// how many subroutines it processed; 0 means "save nothing".
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

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

// A list on which two threads may read and replace lines at once, as long as
// no line is touched by both.
template <class List>
concept ReplacesDistinctLinesConcurrently = requires {
  requires List::kReplacesDistinctLinesConcurrently;
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

// Shifts a line as ShiftLine does, in one replacement, when that needs no
// word to the user; false, with the line as it was, when a number text does
// not convert or the shift fails. Safe on another thread than the dialogs'.
// Both letters are found in the line as it is: a number text holds no
// letter and ends before the next one, so shifting the number after one
// letter moves neither the first occurrence of the other nor what its number
// text is; the line comes out as from the two shifts one after the other.
template <BuildPolicy Build, ProgramLines<Build> List>
bool ShiftLineQuietly(const Words<Build>& words, List& lines, std::int64_t index, double dx,
                      double dy, typename Build::Text& out) noexcept {
  using Char = typename Build::Char;
  using TextView = typename Build::TextView;
  struct Address {
    AddressPieces<Char> pieces;
    double sum;
  };
  try {
    const TextView line = lines.Strings(index);
    const auto cut = [&](TextView letter, double offset) -> std::optional<Address> {
      auto pieces = CutAtAddress(letter, line);
      if (!pieces) return std::nullopt;
      const auto number = Build::ConvertNumberText(pieces->number_text);
      if (number.error_position != 0) throw QuietShift::kNeedsMessage;
      return Address{*pieces, Build::AddOffset(number.value, offset)};
    };
    std::optional<Address> first = cut(words.x, dx);
    std::optional<Address> second = cut(words.y, dy);
    if (!first && !second) return true;
    if (!first || (second && second->pieces.prefix.size() < first->pieces.prefix.size()))
      std::swap(first, second);
    // Built in place in `out`, which only grows: the line with both numbers
    // at their longest.
    const std::size_t longest = line.size() + 2 * kFixedPointCapacity;
    if (out.size() < longest) out.resize(longest);
    const auto after = [](TextView piece) { return piece.data() + piece.size(); };
    Char* end = std::copy(first->pieces.prefix.begin(), first->pieces.prefix.end(), out.data());
    end = WriteCoordinate<Build>(first->sum, end);
    const Char* rest = after(first->pieces.number_text);
    if (second) {
      end = std::copy(rest, after(second->pieces.prefix), end);
      end = WriteCoordinate<Build>(second->sum, end);
      rest = after(second->pieces.number_text);
    }
    end = std::copy(rest, line.data() + line.size(), end);
    lines.SetStrings(index, TextView(out.data(), static_cast<std::size_t>(end - out.data())));
    return true;
  } catch (...) {
    return false;
  }
}

// Consecutive lines that the first pass shifts by the same offsets.
struct ShiftRun {
  std::int64_t first;
  std::int64_t end;
  double dx;
  double dy;
};

inline void AddToRuns(std::vector<ShiftRun>& runs, std::int64_t index, double dx, double dy) {
  const auto same = [](double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
  };
  if (!runs.empty() && runs.back().end == index && same(runs.back().dx, dx) &&
      same(runs.back().dy, dy)) {
    ++runs.back().end;
  } else {
    runs.push_back({index, index + 1, dx, dy});
  }
}

// What the quiet shifting of some runs left for ShiftLine, in line order:
// the lines it could not shift, and, if it could not even note one of them,
// everything from line `rest_line` of run `rest_run` on.
struct LeftOver {
  struct Line {
    std::int64_t index;
    double dx;
    double dy;
  };
  std::vector<Line> lines;
  std::size_t rest_run = 0;
  std::int64_t rest_line = 0;
};

template <BuildPolicy Build, ProgramLines<Build> List>
LeftOver ShiftRunsQuietly(const Words<Build>& words, List& lines,
                          std::span<const ShiftRun> runs) noexcept {
  LeftOver left;
  left.rest_run = runs.size();
  typename Build::Text shifted;
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const ShiftRun& run = runs[r];
    for (std::int64_t i = run.first; i < run.end; ++i) {
      if (ShiftLineQuietly<Build>(words, lines, i, run.dx, run.dy, shifted)) continue;
      try {
        left.lines.push_back({i, run.dx, run.dy});
      } catch (...) {
        left.rest_run = r;
        left.rest_line = i;
        return left;
      }
    }
  }
  return left;
}

// Shifts what the quiet shifting left, in line order, with the messages and
// failures that come with it.
template <BuildPolicy Build, ProgramLines<Build> List>
void ShiftLeftOver(const Words<Build>& words, List& lines, std::span<const ShiftRun> runs,
                   const LeftOver& left, Dialogs<Build>& dialogs, typename Build::Text& buffer) {
  for (const LeftOver::Line& line : left.lines)
    ShiftLine<Build>(words, lines, line.index, line.dx, line.dy, dialogs, buffer);
  for (std::size_t r = left.rest_run; r < runs.size(); ++r) {
    const std::int64_t from = r == left.rest_run ? left.rest_line : runs[r].first;
    for (std::int64_t i = from; i < runs[r].end; ++i)
      ShiftLine<Build>(words, lines, i, runs[r].dx, runs[r].dy, dialogs, buffer);
  }
}

// Below this many lines a second thread costs more than it saves.
inline constexpr std::int64_t kLinesWorthASecondThread = std::int64_t{1} << 15;

// Shifts every line of the runs as ShiftLine would, one after the other: a
// line that needs no message (nearly all) is shifted quietly, on two threads
// where the list allows it and the runs are long; the others follow in
// order, so that the messages and the first failure come as they would.
template <BuildPolicy Build, ProgramLines<Build> List>
void ShiftRuns(const Words<Build>& words, List& lines, std::span<const ShiftRun> runs,
               Dialogs<Build>& dialogs, typename Build::Text& buffer) {
  std::int64_t total = 0;
  for (const ShiftRun& run : runs) total += run.end - run.first;
  if constexpr (ReplacesDistinctLinesConcurrently<List>) {
    if (total >= kLinesWorthASecondThread) {
      // The earlier half of the lines, and the later.
      std::vector<ShiftRun> halves[2];
      std::int64_t wanted = total / 2;
      for (const ShiftRun& run : runs) {
        const std::int64_t taken = std::min(wanted, run.end - run.first);
        if (taken > 0) halves[0].push_back({run.first, run.first + taken, run.dx, run.dy});
        if (run.first + taken < run.end)
          halves[1].push_back({run.first + taken, run.end, run.dx, run.dy});
        wanted -= taken;
      }
      LeftOver later;
      std::thread helper;
      try {
        helper = std::thread([&] { later = ShiftRunsQuietly<Build>(words, lines, halves[1]); });
      } catch (const std::system_error&) {
        // No second thread: this one does both halves.
      }
      const LeftOver earlier = ShiftRunsQuietly<Build>(words, lines, halves[0]);
      if (helper.joinable()) {
        helper.join();
      } else {
        later = ShiftRunsQuietly<Build>(words, lines, halves[1]);
      }
      ShiftLeftOver<Build>(words, lines, halves[0], earlier, dialogs, buffer);
      ShiftLeftOver<Build>(words, lines, halves[1], later, dialogs, buffer);
      return;
    }
  }
  ShiftLeftOver<Build>(words, lines, runs, ShiftRunsQuietly<Build>(words, lines, runs), dialogs,
                       buffer);
}

inline void AddRangeToRuns(std::vector<ShiftRun>& runs, std::int64_t first, std::int64_t end,
                           double dx, double dy) {
  AddToRuns(runs, first, dx, dy);
  runs.back().end = end;
}

// Where the keywords are: the lines that start with SUBEND or SUBBEGIN, and
// the lines before the first SUBBEGIN line that hold SUBCALL, found in one
// scan of the lines as they were loaded. Every other line is one that the
// first pass shifts or passes over and the second pass passes over.
struct KeywordLines {
  std::vector<std::int64_t> starts;  // in line order
  std::vector<std::int64_t> calls;   // in line order
  std::int64_t first_begin = 0;      // the first SUBBEGIN line, or the end of the scan
};

template <BuildPolicy Build, ProgramLines<Build> List>
KeywordLines ScanForKeywords(const Words<Build>& words, const List& lines, std::int64_t first,
                             std::int64_t end) {
  using Char = typename Build::Char;
  using TextView = typename Build::TextView;
  KeywordLines found;
  found.first_begin = end;
  for (std::int64_t i = first; i < end; ++i) {
    const TextView line = lines.Strings(i);
    // Only S, s or a character that may fold to one can start a keyword.
    const auto lead = line.empty() ? 0 : static_cast<std::make_unsigned_t<Char>>(line[0]);
    if (lead == 'S' || lead == 's' || lead >= 0x80) {
      const bool begin = StartsWithKeyword<Build>(line, words.begin);
      if (begin || StartsWithKeyword<Build>(line, words.end)) found.starts.push_back(i);
      if (begin && found.first_begin == end) found.first_begin = i;
    }
    if (found.first_begin == end && FirstOccurrence(TextView(words.call), line) != 0)
      found.calls.push_back(i);
  }
  return found;
}

// The same for the whole list, on two threads where the list allows it and
// is long.
template <BuildPolicy Build, ProgramLines<Build> List>
KeywordLines FindKeywordLines(const Words<Build>& words, const List& lines) {
  const std::int64_t n = lines.Count();
  if constexpr (ReplacesDistinctLinesConcurrently<List>) {
    if (n >= kLinesWorthASecondThread) {
      const std::int64_t middle = n / 2;
      KeywordLines later;
      std::exception_ptr failure;
      std::thread helper;
      const auto scan_later = [&] {
        try {
          later = ScanForKeywords<Build>(words, lines, middle, n);
        } catch (...) {
          failure = std::current_exception();
        }
      };
      try {
        helper = std::thread(scan_later);
      } catch (const std::system_error&) {
        // No second thread: this one scans both halves.
      }
      KeywordLines found;
      try {
        found = ScanForKeywords<Build>(words, lines, 0, middle);
      } catch (...) {
        if (helper.joinable()) helper.join();
        throw;
      }
      if (helper.joinable()) {
        helper.join();
      } else {
        scan_later();
      }
      if (failure) std::rethrow_exception(failure);
      found.starts.insert(found.starts.end(), later.starts.begin(), later.starts.end());
      if (found.first_begin == middle) {
        found.calls.insert(found.calls.end(), later.calls.begin(), later.calls.end());
        found.first_begin = later.first_begin;
      }
      return found;
    }
  }
  return ScanForKeywords<Build>(words, lines, 0, n);
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
