#include "legacy/number_reference/legacy_number_text_reference.h"

#include "legacy/extended_power_of_ten.h"
#include "tools/checked_arithmetic.h"
#include "tools/number_reference/number_scan_reference.h"

namespace orvalen::reference {

template <typename Ext>
NumberText LegacyConvertNumberTextIn(std::string_view text) {
  const auto step = [](Ext accumulator, int code) {
    return CheckedAdd<Ext>(CheckedMul<Ext>(accumulator, Ext(10)), Ext(code - '0'));
  };
  const NumberScan<Ext> scan = ScanNumberText<Ext>(text, step);
  Ext value = scan.accumulator;
  if (scan.error_position == 0) {
    const std::int64_t power = scan.exponent - scan.decimals;
    if (power != 0) value = ScaleByPowerOfTenExtended(value, power);
    if (scan.negative) value = -value;
  }
  return {StoreAsDouble(value), scan.error_position};
}

#if ORVALEN_LONG_DOUBLE_IS_X87
template NumberText LegacyConvertNumberTextIn<long double>(std::string_view);
#endif
template NumberText LegacyConvertNumberTextIn<SoftExtended>(std::string_view);

}  // namespace orvalen::reference
