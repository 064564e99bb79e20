// One save of a part program's new content, from its beginning to its
// commit. The content is handed over piece by piece as it is made and goes
// to a new file through a writing thread (FileReplacement, WriteBehind); a
// target written in place, which must not be written while the content is
// still read from it, gets it staged first (an unnamed temporary file of
// this user alone, mode 0600, in TMPDIR or /tmp; memory where none can be
// made) and written over it at the end. A save that cannot begin, or of
// which nothing is to be kept, takes the content and drops it.
//
// Complete raises what went wrong, in this order and worded by the program
// (`Wording`: CreateFailureMessage(full path, error text) and
// WriteFailureMessage()): the create failure from Begin, a failed write
// (the write failure), then what the commit gives. Until Complete succeeds
// the target keeps its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "driver/file_access/file_place.h"
#include "driver/file_access/file_replacement.h"
#include "driver/file_access/path_texts.h"
#include "driver/file_access/system_error_text.h"
#include "driver/file_access/write_behind.h"
#include "tools/failure.h"

namespace orvalen {

class ProgramSave {
 public:
  static constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
  static constexpr std::size_t kRoomBytes = std::size_t{1} << 16;  // what Room gives at most

  // A save that drops what it is given.
  ProgramSave() = default;
  ProgramSave(const ProgramSave&) = delete;
  ProgramSave& operator=(const ProgramSave&) = delete;

  // Begins the save to `path` within `guard`; the content is written from a
  // second thread when `second_thread` (a large file). A create failure is
  // kept for Complete, and the content is then dropped.
  void Begin(const std::string& path, const SaveGuard& guard, bool second_thread);
  bool Writes() const { return kind_ != Kind::kNowhere; }

  // At least `bytes` (at most kRoomBytes) of room at the end, filled up to
  // `end` by Commit.
  char* Room(std::size_t bytes) {
    if (static_cast<std::size_t>(end_ - out_) + bytes > kPieceBytes + kRoomBytes) HandOver();
    return end_;
  }
  void Commit(char* end) {
    end_ = end;
    if (static_cast<std::size_t>(end_ - out_) >= kPieceBytes) HandOver();
  }
  void Put(const char* data, std::size_t size);

  template <class Wording>
  void Complete(const std::string& path) {
    const auto create_failure = [&](int error) {
      Raise<EFCreateError>(Wording::CreateFailureMessage(FullPath(path), SystemErrorText(error)));
    };
    if (create_error_ != 0) create_failure(create_error_);
    int error = 0;
    switch (Finish(error)) {
      case FileReplacement::Outcome::kDone:
        return;
      case FileReplacement::Outcome::kWriteFailure:
        Raise<EWriteError>(Wording::WriteFailureMessage());
      case FileReplacement::Outcome::kCreateFailure:
        create_failure(error);
    }
  }

 private:
  enum class Kind { kFile, kStaged, kNowhere };
  void HandOver();
  // Writes what is left, the staged content over the target, and commits.
  FileReplacement::Outcome Finish(int& error_number);
  bool WriteStaged();

  Kind kind_ = Kind::kNowhere;
  int create_error_ = 0;
  FileReplacement file_;
  std::unique_ptr<char[]> buffers_;  // two pieces, filled by turns
  char* out_ = nullptr;              // the piece being filled
  char* end_ = nullptr;
  std::optional<WriteBehind> writer_;
  UniqueFd staging_;
  std::string memory_;
  std::uint64_t staged_ = 0;
  bool failed_ = false;
};

}  // namespace orvalen
