#include "driver/text_file/full_path.h"

#include <unistd.h>

#include <filesystem>
#include <vector>

namespace orvalen {

std::string FullPath(const std::string& path) {
  if (path.empty()) return path;
  std::string joined;
  if (path.front() != '/') {
    std::vector<char> cwd(4096);
    while (getcwd(cwd.data(), cwd.size()) == nullptr) {
      if (errno != ERANGE) return path;
      cwd.resize(cwd.size() * 2);
    }
    joined = cwd.data();
    joined += '/';
  }
  joined += path;
  std::string normal = std::filesystem::path(joined).lexically_normal().string();
  // POSIX lets "//" stand for an implementation-defined root; here it is the root.
  while (normal.size() > 1 && normal[0] == '/' && normal[1] == '/') normal.erase(0, 1);
  return normal;
}

}  // namespace orvalen
