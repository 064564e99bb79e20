// How both programs start and end around their work: --help and --version
// answered on standard output without a window or the settings file, an
// output whose reader has gone, a file size limit, windows that cannot be set
// up, and the console question answered from a pipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/program_runner.h"
#include "tests/sample_programs.h"
#include "tests/test_support.h"

namespace orvalen::testing {
namespace {

const std::string kShim = ORVALEN_FAULT_SHIM;

struct Program {
  std::string name;
  std::string path;
};
const Program kPrograms[] = {{"Orvalen", ORVALEN_PROGRAM},
                             {"OrvalenLegacy", ORVALEN_LEGACY_PROGRAM}};

struct Outcome {
  int exit_status = -1;  // -1 when a signal ended it
  std::string output;    // standard output
  std::string errors;    // standard error, unless it went into a closed pipe
};

// Which output, if any, goes into a pipe whose reader has gone.
enum class ClosedPipe { kNone, kOutput, kErrors };

// Runs `program` as a shell would, SIGPIPE and SIGXFSZ at their defaults:
// `input` on standard input, both outputs to files but the one `closed`
// names, files no bigger than `file_size_limit`. `environment` adds
// "NAME=value" settings.
Outcome RunAsShell(const ScratchFolder& folder, const std::string& program,
                   const std::vector<std::string>& args, const std::string& input,
                   const std::vector<std::string>& environment = {},
                   ClosedPipe closed = ClosedPipe::kNone, rlim_t file_size_limit = RLIM_INFINITY) {
  const std::string in = folder / "stdin", out = folder / "stdout", err = folder / "stderr";
  WriteBytes(in, input);
  WriteBytes(err, "");
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return {};
  close(pipe_ends[0]);
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGPIPE, SIG_DFL);
    signal(SIGXFSZ, SIG_DFL);
    const rlimit file_size = {file_size_limit, file_size_limit};
    setrlimit(RLIMIT_FSIZE, &file_size);
    unsetenv("DISPLAY");
    for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
    dup2(open(in.c_str(), O_RDONLY), STDIN_FILENO);
    dup2(closed == ClosedPipe::kOutput ? pipe_ends[1]
                                       : open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
         STDOUT_FILENO);
    dup2(closed == ClosedPipe::kErrors ? pipe_ends[1] : open(err.c_str(), O_WRONLY), STDERR_FILENO);
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(pipe_ends[1]);
  Outcome outcome;
  outcome.exit_status = WaitProgram(pid);
  outcome.output = ReadBytes(out);
  outcome.errors = ReadBytes(err);
  return outcome;
}

TEST(Startup, HelpAndVersionAnswerOnStandardOutputWithoutWindowOrSettings) {
  for (const Program& program : kPrograms) {
    ScratchFolder folder;
    const std::string copy = folder.CopyProgram(program.path);
    WriteBytes(copy + ".ini", "[common]\r\ntest=1\r\n");
    const std::string& name = program.name;
    const std::string version = name + " " ORVALEN_VERSION "\n";
    struct Case {
      std::vector<std::string> args;
      std::string output_start;
      std::string output_end;
    };
    const Case cases[] = {
        {{"--help"}, "Usage: " + name + " PART-PROGRAM\n", "The manual page: man " + name + "\n"},
        {{"", "-h", "part.nc"}, "Usage: " + name + " PART-PROGRAM\n", "man " + name + "\n"},
        {{"--version"}, version, version},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(name + " " + c.args[c.args.size() > 1 ? 1 : 0]);
      const std::string trace = folder / "trace";
      unlink(trace.c_str());
      const Outcome run = RunAsShell(folder, copy, c.args, "",
                                     {"LD_PRELOAD=" + kShim, "ORVALEN_TRACE_OPENS=" + trace,
                                      "DISPLAY=:99", "ASAN_OPTIONS=verify_asan_link_order=0"});
      EXPECT_EQ(0, run.exit_status);
      EXPECT_TRUE(run.output.starts_with(c.output_start)) << run.output;
      EXPECT_TRUE(run.output.ends_with(c.output_end)) << run.output;
      EXPECT_EQ("", run.errors);
      const std::string opened = ReadBytes(trace);
      EXPECT_EQ(std::string::npos, opened.find(".ini")) << opened;
      EXPECT_EQ(std::string::npos, opened.find("(XOpenDisplay)")) << opened;
    }
    // Only the first argument counts, and a file named like an option is
    // reached through its folder.
    WriteBytes(folder / "--help", kProgram);
    const Outcome run = RunAsShell(folder, program.path, {folder / "--help", "--version"}, "j\n");
    EXPECT_EQ(0, run.exit_status);
    EXPECT_EQ("", run.output);
    EXPECT_EQ(kRewritten, ReadBytes(folder / "--help"));
  }
}

// The answered question is acted on although nothing can be shown.
TEST(Startup, AStandardErrorWhoseReaderHasGoneDoesNotEndTheRun) {
  for (const Program& program : kPrograms) {
    SCOPED_TRACE(program.name);
    ScratchFolder folder;
    WriteBytes(folder / "part.nc", kProgram);
    const Outcome run =
        RunAsShell(folder, program.path, {folder / "part.nc"}, "j\n", {}, ClosedPipe::kErrors);
    EXPECT_EQ(0, run.exit_status);
    EXPECT_EQ(kRewritten, ReadBytes(folder / "part.nc"));
  }
}

TEST(Startup, HelpAndVersionIntoAPipeWhoseReaderHasGoneEndWithStatusOne) {
  for (const Program& program : kPrograms) {
    for (const char* option : {"--help", "--version"}) {
      SCOPED_TRACE(program.name + " " + option);
      ScratchFolder folder;
      const Outcome run = RunAsShell(folder, program.path, {option}, "", {}, ClosedPipe::kOutput);
      EXPECT_EQ(1, run.exit_status);
      EXPECT_EQ("", run.errors);
    }
  }
}

// The write that passes the limit fails, where the limit's signal would end
// the process with the temporary file left and no word.
TEST(Startup, AResultBeyondTheFileSizeLimitEndsInTheReport) {
  std::string big;
  for (int i = 0; i < 500; ++i) big += "G0 X10 Y20\r\n";
  big += kProgram;
  for (const Program& program : kPrograms) {
    SCOPED_TRACE(program.name);
    ScratchFolder shell, folder;
    const std::string part = folder / "big.nc";
    WriteBytes(part, big);
    const Outcome run = RunAsShell(shell, program.path, {part}, "j\n", {}, ClosedPipe::kNone, 4096);
    EXPECT_EQ(1, run.exit_status) << run.errors;
    EXPECT_NE(std::string::npos, run.errors.find("Exception EWriteError in Modul " + program.name))
        << run.errors;
    const std::string text =
        program.name == "Orvalen" ? "Stream-Schreibfehler.\n" : "Stream write error.\n";
    EXPECT_TRUE(run.errors.ends_with(text)) << run.errors;
    EXPECT_EQ(big, ReadBytes(part));
    EXPECT_EQ(std::vector<std::string>{"big.nc"}, FolderNames(folder.Path()));
  }
}

// A line not understood and then the end of the input, or three such lines,
// answer No; the end of the input alone answers as a closed window, so Yes.
TEST(Startup, TheConsoleQuestionAnsweredFromAPipe) {
  struct Case {
    const char* name;
    std::string input;
    bool rewritten;
  };
  const Case cases[] = {
      {"nothing", "", true},
      {"not understood, then yes", "q\nj\n", true},
      {"nein danke", "nein danke\n", false},
      {"nö", "nö\n", false},
      {"abbrechen", "abbrechen\n", false},
      {"three not understood before a yes", "x\nz\n?\nj\n", false},
      {"zeros without a line end", std::string(100'000, '\0'), false},
  };
  for (const Program& program : kPrograms) {
    for (const Case& c : cases) {
      SCOPED_TRACE(program.name + ": " + c.name);
      ScratchFolder folder;
      WriteBytes(folder / "part.nc", kProgram);
      const Outcome run = RunAsShell(folder, program.path, {folder / "part.nc"}, c.input);
      EXPECT_EQ(0, run.exit_status) << run.errors;
      EXPECT_EQ(c.rewritten ? kRewritten : kProgram, ReadBytes(folder / "part.nc"));
    }
  }
}

// A message (Orvalen) and the failure report (OrvalenLegacy) with the path.
TEST(Startup, ControlCharactersInAPathShowEscapedOnTheConsole) {
  for (const Program& program : kPrograms) {
    SCOPED_TRACE(program.name);
    ScratchFolder folder;
    const Outcome run = RunAsShell(folder, program.path, {folder / "\x1b]0;owned\a\x1b[2J.nc"}, "");
    EXPECT_NE(std::string::npos, run.errors.find("/\\x1b]0;owned\\x07\\x1b[2J.nc")) << run.errors;
    EXPECT_EQ(std::string::npos, run.errors.find_first_of("\x1b\a")) << run.errors;
  }
}

TEST(Startup, WindowsThatCannotBeSetUpLeaveTheQuestionToTheConsole) {
  for (const Program& program : kPrograms) {
    SCOPED_TRACE(program.name);
    ScratchFolder folder;
    WriteBytes(folder / "part.nc", kProgram);
    const Outcome run = RunAsShell(folder, program.path, {folder / "part.nc"}, "j\n",
                                   {"LD_PRELOAD=" + kShim, "ORVALEN_FAULT_WINDOW_SETUP=1",
                                    "DISPLAY=:99", "ASAN_OPTIONS=verify_asan_link_order=0"});
    EXPECT_EQ(0, run.exit_status) << run.errors;
    EXPECT_NE(std::string::npos,
              run.errors.find("Soll das Programm Optimiert Werden?\n[J]a  [N]ein"))
        << run.errors;
    EXPECT_EQ(kRewritten, ReadBytes(folder / "part.nc"));
  }
}

}  // namespace
}  // namespace orvalen::testing
