#include "driver/file_access/file_replacement.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

#include "driver/file_access/system_error_text.h"
#include "driver/file_access/temporary_files.h"

namespace orvalen {
namespace {

WriteCall g_write = &::write;
SyncCall g_sync = &::fsync;

// The access ACL is an attribute too, but it sets the group bits of the
// mode, so it is given together with the mode, once the file is complete.
constexpr char kAccessAcl[] = "system.posix_acl_access";

bool IsUnsupported(int error) {
  return error == ENOTSUP || error == EOPNOTSUPP;
}

// The names of the extended attributes of `fd`, each ended by a NUL; empty
// when it has none or the file system keeps none. False when they cannot be
// listed.
bool AttributeNames(int fd, std::vector<char>& names) {
  for (;;) {
    const ssize_t size = flistxattr(fd, nullptr, 0);
    if (size < 0) {
      names.clear();
      return IsUnsupported(errno);
    }
    names.resize(static_cast<std::size_t>(size));
    if (size == 0) return true;
    const ssize_t got = flistxattr(fd, names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;  // ERANGE: it grew in between
  }
}

// 0 with the value of attribute `name` of `fd`, or the error number.
int AttributeValue(int fd, const char* name, std::vector<char>& value) {
  for (;;) {
    const ssize_t size = fgetxattr(fd, name, nullptr, 0);
    if (size < 0) return errno;
    value.resize(static_cast<std::size_t>(size));
    const ssize_t got = fgetxattr(fd, name, value.data(), value.size());
    if (got >= 0) {
      value.resize(static_cast<std::size_t>(got));
      return 0;
    }
    if (errno != ERANGE) return errno;
  }
}

mode_t CurrentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

}  // namespace

WriteCall SetWriteCallForTesting(WriteCall call) {
  const WriteCall previous = g_write;
  g_write = call;
  return previous;
}

SyncCall SetSyncCallForTesting(SyncCall call) {
  const SyncCall previous = g_sync;
  g_sync = call;
  return previous;
}

FileReplacement::~FileReplacement() {
  Abandon();
}

void FileReplacement::Abandon() {
  // The temporary file goes while its lock is still held.
  if (!temporary_.empty()) unlinkat(place_.Folder(), temporary_.c_str(), 0);
  temporary_.clear();
  if (fd_ >= 0 && fd_ != target_.Get()) close(fd_);
  fd_ = -1;
}

int FileReplacement::Begin(const std::string& path, const SaveGuard& guard) {
  guard_ = guard;
  if (guard.replaces != nullptr) {
    place_ = guard.replaces->place.Copy();
    if (const int difference = DifferenceFrom(*guard.replaces)) return difference;
  } else if (const int error = place_.Resolve(path)) {
    return error;
  }
  struct stat entry {};
  const int missing = place_.Stat(entry);
  if (missing != 0 && missing != ENOENT) return missing;
  existed_ = missing == 0;
  if (existed_) {
    if (const int refusal = RefusalOf(entry.st_mode))
      return S_ISLNK(entry.st_mode) ? kChangedSinceRead : refusal;
    if (guard.replaces == nullptr && guard.content_of != nullptr &&
        guard.content_of->stamp.IsFileOf(entry))
      return kIsThePartProgram;
    // Opening for writing asks for write access the way an in-place create
    // would, without emptying the file: a file this user may not write is
    // never replaced.
    if (const int error = place_.OpenRegular(O_WRONLY | O_NONBLOCK, target_, target_stat_))
      return error;
    if (guard.replaces != nullptr && !guard.replaces->stamp.IsFileOf(target_stat_))
      return kChangedSinceRead;
    // A result beside the program is always a new file: what stands at its
    // name may be anybody's, hard links to anything included.
    carry_over_ = guard.replaces != nullptr || guard.content_of == nullptr;
    in_place_ = carry_over_ && target_stat_.st_nlink > 1;
  } else if (guard.replaces != nullptr) {
    return ENOENT;
  }
  if (!in_place_) {
    RemoveStaleTemporaryFiles(place_.Folder(), place_.Name());
    const int error = CreateTemporary();
    if (error != 0) {
      // A writable file in a folder that is not writable is written in
      // place; every other failure keeps the file as it is.
      if (!carry_over_ || (error != EACCES && error != EPERM)) return error;
      in_place_ = true;
    } else if (carry_over_ && !TakeOverOwnerAndAttributes()) {
      Abandon();
      in_place_ = true;
    }
  }
  if (in_place_) fd_ = target_.Get();
  return 0;
}

int FileReplacement::CreateTemporary() {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::string name = TemporaryNameFor(place_.Name(), attempt);
    const int fd = openat(place_.Folder(), name.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return errno;
    }
    if (!LockNewTemporaryFile(fd)) {
      // Somebody else holds it: the file is ours, so it goes, unless a save
      // that took it for a dead writer's has removed it already.
      struct stat made {
      }, named{};
      if (fstat(fd, &made) == 0 && made.st_nlink > 0 &&
          fstatat(place_.Folder(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
          SameFile(made, named))
        unlinkat(place_.Folder(), name.c_str(), 0);
      close(fd);
      continue;
    }
    fd_ = fd;
    temporary_ = std::move(name);
    return 0;
  }
  return EEXIST;
}

// The owner first: changing it clears the set-id bits, which the mode gives
// back at the end. Root may give any owner; anybody else only their own
// file, to a group they are in; where that fails the file is written in
// place, so that it never changes hands.
bool FileReplacement::TakeOverOwnerAndAttributes() {
  struct stat now {};
  if (fstat(fd_, &now) != 0) return false;
  if ((now.st_uid != target_stat_.st_uid || now.st_gid != target_stat_.st_gid) &&
      fchown(fd_, target_stat_.st_uid, target_stat_.st_gid) != 0)
    return false;
  std::vector<char> names;
  if (!AttributeNames(target_.Get(), names)) return false;
  std::vector<char> value;
  for (std::size_t at = 0; at < names.size();) {
    const char* const name = names.data() + at;
    at += std::string_view(name).size() + 1;
    if (std::string_view(name) == kAccessAcl) continue;
    const int error = AttributeValue(target_.Get(), name, value);
    if (error == ENODATA) continue;  // removed in the meantime
    if (error != 0 || fsetxattr(fd_, name, value.data(), value.size(), 0) != 0) return false;
  }
  return true;
}

int FileReplacement::GiveAccess() {
  if (!carry_over_) {
    // A new file as a new file would be, but never open to more than the
    // file its content comes from.
    mode_t mode = 0666 & ~CurrentUmask();
    if (guard_.content_of != nullptr) {
      struct stat source {};
      if (fstat(guard_.content_of->file.Get(), &source) != 0) return errno;
      mode &= source.st_mode;
      struct stat now {};
      if (fstat(fd_, &now) != 0) return errno;
      if (now.st_gid != source.st_gid && fchown(fd_, static_cast<uid_t>(-1), source.st_gid) != 0)
        mode &= ~mode_t{070};
    }
    (void)fremovexattr(fd_, kAccessAcl);  // one the folder handed down
    return fchmod(fd_, mode) == 0 ? 0 : errno;
  }
  if (fchmod(fd_, target_stat_.st_mode & 07777) != 0) return errno;
  std::vector<char> acl;
  const int error = AttributeValue(target_.Get(), kAccessAcl, acl);
  if (error == 0) {
    if (fsetxattr(fd_, kAccessAcl, acl.data(), acl.size(), 0) != 0) return errno;
  } else if (error == ENODATA || IsUnsupported(error)) {
    // An ACL that the folder handed down to the new file would give access
    // that the old one did not.
    if (fremovexattr(fd_, kAccessAcl) != 0 && errno != ENODATA && !IsUnsupported(errno))
      return errno;
  } else {
    return error;
  }
  return 0;
}

int FileReplacement::Rename() {
  const int folder = place_.Folder();
  const char* const from = temporary_.c_str();
  const char* const to = place_.Name().c_str();
  if (existed_) {
    if (renameat(folder, from, folder, to) != 0) return errno;
  } else if (renameat2(folder, from, folder, to, RENAME_NOREPLACE) != 0) {
    // A file that appeared in the meantime is not replaced.
    if (errno != EINVAL && errno != ENOSYS) return errno;
    if (linkat(folder, from, folder, to, 0) != 0) return errno;
    unlinkat(folder, from, 0);
  }
  temporary_.clear();
  return 0;
}

bool FileReplacement::Reserve(std::uint64_t size) {
  if (size == 0) return true;
  const int error = posix_fallocate(fd_, 0, static_cast<off_t>(size));
  return error == 0 || error == EOPNOTSUPP || error == EINVAL;
}

bool FileReplacement::Write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = g_write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
    written_ += static_cast<std::uint64_t>(n);
  }
  StartWriteback();
  return true;
}

void FileReplacement::StartWriteback() {
  // The disk starts on what is written while the rest is still being made,
  // so that the flush at the end waits for little more than the last
  // stretch. Only a start: whether the bytes arrived is the flush's to say,
  // so a failure here is left to it. A flush left out (by the benchmark)
  // leaves this out too.
  constexpr std::uint64_t kStretch = std::uint64_t{8} << 20;
  if (g_sync != &::fsync || written_ - writeback_started_ < kStretch) return;
  (void)sync_file_range(fd_, static_cast<off_t>(writeback_started_),
                        static_cast<off_t>(written_ - writeback_started_), SYNC_FILE_RANGE_WRITE);
  writeback_started_ = written_;
}

FileReplacement::Outcome FileReplacement::Commit(int& error_number) {
  error_number = 0;
  if (in_place_ && ftruncate(fd_, static_cast<off_t>(written_)) != 0) {
    error_number = errno;
    return Outcome::kWriteFailure;
  }
  if (g_sync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    error_number = errno;
    return Outcome::kWriteFailure;
  }
  if (!in_place_) {
    if ((error_number = GiveAccess()) != 0) return Outcome::kCreateFailure;
    // The last look before the rename: an edit made while the new content
    // was written is kept, and the save fails.
    if (guard_.replaces != nullptr && (error_number = DifferenceFrom(*guard_.replaces)) != 0)
      return Outcome::kCreateFailure;
    if ((error_number = Rename()) != 0) return Outcome::kCreateFailure;
    const int folder = openat(place_.Folder(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      g_sync(folder);
      close(folder);
    }
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0 && errno != EINTR) {
      error_number = errno;
      return Outcome::kWriteFailure;
    }
  }
  fd_ = -1;
  if (target_ && close(target_.Release()) != 0 && in_place_ && errno != EINTR) {
    error_number = errno;
    return Outcome::kWriteFailure;
  }
  return Outcome::kDone;
}

}  // namespace orvalen
