#include "driver/text_file/system_error_text.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace orvalen {
namespace {

TEST(SystemErrorText, PlatformTextWithoutTrailingStop) {
  EXPECT_EQ("No such file or directory", SystemErrorText(ENOENT));
  EXPECT_EQ("Permission denied", SystemErrorText(EACCES));
  EXPECT_EQ("File too large", SystemErrorText(EFBIG));
}

}  // namespace
}  // namespace orvalen
