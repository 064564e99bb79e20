#include "legacy/number_reference/legacy_fixed_format_reference.h"

#include <cmath>
#include <cstdint>

#include "legacy/extended_power_of_ten.h"
#include "tools/fixed_format.h"
#include "tools/number_reference/digit_strings.h"
#include "tools/whole_number.h"

namespace orvalen::reference {
namespace {

constexpr std::uint64_t kTen18 = 1'000'000'000'000'000'000ULL;

#if ORVALEN_LONG_DOUBLE_IS_X87
int BinaryExponent(long double m) {
  return std::ilogb(m);
}
#endif
// What std::ilogb gives for a normal value (those scaled here are).
int BinaryExponent(const SoftExtended& m) {
  return m.BiasedExponent() - SoftExtended::kExponentBias;
}

// "0" and the 18 digits of N, or "1" and the 18 digits of N - 10^18.
template <typename Ext>
std::string NineteenDigits(const Ext& m) {
  // m < 16: the product lies far inside the signed 64-bit range.
  const auto n = static_cast<std::uint64_t>(RoundExtendedToWholeNumber(m * Ext(1e17)));
  // Inserted rather than "1" + ...: GCC 12 warns falsely about overlapping
  // copies in the concatenation.
  std::string digits = EighteenDigits(n < kTen18 ? n : n - kTen18);
  digits.insert(digits.begin(), n < kTen18 ? '0' : '1');
  return digits;
}

std::string ExponentText(bool negative, const std::string& digits, int k) {
  // Significant digits start at the leading "1" when there is one.
  std::string significant = digits[0] == '1' ? digits : digits.substr(1);
  int place = digits[0] == '1' ? k + 1 : k;
  const bool up = significant[2] >= '5';
  significant.resize(2);
  if (up && !IncrementDigits(significant, 1)) {
    significant = "10";
    ++place;
  }
  std::string text;
  text += negative ? '-' : ' ';
  text += significant[0];
  text += '.';
  text += significant[1];
  text += 'E';
  text += place >= 0 ? '+' : '-';
  text += FourDigits(std::abs(place));
  return text;
}

}  // namespace

template <typename Ext>
std::string LegacyFormatFixedPointIn(double value, ExponentForm form) {
  if (!std::isfinite(value)) return NonFiniteText(value);
  const bool negative = std::signbit(value);
  Ext m = Fabs(Ext(value));
  int k = 0;
  if (m >= 10) {
    while (m != 0) {
      const int a = (BinaryExponent(m) * 19728) >> 16;
      if (a == 0) break;
      m = ScaleByPowerOfTenExtended(m, -a);
      k += a;
    }
  }
  std::string digits = NineteenDigits(m);
  if (form == ExponentForm::kAllowed && k > 35) return ExponentText(negative, digits, k);

  // Counting from digits[1]: k + 1 integer digits and three decimals.
  const auto needed = static_cast<std::size_t>(k + 4);
  if (needed < 18) {
    const bool up = digits[needed + 1] >= '5';
    digits.resize(needed + 1);
    if (up) IncrementDigits(digits, needed);  // the leading "0" takes any carry
  } else {
    digits.resize(needed + 1, '0');
  }
  std::string text;
  if (negative) text += '-';
  if (digits[0] != '0') text += digits[0];
  text.append(digits, 1, static_cast<std::size_t>(k + 1));
  text += '.';
  text.append(digits, static_cast<std::size_t>(k + 2), 3);
  return text;
}

#if ORVALEN_LONG_DOUBLE_IS_X87
template std::string LegacyFormatFixedPointIn<long double>(double, ExponentForm);
#endif
template std::string LegacyFormatFixedPointIn<SoftExtended>(double, ExponentForm);

}  // namespace orvalen::reference
