#include "driver/text_file/file_stamp.h"

#include <sys/stat.h>

#include <cerrno>

#include "driver/text_file/system_error_text.h"

namespace orvalen {

StampOrError StampOf(const std::string& path) {
  struct stat entry {};
  if (stat(path.c_str(), &entry) != 0) return {std::nullopt, errno};
  FileStamp stamp;
  stamp.device = entry.st_dev;
  stamp.inode = entry.st_ino;
  stamp.size = entry.st_size;
  stamp.modified_ns =
      static_cast<std::int64_t>(entry.st_mtim.tv_sec) * 1'000'000'000 + entry.st_mtim.tv_nsec;
  return {stamp, 0};
}

std::optional<std::string> DifferenceFrom(const std::string& path,
                                          const std::optional<FileStamp>& read) {
  const StampOrError now = StampOf(path);
  if (!now.stamp) return SystemErrorText(now.error);
  if (!read || *now.stamp != *read) return std::string();
  return std::nullopt;
}

}  // namespace orvalen
