#include "driver/program_text/program_text_codec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace orvalen {
namespace {

// Decodes `bytes` in pieces of `piece` bytes; nullopt when ill-formed.
std::optional<std::u16string> Decode(const std::string& bytes, std::size_t piece,
                                     TextEncoding* encoding = nullptr) {
  ProgramTextDecoder decoder;
  TextBuffer<char16_t> out;
  // The first piece holds the mark.
  std::size_t at = 0;
  std::size_t first = std::max<std::size_t>(piece, 3);
  while (at < bytes.size()) {
    const std::size_t n = std::min(at == 0 ? first : piece, bytes.size() - at);
    if (!decoder.Feed(std::string_view(bytes).substr(at, n), out)) return std::nullopt;
    at += n;
  }
  if (!decoder.Finish(out)) return std::nullopt;
  if (encoding) *encoding = decoder.Encoding();
  return std::u16string(out.data(), out.size());
}

TEST(ProgramTextCodec, StrictUtf8AfterTheMark) {
  const struct {
    std::string bytes;
    bool well_formed;
  } cases[] = {
      {"\xEF\xBB\xBF\xC3\xA4", true},           // ä
      {"\xEF\xBB\xBF\xF0\x9F\x98\x80", true},   // a pair
      {"\xEF\xBB\xBF\xC3\x28", false},          // bad continuation
      {"\xEF\xBB\xBF\xC0\xAF", false},          // overlong
      {"\xEF\xBB\xBF\xE0\x80\xAF", false},      // overlong
      {"\xEF\xBB\xBF\xED\xA0\x80", false},      // encoded surrogate
      {"\xEF\xBB\xBF\xF4\x90\x80\x80", false},  // past U+10FFFF
      {"\xEF\xBB\xBF\xE2\x82", false},          // cut short at the end
      {"\xEF\xBB\xBF\x80", false},              // lone continuation
      {"\xEF\xBB\xBF\xFF", false},
  };
  for (const auto& c : cases) {
    for (std::size_t piece : {1, 2, 3, 1000}) {
      EXPECT_EQ(c.well_formed, Decode(c.bytes, piece).has_value()) << c.bytes << " " << piece;
    }
  }
  EXPECT_EQ(u"\U0001F600\u00E4", *Decode("\xEF\xBB\xBF\xF0\x9F\x98\x80\xC3\xA4", 1));
}

TEST(ProgramTextCodec, PiecesOfAnySizeDecodeAlike) {
  std::mt19937 random(7);
  std::u16string text;
  for (int i = 0; i < 3000; ++i) {
    char32_t cp = random() % 0x110000;
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0x20AC;
    text += cp < 0x10000 ? std::u16string(1, char16_t(cp))
                         : std::u16string{char16_t(0xD800 + ((cp - 0x10000) >> 10)),
                                          char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF))};
  }
  for (TextEncoding encoding :
       {TextEncoding::kUtf8, TextEncoding::kUtf16LittleEndian, TextEncoding::kUtf16BigEndian}) {
    const ProgramTextEncoder encoder(encoding);
    std::string bytes(encoder.ByteOrderMark());
    std::string body(text.size() * 3, '\0');
    body.resize(static_cast<std::size_t>(encoder.Encode(text, body.data()) - body.data()));
    EXPECT_EQ(body.size(), encoder.Measure(text));
    bytes += body;
    for (std::size_t piece : {1, 2, 3, 5, 4096}) {
      TextEncoding found{};
      EXPECT_EQ(text, Decode(bytes, piece, &found)) << piece;
      EXPECT_EQ(encoding, found);
    }
  }
}

TEST(ProgramTextCodec, SystemCodePageKeepsEveryByte) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  bytes[0] = 'G';  // no mark
  const auto text = Decode(bytes, 7);
  ASSERT_TRUE(text);
  EXPECT_EQ(u'\u0081', (*text)[0x81]);
  EXPECT_EQ(u'\u20AC', (*text)[0x80]);
  const ProgramTextEncoder encoder(TextEncoding::kSystemCodePage);
  std::string back(256, '\0');
  encoder.Encode(*text, back.data());
  EXPECT_EQ(bytes, back);
  char lacking = 0;
  encoder.Encode(u"\u4E00", &lacking);
  EXPECT_EQ('?', lacking);
}

TEST(ProgramTextCodec, UnpairedSurrogatesBecomeReplacementsInUtf8) {
  const ProgramTextEncoder encoder(TextEncoding::kUtf8);
  std::string out(12, '\0');
  const std::u16string text = {0xD800, u'A', 0xDC00};
  out.resize(static_cast<std::size_t>(encoder.Encode(text, out.data()) - out.data()));
  EXPECT_EQ(
      "\xEF\xBF\xBD"
      "A\xEF\xBF\xBD",
      out);
  EXPECT_EQ(7u, encoder.Measure(text));
}

}  // namespace
}  // namespace orvalen
