#include "driver/file_access/program_file_reading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "driver/file_access/system_error_text.h"

namespace orvalen {

ProgramFileReader::~ProgramFileReader() = default;

int ProgramFileReader::Open(const std::string& path, std::uint64_t largest) {
  largest_ = largest;
  if (const int error = file_.place.Resolve(path)) return error;
  struct stat st {};
  if (const int error = file_.place.OpenRegular(O_RDONLY, file_.file, st))
    return error == kChangedSinceRead ? kChangedWhileRead : error;
  if (static_cast<std::uint64_t>(st.st_size) > largest_) return EFBIG;
  file_.stamp = FileStamp::Of(st);
  size_hint_ = static_cast<std::uint64_t>(st.st_size);
  posix_fadvise(file_.file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return 0;
}

void ProgramFileReader::Keep(HeldFile& held) {
  held = std::move(file_);
}

int ProgramFileReader::Read(char* buffer, std::size_t capacity, std::size_t& got) {
  got = 0;
  while (got < capacity) {
    const ssize_t n = read(file_.file.Get(), buffer + got, capacity - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  total_ += got;
  // A file that grew past what a list can hold.
  if (total_ > largest_) return EFBIG;
  return 0;
}

}  // namespace orvalen
