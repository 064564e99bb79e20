#include "driver/file_access/program_save.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "driver/file_access/read_at.h"

namespace orvalen {

void ProgramSave::Begin(const std::string& path, const SaveGuard& guard, bool second_thread) {
  create_error_ = file_.Begin(path, guard);
  if (create_error_ != 0) return;
  kind_ = file_.InPlace() ? Kind::kStaged : Kind::kFile;
  if (kind_ == Kind::kStaged) {
    const char* folder = std::getenv("TMPDIR");
    if (folder == nullptr || *folder != '/') folder = "/tmp";
    staging_ = UniqueFd(open(folder, O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600));
    if (!staging_) staging_ = UniqueFd(open("/tmp", O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600));
  }
  try {
    buffers_ = std::make_unique_for_overwrite<char[]>(2 * (kPieceBytes + kRoomBytes));
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  }
  out_ = end_ = buffers_.get();
  if (kind_ == Kind::kFile) writer_.emplace(file_, second_thread);
}

void ProgramSave::Put(const char* data, std::size_t size) {
  if (kind_ == Kind::kNowhere) return;
  while (size > 0) {
    const std::size_t part = std::min(size, kRoomBytes);
    char* const room = Room(part);
    std::memcpy(room, data, part);
    Commit(room + part);
    data += part;
    size -= part;
  }
}

void ProgramSave::HandOver() {
  if (end_ == out_) return;
  const std::size_t size = static_cast<std::size_t>(end_ - out_);
  if (kind_ == Kind::kStaged) {
    end_ = out_;
    if (failed_) return;
    if (static_cast<bool>(staging_)) {
      for (std::size_t done = 0; done < size;) {
        const ssize_t put = write(staging_.Get(), out_ + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
          failed_ = true;
          return;
        }
        done += static_cast<std::size_t>(put);
      }
    } else {
      try {
        memory_.append(out_, size);
      } catch (const std::bad_alloc&) {
        RaiseOutOfMemory();
      }
    }
    staged_ += size;
    return;
  }
  if (!writer_->Write(out_, size)) failed_ = true;
  char* const other =
      out_ == buffers_.get() ? buffers_.get() + kPieceBytes + kRoomBytes : buffers_.get();
  out_ = end_ = other;
}

bool ProgramSave::WriteStaged() {
  if (!file_.Reserve(staged_)) return false;
  if (!static_cast<bool>(staging_)) {
    for (std::size_t at = 0; at < memory_.size(); at += kPieceBytes) {
      if (!file_.Write(memory_.data() + at, std::min(memory_.size() - at, kPieceBytes)))
        return false;
    }
    return true;
  }
  char* const piece = buffers_.get();
  for (std::uint64_t at = 0; at < staged_;) {
    const std::int64_t got = ReadAt(staging_.Get(), piece, kPieceBytes, at);
    if (got <= 0 || !file_.Write(piece, static_cast<std::size_t>(got))) return false;
    at += static_cast<std::uint64_t>(got);
  }
  return true;
}

FileReplacement::Outcome ProgramSave::Finish(int& error_number) {
  if (kind_ == Kind::kNowhere) return FileReplacement::Outcome::kDone;
  HandOver();
  if (writer_ && !writer_->Finish()) failed_ = true;
  if (failed_ || (kind_ == Kind::kStaged && !WriteStaged()))
    return FileReplacement::Outcome::kWriteFailure;
  return file_.Commit(error_number);
}

}  // namespace orvalen
