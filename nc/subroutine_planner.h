// The first read of the subroutine pass, for a program that is not held
// whole: the lines of the program are fed in order, and only those that can
// decide anything need their text (the keyword lines, the lines the search
// for each zero point reads, the calls of the main part and the lines two
// above them); the others are passed over by number. What it finds is the
// plan: whether the question comes, the table, the runs of lines to shift,
// the calls, and the first pass's failure with the line it comes at.
//   lines "SUBBEGIN A", "G1 X5", "G0 X2 Y3", "G1 X4", "SUBEND"
//   -> asks, count 1, table {A, 2, 3}, runs {2, 4, -2, -3}
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "nc/shift_runs.h"
#include "nc/subroutine_rules.h"
#include "tools/address_value.h"
#include "tools/build_policy.h"
#include "tools/failure.h"

namespace orvalen {

// Raises the list-index failure for `index`, worded as the program's lines
// word it.
using RaiseListIndex = void (*)(std::int64_t index);

// What the first read found out.
template <BuildPolicy Build>
struct SubroutinePlan {
  using Text = typename Build::Text;
  struct Call {
    std::int64_t index;
    Text line;
    std::optional<Text> two_above;  // none above the second line
  };
  bool asks = false;  // a SUBBEGIN line was met: the question comes
  std::int32_t count = 0;
  SubroutineTable<Build> table{};
  std::vector<ShiftRun> runs;  // in line order
  // The first pass fails once the lines before `failure_line` are shifted.
  std::exception_ptr failure;
  std::int64_t failure_line = -1;
  std::vector<Call> calls;  // in line order
  std::int64_t lines = 0;
};

// The first pass, fed the lines of the program in order. Only some lines
// need their text (see Searching, MayStartKeyword, InMainPart); the others
// are passed over by number. Nothing is shown: a failure is kept for its
// turn.
template <BuildPolicy Build>
class SubroutinePlanner {
 public:
  using Text = typename Build::Text;
  using TextView = typename Build::TextView;
  using Char = typename Build::Char;

  explicit SubroutinePlanner(RaiseListIndex raise_list_index)
      : raise_list_index_(raise_list_index) {}

  // While the search for a zero point goes on every line needs its text.
  bool Searching() const { return searching_ && !plan_.failure; }
  // A line holding SUBCALL is a call only in the main part, before the first
  // SUBBEGIN line.
  bool InMainPart() const { return !begun_; }

  // Lines `first` to `end` - 1, none of which needs its text.
  void PlainLines(std::int64_t first, std::int64_t end) {
    if (!plan_.failure && inside_ && found_ && end > first)
      AddRangeToRuns(plan_.runs, first, end, -zero_x_, -zero_y_);
  }

  // Line `index` with its text. True when it is a call of the main part
  // past the second line: TwoAbove must then give the text of line
  // `index` - 2.
  bool Line(std::int64_t index, TextView text) {
    if (plan_.failure) return false;
    if (searching_) {
      Search(index, text);
      return false;
    }
    const bool in_main_part = !begun_;
    bool begin = false;
    const auto lead = text.empty() ? 0u : static_cast<std::make_unsigned_t<Char>>(text[0]);
    if (MayStartKeyword(lead) && StartsWithKeyword<Build>(text, words_.end)) {
      inside_ = false;
      found_ = false;
    } else if (MayStartKeyword(lead) && StartsWithKeyword<Build>(text, words_.begin)) {
      begin = true;
      begun_ = true;
      if (!inside_) {
        plan_.asks = true;
        name_ = Text(DefinitionName<Build>(text));
        ++plan_.count;
        inside_ = true;
        searching_ = true;
      } else if (found_) {
        AddToRuns(plan_.runs, index, -zero_x_, -zero_y_);
      }
    } else if (inside_ && found_) {
      AddToRuns(plan_.runs, index, -zero_x_, -zero_y_);
    }
    if (!in_main_part || begin || !HoldsCall<Build>(words_, text)) return false;
    plan_.calls.push_back({index, Text(text), std::nullopt});
    return index >= 2;
  }
  void TwoAbove(TextView text) { plan_.calls.back().two_above = Text(text); }

  // After the last of `lines` lines: a search still going on reads past
  // the end, the list-index failure.
  void Finish(std::int64_t lines) {
    plan_.lines = lines;
    if (plan_.failure || !searching_) return;
    try {
      raise_list_index_(lines);
    } catch (...) {
      plan_.failure = std::current_exception();
      plan_.failure_line = lines;
    }
  }

  SubroutinePlan<Build> TakePlan() { return std::move(plan_); }

 private:
  // A line that the search for the zero point reads.
  void Search(std::int64_t index, TextView text) {
    bool noted = false;
    try {
      if (!IsRapid<Build>(words_, text)) return;
      const double x = ReadAddressValue<Build>(words_.x, text);
      const double y = ReadAddressValue<Build>(words_.y, text);
      if (!IsZeroPoint(x, y)) return;
      found_ = true;
      searching_ = false;
      zero_x_ = x;
      zero_y_ = y;
      AddToRuns(plan_.runs, index, -x, -y);
      noted = true;
      if (plan_.count > kSubroutineSlots) RaiseRangeError();
      plan_.table[static_cast<std::size_t>(plan_.count - 1)] = {std::move(name_), x, y};
    } catch (...) {
      plan_.failure = std::current_exception();
      plan_.failure_line = noted ? index + 1 : index;
    }
  }

  const PassWords<Build> words_;
  RaiseListIndex raise_list_index_;
  SubroutinePlan<Build> plan_;
  bool begun_ = false;
  bool inside_ = false;
  bool found_ = false;
  bool searching_ = false;
  double zero_x_ = 0;
  double zero_y_ = 0;
  Text name_;
};

}  // namespace orvalen
