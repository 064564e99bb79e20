// A growable run of characters that is never zero-filled: the decoded text of
// a part program (or the index of its line starts) is written into it once,
// and room that is reserved but not yet written costs no memory.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "tools/failure.h"

namespace orvalen {

template <class Char>
class TextBuffer {
 public:
  // Makes room for at least `capacity` characters in all.
  void Reserve(std::size_t capacity) {
    if (capacity <= capacity_) return;
    std::unique_ptr<Char[]> grown;
    try {
      grown = std::make_unique_for_overwrite<Char[]>(capacity);
    } catch (const std::bad_alloc&) {
      RaiseOutOfMemory();
    }
    // Large texts fault in far fewer pages as huge pages.
    if (capacity * sizeof(Char) >= (std::size_t{4} << 20)) {
      const auto begin =
          (reinterpret_cast<std::uintptr_t>(grown.get()) + 0x1FFFFF) & ~std::uintptr_t{0x1FFFFF};
      const auto end =
          (reinterpret_cast<std::uintptr_t>(grown.get() + capacity)) & ~std::uintptr_t{0x1FFFFF};
      if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
    if (size_ != 0) std::memcpy(grown.get(), data_.get(), size_ * sizeof(Char));
    data_ = std::move(grown);
    capacity_ = capacity;
  }
  // Room for `count` more characters at the end; Commit says how many were written.
  Char* AppendSpace(std::size_t count) {
    if (capacity_ - size_ < count) Reserve(size_ + (count > size_ ? count : size_));
    return data_.get() + size_;
  }
  void Commit(std::size_t count) { size_ += count; }
  // Empties it, keeping the room.
  void Clear() { size_ = 0; }
  void Append(Char c) {
    if (size_ == capacity_) Reserve(size_ + (size_ > 16 ? size_ : 16));
    data_[size_++] = c;
  }

  Char* data() { return data_.get(); }
  const Char* data() const { return data_.get(); }
  std::size_t size() const { return size_; }

 private:
  std::unique_ptr<Char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace orvalen
