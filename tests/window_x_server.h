// An X server of its own for a test program: Xvfb on a display number that it
// picks and reports itself (-displayfd), so nothing waits a fixed time and
// test programs running side by side never meet. As a GoogleTest environment
// it starts before the first test, points DISPLAY at itself and stops after
// the last; a missing Xvfb fails the tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>

namespace orvalen::testing {

inline constexpr int kScreenWidth = 1280;
inline constexpr int kScreenHeight = 1024;

class XServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;

  // ":N" while the server runs.
  static const std::string& Display();

 private:
  pid_t pid_ = -1;
};

}  // namespace orvalen::testing
