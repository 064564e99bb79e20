#include "driver/text_file/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "driver/text_file/full_path.h"
#include "driver/text_file/temporary_files.h"

namespace orvalen {
namespace {

WriteCall g_write = &::write;
SyncCall g_sync = &::fsync;

// The file a path finally leads to, following symbolic links in its last
// component (links inside the folders leave the folder's entries where they
// are). A dangling link gives the path it points to, which a save creates.
int FollowLinks(const std::string& path, std::string& target) {
  target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
    std::vector<char> link(PATH_MAX + 1);
    const ssize_t n = readlink(target.c_str(), link.data(), link.size() - 1);
    if (n < 0) return errno;
    std::string next(link.data(), static_cast<std::size_t>(n));
    if (next.empty() || next.front() != '/') next = FolderOf(target) + "/" + next;
    target = std::move(next);
  }
  return ELOOP;
}

// The form IsTemporaryNameOf knows: ".NAME.orvalen-" and eight of 0-9, a-z.
std::string TemporaryName(const std::string& target, unsigned attempt) {
  const std::string_view name = FileNameOf(target);
  const std::string folder = target.substr(0, target.size() - name.size());  // with its "/"
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const unsigned long tag = static_cast<unsigned long>(now.tv_nsec) ^
                            (static_cast<unsigned long>(getpid()) << 20) ^ (attempt * 2654435761u);
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string suffix;
  for (unsigned long t = tag, i = 0; i < kTemporaryTagLength; ++i, t /= 36)
    suffix += kDigits[t % 36];
  return folder + "." + std::string(name) + std::string(kTemporaryMark) + suffix;
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
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (created_target_) unlink(target_.c_str());
  created_target_ = false;
}

int FileReplacement::Begin(const std::string& path) {
  if (const int error = FollowLinks(path, target_)) return error;
  struct stat st {};
  existed_ = stat(target_.c_str(), &st) == 0;
  if (existed_) {
    // Ask for write access the way an in-place create would, without
    // emptying the file: a file this user may not write is never replaced.
    const int probe = open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (probe < 0) return errno;
    close(probe);
    regular_ = S_ISREG(st.st_mode);
    target_stat_ = {st.st_mode, st.st_uid, st.st_gid};
    in_place_ = !regular_ || st.st_nlink > 1;
  }
  if (!in_place_) {
    RemoveStaleTemporaryFiles(target_);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
      std::string name = TemporaryName(target_, attempt);
      fd_ = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
      if (fd_ >= 0 && !LockNewTemporaryFile(fd_)) {
        close(fd_);
        fd_ = -1;
        continue;
      }
      if (fd_ >= 0) {
        temporary_ = std::move(name);
        return 0;
      }
      if (errno != EEXIST) break;
    }
    // No temporary file in that folder (not writable, name too long): write
    // in place, which gives the create failure where that fails too.
    in_place_ = true;
  }
  int flags = O_WRONLY | O_CLOEXEC | O_NOCTTY;
  if (!existed_) flags |= O_CREAT | O_EXCL;
  if (!regular_) flags |= O_TRUNC;
  fd_ = open(target_.c_str(), flags, 0666);
  if (fd_ < 0) return errno;
  created_target_ = !existed_;
  return 0;
}

bool FileReplacement::Reserve(std::uint64_t size) {
  if (!regular_ || size == 0) return true;
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
  if (!regular_ || g_sync != &::fsync || written_ - writeback_started_ < kStretch) return;
  (void)sync_file_range(fd_, static_cast<off_t>(writeback_started_),
                        static_cast<off_t>(written_ - writeback_started_), SYNC_FILE_RANGE_WRITE);
  writeback_started_ = written_;
}

FileReplacement::Outcome FileReplacement::Commit(int& error_number) {
  error_number = 0;
  if (in_place_ && regular_ && ftruncate(fd_, static_cast<off_t>(written_)) != 0) {
    error_number = errno;
    return Outcome::kWriteFailure;
  }
  if (g_sync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    error_number = errno;
    return Outcome::kWriteFailure;
  }
  if (!in_place_) {
    if (existed_) {
      // The owner first: changing it clears the set-id bits that the mode then restores.
      if (fchown(fd_, target_stat_.uid, target_stat_.gid) != 0)
        (void)!fchown(fd_, static_cast<uid_t>(-1), target_stat_.gid);
      (void)!fchmod(fd_, target_stat_.mode & 07777);
    }
    if (rename(temporary_.c_str(), target_.c_str()) != 0) {
      error_number = errno;
      return Outcome::kCreateFailure;
    }
    temporary_.clear();
    const int folder = open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      g_sync(folder);
      close(folder);
    }
  }
  created_target_ = false;
  if (close(fd_) != 0 && errno != EINTR) {
    fd_ = -1;
    error_number = errno;
    return Outcome::kWriteFailure;
  }
  fd_ = -1;
  return Outcome::kDone;
}

}  // namespace orvalen
