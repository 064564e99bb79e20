#include "tests/window_x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/test_support.h"

extern "C" char** environ;

namespace orvalen::testing {
namespace {

std::string display_name;
std::optional<testing::ScratchFolder> cache_folder;

// The display number Xvfb writes to `fd` once it accepts clients, or "" when
// it ends or stays silent for `timeout_ms`.
std::string ReadDisplayNumber(int fd, int timeout_ms) {
  std::string number;
  for (;;) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, timeout_ms) <= 0) return "";
    char c = 0;
    if (read(fd, &c, 1) != 1) return "";
    if (c == '\n') return number;
    number.push_back(c);
  }
}

}  // namespace

void XServerEnvironment::SetUp() {
  // Fontconfig in the programs caches under $XDG_CACHE_HOME, by default in
  // HOME, and says on standard error when it cannot, which the tests expect
  // empty: a build daemon's HOME is not writable. A cache of their own keeps
  // the programs quiet there and the user's cache untouched.
  cache_folder.emplace();
  setenv("XDG_CACHE_HOME", cache_folder->Path().c_str(), 1);

  int pipe_fds[2];
  ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC), 0);
  // Above 3, so that the duplicate at 3 is a fresh descriptor that Xvfb keeps.
  const int write_fd = fcntl(pipe_fds[1], F_DUPFD_CLOEXEC, 10);
  close(pipe_fds[1]);
  const std::string screen =
      std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24";
  // -noreset: a server whose last client leaves resets and refuses the next
  // one for a moment, and the tests start one program after the other.
  std::vector<std::string> words = {"Xvfb", "-displayfd", "3",   "-screen", "0",
                                    screen, "-nolisten",  "tcp", "-noreset"};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, write_fd, 3);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(write_fd);
  if (spawned != 0) {
    close(pipe_fds[0]);
    pid_ = -1;
    FAIL() << "cannot start Xvfb (" << std::strerror(spawned)
           << "): scripts/setup installs it with the package xvfb";
  }
  const std::string number = ReadDisplayNumber(pipe_fds[0], 20000);
  close(pipe_fds[0]);
  ASSERT_FALSE(number.empty()) << "Xvfb reported no display";
  display_name = ":" + number;
  setenv("DISPLAY", display_name.c_str(), 1);
}

void XServerEnvironment::TearDown() {
  if (cache_folder) {
    unsetenv("XDG_CACHE_HOME");
    cache_folder.reset();
  }
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  unsetenv("DISPLAY");
  display_name.clear();
}

const std::string& XServerEnvironment::Display() {
  return display_name;
}

}  // namespace orvalen::testing
