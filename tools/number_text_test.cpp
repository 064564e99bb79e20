#include "tools/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "legacy/legacy_number_text.h"
#include "legacy/number_reference/legacy_number_text_reference.h"
#include "tests/test_support.h"
#include "tools/failure.h"
#include "tools/number_reference/number_text_reference.h"

namespace orvalen {
namespace {

constexpr double kNegativeZero = -0.0;

struct ConversionCase {
  const char* text;
  double value;
  int error_position;
  double legacy_value;
};

// Same bits, so that 0 and negative zero are told apart.
::testing::AssertionResult SameDouble(double expected, double actual) {
  if (std::signbit(expected) == std::signbit(actual) && expected == actual)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "expected " << expected << (std::signbit(expected) ? " (signed)" : "") << ", got "
         << actual << (std::signbit(actual) ? " (signed)" : "");
}

const ConversionCase kConversionTable[] = {
    {"12.5", 12.5, 0, 12.5},
    {"-0.75", -0.75, 0, -0.75},
    {"00012.500", 12.5, 0, 12.5},
    {" 5", 5, 0, 5},
    {"5.", 5, 0, 5},
    {".5", 0.5, 0, 0.5},
    {".", 0, 0, 0},
    {"-.", 0, 0, kNegativeZero},
    {"-0", 0, 0, kNegativeZero},
    {"", 0, 1, 0},
    {"-", 0, 2, 0},
    {"5 ", 5, 2, 5},
    {"1-2", 1, 2, 1},
    {"--5", 0, 2, 0},
    {"+-3", 0, 2, 0},
    {"..5", 0, 2, 0},
    {"-5-", -5, 3, 5},
    {"1.2.3", 1.2, 4, 12},
    {"1.5-", 1.5, 4, 15},
    {"1.0E+0036", 1e36, 0, 1e36},
    {"1e5x", 100000, 4, 1},
    // Edge cases beyond the reference table.
    {"\t5", 0, 1, 0},  // a tab is not skipped
    {"   ", 0, 4, 0},  // blanks only: stops at the end
    {"+7", 7, 0, 7},
    {"1e", 1, 3, 1},  // exponent letter without digits
    {"1e-3", 0.001, 0, 0.001},
    {"2.5E2", 250, 0, 250},
    {"5.e1", 50, 0, 50},
    {"-.5", -0.5, 0, -0.5},
    {"+.", 0, 0, 0},
    {"1,5", 1, 2, 1},   // no decimal comma
    {"0x10", 0, 2, 0},  // no hexadecimal prefix
    {"-0.0", 0, 0, kNegativeZero},
    {"123.456", 123.456, 0, 123.456},
    {"-99999", -99999, 0, -99999},
    // More than 15 digits: the accumulator rounds at every step.
    {"9007199254740993", 0x1p53, 0, 0x1p53},
    {"99999999999999999", 0x1.6345785d8a001p+56, 0, 1e17},
    {"12345678901234567890", 0x1.56a95319d63e1p+63, 0, 12345678901234567890.0},
};

TEST(NumberTextConversion, ReferenceTableInBothPrograms) {
  for (const ConversionCase& c : kConversionTable) {
    SCOPED_TRACE(std::string("text \"") + c.text + "\"");
    const std::u16string wide(c.text, c.text + std::char_traits<char>::length(c.text));
    const NumberText current = ConvertNumberText(std::u16string_view(wide));
    EXPECT_TRUE(SameDouble(c.value, current.value));
    EXPECT_EQ(c.error_position, current.error_position);
    const NumberText legacy = LegacyConvertNumberText(c.text);
    EXPECT_TRUE(SameDouble(c.legacy_value, legacy.value)) << "legacy";
    EXPECT_EQ(c.error_position, legacy.error_position) << "legacy";
  }
}

TEST(NumberTextConversion, ByteAndWideFormsAgree) {
  for (const ConversionCase& c : kConversionTable) {
    const std::u16string wide(c.text, c.text + std::char_traits<char>::length(c.text));
    const NumberText a = ConvertNumberText(std::string_view(c.text));
    const NumberText b = ConvertNumberText(std::u16string_view(wide));
    EXPECT_TRUE(SameDouble(a.value, b.value)) << c.text;
    EXPECT_EQ(a.error_position, b.error_position) << c.text;
  }
}

TEST(NumberTextConversion, NonAsciiCodeUnitStopsReading) {
  // U+0661 (Arabic-Indic one) and a full-width digit are no digits here.
  const NumberText a = ConvertNumberText(std::u16string_view(u"1\u0661"));
  EXPECT_EQ(1, a.value);
  EXPECT_EQ(2, a.error_position);
  const NumberText b = ConvertNumberText(std::u16string_view(u"\uFF15"));
  EXPECT_EQ(1, b.error_position);
}

TEST(NumberTextConversion, ShortDecimalsGiveTheNearestDouble) {
  // At most 15 digits and 22 decimals: one exact whole number divided by one
  // exact power of ten.
  const struct {
    const char* text;
    double nearest;
  } cases[] = {{"0.1", 0.1},
               {"0.3", 0.3},
               {"123456789012345", 123456789012345.0},
               {"0.000000000000000000001", 1e-21},
               {"1.23456789012345", 1.23456789012345},
               {"-598.4625", -598.4625}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.nearest, ConvertNumberText(std::string_view(c.text)).value) << c.text;
  }
}

TEST(NumberTextConversion, HugeExponentsOverflowOrVanish) {
  EXPECT_THROW(ConvertNumberText(std::string_view("1e400")), EOverflow);
  EXPECT_THROW(ConvertNumberText(std::string_view("1e99999999999999")), EOverflow);
  EXPECT_EQ(0, ConvertNumberText(std::string_view("1e-400")).value);
  EXPECT_EQ(0, ConvertNumberText(std::string_view("5e-99999999999999")).value);
  EXPECT_EQ(0, ConvertNumberText(std::string_view("0e99999")).value);
  EXPECT_THROW(LegacyConvertNumberText("1e400"), EOverflow);  // beyond the stored double
  EXPECT_EQ(0, LegacyConvertNumberText("1e-99999").value);
  // An exponent past the tables on a huge accumulator still scales correctly.
  const std::string huge = "1" + std::string(4900, '0') + "e-5120";
  EXPECT_NEAR(1e-220, LegacyConvertNumberText(huge).value, 1e-233);
}

TEST(NumberTextConversion, AccumulatorOverflowIsAFailure) {
  const std::string digits(400, '9');
  EXPECT_THROW(ConvertNumberText(std::string_view(digits)), EOverflow);
  // The legacy accumulator holds it, but the stored double cannot.
  EXPECT_THROW(LegacyConvertNumberText(digits), EOverflow);
  // Leading zeros never grow the accumulator.
  const std::string zeros = std::string(5000, '0') + "7";
  EXPECT_EQ(7, ConvertNumberText(std::string_view(zeros)).value);
}

TEST(NumberTextConversion, ErrorPositionCountsFromOne) {
  EXPECT_EQ(0, ConvertNumberText(std::string_view("12345")).error_position);
  EXPECT_EQ(3, ConvertNumberText(std::string_view("12a45")).error_position);
  EXPECT_EQ(5, LegacyConvertNumberText("1.5e").error_position);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr int kSweepTexts = 100'000;  // the sanitizer build sweeps a hundredth
#else
constexpr int kSweepTexts = 10'000'000;
#endif

// A random text of the number grammar: blanks, a sign, up to 24 digits before
// and 34 after the point (often with leading zeros), an exponent; now and then
// a stray character, so that the conversion stops part way.
std::string RandomNumberText(std::mt19937_64& random) {
  const auto uniform = [&](std::uint64_t n) { return static_cast<int>(random() % n); };
  const auto digits = [&](int count) {
    std::string text(static_cast<std::size_t>(uniform(4) == 0 ? uniform(4) : 0), '0');
    for (int i = 0; i < count; ++i) text += static_cast<char>('0' + uniform(10));
    return text;
  };
  std::string text(static_cast<std::size_t>(uniform(8) == 0), ' ');
  if (uniform(3) == 0) text += uniform(2) ? '-' : '+';
  text += digits(uniform(3) == 0 ? uniform(25) : uniform(8));
  if (uniform(4) != 0) text += '.' + digits(uniform(3) == 0 ? uniform(35) : uniform(6));
  if (uniform(6) == 0) {
    text += uniform(2) ? 'e' : 'E';
    if (uniform(2)) text += uniform(2) ? '-' : '+';
    text += std::to_string(uniform(5) == 0 ? uniform(330) : uniform(40));
  }
  if (uniform(20) == 0)
    text.insert(static_cast<std::size_t>(uniform(text.size() + 1)), 1, "-. eX"[uniform(5)]);
  return text;
}

// Texts on both sides of each hand-over: the digits of 2^53 - 48 (the largest
// whole number the double accumulator forms exactly) and of 10^19 (the first
// that takes 20 digits), give or take 60, with the point at every place and
// leading zeros; and the powers of ten from 31 to 32 in magnitude.
std::vector<std::string> HandOverTexts() {
  std::vector<std::string> texts;
  for (const std::uint64_t middle : {(std::uint64_t{1} << 53) - 48, 10'000'000'000'000'000'000u}) {
    for (std::uint64_t whole = middle - 60; whole <= middle + 60; ++whole) {
      const std::string digits = std::to_string(whole);
      for (std::size_t point = 0; point <= digits.size(); ++point) {
        for (const char* zeros : {"", "0", "000"}) {
          texts.push_back(zeros + digits.substr(0, point) + "." + digits.substr(point));
        }
      }
    }
  }
  for (const char* power : {"e31", "e32", "e-31", "e-32", "e+31", "e+32", "e0"}) {
    for (const std::string mantissa : {"1", "7.25", "-123456789.0123456789", "9007199254740993"}) {
      texts.push_back(mantissa + power);
    }
  }
  texts.push_back("1." + std::string(30, '0') + "1");  // 31 decimals
  texts.push_back("1." + std::string(31, '0') + "1");  // 32 decimals
  texts.push_back("-0." + std::string(30, '9') + "5e-1");
  return texts;
}

// A conversion's value (its bits, so that the sign of zero counts) and error
// position, or the failure it raised.
struct Outcome {
  std::uint64_t bits = 0;
  std::int32_t error_position = 0;
  const char* failure = "";
  bool operator==(const Outcome& other) const {
    return bits == other.bits && error_position == other.error_position &&
           std::string_view(failure) == other.failure;
  }
  friend std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
    return out << std::hexfloat << std::bit_cast<double>(outcome.bits) << " at "
               << outcome.error_position << " " << outcome.failure;
  }
};

Outcome OutcomeOf(const auto& convert) {
  try {
    const NumberText number = convert();
    return {std::bit_cast<std::uint64_t>(number.value), number.error_position};
  } catch (const Failure& failure) {
    return {0, 0, failure.KindName()};
  }
}

TEST(NumberTextConversion, GivesTheValueOfTheReferenceInBothPrograms) {
  std::mt19937_64 random(14);
  std::vector<std::string> texts = HandOverTexts();
  const std::size_t hand_overs = texts.size();
  int failures = 0;
  for (int i = 0; i < kSweepTexts + static_cast<int>(hand_overs); ++i) {
    const std::string text =
        static_cast<std::size_t>(i) < hand_overs ? texts[i] : RandomNumberText(random);
    const std::u16string wide(text.begin(), text.end());
    const std::pair<Outcome, Outcome> outcomes[] = {
        {OutcomeOf([&] { return ConvertNumberText(std::u16string_view(wide)); }),
         OutcomeOf([&] { return reference::ConvertNumberText(std::u16string_view(wide)); })},
        {OutcomeOf([&] { return ConvertNumberText(std::string_view(text)); }),
         OutcomeOf([&] { return reference::ConvertNumberText(std::string_view(text)); })},
        {OutcomeOf([&] { return LegacyConvertNumberText(text); }),
         OutcomeOf([&] { return reference::LegacyConvertNumberText(text); })},
    };
    for (const auto& [converted, expected] : outcomes) {
      if (converted != expected && ++failures <= 10)
        ADD_FAILURE() << "\"" << text << "\": " << converted << ", reference " << expected;
    }
  }
  EXPECT_EQ(0, failures);
}

TEST(NumberTextConversion, DoesNotDependOnTheLocale) {
  const testing::DecimalCommaLocale german;
  const NumberText current = ConvertNumberText(std::string_view("12.5"));
  const NumberText comma = ConvertNumberText(std::string_view("12,5"));
  const NumberText legacy = LegacyConvertNumberText("12.5");
  EXPECT_EQ(12.5, current.value);
  EXPECT_EQ(0, current.error_position);
  EXPECT_EQ(3, comma.error_position);
  EXPECT_EQ(12.5, legacy.value);
}

}  // namespace
}  // namespace orvalen
