// Faulting in the pages of a large, freshly reserved buffer from a second
// thread, from the end backwards, while its owner writes it from the start.
// The kernel clears every new page before it is first used, which costs as
// much as writing it; this way the two threads share that work, and each
// page is still cleared once. The helper stops where the owner has come to,
// and at the latest when the object goes. Nothing changes in the buffer's
// contents; where the system cannot fault pages in on request, nothing is
// done.
#pragma once

#include <atomic>
#include <cstddef>
#include <thread>

namespace orvalen {

class PagesFromTheEnd {
 public:
  // Buffers below `kWorthIt` bytes are left alone.
  static constexpr std::size_t kWorthIt = std::size_t{16} << 20;

  PagesFromTheEnd(void* buffer, std::size_t bytes);
  PagesFromTheEnd(const PagesFromTheEnd&) = delete;
  PagesFromTheEnd& operator=(const PagesFromTheEnd&) = delete;
  ~PagesFromTheEnd();

  // The owner has written the first `bytes` bytes.
  void WrittenUpTo(std::size_t bytes) { written_.store(bytes, std::memory_order_relaxed); }

 private:
  void FaultIn(char* begin, char* end);

  std::atomic<std::size_t> written_{0};
  std::atomic<bool> stop_{false};
  std::thread helper_;
};

}  // namespace orvalen
