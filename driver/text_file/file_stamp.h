// What a part program on disk was when it was read: the file (device and
// inode, through links), its size and its modification time. Before the
// result is written over the input, the file there must still be that one,
// so that an edit another program made in the meantime, or a file that was
// removed, is never silently overwritten or brought back.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

namespace orvalen {

struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at `path` (through symbolic links), or the error
// number of the failed query.
struct StampOrError {
  std::optional<FileStamp> stamp;
  int error = 0;
};
StampOrError StampOf(const std::string& path);

// Nothing when the file at `path` is still the one of `read`; otherwise the
// system's text for why it cannot be found, or "" when it is another file or
// has changed.
std::optional<std::string> DifferenceFrom(const std::string& path,
                                          const std::optional<FileStamp>& read);

}  // namespace orvalen
