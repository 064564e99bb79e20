// Strange and hostile part programs, end to end in both programs: each run
// ends in a clear outcome (exit status 0 with the file rewritten or as it
// was, or the failure report with exit status 1 and the file as it was),
// never in a crash, a hang or a half-written file.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "tests/program_runner.h"
#include "tests/sample_programs.h"
#include "tests/test_support.h"

namespace orvalen::testing {
namespace {

const std::string kOrvalen = ORVALEN_PROGRAM;
const std::string kLegacy = ORVALEN_LEGACY_PROGRAM;
const std::string kReport = "[Anwendungsfehler]\nException ";

std::string Utf16Le(const std::string& ascii) {
  std::string bytes;
  for (const char c : ascii) bytes += {c, '\0'};
  return bytes;
}

struct Outcome {
  int exit_status;
  std::string report;  // the failure kind and message ending the report; "" for none
  std::string after;   // the file's bytes after the run
};

// Runs both programs on a copy of `content` and checks the common promise:
// exit 0 or 1, a report exactly when 1, and the file unchanged after a report.
std::pair<RunResult, std::string> RunOn(const std::string& program, const std::string& content) {
  ScratchFolder folder;
  const std::string part = folder / "part.nc";
  WriteBytes(part, content);
  const RunResult run = RunProgram(program, {part}, WithInput("j\n"));
  const std::string after = ReadBytes(part);
  EXPECT_TRUE(run.exit_status == 0 || run.exit_status == 1) << run.exit_status << run.errors;
  EXPECT_EQ(run.exit_status == 1, run.errors.find(kReport) != std::string::npos) << run.errors;
  if (run.exit_status == 1) {
    EXPECT_EQ(content, after);
  }
  return {run, after};
}

TEST(HostileInput, GivesAClearOutcomeInBothPrograms) {
  std::string nul_program = kProgram;
  nul_program.replace(nul_program.find("M3"), 2, std::string("M3\0(\0)", 6));
  std::string nul_rewritten = kRewritten;
  nul_rewritten.replace(nul_rewritten.find("M3"), 2, std::string("M3\0(\0)", 6));
  const std::string only_call = "SUBBEGIN A\r\nG1 X1\r\n";
  struct Case {
    const char* name;
    std::string content;
    Outcome current;
    Outcome legacy;
  };
  const Case cases[] = {
      {"NUL bytes inside lines", nul_program, {0, "", nul_rewritten}, {0, "", nul_rewritten}},
      {"ill-formed UTF-8 after a mark",
       "\xEF\xBB\xBF" + kProgram + "(\xC3\x28)\r\n",
       {1, "EEncodingError in Modul Orvalen bei ", ""},
       {0, "", "\xEF\xBB\xBF" + kRewritten + "(\xC3\x28)\r\n"}},
      {"UTF-16 of odd length",
       "\xFF\xFE" + Utf16Le(kProgram) + "X",
       {0, "", "\xFF\xFE" + Utf16Le(kRewritten)},
       {0, "", ""}},
      {"only a mark", "\xEF\xBB\xBF", {0, "", "\xEF\xBB\xBF"}, {0, "", "\xEF\xBB\xBF"}},
      {"a subroutine without its zero point runs off the end",
       only_call,
       {1, "EStringListError", ""},
       {1, "EStringListError", ""}},
  };
  for (const Case& c : cases) {
    for (const bool legacy : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (legacy ? " (legacy)" : ""));
      const Outcome& expected = legacy ? c.legacy : c.current;
      const auto [run, after] = RunOn(legacy ? kLegacy : kOrvalen, c.content);
      EXPECT_EQ(expected.exit_status, run.exit_status) << run.errors;
      if (!expected.report.empty()) {
        EXPECT_NE(std::string::npos, run.errors.find(expected.report)) << run.errors;
      }
      if (!expected.after.empty()) {
        EXPECT_EQ(expected.after, after);
      }
    }
  }
}

TEST(HostileInput, RandomBytesInAndAroundAPartProgram) {
  std::mt19937 random(20261209);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int trial = 0; trial < 12; ++trial) {
    std::string content = trial % 2 ? kProgram : "";
    const int junk = 1 + trial * 700;
    for (int i = 0; i < junk; ++i) {
      const std::size_t at = std::uniform_int_distribution<std::size_t>(0, content.size())(random);
      content.insert(at, 1, static_cast<char>(byte(random)));
    }
    SCOPED_TRACE(trial);
    RunOn(kOrvalen, content);
    RunOn(kLegacy, content);
  }
}

