// Paths the run drivers work with: the first argument of the command line,
// the running executable's own path, and the extension change that gives the
// settings path (".ini") and the test-mode path (".tax"). Paths are bytes,
// as the system hands them over.
#pragma once

#include <string>
#include <string_view>

namespace orvalen {

// The first non-empty argument after the program's name, or "" when there is
// none. An empty argument is no argument at all; later arguments are ignored.
std::string FirstArgument(int argc, const char* const* argv);

// The full path of the running executable, "" when the system does not tell.
std::string ExecutablePath();

// The path with its extension replaced by `extension` (which includes its
// dot). The extension starts at the last dot that comes after every folder
// separator ("/" or "\") and drive colon; a path without one gets the
// extension appended: "/jobs.old/part" gives "/jobs.old/part.tax". The name
// is the system's own.
std::string ChangeFileExt(std::string_view path, std::string_view extension);

}  // namespace orvalen
