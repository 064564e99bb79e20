#include "tools/number_text.h"

#include <cstdint>

#include "tools/checked_arithmetic.h"
#include "tools/number_scan.h"
#include "tools/power_of_ten.h"

namespace orvalen {
namespace {

// The digits are gathered in a whole number as long as every step of the
// double accumulator would be exact (up to 2^53), and in the double from the
// first digit on that could round: both give the same value, the whole
// number without three floating-point operations per digit.
struct Accumulator {
  std::uint64_t whole = 0;
  double real = 0;
  bool is_whole = true;
};

// accumulator * 10 + 57 stays at or below 2^53 up to here.
constexpr std::uint64_t kLargestExactAccumulator = ((std::uint64_t{1} << 53) - 57) / 10;

template <typename Char>
NumberText Convert(std::basic_string_view<Char> text) {
  const auto step = [](Accumulator accumulator, int code) {
    if (accumulator.is_whole) {
      if (accumulator.whole <= kLargestExactAccumulator) {
        accumulator.whole = accumulator.whole * 10 + static_cast<std::uint64_t>(code - '0');
        return accumulator;
      }
      accumulator.real = static_cast<double>(accumulator.whole);
      accumulator.is_whole = false;
    }
    // Three rounded double operations per digit, in this order.
    accumulator.real =
        CheckedSub(CheckedAdd(CheckedMul(accumulator.real, 10.0), static_cast<double>(code)), 48.0);
    return accumulator;
  };
  const NumberScan<Accumulator> scan = ScanNumberText<Accumulator>(text, step);
  double value = scan.accumulator.is_whole ? static_cast<double>(scan.accumulator.whole)
                                           : scan.accumulator.real;
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

}  // namespace orvalen
