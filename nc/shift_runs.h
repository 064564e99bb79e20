// Shifting the lines of the subroutines once the first pass has noted them:
// runs of consecutive lines with their offsets, shifted quietly (on two
// threads where the list allows it), and the few lines that need a message
// shifted after that, in line order, as one after the other would.
#pragma once

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "nc/line_shifts.h"
#include "reference/program_lines.h"
#include "tools/address_value.h"
#include "tools/build_policy.h"
#include "tools/dialogs.h"
#include "tools/fixed_format.h"

namespace orvalen::nc_detail {

// The text of a line shifted as ShiftLine shifts it, made in one go when
// that needs no word to the user: a view of `out`, or of `line` itself when
// it holds neither letter; nothing when a number text does not convert or
// the shift fails. Safe on another thread than the dialogs'.
// Both letters are found in the line as it is: a number text holds no
// letter and ends before the next one, so shifting the number after one
// letter moves neither the first occurrence of the other nor what its number
// text is; the line comes out as from the two shifts one after the other.
template <BuildPolicy Build>
std::optional<typename Build::TextView> ShiftTextQuietly(const Words<Build>& words,
                                                         typename Build::TextView line, double dx,
                                                         double dy,
                                                         typename Build::Text& out) noexcept {
  using Char = typename Build::Char;
  using TextView = typename Build::TextView;
  struct Address {
    AddressPieces<Char> pieces;
    double sum;
  };
  try {
    bool converted = true;
    const auto cut = [&](TextView letter, double offset) -> std::optional<Address> {
      auto pieces = CutAtAddress(letter, line);
      if (!pieces) return std::nullopt;
      const auto number = Build::ConvertNumberText(pieces->number_text);
      converted = converted && number.error_position == 0;
      return Address{*pieces, Build::AddOffset(number.value, offset)};
    };
    std::optional<Address> first = cut(words.x, dx);
    std::optional<Address> second = cut(words.y, dy);
    if (!converted) return std::nullopt;
    if (!first && !second) return line;
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
    return TextView(out.data(), static_cast<std::size_t>(end - out.data()));
  } catch (...) {
    return std::nullopt;
  }
}

// Shifts a line as ShiftLine does, in one replacement, when that needs no
// word to the user; false, with the line as it was, when a number text does
// not convert or the shift fails.
template <BuildPolicy Build, ProgramLines<Build> List>
bool ShiftLineQuietly(const Words<Build>& words, List& lines, std::int64_t index, double dx,
                      double dy, typename Build::Text& out) noexcept {
  try {
    const typename Build::TextView line = lines.Strings(index);
    const auto shifted = ShiftTextQuietly<Build>(words, line, dx, dy, out);
    if (!shifted) return false;
    if (shifted->data() != line.data()) lines.SetStrings(index, *shifted);
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

// Line `index`, after the lines noted before it.
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

// Lines `first` to `end` - 1, all shifted by the same offsets.
inline void AddRangeToRuns(std::vector<ShiftRun>& runs, std::int64_t first, std::int64_t end,
                           double dx, double dy) {
  AddToRuns(runs, first, dx, dy);
  runs.back().end = end;
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
      // Chunks of the runs, of kChunkLines lines each, which the two threads
      // take in turn as they get done, so that neither waits for the other
      // long; chunk k is pieces[chunk_starts[k]] up to chunk_starts[k + 1].
      constexpr std::int64_t kChunkLines = std::int64_t{1} << 14;
      std::vector<ShiftRun> pieces;
      std::vector<std::size_t> chunk_starts{0};
      std::int64_t room = kChunkLines;  // in the chunk being filled
      for (ShiftRun run : runs) {
        while (run.first < run.end) {
          const std::int64_t taken = std::min(room, run.end - run.first);
          pieces.push_back({run.first, run.first + taken, run.dx, run.dy});
          run.first += taken;
          room -= taken;
          if (room == 0) {
            chunk_starts.push_back(pieces.size());
            room = kChunkLines;
          }
        }
      }
      if (chunk_starts.back() != pieces.size()) chunk_starts.push_back(pieces.size());
      const std::size_t chunks = chunk_starts.size() - 1;
      const auto chunk = [&](std::size_t k) {
        return std::span<const ShiftRun>(pieces).subspan(chunk_starts[k],
                                                         chunk_starts[k + 1] - chunk_starts[k]);
      };
      std::vector<LeftOver> left(chunks);
      std::atomic<std::size_t> next{0};
      const auto work = [&] {
        for (std::size_t k; (k = next.fetch_add(1)) < chunks;)
          left[k] = ShiftRunsQuietly<Build>(words, lines, chunk(k));
      };
      RunOnTwoThreads(work);
      for (std::size_t k = 0; k < chunks; ++k)
        ShiftLeftOver<Build>(words, lines, chunk(k), left[k], dialogs, buffer);
      return;
    }
  }
  ShiftLeftOver<Build>(words, lines, runs, ShiftRunsQuietly<Build>(words, lines, runs), dialogs,
                       buffer);
}

}  // namespace orvalen::nc_detail
