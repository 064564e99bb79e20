// The main sequence of OrvalenLegacy, the older and shorter one: --help and
// --version as in Orvalen, but no existence test and no test mode. The
// settings file is read but its value is not used, and the result always goes
// back over the input file. Gives the exit status: 0 after every ordinary
// run, 1 after the failure report.
#pragma once

namespace orvalen {

int LegacyRunDriver(int argc, const char* const* argv);

}  // namespace orvalen
