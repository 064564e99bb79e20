#include "reference/pages_from_the_end.h"

#include <sys/mman.h>

#include <cstdint>
#include <system_error>

namespace orvalen {
namespace {

// A huge page: the owner's large buffers are asked for in those.
constexpr std::size_t kStep = std::size_t{2} << 20;

}  // namespace

PagesFromTheEnd::PagesFromTheEnd(void* buffer, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  if (bytes < kWorthIt) return;
  const auto first = reinterpret_cast<std::uintptr_t>(buffer);
  char* const begin = reinterpret_cast<char*>((first + kStep - 1) & ~(kStep - 1));
  char* const end = reinterpret_cast<char*>((first + bytes) & ~(kStep - 1));
  if (end <= begin) return;
  try {
    helper_ = std::thread([this, begin, end] { FaultIn(begin, end); });
  } catch (const std::system_error&) {
    // No second thread: the owner faults in every page itself, as usual.
  }
#else
  (void)buffer;
  (void)bytes;
#endif
}

PagesFromTheEnd::~PagesFromTheEnd() {
  stop_.store(true, std::memory_order_relaxed);
  if (helper_.joinable()) helper_.join();
}

void PagesFromTheEnd::FaultIn(char* begin, char* end) {
#ifdef MADV_POPULATE_WRITE
  // A step's distance from the owner, so that the two do not fault in the
  // same page.
  for (char* step = end; step - kStep >= begin; step -= kStep) {
    if (stop_.load(std::memory_order_relaxed)) return;
    const std::size_t written = written_.load(std::memory_order_relaxed);
    if (step - kStep < begin + written + kStep) return;
    // Fails on kernels before 5.14, which do not know the request; then the
    // owner faults in the pages as usual.
    if (madvise(step - kStep, kStep, MADV_POPULATE_WRITE) != 0) return;
  }
#else
  (void)begin;
  (void)end;
#endif
}

}  // namespace orvalen
