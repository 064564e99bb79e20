#include "driver/text_file/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "driver/text_file/full_path.h"

namespace orvalen {
namespace {

bool IsTagCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool IsOurRegularFile(const struct stat& entry) {
  return S_ISREG(entry.st_mode) && entry.st_uid == geteuid();
}

// Removes one candidate if its writer is gone. The lock is held while the
// name is removed, and the name must still lead to the file that was locked.
void RemoveIfStale(int folder, const char* entry) {
  struct stat by_name {};
  if (fstatat(folder, entry, &by_name, AT_SYMLINK_NOFOLLOW) != 0 || !IsOurRegularFile(by_name))
    return;
  const int fd = openat(folder, entry, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat opened {};
  if (fstat(fd, &opened) == 0 && IsOurRegularFile(opened) && SameFile(opened, by_name) &&
      flock(fd, LOCK_EX | LOCK_NB) == 0) {
    struct stat now {};
    if (fstatat(folder, entry, &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(now, opened))
      unlinkat(folder, entry, 0);
  }
  close(fd);
}

}  // namespace

bool IsTemporaryNameOf(std::string_view entry, std::string_view name) {
  const std::size_t length = 1 + name.size() + kTemporaryMark.size() + kTemporaryTagLength;
  if (name.empty() || entry.size() != length || entry.front() != '.') return false;
  entry.remove_prefix(1);
  if (!entry.starts_with(name)) return false;
  entry.remove_prefix(name.size());
  if (!entry.starts_with(kTemporaryMark)) return false;
  entry.remove_prefix(kTemporaryMark.size());
  for (const char c : entry) {
    if (!IsTagCharacter(c)) return false;
  }
  return true;
}

bool LockNewTemporaryFile(int fd) {
  // Where the file system has no flock, no other save can take the lock
  // either, so none removes this file.
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  struct stat entry {};
  return fstat(fd, &entry) != 0 || entry.st_nlink > 0;
}

void RemoveStaleTemporaryFiles(const std::string& path) {
  const std::string folder_path = FolderOf(path);
  const std::string_view name = FileNameOf(path);
  const int folder = open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return;
  DIR* listing = fdopendir(folder);
  if (listing == nullptr) {
    close(folder);
    return;
  }
  while (const dirent* entry = readdir(listing)) {
    if (IsTemporaryNameOf(entry->d_name, name)) RemoveIfStale(folder, entry->d_name);
  }
  closedir(listing);
}

}  // namespace orvalen
