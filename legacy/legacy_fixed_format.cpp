#include "legacy/legacy_fixed_format.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "legacy/extended_power_of_ten.h"
#include "tools/decimal_digits.h"
#include "tools/fixed_format.h"

namespace orvalen {
namespace {

// The exponent that std::ilogb gives for a normal extended value, read from
// its exponent field (the values scaled here are never subnormal).
template <typename Ext>
int ExtendedBinaryExponent(const Ext& m) {
  return BiasedExponentOf(m) - SoftExtended::kExponentBias;
}

// m * 10^17 rounded to a 64-bit significand and then to a whole number, ties
// to even. The product lies below 2^63; adding 2^63 leaves a unit in the last
// place of 1, so the sum rounds to that whole number plus 2^63, and its
// significand is that whole number read as an integer. (Reading it spares
// the x87's conversion instruction, which has to switch the rounding mode.)
template <typename Ext>
std::uint64_t WholeImage(const Ext& m) {
  static constexpr Ext kTenToThe17(std::uint64_t{100'000'000'000'000'000});
  static constexpr Ext kTwoToThe63(std::uint64_t{1} << 63);
  return SignificandOf(m * kTenToThe17 + kTwoToThe63) - (std::uint64_t{1} << 63);
}

}  // namespace

template <typename Ext>
std::size_t LegacyWriteFixedPointIn(double value, ExponentForm form, FixedPointChars out) {
  if (!std::isfinite(value)) {
    const std::string text = NonFiniteText(value);
    std::memcpy(out.data(), text.data(), text.size());
    return text.size();
  }
  const bool negative = std::signbit(value);
  Ext m = Fabs(Ext(value));
  int k = 0;
  if (m >= 10) {
    while (m != 0) {
      const int a = (ExtendedBinaryExponent(m) * 19728) >> 16;
      if (a == 0) break;
      m = ScaleByPowerOfTenExtendedInline(m, -a);
      k += a;
    }
  }
  // The 19 digits of n, "0" or "1" first, with the 18 after the first
  // standing for 10^k and below.
  const std::uint64_t n = WholeImage(m);
  char* const begin = out.data();
  if (form == ExponentForm::kAllowed && k > 35) {
    return static_cast<std::size_t>(WriteExponentForm(negative, n, k, begin) - begin);
  }
  char* end = begin;
  if (negative) *end++ = '-';
  // k + 1 integer digits and three decimals, counted from the second digit
  // of n, rounded once half up when n holds more; zeros after n otherwise.
  const int needed = k + 4;
  end = needed < 18 ? WriteThousandths(RoundedQuotient(n, 18 - needed), end)
                    : WriteScaledDigits(n, needed - 18, end);
  return static_cast<std::size_t>(end - begin);
}

#if ORVALEN_LONG_DOUBLE_IS_X87
template std::size_t LegacyWriteFixedPointIn<long double>(double, ExponentForm, FixedPointChars);
#endif
template std::size_t LegacyWriteFixedPointIn<SoftExtended>(double, ExponentForm, FixedPointChars);

}  // namespace orvalen
