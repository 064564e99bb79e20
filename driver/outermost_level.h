// The outermost level of a run: every failure that nothing below caught ends
// here, in the failure report window, and the run ends with exit status 1.
// Running out of memory is the failure EOutOfMemory.
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

// Runs `main_sequence` and gives its exit status, or shows the report of the
// failure that ended it and gives 1.
int RunInOutermostLevel(UserInterface& ui, const ReportStyle& style,
                        const std::function<int()>& main_sequence);

}  // namespace orvalen
