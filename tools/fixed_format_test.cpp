#include "tools/fixed_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "legacy/legacy_fixed_format.h"
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

TEST(FixedPointFormatting, DoesNotDependOnTheLocale) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  ASSERT_NE(nullptr, std::setlocale(LC_ALL, "de_DE.UTF-8"))
      << "the de_DE.UTF-8 locale is missing; scripts/setup generates it";
  const std::string current = FormatFixedPoint(-1234.5);
  const std::string legacy = LegacyFormatFixedPoint(-1234.5);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ("-1234.500", current);
  EXPECT_EQ("-1234.500", legacy);
}

}  // namespace
}  // namespace orvalen
