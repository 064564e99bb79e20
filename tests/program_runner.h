// Runs a built program as the user would: with arguments, a working folder,
// text on standard input, optionally as an unprivileged user; gives its exit
// status and what it wrote to standard error.
#pragma once

#include <string>
#include <vector>

namespace orvalen::testing {

struct RunResult {
  int exit_status = -1;  // -1 when it did not end normally
  std::string errors;    // standard error
};

struct RunOptions {
  std::string folder;         // working folder; empty for the current one
  std::string input;          // fed to standard input, which then ends
  bool unprivileged = false;  // as user and group 65534 (needs root)
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

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);

// A fresh folder under /tmp that every user may enter and write; removed with
// everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  // A copy of `program` in this folder, so a settings file can stand beside it.
  std::string CopyProgram(const std::string& program) const;

 private:
  std::string path_;
};

}  // namespace orvalen::testing
