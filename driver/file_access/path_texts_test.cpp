#include "driver/file_access/path_texts.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace orvalen {
namespace {

TEST(FullPath, AbsoluteAndLexicallyNormal) {
  EXPECT_EQ("/a/c", FullPath("/a/./b/../c"));
  EXPECT_EQ("/x", FullPath("/../x"));
  EXPECT_EQ("/a/b", FullPath("//a//b"));
  char cwd[4096];
  ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
  EXPECT_EQ(std::string(cwd) + "/p.nc", FullPath("p.nc"));
  EXPECT_EQ(std::string(cwd) + "/p.nc", FullPath("./q/../p.nc"));
}

TEST(FullPath, FollowsNoSymbolicLink) {
  EXPECT_EQ("/proc/self/cwd/x.nc", FullPath("/proc/self/cwd/x.nc"));
}

TEST(FolderOf, AndFileNameOfSplitAtTheLastSeparator) {
  const struct {
    const char* path;
    const char* folder;
    const char* name;
  } cases[] = {
      {"dir/file", "dir", "file"}, {"/a", "/", "a"}, {"a", ".", "a"},
      {"/a/b/", "/a/b", ""},       {"", ".", ""},    {"/x.d/p.nc", "/x.d", "p.nc"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.folder, FolderOf(c.path)) << c.path;
    EXPECT_EQ(c.name, FileNameOf(c.path)) << c.path;
  }
}

}  // namespace
}  // namespace orvalen
