// The full form of a path for failure messages: absolute against the current
// directory and lexically normalised ("." and ".." resolved, repeated
// separators joined), without following symbolic links, the way the Windows
// program's GetFullPathNameW treats a path. "a/./b/../c" in /home/u gives
// /home/u/a/c; "/../x" gives /x; a trailing separator stays.
#pragma once

#include <string>

namespace orvalen {

std::string FullPath(const std::string& path);

}  // namespace orvalen
