#include "driver/program_file_reading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orvalen {

ProgramFileReader::~ProgramFileReader() {
  if (fd_ >= 0) close(fd_);
}

int ProgramFileReader::Open(const std::string& path) {
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) return errno;
  struct stat st {};
  if (fstat(fd_, &st) != 0) return errno;
  // A folder opens for reading here but not on the program's home platform,
  // where opening it is refused at once.
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (S_ISREG(st.st_mode)) {
    if (static_cast<std::uint64_t>(st.st_size) > kLargestProgramFile) return EFBIG;
    size_hint_ = static_cast<std::uint64_t>(st.st_size);
    posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  return 0;
}

int ProgramFileReader::Read(char* buffer, std::size_t capacity, std::size_t& got) {
  got = 0;
  while (got < capacity) {
    const ssize_t n = read(fd_, buffer + got, capacity - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  total_ += got;
  // A file that grew, or a pipe, past what a list can hold.
  if (total_ > kLargestProgramFile) return EFBIG;
  return 0;
}

}  // namespace orvalen
