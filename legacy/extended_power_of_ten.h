// Scaling an extended value by a whole power of ten, as the legacy program's
// conversion and formatting do it: multiply (power > 0) or divide
// (power < 0) by the extended values nearest 10^(n mod 32), then
// 10^(32 * ((n div 32) mod 16)), then 10^(512 * (n div 512)), each step
// rounded to a 64-bit significand. Overflow raises EOverflow. Written once
// for either extended type (legacy/legacy_extended.h).
#pragma once

#include <array>
#include <cstdint>

#include "legacy/legacy_extended.h"
#include "tools/checked_arithmetic.h"

namespace orvalen {

#if ORVALEN_LONG_DOUBLE_IS_X87
// The extended values nearest to 10^0 .. 10^31 (exact up to 10^27), the
// first factor of every scaling.
inline constexpr long double kSmallPowersOfTenExtended[32] = {
    1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,  1e10L,
    1e11L, 1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L, 1e21L,
    1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L, 1e28L, 1e29L, 1e30L, 1e31L};
// 10^(32 j) for j = 0 .. 15.
inline constexpr long double kMediumPowersOfTenExtended[16] = {
    1e0L,   1e32L,  1e64L,  1e96L,  1e128L, 1e160L, 1e192L, 1e224L,
    1e256L, 1e288L, 1e320L, 1e352L, 1e384L, 1e416L, 1e448L, 1e480L};
// 10^(512 j) for j = 0 .. 9; 10^5120 is beyond the extended range.
inline constexpr long double kLargePowersOfTenExtended[10] = {
    1e0L, 1e512L, 1e1024L, 1e1536L, 1e2048L, 1e2560L, 1e3072L, 1e3584L, 1e4096L, 1e4608L};
#endif

// The three tables of an extended type: kSmall[32], kMedium[16], kLarge[10].
template <typename Ext>
struct ExtendedPowersOfTen;
#if ORVALEN_LONG_DOUBLE_IS_X87
template <>
struct ExtendedPowersOfTen<long double> {
  static constexpr const long double (&kSmall)[32] = kSmallPowersOfTenExtended;
  static constexpr const long double (&kMedium)[16] = kMediumPowersOfTenExtended;
  static constexpr const long double (&kLarge)[10] = kLargePowersOfTenExtended;
};
#endif
template <>
struct ExtendedPowersOfTen<SoftExtended> {
  static constexpr const std::array<SoftExtended, 32>& kSmall = kSoftSmallPowersOfTen;
  static constexpr const std::array<SoftExtended, 16>& kMedium = kSoftMediumPowersOfTen;
  static constexpr const std::array<SoftExtended, 10>& kLarge = kSoftLargePowersOfTen;
};

template <typename Ext>
Ext ScaleByPowerOfTenExtended(Ext value, std::int64_t power);
#if ORVALEN_LONG_DOUBLE_IS_X87
extern template long double ScaleByPowerOfTenExtended(long double, std::int64_t);
#endif
extern template SoftExtended ScaleByPowerOfTenExtended(SoftExtended, std::int64_t);

// The same, with the powers below 32 in magnitude (those of nearly every
// coordinate) done inline: one operation by a table value.
template <typename Ext>
inline Ext ScaleByPowerOfTenExtendedInline(Ext value, std::int64_t power) {
  const auto& small = ExtendedPowersOfTen<Ext>::kSmall;
  if (power < 0 && power > -32) return CheckedDiv<Ext>(value, small[-power]);
  if (power > 0 && power < 32) return CheckedMul<Ext>(value, small[power]);
  return ScaleByPowerOfTenExtended(value, power);
}

}  // namespace orvalen
