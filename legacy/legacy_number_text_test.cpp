#include "legacy/legacy_number_text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "legacy/extended_power_of_ten.h"

namespace orvalen {
namespace {

TEST(ExtendedPowerOfTen, TablesAreExactUpToTenToThe27) {
  long double exact = 1;
  for (int q = 0; q <= 27; ++q) {
    EXPECT_EQ(exact, ScaleByPowerOfTenExtended(1.0L, q)) << q;
    EXPECT_EQ(1.0L, ScaleByPowerOfTenExtended(exact, -q)) << q;
    exact *= 10;  // exact: 10^27 < 2^64 * 2^27
  }
}

TEST(ExtendedPowerOfTen, EachStepRoundsToTheExtendedSignificand) {
  // 10^40 = 10^8 * 10^32: two rounded factors, not the nearest extended value
  // necessarily, but the same as multiplying the table values by hand.
  EXPECT_EQ(1e8L * 1e32L, ScaleByPowerOfTenExtended(1.0L, 40));
  EXPECT_EQ(3.0L / 1e5L / 1e512L, ScaleByPowerOfTenExtended(3.0L, -517));
}

TEST(LegacyNumberText, AccumulatesInExtendedPrecision) {
  // Exact in the 64-bit significand, then rounded once to the double.
  EXPECT_EQ(1e17, LegacyConvertNumberText("99999999999999999").value);
  EXPECT_EQ(18446744073709551615.0, LegacyConvertNumberText("18446744073709551615").value);
  // The decimals are divided out in extended precision before the store.
  EXPECT_EQ(static_cast<double>(123456789012345678.0L / 1e5L),
            LegacyConvertNumberText("1234567890123.45678").value);
}

}  // namespace
}  // namespace orvalen
