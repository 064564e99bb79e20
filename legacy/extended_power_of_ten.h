// Scaling an x87 extended value by a whole power of ten, as the legacy
// program's conversion and formatting do it: multiply (power > 0) or divide
// (power < 0) by the extended values nearest 10^(n mod 32), then
// 10^(32 * ((n div 32) mod 16)), then 10^(512 * (n div 512)), each step
// rounded to a 64-bit significand. Overflow raises EOverflow.
#pragma once

#include <cfloat>
#include <cstdint>

#include "tools/checked_arithmetic.h"

static_assert(LDBL_MANT_DIG == 64, "the legacy arithmetic needs the x87 extended type");

namespace orvalen {

// The extended values nearest to 10^0 .. 10^31 (exact up to 10^27), the
// first factor of every scaling.
inline constexpr long double kSmallPowersOfTenExtended[32] = {
    1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,  1e10L,
    1e11L, 1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L, 1e21L,
    1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L, 1e28L, 1e29L, 1e30L, 1e31L};

long double ScaleByPowerOfTenExtended(long double value, std::int64_t power);

// The same, with the powers below 32 in magnitude (those of nearly every
// coordinate) done inline: one operation by a table value.
inline long double ScaleByPowerOfTenExtendedInline(long double value, std::int64_t power) {
  if (power < 0 && power > -32) return CheckedDiv(value, kSmallPowersOfTenExtended[-power]);
  if (power > 0 && power < 32) return CheckedMul(value, kSmallPowersOfTenExtended[power]);
  return ScaleByPowerOfTenExtended(value, power);
}

}  // namespace orvalen
