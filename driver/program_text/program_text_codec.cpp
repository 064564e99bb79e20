#include "driver/program_text/program_text_codec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

#include "tools/codepage1252.h"

namespace orvalen {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// UTF-16 little-endian bytes are this machine's code units as they lie in memory.
constexpr bool kLittleEndianMachine = std::endian::native == std::endian::little;

const std::array<char16_t, 256>& DecodeTable() {
  static const auto table = [] {
    std::array<char16_t, 256> t{};
    for (unsigned b = 0; b < 256; ++b) t[b] = DecodeCp1252(static_cast<unsigned char>(b));
    return t;
  }();
  return table;
}

const std::array<unsigned char, 65536>& EncodeTable() {
  static const auto table = [] {
    auto t = std::make_unique<std::array<unsigned char, 65536>>();
    for (unsigned u = 0; u < 65536; ++u) (*t)[u] = EncodeCp1252(static_cast<char16_t>(u));
    return t;
  }();
  return *table;
}

// Nearly all of a part program is ASCII, so text is converted a block at a
// time where the block needs nothing but widening or narrowing: loops over a
// fixed number of units, on pointers that do not overlap, that the compiler
// turns into vector code. A block that needs more is done again unit by unit.
constexpr std::size_t kBlock = 32;

// Widens a block of bytes to the code units of the same value; true when all
// of them were ASCII.
bool WidenAsciiBlock(const unsigned char* __restrict bytes, char16_t* __restrict out) {
  unsigned char all = 0;
  for (std::size_t k = 0; k < kBlock; ++k) {
    out[k] = bytes[k];
    all |= bytes[k];
  }
  return all < 0x80;
}

// Widens a block of Windows-1252 bytes; true when none was in 80..9F, the
// only bytes that do not stand for the code unit of the same value.
bool WidenSystemCodePageBlock(const unsigned char* __restrict bytes, char16_t* __restrict out) {
  unsigned others = 0;
  for (std::size_t k = 0; k < kBlock; ++k) {
    out[k] = bytes[k];
    others |= (bytes[k] & 0xE0) == 0x80;
  }
  return others == 0;
}

// Narrows a block of code units to bytes of the same value; true when all of
// them were ASCII.
bool NarrowAsciiBlock(const char16_t* __restrict text, char* __restrict out) {
  char16_t all = 0;
  for (std::size_t k = 0; k < kBlock; ++k) {
    out[k] = static_cast<char>(text[k]);
    all |= text[k];
  }
  return all < 0x80;
}

// Narrows a block of code units to Windows-1252; true when each was one that
// the code page has at its own value (below 0x80, or A0..FF).
bool NarrowSystemCodePageBlock(const char16_t* __restrict text, char* __restrict out) {
  unsigned others = 0;
  for (std::size_t k = 0; k < kBlock; ++k) {
    out[k] = static_cast<char>(text[k]);
    others |= (text[k] > 0xFF) | ((text[k] & 0xE0) == 0x80);
  }
  return others == 0;
}

void DecodeSystemCodePage(const unsigned char* bytes, std::size_t size, char16_t* out) {
  const auto& table = DecodeTable();
  auto each = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) out[i] = table[bytes[i]];
  };
  std::size_t i = 0;
  for (; size - i >= kBlock; i += kBlock) {
    if (!WidenSystemCodePageBlock(bytes + i, out + i)) each(i, i + kBlock);
  }
  each(i, size);
}

char* EncodeSystemCodePage(std::u16string_view text, char* out) {
  auto each = [&](std::size_t from, std::size_t to) {
    const auto& table = EncodeTable();
    for (std::size_t i = from; i < to; ++i) out[i] = static_cast<char>(table[text[i]]);
  };
  const std::size_t n = text.size();
  std::size_t i = 0;
  for (; n - i >= kBlock; i += kBlock) {
    if (!NarrowSystemCodePageBlock(text.data() + i, out + i)) each(i, i + kBlock);
  }
  each(i, n);
  return out + n;
}

char* EncodeUtf16(std::u16string_view text, bool little, char* out) {
  if (little == kLittleEndianMachine) {
    if (!text.empty()) std::memcpy(out, text.data(), text.size() * 2);
    return out + text.size() * 2;
  }
  for (char16_t u : text) {
    *out++ = static_cast<char>(little ? u & 0xFF : u >> 8);
    *out++ = static_cast<char>(little ? u >> 8 : u & 0xFF);
  }
  return out;
}

