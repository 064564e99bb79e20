#include "legacy/legacy_fixed_format.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvalen {
namespace {

TEST(LegacyFixedPointFormatting, SmallValuesRoundTheirOwnDigits) {
  // Below 10 the digits are those of |x| * 10^17 rounded to a whole number:
  // a double stored just below a tie rounds down, an exact tie rounds up.
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0.0625, "0.063"},    {1.0625, "1.063"}, {0.0004999, "0.000"}, {9.9996, "10.000"},
      {-9.9996, "-10.000"}, {5.0005, "5.000"}, {1.1115, "1.111"},    {2.675, "2.675"},
      {0.5, "0.500"},       {1e-20, "0.000"},  {-1e-20, "-0.000"},   {9.99949999999999, "9.999"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, LegacyFormatFixedPoint(c.value)) << c.value;
}

TEST(LegacyFixedPointFormatting, ExponentFormFromTwoToThe120) {
  EXPECT_EQ(" 1.3E+0036", LegacyFormatFixedPoint(0x1p120));
  EXPECT_EQ("-1.3E+0036", LegacyFormatFixedPoint(-0x1p120));
  EXPECT_EQ(" 1.8E+0308", LegacyFormatFixedPoint(1.7976931348623157e308));
  EXPECT_EQ(" 1.0E+0037", LegacyFormatFixedPoint(9.96e36));  // the carry reaches the place
  // Just below 2^120 the fixed form is still written, with 37 integer digits.
  const std::string below = LegacyFormatFixedPoint(std::nextafter(0x1p120, 0.0));
  EXPECT_EQ(37u + 4u, below.size()) << below;
}

}  // namespace
}  // namespace orvalen
