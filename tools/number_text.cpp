#include "tools/number_text.h"

#include <cstdint>

#include "tools/checked_arithmetic.h"
#include "tools/number_scan.h"
#include "tools/power_of_ten.h"

namespace orvalen {
namespace {

// Every step of the double accumulator is exact while its sum
// accumulator * 10 + code stays at or below 2^53; the largest such sum is
// the last one, whole + 48.
constexpr std::uint64_t kLargestExactWhole = (std::uint64_t{1} << 53) - 48;

template <typename Char>
NumberText Convert(std::basic_string_view<Char> text) {
  // Three rounded double operations per digit, in this order.
  const auto step = [](double accumulator, int code) {
    return CheckedSub(CheckedAdd(CheckedMul(accumulator, 10.0), static_cast<double>(code)), 48.0);
  };
  const NumberScan<Char> scan = ScanNumberText(text);
  // The exact whole number where the accumulator would give it too.
  double value = scan.whole_is_exact && scan.whole <= kLargestExactWhole
                     ? static_cast<double>(scan.whole)
                     : AccumulateDigits<double>(scan, step);
  const auto decimals = static_cast<std::int64_t>(scan.decimal_digits.size());
  const std::int64_t power = scan.exponent - decimals;
  if (power != 0) value = ScaleByPowerOfTenInline(value, power);
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

}  // namespace orvalen
