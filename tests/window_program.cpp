#include "tests/window_program.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

extern "C" char** environ;

namespace orvalen::testing {

StartedProgram::StartedProgram(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> words = {program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  char name[] = "/tmp/orvalen-errors-XXXXXX";
  errors_fd_ = mkostemp(name, O_CLOEXEC);
  if (errors_fd_ < 0) throw std::runtime_error("cannot create the errors file");
  unlink(name);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, errors_fd_, STDERR_FILENO);
  const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + program);
  }
}

StartedProgram::~StartedProgram() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  close(errors_fd_);
}

bool StartedProgram::Ended() {
  if (pid_ <= 0) return true;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
  pid_ = -1;
  exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return true;
}

int StartedProgram::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!Ended()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return exit_status_;
}

bool StartedProgram::Running() {
  return !Ended();
}

std::string StartedProgram::Errors() const {
  std::string all;
  char buffer[4096];
  for (off_t at = 0;;) {
    const ssize_t got = pread(errors_fd_, buffer, sizeof buffer, at);
    if (got <= 0) break;
    all.append(buffer, static_cast<std::size_t>(got));
    at += got;
  }
  return all;
}

}  // namespace orvalen::testing
