#include "tools/case_compare.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/codepage1252.h"

namespace orvalen {
namespace {

TEST(SameTextIgnoringCase, FoldsCaseAndNothingElse) {
  using namespace std::string_view_literals;
  const struct {
    std::u16string_view a, b;
    bool same;
  } cases[] = {
      {u"Contour1", u"CONTOUR1", true},
      {u"contour1", u"contour2", false},
      {u"A", u"A ", false},
      {u"", u"", true},
      {u"\u00C4rger", u"\u00E4RGER", true},  // Ä / ä
      {u"Stra\u00DFe", u"STRASSE", true},    // full case folding
      {u"\u0130", u"i", false},              // dotted capital I folds to i + dot
      {u"A\0B"sv, u"a\0b"sv, true},          // a NUL takes part
      {u"A"sv, u"A\0"sv, false},
      {u"[", u"{", false},             // no folding outside letters
      {u"\u00E9", u"e\u0301", false},  // no normalisation
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.same, SameTextIgnoringCase(c.a, c.b));
    EXPECT_EQ(c.same, SameTextIgnoringCase(c.b, c.a));
  }
}

TEST(SameTextIgnoringCase, SingleByteTextIsReadAsWindows1252) {
  using namespace std::string_view_literals;
  EXPECT_TRUE(SameTextIgnoringCase("\xC4rger"sv, "\xE4RGER"sv));  // Ä / ä
  EXPECT_TRUE(SameTextIgnoringCase("\x8A"sv, "\x9A"sv));          // Š / š
  EXPECT_TRUE(SameTextIgnoringCase("\x9F"sv, "\xFF"sv));          // Ÿ / ÿ
  EXPECT_FALSE(SameTextIgnoringCase("\x81"sv, "\x8D"sv));         // unassigned bytes
  EXPECT_TRUE(SameTextIgnoringCase("abc"sv, "ABC"sv));
  EXPECT_FALSE(SameTextIgnoringCase("a\0"sv, "a"sv));
}

TEST(Codepage1252, EveryByteRoundTrips) {
  std::string all(256, '\0');
  for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<char>(i);
  const std::u16string decoded = DecodeCp1252(all);
  EXPECT_EQ(u'\u20AC', decoded[0x80]);
  EXPECT_EQ(u'\u0081', decoded[0x81]);
  EXPECT_EQ(u'\u009D', decoded[0x9D]);
  EXPECT_EQ(u'\u0178', decoded[0x9F]);
  EXPECT_EQ(u'\u00FF', decoded[0xFF]);
  EXPECT_EQ(all, EncodeCp1252(decoded));
  // A character outside the code page is one "?" per code unit.
  EXPECT_EQ("?a??", EncodeCp1252(u"\u4E2Da\U0001F600"));
}

}  // namespace
}  // namespace orvalen
