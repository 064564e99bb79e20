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
  // The root holds no separator of its own to join on.
  const std::string folder = std::string(cwd) == "/" ? "" : cwd;
  EXPECT_EQ(folder + "/p.nc", FullPath("p.nc"));
  EXPECT_EQ(folder + "/p.nc", FullPath("./q/../p.nc"));
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

TEST(ChangeFileExt, ReplacesOnlyTheLastNameExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\jobs\\part.nc", "C:\\jobs\\part.tax"},
      {"C:\\jobs\\part.old.nc", "C:\\jobs\\part.old.tax"},
      {"C:\\jobs.old\\part", "C:\\jobs.old\\part.tax"},
      {"C:\\jobs\\part.", "C:\\jobs\\part.tax"},
      {"C:part", "C:part.tax"},
      {"C:\\jobs\\.nc", "C:\\jobs\\.tax"},
      {"/jobs.old/part", "/jobs.old/part.tax"},
      {"/jobs/part.nc", "/jobs/part.tax"},
      {"part.nc", "part.tax"},
      {"part", "part.tax"},
      {"", ".tax"},
      {"/opt/orvalen/bin/Orvalen", "/opt/orvalen/bin/Orvalen.tax"},
  };
  for (const auto& [path, expected] : cases)
    EXPECT_EQ(expected, ChangeFileExt(path, ".tax")) << path;
}

}  // namespace
}  // namespace orvalen
