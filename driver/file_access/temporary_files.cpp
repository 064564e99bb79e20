#include "driver/file_access/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "driver/file_access/file_place.h"

namespace orvalen {
namespace {

// Whether the name of the program fits into its temporary files' names.
bool UsesLongForm(std::string_view name) {
  return 1 + name.size() + kTemporaryMark.size() + kTemporaryTagLength <= NAME_MAX;
}

bool IsTagCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
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
  if (name.empty()) return false;
  const bool with_name = UsesLongForm(name);
  const std::size_t length =
      (with_name ? 1 + name.size() : 0) + kTemporaryMark.size() + kTemporaryTagLength;
  if (entry.size() != length) return false;
  if (with_name) {
    if (entry.front() != '.') return false;
    entry.remove_prefix(1);
    if (!entry.starts_with(name)) return false;
    entry.remove_prefix(name.size());
  }
  if (!entry.starts_with(kTemporaryMark)) return false;
  entry.remove_prefix(kTemporaryMark.size());
  for (const char c : entry) {
    if (!IsTagCharacter(c)) return false;
  }
  return true;
}

std::string TemporaryNameFor(std::string_view name, unsigned attempt) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const unsigned long tag = static_cast<unsigned long>(now.tv_nsec) ^
                            (static_cast<unsigned long>(getpid()) << 20) ^ (attempt * 2654435761u);
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string temporary;
  if (UsesLongForm(name)) temporary.append(".").append(name);
  temporary.append(kTemporaryMark);
  for (unsigned long t = tag, i = 0; i < kTemporaryTagLength; ++i, t /= 36)
    temporary += kDigits[t % 36];
  return temporary;
}

bool LockNewTemporaryFile(int fd) {
  // A lock held by somebody else means another name: waiting could be for
  // ever. Where the file system has no flock, no other save can take the
  // lock either, so none removes this file.
  int result;
  while ((result = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (result != 0 && errno == EWOULDBLOCK) return false;
  struct stat entry {};
  return fstat(fd, &entry) != 0 || entry.st_nlink > 0;
}

void RemoveStaleTemporaryFiles(int held_folder, std::string_view name) {
  const int folder = openat(held_folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
