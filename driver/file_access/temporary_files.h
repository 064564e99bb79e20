// The hidden temporary files a save writes beside a program before it renames
// one over it: ".NAME.orvalen-" and eight characters of 0-9 and a-z, or,
// where that would be longer than a name may be, ".orvalen-" and the eight
// characters alone. The writer holds an exclusive flock on its file while it
// writes, so a file of that name whose lock can be taken was left by a writer
// that died (a killed save), and the next save of the same program removes
// it.
#pragma once

#include <climits>
#include <string>
#include <string_view>

namespace orvalen {

inline constexpr std::string_view kTemporaryMark = ".orvalen-";
inline constexpr std::size_t kTemporaryTagLength = 8;

// Whether `entry` (a name in a folder) has exactly the form of a temporary
// file of the program named `name`.
bool IsTemporaryNameOf(std::string_view entry, std::string_view name);

// A name of that form for the program named `name`; `attempt` counts the
// tries, so that each gives another name.
std::string TemporaryNameFor(std::string_view name, unsigned attempt);

// Takes the writer's lock on a temporary file just created, without waiting;
// false when the file is gone already (another save took it for a dead
// writer's between its creation and this lock) or somebody holds a lock on
// it, so that the writer makes another.
bool LockNewTemporaryFile(int fd);

// Removes the temporary files of the program named `name` in `folder` (a
// held folder) whose lock is free: only regular files of this user, opened
// without following links and without blocking. Whatever cannot be checked or
// removed is left alone.
void RemoveStaleTemporaryFiles(int folder, std::string_view name);

}  // namespace orvalen
