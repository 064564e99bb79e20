// A shim that the fault tests preload into the programs (LD_PRELOAD) to make
// the system fail where real machines fail, on regular files other than
// standard input, output and error (the console dialogs keep working):
//   ORVALEN_FAULT_DEVICE_BYTES=n  the device is full after n more bytes:
//                                 writes put down what still fits, then
//                                 fail with ENOSPC; so does posix_fallocate
//                                 of more than fits
//   ORVALEN_FAULT_READ_EIO=n      reading fails with EIO after n bytes
//   ORVALEN_FAULT_FSYNC_EIO=1     fsync fails with EIO
//   ORVALEN_FAULT_WINDOW_SETUP=1  setting up the windows runs out of memory
//                                 (XOpenDisplay throws std::bad_alloc)
// and to tell which files a program opens:
//   ORVALEN_TRACE_OPENS=file      every path that open() is given is appended
//                                 to the file, one per line, and
//                                 "(XOpenDisplay)" for every try of a display
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

long long Setting(const char* name) {
  const char* text = std::getenv(name);
  return text == nullptr ? -1 : std::atoll(text);
}

// Standard input, output and error are never touched, whatever they are.
bool IsRegularFile(int fd) {
  if (fd <= STDERR_FILENO) return false;
  struct stat entry {};
  return fstat(fd, &entry) == 0 && S_ISREG(entry.st_mode);
}

template <class Call>
Call Next(const char* name) {
  return reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
}

long long g_device_left = Setting("ORVALEN_FAULT_DEVICE_BYTES");
long long g_read_left = Setting("ORVALEN_FAULT_READ_EIO");
const bool g_fsync_fails = Setting("ORVALEN_FAULT_FSYNC_EIO") == 1;
const bool g_window_setup_fails = Setting("ORVALEN_FAULT_WINDOW_SETUP") == 1;

template <class Call>
Call Next(const char* name);

void TraceOpen(const char* path) {
  const char* trace = std::getenv("ORVALEN_TRACE_OPENS");
  if (trace == nullptr || path == nullptr) return;
  static const auto next_open = Next<int (*)(const char*, int, ...)>("open");
  static const auto next_write = Next<ssize_t (*)(int, const void*, size_t)>("write");
  const int fd = next_open(trace, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  if (next_write(fd, path, std::strlen(path)) >= 0) next_write(fd, "\n", 1);
  close(fd);
}

// The mode argument is there only when the flags create a file.
mode_t ModeOf(int flags, va_list arguments) {
  return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(arguments, mode_t) : 0;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  static const auto next = Next<int (*)(const char*, int, ...)>("open");
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  TraceOpen(path);
  return next(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  static const auto next = Next<int (*)(const char*, int, ...)>("open64");
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  TraceOpen(path);
  return next(path, flags, mode);
}

int openat(int folder, const char* path, int flags, ...) {
  static const auto next = Next<int (*)(int, const char*, int, ...)>("openat");
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  TraceOpen(path);
  return next(folder, path, flags, mode);
}

ssize_t write(int fd, const void* data, size_t size) {
  static const auto next = Next<ssize_t (*)(int, const void*, size_t)>("write");
  if (g_device_left >= 0 && size > 0 && IsRegularFile(fd)) {
    if (g_device_left == 0) {
      errno = ENOSPC;
      return -1;
    }
    if (static_cast<long long>(size) > g_device_left) size = static_cast<size_t>(g_device_left);
    const ssize_t put = next(fd, data, size);
    if (put > 0) g_device_left -= put;
    return put;
  }
  return next(fd, data, size);
}

int posix_fallocate(int fd, off_t offset, off_t length) {
  static const auto next = Next<int (*)(int, off_t, off_t)>("posix_fallocate");
  if (g_device_left >= 0 && IsRegularFile(fd) && length > g_device_left) return ENOSPC;
  return next(fd, offset, length);
}

ssize_t read(int fd, void* buffer, size_t size) {
  static const auto next = Next<ssize_t (*)(int, void*, size_t)>("read");
  if (g_read_left >= 0 && size > 0 && IsRegularFile(fd)) {
    if (g_read_left == 0) {
      errno = EIO;
      return -1;
    }
    if (static_cast<long long>(size) > g_read_left) size = static_cast<size_t>(g_read_left);
    const ssize_t got = next(fd, buffer, size);
    if (got > 0) g_read_left -= got;
    return got;
  }
  return next(fd, buffer, size);
}

int fsync(int fd) {
  static const auto next = Next<int (*)(int)>("fsync");
  if (g_fsync_fails && IsRegularFile(fd)) {
    errno = EIO;
    return -1;
  }
  return next(fd);
}

// The display as an opaque pointer: the shim needs no X headers.
void* XOpenDisplay(const char* name) {
  static const auto next = Next<void* (*)(const char*)>("XOpenDisplay");
  TraceOpen("(XOpenDisplay)");
  if (g_window_setup_fails) throw std::bad_alloc();
  return next(name);
}

}  // extern "C"
