#include "legacy/legacy_number_text.h"

#include <cstdint>

#include "legacy/extended_power_of_ten.h"
#include "tools/checked_arithmetic.h"
#include "tools/number_scan.h"

namespace orvalen {
namespace {

// The digits are gathered in a whole number as long as every step of the
// extended accumulator would be exact (below 2^64, its significand), and in
// the extended value from the first digit on that could round.
struct Accumulator {
  std::uint64_t whole = 0;
  long double real = 0;
  bool is_whole = true;
};

// accumulator * 10 + 9 stays below 2^64 up to here.
constexpr std::uint64_t kLargestExactAccumulator = (UINT64_MAX - 9) / 10;

}  // namespace

NumberText LegacyConvertNumberText(std::string_view text) {
  const auto step = [](Accumulator accumulator, int code) {
    if (accumulator.is_whole) {
      if (accumulator.whole <= kLargestExactAccumulator) {
        accumulator.whole = accumulator.whole * 10 + static_cast<std::uint64_t>(code - '0');
        return accumulator;
      }
      accumulator.real = static_cast<long double>(accumulator.whole);
      accumulator.is_whole = false;
    }
    accumulator.real =
        CheckedAdd(CheckedMul(accumulator.real, 10.0L), static_cast<long double>(code - '0'));
    return accumulator;
  };
  const NumberScan<Accumulator> scan = ScanNumberText<Accumulator>(text, step);
  long double value = scan.accumulator.is_whole ? static_cast<long double>(scan.accumulator.whole)
                                                : scan.accumulator.real;
  if (scan.error_position == 0) {
    const std::int64_t power = scan.exponent - scan.decimals;
    if (power != 0) value = ScaleByPowerOfTenExtended(value, power);
    if (scan.negative) value = -value;
  }
  return {StoreAsDouble(value), scan.error_position};
}

}  // namespace orvalen
