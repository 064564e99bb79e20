// Runs a built program as the user would: with arguments, a working folder,
// text on standard input, optionally as an unprivileged user; gives its exit
// status and what it wrote to standard error.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvalen::testing {

struct RunResult {
  int exit_status = -1;  // -1 when it did not end normally
  std::string errors;    // standard error
  long peak_kib = 0;     // the largest resident set of the program (and its wrapper)
};

// Another user to run as: user and group ids, and the only supplementary groups.
struct RunAs {
  uid_t uid;
  gid_t gid;
  std::vector<gid_t> groups;
};

struct RunOptions {
  std::string folder;                    // working folder; empty for the current one
  std::string input;                     // fed to standard input, which then ends
  bool unprivileged = false;             // as user and group 65534 (needs root)
  std::optional<RunAs> user;             // as this user instead (needs root)
  std::vector<std::string> environment;  // "NAME=value" added to this one's
  // Called once the program asks its question on the console and before the
  // input is given: the moment between the load and the save.
  std::function<void()> at_question;
  int timeout_seconds = 120;  // then the program is killed
};

inline RunOptions WithInput(std::string input) {
  RunOptions options;
  options.input = std::move(input);
  return options;
}
inline RunOptions InFolder(std::string folder) {
  RunOptions options;
  options.folder = std::move(folder);
  return options;
}
inline RunOptions Unprivileged() {
  RunOptions options;
  options.unprivileged = true;
  return options;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options = {});

// Starts a program without waiting for it (standard input and error from
// /dev/null and to /dev/null); WaitProgram gives its exit status, or -1 when
// a signal ended it.
pid_t StartProgram(const std::string& program, const std::vector<std::string>& args);
int WaitProgram(pid_t pid);

}  // namespace orvalen::testing
