#include "legacy/legacy_number_text.h"

#include <cstdint>

#include "legacy/extended_power_of_ten.h"
#include "tools/checked_arithmetic.h"
#include "tools/number_scan.h"

namespace orvalen {

template <typename Ext>
NumberText LegacyConvertNumberTextIn(std::string_view text) {
  const auto step = [](Ext accumulator, int code) {
    return CheckedAdd<Ext>(CheckedMul<Ext>(accumulator, Ext(10)), Ext(code - '0'));
  };
  const NumberScan<char> scan = ScanNumberText(text);
  // Below 10^19 < 2^64 every step of the extended accumulator is exact.
  Ext value = scan.whole_is_exact ? Ext(scan.whole) : AccumulateDigits<Ext>(scan, step);
  if (scan.error_position == 0) {
    const auto decimals = static_cast<std::int64_t>(scan.decimal_digits.size());
    const std::int64_t power = scan.exponent - decimals;
    if (power != 0) value = ScaleByPowerOfTenExtendedInline(value, power);
    if (scan.negative) value = -value;
  }
  return {StoreAsDouble(value), scan.error_position};
}

#if ORVALEN_LONG_DOUBLE_IS_X87
template NumberText LegacyConvertNumberTextIn<long double>(std::string_view);
#endif
template NumberText LegacyConvertNumberTextIn<SoftExtended>(std::string_view);

}  // namespace orvalen
