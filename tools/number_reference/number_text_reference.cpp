#include "tools/number_reference/number_text_reference.h"

#include "tools/checked_arithmetic.h"
#include "tools/number_reference/number_scan_reference.h"
#include "tools/power_of_ten.h"

namespace orvalen::reference {
namespace {

template <typename Char>
NumberText Convert(std::basic_string_view<Char> text) {
  // Three rounded double operations per digit, in this order.
  const auto step = [](double accumulator, int code) {
    return CheckedSub(CheckedAdd(CheckedMul(accumulator, 10.0), static_cast<double>(code)), 48.0);
  };
  const NumberScan<double> scan = ScanNumberText<double>(text, step);
  double value = scan.accumulator;
  const std::int64_t power = scan.exponent - scan.decimals;
  if (power != 0) value = ScaleByPowerOfTen(value, power);
  if (scan.negative) value = 0.0 - value;
  return {value, scan.error_position};
}

}  // namespace

NumberText ConvertNumberText(std::u16string_view text) {
  return Convert(text);
}
NumberText ConvertNumberText(std::string_view text) {
  return Convert(text);
}

}  // namespace orvalen::reference
