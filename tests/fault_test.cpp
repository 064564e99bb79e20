// Faults of the machine around a run: a device that fills up, a read or a
// sync that fails, a part program that another program removes or changes
// while the question is open. Each ends in the failure report (exit status
// 1) with the part program's bytes as they were and no temporary file left.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/program_runner.h"
#include "tests/sample_programs.h"
#include "tests/test_support.h"

namespace orvalen::testing {
namespace {

const std::string kOrvalen = ORVALEN_PROGRAM;
const std::string kLegacy = ORVALEN_LEGACY_PROGRAM;
const std::string kShim = ORVALEN_FAULT_SHIM;

RunOptions WithFault(const std::string& setting) {
  RunOptions options;
  options.input = "j\n";
  // The sanitizer runtime would insist on coming first among the libraries.
  options.environment = {"LD_PRELOAD=" + kShim, setting, "ASAN_OPTIONS=verify_asan_link_order=0"};
  return options;
}

struct Program {
  const char* name;
  std::string path;
  std::string report_start;  // the report's first line up to the address
};

const Program kPrograms[] = {
    {"Orvalen", kOrvalen, "[Anwendungsfehler]\nException "},
    {"OrvalenLegacy", kLegacy, "[Anwendungsfehler]\nException "},
};

TEST(Faults, AtTheMachineEndInTheReportWithTheProgramUnchanged) {
  struct Case {
    const char* name;
    std::string setting;
    std::string kind;
    std::string current_text;  // the end of the current program's message
    std::string legacy_text;
  };
  const Case cases[] = {
      {"device full at once", "ORVALEN_FAULT_DEVICE_BYTES=0", "EWriteError",
       "Stream-Schreibfehler.", "Stream write error."},
      {"device full after a few bytes", "ORVALEN_FAULT_DEVICE_BYTES=20", "EWriteError",
       "Stream-Schreibfehler.", "Stream write error."},
      {"read fails at once", "ORVALEN_FAULT_READ_EIO=0", "EFOpenError",
       "kann nicht geöffnet werden. Input/output error.",
       "could not be opened. Input/output error."},
      {"read fails midway", "ORVALEN_FAULT_READ_EIO=30", "EFOpenError",
       "kann nicht geöffnet werden. Input/output error.",
       "could not be opened. Input/output error."},
      {"sync fails", "ORVALEN_FAULT_FSYNC_EIO=1", "EWriteError", "Stream-Schreibfehler.",
       "Stream write error."},
  };
  for (const Program& program : kPrograms) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(program.name) + ": " + c.name);
      ScratchFolder folder;
      const std::string part = folder / "part.nc";
      WriteBytes(part, kProgram);
      const RunResult run = RunProgram(program.path, {part}, WithFault(c.setting));
      EXPECT_EQ(1, run.exit_status) << run.errors;
      const std::string first = program.report_start + c.kind + " in Modul " + program.name;
      EXPECT_NE(std::string::npos, run.errors.find(first)) << run.errors;
      const std::string& text = program.path == kOrvalen ? c.current_text : c.legacy_text;
      EXPECT_TRUE(run.errors.ends_with(text + "\n")) << run.errors;
      EXPECT_EQ(kProgram, ReadBytes(part));
      EXPECT_EQ(std::vector<std::string>{"part.nc"}, FolderNames(folder.Path()));
    }
  }
}

// A program with a second hard link is written in place, once its whole new
// content stands ready: in an unnamed file of this user, or, where none can
// be made, in memory. Both names then show the rewrite.
TEST(Faults, AProgramWrittenInPlaceIsMadeWholeFirst) {
  const char* const settings[] = {"ORVALEN_FAULT_NONE=1", "ORVALEN_FAULT_CREATE_ERRNO=28"};
  for (const Program& program : kPrograms) {
    for (const char* setting : settings) {
      SCOPED_TRACE(std::string(program.name) + ": " + setting);
      ScratchFolder folder;
      const std::string part = folder / "part.nc", other = folder / "other.nc";
      WriteBytes(part, kProgram);
      ASSERT_EQ(0, link(part.c_str(), other.c_str()));
      struct stat before {};
      ASSERT_EQ(0, stat(part.c_str(), &before));
      const RunResult run = RunProgram(program.path, {part}, WithFault(setting));
      EXPECT_EQ(0, run.exit_status) << run.errors;
      struct stat after {};
      ASSERT_EQ(0, stat(part.c_str(), &after));
      EXPECT_EQ(before.st_ino, after.st_ino);
      EXPECT_EQ(kRewritten, ReadBytes(part));
      EXPECT_EQ(kRewritten, ReadBytes(other));
      EXPECT_EQ((std::vector<std::string>{"other.nc", "part.nc"}), FolderNames(folder.Path()));
    }
  }
}

