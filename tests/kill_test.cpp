// A run killed at any moment leaves the part program either exactly as it was
// or exactly rewritten, never anything in between. A temporary file that a
// kill leaves behind is hidden beside the program and says what it is; the
// next save of the program removes it (its writer is dead) and neither trips
// over it nor reads it, so there is never more than one.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/program_runner.h"
#include "tests/test_support.h"

namespace orvalen::testing {
namespace {

const std::string kOrvalen = ORVALEN_PROGRAM;

// About `megabytes` MB of realistic G-code: three calls of one long contour.
std::string LargeProgram(int megabytes) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> micrometres(0, 400000);
  std::string text = "%\r\n(KILL TEST PLATE)\r\nN10 G90 G17 G21\r\n";
  for (int call = 0; call < 3; ++call) {
    text += "G0 X" + std::to_string(call * 100) + " Y0 Z5\r\nG43 H1 Z2\r\nSUBCALL CONTOUR\r\n";
  }
  text += "M30\r\nSUBBEGIN CONTOUR\r\nG0 X12.5 Y7.25\r\n";
  char line[96];
  while (text.size() < static_cast<std::size_t>(megabytes) << 20) {
    const int x = micrometres(random);
    const int y = micrometres(random) * 3 / 4;
    std::snprintf(line, sizeof line, "G1 X%d.%03d Y%d.%03d F600\r\n", x / 1000, x % 1000, y / 1000,
                  y % 1000);
    text += line;
  }
  return text + "SUBEND\r\n";
}

// 200 kills of runs on a 20 MB program; where the sanitizers make every run
// ten times slower, 20 kills on 4 MB.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultTrials = 20;
constexpr int kMegabytes = 4;
#else
constexpr int kDefaultTrials = 200;
constexpr int kMegabytes = 20;
#endif

int Trials() {
  if (const char* set = std::getenv("ORVALEN_KILL_TRIALS")) return std::atoi(set);
  return kDefaultTrials;
}

TEST(KilledRuns, LeaveTheOldOrTheNewProgramAndNothingInBetween) {
  ScratchFolder folder;
  const std::string part = folder / "part.nc";
  const std::string original = LargeProgram(kMegabytes);
  WriteBytes(part, original);
  // The rewritten program, from a run that nobody kills; and how long it takes.
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(0, WaitProgram(StartProgram(kOrvalen, {part})));
  const auto full_run = std::chrono::steady_clock::now() - start;
  const std::string rewritten = ReadBytes(part);
  ASSERT_NE(original, rewritten);

  std::mt19937_64 random(std::random_device{}());
  std::uniform_int_distribution<long long> moment(
      0, std::chrono::duration_cast<std::chrono::microseconds>(full_run).count() * 5 / 4);
  int old_bytes = 0;
  int new_bytes = 0;
  int left_one = 0;  // trials after which a temporary file was there
  const int trials = Trials();
  for (int trial = 0; trial < trials; ++trial) {
    WriteBytes(part, original);
    const pid_t pid = StartProgram(kOrvalen, {part});
    std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
    kill(pid, SIGKILL);
    WaitProgram(pid);
    const std::string after = ReadBytes(part);
    ASSERT_TRUE(after == original || after == rewritten)
        << "trial " << trial << ": " << after.size() << " bytes, neither old nor new";
    (after == original ? old_bytes : new_bytes) += 1;
    const std::vector<std::string> names = FolderNames(folder.Path());
    for (const std::string& name : names) {
      if (name == "part.nc") continue;
      ASSERT_EQ(0u, name.rfind(".part.nc.orvalen-", 0)) << "unexpected file " << name;
    }
    ASSERT_LE(names.size(), 2u) << "trial " << trial << ": an older temporary file stayed";
    left_one += names.size() == 2 ? 1 : 0;
  }
  // The next run rewrites the program as if a leftover were not there, and
  // removes it.
  const bool leftover = FolderNames(folder.Path()).size() > 1;
  WriteBytes(part, original);
  ASSERT_EQ(0, WaitProgram(StartProgram(kOrvalen, {part})));
  EXPECT_EQ(rewritten, ReadBytes(part));
  EXPECT_EQ(std::vector<std::string>{"part.nc"}, FolderNames(folder.Path()));
  std::printf(
      "%d kills: %d left the old program, %d the new one; %d left a temporary file, which the "
      "next run removed; %s before the final run\n",
      trials, old_bytes, new_bytes, left_one, leftover ? "one" : "none");
}

}  // namespace
}  // namespace orvalen::testing
