// A program started in the background, as a file manager starts it: with its
// arguments, nothing on standard input, and what it writes to standard error
// kept. The test drives its windows meanwhile and then waits for its end; a
// program still running when the test is over is killed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace orvalen::testing {

class StartedProgram {
 public:
  StartedProgram(const std::string& program, const std::vector<std::string>& args);
  ~StartedProgram();
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  // The exit status once it has ended; -1 when it ended otherwise, or did not
  // end within `timeout` (it is then killed).
  int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  bool Running();
  // Standard error so far.
  std::string Errors() const;

 private:
  // Collects the exit status once the program has ended.
  bool Ended();

  pid_t pid_ = -1;
  int exit_status_ = -1;
  int errors_fd_ = -1;
};

}  // namespace orvalen::testing
