#include "driver/file_access/path_texts.h"

#include <unistd.h>

#include <cerrno>
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

std::string FolderOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

std::string_view FileNameOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string ChangeFileExt(std::string_view path, std::string_view extension) {
  const std::size_t stop = path.find_last_of("./\\:");
  std::string result(
      path.substr(0, stop != std::string_view::npos && path[stop] == '.' ? stop : path.size()));
  result += extension;
  return result;
}

}  // namespace orvalen
