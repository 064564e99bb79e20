#include "tools/whole_number.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <limits>
#include <vector>

#include "tools/failure.h"

namespace orvalen {
namespace {

TEST(RoundToWholeNumber, HalvesGoToTheEvenNeighbour) {
  const struct {
    long double value;
    std::int64_t whole;
  } cases[] = {
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {3.5, 4},
      {-0.5, 0},
      {-1.5, -2},
      {-2.5, -2},
      {0.4, 0},
      {0.6, 1},
      {-0.6, -1},
      {1e15 + 0.5, 1'000'000'000'000'000},
      {-0.0, 0},
      {0x1.fffffffffffffp62, 9223372036854774784},  // largest double below 2^63
      {-0x1p63, std::numeric_limits<std::int64_t>::min()},
  };
  for (const auto& c : cases) EXPECT_EQ(c.whole, RoundToWholeNumber(c.value)) << c.value;
  // Where long double holds 2^63 - 1 (not armhf's, which is a double).
  if (LDBL_MANT_DIG >= 64) {
    EXPECT_EQ(std::numeric_limits<std::int64_t>::max(), RoundToWholeNumber(0x1p63L - 1));
  }
}

TEST(RoundToWholeNumber, OutsideTheSigned64BitRangeIsAnInvalidOperation) {
  std::vector<long double> values = {1e19L, 0x1p63L, 1e300L, -1e300L, 0x1p63L - 0.5L};
  // Where long double holds it; a double rounds it to -2^63, which is whole.
  if (LDBL_MANT_DIG >= 64) values.push_back(-0x1p63L - 1);
  for (long double value : values) {
    try {
      RoundToWholeNumber(value);
      ADD_FAILURE() << value << " was rounded";
    } catch (const EInvalidOp& failure) {
      EXPECT_EQ(u"Ungültige Gleitkommaoperation", failure.Message());
      EXPECT_STREQ("EInvalidOp", failure.KindName());
    }
  }
}

}  // namespace
}  // namespace orvalen
