// Writing the whole new content of a file so that no failure leaves half of
// it behind, and so that nobody gains access to anything: the bytes go to a
// temporary file in the target's folder, created for this user alone (mode
// 0600), which is given the target's owner, group and extended attributes
// first and its mode and access ACL once it is complete, flushed to disk and
// renamed over the target.
//
// The name is looked up once (driver/file_access/file_place.h), so links of
// other users are never followed, and the entry that is replaced is the one
// looked up. A folder, device, FIFO or socket at the end is refused without
// being opened. A file is written in place instead, after room for the new
// content has been reserved, only where a new file could not stand in for
// it: several hard links, a writable file in a folder that is not writable,
// and a file whose owner, group or an attribute this user cannot give a new
// file. Any other failure to create the temporary file is the create
// failure. A target this user may not write fails as an in-place create
// would (the rename never bypasses a read-only file). Until Commit succeeds
// the destructor removes whatever it created and the target keeps its bytes.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/file_access/file_place.h"
#include "driver/file_access/file_stamp.h"

namespace orvalen {

// What a save may write over, beside the rules above.
struct SaveGuard {
  // The file the new content replaces: its entry must still hold it,
  // unchanged, when the save begins and right before the rename.
  const HeldFile* replaces = nullptr;
  // The file the content comes from, when the save goes elsewhere: the
  // target must not be that file, and is then always replaced by a new file
  // (never written in place, nothing taken over from what stood there) that
  // gets no access the file of the content does not give.
  const HeldFile* content_of = nullptr;
};

class FileReplacement {
 public:
  FileReplacement() = default;
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  ~FileReplacement();

  // 0, or the error number of the create failure (or one of the program's
  // own refusals, driver/file_access/system_error_text.h).
  int Begin(const std::string& path, const SaveGuard& guard = {});
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
  int CreateTemporary();
  // Gives the temporary file the target's owner, group and attributes; false
  // when one of them cannot be given.
  bool TakeOverOwnerAndAttributes();
  // Gives the finished temporary file its mode (and the target's ACL).
  int GiveAccess();
  // Puts the finished temporary file in the target's place.
  int Rename();
  // Hands what was written since the last call to the disk, without waiting.
  void StartWriteback();

  SaveGuard guard_;
  FilePlace place_;
  UniqueFd target_;        // the existing target, open for writing
  int fd_ = -1;            // where the content goes: the temporary file or target_
  std::string temporary_;  // its name in the folder; empty when writing in place
  bool in_place_ = false;
  bool existed_ = false;
  bool carry_over_ = false;  // the target's owner, group, mode and attributes stay
  struct stat target_stat_ {};
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
