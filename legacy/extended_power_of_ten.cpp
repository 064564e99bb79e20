#include "legacy/extended_power_of_ten.h"

#include "tools/checked_arithmetic.h"

namespace orvalen {
namespace {

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
  const long double small = kSmallPowersOfTenExtended[n % 32];
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
