#include "driver/text_file/full_path.h"

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

}  // namespace
}  // namespace orvalen
