// A shim that the fault tests preload into the programs (LD_PRELOAD) to make
// the system fail where real machines fail, on regular files other than
// standard input, output and error (the console dialogs keep working):
//   ORVALEN_FAULT_DEVICE_BYTES=n  the device is full after n more bytes:
//                                 writes put down what still fits, then
//                                 fail with ENOSPC; so does posix_fallocate
//                                 of more than fits
//   ORVALEN_FAULT_READ_EIO=n      reading (read, pread) fails with EIO after n bytes
//   ORVALEN_FAULT_FSYNC_EIO=1     fsync fails with EIO
//   ORVALEN_FAULT_WINDOW_SETUP=1  setting up the windows runs out of memory
//                                 (XOpenDisplay throws std::bad_alloc)
//   ORVALEN_FAULT_CREATE_ERRNO=n  opens that create a new file (O_CREAT with
//                                 O_EXCL, or O_TMPFILE) fail with errno n
//   ORVALEN_FAULT_FLOCK_HELD=n    the first n flock(LOCK_EX) calls find the
//                                 lock held by someone else: EWOULDBLOCK with
//                                 LOCK_NB, else they wait for ever
//   ORVALEN_FAULT_AT_FSYNC=action done once, at the first flush of a regular
//                                 file, before it: "exchange:PATH1:PATH2"
//                                 swaps two names (RENAME_EXCHANGE),
//                                 "append:PATH:TEXT" appends TEXT to PATH
// and to tell which files a program opens and what it flushes:
//   ORVALEN_TRACE_OPENS=file      every path that open() is given is appended
//                                 to the file, one per line, and
//                                 "(XOpenDisplay)" for every try of a display;
//                                 O_PATH opens, which open no device, are left
//                                 out, /proc/self/fd/N stands for its file
//   ORVALEN_TRACE_OPENED=file     each open that succeeded (but O_PATH ones):
//                                 "r " or "w " and the file the descriptor holds
//   ORVALEN_TRACE_FSYNC=file      "MODE UID GID" (mode in octal) of every
//                                 regular file flushed
// Each call is taken under every name the C library gives it (open and
// open64, openat and openat64, posix_fallocate64, the hardened __open_2 and
// its kin), so that a 32-bit build with 64-bit file offsets, which calls the
// *64 names, meets the same faults.
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace {

long long Setting(const char* name) {
  const char* text = std::getenv(name);
  return text == nullptr ? -1 : std::atoll(text);
}

// Standard input, output and error are never touched, whatever they are.
// The 64-bit query: the shim is built without _FILE_OFFSET_BITS=64, and on a
// 32-bit target the plain one fails (EOVERFLOW) for a large inode number.
bool IsRegularFile(int fd) {
  if (fd <= STDERR_FILENO) return false;
  struct stat64 entry {};
  return fstat64(fd, &entry) == 0 && S_ISREG(entry.st_mode);
}

template <class Call>
Call Next(const char* name) {
  return reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
}

long long g_device_left = Setting("ORVALEN_FAULT_DEVICE_BYTES");
long long g_read_left = Setting("ORVALEN_FAULT_READ_EIO");
const bool g_fsync_fails = Setting("ORVALEN_FAULT_FSYNC_EIO") == 1;
const bool g_window_setup_fails = Setting("ORVALEN_FAULT_WINDOW_SETUP") == 1;
const long long g_create_errno = Setting("ORVALEN_FAULT_CREATE_ERRNO");
long long g_flock_held = Setting("ORVALEN_FAULT_FLOCK_HELD");

// Appends `text` to the file at `path`, past the shim's own hooks; keeps errno.
void AppendTo(const char* path, const std::string& text) {
  if (path == nullptr) return;
  static const auto next_open = Next<int (*)(const char*, int, ...)>("open");
  static const auto next_write = Next<ssize_t (*)(int, const void*, size_t)>("write");
  const int saved = errno;
  const int fd = next_open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) {
    (void)!next_write(fd, text.data(), text.size());
    close(fd);
  }
  errno = saved;
}

// The file a name of a held descriptor (/proc/self/fd/N) stands for; any
// other name as it is.
std::string Named(const char* path) {
  char target[PATH_MAX] = {};
  if (std::strncmp(path, "/proc/self/fd/", 14) != 0) return path;
  const ssize_t size = readlink(path, target, sizeof target - 1);
  return size > 0 ? std::string(target, static_cast<std::size_t>(size)) : path;
}

void TraceOpen(const char* path, int flags) {
  const char* trace = std::getenv("ORVALEN_TRACE_OPENS");
  if (trace != nullptr && path != nullptr && (flags & O_PATH) == 0)
    AppendTo(trace, Named(path) + "\n");
}

bool Creates(int flags) {
  return ((flags & O_CREAT) && (flags & O_EXCL)) || (flags & O_TMPFILE) == O_TMPFILE;
}

// What an open did: the descriptor's file as the kernel names it.
int TraceOpened(int fd, int flags) {
  const char* trace = std::getenv("ORVALEN_TRACE_OPENED");
  if (trace == nullptr || fd < 0 || (flags & O_PATH)) return fd;
  const int saved = errno;
  const bool writes = (flags & O_ACCMODE) == O_WRONLY || (flags & O_ACCMODE) == O_RDWR;
  AppendTo(trace,
           (writes ? "w " : "r ") + Named(("/proc/self/fd/" + std::to_string(fd)).c_str()) + "\n");
  errno = saved;
  return fd;
}

// The open as the settings have it; `open` is the real one.
template <class Open>
int Opening(const char* path, int flags, Open open) {
  TraceOpen(path, flags);
  if (g_create_errno >= 0 && Creates(flags)) {
    errno = static_cast<int>(g_create_errno);
    return -1;
  }
  return TraceOpened(open(), flags);
}

