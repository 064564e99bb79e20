// A shim that one fault test preloads (LD_PRELOAD) into the programs: from
// the failure report's look-up of the code address (dladdr) on, no memory is
// to be had, malloc and its kin fail. Not for a sanitizer build, whose own
// allocator this would bypass.
#include <dlfcn.h>

#include <cerrno>
#include <cstddef>

extern "C" {

void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* old, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

namespace {
bool g_no_memory = false;
}

void* malloc(size_t size) {
  return g_no_memory ? nullptr : __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
  return g_no_memory ? nullptr : __libc_calloc(count, size);
}
void* realloc(void* old, size_t size) {
  return g_no_memory ? nullptr : __libc_realloc(old, size);
}
void* memalign(size_t alignment, size_t size) {
  return g_no_memory ? nullptr : __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
  return g_no_memory ? nullptr : __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
  if (g_no_memory) return ENOMEM;
  *out = __libc_memalign(alignment, size);
  return *out != nullptr ? 0 : ENOMEM;
}

int dladdr(const void* address, Dl_info* info) {
  static const auto next =
      reinterpret_cast<int (*)(const void*, Dl_info*)>(dlsym(RTLD_NEXT, "dladdr"));
  g_no_memory = true;
  return next(address, info);
}

}  // extern "C"