// A report that cannot have the memory for its text still reaches the user,
// made on the stack.
TEST(Faults, AReportWithoutMemoryIsStillShown) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the shim would bypass the sanitizer's allocator";
#endif
  for (const Program& program : kPrograms) {
    SCOPED_TRACE(program.name);
    ScratchFolder folder;
    const std::string part = folder / "part.nc";
    WriteBytes(part, kCallOnFirstLine);
    RunOptions options;
    options.environment = {"LD_PRELOAD=" ORVALEN_NO_MEMORY_SHIM};
    const RunResult run = RunProgram(program.path, {part}, options);
    EXPECT_EQ(1, run.exit_status) << run.errors;
    const std::string first =
        "Exception EStringListError in Modul " + std::string(program.name) + " bei ";
    EXPECT_NE(std::string::npos, run.errors.find(first)) << run.errors;
    EXPECT_TRUE(run.errors.ends_with(program.path == kOrvalen
                                         ? "Listenindex außerhalb des gültigen Bereichs (-2).\n"
                                         : "List index out of bounds (-2).\n"))
        << run.errors;
    EXPECT_EQ(kCallOnFirstLine, ReadBytes(part));
  }
}

// The question is open while the file is removed, replaced or edited; the
// result must not go over (or bring back) what is there now.
TEST(Faults, AProgramChangedWhileTheQuestionIsOpenIsNotOverwritten) {
  struct Case {
    const char* name;
    void (*change)(const std::string& part);
    std::string reason;
    bool exists_after;
  };
  const Case cases[] = {
      {"removed", [](const std::string& part) { unlink(part.c_str()); },
       "No such file or directory", false},
      {"edited", [](const std::string& part) { WriteBytes(part, "G0 X1 Y1\r\nM30\r\n"); },
       "Changed since it was read", true},
      {"same size, other bytes",
       [](const std::string& part) {
         std::string other = kProgram;
         other[4] = '9';
         WriteBytes(part, other);  // the size stays; the time tells
       },
       "Changed since it was read", true},
      {"replaced by another file",
       [](const std::string& part) {
         WriteBytes(part + ".new", kProgram);
         rename((part + ".new").c_str(), part.c_str());
       },
       "Changed since it was read", true},
  };
  for (const Program& program : kPrograms) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(program.name) + ": " + c.name);
      ScratchFolder folder;
      const std::string part = folder / "part.nc";
      WriteBytes(part, kProgram);
      // Written long ago, so that any write now gives another time.
      const timespec long_ago[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
      ASSERT_EQ(0, utimensat(AT_FDCWD, part.c_str(), long_ago, 0));
      RunOptions options;
      options.input = "j\n";
      std::string at_question;
      options.at_question = [&] {
        c.change(part);
        at_question = Exists(part) ? ReadBytes(part) : "";
      };
      const RunResult run = RunProgram(program.path, {part}, options);
      EXPECT_EQ(1, run.exit_status) << run.errors;
      EXPECT_NE(std::string::npos, run.errors.find("Exception EFCreateError")) << run.errors;
      EXPECT_TRUE(run.errors.ends_with(c.reason + ".\n")) << run.errors;
      EXPECT_EQ(c.exists_after, Exists(part));
      if (c.exists_after) {
        EXPECT_EQ(at_question, ReadBytes(part));
      }
    }
  }
}

}  // namespace
}  // namespace orvalen::testing
