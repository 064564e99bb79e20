// A save removes the temporary files that dead writers of the same program
// left, and nothing else: not a locked one, not another program's, not a link,
// a folder, a pipe, a file of another user or a name that only looks similar.
#include "driver/file_access/temporary_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "driver/file_access/file_replacement.h"
#include "tests/test_support.h"

namespace orvalen {
namespace {

TEST(TemporaryFiles, NamesOfOneProgram) {
  struct Case {
    const char* entry;
    bool matches;
  };
  const Case cases[] = {
      {".part.nc.orvalen-k3x9a0qz", true},   {".part.nc.orvalen-00000000", true},
      {".part.nc.orvalen-k3x9a0q", false},   {".part.nc.orvalen-k3x9a0qz0", false},
      {".part.nc.orvalen-K3X9A0QZ", false},  {".part.nc.orvalen-k3x9-0qz", false},
      {"part.nc.orvalen-k3x9a0qz", false},   {".part.nc.orvalen-k3x9a0qz.nc", false},
      {".apart.nc.orvalen-k3x9a0qz", false}, {".part.ncorvalen-k3x9a0qz", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.matches, IsTemporaryNameOf(c.entry, "part.nc")) << c.entry;
  EXPECT_FALSE(IsTemporaryNameOf("..orvalen-k3x9a0qz", ""));
}

TEST(TemporaryFiles, ASaveRemovesOnlyTheLeftoversOfDeadWriters) {
  const testing::ScratchFolder scratch;
  const std::string& folder = scratch.Path();
  auto at = [&](const std::string& entry) { return folder + "/" + entry; };
  auto present = [&](const std::string& entry) {
    struct stat st {};
    return lstat(at(entry).c_str(), &st) == 0;
  };
  auto make = [&](const std::string& entry) {
    const int fd = open(at(entry).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    EXPECT_LE(0, fd) << entry;
    EXPECT_EQ(3, write(fd, "old", 3));
    return fd;
  };
  close(make("part.nc"));
  close(make(".part.nc.orvalen-dead0001"));
  close(make(".part.nc.orvalen-dead0002"));
  // A writer still at work: its own open file description holds the lock.
  const int live = make(".part.nc.orvalen-live0001");
  ASSERT_EQ(0, flock(live, LOCK_EX | LOCK_NB));
  const char* kept[] = {".other.nc.orvalen-dead0001", ".part.nc.orvalen-dead001",
                        ".part.nc.orvalen-DEAD0001", "part.nc.orvalen-dead0001", "target"};
  for (const char* entry : kept) close(make(entry));
  ASSERT_EQ(0, symlink("target", at(".part.nc.orvalen-link0001").c_str()));
  ASSERT_EQ(0, mkdir(at(".part.nc.orvalen-fold0001").c_str(), 0700));
  ASSERT_EQ(0, mkfifo(at(".part.nc.orvalen-pipe0001").c_str(), 0600));
  const bool root = geteuid() == 0;
  if (root) {
    close(make(".part.nc.orvalen-user0001"));
    ASSERT_EQ(0, chown(at(".part.nc.orvalen-user0001").c_str(), 65534, 65534));
  }

  FileReplacement save;
  ASSERT_EQ(0, save.Begin(at("part.nc")));
  ASSERT_TRUE(save.Write("new", 3));
  int error = 0;
  ASSERT_EQ(FileReplacement::Outcome::kDone, save.Commit(error));

  EXPECT_FALSE(present(".part.nc.orvalen-dead0001"));
  EXPECT_FALSE(present(".part.nc.orvalen-dead0002"));
  EXPECT_TRUE(present(".part.nc.orvalen-live0001"));
  for (const char* entry : kept) EXPECT_TRUE(present(entry)) << entry;
  for (const char* entry :
       {".part.nc.orvalen-link0001", ".part.nc.orvalen-fold0001", ".part.nc.orvalen-pipe0001"}) {
    EXPECT_TRUE(present(entry)) << entry;
  }
  if (root) {
    EXPECT_TRUE(present(".part.nc.orvalen-user0001"));
  }
  close(live);
}

}  // namespace
}  // namespace orvalen
