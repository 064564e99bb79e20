// Reading from a held descriptor at an offset, as far as the file goes,
// through pread: nothing is mapped, so a file cut short by another program
// is an early end, never a fault.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace orvalen {

// Reads up to `size` bytes at `offset`: the count, or -errno.
inline std::int64_t ReadAt(int fd, char* buffer, std::size_t size, std::uint64_t offset) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = pread(fd, buffer + got, size - got, static_cast<off_t>(offset + got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -errno;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(got);
}

}  // namespace orvalen
