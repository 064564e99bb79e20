// What the tests share: files read and written whole, scratch folders that
// are removed with everything in them, and the German locale with its decimal
// comma. The small part programs are in tests/sample_programs.h, the lines of
// a program in memory in tests/memory_lines.h. Failures throw
// std::runtime_error, which fails the test that meets them.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/failure.h"

namespace orvalen::testing {

// The failure that `action` raises, kind and message; {"none", ""} when it
// raises none.
template <class Action>
std::pair<std::string, std::u16string> FailureOf(Action action) {
  try {
    action();
  } catch (const Failure& failure) {
    return {failure.KindName(), failure.Message()};
  }
  return {"none", u""};
}

// The bytes of a file; empty when it cannot be read.
std::string ReadBytes(const std::string& path);
// Replaces the file's content with `bytes`, creating it if need be.
void WriteBytes(const std::string& path, std::string_view bytes);
// True for anything at `path`, a dangling link included.
bool Exists(const std::string& path);
// The names in a folder but "." and "..", sorted.
std::vector<std::string> FolderNames(const std::string& folder);

// A fresh folder under `parent` that every user may enter and write (the
// tests run the programs as an unprivileged user too); removed with
// everything in it at the end, read-only folders inside included.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& parent = "/tmp");
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

// A copy of the file at `path` (a program or a preloaded library) that every
// user may read and run, for a test that acts as another user through
// setpriv: the build tree may lie where that user cannot enter (a clone in
// /root, or in a folder of mode 0700), and the clone's folders are never
// opened up for it. The copy, of mode 0755 under the same name, lies in a
// folder of mode 0755 under /tmp that this process makes on first use and
// removes when it ends; each path is copied once. A program that needs an
// emulator is a script that starts it (scripts/cross), whose target must
// itself lie where every user can reach it.
std::string ReachableCopy(const std::string& path);

// Switches the process to de_DE.UTF-8, whose decimal separator is a comma,
// for as long as it lives, so that a test shows that number text does not
// follow the locale. Throws when the machine lacks that locale.
class DecimalCommaLocale {
 public:
  DecimalCommaLocale();
  ~DecimalCommaLocale();
  DecimalCommaLocale(const DecimalCommaLocale&) = delete;
  DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;

 private:
  std::string previous_;
};

}  // namespace orvalen::testing
