#include "legacy/legacy_number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "legacy/extended_power_of_ten.h"
#include "legacy/extended_test_types.h"
#include "legacy/legacy_build.h"
#include "legacy/number_reference/legacy_number_text_reference.h"
#include "tools/failure.h"

namespace orvalen {
namespace {

template <typename Ext>
class ExtendedPowerOfTen : public ::testing::Test {};
TYPED_TEST_SUITE(ExtendedPowerOfTen, ExtendedTypes, ExtendedTypeName);
template <typename Ext>
class LegacyNumberText : public ::testing::Test {};
TYPED_TEST_SUITE(LegacyNumberText, ExtendedTypes, ExtendedTypeName);

TYPED_TEST(ExtendedPowerOfTen, TablesAreExactUpToTenToThe27) {
  using Ext = TypeParam;
  Ext exact = 1;
  for (int q = 0; q <= 27; ++q) {
    EXPECT_EQ(exact, ScaleByPowerOfTenExtended(Ext(1), q)) << q;
    EXPECT_EQ(Ext(1), ScaleByPowerOfTenExtended(exact, -q)) << q;
    exact *= 10;  // exact: 10^27 < 2^64 * 2^27
  }
}

TYPED_TEST(ExtendedPowerOfTen, EachStepRoundsToTheExtendedSignificand) {
  using Ext = TypeParam;
  using Powers = ExtendedPowersOfTen<Ext>;
  // 10^40 = 10^8 * 10^32: two rounded factors, not the nearest extended value
  // necessarily, but the same as multiplying the table values by hand.
  EXPECT_EQ(Powers::kSmall[8] * Powers::kMedium[1], ScaleByPowerOfTenExtended(Ext(1), 40));
  EXPECT_EQ(Ext(3) / Powers::kSmall[5] / Powers::kLarge[1],
            ScaleByPowerOfTenExtended(Ext(3), -517));
}

#if ORVALEN_LONG_DOUBLE_IS_X87
TEST(ExtendedPowerOfTen, TheX87TablesAreTheCompilersLiterals) {
  EXPECT_EQ(1e8L * 1e32L, ScaleByPowerOfTenExtended(1.0L, 40));
  EXPECT_EQ(3.0L / 1e5L / 1e512L, ScaleByPowerOfTenExtended(3.0L, -517));
}
#endif

TYPED_TEST(LegacyNumberText, AccumulatesInExtendedPrecision) {
  using Ext = TypeParam;
  // Exact in the 64-bit significand, then rounded once to the double.
  EXPECT_EQ(1e17, LegacyConvertNumberTextIn<Ext>("99999999999999999").value);
  EXPECT_EQ(18446744073709551615.0, LegacyConvertNumberTextIn<Ext>("18446744073709551615").value);
  // The decimals are divided out in extended precision before the store.
  EXPECT_EQ(static_cast<double>(Ext(123456789012345678) / Ext(100000)),
            LegacyConvertNumberTextIn<Ext>("1234567890123.45678").value);
}

// Texts of every shape the conversion tells apart: few or very many digits,
// runs of 9s and 0s, exponents beyond the extended range, a stray letter.
std::string RandomNumberText(std::mt19937_64& random) {
  const auto below = [&](unsigned n) { return static_cast<int>(random() % n); };
  std::string text = below(3) == 0 ? "-" : "";
  const auto digits = [&](int count) {
    const char run = below(4) == 0 ? "09"[below(2)] : 0;
    for (int i = 0; i < count; ++i) text += run != 0 && below(8) != 0 ? run : char('0' + below(10));
  };
  digits(below(10) < 8 ? below(20) : below(300));
  if (below(2) == 0) text += '.', digits(below(4) == 0 ? below(40) : below(8));
  if (below(4) == 0) text += "e" + std::to_string(below(2) == 0 ? below(5200) : -below(5200));
  if (below(30) == 0) text.insert(static_cast<std::size_t>(below(unsigned(text.size()) + 1)), "x");
  return text;
}

// The bits of the value, the error position and the sum with an offset, or
// the failure raised on the way.
template <typename Ext, typename Convert>
std::string Outcome(const std::string& text, double offset, Convert convert) {
  try {
    const NumberText number = convert(text);
    const double sum = LegacyBuildIn<Ext>::AddOffset(number.value, offset);
    return std::to_string(std::bit_cast<std::uint64_t>(number.value)) + " @" +
           std::to_string(number.error_position) + " +" +
           std::to_string(std::bit_cast<std::uint64_t>(sum));
  } catch (const Failure& failure) {
    return failure.KindName();
  }
}

// The same as the reference in the same type, and in SoftExtended the same
// bits as in the x87's type where there is one.
TYPED_TEST(LegacyNumberText, GivesTheValueOfTheReferenceAndOfTheX87) {
  using Ext = TypeParam;
  std::mt19937_64 random(23);
  int failures = 0;
  for (int i = 0; i < 200'000; ++i) {
    const std::string text = RandomNumberText(random);
    const double offset =
        i % 9 == 0 ? 1.7e308 * (i % 2 == 0 ? 1 : -1)
                   : std::ldexp(static_cast<double>(random() >> 11) * (i % 2 == 0 ? 1 : -1),
                                static_cast<int>(random() % 140) - 120);
    const std::string converted = Outcome<Ext>(text, offset, LegacyConvertNumberTextIn<Ext>);
    std::string expected = Outcome<Ext>(text, offset, reference::LegacyConvertNumberTextIn<Ext>);
#if ORVALEN_LONG_DOUBLE_IS_X87
    const std::string x87 =
        Outcome<long double>(text, offset, LegacyConvertNumberTextIn<long double>);
    if (x87 != expected) expected += " (x87: " + x87 + ")";
#endif
    if (converted != expected && ++failures <= 10)
      ADD_FAILURE() << "\"" << text << "\": " << converted << ", reference " << expected;
  }
  EXPECT_EQ(0, failures);
}

}  // namespace
}  // namespace orvalen
