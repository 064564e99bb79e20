#include "tools/fixed_format.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "tools/decimal_digits.h"
#include "tools/power_of_ten.h"

namespace orvalen {
namespace {

constexpr std::uint64_t kTen18 = kPowersOfTen[18];

// The exponent that std::ilogb gives for a finite, normal, positive double,
// and -1022 for a subnormal one, read from the bits.
int BinaryExponent(double m) {
  if (m < DBL_MIN) return -1022;
  return static_cast<int>(std::bit_cast<std::uint64_t>(m) >> 52) - 1023;
}

int Log10Estimate(int binary_exponent) {
  // floor(e * 19728 / 65536); the shift of a negative number floors.
  return (binary_exponent * 19728) >> 16;
}

// The decimal image of a magnitude before its rounding to 18 digits: the
// whole number N of m * 10^17 (below 1.6e18, 18 or 19 digits) and the place
// of its 18th digit from the right.
struct RawImage {
  std::uint64_t n;
  int place;
};

RawImage MakeImage(double magnitude) {
  double m = magnitude;
  int k = 0;
  while (m != 0) {
    const int a = Log10Estimate(BinaryExponent(m));
    if (a == 0) break;
    m = ScaleByPowerOfTenInline(m, -a);
    k += a;
  }
  // m < 16, so N < 1.6e18 and is a whole number (m >= 1 puts it above 2^53).
  return {static_cast<std::uint64_t>(m * 1e17), k};
}

char* WriteFixedForm(bool negative, RawImage raw, char* out) {
  if (negative) *out++ = '-';
  // The image of 18 digits: a 19th is rounded off half up, and its first
  // digit stands one place higher.
  std::uint64_t image = raw.n;
  int place = raw.place;
  if (image >= kTen18) {
    image = RoundedQuotient(image, 1);
    ++place;
  }
  const int b = place + 3;  // index of the image digit for 10^-3
  // Beyond index 16 the image holds no digit past the third decimal: its
  // digits are printed with zeros after them, unrounded.
  if (b > 16) return WriteScaledDigits(image, b - 17, out);
  // Below index -1 every printed digit is 0.
  if (b < -1) return WriteThousandths(0, out);
  // Rounding at the third decimal, half up on the image digit after it.
  return WriteThousandths(RoundedQuotient(image, 17 - b), out);
}

}  // namespace

std::size_t WriteFixedPoint(double value, ExponentForm form, FixedPointChars out) {
  if (!std::isfinite(value)) {
    const std::string text = NonFiniteText(value);
    std::memcpy(out.data(), text.data(), text.size());
    return text.size();
  }
  const double magnitude = std::fabs(value);
  const RawImage raw = MakeImage(magnitude);
  const bool exponent_form = magnitude > 0x1p119 || (magnitude != 0 && raw.place < -35);
  char* const end = form == ExponentForm::kAllowed && exponent_form
                        ? WriteExponentForm(value < 0, raw.n, raw.place, out.data())
                        : WriteFixedForm(value < 0, raw, out.data());
  return static_cast<std::size_t>(end - out.data());
}

std::string FormatFixedPoint(double value, ExponentForm form) {
  char text[kFixedPointCapacity];
  return std::string(text, WriteFixedPoint(value, form, text));
}

}  // namespace orvalen
