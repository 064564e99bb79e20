// Reading a part program from disk: opened for reading only, read in large
// pieces from the start to the end. A folder and a file of 2 GiB or more
// (2147483648 bytes) are refused as open failures, "Is a directory" and
// "File too large": the list counts its lines in a signed 32-bit number.
// FIFOs, sockets and devices are refused too ("Is a named pipe"...), by
// their type and without being opened: one could wait for a writer for ever,
// another never end, and opening a device may act on it. The name is looked
// up once (driver/file_access/file_place.h); the file read can be kept open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/file_access/file_stamp.h"

namespace orvalen {

inline constexpr std::uint64_t kLargestProgramFile = 2147483647;

class ProgramFileReader {
 public:
  ProgramFileReader() = default;
  ProgramFileReader(const ProgramFileReader&) = delete;
  ProgramFileReader& operator=(const ProgramFileReader&) = delete;
  ~ProgramFileReader();

  // 0, or the error number of the failed open. A file larger than
  // `largest` bytes is refused ("File too large"); a program that is not held
  // whole may be of any size.
  int Open(const std::string& path, std::uint64_t largest = kLargestProgramFile);
  // Hands over where the file is, the file and its stamp as of the open.
  void Keep(HeldFile& held);
  // The size of a regular file, 0 when the platform does not tell.
  std::uint64_t SizeHint() const { return size_hint_; }
  // Fills buffer[0, capacity) as far as the file goes; `got` is 0 at the end
  // of the file. 0, or the error number of a failed read.
  int Read(char* buffer, std::size_t capacity, std::size_t& got);

 private:
  HeldFile file_;
  std::uint64_t size_hint_ = 0;
  std::uint64_t total_ = 0;
  std::uint64_t largest_ = kLargestProgramFile;
};

}  // namespace orvalen
