// Windows-1252, the system code page of both programs. Every byte maps to a
// distinct code unit, the five bytes the code page leaves unassigned (81, 8D,
// 8F, 90, 9D) to the C1 controls of the same value, so decoding and encoding
// give back any byte sequence unchanged. A character the code page lacks
// encodes as "?".
#pragma once

#include <string>
#include <string_view>

namespace orvalen {

char16_t DecodeCp1252(unsigned char byte);
// The byte for a code unit, or '?' when the code page has none.
unsigned char EncodeCp1252(char16_t unit);

std::u16string DecodeCp1252(std::string_view bytes);
std::string EncodeCp1252(std::u16string_view text);

}  // namespace orvalen
