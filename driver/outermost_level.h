// The outermost level of a run: the dialogs are opened here, and every
// failure that nothing below caught ends here, in the failure report, and the
// run ends with exit status 1. Running out of memory is the failure
// EOutOfMemory.
#pragma once

#include <functional>
#include <string>

#include "driver/dialogs/user_interface.h"

namespace orvalen {

// How a program words its report: the number of hex digits of the address,
// and how a module's file name (bytes) reads as text.
struct ReportStyle {
  int address_digits;
  std::u16string (*file_name_text)(std::string_view bytes);
};

// Opens the dialogs of this process, runs `main_sequence` with them and gives
// its exit status, or shows the report of the failure that ended it and
// gives 1. A failure before the dialogs are open is reported on the console.
// A console whose reader has gone never ends the run: what cannot be shown is
// not shown.
int RunInOutermostLevel(const ReportStyle& style,
                        const std::function<int(UserInterface&)>& main_sequence);

}  // namespace orvalen
