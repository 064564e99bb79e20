// The end-to-end tests answer on standard input, so the programs they start
// must use the console dialogs: no display, whatever the developer's session
// has.
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class WithoutDisplay : public ::testing::Environment {
 public:
  void SetUp() override { unsetenv("DISPLAY"); }
};

[[maybe_unused]] ::testing::Environment* const kWithoutDisplay =
    ::testing::AddGlobalTestEnvironment(new WithoutDisplay);

}  // namespace
