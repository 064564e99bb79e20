// The programs' save of a part program's new content, over the program or
// beside it: where it goes (links followed, hard links and permission bits
// kept over the program, a folder refused), and that a failed write, a full
// device or a write failing on the writer thread leaves the target as it
// was, with the failure worded by each program.
#include "driver/file_access/program_save.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "driver/file_access/program_file_reading.h"
#include "driver/program_text/program_text_rules.h"
#include "legacy/legacy_build.h"
#include "legacy/legacy_program_text_rules.h"
#include "tests/test_support.h"
#include "tools/current_build.h"
#include "tools/failure.h"
#include "tools/utf8.h"

namespace orvalen {
namespace {

using testing::FailureOf;
using testing::FolderNames;
using testing::ReadBytes;
using testing::WriteBytes;

// New content for a file, saved with the guards of the programs' saves:
// over the part program at `path` when a file stands there (read first, as
// the program is), else beside the program `source`, into a new file; a
// large one from the writer thread.
template <BuildPolicy Build>
struct Content {
  std::string bytes;
  std::string source;
  void SaveToFile(const std::string& path) const {
    struct stat st {};
    const bool over = stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    ProgramFileReader reader;
    if (reader.Open(over ? path : source) != 0) throw std::runtime_error("cannot read " + path);
    HeldFile read;
    reader.Keep(read);
    ProgramSave save;
    save.Begin(path, SaveGuard{.replaces = over ? &read : nullptr, .content_of = &read},
               bytes.size() >= (std::size_t{4} << 20));
    save.Put(bytes.data(), bytes.size());
    save.Complete<ProgramTextRules<Build>>(path);
  }
};

class ProgramSaves : public ::testing::Test {
 protected:
  void TearDown() override {
    if (!mounted_.empty()) umount2(mounted_.c_str(), MNT_DETACH);
  }
  std::string Path(const std::string& name) const { return folder_ / name; }

