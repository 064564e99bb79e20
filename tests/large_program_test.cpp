// A part program of more than 3 GiB, rewritten end to end by both programs
// in a few megabytes of memory: every coordinate of its one large
// subroutine moved, the call's rapid move moved the other way. Only in the
// optimised build, and only with 8 GiB free where it is written (TMPDIR).
#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/program_runner.h"
#include "tests/test_support.h"

namespace orvalen::testing {
namespace {

// Above 3 GiB; ORVALEN_LARGE_PROGRAM_BYTES sets another size, to try the
// test itself quickly.
std::uint64_t BodyBytes() {
  static const std::uint64_t bytes = [] {
    const char* set = std::getenv("ORVALEN_LARGE_PROGRAM_BYTES");
    return set != nullptr ? std::strtoull(set, nullptr, 10)
                          : (std::uint64_t{3} << 30) + (std::uint64_t{1} << 20);
  }();
  return bytes;
}

// The program before (false) or after (true) the rewrite, made a piece at a
// time: the subroutine's zero point is X10.5 Y20.25, and its line k goes
// from X(k % 1000 + 10.5) Y(k % 777 + 20.25) to X(k % 1000) Y(k % 777).
class LargeProgram {
 public:
  explicit LargeProgram(bool rewritten) : rewritten_(rewritten) {
    text_ = rewritten
                ? "G0 X110.5 Y220.25\r\nM3\r\nSUBCALL BIG\r\nM30\r\nSUBBEGIN BIG\r\nG0 X0 Y0\r\n"
                : "G0 X100 Y200\r\nM3\r\nSUBCALL BIG\r\nM30\r\nSUBBEGIN BIG\r\nG0 X10.5 Y20.25\r\n";
  }
  // The next `size` bytes (fewer at the end).
  std::string Next(std::size_t size) {
    while (text_.size() - used_ < size && !ended_) {
      text_.erase(0, used_);
      used_ = 0;
      if (body_ >= BodyBytes()) {
        text_ += "SUBEND\r\n";
        ended_ = true;
        break;
      }
      const std::uint64_t x = line_ % 1000;
      const std::uint64_t y = line_ % 777;
      ++line_;
      const std::string before =
          "G1 X" + std::to_string(x + 10) + ".5 Y" + std::to_string(y + 20) + ".25 F100\r\n";
      text_ += rewritten_ ? "G1 X" + std::to_string(x) + " Y" + std::to_string(y) + " F100\r\n"
                          : before;
      body_ += before.size();
    }
    const std::size_t n = std::min(size, text_.size() - used_);
    std::string piece = text_.substr(used_, n);
    used_ += n;
    return piece;
  }

 private:
  bool rewritten_;
  std::string text_;
  std::size_t used_ = 0;
  std::uint64_t line_ = 0;
  std::uint64_t body_ = 0;  // bytes of the body, made so far (before the rewrite)
  bool ended_ = false;
};

void Write(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, file);
  LargeProgram program(false);
  for (std::string piece; !(piece = program.Next(1 << 20)).empty();)
    ASSERT_EQ(piece.size(), std::fwrite(piece.data(), 1, piece.size(), file));
  ASSERT_EQ(0, std::fclose(file));
}

// Whether the file holds exactly the rewritten program.
bool HoldsTheRewrite(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  LargeProgram expected(true);
  std::string read(1 << 20, '\0');
  bool same = true;
  for (;;) {
    const std::size_t got = std::fread(read.data(), 1, read.size(), file);
    const std::string piece = expected.Next(read.size());
    if (piece.size() != got || piece.compare(0, got, read, 0, got) != 0) same = false;
    if (!same || got == 0) break;
  }
  std::fclose(file);
  return same;
}

TEST(LargeProgram, AboveThreeGibibytesBothProgramsRewriteItInFewMegabytes) {
#ifndef NDEBUG
  GTEST_SKIP() << "a program of 3 GiB is rewritten in the optimised build only";
#endif
  const char* tmp = std::getenv("TMPDIR");
  const std::string parent = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  struct statvfs space {};
  ASSERT_EQ(0, statvfs(parent.c_str(), &space));
  const std::uint64_t free_bytes = std::uint64_t{space.f_bavail} * space.f_frsize;
  if (free_bytes < (std::uint64_t{8} << 30))
    GTEST_SKIP() << "less than 8 GiB free in " << parent << " (" << (free_bytes >> 20) << " MiB)";
  ScratchFolder folder(parent);
  const std::string part = folder / "large.nc";
  for (const std::string program : {ORVALEN_PROGRAM, ORVALEN_LEGACY_PROGRAM}) {
    SCOPED_TRACE(program);
    Write(part);
    RunOptions options = WithInput("j\n");
    options.timeout_seconds = 1200;
    const RunResult run = RunProgram(program, {part}, options);
    EXPECT_EQ(0, run.exit_status) << run.errors;
    EXPECT_LE(run.peak_kib, 64 * 1024) << "peak resident set, KiB";
    std::printf("%s: peak resident set %.1f MiB\n", program.c_str(), run.peak_kib / 1024.0);
    EXPECT_TRUE(HoldsTheRewrite(part));
  }
}

}  // namespace
}  // namespace orvalen::testing
