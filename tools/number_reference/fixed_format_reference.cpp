#include "tools/number_reference/fixed_format_reference.h"

#include <cfloat>
#include <cmath>
#include <cstdint>

#include "tools/number_reference/digit_strings.h"
#include "tools/power_of_ten.h"

namespace orvalen::reference {
namespace {

constexpr int kImageDigits = 18;

// The decimal image of a magnitude: its significant digits, the first one
// standing for 10^place.
struct DecimalImage {
  std::string digits;
  int place = 0;
  int normalised_place = 0;  // the place after scaling, before the 17 digits
};

int Log10Estimate(int binary_exponent) {
  // floor(e * 19728 / 65536); the shift of a negative number floors.
  return (binary_exponent * 19728) >> 16;
}

DecimalImage MakeImage(double magnitude) {
  DecimalImage image;
  double m = magnitude;
  int k = 0;
  while (m != 0) {
    const int e = m < DBL_MIN ? -1022 : std::ilogb(m);
    const int a = Log10Estimate(e);
    if (a == 0) break;
    m = ScaleByPowerOfTen(m, -a);
    k += a;
  }
  image.normalised_place = k;
  // m < 16, so N < 1.6e18 and is a whole number (m >= 1 puts it above 2^53).
  const auto n = static_cast<std::uint64_t>(m * 1e17);
  constexpr std::uint64_t kTen18 = 1'000'000'000'000'000'000ULL;
  if (n < kTen18) {
    image.digits = EighteenDigits(n);
  } else {
    // Inserted rather than "1" + ...: GCC 12 warns falsely about overlapping
    // copies in the concatenation.
    image.digits = EighteenDigits(n - kTen18);
    image.digits.insert(image.digits.begin(), '1');
    ++k;
  }
  image.place = k;
  return image;
}

// Rounds the image half up to `count` digits.
void RoundImage(DecimalImage& image, std::size_t count) {
  if (image.digits.size() <= count) return;
  const bool up = image.digits[count] >= '5';
  image.digits.resize(count);
  if (up && !IncrementDigits(image.digits, count - 1)) {
    image.digits.insert(image.digits.begin(), '1');
    image.digits.pop_back();
    ++image.place;
  }
}

std::string ExponentText(double value, DecimalImage image) {
  RoundImage(image, 2);
  std::string text;
  text += value < 0 ? '-' : ' ';
  text += image.digits[0];
  text += '.';
  text += image.digits[1];
  text += 'E';
  text += image.place >= 0 ? '+' : '-';
  text += FourDigits(std::abs(image.place));
  return text;
}

std::string FixedText(double value, DecimalImage image) {
  RoundImage(image, kImageDigits);
  std::string& digits = image.digits;
  int p = image.place;
  const int b = p + 3;  // index of the digit for 10^-3
  if (b >= -1 && b <= 16 && digits[static_cast<std::size_t>(b + 1)] >= '5') {
    if (b == -1 || !IncrementDigits(digits, static_cast<std::size_t>(b))) {
      digits.insert(digits.begin(), '1');
      digits.pop_back();
      ++p;
    }
  }
  const auto digit_for = [&](int place) {
    const int index = p - place;
    return index >= 0 && index < kImageDigits ? digits[static_cast<std::size_t>(index)] : '0';
  };
  std::string text;
  if (value < 0) text += '-';
  if (p < 0) {
    text += '0';
  } else {
    for (int place = p; place >= 0; --place) text += digit_for(place);
  }
  text += '.';
  for (int place = -1; place >= -3; --place) text += digit_for(place);
  return text;  // always at least the five characters "0.000"
}

}  // namespace

std::string FormatFixedPoint(double value, ExponentForm form) {
  if (!std::isfinite(value)) return NonFiniteText(value);
  const double magnitude = std::fabs(value);
  const DecimalImage image = MakeImage(magnitude);
  const bool exponent_form =
      magnitude > 0x1p119 || (magnitude != 0 && image.normalised_place < -35);
  if (form == ExponentForm::kAllowed && exponent_form) return ExponentText(value, image);
  return FixedText(value, image);
}

}  // namespace orvalen::reference
