#include "legacy/legacy_number_text.h"

#include <cstdint>

#include "legacy/extended_power_of_ten.h"
#include "tools/checked_arithmetic.h"
#include "tools/number_scan.h"

namespace orvalen {

NumberText LegacyConvertNumberText(std::string_view text) {
  const auto step = [](long double accumulator, int code) {
    return CheckedAdd(CheckedMul(accumulator, 10.0L), static_cast<long double>(code - '0'));
  };
  const NumberScan<char> scan = ScanNumberText(text);
  // Below 10^19 < 2^64 every step of the extended accumulator is exact.
  long double value = scan.whole_is_exact ? static_cast<long double>(scan.whole)
                                          : AccumulateDigits<long double>(scan, step);
  if (scan.error_position == 0) {
    const auto decimals = static_cast<std::int64_t>(scan.decimal_digits.size());
    const std::int64_t power = scan.exponent - decimals;
    if (power != 0) value = ScaleByPowerOfTenExtendedInline(value, power);
    if (scan.negative) value = -value;
  }
  return {StoreAsDouble(value), scan.error_position};
}

}  // namespace orvalen
