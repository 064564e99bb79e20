#include "driver/existing_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "driver/file_access/file_place.h"
#include "driver/file_access/path_texts.h"

namespace orvalen {
namespace {

// Asks without opening: opening a device may act on it (a serial port
// raises its lines, a tape rewinds).
bool CanOpenForReading(const std::string& path) {
  return faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0;
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
    // Not followed: the load refuses it and says why.
    if (!MayFollowLink(entry)) return true;
    struct stat target {};
    if (stat(path.c_str(), &target) != 0 || S_ISDIR(target.st_mode)) return false;
    return CanOpenForReading(path);
  }
  return !S_ISDIR(entry.st_mode);
}

}  // namespace orvalen
