// The integer rule of the settings file: an optional sign, then a decimal
// number or a hexadecimal one after "$", "x", "X", "0x" or "0X", the whole
// text used up, the value a signed 32-bit integer.
//   "007" -> 7     "-0x10" -> -16     "$FFFFFFFF" -> -1 (two's complement)
//   " 5"  -> 5     "5 " -> invalid    "2147483648" -> invalid   "$" -> invalid
// Templated on the character type; no locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvalen {

template <typename Char>
std::optional<std::int32_t> ParseIntegerText(std::basic_string_view<Char> text) {
  std::size_t i = 0;
  const auto at = [&](char c) { return i < text.size() && text[i] == Char(c); };
  while (at(' ')) ++i;
  bool negative = false;
  if (at('-') || at('+')) {
    negative = at('-');
    ++i;
  }
  const auto hex_digit = [](Char c) -> int {
    if (c >= Char('0') && c <= Char('9')) return static_cast<int>(c - Char('0'));
    if (c >= Char('A') && c <= Char('F')) return static_cast<int>(c - Char('A')) + 10;
    if (c >= Char('a') && c <= Char('f')) return static_cast<int>(c - Char('a')) + 10;
    return -1;
  };
  const bool zero_x =
      at('0') && i + 1 < text.size() && (text[i + 1] == Char('x') || text[i + 1] == Char('X'));
  if (at('$') || at('x') || at('X') || zero_x) {
    i += zero_x ? 2 : 1;
    if (i == text.size()) return std::nullopt;
    std::uint32_t value = 0;
    for (; i < text.size(); ++i) {
      const int digit = hex_digit(text[i]);
      if (digit < 0 || value > 0x0FFFFFFFu) return std::nullopt;
      value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    // 80000000 to FFFFFFFF stand for the negative numbers; a "-" negates in 32 bits.
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
  }
  if (i == text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < Char('0') || text[i] > Char('9')) return std::nullopt;
    value = value * 10 + static_cast<std::int64_t>(text[i] - Char('0'));
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace orvalen
