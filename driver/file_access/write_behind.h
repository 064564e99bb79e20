// Writing a file from a second thread: the caller hands over one block and
// goes on making the next while the block is written. A block must stay as
// it is until the next hand-over (or Finish) returns. After a failed write
// nothing more is written, and the next hand-over or Finish says so. Without
// a second thread (not asked for, or none to be had) every block is written
// at once.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

#include "driver/file_access/file_replacement.h"

namespace orvalen {

class WriteBehind {
 public:
  WriteBehind(FileReplacement& file, bool second_thread);
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;
  ~WriteBehind();

  // Waits until the block handed over before is written; false when a
  // write has failed.
  bool Write(const char* data, std::size_t size);
  // Waits until every block is written; false when a write has failed.
  bool Finish();

 private:
  void WriteBlocks();

  FileReplacement& file_;
  std::mutex mutex_;
  std::condition_variable changed_;
  const char* data_ = nullptr;  // the block handed over, while pending_
  std::size_t size_ = 0;
  bool pending_ = false;
  bool failed_ = false;
  bool closing_ = false;
  std::thread writer_;
};

}  // namespace orvalen
