// The grammar of a number text as the reference conversions of both programs
// read it, feeding each digit to the accumulator step as it goes (the fast
// conversions read the same grammar through tools/number_scan.h).
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

namespace orvalen::reference {

template <typename Number>
struct NumberScan {
  Number accumulator{};             // every digit before and after the point
  std::int64_t decimals = 0;        // digits after the point
  std::int64_t exponent = 0;        // saturates far beyond any representable power
  bool negative = false;            // the sign was "-"
  std::int32_t error_position = 0;  // 0 on success, else 1-based position
};

// The exponent stops growing here; a larger one cannot change any result.
inline constexpr std::int64_t kExponentLimit = 1'000'000'000;

// `step(accumulator, code)` returns the accumulator after one more digit,
// `code` being the character code 48..57.
template <typename Number, typename Char, typename Step>
NumberScan<Number> ScanNumberText(std::basic_string_view<Char> text, Step step) {
  NumberScan<Number> scan;
  const std::size_t length = text.size();
  std::size_t i = 0;
  const auto at = [&](char c) { return i < length && text[i] == static_cast<Char>(c); };
  const auto digit = [&] { return i < length && text[i] >= Char('0') && text[i] <= Char('9'); };
  const auto stop_here = [&] {
    const std::size_t position = i + 1;
    scan.error_position =
        position > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())
            ? std::numeric_limits<std::int32_t>::max()
            : static_cast<std::int32_t>(position);
  };

  if (length == 0) {
    scan.error_position = 1;
    return scan;
  }
  while (at(' ')) ++i;
  if (at('+') || at('-')) {
    scan.negative = at('-');
    ++i;
  }
  bool has_digit = false;
  while (digit()) {
    scan.accumulator = step(scan.accumulator, static_cast<int>(text[i]));
    has_digit = true;
    ++i;
  }
  bool lone_point = false;
  if (at('.')) {
    ++i;
    if (i == length && !has_digit) lone_point = true;
    while (digit()) {
      scan.accumulator = step(scan.accumulator, static_cast<int>(text[i]));
      ++scan.decimals;
      has_digit = true;
      ++i;
    }
  }
  bool has_exponent_letter = false;
  bool has_exponent_digit = false;
  if (at('E') || at('e')) {
    has_exponent_letter = true;
    ++i;
    bool exponent_negative = false;
    if (at('+') || at('-')) {
      exponent_negative = at('-');
      ++i;
    }
    while (digit()) {
      if (scan.exponent < kExponentLimit)
        scan.exponent = scan.exponent * 10 + (static_cast<int>(text[i]) - '0');
      has_exponent_digit = true;
      ++i;
    }
    if (exponent_negative) scan.exponent = -scan.exponent;
  }
  const bool complete = has_exponent_letter ? has_exponent_digit : (has_digit || lone_point);
  if (i == length && complete) {
    scan.error_position = 0;
  } else {
    stop_here();
  }
  return scan;
}

}  // namespace orvalen::reference
