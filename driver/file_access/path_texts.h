// Path texts: the full form of a path for failure messages, a path cut
// into its folder and file name, and a changed extension. Paths are bytes with "/" between names;
// nothing here looks at the disk except FullPath, for the current directory.
#pragma once

#include <string>
#include <string_view>

namespace orvalen {

// Absolute against the current directory and lexically normalised ("." and
// ".." resolved, repeated separators joined), without following symbolic
// links, the way the Windows program's GetFullPathNameW treats a path.
// "a/./b/../c" in /home/u gives /home/u/a/c; "/../x" gives /x; a trailing
// separator stays.
std::string FullPath(const std::string& path);

// The folder and the name around the last "/". A path without one is a name
// in the current folder; a name right after the root is in "/"; a path that
// ends in "/" has an empty name.
//   "dir/file" -> "dir", "file"    "/a" -> "/", "a"
//   "a"        -> ".",   "a"       "/a/b/" -> "/a/b", ""
std::string FolderOf(std::string_view path);
std::string_view FileNameOf(std::string_view path);

// The path with its extension replaced by `extension` (which includes its
// dot). The extension starts at the last dot that comes after every folder
// separator ("/" or "\") and drive colon; a path without one gets the
// extension appended: "/jobs.old/part" gives "/jobs.old/part.tax". The name
// is the system's own; it gives the settings path (".ini") and the
// test-mode path (".tax").
std::string ChangeFileExt(std::string_view path, std::string_view extension);

}  // namespace orvalen
