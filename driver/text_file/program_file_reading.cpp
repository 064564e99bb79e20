#include "driver/text_file/program_file_reading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "driver/text_file/system_error_text.h"

namespace orvalen {

ProgramFileReader::~ProgramFileReader() {
  if (fd_ >= 0) close(fd_);
}

namespace {

// Why an entry that is no regular file is refused, 0 for a regular file.
int RefusalOf(mode_t mode) {
  if (S_ISREG(mode)) return 0;
  // A folder opens for reading here but not on the program's home platform,
  // where opening it is refused at once.
  if (S_ISDIR(mode)) return EISDIR;
  if (S_ISFIFO(mode)) return kIsNamedPipe;
  if (S_ISSOCK(mode)) return kIsSocket;
  if (S_ISCHR(mode)) return kIsCharacterDevice;
  if (S_ISBLK(mode)) return kIsBlockDevice;
  return EINVAL;
}

}  // namespace

// Opened without blocking, so that a FIFO does not wait for a writer; only a
// regular file is then read: a pipe or a device may never end.
int ProgramFileReader::Open(const std::string& path) {
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) {
    const int error = errno;
    struct stat entry {};
    if (error == ENXIO && stat(path.c_str(), &entry) == 0 && S_ISSOCK(entry.st_mode))
      return kIsSocket;
    return error;
  }
  struct stat st {};
  if (fstat(fd_, &st) != 0) return errno;
  if (const int refusal = RefusalOf(st.st_mode)) return refusal;
  if (static_cast<std::uint64_t>(st.st_size) > kLargestProgramFile) return EFBIG;
  size_hint_ = static_cast<std::uint64_t>(st.st_size);
  posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  return 0;
}

std::string ReadingErrorText(int error) {
  switch (error) {
    case kIsNamedPipe:
      return "Is a named pipe";
    case kIsSocket:
      return "Is a socket";
    case kIsCharacterDevice:
      return "Is a character device";
    case kIsBlockDevice:
      return "Is a block device";
    default:
      return SystemErrorText(error);
  }
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
