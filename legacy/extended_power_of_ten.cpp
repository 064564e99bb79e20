#include "legacy/extended_power_of_ten.h"

#include "tools/checked_arithmetic.h"

namespace orvalen {

template <typename Ext>
Ext ScaleByPowerOfTenExtended(Ext value, std::int64_t power) {
  using Powers = ExtendedPowersOfTen<Ext>;
  if (power == 0 || value == 0) return value;
  const std::int64_t n = power < 0 ? -power : power;
  const Ext small = Powers::kSmall[n % 32];
  const Ext medium = Powers::kMedium[(n / 32) % 16];
  std::int64_t large = n / 512;
  if (power > 0) {
    value = CheckedMul(value, small);
    if (medium != 1) value = CheckedMul(value, medium);
    // Any factor past the table overflows, as 10^5120 does itself.
    if (large >= 10) RaiseOverflow();
    if (large > 0) value = CheckedMul<Ext>(value, Powers::kLarge[large]);
    return value;
  }
  value = CheckedDiv(value, small);
  if (medium != 1) value = CheckedDiv(value, medium);
  // Past the table the power is divided out in steps of 10^4608, so that a
  // huge accumulator still gets its true (tiny) value instead of zero.
  while (large >= 10 && value != 0) {
    value = CheckedDiv<Ext>(value, Powers::kLarge[9]);
    large -= 9;
  }
  if (large > 0 && value != 0) value = CheckedDiv<Ext>(value, Powers::kLarge[large]);
  return value;
}

#if ORVALEN_LONG_DOUBLE_IS_X87
template long double ScaleByPowerOfTenExtended(long double, std::int64_t);
#endif
template SoftExtended ScaleByPowerOfTenExtended(SoftExtended, std::int64_t);

}  // namespace orvalen