bool IsHigh(char16_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLow(char16_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

enum class Step { kDone, kIncomplete, kIllFormed };

// One UTF-8 sequence at bytes[0, size): its length and code point, or that
// the bytes are a proper prefix of one, or that they are ill-formed.
Step DecodeSequence(const unsigned char* b, std::size_t size, std::size_t& length, char32_t& cp) {
  const unsigned char lead = b[0];
  unsigned char lo = 0x80, hi = 0xBF;
  if (lead < 0x80) {
    length = 1;
    cp = lead;
    return Step::kDone;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    return Step::kIllFormed;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= size) return Step::kIncomplete;
    const unsigned char c = b[i];
    if (c < (i == 1 ? lo : 0x80) || c > (i == 1 ? hi : 0xBF)) return Step::kIllFormed;
    cp = (cp << 6) | (c & 0x3F);
  }
  return Step::kDone;
}

char16_t* Put(char32_t cp, char16_t* out) {
  if (cp < 0x10000) {
    *out++ = static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    *out++ = static_cast<char16_t>(0xD800 + (cp >> 10));
    *out++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
  return out;
}

// Encodes the code point that starts at text[i], a surrogate pair as one
// and an unpaired surrogate as U+FFFD, and moves i past it.
char* EncodeCodePoint(std::u16string_view text, std::size_t& i, char* out) {
  const char16_t unit = text[i++];
  char32_t cp = unit;
  if (cp < 0x80) {
    *out++ = static_cast<char>(cp);
    return out;
  }
  if (IsHigh(unit) && i < text.size() && IsLow(text[i])) {
    cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i++] - 0xDC00);
  } else if (IsHigh(unit) || IsLow(unit)) {
    cp = kReplacement;
  }
  if (cp < 0x800) {
    *out++ = static_cast<char>(0xC0 | (cp >> 6));
  } else if (cp < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (cp >> 12));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (cp >> 18));
    *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  }
  *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  return out;
}

char* EncodeUtf8(std::u16string_view text, char* out) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    // Room for a whole block: every unit before i took at most three bytes.
    if (n - i >= kBlock && NarrowAsciiBlock(text.data() + i, out)) {
      i += kBlock;
      out += kBlock;
      continue;
    }
    // A block with other units in it, or the last few units: one code point
    // at a time to the block's end.
    const std::size_t stop = std::min(n, i + kBlock);
    while (i < stop) out = EncodeCodePoint(text, i, out);
  }
  return out;
}

}  // namespace

bool ProgramTextDecoder::Feed(std::string_view piece, TextBuffer<char16_t>& out) {
  auto* bytes = reinterpret_cast<const unsigned char*>(piece.data());
  std::size_t size = piece.size();
  if (!started_) {
    started_ = true;
    auto starts = [&](std::string_view mark) { return piece.substr(0, mark.size()) == mark; };
    std::size_t mark = 0;
    if (starts("\xEF\xBB\xBF")) {
      encoding_ = TextEncoding::kUtf8;
      mark = 3;
    } else if (starts("\xFF\xFE")) {
      encoding_ = TextEncoding::kUtf16LittleEndian;
      mark = 2;
    } else if (starts("\xFE\xFF")) {
      encoding_ = TextEncoding::kUtf16BigEndian;
      mark = 2;
    }
    bytes += mark;
    size -= mark;
  }
  bytes_after_mark_ += size;
  switch (encoding_) {
    case TextEncoding::kSystemCodePage:
      DecodeSystemCodePage(bytes, size, out.AppendSpace(size));
      out.Commit(size);
      return true;
    case TextEncoding::kUtf8:
      return FeedUtf8(bytes, size, out);
    case TextEncoding::kUtf16LittleEndian:
    case TextEncoding::kUtf16BigEndian:
      FeedUtf16(bytes, size, out);
      return true;
  }
  return true;
}

bool ProgramTextDecoder::FeedUtf8(const unsigned char* b, std::size_t size,
                                  TextBuffer<char16_t>& out) {
  // At most one code unit per byte, plus the pair of a sequence completed
  // from the bytes left over by the previous piece.
  char16_t* const begin = out.AppendSpace(size + 2);
  char16_t* o = begin;
  std::size_t i = 0;
  std::size_t length = 0;
  char32_t cp = 0;
  while (pending_size_ > 0 && i < size) {
    pending_[pending_size_++] = b[i++];
    const Step step = DecodeSequence(pending_, pending_size_, length, cp);
    if (step == Step::kIllFormed) return false;
    if (step == Step::kDone) {
      o = Put(cp, o);
      pending_size_ = 0;
    }
  }
  while (i < size) {
    // Room for a whole block: o - begin is at most i + 1.
    if (size - i >= kBlock && WidenAsciiBlock(b + i, o)) {
      i += kBlock;
      o += kBlock;
      continue;
    }
    // A block with other bytes in it, or the last few bytes: one sequence
    // at a time to the block's end.
    const std::size_t stop = std::min(size, i + kBlock);
    while (i < stop) {
      if (b[i] < 0x80) {
        *o++ = b[i++];
        continue;
      }
      const Step step = DecodeSequence(b + i, size - i, length, cp);
      if (step == Step::kIllFormed) return false;
      if (step == Step::kIncomplete) {
        // The rest of the piece begins a sequence that the next one ends.
        pending_size_ = size - i;
        std::copy(b + i, b + size, pending_);
        i = size;
        break;
      }
      o = Put(cp, o);
      i += length;
    }
  }
  out.Commit(static_cast<std::size_t>(o - begin));
  return true;
}

