// Large texts are decoded and indexed in blocks; these cases put the edges of
// those blocks everywhere and compare with the plain definitions, one
// character at a time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "driver/program_text/line_splitting.h"
#include "driver/program_text/program_text_codec.h"
#include "legacy/legacy_program_text_rules.h"
#include "tests/test_support.h"
#include "tools/codepage1252.h"
#include "tools/failure.h"
#include "tools/utf8.h"

namespace orvalen {
namespace {

// The splitting rule as it reads: from a line start to the next CR or LF,
// then past one CR and one LF.
template <class Char>
std::vector<std::uint64_t> StartsOneByOne(const std::basic_string<Char>& text) {
  std::vector<std::uint64_t> starts;
  std::size_t i = 0;
  while (i < text.size()) {
    starts.push_back(i);
    while (i < text.size() && text[i] != Char('\r') && text[i] != Char('\n')) ++i;
    if (i < text.size() && text[i] == Char('\r')) ++i;
    if (i < text.size() && text[i] == Char('\n')) ++i;
  }
  return starts;
}

// The starts of a text indexed as it grows, piece by piece, the way a load does.
template <class Char>
std::vector<std::uint64_t> StartsInPieces(const std::basic_string<Char>& text,
                                          std::mt19937& random) {
  std::vector<std::uint64_t> starts;
  std::size_t size = 0;
  std::size_t indexed = 0;
  while (size < text.size()) {
    size = std::min(text.size(), size + 1 + random() % 40);
    if (starts.empty()) starts.push_back(0);
    if (size > indexed + 1) {
      ForEachStartAfterBreak(text.data(), indexed, size - 1,
                             [&](std::size_t start) { starts.push_back(start); });
      indexed = size - 1;
    }
  }
  return starts;
}

template <class Char>
void CheckLineStarts(const std::vector<Char>& alphabet) {
  std::mt19937 random(11);
  for (int round = 0; round < 2000; ++round) {
    // Few or many breaks, in texts from empty to several blocks long.
    const unsigned breaks_in_100 = std::vector<unsigned>{0, 3, 30, 90}[round % 4];
    std::basic_string<Char> text(random() % 100, Char('G'));
    for (auto& c : text) {
      if (random() % 100 < breaks_in_100)
        c = random() % 2 ? Char('\r') : Char('\n');
      else if (random() % 8 == 0)
        c = alphabet[random() % alphabet.size()];
    }
    SCOPED_TRACE(::testing::PrintToString(text));
    // The whole text as one piece: the last character starts no line.
    std::vector<std::uint64_t> starts;
    if (!text.empty()) starts.push_back(0);
    ForEachStartAfterBreak(text.data(), 0, text.empty() ? 0 : text.size() - 1,
                           [&](std::size_t start) { starts.push_back(start); });
    ASSERT_EQ(StartsOneByOne(text), starts);
    ASSERT_EQ(starts, StartsInPieces(text, random));
  }
}

TEST(LineStartsInBlocks, AgreeWithTheRuleWhereverBlocksAndPiecesEnd) {
  CheckLineStarts<char>({'\0', 'A', '\x8D', '\x0C', '\x1A'});
  // Units whose bytes are a CR or an LF are no breaks.
  CheckLineStarts<char16_t>({u'\0', u'A', 0x0D0A, 0x0A0D, 0x0D00, 0x000D + 0x100, 0xFFFF});
}

// ---- Codec.

// Decodes `bytes` in pieces of random size, now and then all the rest at
// once; nullopt when ill-formed.
std::optional<std::u16string> DecodeInPieces(const std::string& bytes, std::mt19937& random) {
  ProgramTextDecoder decoder;
  TextBuffer<char16_t> out;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t rest = bytes.size() - at;
    const std::size_t n = random() % 3 == 0 ? rest : std::min<std::size_t>(rest, 3 + random() % 70);
    if (!decoder.Feed(std::string_view(bytes).substr(at, n), out)) return std::nullopt;
    at += n;
  }
  if (!decoder.Finish(out)) return std::nullopt;
  return std::u16string(out.data(), out.size());
}

std::string Encode(TextEncoding encoding, std::u16string_view text) {
  const ProgramTextEncoder encoder(encoding);
  std::string bytes(text.size() * ProgramTextEncoder::kMaxBytesPerUnit, '\0');
  bytes.resize(static_cast<std::size_t>(encoder.Encode(text, bytes.data()) - bytes.data()));
  return bytes;
}

// The bytes of a text one unit at a time, with the tools' own conversions.
std::string EncodeOneByOne(TextEncoding encoding, std::u16string_view text) {
  switch (encoding) {
    case TextEncoding::kSystemCodePage:
      return EncodeCp1252(text);
    case TextEncoding::kUtf8:
      return ToUtf8(text);
    case TextEncoding::kUtf16LittleEndian:
    case TextEncoding::kUtf16BigEndian:
      break;
  }
  const bool little = encoding == TextEncoding::kUtf16LittleEndian;
  std::string bytes;
  for (char16_t u : text) {
    bytes += static_cast<char>(little ? u & 0xFF : u >> 8);
    bytes += static_cast<char>(little ? u >> 8 : u & 0xFF);
  }
  return bytes;
}

using Pieces = std::vector<std::u16string>;

// Mostly ASCII, as part programs are, with pieces from `others` here and there.
std::u16string MostlyAscii(std::mt19937& random, const Pieces& others, unsigned length) {
  std::u16string text;
  const unsigned others_in_100 = std::vector<unsigned>{0, 1, 10, 60}[random() % 4];
  while (text.size() < length) {
    if (random() % 100 < others_in_100) {
      text += others[random() % others.size()];
    } else {
      text += static_cast<char16_t>(0x20 + random() % 0x5F);
    }
  }
  return text;
}

TEST(ProgramTextInBlocks, SystemCodePageAgreesWithTheCodePageByteForByte) {
  std::mt19937 random(5);
  // Units of the same value as bytes 80..9F that the code page has elsewhere, and units it lacks.
  Pieces others = {u"\u0080", u"\u0082", u"\u009F", u"\u0100", u"\u4E00", u"\uFFFF"};
  for (unsigned b = 0x80; b < 0x100; ++b)
    others.emplace_back(1, DecodeCp1252(static_cast<unsigned char>(b)));
  for (int round = 0; round < 1500; ++round) {
    const std::u16string text = MostlyAscii(random, others, random() % 150);
    const std::string bytes = EncodeOneByOne(TextEncoding::kSystemCodePage, text);
    ASSERT_EQ(bytes, Encode(TextEncoding::kSystemCodePage, text)) << ::testing::PrintToString(text);
    // A leading G keeps the bytes from looking like a mark.
    ASSERT_EQ(DecodeCp1252("G" + bytes), DecodeInPieces("G" + bytes, random));
  }
}

TEST(ProgramTextInBlocks, Utf8AgreesWithAPlainConversion) {
  std::mt19937 random(6);
  Pieces others = {u"\u00E4", u"\u00DF", u"\u20AC", u"\u4E00", u"\uFFFD", u"\U0001F600"};
  const Pieces unpaired = {{0xD800}, {0xDBFF}, {0xDC00}, {0xDFFF}, {0xDC00, 0xD800}};
  for (int round = 0; round < 1500; ++round) {
    const std::u16string text = MostlyAscii(random, others, random() % 150);
    Pieces all = others;
    all.insert(all.end(), unpaired.begin(), unpaired.end());
    const std::u16string lone = MostlyAscii(random, all, random() % 150);
    for (const auto& t : {text, lone}) {
      const std::string bytes = ToUtf8(t);
      ASSERT_EQ(bytes, Encode(TextEncoding::kUtf8, t)) << ::testing::PrintToString(t);
      ASSERT_EQ(bytes.size(), ProgramTextEncoder(TextEncoding::kUtf8).Measure(t));
    }
    const std::string whole = ToUtf8(text);
    ASSERT_EQ(FromUtf8(whole), DecodeInPieces("\xEF\xBB\xBF" + whole, random));
  }
}

TEST(ProgramTextInBlocks, Utf8FailsOnABadByteAnywhereInALongAsciiRun) {
  std::mt19937 random(8);
  for (std::size_t at = 0; at < 100; ++at) {
    std::string good = "\xEF\xBB\xBF" + std::string(100, 'G');
    std::string bad = good;
    good.replace(3 + at, 1, "\xC3\xA4");
    bad[3 + at] = static_cast<char>(0x80 + at % 0x80);
    std::u16string expected(100, u'G');
    expected[at] = u'\u00E4';
    for (int twice = 0; twice < 2; ++twice) {
      EXPECT_EQ(expected, DecodeInPieces(good, random)) << at;
      EXPECT_EQ(std::nullopt, DecodeInPieces(bad, random)) << at;
    }
  }
}

TEST(ProgramTextInBlocks, Utf16AgreesWithAPlainConversion) {
  std::mt19937 random(9);
  for (int round = 0; round < 500; ++round) {
    std::u16string units(random() % 150, u'\0');
    for (auto& u : units) u = static_cast<char16_t>(random());
    for (const TextEncoding encoding :
         {TextEncoding::kUtf16LittleEndian, TextEncoding::kUtf16BigEndian}) {
      const std::string bytes = EncodeOneByOne(encoding, units);
      ASSERT_EQ(bytes, Encode(encoding, units));
      const std::string mark =
          encoding == TextEncoding::kUtf16LittleEndian ? "\xFF\xFE" : "\xFE\xFF";
      ASSERT_EQ(units, DecodeInPieces(mark + bytes, random));
    }
  }
}

}  // namespace
}  // namespace orvalen