  testing::ScratchFolder folder_;
  const std::string dir_ = folder_.Path();
  std::string mounted_;
};

TEST_F(ProgramSaves, ATargetThatIsAFolderFailsToCreate) {
  WriteBytes(Path("in.nc"), "A\r\n");
  mkdir(Path("sub").c_str(), 0755);
  const Content<CurrentBuild> list{ReadBytes(Path("in.nc")), Path("in.nc")};
  EXPECT_EQ(std::make_pair(std::string("EFCreateError"),
                           u"Datei \"" + FromUtf8(Path("sub")) +
                               u"\" kann nicht erstellt werden. Is a directory"),
            FailureOf([&] { list.SaveToFile(Path("sub")); }));
  EXPECT_EQ((std::vector<std::string>{"in.nc", "sub"}), FolderNames(dir_));
}

TEST_F(ProgramSaves, ASymbolicLinkStaysALinkAndItsFileIsReplaced) {
  WriteBytes(Path("in.nc"), "NEW\r\n");
  mkdir(Path("real").c_str(), 0777);
  WriteBytes(Path("real/file.nc"), "OLD\r\n");
  chmod(Path("real/file.nc").c_str(), 0640);
  ASSERT_EQ(0, symlink("real/file.nc", Path("link.nc").c_str()));
  ASSERT_EQ(0, symlink("link.nc", Path("link2.nc").c_str()));
  const Content<CurrentBuild> list{ReadBytes(Path("in.nc")), Path("in.nc")};
  list.SaveToFile(Path("link2.nc"));
  struct stat st {};
  ASSERT_EQ(0, lstat(Path("link.nc").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(0, lstat(Path("link2.nc").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ("NEW\r\n", ReadBytes(Path("real/file.nc")));
  ASSERT_EQ(0, stat(Path("real/file.nc").c_str(), &st));
  EXPECT_EQ(0640u, st.st_mode & 07777);
  EXPECT_EQ((std::vector<std::string>{"file.nc"}), FolderNames(Path("real")));
  // A dangling link: the file it leads to is created.
  ASSERT_EQ(0, symlink("real/new.nc", Path("dangling.nc").c_str()));
  const Content<LegacyBuild> legacy{ReadBytes(Path("in.nc")), Path("in.nc")};
  legacy.SaveToFile(Path("dangling.nc"));
  EXPECT_EQ("NEW\r\n", ReadBytes(Path("real/new.nc")));
  ASSERT_EQ(0, lstat(Path("dangling.nc").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(ProgramSaves, HardLinksAndPermissionBitsAreKept) {
  WriteBytes(Path("in.nc"), "NEW\r\n");
  WriteBytes(Path("a.nc"), "OLD OLD OLD\r\n");
  chmod(Path("a.nc").c_str(), 0604);
  ASSERT_EQ(0, link(Path("a.nc").c_str(), Path("b.nc").c_str()));
  const Content<CurrentBuild> list{ReadBytes(Path("in.nc")), Path("in.nc")};
  list.SaveToFile(Path("a.nc"));
  EXPECT_EQ("NEW\r\n", ReadBytes(Path("b.nc")));
  struct stat st {};
  ASSERT_EQ(0, stat(Path("a.nc").c_str(), &st));
  EXPECT_EQ(2u, st.st_nlink);
  EXPECT_EQ(0604u, st.st_mode & 07777);

  WriteBytes(Path("single.nc"), "OLD\r\n");
  chmod(Path("single.nc").c_str(), 0751);
  list.SaveToFile(Path("single.nc"));
  ASSERT_EQ(0, stat(Path("single.nc").c_str(), &st));
  EXPECT_EQ(0751u, st.st_mode & 07777);
  EXPECT_EQ("NEW\r\n", ReadBytes(Path("single.nc")));
  EXPECT_EQ((std::vector<std::string>{"a.nc", "b.nc", "in.nc", "single.nc"}), FolderNames(dir_));
}

ssize_t WriteNothing(int, const void*, std::size_t) {
  return 0;
}
ssize_t DeviceFull(int, const void*, std::size_t) {
  errno = ENOSPC;
  return -1;
}

TEST_F(ProgramSaves, AWriteThatPutsDownNothingKeepsTheTarget) {
  WriteBytes(Path("in.nc"), "NEW\r\n");
  WriteBytes(Path("t.nc"), "OLD\n");
  const Content<CurrentBuild> list{ReadBytes(Path("in.nc")), Path("in.nc")};
  const Content<LegacyBuild> legacy{ReadBytes(Path("in.nc")), Path("in.nc")};
  for (WriteCall failing : {&WriteNothing, &DeviceFull}) {
    const WriteCall previous = SetWriteCallForTesting(failing);
    const auto current_failure = FailureOf([&] { list.SaveToFile(Path("t.nc")); });
    const auto legacy_failure = FailureOf([&] { legacy.SaveToFile(Path("t.nc")); });
    const auto new_file = FailureOf([&] { list.SaveToFile(Path("new.nc")); });
    SetWriteCallForTesting(previous);
    EXPECT_EQ(std::make_pair(std::string("EWriteError"), std::u16string(u"Stream-Schreibfehler")),
              current_failure);
    EXPECT_EQ(std::make_pair(std::string("EWriteError"), std::u16string(u"Stream write error")),
              legacy_failure);
    EXPECT_EQ("EWriteError", new_file.first);
    EXPECT_EQ("OLD\n", ReadBytes(Path("t.nc")));
    EXPECT_EQ((std::vector<std::string>{"in.nc", "t.nc"}), FolderNames(dir_));
  }
}

// A large text is written from a second thread; a write that fails there,
// after some have gone through, still ends the save with the write failure
// and leaves the target as it was. Without a failure the bytes are exact.
std::atomic<int> g_writes_left{0};
ssize_t FailAfterSomeWrites(int fd, const void* data, std::size_t size) {
  if (g_writes_left.fetch_sub(1) <= 0) return DeviceFull(fd, data, size);
  return write(fd, data, size);
}

TEST_F(ProgramSaves, ALargeSaveWrittenBehindFailsAsAWholeOrWritesEveryByte) {
  std::string big;
  for (int i = 0; big.size() < (std::size_t{9} << 20); ++i) {
    big += 'N';
    big += std::to_string(i);
    big += " G01 X123.456 Y-78.9 F2000 (\xE4)\r\n";
  }
  WriteBytes(Path("in.nc"), big);
  const auto line_start = [&](const std::string& text, int index) {
    std::size_t at = 0;
    for (int i = 0; i < index; ++i) at = text.find("\r\n", at) + 2;
    return at;
  };
  std::string current = big;
  std::size_t at = line_start(current, 7);
  current.replace(at, current.find("\r\n", at) - at,
                  "G0 X0 Y0 and a line that no longer fits where it was");
  std::string bytes = big;
  at = line_start(bytes, 9);
  bytes.replace(at, bytes.find("\r\n", at) - at, "G1");
  const Content<CurrentBuild> list{current, Path("in.nc")};
  const Content<LegacyBuild> legacy{bytes, Path("in.nc")};
  for (const int writes : {0, 3}) {
    WriteBytes(Path("t.nc"), "OLD\n");
    WriteBytes(Path("u.nc"), "OLD\n");
    g_writes_left = writes;
    const WriteCall previous = SetWriteCallForTesting(&FailAfterSomeWrites);
    EXPECT_EQ("EWriteError", FailureOf([&] { list.SaveToFile(Path("t.nc")); }).first);
    g_writes_left = writes;
    EXPECT_EQ("EWriteError", FailureOf([&] { legacy.SaveToFile(Path("u.nc")); }).first);
    SetWriteCallForTesting(previous);
    EXPECT_EQ("OLD\n", ReadBytes(Path("t.nc")));
    EXPECT_EQ("OLD\n", ReadBytes(Path("u.nc")));
    EXPECT_EQ((std::vector<std::string>{"in.nc", "t.nc", "u.nc"}), FolderNames(dir_));
  }
  list.SaveToFile(Path("t.nc"));
  legacy.SaveToFile(Path("u.nc"));
  EXPECT_TRUE(current == ReadBytes(Path("t.nc")));
  EXPECT_TRUE(bytes == ReadBytes(Path("u.nc")));
}

TEST_F(ProgramSaves, AFullDeviceKeepsTheTarget) {
  const std::string device = Path("small");
  mkdir(device.c_str(), 0777);
  if (mount("tmpfs", device.c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0) {
    GTEST_SKIP() << "no tmpfs here (" << SystemErrorText(errno)
                 << "); AWriteThatPutsDownNothingKeepsTheTarget injects the failure instead";
  }
  mounted_ = device;
  std::string big;
  while (big.size() < 512 * 1024) big += "N10 G01 X123.456 Y-78.9 F2000\r\n";
  WriteBytes(Path("in.nc"), big);
  WriteBytes(device + "/t.nc", "OLD\n");
  WriteBytes(device + "/hard.nc", "OLD\n");
  ASSERT_EQ(0, link((device + "/hard.nc").c_str(), (device + "/hard2.nc").c_str()));
  const Content<CurrentBuild> list{ReadBytes(Path("in.nc")), Path("in.nc")};
  const Content<LegacyBuild> legacy{ReadBytes(Path("in.nc")), Path("in.nc")};
  for (const std::string name : {"t.nc", "hard.nc"}) {
    EXPECT_EQ(std::make_pair(std::string("EWriteError"), std::u16string(u"Stream-Schreibfehler")),
              FailureOf([&] { list.SaveToFile(device + "/" + name); }));
    EXPECT_EQ(std::make_pair(std::string("EWriteError"), std::u16string(u"Stream write error")),
              FailureOf([&] { legacy.SaveToFile(device + "/" + name); }));
    EXPECT_EQ("OLD\n", ReadBytes(device + "/" + name));
  }
  EXPECT_EQ((std::vector<std::string>{"hard.nc", "hard2.nc", "t.nc"}), FolderNames(device));
}

}  // namespace
}  // namespace orvalen
