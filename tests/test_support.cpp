#include "tests/test_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>

namespace orvalen::testing {
namespace {

// Removes `path` and everything under it; a folder is made writable and
// searchable first, in case a test took those rights away.
void RemoveAll(const std::string& path) {
  struct stat entry {};
  if (lstat(path.c_str(), &entry) != 0) return;
  if (S_ISDIR(entry.st_mode)) {
    chmod(path.c_str(), entry.st_mode | S_IRWXU);
    for (const std::string& name : FolderNames(path)) RemoveAll(path + "/" + name);
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

// The folder of ReachableCopy's copies; removed by the process that made it,
// not by a child that forked from it and ends with exit().
class ReachableCopies {
 public:
  std::string CopyOf(const std::string& path) {
    const std::lock_guard<std::mutex> hold(mutex_);
    if (const auto known = copies_.find(path); known != copies_.end()) return known->second;
    if (folder_.empty()) {
      std::string name = "/tmp/orvalen-reachable-XXXXXX";
      if (mkdtemp(name.data()) == nullptr || chmod(name.c_str(), 0755) != 0)
        throw std::runtime_error(std::string("cannot create a folder in /tmp: ") +
                                 std::strerror(errno));
      folder_ = name;
      maker_ = getpid();
    }
    // A folder per copy: two programs of one name (Orvalen of two builds)
    // keep their names.
    const std::string folder = folder_ + "/" + std::to_string(copies_.size());
    const std::string copy = folder + "/" + std::filesystem::path(path).filename().string();
    if (mkdir(folder.c_str(), 0755) != 0 || chmod(folder.c_str(), 0755) != 0)
      throw std::runtime_error("cannot create " + folder + ": " + std::strerror(errno));
    std::filesystem::copy_file(path, copy);
    if (chmod(copy.c_str(), 0755) != 0)
      throw std::runtime_error("cannot make " + copy + " runnable: " + std::strerror(errno));
    return copies_[path] = copy;
  }
  ~ReachableCopies() {
    if (!folder_.empty() && getpid() == maker_) RemoveAll(folder_);
  }

 private:
  std::mutex mutex_;
  std::string folder_;
  pid_t maker_ = 0;
  std::map<std::string, std::string> copies_;
};

}  // namespace

std::string ReachableCopy(const std::string& path) {
  // Made on first use, so that a test's global constants may call it.
  static ReachableCopies copies;
  return copies.CopyOf(path);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool Exists(const std::string& path) {
  struct stat entry {};
  return lstat(path.c_str(), &entry) == 0;
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

ScratchFolder::ScratchFolder(const std::string& parent) {
  std::string name = parent + "/orvalen-test-XXXXXX";
  if (mkdtemp(name.data()) == nullptr)
    throw std::runtime_error("cannot create a scratch folder in " + parent + ": " +
                             std::strerror(errno));
  path_ = name;
  chmod(path_.c_str(), 0777);
}

ScratchFolder::~ScratchFolder() {
  RemoveAll(path_);
  if (Exists(path_)) std::fprintf(stderr, "cannot remove %s\n", path_.c_str());
}

std::string ScratchFolder::CopyProgram(const std::string& program) const {
  const std::string copy = *this / std::filesystem::path(program).filename().string();
  std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing);
  chmod(copy.c_str(), 0755);
  return copy;
}

DecimalCommaLocale::DecimalCommaLocale() {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  previous_ = previous ? previous : "C";
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
    throw std::runtime_error("the de_DE.UTF-8 locale is missing; scripts/setup generates it");
  if (std::string(std::localeconv()->decimal_point) != ",") {
    std::setlocale(LC_ALL, previous_.c_str());
    throw std::runtime_error("de_DE.UTF-8 has no decimal comma here");
  }
}

DecimalCommaLocale::~DecimalCommaLocale() {
  std::setlocale(LC_ALL, previous_.c_str());
}

}  // namespace orvalen::testing
