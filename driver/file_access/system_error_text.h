// The platform's text for an error number as the file failures quote it:
// trailing blanks, control characters and full stops removed. Beside the
// system's numbers, the program's own reasons for refusing a file have
// negative numbers and texts in the same style.
#pragma once

#include <string>

namespace orvalen {

// An entry that is no regular file: never opened, since opening a device may
// act on it (a serial port raises its lines, a tape rewinds), and a FIFO may
// wait for ever.
inline constexpr int kIsNamedPipe = -1;
inline constexpr int kIsSocket = -2;
inline constexpr int kIsCharacterDevice = -3;
inline constexpr int kIsBlockDevice = -4;
// A symbolic link on the way that belongs neither to this user nor to root.
inline constexpr int kLinkOfAnotherUser = -5;
// The test result's path leads to the part program itself.
inline constexpr int kIsThePartProgram = -6;
// The file to be replaced is no longer the one that was read.
inline constexpr int kChangedSinceRead = -7;
inline constexpr int kChangedWhileRead = -8;

// "No such file or directory" for ENOENT, "Is a named pipe" for
// kIsNamedPipe.
std::string SystemErrorText(int error_number);

}  // namespace orvalen
