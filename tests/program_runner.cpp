#include "tests/program_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
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
  std::vector<std::string> words;
  if (options.unprivileged && geteuid() == 0) {
    words = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  words.push_back(program);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  const int in = InputFile(options.input);
  const int err = InputFile("");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
  if (!options.folder.empty())
    posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in);
  if (spawned != 0) throw std::runtime_error("cannot start " + words.front());
  int status = 0;
  waitpid(pid, &status, 0);
  RunResult result;
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.errors = ReadAll(err);
  close(err);
  return result;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool Exists(const std::string& path) {
  struct stat entry {};
  return lstat(path.c_str(), &entry) == 0;
}

ScratchFolder::ScratchFolder() {
  char name[] = "/tmp/orvalen-run-XXXXXX";
  if (mkdtemp(name) == nullptr) throw std::runtime_error("cannot create a scratch folder");
  path_ = name;
  chmod(path_.c_str(), 0777);
}

ScratchFolder::~ScratchFolder() {
  const std::string command = "chmod -R u+rwx '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "cannot remove %s\n", path_.c_str());
}

std::string ScratchFolder::CopyProgram(const std::string& program) const {
  const std::string copy = *this / std::filesystem::path(program).filename().string();
  std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing);
  chmod(copy.c_str(), 0755);
  return copy;
}

}  // namespace orvalen::testing
