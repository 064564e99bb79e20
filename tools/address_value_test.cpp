#include "tools/address_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <type_traits>
#include <vector>

#include "legacy/legacy_build.h"
#include "tests/recording_dialogs.h"
#include "tools/current_build.h"
#include "tools/failure.h"

namespace orvalen {
namespace {

// Every test runs in both programs; where they differ, a table gives the
// legacy program's result in a column of its own.
template <class Build>
class AddressValue : public ::testing::Test {
 protected:
  static constexpr bool kLegacy = std::is_same_v<Build, LegacyBuild>;
  using Text = typename Build::Text;

  // A text of the build from single-byte text; each byte becomes the
  // character of the same code.
  static Text T(std::string_view bytes) {
    Text text;
    for (char c : bytes) text.push_back(typename Build::Char(static_cast<unsigned char>(c)));
    return text;
  }
  static const char* Pick(const char* current, const char* legacy) {
    return kLegacy && legacy != nullptr ? legacy : current;
  }
  static std::string Narrow(const Text& text) { return std::string(text.begin(), text.end()); }
};
using Builds = ::testing::Types<CurrentBuild, LegacyBuild>;
TYPED_TEST_SUITE(AddressValue, Builds);

TYPED_TEST(AddressValue, ReadsTheNumberAfterTheFirstOccurrenceOfTheLetter) {
  const struct {
    const char* letter;
    const char* line;
    double value;
    double legacy_value;
  } cases[] = {
      {"X", "G0 X12.5 Y-3", 12.5, 12.5},
      {"Y", "G0 X12.5 Y-3", -3, -3},
      {"G", "G0 X12.5 Y-3", 0, 0},
      {"G", "G01X5", 1, 1},
      {"X", "X+5", 5, 5},
      {"X", "X1e3", 1, 1},  // the exponent letter ends the number text
      {"Y", "G0 X5 Y2 Y7", 2, 2},
      {"X", "G1 Y5", kValueAbsent, kValueAbsent},
      {"X", "x5", kValueAbsent, kValueAbsent},  // the search is case-sensitive
      {"X", "X-9999", -9999, -9999},
      {"X", "(MAX) X5", 0, 0},  // the "X" of "MAX" is the first
      {"X", "X.", 0, 0},
      // Number texts that do not convert give their partial value, silently.
      {"X", "X 12", 0, 0},
      {"X", "X", 0, 0},
      {"X", "X-", 0, 0},
      {"X", "X+-3", 0, 0},
      {"X", "X1.5.2", 1.5, 15},
      {"X", "X-5-", -5, 5},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(this->kLegacy ? c.legacy_value : c.value,
              ReadAddressValue<TypeParam>(this->T(c.letter), this->T(c.line)))
        << c.letter << " in " << c.line;
  }
}

TYPED_TEST(AddressValue, NumberTextEndsTwoHundredFiftyFiveCharactersAfterTheLetter) {
  const auto zeros = std::string(253, '0');
  EXPECT_EQ(12, ReadAddressValue<TypeParam>(this->T("X"), this->T("G0 X" + zeros + "12")));
  EXPECT_EQ(1, ReadAddressValue<TypeParam>(this->T("X"), this->T("G0 X0" + zeros + "12")));
}

TYPED_TEST(AddressValue, FormatsCoordinatesWithAtMostThreeDecimals) {
  const struct {
    double value;
    const char* text;
    const char* legacy_text;  // nullptr where it is the same
  } cases[] = {
      {0, "0", nullptr},
      {-0.0, "0", nullptr},
      {0.0004, "0", nullptr},
      {-0.0004, "0", nullptr},
      {7.5, "7.5", nullptr},
      {10, "10", nullptr},
      {100, "100", nullptr},
      {-12.25, "-12.25", nullptr},
      {0.001, "0.001", nullptr},
      {-2.5, "-2.5", nullptr},
      {-0.0005, "-0.001", nullptr},
      {0.0625, "0.063", nullptr},
      {-0.0625, "-0.063", nullptr},
      {123.4565, "123.457", nullptr},
      {1.0005, "1.001", "1"},
      {9.9995, "10", "9.999"},
      {4494.8665, "4494.866", "4494.867"},
      {99999.9995, "100000", nullptr},
      // Far outside the machine's range the text stays plain digits, which
      // the program can read back: no exponent, and tiny values are zero.
      {1e-36, "0", nullptr},
      {-1e-300, "0", nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(this->T(this->Pick(c.text, c.legacy_text)), FormatCoordinate<TypeParam>(c.value))
        << c.value;
  }
  // The legacy program shows more of the double's digits.
  const std::string e36 =
      this->kLegacy ? "1000000000000000042" + std::string(18, '0') : "1" + std::string(36, '0');
  EXPECT_EQ(this->T(e36), FormatCoordinate<TypeParam>(1e36));
  EXPECT_EQ(this->T("-" + e36), FormatCoordinate<TypeParam>(-1e36));
  const auto huge = FormatCoordinate<TypeParam>(std::ldexp(1.0, 130));
  EXPECT_EQ(40u, huge.size());  // 2^130 has 40 digits
  EXPECT_EQ(huge.npos, huge.find_first_not_of(this->T("0123456789")));
}

// Formatted coordinates up to a length are tidied without being read back;
// on both sides of that length the result, or the failure, is the one that
// reading the text back gives.
TYPED_TEST(AddressValue, CoordinatesAgreeWithReadingTheFormattedTextBack) {
  auto outcome = [this](auto&& make) -> std::string {
    try {
      return this->Narrow(make());
    } catch (const Failure& failure) {
      return failure.KindName();
    }
  };
  for (const double magnitude :
       {0.0, 4e-4, 5e-4, 0.25, 1e15, 1e294, 1e295, 1e296, 1e297, 1e305, 1e306, 1e307}) {
    for (const double value : {magnitude, -magnitude}) {
      const auto formatted = TypeParam::FormatFixedPoint(value, ExponentForm::kNever);
      EXPECT_EQ(outcome([&] { return NormalizeNumberText<TypeParam>(this->T(formatted)); }),
                outcome([&] { return FormatCoordinate<TypeParam>(value); }))
          << value << " is " << formatted.size() << " characters";
    }
  }
}

TYPED_TEST(AddressValue, NormalizesNumberTexts) {
  const struct {
    const char* text;
    const char* normal;
    const char* legacy_normal;  // nullptr where it is the same
  } cases[] = {
      {"  1.500 ", "1.5", nullptr},
      {"100", "100", nullptr},  // without a point the zeros stay
      {"3.", "3", nullptr},
      {"0.0", "0", nullptr},
      {"-0", "0", nullptr},
      {"-0.000", "0", nullptr},
      {".", "0", nullptr},
      {"\t-12.50\r", "-12.5", nullptr},
      {"10.000", "10", nullptr},
      {"1.5.0", "1.5", nullptr},
      // Exponent digits are not decimals.
      {" 1.0E+0030", "1.0E+0030", nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(this->T(this->Pick(c.normal, c.legacy_normal)),
              NormalizeNumberText<TypeParam>(this->T(c.text)))
        << c.text;
  }
}

TYPED_TEST(AddressValue, ShiftsTheNumberAfterTheFirstOccurrenceOfTheLetter) {
  const struct {
    const char* letter;
    const char* line;
    double offset;
    const char* result;
    const char* legacy_result;  // nullptr where it is the same
    bool tells_conversion_error;
  } cases[] = {
      {"X", "G0 X10 Y5", -10, "G0 X0 Y5", nullptr, false},
      {"Y", "G0 X10 Y5", -5, "G0 X10 Y0", nullptr, false},
      {"X", "G1 X20.5 Y5", -10, "G1 X10.5 Y5", nullptr, false},
      {"X", "X10.5Y3", 1, "X11.5Y3", nullptr, false},
      {"X", "G1 X5 F200", -7.25, "G1 X-2.25 F200", nullptr, false},
      {"X", "X1 X2", 1, "X2 X2", nullptr, false},
      {"X", "X10.000", 0, "X10", nullptr, false},
      {"X", "X100.0", 0, "X100", nullptr, false},
      {"X", "X1e3", 1, "X2e3", nullptr, false},
      {"X", "X1.23456", 0, "X1.235", nullptr, false},
      {"X", "X1.0005", 0, "X1.001", "X1", false},
      {"X", "X+5", 0, "X5", nullptr, false},
      {"X", "X.", 2, "X2", nullptr, false},
      {"Y", "G0 X1 Y2 (Y9 \xD6l)", 1, "G0 X1 Y3 (Y9 \xD6l)", nullptr, false},
      {"Y", "G0 X5", 3, "G0 X5", nullptr, false},
      {"X", "x5", 3, "x5", nullptr, false},
      // Sums that round to zero at three decimals, of either sign.
      {"X", "X0.0004", 0, "X0", nullptr, false},
      {"X", "X-0.0004", 0, "X0", nullptr, false},
      {"X", "X5", -5.0004, "X0", nullptr, false},
      {"X", "X-5", 5.0004, "X0", nullptr, false},
      {"X", "X-0", -0.0, "X0", nullptr, false},
      // Number texts that do not convert: told, then shifted all the same.
      {"X", "X 12", 1, "X1 12", nullptr, true},
      {"X", "G0 X", 1, "G0 X1", nullptr, true},
      {"X", "X-", 2, "X2", nullptr, true},
      {"X", "(MAX) X5", 1, "(MAX1) X5", nullptr, true},
      {"X", "X1.5.2", 0, "X1.5", "X15", true},
      {"X", "X-5- Y1", 1, "X-4 Y1", "X6 Y1", true},
      {"X", "X1-2 Y3", 0, "X1 Y3", nullptr, true},
  };
  for (const auto& c : cases) {
    RecordingDialogs<TypeParam> dialogs;
    const auto line = this->T(c.line);
    EXPECT_EQ(this->T(this->Pick(c.result, c.legacy_result)),
              ShiftAddressValue<TypeParam>(this->T(c.letter), line, c.offset, dialogs))
        << c.letter << " in " << c.line << " by " << c.offset;
    std::vector<typename TypeParam::Text> told;
    if (c.tells_conversion_error) told.push_back(this->T("Error during convert Number:") + line);
    EXPECT_EQ(told, dialogs.Texts()) << c.line;
    for (const auto& shown : dialogs.AllShown())
      EXPECT_EQ(RecordingDialogs<TypeParam>::Shown::kMessage, shown.kind);
  }
}

TYPED_TEST(AddressValue, ConversionErrorMessageHoldsTheWholeLine) {
  RecordingDialogs<TypeParam> dialogs;
  const auto line = this->T("X 12");
  EXPECT_EQ(this->T("X1 12"), ShiftAddressValue<TypeParam>(this->T("X"), line, 1, dialogs));
  ASSERT_EQ(1u, dialogs.AllShown().size());
  EXPECT_EQ(this->T("Error during convert Number:X 12"), dialogs.Texts()[0]);

  // Beyond the 255 characters after the letter too.
  const auto long_line = this->T("G0 X Y" + std::string(400, '7'));
  ShiftAddressValue<TypeParam>(this->T("X"), long_line, 0, dialogs);
  ASSERT_EQ(2u, dialogs.Texts().size());
  EXPECT_EQ(this->T("Error during convert Number:") + long_line, dialogs.Texts()[1]);
}

TYPED_TEST(AddressValue, LongLinesKeepEverythingAfterTheNumber) {
  RecordingDialogs<TypeParam> dialogs;
  // 300 characters after the letter: "1", then 299 that are not a number.
  std::string after_number = " Y2 ";
  while (after_number.size() < 299)
    after_number += static_cast<char>('A' + after_number.size() % 26);
  const auto line = this->T("G0 X1" + after_number);
  const auto shifted = ShiftAddressValue<TypeParam>(this->T("X"), line, 1, dialogs);
  EXPECT_EQ(this->T("G0 X2" + after_number), shifted);
  EXPECT_EQ(line.substr(line.size() - 45), shifted.substr(shifted.size() - 45));

  // A number running past the 255 characters ends there; its further digits
  // stay after the rewritten number.
  const auto digits = this->T("G0 X" + std::string(300, '1'));
  const auto rewritten = ShiftAddressValue<TypeParam>(this->T("X"), digits, 0, dialogs);
  EXPECT_EQ(this->T("G0 X" + std::string(15, '1')), rewritten.substr(0, 19));
  EXPECT_EQ(4u + 255u + 45u, rewritten.size());
  EXPECT_EQ(this->T(std::string(45, '1')), rewritten.substr(rewritten.size() - 45));
  EXPECT_TRUE(dialogs.Texts().empty());
}

TYPED_TEST(AddressValue, LetterIsFoundAsAWholeText) {
  RecordingDialogs<TypeParam> dialogs;
  // A longer address stays whole in front of the new number.
  EXPECT_EQ(this->T("N1 XA3 Y1"),
            ShiftAddressValue<TypeParam>(this->T("XA"), this->T("N1 XA2 Y1"), 1, dialogs));
  EXPECT_EQ(2, ReadAddressValue<TypeParam>(this->T("XA"), this->T("N1 XA2 Y1")));
  // An empty letter never occurs.
  EXPECT_EQ(kValueAbsent, ReadAddressValue<TypeParam>(this->T(""), this->T("X1")));
  EXPECT_EQ(this->T("X1"), ShiftAddressValue<TypeParam>(this->T(""), this->T("X1"), 1, dialogs));
  EXPECT_TRUE(dialogs.Texts().empty());
}

// The legacy program forms value + offset with a 64-bit significand and
// stores it as a double. Here the exact sum lies just below the midpoint
// between 0.0625 and the double below it: a double addition rounds down, the
// extended sum rounds to the midpoint and then to even, which is 0.0625.
TEST(AddressValueLegacy, SumIsFormedInExtendedPrecision) {
  const double offset = -(std::ldexp(1.0, -58) + std::ldexp(1.0, -80));
  ASSERT_EQ(std::nextafter(0.0625, 0.0), 0.0625 + offset);
  ASSERT_EQ("0.062", FormatCoordinate<LegacyBuild>(0.0625 + offset));
  RecordingDialogs<LegacyBuild> dialogs;
  EXPECT_EQ("X0.063", ShiftAddressValue<LegacyBuild>("X", "X0.0625", offset, dialogs));
}

TEST(AddressValueCurrent, KeepsCharactersOutsideSingleBytes) {
  RecordingDialogs<CurrentBuild> dialogs;
  EXPECT_EQ(u"G0 X2 (\u00D8 \u20AC \U0001F600)",
            ShiftAddressValue<CurrentBuild>(u"X", u"G0 X1 (\u00D8 \u20AC \U0001F600)", 1, dialogs));
  EXPECT_TRUE(dialogs.Texts().empty());
}

}  // namespace
}  // namespace orvalen
