#include "legacy/number_reference/legacy_number_text_reference.h"

#include "legacy/extended_power_of_ten.h"
#include "tools/checked_arithmetic.h"
#include "tools/number_reference/number_scan_reference.h"

namespace orvalen::reference {

NumberText LegacyConvertNumberText(std::string_view text) {
  const auto step = [](long double accumulator, int code) {
    return CheckedAdd(CheckedMul(accumulator, 10.0L), static_cast<long double>(code - '0'));
  };
  const NumberScan<long double> scan = ScanNumberText<long double>(text, step);
  long double value = scan.accumulator;
  if (scan.error_position == 0) {
    const std::int64_t power = scan.exponent - scan.decimals;
    if (power != 0) value = ScaleByPowerOfTenExtended(value, power);
    if (scan.negative) value = -value;
  }
  return {StoreAsDouble(value), scan.error_position};
}

}  // namespace orvalen::reference
