// Writing the whole new content of a file so that no failure leaves half of
// it behind: the bytes go to a temporary file in the target's folder, which is
// flushed to disk, given the target's permission bits (and owner and group
// where the process may) and renamed over the target.
//
// A symbolic link stays a link: the file it leads to is replaced. A file with
// several hard links, and a writable file in a folder that is not, are written
// in place instead, after room for the new content has been reserved, so that
// a full disk still shows before the file is touched. A target this user may
// not write fails as an in-place create would (the rename never bypasses a
// read-only file). Until Commit succeeds the destructor removes whatever it
// created and the target keeps its bytes.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvalen {

class FileReplacement {
 public:
  FileReplacement() = default;
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  ~FileReplacement();

  // 0, or the error number of the create failure.
  int Begin(const std::string& path);
  // True when the target is written in place; then call Reserve first.
  bool InPlace() const { return in_place_; }
  // Makes room for `size` bytes; false (write failure) when there is none.
  bool Reserve(std::uint64_t size);
  // False when a write puts down nothing (the write failure).
  bool Write(const char* data, std::size_t size);

  enum class Outcome { kDone, kWriteFailure, kCreateFailure };
  // Flushes and puts the new content in the target's place.
  Outcome Commit(int& error_number);

 private:
  void Abandon();
  // Hands what was written since the last call to the disk, without waiting.
  void StartWriteback();

  int fd_ = -1;
  std::string target_;
  std::string temporary_;  // empty when writing in place
  bool in_place_ = false;
  bool created_target_ = false;  // in place on a file that did not exist before
  bool regular_ = true;
  bool existed_ = false;
  struct {
    mode_t mode;
    uid_t uid;
    gid_t gid;
  } target_stat_{};
  std::uint64_t written_ = 0;
  std::uint64_t writeback_started_ = 0;  // the bytes before this are on their way
};

// The write call the replacement uses; tests put a failing one in its place to
// stand for a full or broken device. Returns the previous one.
using WriteCall = ssize_t (*)(int fd, const void* data, std::size_t size);
WriteCall SetWriteCallForTesting(WriteCall call);

// The flush call, for the file and for its folder; the benchmark puts one that
// does nothing in its place, to tell the time the flush takes from the rest.
// Returns the previous one.
using SyncCall = int (*)(int fd);
SyncCall SetSyncCallForTesting(SyncCall call);

}  // namespace orvalen
