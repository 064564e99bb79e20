// Scaling a double by a whole power of ten, the way the number-text
// conversion and the fixed-point formatting of Orvalen do it: a product of
// at most four table factors, each step one rounded double operation.
//   ScaleByPowerOfTen(1.5, 2)   == 150
//   ScaleByPowerOfTen(10, 35)   == the double nearest 1e36
// Overflow raises EOverflow; underflow quietly gives 0 or a subnormal.
#pragma once

#include <cstdint>

#include "tools/checked_arithmetic.h"

namespace orvalen {

// The doubles nearest to 10^0 .. 10^31 (exact up to 10^22), the first factor
// of every scaling.
inline constexpr double kSmallPowersOfTen[32] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29, 1e30, 1e31};

double ScaleByPowerOfTen(double value, std::int64_t power);

// The same, with the powers below 32 in magnitude (those of nearly every
// coordinate) done inline: one operation by a table value.
inline double ScaleByPowerOfTenInline(double value, std::int64_t power) {
  if (power < 0 && power > -32) return CheckedDiv(value, kSmallPowersOfTen[-power]);
  if (power > 0 && power < 32) return CheckedMul(value, kSmallPowersOfTen[power]);
  return ScaleByPowerOfTen(value, power);
}

}  // namespace orvalen
