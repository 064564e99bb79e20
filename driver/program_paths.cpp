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

}  // namespace orvalen
