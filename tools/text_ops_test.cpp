#include "tools/text_ops.h"

#include <gtest/gtest.h>

#include <string>

namespace orvalen {
namespace {

// Runs each case on 16-bit text and on bytes.
template <typename Char>
std::basic_string<Char> T(const char* ascii) {
  return std::basic_string<Char>(ascii, ascii + std::char_traits<char>::length(ascii));
}

template <typename Char>
class TextOps : public ::testing::Test {};
using CharTypes = ::testing::Types<char16_t, char>;
TYPED_TEST_SUITE(TextOps, CharTypes);

TYPED_TEST(TextOps, TrimRemovesControlsAndBlanksAtBothEnds) {
  using View = std::basic_string_view<TypeParam>;
  const struct {
    std::basic_string<TypeParam> text;
    const char* trimmed;
  } cases[] = {
      {T<TypeParam>("\t X1 \r"), "X1"},
      {T<TypeParam>("   "), ""},
      {T<TypeParam>(""), ""},
      {T<TypeParam>("A B"), "A B"},
      {std::basic_string<TypeParam>(1, TypeParam(0)) + T<TypeParam>("A\x1f"), "A"},
  };
  for (const auto& c : cases) EXPECT_EQ(T<TypeParam>(c.trimmed), Trim(View(c.text)));
}

TEST(TextOps, TrimKeepsCharactersAboveBlank) {
  EXPECT_EQ(u"\u00A0X\u00A0", Trim(std::u16string_view(u" \u00A0X\u00A0 ")));
  EXPECT_EQ("\xA0X\x80", Trim(std::string_view("\x01\xA0X\x80\x20")));
}

TYPED_TEST(TextOps, FirstOccurrenceIsExactAndOneBased) {
  using View = std::basic_string_view<TypeParam>;
  const struct {
    const char* pattern;
    const char* text;
    std::int64_t position;
  } cases[] = {
      {"x", "G0 X1", 0}, {"X", "G0 X1", 4}, {"", "G0 X1", 0},
      {"X1 ", "X1", 0},  {"X", "X1 X2", 1}, {"SUBCALL", "N10 SUBCALL A", 5},
      {"AB", "AAB", 2},
  };
  for (const auto& c : cases) {
    const auto pattern = T<TypeParam>(c.pattern);
    const auto text = T<TypeParam>(c.text);
    EXPECT_EQ(c.position, FirstOccurrence(View(pattern), View(text)))
        << c.pattern << " in " << c.text;
  }
  // Long texts are searched in blocks: every place and every text length,
  // among near misses and among characters that are no part of it.
  const auto pattern = T<TypeParam>("SUBCALL");
  for (const char filler : {'S', '.'}) {
    for (std::size_t length = 7; length <= 48; ++length) {
      for (std::size_t at = 0; at + 7 <= length; ++at) {
        std::basic_string<TypeParam> text(length, TypeParam(filler));
        text.replace(at, 7, pattern);
        EXPECT_EQ(static_cast<std::int64_t>(at) + 1, FirstOccurrence(View(pattern), View(text)))
            << filler << length << " " << at;
        text.resize(at + 6);  // cut off inside it
        EXPECT_EQ(0, FirstOccurrence(View(pattern), View(text))) << filler << length << " " << at;
      }
    }
  }
}

TYPED_TEST(TextOps, CopySubstringClampsStartAndCount) {
  using View = std::basic_string_view<TypeParam>;
  const auto text = T<TypeParam>("ABCDEF");
  const struct {
    std::int64_t start, count;
    const char* copy;
  } cases[] = {{3, 2, "CD"}, {0, 2, "AB"}, {-5, 2, "AB"}, {5, 255, "EF"},  {7, 1, ""},
               {1, 0, ""},   {2, -1, ""},  {6, 1, "F"},   {1, 6, "ABCDEF"}};
  for (const auto& c : cases)
    EXPECT_EQ(T<TypeParam>(c.copy), CopySubstring(View(text), c.start, c.count))
        << c.start << "," << c.count;
  EXPECT_EQ(T<TypeParam>(""), CopySubstring(View(T<TypeParam>("12345678")), 9, 5));
  EXPECT_EQ(T<TypeParam>(""), CopySubstring(View(), 1, 5));
}

TEST(TextOps, WideningKeepsEachCharacter) {
  EXPECT_EQ(u" 1.0E+0036", Widen<char16_t>(" 1.0E+0036"));
  EXPECT_EQ("-0.000", Widen<char>("-0.000"));
}

}  // namespace
}  // namespace orvalen
