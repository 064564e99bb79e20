#include "driver/existing_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "driver/text_file/full_path.h"

namespace orvalen {
namespace {

// Opens without blocking (a FIFO would wait for a writer) and closes at once.
bool CanOpenForReading(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  close(fd);
  return true;
}

// Lists the folder of `path` and looks for its last name there.
bool FolderHoldsFile(const std::string& path) {
  std::string_view whole(path);
  while (whole.size() > 1 && whole.back() == '/') whole.remove_suffix(1);
  const std::string folder = FolderOf(whole);
  const std::string_view name = FileNameOf(whole);
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  bool found = false;
  while (const dirent* entry = readdir(dir)) {
    if (name == entry->d_name) {
      found = entry->d_type != DT_DIR;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

bool NamesExistingFile(const std::string& path) {
  if (path.empty() || path.find_first_of("*?") != std::string::npos) return false;
  struct stat entry {};
  if (lstat(path.c_str(), &entry) != 0) {
    if (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG || errno == ELOOP) {
      return false;
    }
    return FolderHoldsFile(path);
  }
  if (S_ISLNK(entry.st_mode)) {
    struct stat target {};
    if (stat(path.c_str(), &target) != 0 || S_ISDIR(target.st_mode)) return false;
    return CanOpenForReading(path);
  }
  return !S_ISDIR(entry.st_mode);
}

}  // namespace orvalen
