// The lines the first pass shifts, noted as runs: consecutive lines that are
// shifted by the same offsets. A subroutine of a thousand lines is one run.
//   AddToRuns(runs, 5, -1, 2); AddToRuns(runs, 6, -1, 2)  -> {5, 7, -1, 2}
//   AddToRuns(runs, 8, -1, 2)                             -> a second run {8, 9, -1, 2}
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

namespace orvalen {

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

}  // namespace orvalen
