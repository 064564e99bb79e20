#include "tests/program_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

extern "C" char** environ;

namespace orvalen::testing {
namespace {

// A file holding `text`, already unlinked, open for reading from its start.
int InputFile(const std::string& text) {
  char name[] = "/tmp/orvalen-input-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) throw std::runtime_error("cannot create the input file");
  unlink(name);
  if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
      lseek(fd, 0, SEEK_SET) != 0)
    throw std::runtime_error("cannot write the input file");
  return fd;
}

std::string ReadAll(int fd) {
  std::string all;
  lseek(fd, 0, SEEK_SET);
  char buffer[4096];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
    all.append(buffer, static_cast<std::size_t>(got));
  return all;
}

}  // namespace

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options) {
  signal(SIGPIPE, SIG_IGN);  // a program that ends early closes its input
  std::vector<std::string> words = {"/usr/bin/timeout", "-s", "KILL",
                                    std::to_string(options.timeout_seconds)};
  if ((options.unprivileged || options.user) && geteuid() == 0) {
    const RunAs user = options.user.value_or(RunAs{65534, 65534, {}});
    std::string groups = "--clear-groups";
    for (std::size_t i = 0; i < user.groups.size(); ++i)
      groups = (i == 0 ? "--groups=" : groups + ",") + std::to_string(user.groups[i]);
    words.insert(words.end(), {"/usr/bin/setpriv", "--reuid=" + std::to_string(user.uid),
                               "--regid=" + std::to_string(user.gid), groups});
  }
  words.push_back(program);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment;
  for (char** variable = environ; *variable != nullptr; ++variable)
    environment.push_back(*variable);
  environment.insert(environment.end(), options.environment.begin(), options.environment.end());
  std::vector<char*> envp;
  for (std::string& variable : environment) envp.push_back(variable.data());
  envp.push_back(nullptr);

  // Without a pause the input is a file and the errors go to one; with a
  // pause both are pipes, so that the question can be waited for.
  const bool pause = static_cast<bool>(options.at_question);
  int in[2] = {-1, -1};
  int err[2] = {-1, -1};
  if (pause) {
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
      throw std::runtime_error("cannot make pipes");
  } else {
    in[0] = InputFile(options.input);
    err[1] = InputFile("");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  if (!options.folder.empty())
    posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  if (spawned != 0) throw std::runtime_error("cannot start " + words.front());

  RunResult result;
  if (pause) {
    close(err[1]);
    char buffer[4096];
    bool asked = false;
    for (ssize_t got; (got = read(err[0], buffer, sizeof buffer)) > 0;) {
      result.errors.append(buffer, static_cast<std::size_t>(got));
      if (!asked && result.errors.find("[J]a  [N]ein") != std::string::npos) {
        asked = true;
        options.at_question();
        if (write(in[1], options.input.data(), options.input.size()) < 0) break;
        close(in[1]);
        in[1] = -1;
      }
    }
    if (in[1] >= 0) close(in[1]);
    close(err[0]);
  }
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  // Of the wrapper and of the children it waited for, the program among them.
  result.peak_kib = usage.ru_maxrss;
  // timeout gives 124 and above when it had to kill the program, or 128 +
  // the signal that ended it.
  result.exit_status = WIFEXITED(status) && WEXITSTATUS(status) < 124 ? WEXITSTATUS(status) : -1;
  if (!pause) {
    result.errors = ReadAll(err[1]);
    close(err[1]);
  }
  return result;
}

pid_t StartProgram(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> words = {program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + program);
  return pid;
}

int WaitProgram(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace orvalen::testing
