// What the fuzz targets share: a file in memory that the programs can open by
// path, a folder for saves, and dialogs that answer from the input.
// The failures that the programs raise on purpose (their reports) are
// expected outcomes here, not findings; anything else that escapes is one.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tests/test_support.h"
#include "tools/build_policy.h"
#include "tools/dialogs.h"

namespace orvalen::fuzz {

// A file that lives in memory only, reachable by a path while it is open.
class MemoryFile {
 public:
  explicit MemoryFile(std::string_view bytes) {
    fd_ = memfd_create("orvalen-fuzz", MFD_CLOEXEC);
    if (fd_ < 0) std::abort();
    while (!bytes.empty()) {
      const ssize_t put = write(fd_, bytes.data(), bytes.size());
      if (put <= 0) std::abort();
      bytes.remove_prefix(static_cast<std::size_t>(put));
    }
  }
  ~MemoryFile() { close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_ = -1;
};

// A folder for the saves of one fuzzing process, made on first use and
// removed with its content when the process ends; memory-backed where the
// machine has it, since a save syncs its file.
inline const std::string& SaveFolder() {
  static const testing::ScratchFolder folder(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
  return folder.Path();
}

// Consumes the input from the front, giving 0 when it is used up.
class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}
  std::uint8_t Byte() {
    if (rest_.empty()) return 0;
    const auto byte = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return byte;
  }
  double Double() {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = bits << 8 | Byte();
    double value = 0;
    static_assert(sizeof value == sizeof bits);
    __builtin_memcpy(&value, &bits, sizeof value);
    return value;
  }
  std::string_view Rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// Answers every question with the next scripted answer (Yes, No or closed),
// and lets messages pass.
template <BuildPolicy Build>
class ScriptedDialogs : public Dialogs<Build> {
 public:
  explicit ScriptedDialogs(std::uint8_t script) : script_(script) {}
  void ShowMessage(typename Build::TextView) override { ++messages_; }
  int MessageDlg(typename Build::TextView, DialogKind, DialogButtons, int) override {
    static constexpr int kAnswers[] = {kAnswerYes, kAnswerNo, kAnswerClosed, kAnswerYes};
    const int answer = kAnswers[script_ & 3];
    script_ >>= 2;
    return answer;
  }
  int Messages() const { return messages_; }

 private:
  std::uint8_t script_;
  int messages_ = 0;
};

}  // namespace orvalen::fuzz
