// The second pass of the subroutine pass, worked out on the plan before the
// program is streamed: each call of the main part finds its slot, and the
// rapid line two above it is shifted by the slot's offsets; what it shows
// and raises is kept until the stream has passed the subroutines.
//   call "SUBCALL A" at line 7, line 5 "G0 X12 Y8", slot A at (2, 3)
//   -> line 5 becomes "G0 X14 Y11"
//   a call of a name no slot has: "Internal Search Error (Subroutine)", nothing saved
//   line two above not rapid:     "Internal Search Error (Sub XY)", nothing saved
#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <utility>
#include <vector>

#include "nc/subroutine_planner.h"
#include "nc/subroutine_rules.h"
#include "tools/build_policy.h"
#include "tools/dialogs.h"

namespace orvalen {

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
  const PassWords<Build> words;
  SecondPass<Build> pass;
  Text first;
  Text second;
  try {
    for (const auto& call : plan.calls) {
      const TSub<Build>* const slot =
          FindSlot<Build>(plan.table, CallName<Build>(words, call.line));
      if (slot == nullptr) {
        pass.shown.ShowMessage(words.unknown_subroutine);
        pass.saves = false;
        return pass;
      }
      if (!call.two_above) raise_list_index(call.index - 2);
      if (!IsRapid<Build>(words, *call.two_above)) {
        pass.shown.ShowMessage(words.no_rapid_before_call);
        pass.saves = false;
        return pass;
      }
      const TextView shifted = ShiftText<Build>(words, *call.two_above, slot->OffX, slot->OffY,
                                                pass.shown, first, second);
      pass.replaced.emplace_back(call.index - 2, Text(shifted));
    }
  } catch (...) {
    pass.failure = std::current_exception();
    pass.saves = false;
  }
  return pass;
}

}  // namespace orvalen
