// Where a file name leads, looked up once: the folder that holds the entry,
// held open, and the entry's name in it. Everything done to the file after
// that goes through the held folder, so a name that another program changes
// in the meantime cannot send a load or a save somewhere else.
//
// Symbolic links, in the folders on the way and at the end, are followed
// only when they belong to the user who runs the program or to root: in a
// shared folder anybody may plant a link, and the kernel's own protection
// of such links may be switched off. The entry of a place is never a link;
// it may be missing (a file a save creates).
#pragma once

#include <sys/stat.h>

#include <string>

namespace orvalen {

// A descriptor that is closed with its owner.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  ~UniqueFd();
  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int Release();

 private:
  int fd_ = -1;
};

class FilePlace {
 public:
  // 0, or why `path` leads nowhere: the system's error number, or
  // kLinkOfAnotherUser.
  int Resolve(const std::string& path);
  // The held folder (an O_PATH descriptor) and the entry's name in it; or,
  // for a file reached through a link of /proc, the file held itself and
  // the empty name.
  int Folder() const { return folder_.Get(); }
  const std::string& Name() const { return name_; }
  // The entry as it is now, links not followed: 0 or the error number.
  int Stat(struct stat& entry) const;
  // Opens the entry, which must be a regular file, without opening anything
  // else in its place: the type is checked before the open, and the file
  // opened is the one checked. `entry` gets what was opened. 0, or the error
  // number, or the refusal of a folder, device, FIFO or socket.
  int OpenRegular(int flags, UniqueFd& file, struct stat& entry) const;
  FilePlace Copy() const;

 private:
  UniqueFd folder_;
  std::string name_;
};

// Why an entry that is no regular file is refused, 0 for a regular file:
// EISDIR, or one of the refusals of driver/file_access/system_error_text.h.
int RefusalOf(mode_t mode);

bool SameFile(const struct stat& a, const struct stat& b);

// Whether a symbolic link may be followed: it belongs to the user who runs
// the program or to root.
bool MayFollowLink(const struct stat& link);

}  // namespace orvalen
