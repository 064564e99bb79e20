// The hidden temporary files a save writes beside a program before it renames
// one over it: ".NAME.orvalen-" and eight characters of 0-9 and a-z. The
// writer holds an exclusive flock on its file while it writes, so a file of
// that name whose lock can be taken was left by a writer that died (a killed
// save), and the next save of the same program removes it.
#pragma once

#include <string>
#include <string_view>

namespace orvalen {

inline constexpr std::string_view kTemporaryMark = ".orvalen-";
inline constexpr std::size_t kTemporaryTagLength = 8;

// Whether `entry` (a name in a folder) has exactly the form of a temporary
// file of the program named `name`.
bool IsTemporaryNameOf(std::string_view entry, std::string_view name);

// Takes the writer's lock on a temporary file just created; false when the
// file is gone already (another save took it for a dead writer's between its
// creation and this lock), so that the writer makes another.
bool LockNewTemporaryFile(int fd);

// Removes the temporary files of the program at `path` (its folder and name
// as they are, links not followed) whose lock is free: only regular files of
// this user, opened without following links and without blocking. Whatever
// cannot be checked or removed is left alone.
void RemoveStaleTemporaryFiles(const std::string& path);

}  // namespace orvalen
