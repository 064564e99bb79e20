// The subroutine pass for a program that is not held whole, in two reads.
// The first read makes a plan from the few lines that decide anything: the
// keyword lines, the lines the search for each zero point reads, the calls of
// the main part and the lines two above them (SubroutinePlanner). The
// second read streams every line through once more, and each line that the
// first pass shifts is shifted on its way (ShiftRunLine). What is shown and
// raised, and in what order, is what OptimizeSubroutines gives on the whole
// list of lines: the question once the program has been read, then the first
// pass's messages in line order as the stream meets them and its failure
// after them, then the second pass's, which was worked out before the stream
// and waits for it (SecondPass).
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "nc/line_shifts.h"
#include "nc/shift_runs.h"
#include "reference/optimize_subroutines.h"
#include "tools/address_value.h"
#include "tools/build_policy.h"
#include "tools/dialogs.h"
#include "tools/failure.h"
#include "tools/text_ops.h"

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
  std::array<TSub<Build>, kSubroutineSlots> table{};
  std::vector<nc_detail::ShiftRun> runs;  // in line order
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
  // Only a line whose first code unit is one of these may start a keyword
  // (S, s, or one that may fold to one); a line holding SUBCALL is a call
  // only in the main part, before the first SUBBEGIN line.
  static bool MayStartKeyword(unsigned lead) { return lead == 'S' || lead == 's' || lead >= 0x80; }
  bool InMainPart() const { return !begun_; }

  // Lines `first` to `end` - 1, none of which needs its text.
  void PlainLines(std::int64_t first, std::int64_t end) {
    if (!plan_.failure && inside_ && found_ && end > first)
      nc_detail::AddRangeToRuns(plan_.runs, first, end, -zero_x_, -zero_y_);
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
    if (MayStartKeyword(lead) && nc_detail::StartsWithKeyword<Build>(text, words_.end)) {
      inside_ = false;
      found_ = false;
    } else if (MayStartKeyword(lead) && nc_detail::StartsWithKeyword<Build>(text, words_.begin)) {
      begin = true;
      begun_ = true;
      if (!inside_) {
        plan_.asks = true;
        name_ = Text(nc_detail::NameFrom<Build>(text, 9));
        ++plan_.count;
        inside_ = true;
        searching_ = true;
      } else if (found_) {
        nc_detail::AddToRuns(plan_.runs, index, -zero_x_, -zero_y_);
      }
    } else if (inside_ && found_) {
      nc_detail::AddToRuns(plan_.runs, index, -zero_x_, -zero_y_);
    }
    if (!in_main_part || begin || FirstOccurrence(TextView(words_.call), text) == 0) return false;
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
      if (!nc_detail::IsRapid<Build>(words_, text)) return;
      const double x = ReadAddressValue<Build>(words_.x, text);
      const double y = ReadAddressValue<Build>(words_.y, text);
      if (!(x > -99999 && y > -9999)) return;
      found_ = true;
      searching_ = false;
      zero_x_ = x;
      zero_y_ = y;
      nc_detail::AddToRuns(plan_.runs, index, -x, -y);
      noted = true;
      if (plan_.count > kSubroutineSlots) RaiseRangeError();
      plan_.table[static_cast<std::size_t>(plan_.count - 1)] = {std::move(name_), x, y};
    } catch (...) {
      plan_.failure = std::current_exception();
      plan_.failure_line = noted ? index + 1 : index;
    }
  }

  const nc_detail::Words<Build> words_;
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

// Dialogs that keep the messages for later. The pass asks no question
// through them.
template <BuildPolicy Build>
class KeptMessages : public Dialogs<Build> {
 public:
  using TextView = typename Build::TextView;
  void ShowMessage(TextView text) override { messages.emplace_back(text); }
  int MessageDlg(TextView, DialogKind, DialogButtons, int) override {
    throw std::logic_error("the second pass asks nothing");
  }
  std::vector<typename Build::Text> messages;
};

// The second pass, worked out on the plan before the stream: the calls'
// lines two above, shifted, and what it shows and raises, kept until the
// stream has passed the subroutines.
template <BuildPolicy Build>
struct SecondPass {
  using Text = typename Build::Text;
  std::vector<std::pair<std::int64_t, Text>> replaced;  // in line order
  KeptMessages<Build> shown;
  std::exception_ptr failure;
  bool saves = true;  // false after a search error or a failure

  // Shows what it kept; raises its failure. False when nothing is saved.
  bool Show(Dialogs<Build>& dialogs) const {
    for (const Text& message : shown.messages) dialogs.ShowMessage(message);
    if (failure) std::rethrow_exception(failure);
    return saves;
  }
};

template <BuildPolicy Build>
SecondPass<Build> RunSecondPass(const SubroutinePlan<Build>& plan,
                                RaiseListIndex raise_list_index) {
  using TextView = typename Build::TextView;
  using Text = typename Build::Text;
  const nc_detail::Words<Build> words;
  SecondPass<Build> pass;
  Text first;
  Text second;
  try {
    for (const auto& call : plan.calls) {
      const TextView line = call.line;
      const std::int64_t p = FirstOccurrence(TextView(words.call), line);
      const TextView name = nc_detail::NameFrom<Build>(line, p + 7);
      const TSub<Build>* slot = nullptr;
      for (const TSub<Build>& entry : plan.table) {
        if (Build::SameTextIgnoringCase(name, entry.SubName)) {
          slot = &entry;
          break;
        }
      }
      if (slot == nullptr) {
        pass.shown.ShowMessage(words.unknown_subroutine);
        pass.saves = false;
        return pass;
      }
      if (!call.two_above) raise_list_index(call.index - 2);
      if (!nc_detail::IsRapid<Build>(words, *call.two_above)) {
        pass.shown.ShowMessage(words.no_rapid_before_call);
        pass.saves = false;
        return pass;
      }
      const TextView shifted = nc_detail::ShiftText<Build>(words, *call.two_above, slot->OffX,
                                                           slot->OffY, pass.shown, first, second);
      pass.replaced.emplace_back(call.index - 2, Text(shifted));
    }
  } catch (...) {
    pass.failure = std::current_exception();
    pass.saves = false;
  }
  return pass;
}

// Shifts one line of a run on the stream's way: quietly where it can, else
// as ShiftLine does, with the messages and failure that come with it. A view
// of `line`, `first` or `second`.
template <BuildPolicy Build>
typename Build::TextView ShiftRunLine(const nc_detail::Words<Build>& words,
                                      typename Build::TextView line, double dx, double dy,
                                      Dialogs<Build>& dialogs, typename Build::Text& first,
                                      typename Build::Text& second) {
  if (const auto shifted = nc_detail::ShiftTextQuietly<Build>(words, line, dx, dy, first))
    return *shifted;
  return nc_detail::ShiftText<Build>(words, line, dx, dy, dialogs, first, second);
}

}  // namespace orvalen
