// How both programs start and end around their work: --help and --version
// answered on standard output without a window or the settings file, a
// standard error whose reader has gone, and windows that cannot be set up.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
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

// Runs `program` as a shell would, SIGPIPE at its default: `input` on standard
// input, both outputs to files, or standard error into a pipe whose reader
// has gone when `closed_errors`. `environment` adds "NAME=value" settings.
Outcome RunAsShell(const ScratchFolder& folder, const std::string& program,
                   const std::vector<std::string>& args, const std::string& input,
                   const std::vector<std::string>& environment = {}, bool closed_errors = false) {
  const std::string in = folder / "stdin", out = folder / "stdout", err = folder / "stderr";
  WriteBytes(in, input);
  WriteBytes(err, "");
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return {};
  close(pipe_ends[0]);
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGPIPE, SIG_DFL);
    unsetenv("DISPLAY");
    for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
    dup2(open(in.c_str(), O_RDONLY), STDIN_FILENO);
    dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
    dup2(closed_errors ? pipe_ends[1] : open(err.c_str(), O_WRONLY), STDERR_FILENO);
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
    const Outcome run = RunAsShell(folder, program.path, {folder / "part.nc"}, "j\n", {}, true);
    EXPECT_EQ(0, run.exit_status);
    EXPECT_EQ(kRewritten, ReadBytes(folder / "part.nc"));
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