TEST(HostileInput, AHundredMegabyteSingleLine) {
  const std::string line = "G0 X1 Y1 (" + std::string(100 << 20, 'A') + ")";
  for (const std::string& program : {kOrvalen, kLegacy}) {
    SCOPED_TRACE(program);
    const auto [run, after] = RunOn(program, line);
    EXPECT_EQ(0, run.exit_status);
    EXPECT_EQ("", run.errors);
    EXPECT_EQ(line, after) << "no subroutine: nothing written";
  }
}

TEST(HostileInput, AHundredThousandSubroutinesEndInTheRangeError) {
  const std::string content = Subroutines(100000);
  for (const std::string& program : {kOrvalen, kLegacy}) {
    SCOPED_TRACE(program);
    const auto [run, after] = RunOn(program, content);
    EXPECT_EQ(1, run.exit_status);
    EXPECT_NE(std::string::npos, run.errors.find("ERangeError")) << run.errors;
  }
}

// A FIFO, a socket or a device is refused at once with the open failure;
// nothing waits for a writer or reads an endless device.
TEST(HostileInput, PathsThatAreNoRegularFilesAreRefused) {
  ScratchFolder folder;
  ASSERT_EQ(0, mkfifo((folder / "fifo.nc").c_str(), 0666));
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socket_path = folder / "socket.nc";
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  socket_path.copy(address.sun_path, socket_path.size());
  ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address));
  const std::pair<std::string, std::string> cases[] = {
      {folder / "fifo.nc", "Is a named pipe"},
      {socket_path, "Is a socket"},
      {"/dev/zero", "Is a character device"},
      {"/dev/null", "Is a character device"},
  };
  for (const auto& [path, text] : cases) {
    for (const std::string& program : {kOrvalen, kLegacy}) {
      SCOPED_TRACE(program + " " + path);
      RunOptions options;
      options.timeout_seconds = 20;
      const RunResult run = RunProgram(program, {path}, options);
      EXPECT_EQ(1, run.exit_status) << run.errors;
      EXPECT_NE(std::string::npos, run.errors.find("EFOpenError")) << run.errors;
      EXPECT_TRUE(run.errors.ends_with(text + ".\n")) << run.errors;
    }
  }
  close(listener);
}

// With too little memory for the file the run ends in the report, not in a
// crash. (The sanitizers reserve more address space than any such limit
// allows, so this runs in the plain build only.)
TEST(HostileInput, TooLittleMemoryEndsInTheReport) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer cannot run under a memory limit";
#endif
  ScratchFolder folder;
  const std::string part = folder / "part.nc";
  // Any size of program is read in windows of bounded size; a line is held
  // whole, so one longer than the memory allows runs out of it.
  std::string content = kProgram + "G1 X1 Y2 (" + std::string(150u << 20, 'P') + ")\r\n";
  WriteBytes(part, content);
  for (const std::string& program : {kOrvalen, kLegacy}) {
    SCOPED_TRACE(program);
    const RunResult run =
        RunProgram("/bin/sh", {"-c", "ulimit -v 120000 && exec \"$0\" \"$1\"", program, part},
                   WithInput("j\n"));
    EXPECT_EQ(1, run.exit_status) << run.errors;
    EXPECT_NE(std::string::npos, run.errors.find("Exception EOutOfMemory")) << run.errors;
    EXPECT_TRUE(run.errors.ends_with("Zu wenig Arbeitsspeicher.\n")) << run.errors;
    EXPECT_EQ(content, ReadBytes(part));
  }
}

}  // namespace
}  // namespace orvalen::testing
