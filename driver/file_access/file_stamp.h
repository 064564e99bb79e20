// What a part program on disk was when it was read: where it is, the file
// itself (held open), its size and its modification and change times. Before
// the result is written over the input, the entry there must still be that
// file, unchanged, so that an edit another program made in the meantime, or
// a file that was removed or replaced, is never silently overwritten or
// brought back.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>

#include "driver/file_access/file_place.h"

namespace orvalen {

struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;
  std::int64_t changed_ns = 0;
  static FileStamp Of(const struct stat& entry);
  // Whether `entry` is the file of this stamp, changed or not.
  bool IsFileOf(const struct stat& entry) const {
    return entry.st_dev == device && entry.st_ino == inode;
  }
  bool operator==(const FileStamp&) const = default;
};

struct HeldFile {
  FilePlace place;
  UniqueFd file;  // open for reading
  FileStamp stamp;
};

// 0 when the entry of `read` is still the file that was read, unchanged;
// else the error number of the failed look-up (ENOENT for a removed file) or
// kChangedSinceRead.
int DifferenceFrom(const HeldFile& read);

}  // namespace orvalen
