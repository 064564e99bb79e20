#include "driver/file_access/file_stamp.h"

#include <cerrno>

#include "driver/file_access/system_error_text.h"

namespace orvalen {
namespace {

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

}  // namespace

FileStamp FileStamp::Of(const struct stat& entry) {
  return {entry.st_dev, entry.st_ino, entry.st_size, Nanoseconds(entry.st_mtim),
          Nanoseconds(entry.st_ctim)};
}

int DifferenceFrom(const HeldFile& read) {
  struct stat entry {};
  if (const int error = read.place.Stat(entry)) return error;
  struct stat held {};
  if (fstat(read.file.Get(), &held) != 0) return errno;
  if (!SameFile(entry, held) || FileStamp::Of(held) != read.stamp) return kChangedSinceRead;
  return 0;
}

}  // namespace orvalen
