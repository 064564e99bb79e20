// The main sequence of Orvalen: check the argument, read the test flag from
// the settings file beside the executable, load the part program, run the
// subroutine pass, and save the result over the input or, in test mode, to
// the input path with the extension ".tax". Gives the exit status: 0 after
// every ordinary run, 1 after the failure report.
#pragma once

#include "driver/dialogs/user_interface.h"

namespace orvalen {

int RunDriver(int argc, const char* const* argv, UserInterface& ui);

}  // namespace orvalen
