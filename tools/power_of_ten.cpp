#include "tools/power_of_ten.h"

#include "tools/checked_arithmetic.h"

namespace orvalen {
namespace {

// The doubles nearest to 10^0, 10^32, 10^64, ..., 10^224.
constexpr double kLargePowers[8] = {1e0, 1e32, 1e64, 1e96, 1e128, 1e160, 1e192, 1e224};
constexpr double kPower256 = 1e256;
constexpr double kPowerMinus256 = 1e-256;

// Up to this power the four table steps spell the power exactly; beyond it
// the step for 10^(32 j) would wrap around.
constexpr std::int64_t kLargestTablePower = 767;

}  // namespace

double ScaleByPowerOfTen(double value, std::int64_t power) {
  if (power == 0 || value == 0) return value;
  const std::int64_t n = power < 0 ? -power : power;
  if (n > kLargestTablePower) {
    // No finite double scaled by such a power stays finite (upwards) or
    // rounds to anything but zero (downwards).
    if (power > 0) RaiseOverflow();
    return value * 0.0;
  }
  const double small = kSmallPowersOfTen[n % 32];
  const double large = kLargePowers[(n / 32) % 8];
  if (power > 0) {
    value = CheckedMul(value, small);
    if (n >= 32 && large != 1e0) value = CheckedMul(value, large);
    if (n >= 256) value = CheckedMul(value, kPower256);
    if (n >= 512) value = CheckedMul(value, kPower256);
  } else {
    value = CheckedDiv(value, small);
    if (n >= 32 && large != 1e0) value = CheckedDiv(value, large);
    if (n >= 256) value = CheckedMul(value, kPowerMinus256);
    if (n >= 512) value = CheckedMul(value, kPowerMinus256);
  }
  return value;
}

}  // namespace orvalen
