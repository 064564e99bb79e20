#include "legacy/legacy_fixed_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "legacy/extended_test_types.h"
#include "legacy/number_reference/legacy_fixed_format_reference.h"

namespace orvalen {
namespace {

template <typename Ext>
class LegacyFixedPointFormatting : public ::testing::Test {};
TYPED_TEST_SUITE(LegacyFixedPointFormatting, ExtendedTypes, ExtendedTypeName);

TYPED_TEST(LegacyFixedPointFormatting, SmallValuesRoundTheirOwnDigits) {
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
  for (const auto& c : cases)
    EXPECT_EQ(c.text, LegacyFormatFixedPointIn<TypeParam>(c.value)) << c.value;
}

TYPED_TEST(LegacyFixedPointFormatting, ExponentFormFromTwoToThe120) {
  const auto format = [](double value) { return LegacyFormatFixedPointIn<TypeParam>(value); };
  EXPECT_EQ(" 1.3E+0036", format(0x1p120));
  EXPECT_EQ("-1.3E+0036", format(-0x1p120));
  EXPECT_EQ(" 1.8E+0308", format(1.7976931348623157e308));
  EXPECT_EQ(" 1.0E+0037", format(9.96e36));  // the carry reaches the place
  // Just below 2^120 the fixed form is still written, with 37 integer digits.
  const std::string below = format(std::nextafter(0x1p120, 0.0));
  EXPECT_EQ(37u + 4u, below.size()) << below;
}

// Any double (subnormals included), three-decimal ties and their neighbours,
// and values from 1e-40 to 1e40, where coordinates lie.
double RandomValue(std::mt19937_64& random) {
  double value = std::bit_cast<double>(random() >> 1);
  if (random() % 4 == 1) {
    value = (static_cast<double>(random() % 100'000'000'000) + 0.5) / 1000.0;
    for (int step = static_cast<int>(random() % 7) - 3; step != 0; step += step < 0 ? 1 : -1)
      value = std::nextafter(value, step < 0 ? 0.0 : INFINITY);
  } else if (random() % 2 == 0 || !std::isfinite(value)) {
    value = std::ldexp(1.0 + static_cast<double>(random() >> 12) * 0x1p-52,
                       static_cast<int>(random() % 266) - 133);
  }
  return random() % 2 == 0 ? -value : value;
}

// The digits of the reference in the same type, and in SoftExtended the
// x87's digits where there is one.
TYPED_TEST(LegacyFixedPointFormatting, WritesTheDigitsOfTheReferenceAndOfTheX87) {
  std::mt19937_64 random(23);
  int failures = 0;
  for (int i = 0; i < 500'000; ++i) {
    const double value = RandomValue(random);
    for (const ExponentForm form : {ExponentForm::kAllowed, ExponentForm::kNever}) {
      const std::string written = LegacyFormatFixedPointIn<TypeParam>(value, form);
      std::string expected = reference::LegacyFormatFixedPointIn<TypeParam>(value, form);
#if ORVALEN_LONG_DOUBLE_IS_X87
      const std::string x87 = LegacyFormatFixedPointIn<long double>(value, form);
      if (x87 != expected) expected += " (x87: " + x87 + ")";
#endif
      if (written != expected && ++failures <= 10)
        ADD_FAILURE() << std::hexfloat << value << ": " << written << ", reference " << expected;
    }
  }
  EXPECT_EQ(0, failures);
}

}  // namespace
}  // namespace orvalen