// The two parts of "A:B" after `prefix`; false when `action` is no such text.
bool Split(const char* action, const char* prefix, std::string& first, std::string& second) {
  const std::string text = action;
  if (!text.starts_with(prefix)) return false;
  const std::string rest = text.substr(std::strlen(prefix));
  const std::size_t colon = rest.find(':');
  if (colon == std::string::npos) return false;
  first = rest.substr(0, colon);
  second = rest.substr(colon + 1);
  return true;
}

void BeforeFlush(int fd) {
  struct stat64 entry {};
  if (const char* trace = std::getenv("ORVALEN_TRACE_FSYNC"); trace && fstat64(fd, &entry) == 0) {
    char line[64];
    std::snprintf(line, sizeof line, "%o %u %u\n", static_cast<unsigned>(entry.st_mode & 07777),
                  static_cast<unsigned>(entry.st_uid), static_cast<unsigned>(entry.st_gid));
    AppendTo(trace, line);
  }
  static bool done = false;
  const char* action = std::getenv("ORVALEN_FAULT_AT_FSYNC");
  if (done || action == nullptr) return;
  done = true;
  const int saved = errno;
  std::string first, second;
  if (Split(action, "exchange:", first, second)) {
    renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE);
  } else if (Split(action, "append:", first, second)) {
    AppendTo(first.c_str(), second);
  }
  errno = saved;
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
  return Opening(path, flags, [&] { return next(path, flags, mode); });
}

int open64(const char* path, int flags, ...) {
  static const auto next = Next<int (*)(const char*, int, ...)>("open64");
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  return Opening(path, flags, [&] { return next(path, flags, mode); });
}

int openat(int folder, const char* path, int flags, ...) {
  static const auto next = Next<int (*)(int, const char*, int, ...)>("openat");
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  return Opening(path, flags, [&] { return next(folder, path, flags, mode); });
}

// What a 32-bit build calls with _FILE_OFFSET_BITS=64 (on a 64-bit target
// another name of the same function).
int openat64(int folder, const char* path, int flags, ...) {
  static const auto next = Next<int (*)(int, const char*, int, ...)>("openat64");
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  return Opening(path, flags, [&] { return next(folder, path, flags, mode); });
}

// What a hardened build (_FORTIFY_SOURCE) calls where the flags create no
// file.
int __open_2(const char* path, int flags) {
  static const auto next = Next<int (*)(const char*, int)>("__open_2");
  return Opening(path, flags, [&] { return next(path, flags); });
}
int __open64_2(const char* path, int flags) {
  static const auto next = Next<int (*)(const char*, int)>("__open64_2");
  return Opening(path, flags, [&] { return next(path, flags); });
}
int __openat_2(int folder, const char* path, int flags) {
  static const auto next = Next<int (*)(int, const char*, int)>("__openat_2");
  return Opening(path, flags, [&] { return next(folder, path, flags); });
}
int __openat64_2(int folder, const char* path, int flags) {
  static const auto next = Next<int (*)(int, const char*, int)>("__openat64_2");
  return Opening(path, flags, [&] { return next(folder, path, flags); });
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

int posix_fallocate64(int fd, off64_t offset, off64_t length) {
  static const auto next = Next<int (*)(int, off64_t, off64_t)>("posix_fallocate64");
  if (g_device_left >= 0 && IsRegularFile(fd) && length > g_device_left) return ENOSPC;
  return next(fd, offset, length);
}
int posix_fallocate(int fd, off_t offset, off_t length) {
  return posix_fallocate64(fd, offset, length);
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

ssize_t pread64(int fd, void* buffer, size_t size, off64_t offset) {
  static const auto next = Next<ssize_t (*)(int, void*, size_t, off64_t)>("pread64");
  if (g_read_left >= 0 && size > 0 && IsRegularFile(fd)) {
    if (g_read_left == 0) {
      errno = EIO;
      return -1;
    }
    if (static_cast<long long>(size) > g_read_left) size = static_cast<size_t>(g_read_left);
    const ssize_t got = next(fd, buffer, size, offset);
    if (got > 0) g_read_left -= got;
    return got;
  }
  return next(fd, buffer, size, offset);
}
ssize_t pread(int fd, void* buffer, size_t size, off_t offset) {
  return pread64(fd, buffer, size, offset);
}

int fsync(int fd) {
  static const auto next = Next<int (*)(int)>("fsync");
  if (IsRegularFile(fd)) BeforeFlush(fd);
  if (g_fsync_fails && IsRegularFile(fd)) {
    errno = EIO;
    return -1;
  }
  return next(fd);
}

// A flush of the data alone is a flush too.
int fdatasync(int fd) {
  static const auto next = Next<int (*)(int)>("fdatasync");
  if (IsRegularFile(fd)) BeforeFlush(fd);
  return next(fd);
}

int flock(int fd, int operation) {
  static const auto next = Next<int (*)(int, int)>("flock");
  if ((operation & LOCK_EX) && g_flock_held > 0 && IsRegularFile(fd)) {
    --g_flock_held;
    if (operation & LOCK_NB) {
      errno = EWOULDBLOCK;
      return -1;
    }
    for (;;) sleep(1);  // the other holder never lets go
  }
  return next(fd, operation);
}

// The display as an opaque pointer: the shim needs no X headers.
void* XOpenDisplay(const char* name) {
  static const auto next = Next<void* (*)(const char*)>("XOpenDisplay");
  TraceOpen("(XOpenDisplay)", 0);
  if (g_window_setup_fails) throw std::bad_alloc();
  return next(name);
}

}  // extern "C"
