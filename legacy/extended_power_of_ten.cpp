#include "legacy/extended_power_of_ten.h"

#include "tools/checked_arithmetic.h"

namespace orvalen {
namespace {

// The extended values nearest to 10^0 .. 10^31 (exact up to 10^27).
constexpr long double kSmall[32] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,
                                    1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L,
                                    1e16L, 1e17L, 1e18L, 1e19L, 1e20L, 1e21L, 1e22L, 1e23L,
                                    1e24L, 1e25L, 1e26L, 1e27L, 1e28L, 1e29L, 1e30L, 1e31L};
// 10^(32 j) for j = 0 .. 15.
constexpr long double kMedium[16] = {1e0L,   1e32L,  1e64L,  1e96L,  1e128L, 1e160L,
                                     1e192L, 1e224L, 1e256L, 1e288L, 1e320L, 1e352L,
                                     1e384L, 1e416L, 1e448L, 1e480L};
// 10^(512 j) for j = 0 .. 9; 10^5120 is beyond the extended range.
constexpr long double kLarge[10] = {1e0L,    1e512L,  1e1024L, 1e1536L, 1e2048L,
                                    1e2560L, 1e3072L, 1e3584L, 1e4096L, 1e4608L};

}  // namespace

long double ScaleByPowerOfTenExtended(long double value, std::int64_t power) {
  if (power == 0 || value == 0) return value;
  const std::int64_t n = power < 0 ? -power : power;
  const long double small = kSmall[n % 32];
  const long double medium = kMedium[(n / 32) % 16];
  std::int64_t large = n / 512;
  if (power > 0) {
    value = CheckedMul(value, small);
    if (medium != 1) value = CheckedMul(value, medium);
    // Any factor past the table overflows, as 10^5120 does itself.
    if (large >= 10) RaiseOverflow();
    if (large > 0) value = CheckedMul(value, kLarge[large]);
    return value;
  }
  value = CheckedDiv(value, small);
  if (medium != 1) value = CheckedDiv(value, medium);
  // Past the table the power is divided out in steps of 10^4608, so that a
  // huge accumulator still gets its true (tiny) value instead of zero.
  while (large >= 10 && value != 0) {
    value = CheckedDiv(value, kLarge[9]);
    large -= 9;
  }
  if (large > 0 && value != 0) value = CheckedDiv(value, kLarge[large]);
  return value;
}

}  // namespace orvalen
