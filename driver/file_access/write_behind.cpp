#include "driver/file_access/write_behind.h"

#include <system_error>

namespace orvalen {

WriteBehind::WriteBehind(FileReplacement& file, bool second_thread) : file_(file) {
  if (!second_thread) return;
  try {
    writer_ = std::thread([this] { WriteBlocks(); });
  } catch (const std::exception&) {  // no thread to be had: std::system_error or std::bad_alloc
    // Written at once, then.
  }
}

WriteBehind::~WriteBehind() {
  if (!writer_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  writer_.join();
}

bool WriteBehind::Write(const char* data, std::size_t size) {
  if (!writer_.joinable()) {
    failed_ = failed_ || !file_.Write(data, size);
    return !failed_;
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !pending_; });
  if (failed_) return false;
  data_ = data;
  size_ = size;
  pending_ = true;
  lock.unlock();
  changed_.notify_all();
  return true;
}

bool WriteBehind::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !pending_; });
  return !failed_;
}

void WriteBehind::WriteBlocks() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return pending_ || closing_; });
    if (!pending_) return;
    const char* const data = data_;
    const std::size_t size = size_;
    const bool skip = failed_;
    lock.unlock();
    const bool written = skip || file_.Write(data, size);
    lock.lock();
    failed_ = failed_ || !written;
    pending_ = false;
    changed_.notify_all();
  }
}

}  // namespace orvalen
