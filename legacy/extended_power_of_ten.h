// Scaling an x87 extended value by a whole power of ten, as the legacy
// program's conversion and formatting do it: multiply (power > 0) or divide
// (power < 0) by the extended values nearest 10^(n mod 32), then
// 10^(32 * ((n div 32) mod 16)), then 10^(512 * (n div 512)), each step
// rounded to a 64-bit significand. Overflow raises EOverflow.
#pragma once

#include <cfloat>
#include <cstdint>

static_assert(LDBL_MANT_DIG == 64, "the legacy arithmetic needs the x87 extended type");

namespace orvalen {

long double ScaleByPowerOfTenExtended(long double value, std::int64_t power);

}  // namespace orvalen
