#include "tools/codepage1252.h"

namespace orvalen {
namespace {

// 0x80..0x9F; the other bytes are their own code points.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

}  // namespace

char16_t DecodeCp1252(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : char16_t{byte};
}

unsigned char EncodeCp1252(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<unsigned char>(unit);
  for (unsigned i = 0; i < 32; ++i) {
    if (kHighControls[i] == unit) return static_cast<unsigned char>(0x80 + i);
  }
  return '?';
}

std::u16string DecodeCp1252(std::string_view bytes) {
  std::u16string text(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i)
    text[i] = DecodeCp1252(static_cast<unsigned char>(bytes[i]));
  return text;
}

std::string EncodeCp1252(std::u16string_view text) {
  std::string bytes(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) bytes[i] = static_cast<char>(EncodeCp1252(text[i]));
  return bytes;
}

}  // namespace orvalen
