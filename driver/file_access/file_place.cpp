#include "driver/file_access/file_place.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <deque>
#include <string_view>
#include <utility>

#include "driver/file_access/system_error_text.h"

namespace orvalen {
namespace {

// As many links as the kernel follows in one lookup.
constexpr int kMostLinks = 40;

// The names of `path` in order, before those still to be walked.
void PushNames(std::string_view path, std::deque<std::string>& names) {
  std::deque<std::string> these;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    if (end > start) these.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  // A path ending in "/" names a folder.
  if (!path.empty() && path.back() == '/') these.emplace_back(".");
  names.insert(names.begin(), these.begin(), these.end());
}

// Whether `folder` is in the process file system, whose links are no paths.
bool IsProcess(int folder) {
  struct statfs system {};
  return fstatfs(folder, &system) == 0 && system.f_type == PROC_SUPER_MAGIC;
}

// The text of the link that `fd` (opened with O_PATH | O_NOFOLLOW) or the
// entry `name` in `folder` is.
int ReadLink(int folder, const char* name, std::string& target) {
  char text[PATH_MAX + 1];
  const ssize_t n = readlinkat(folder, name, text, sizeof text);
  if (n < 0) return errno;
  if (static_cast<std::size_t>(n) >= sizeof text) return ENAMETOOLONG;
  target.assign(text, static_cast<std::size_t>(n));
  return target.empty() ? ENOENT : 0;
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) close(fd_);
}

int UniqueFd::Release() {
  return std::exchange(fd_, -1);
}

int RefusalOf(mode_t mode) {
  if (S_ISREG(mode)) return 0;
  // A folder opens for reading here but not on the program's home platform,
  // where opening it is refused at once.
  if (S_ISDIR(mode)) return EISDIR;
  if (S_ISFIFO(mode)) return kIsNamedPipe;
  if (S_ISSOCK(mode)) return kIsSocket;
  if (S_ISCHR(mode)) return kIsCharacterDevice;
  if (S_ISBLK(mode)) return kIsBlockDevice;
  return EINVAL;
}

bool MayFollowLink(const struct stat& link) {
  return link.st_uid == 0 || link.st_uid == geteuid();
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The walk goes name by name, each folder opened with O_PATH and without
// following links, so that every link met is seen and judged before it is
// followed; ".." goes to the folder's real parent, as in the kernel's own
// lookup.
int FilePlace::Resolve(const std::string& path) {
  folder_ = UniqueFd();
  name_.clear();
  if (path.empty()) return ENOENT;
  std::deque<std::string> names;
  PushNames(path, names);
  const auto open_folder = [](int at, const char* name) {
    return UniqueFd(openat(at, name, O_PATH | O_DIRECTORY | O_CLOEXEC));
  };
  UniqueFd folder = open_folder(AT_FDCWD, path.front() == '/' ? "/" : ".");
  if (!folder) return errno;
  if (names.empty()) names.emplace_back(".");  // "/" alone
  int links = 0;
  while (!names.empty()) {
    std::string name = std::move(names.front());
    names.pop_front();
    if (name == "." && !names.empty()) continue;
    struct stat entry {};
    if (fstatat(folder.Get(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT || !names.empty()) return errno;
      name_ = std::move(name);  // a file yet to be made
      break;
    }
    if (S_ISLNK(entry.st_mode)) {
      if (!MayFollowLink(entry)) return kLinkOfAnotherUser;
      if (++links > kMostLinks) return ELOOP;
      if (IsProcess(folder.Get())) {
        // The links of /proc/self/fd and the like lead to open files, which
        // their text does not name: the kernel follows this one. A file
        // reached so is held itself, with no folder and name.
        UniqueFd reached(openat(folder.Get(), name.c_str(), O_PATH | O_CLOEXEC));
        if (!reached) return errno;
        if (names.empty()) {
          folder_ = std::move(reached);
          return 0;
        }
        folder = std::move(reached);
        continue;
      }
      std::string target;
      if (const int error = ReadLink(folder.Get(), name.c_str(), target)) return error;
      if (target.front() == '/') {
        folder = open_folder(AT_FDCWD, "/");
        if (!folder) return errno;
      }
      const bool was_last = names.empty();
      PushNames(target, names);
      if (names.empty() && was_last) names.emplace_back(".");  // a link to "/"
      continue;
    }
    if (names.empty()) {
      name_ = std::move(name);
      break;
    }
    if (!S_ISDIR(entry.st_mode)) return ENOTDIR;
    UniqueFd next = open_folder(folder.Get(), name.c_str());
    if (!next) return errno;
    folder = std::move(next);
  }
  if (name_.empty()) return ENOENT;
  folder_ = std::move(folder);
  return 0;
}

int FilePlace::Stat(struct stat& entry) const {
  const int flags = AT_SYMLINK_NOFOLLOW | (name_.empty() ? AT_EMPTY_PATH : 0);
  return fstatat(folder_.Get(), name_.c_str(), &entry, flags) == 0 ? 0 : errno;
}

// The entry is taken as a handle that opens nothing (O_PATH), its type is
// checked on that handle, and only then is the same file opened through
// /proc, with the usual permission checks. Where /proc is not mounted the
// name is opened again, without following links and without blocking, and
// must still be the file checked.
int FilePlace::OpenRegular(int flags, UniqueFd& file, struct stat& entry) const {
  const UniqueFd handle(
      name_.empty() ? fcntl(folder_.Get(), F_DUPFD_CLOEXEC, 0)
                    : openat(folder_.Get(), name_.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (!handle) return errno == ELOOP ? kChangedSinceRead : errno;
  if (fstat(handle.Get(), &entry) != 0) return errno;
  if (S_ISLNK(entry.st_mode)) return kChangedSinceRead;
  if (const int refusal = RefusalOf(entry.st_mode)) return refusal;
  flags |= O_CLOEXEC | O_NOCTTY;
  const std::string proc = "/proc/self/fd/" + std::to_string(handle.Get());
  UniqueFd opened(open(proc.c_str(), flags));
  if (!opened && errno == ENOENT && !name_.empty() && access("/proc/self/fd", F_OK) != 0)
    opened = UniqueFd(openat(folder_.Get(), name_.c_str(), flags | O_NOFOLLOW | O_NONBLOCK));
  if (!opened) return errno;
  struct stat now {};
  if (fstat(opened.Get(), &now) != 0) return errno;
  if (!SameFile(now, entry)) return kChangedSinceRead;
  entry = now;
  file = std::move(opened);
  return 0;
}

FilePlace FilePlace::Copy() const {
  FilePlace copy;
  copy.folder_ = UniqueFd(fcntl(folder_.Get(), F_DUPFD_CLOEXEC, 0));
  copy.name_ = name_;
  return copy;
}

}  // namespace orvalen
