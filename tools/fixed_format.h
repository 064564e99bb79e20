// Fixed-point formatting of the current program, minimum width 5 and three
// decimals, built on the decimal image of the value (18 significant digits
// from scaling the magnitude into [1, 16) and multiplying by 10^17).
//   12                          -> "12.000"
//   0.0625 (an exact tie)       -> "0.063"   (half away from zero)
//   1.0005 (stored just below)  -> "1.001"   (the image rounds up first)
//   -0.0004                     -> "-0.000"  (the sign follows the value)
//   negative zero               -> "0.000"
//   1234567890123456.75         -> "1234567890123456.640" (no rounding from 1e15 on)
//   1e36                        -> " 1.0E+0036" (above 2^119 or below 2^-116)
// With ExponentForm::kNever the fixed form is written for every value:
// huge values as plain digits, tiny ones as "0.000" or "-0.000".
// The result is single-byte text of digits, blanks, "-", "+", "." and "E".
// Values that are no numbers give "NAN", "INF" and "-INF" (the programs never
// format one: their arithmetic raises a failure before).
#pragma once

#include <cmath>
#include <cstddef>
#include <span>
#include <string>

namespace orvalen {

enum class ExponentForm { kAllowed, kNever };

// Room for every formatted number of both programs: the longest is the fixed
// form of the largest double, "-", 309 digits, "." and three decimals.
inline constexpr std::size_t kFixedPointCapacity = 320;
using FixedPointChars = std::span<char, kFixedPointCapacity>;

inline std::string NonFiniteText(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

std::string FormatFixedPoint(double value, ExponentForm form = ExponentForm::kAllowed);
// The same characters written into `out`, without an allocation; returns
// their number.
std::size_t WriteFixedPoint(double value, ExponentForm form, FixedPointChars out);

}  // namespace orvalen
