#include "driver/program_paths.h"

#include <unistd.h>

#include <vector>

namespace orvalen {

std::string FirstArgument(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] != nullptr && argv[i][0] != '\0') return argv[i];
  }
  return {};
}

std::string ExecutablePath() {
  // readlink does not say whether it cut the path short, so grow the buffer
  // until the path fits with room to spare.
  std::vector<char> buffer(512);
  for (;;) {
    const ssize_t got = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (got < 0) return {};
    if (static_cast<std::size_t>(got) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(got));
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ChangeFileExt(std::string_view path, std::string_view extension) {
  const std::size_t stop = path.find_last_of("./\\:");
  std::string result(
      path.substr(0, stop != std::string_view::npos && path[stop] == '.' ? stop : path.size()));
  result += extension;
  return result;
}

}  // namespace orvalen
