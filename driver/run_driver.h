// The main sequence of Orvalen: answer --help and --version, check the
// argument, read the test flag from the settings file beside the executable,
// load the part program, run the subroutine pass, and save the result over
// the input or, in test mode, to the input path with the extension ".tax".
// Gives the exit status: 0 after every ordinary run, 1 after the failure
// report.
#pragma once

namespace orvalen {

int RunDriver(int argc, const char* const* argv);

}  // namespace orvalen
