// Orvalen and OrvalenLegacy end to end: the real programs run on real files,
// without a display, answering on standard input; every outcome is checked by
// the texts on standard error, the exit status and the bytes on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/program_runner.h"
#include "tests/sample_programs.h"
#include "tests/test_support.h"

namespace orvalen::testing {
namespace {

const std::string kOrvalen = ORVALEN_PROGRAM;
const std::string kLegacy = ORVALEN_LEGACY_PROGRAM;

const std::string kQuestion = "[Bestätigen]\nSoll das Programm Optimiert Werden?\n[J]a  [N]ein\n";
const std::string kLegacyQuestion =
    "[Bestätigung]\nSoll das Programm Optimiert Werden?\n[J]a  [N]ein\n";

// `expected` is the text on standard error, or a regular expression for it
// when it starts with "^".
void ExpectErrors(const std::string& expected, const std::string& errors) {
  if (expected.starts_with("^")) {
    EXPECT_TRUE(std::regex_match(errors, std::regex(expected.substr(1)))) << errors;
  } else {
    EXPECT_EQ(expected, errors);
  }
}

// The report as the console shows it; the address varies with the build.
std::string ReportPattern(const std::string& kind, const std::string& module, int digits,
                          const std::string& message) {
  return "\\[Anwendungsfehler\\]\nException " + kind + " in Modul " + module + " bei [0-9A-F]{" +
         std::to_string(digits) + "}\\.\n" + message + "\n";
}

class Programs : public ::testing::Test {
 protected:
  ScratchFolder folder_;
};

// The rows of the run results of Orvalen, in normal mode.
TEST_F(Programs, OrvalenRunResults) {
  struct Case {
    const char* name;
    std::string content;
    std::string answer;
    int exit_status;
    std::string errors;  // a regular expression when it starts with "^"
    std::string after;   // the file's bytes after the run
  };
  const Case cases[] = {
      {"no subroutine", Lines({"G0 X1 Y1", "M30"}), "", 0, "", Lines({"G0 X1 Y1", "M30"})},
      {"answer No", kProgram, "n\n", 0, kQuestion, kProgram},
      {"unknown subroutine",
       Lines({"G0 X1 Y1", "M3", "SUBCALL P2", "SUBBEGIN P1", "G0 X1 Y1", "SUBEND"}), "j\n", 0,
       kQuestion + "[Orvalen]\nInternal Search Error (Subroutine)\n",
       Lines({"G0 X1 Y1", "M3", "SUBCALL P2", "SUBBEGIN P1", "G0 X1 Y1", "SUBEND"})},
      {"answer Yes", kProgram, "j\n", 0, kQuestion, kRewritten},
      {"answer by end of input", kProgram, "", 0, kQuestion, kRewritten},
      {"lone line feeds",
       Lines({"G0 X10 Y20", "M3", "SUBCALL P1", "M30", "SUBBEGIN P1", "G0 X1.5 Y2", "G1 X3 Y4.25",
              "SUBEND"},
             "\n"),
       "ja\n", 0, kQuestion, kRewritten},
      {"list index", kCallOnFirstLine, "", 1,
       "^" +
           std::string("\\[Bestätigen\\]\nSoll das Programm Optimiert Werden\\?\n\\[J\\]a  "
                       "\\[N\\]ein\n") +
           ReportPattern("EStringListError", "Orvalen", 16,
                         "Listenindex außerhalb des gültigen Bereichs \\(-2\\)\\."),
       kCallOnFirstLine},
      {"range error", Subroutines(100), "", 1,
       "^[\\s\\S]*" + ReportPattern("ERangeError", "Orvalen", 16, "Fehler bei Bereichsprüfung\\."),
       Subroutines(100)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string part = folder_ / "part.nc";
    WriteBytes(part, c.content);
    const RunResult run = RunProgram(kOrvalen, {part}, WithInput(c.answer));
    EXPECT_EQ(c.exit_status, run.exit_status);
    ExpectErrors(c.errors, run.errors);
    EXPECT_EQ(c.after, ReadBytes(part));
    EXPECT_FALSE(Exists(folder_ / "part.tax"));
  }
}

TEST_F(Programs, OrvalenToldTheArgumentIsNoFile) {
  WriteBytes(folder_ / "part.nc", kProgram);
  ASSERT_EQ(0, mkdir((folder_ / "jobs").c_str(), 0755));
  ASSERT_EQ(0, symlink("jobs", (folder_ / "to-folder").c_str()));
  ASSERT_EQ(0, symlink("gone.nc", (folder_ / "dangling").c_str()));
  const std::vector<std::string> paths = {folder_ / "missing.nc", folder_ / "jobs",
                                          folder_ / "to-folder",  folder_ / "dangling",
                                          folder_ / "*.nc",       folder_ / "part.n?"};
  for (const std::string& path : paths) {
    const RunResult run = RunProgram(kOrvalen, {path});
    EXPECT_EQ(0, run.exit_status) << path;
    EXPECT_EQ("[Orvalen]\nFile (" + path + ") does not exists\n", run.errors);
  }
  const RunResult none = RunProgram(kOrvalen, {});
  EXPECT_EQ(0, none.exit_status);
  EXPECT_EQ("[Orvalen]\nNo Parameter given\n", none.errors);
  const RunResult empty = RunProgram(kOrvalen, {""});
  EXPECT_EQ("[Orvalen]\nNo Parameter given\n", empty.errors);
  EXPECT_EQ(kProgram, ReadBytes(folder_ / "part.nc"));
}

TEST_F(Programs, OrvalenFindsFilesRelativeToItsWorkingFolderAndThroughLinks) {
  ASSERT_EQ(0, mkdir((folder_ / "jobs").c_str(), 0777));
  WriteBytes(folder_ / "jobs/part.nc", kProgram);
  ASSERT_EQ(0, symlink("jobs/part.nc", (folder_ / "link.nc").c_str()));

  // The second argument is ignored; an empty one before the path is none.
  RunResult run = RunProgram(kOrvalen, {"", "jobs/part.nc", "other.nc"}, InFolder(folder_.Path()));
  EXPECT_EQ(0, run.exit_status);
  EXPECT_EQ(kRewritten, ReadBytes(folder_ / "jobs/part.nc"));

  WriteBytes(folder_ / "jobs/part.nc", kProgram);
  run = RunProgram(kOrvalen, {"link.nc"}, InFolder(folder_.Path()));
  EXPECT_EQ(0, run.exit_status);
  struct stat entry {};
  ASSERT_EQ(0, lstat((folder_ / "link.nc").c_str(), &entry));
  EXPECT_TRUE(S_ISLNK(entry.st_mode)) << "the link stays a link";
  EXPECT_EQ(kRewritten, ReadBytes(folder_ / "jobs/part.nc"));
}

TEST_F(Programs, OrvalenReportsAFileItMayNotRead) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to act as another user through setpriv";
  const std::string part = folder_ / "part.nc";
  WriteBytes(part, kProgram);
  chmod(part.c_str(), 0600);
  const RunResult run = RunProgram(ReachableCopy(kOrvalen), {part}, Unprivileged());
  EXPECT_EQ(1, run.exit_status);
  EXPECT_TRUE(
      std::regex_match(run.errors, std::regex(ReportPattern("EFOpenError", "Orvalen", 16,
                                                            "Datei " + part +
                                                                " kann nicht geöffnet werden\\. "
                                                                "Permission denied\\."))))
      << run.errors;
  EXPECT_EQ(kProgram, ReadBytes(part));
}

TEST_F(Programs, OrvalenListsAFolderItMayNotSearch) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to act as another user through setpriv";
  // The entry cannot be queried inside a folder without search permission;
  // listing the folder finds it, and the load then fails.
  ASSERT_EQ(0, mkdir((folder_ / "jobs").c_str(), 0755));
  WriteBytes(folder_ / "jobs/part.nc", kProgram);
  chmod((folder_ / "jobs").c_str(), 0744);
  RunResult run = RunProgram(ReachableCopy(kOrvalen), {folder_ / "jobs/part.nc"}, Unprivileged());
  EXPECT_EQ(1, run.exit_status);
  EXPECT_NE(std::string::npos, run.errors.find("Exception EFOpenError")) << run.errors;
  run = RunProgram(ReachableCopy(kOrvalen), {folder_ / "jobs/other.nc"}, Unprivileged());
  EXPECT_EQ(0, run.exit_status);
  EXPECT_EQ("[Orvalen]\nFile (" + (folder_ / "jobs/other.nc") + ") does not exists\n", run.errors);
}

// The test flag: every value but 0 sends the result to the ".tax" path.
TEST_F(Programs, OrvalenTestModeFromTheSettingsFile) {
  const std::string program = folder_.CopyProgram(kOrvalen);
  struct Case {
    const char* settings;  // nullptr: no settings file
    bool test_mode;
  };
  const Case cases[] = {
      {"[common]\r\ntest=1\r\n", true},
      {"[common]\r\ntest=-1\r\n", true},
      {"[common]\r\ntest=$80000000\r\n", true},
      {"[Common]\r\n  TEST = 0x10 \r\n", true},
      {"[common]\r\ntest=2147483648\r\n", false},
      {"[common]\r\ntest=on\r\n", false},
      {"[common]\r\ntest=0\r\n", false},
      {"[other]\r\ntest=1\r\n", false},
      {nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings ? c.settings : "no settings file");
    const std::string settings = folder_ / "Orvalen.ini";
    unlink(settings.c_str());
    if (c.settings) WriteBytes(settings, c.settings);
    const std::string part = folder_ / "part.nc";
    const std::string tax = folder_ / "part.tax";
    WriteBytes(part, kProgram);
    unlink(tax.c_str());
    if (c.test_mode) WriteBytes(tax, "an older result\r\n");
    const RunResult run = RunProgram(program, {part}, WithInput("j\n"));
    EXPECT_EQ(0, run.exit_status);
    EXPECT_EQ(kQuestion, run.errors);
    EXPECT_EQ(c.test_mode ? kProgram : kRewritten, ReadBytes(part));
    if (c.test_mode) {
      EXPECT_EQ(kRewritten, ReadBytes(tax));
    } else {
      EXPECT_FALSE(Exists(tax));
    }
    if (c.settings) {
      EXPECT_EQ(c.settings, ReadBytes(settings));
    }
  }
}

TEST_F(Programs, OrvalenTestModeKeepsRelativePathsAndFolderDots) {
  const std::string program = folder_.CopyProgram(kOrvalen);
  WriteBytes(folder_ / "Orvalen.ini", "[common]\ntest=1\n");
  ASSERT_EQ(0, mkdir((folder_ / "jobs.old").c_str(), 0777));
  WriteBytes(folder_ / "jobs.old/part", kProgram);
  const RunResult run = RunProgram(program, {"jobs.old/part"}, InFolder(folder_.Path()));
  EXPECT_EQ(0, run.exit_status) << run.errors;
  EXPECT_EQ(kProgram, ReadBytes(folder_ / "jobs.old/part"));
  EXPECT_EQ(kRewritten, ReadBytes(folder_ / "jobs.old/part.tax"));
  EXPECT_FALSE(Exists(folder_ / "jobs.tax"));
}

TEST_F(Programs, ASettingsFileThatIsAFifoDoesNotHoldTheRunUp) {
  const std::string program = folder_.CopyProgram(kOrvalen);
  ASSERT_EQ(0, mkfifo((folder_ / "Orvalen.ini").c_str(), 0644));
  WriteBytes(folder_ / "part.nc", kProgram);
  RunOptions options = WithInput("j\n");
  options.timeout_seconds = 20;
  const RunResult run = RunProgram(program, {folder_ / "part.nc"}, options);
  EXPECT_EQ(0, run.exit_status);
  EXPECT_EQ(kRewritten, ReadBytes(folder_ / "part.nc")) << "normal mode";
}

// Which files a run opens, traced by a preloaded shim.
std::string OpenedFiles(const std::string& program, const std::vector<std::string>& args,
                        const std::string& trace) {
  unlink(trace.c_str());
  RunOptions options;
  options.environment = {"LD_PRELOAD=" ORVALEN_FAULT_SHIM, "ORVALEN_TRACE_OPENS=" + trace,
                         "ASAN_OPTIONS=verify_asan_link_order=0"};
  EXPECT_EQ(0, RunProgram(program, args, options).exit_status);
  return ReadBytes(trace);
}

TEST_F(Programs, NeitherProgramReadsTheSettingsFileWithoutAnArgument) {
  WriteBytes(folder_ / "part.nc", Lines({"G0 X1 Y1"}));
  for (const std::string& original : {kOrvalen, kLegacy}) {
    const std::string program = folder_.CopyProgram(original);
    const std::string settings = program + ".ini";
    WriteBytes(settings, "[common]\r\ntest=1\r\n");
    SCOPED_TRACE(program);
    const std::string trace = folder_ / "trace.txt";
    EXPECT_NE(std::string::npos, OpenedFiles(program, {folder_ / "part.nc"}, trace).find(settings))
        << "with an argument the settings are read";
    EXPECT_EQ(std::string::npos, OpenedFiles(program, {}, trace).find(settings));
    EXPECT_EQ(std::string::npos, OpenedFiles(program, {""}, trace).find(settings));
  }
}

// The rows of the run results of OrvalenLegacy.
TEST_F(Programs, LegacyRunResults) {
  ASSERT_EQ(0, mkdir((folder_ / "jobs").c_str(), 0755));
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string content;  // of part.nc
    std::string answer;
    int exit_status;
    std::string errors;  // a regular expression when it starts with "^"
    std::string after;
  };
  const std::string part = folder_ / "part.nc";
  const Case cases[] = {
      {"no argument", {}, kProgram, "", 0, "[Orvalenlegacy]\nFile () does not exists\n", kProgram},
      {"missing file",
       {folder_ / "missing.nc"},
       kProgram,
       "",
       1,
       "^" + ReportPattern("EFOpenError", "OrvalenLegacy", 8,
                           "File " + (folder_ / "missing.nc") +
                               " could not be opened\\. No such file or directory\\."),
       kProgram},
      {"folder",
       {folder_ / "jobs"},
       kProgram,
       "",
       1,
       "^" + ReportPattern(
                 "EFOpenError", "OrvalenLegacy", 8,
                 "File " + (folder_ / "jobs") + " could not be opened\\. Is a directory\\."),
       kProgram},
      {"no subroutine", {part}, Lines({"G0 X1 Y1"}), "", 0, "", Lines({"G0 X1 Y1"})},
      {"answer No", {part}, kProgram, "nein\n", 0, kLegacyQuestion, kProgram},
      {"answer Yes", {part}, kProgram, "\n", 0, kLegacyQuestion, kRewritten},
      {"list index",
       {part},
       kCallOnFirstLine,
       "",
       1,
       "^[\\s\\S]*" + ReportPattern("EStringListError", "OrvalenLegacy", 8,
                                    "List index out of bounds \\(-2\\)\\."),
       kCallOnFirstLine},
      {"range error",
       {part},
       Subroutines(100),
       "",
       1,
       "^[\\s\\S]*" +
           ReportPattern("ERangeError", "OrvalenLegacy", 8, "Fehler bei Bereichsprüfung\\."),
       Subroutines(100)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(part, c.content);
    const RunResult run = RunProgram(kLegacy, c.args, WithInput(c.answer));
    EXPECT_EQ(c.exit_status, run.exit_status);
    ExpectErrors(c.errors, run.errors);
    EXPECT_EQ(c.after, ReadBytes(part));
  }
}

TEST_F(Programs, LegacyWritesOverItsInputWhateverTheSetting) {
  const std::string program = folder_.CopyProgram(kLegacy);
  WriteBytes(folder_ / "OrvalenLegacy.ini", "[common]\r\ntest=1\r\n");
  WriteBytes(folder_ / "part.nc", kProgram);
  const RunResult run = RunProgram(program, {"part.nc"}, InFolder(folder_.Path()));
  EXPECT_EQ(0, run.exit_status);
  EXPECT_EQ(kRewritten, ReadBytes(folder_ / "part.nc"));
  EXPECT_FALSE(Exists(folder_ / "part.tax"));
  EXPECT_EQ("[common]\r\ntest=1\r\n", ReadBytes(folder_ / "OrvalenLegacy.ini"));
}

TEST_F(Programs, LegacyReportsAFileItMayNotRead) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to act as another user through setpriv";
  const std::string part = folder_ / "part.nc";
  WriteBytes(part, kProgram);
  chmod(part.c_str(), 0600);
  const RunResult run = RunProgram(ReachableCopy(kLegacy), {part}, Unprivileged());
  EXPECT_EQ(1, run.exit_status);
  EXPECT_TRUE(std::regex_match(
      run.errors,
      std::regex(ReportPattern("EFOpenError", "OrvalenLegacy", 8,
                               "File " + part + " could not be opened\\. Permission denied\\."))))
      << run.errors;
  EXPECT_EQ(kProgram, ReadBytes(part));
}

// The shipped example rewrites to the same bytes in both programs.
TEST_F(Programs, BothProgramsRewriteTheShippedExampleAlike) {
  const std::string example = ReadBytes(ORVALEN_SOURCE_DIR "/examples/bracket.nc");
  ASSERT_FALSE(example.empty());
  WriteBytes(folder_ / "a.nc", example);
  WriteBytes(folder_ / "b.nc", example);
  EXPECT_EQ(0, RunProgram(kOrvalen, {folder_ / "a.nc"}).exit_status);
  EXPECT_EQ(0, RunProgram(kLegacy, {folder_ / "b.nc"}).exit_status);
  const std::string rewritten = ReadBytes(folder_ / "a.nc");
  EXPECT_NE(example, rewritten);
  EXPECT_EQ(rewritten, ReadBytes(folder_ / "b.nc"));
  EXPECT_NE(std::string::npos, rewritten.find("N40 G0 X35.5 Y20 Z5\r\n"));
  EXPECT_NE(std::string::npos, rewritten.find("SUBBEGIN POCKET\r\nG0 X0 Y0\r\n"));
}

}  // namespace
}  // namespace orvalen::testing
