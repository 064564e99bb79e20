// Paths the run drivers work with: the first argument of the command line
// and the running executable's own path. Paths are bytes, as the system
// hands them over.
#pragma once

#include <string>
#include <string_view>

namespace orvalen {

// The first non-empty argument after the program's name, or "" when there is
// none. An empty argument is no argument at all; later arguments are ignored.
std::string FirstArgument(int argc, const char* const* argv);

// The full path of the running executable, "" when the system does not tell.
std::string ExecutablePath();

}  // namespace orvalen
