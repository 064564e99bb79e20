#include "tools/fixed_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "legacy/legacy_fixed_format.h"
#include "legacy/number_reference/legacy_fixed_format_reference.h"
#include "tests/test_support.h"
#include "tools/decimal_digits.h"
#include "tools/number_reference/fixed_format_reference.h"
#include "tools/number_text.h"

namespace orvalen {
namespace {

struct FormatCase {
  double value;
  const char* text;
  const char* legacy_text;  // nullptr where it is the same
};

const FormatCase kFormatTable[] = {
    {0, "0.000", nullptr},
    {12, "12.000", nullptr},
    {2.5, "2.500", nullptr},
    {-12.5, "-12.500", nullptr},
    {0.1 + 0.2, "0.300", nullptr},
    {0.0625, "0.063", nullptr},
    {-0.0625, "-0.063", nullptr},
    {123.4565, "123.457", nullptr},
    {1.0005, "1.001", "1.000"},
    {9.9995, "10.000", "9.999"},
    {598.4625, "598.463", "598.462"},
    {6870.7215, "6870.721", nullptr},
    {4494.8665, "4494.866", "4494.867"},
    {99999.9995, "100000.000", nullptr},
    {0.0006, "0.001", nullptr},
    {0.00016, "0.000", nullptr},
    {-0.0004, "-0.000", nullptr},
    {-0.0005, "-0.001", nullptr},
    {-0.0, "0.000", "-0.000"},
    {1e36, " 1.0E+0036", "1000000000000000042000000000000000000.000"},
    {1e-36, " 1.0E-0036", "0.000"},
    {-1e-36, "-1.0E-0036", "-0.000"},
    {1234567890123456.75, "1234567890123456.640", "1234567890123456.750"},
    {0x1p119, "664613997892457984000000000000000000.000",
     "664613997892457936000000000000000000.000"},
    {-0x1.0000000000001p119, "-6.6E+0035", "-664613997892458084000000000000000000.000"},
    {0x1p120, " 1.3E+0036", " 1.3E+0036"},
    {0x1p-116, "0.000", nullptr},
    {0x1.fffffffffffffp-117, " 1.2E-0035", "0.000"},
    {1e300, " 1.0E+0300", " 1.0E+0300"},
    {5e-324, " 4.9E-0324", "0.000"},
    {10, "10.000", nullptr},
    {15.9995, "16.000", "15.999"},
    {-7.25, "-7.250", nullptr},
    {99999.999, "99999.999", nullptr},
};

TEST(FixedPointFormatting, ReferenceTableInBothPrograms) {
  for (const FormatCase& c : kFormatTable) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(c.text, FormatFixedPoint(c.value));
    EXPECT_EQ(c.legacy_text ? c.legacy_text : c.text, LegacyFormatFixedPoint(c.value)) << "legacy";
  }
}

TEST(FixedPointFormatting, NeverFormWritesHugeAndTinyValuesAsDigits) {
  // 18 significant digits, then zeros.
  EXPECT_EQ("1" + std::string(36, '0') + ".000", FormatFixedPoint(1e36, ExponentForm::kNever));
  EXPECT_EQ("0.000", FormatFixedPoint(1e-36, ExponentForm::kNever));
  EXPECT_EQ("-0.000", FormatFixedPoint(-1e-300, ExponentForm::kNever));
  const std::string huge = FormatFixedPoint(1e300, ExponentForm::kNever);
  EXPECT_EQ(301u + 4u, huge.size());
  EXPECT_EQ("1" + std::string(300, '0') + ".000", huge);
  const std::string legacy_huge = LegacyFormatFixedPoint(-1e300, ExponentForm::kNever);
  EXPECT_EQ(1u + 301u + 4u, legacy_huge.size());
  EXPECT_EQ(".000", legacy_huge.substr(legacy_huge.size() - 4));
}

TEST(FixedPointFormatting, TheLongestTextsFitTheBuffer) {
  char out[kFixedPointCapacity];
  EXPECT_EQ(314u, WriteFixedPoint(-DBL_MAX, ExponentForm::kNever, out));  // "-", 309 digits
  EXPECT_EQ(FormatFixedPoint(-DBL_MAX, ExponentForm::kNever), std::string(out, 314));
  EXPECT_EQ(314u, LegacyWriteFixedPoint(-DBL_MAX, ExponentForm::kNever, out));
  EXPECT_EQ(LegacyFormatFixedPoint(-DBL_MAX, ExponentForm::kNever), std::string(out, 314));
}

TEST(FixedPointFormatting, ValuesThatAreNoNumbersAreNamed) {
  const std::pair<double, const char*> cases[] = {
      {std::numeric_limits<double>::quiet_NaN(), "NAN"},
      {std::numeric_limits<double>::infinity(), "INF"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
  };
  for (const auto& [value, text] : cases) {
    for (const ExponentForm form : {ExponentForm::kAllowed, ExponentForm::kNever}) {
      EXPECT_EQ(text, FormatFixedPoint(value, form));
      EXPECT_EQ(text, LegacyFormatFixedPoint(value, form));
    }
  }
}

// The exact decimal text of n / 1000 with three decimals.
std::string ThousandthsText(long n) {
  const long whole = std::labs(n) / 1000;
  const long fraction = std::labs(n) % 1000;
  std::string text = n < 0 ? "-" : "";
  text += std::to_string(whole);
  text += '.';
  text += static_cast<char>('0' + fraction / 100);
  text += static_cast<char>('0' + fraction / 10 % 10);
  text += static_cast<char>('0' + fraction % 10);
  return text;
}

TEST(FixedPointFormatting, EveryThousandthUpToTwoThousandIsExactInBothPrograms) {
  int failures = 0;
  for (long n = -2'000'000; n <= 2'000'000 && failures < 10; ++n) {
    const double value = static_cast<double>(n) / 1000.0;
    const std::string expected = ThousandthsText(n);
    const std::string current = FormatFixedPoint(value);
    const std::string legacy = LegacyFormatFixedPoint(value);
    if (current != expected || legacy != expected) {
      ADD_FAILURE() << n << ": expected " << expected << ", current " << current << ", legacy "
                    << legacy;
      ++failures;
    }
    const NumberText back = ConvertNumberText(std::string_view(current));
    if (back.error_position != 0 || back.value != value) {
      ADD_FAILURE() << n << ": " << current << " reads back as " << back.value;
      ++failures;
    }
  }
}

TEST(FixedPointFormatting, StaysWithinHalfAThousandthOfTheValue) {
  std::mt19937_64 random(20261209);
  std::uniform_real_distribution<double> magnitude(-6.0, 9.0);
  for (int i = 0; i < 200'000; ++i) {
    const double value = std::pow(10.0, magnitude(random)) * (i % 2 ? -1 : 1);
    for (const std::string& text : {FormatFixedPoint(value), LegacyFormatFixedPoint(value)}) {
      const double written = ConvertNumberText(std::string_view(text)).value;
      ASSERT_LE(std::fabs(written - value), 0.0005 + std::fabs(value) * 1e-15)
          << value << " written as " << text;
    }
  }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr int kSweepValues = 100'000;  // the sanitizer build sweeps a hundredth
#else
constexpr int kSweepValues = 10'000'000;
#endif

// Points where the formatting changes its way, to be approached from both
// sides: every power of two (the steps of the normalisation, 2^-116, 2^119 and
// 2^120 among them) and the doubles nearest 10^k and 5 * 10^k (the image
// reaching 10^18, 10^15 where the rounding stops, the window of the third
// decimal and its ties, the inline scaling up to 10^31).
const std::vector<double>& Boundaries() {
  static const std::vector<double> boundaries = [] {
    std::vector<double> points;
    for (int j = -1074; j <= 1023; ++j) points.push_back(std::ldexp(1.0, j));
    for (int k = -323; k <= 308; ++k) {
      for (const char* digit : {"1e", "5e"}) {
        const double point = std::strtod((digit + std::to_string(k)).c_str(), nullptr);
        if (std::isfinite(point)) points.push_back(point);
      }
    }
    return points;
  }();
  return boundaries;
}

// The values of the sweep, by families that take turns.
double SweepValue(int i, std::mt19937_64& random) {
  const auto uniform = [&](std::uint64_t n) { return random() % n; };
  double value = 0;
  switch (i % 20) {
    case 0:  // any finite double
      do value = std::bit_cast<double>(random());
      while (!std::isfinite(value));
      return value;
    case 1:  // subnormal of any size, or zero
      value = std::bit_cast<double>((random() & 0x000f'ffff'ffff'ffffULL) >> uniform(53));
      break;
    case 2:
    case 3:
    case 4:
    case 5:
    case 6: {  // within 40 units in the last place of a boundary
      const double point = Boundaries()[uniform(Boundaries().size())];
      const auto bits = static_cast<std::int64_t>(std::bit_cast<std::uint64_t>(point));
      const std::int64_t near = bits + static_cast<std::int64_t>(uniform(81)) - 40;
      value = std::bit_cast<double>(static_cast<std::uint64_t>(near < 0 ? 0 : near));
      break;
    }
    case 7:
    case 8:
    case 9:
    case 10:
    case 11: {  // a three-decimal tie of up to 18 digits
      const std::uint64_t n = random() % kPowersOfTen[uniform(19)];
      value = (static_cast<double>(n) + 0.5) / 1000.0;
      for (int step = static_cast<int>(uniform(7)) - 3; step != 0; step += step < 0 ? 1 : -1)
        value = std::nextafter(value, step < 0 ? 0.0 : INFINITY);
      break;
    }
    default:  // any magnitude from 1e-40 to 1e40
      value = std::ldexp(1.0 + static_cast<double>(random() >> 12) * 0x1p-52,
                         static_cast<int>(uniform(266)) - 133);
  }
  return random() & 1 ? -value : value;
}

TEST(FixedPointFormatting, WritesTheDigitsOfTheReferenceInBothPrograms) {
  std::mt19937_64 random(14);
  int failures = 0;
  const auto compare = [&](double value, ExponentForm form, const std::string& written,
                           const std::string& expected, const char* program) {
    if (written == expected || ++failures > 10) return;
    ADD_FAILURE() << program << " " << std::hexfloat << value << std::defaultfloat << " (" << value
                  << ", form " << static_cast<int>(form) << "): " << written << ", reference "
                  << expected;
  };
  for (int i = 0; i < kSweepValues; ++i) {
    const double value = SweepValue(i, random);
    for (const ExponentForm form : {ExponentForm::kAllowed, ExponentForm::kNever}) {
      compare(value, form, FormatFixedPoint(value, form), reference::FormatFixedPoint(value, form),
              "current");
      compare(value, form, LegacyFormatFixedPoint(value, form),
              reference::LegacyFormatFixedPoint(value, form), "legacy");
    }
  }
  EXPECT_EQ(0, failures);
}

TEST(FixedPointFormatting, DoesNotDependOnTheLocale) {
  const testing::DecimalCommaLocale german;
  EXPECT_EQ("-1234.500", FormatFixedPoint(-1234.5));
  EXPECT_EQ("-1234.500", LegacyFormatFixedPoint(-1234.5));
}

}  // namespace
}  // namespace orvalen
