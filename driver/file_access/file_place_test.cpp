// A name looked up name by name leads where the kernel's own look-up leads,
// through links of every kind, and no further than a link of another user.
#include "driver/file_access/file_place.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "driver/file_access/system_error_text.h"
#include "tests/test_support.h"

namespace orvalen {
namespace {

class FilePlaces : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(root_ + "/a/b");
    Make("a/b/file.nc");
    Link("a/b", "to_b");
    Link(root_ + "/a/b/file.nc", "absolute.nc");
    Link("to_b/file.nc", "chain.nc");
    Link("../b/file.nc", "a/b/up.nc");
    Link("missing.nc", "dangling.nc");
    Link("loop2", "loop1");
    Link("loop1", "loop2");
    Link("/", "slash");
  }
  void Make(const std::string& name) const {
    const int fd = open((root_ + "/" + name).c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
  }
  void Link(const std::string& target, const std::string& name) const {
    ASSERT_EQ(0, symlink(target.c_str(), (root_ + "/" + name).c_str()));
  }
  const testing::ScratchFolder scratch_;
  const std::string root_ = scratch_.Path();
};

TEST_F(FilePlaces, LeadWhereTheKernelLeads) {
  const char* const paths[] = {
      "a/b/file.nc", "./a/../a/b/file.nc", "to_b/file.nc", "absolute.nc", "chain.nc",
      "a/b/up.nc",   "to_b/../b/file.nc",  "a/b/",         "slash",       "a//b/.//file.nc",
  };
  for (const std::string relative : paths) {
    SCOPED_TRACE(relative);
    for (const std::string& path : {root_ + "/" + relative, relative}) {
      ASSERT_EQ(0, chdir(root_.c_str()));
      FilePlace place;
      ASSERT_EQ(0, place.Resolve(path));
      struct stat by_place {
      }, by_kernel{};
      ASSERT_EQ(0, place.Stat(by_place));
      ASSERT_EQ(0, stat(path.c_str(), &by_kernel));
      EXPECT_EQ(by_kernel.st_ino, by_place.st_ino);
      EXPECT_EQ(by_kernel.st_dev, by_place.st_dev);
    }
  }
  ASSERT_EQ(0, chdir("/"));
}

TEST_F(FilePlaces, FailWhereTheyLeadNowhere) {
  struct Case {
    const char* path;
    int error;
    const char* name;  // the entry a save would create, for a missing one
  };
  const Case cases[] = {
      {"dangling.nc", 0, "missing.nc"},
      {"a/new.nc", 0, "new.nc"},
      {"loop1", ELOOP, ""},
      {"a/b/file.nc/x", ENOTDIR, ""},
      {"a/b/file.nc/", ENOTDIR, ""},
      {"none/file.nc", ENOENT, ""},
      {"to_b/none/file.nc", ENOENT, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FilePlace place;
    EXPECT_EQ(c.error, place.Resolve(root_ + "/" + c.path));
    if (c.error == 0) {
      EXPECT_EQ(c.name, place.Name());
      struct stat entry {};
      EXPECT_EQ(ENOENT, place.Stat(entry));
    }
  }
}

TEST_F(FilePlaces, StopAtALinkOfAnotherUser) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a link to another user needs root";
  Link("a/b", "theirs");
  ASSERT_EQ(0, lchown((root_ + "/theirs").c_str(), 65534, 65534));
  Link("theirs/file.nc", "mine.nc");
  for (const char* path : {"theirs", "theirs/file.nc", "mine.nc"}) {
    FilePlace place;
    EXPECT_EQ(kLinkOfAnotherUser, place.Resolve(root_ + "/" + path)) << path;
  }
}

TEST_F(FilePlaces, OpenOnlyRegularFiles) {
  struct Case {
    const char* path;
    int error;
  };
  const Case cases[] = {{"a/b/file.nc", 0}, {"a/b", EISDIR}, {"/dev/null", kIsCharacterDevice}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FilePlace place;
    ASSERT_EQ(0, place.Resolve(c.path[0] == '/' ? c.path : root_ + "/" + c.path));
    UniqueFd file;
    struct stat entry {};
    EXPECT_EQ(c.error, place.OpenRegular(O_RDONLY, file, entry));
    EXPECT_EQ(c.error == 0, static_cast<bool>(file));
  }
}

}  // namespace
}  // namespace orvalen