void ProgramTextDecoder::FeedUtf16(const unsigned char* b, std::size_t size,
                                   TextBuffer<char16_t>& out) {
  const bool little = encoding_ == TextEncoding::kUtf16LittleEndian;
  auto unit = [little](unsigned char first, unsigned char second) {
    return static_cast<char16_t>(little ? first | (second << 8) : (first << 8) | second);
  };
  char16_t* const begin = out.AppendSpace(size / 2 + 1);
  char16_t* o = begin;
  std::size_t i = 0;
  if (pending_size_ == 1 && size > 0) {
    *o++ = unit(pending_[0], b[0]);
    pending_size_ = 0;
    i = 1;
  }
  const std::size_t units = (size - i) / 2;
  if (units != 0) std::memcpy(o, b + i, units * 2);
  UnitsInPlace(encoding_, o, units);
  o += units;
  i += units * 2;
  if (i < size) {
    pending_[0] = b[i];
    pending_size_ = 1;
  }
  out.Commit(static_cast<std::size_t>(o - begin));
}

void ProgramTextDecoder::UnitsInPlace(TextEncoding encoding, char16_t* units, std::size_t count) {
  const bool little = encoding == TextEncoding::kUtf16LittleEndian;
  if (little == kLittleEndianMachine) return;
  for (std::size_t k = 0; k < count; ++k)
    units[k] = static_cast<char16_t>(__builtin_bswap16(static_cast<std::uint16_t>(units[k])));
}

char* ProgramTextDecoder::DirectRoom(TextBuffer<char16_t>& out, std::size_t bytes) {
  const bool as_is = encoding_ == (kLittleEndianMachine ? TextEncoding::kUtf16LittleEndian
                                                        : TextEncoding::kUtf16BigEndian);
  if (!started_ || !as_is || pending_size_ != 0) return nullptr;
  return reinterpret_cast<char*>(out.AppendSpace(bytes / 2 + 1));
}

void ProgramTextDecoder::CommitDirect(std::size_t bytes, TextBuffer<char16_t>& out) {
  bytes_after_mark_ += bytes;
  // An odd last byte waits for the next piece, as it does in FeedUtf16.
  if (bytes % 2 != 0) {
    pending_[0] = reinterpret_cast<const unsigned char*>(out.data() + out.size())[bytes - 1];
    pending_size_ = 1;
  }
  out.Commit(bytes / 2);
}

bool ProgramTextDecoder::Finish(TextBuffer<char16_t>&) {
  switch (encoding_) {
    case TextEncoding::kUtf8:
      return pending_size_ == 0;
    case TextEncoding::kUtf16LittleEndian:
    case TextEncoding::kUtf16BigEndian:
      return bytes_after_mark_ != 1;
    case TextEncoding::kSystemCodePage:
      break;
  }
  return true;
}

std::string_view ProgramTextEncoder::ByteOrderMark() const {
  switch (encoding_) {
    case TextEncoding::kUtf8:
      return "\xEF\xBB\xBF";
    case TextEncoding::kUtf16LittleEndian:
      return "\xFF\xFE";
    case TextEncoding::kUtf16BigEndian:
      return "\xFE\xFF";
    case TextEncoding::kSystemCodePage:
      break;
  }
  return {};
}

char* ProgramTextEncoder::Encode(std::u16string_view text, char* out) const {
  switch (encoding_) {
    case TextEncoding::kSystemCodePage:
      return EncodeSystemCodePage(text, out);
    case TextEncoding::kUtf16LittleEndian:
      return EncodeUtf16(text, true, out);
    case TextEncoding::kUtf16BigEndian:
      return EncodeUtf16(text, false, out);
    case TextEncoding::kUtf8:
      break;
  }
  return EncodeUtf8(text, out);
}

bool ProgramTextEncoder::WritesTextAsIs() const {
  return encoding_ ==
         (kLittleEndianMachine ? TextEncoding::kUtf16LittleEndian : TextEncoding::kUtf16BigEndian);
}

std::uint64_t ProgramTextEncoder::Measure(std::u16string_view text) const {
  switch (encoding_) {
    case TextEncoding::kSystemCodePage:
      return text.size();
    case TextEncoding::kUtf16LittleEndian:
    case TextEncoding::kUtf16BigEndian:
      return 2 * std::uint64_t{text.size()};
    case TextEncoding::kUtf8:
      break;
  }
  std::uint64_t bytes = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u < 0x80) {
      bytes += 1;
    } else if (u < 0x800) {
      bytes += 2;
    } else if (IsHigh(u) && i + 1 < text.size() && IsLow(text[i + 1])) {
      bytes += 4;
      ++i;
    } else {
      bytes += 3;
    }
  }
  return bytes;
}

}  // namespace orvalen
