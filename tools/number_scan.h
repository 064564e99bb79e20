// The grammar of a number text, shared by both programs: blanks, one sign,
// digits, a point with more digits, an exponent letter with a signed exponent.
// Reading stops at the first character that does not fit; the scan gives the
// digits read and the caller decides what value they make, since the two
// programs accumulate digits differently. Templated on the character type.
// No locale, no allocation.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

namespace orvalen {

template <typename Char>
struct NumberScan {
  std::basic_string_view<Char> integer_digits;  // the digits before the point
  std::basic_string_view<Char> decimal_digits;  // the digits after it
  // Both as one whole number. It is whole_is_exact while below 10^19 (at
  // most 19 digits after any leading zeros); beyond, it stops growing.
  std::uint64_t whole = 0;
  bool whole_is_exact = true;
  std::int64_t exponent = 0;        // saturates far beyond any representable power
  bool negative = false;            // the sign was "-"
  std::int32_t error_position = 0;  // 0 on success, else 1-based position
};

// The exponent stops growing here; a larger one cannot change any result.
inline constexpr std::int64_t kExponentLimit = 1'000'000'000;
// One more digit on a whole number below this stays below 10^19.
inline constexpr std::uint64_t kWholeDigitsLimit = 1'000'000'000'000'000'000;

// Inlined into each conversion, so that the parts of the scan stay in
// registers on the way to the accumulator.
template <typename Char>
[[gnu::always_inline]] inline NumberScan<Char> ScanNumberText(std::basic_string_view<Char> text) {
  NumberScan<Char> scan;
  const Char* const begin = text.data();
  const Char* const end = begin + text.size();
  const Char* at = begin;
  const auto is = [&](char c) { return at != end && *at == static_cast<Char>(c); };
  const auto is_digit = [&] { return at != end && *at >= Char('0') && *at <= Char('9'); };
  const auto digits = [&] {
    const Char* const first = at;
    for (; is_digit(); ++at) {
      if (scan.whole < kWholeDigitsLimit) {
        scan.whole = scan.whole * 10 + static_cast<std::uint64_t>(*at - Char('0'));
      } else {
        scan.whole_is_exact = false;
      }
    }
    return std::basic_string_view<Char>(first, static_cast<std::size_t>(at - first));
  };

  if (begin == end) {
    scan.error_position = 1;
    return scan;
  }
  while (is(' ')) ++at;
  if (is('+') || is('-')) {
    scan.negative = is('-');
    ++at;
  }
  scan.integer_digits = digits();
  bool lone_point = false;
  if (is('.')) {
    ++at;
    if (at == end && scan.integer_digits.empty()) lone_point = true;
    scan.decimal_digits = digits();
  }
  const bool has_digit = !scan.integer_digits.empty() || !scan.decimal_digits.empty();
  bool has_exponent_letter = false;
  bool has_exponent_digit = false;
  if (is('E') || is('e')) {
    has_exponent_letter = true;
    ++at;
    bool exponent_negative = false;
    if (is('+') || is('-')) {
      exponent_negative = is('-');
      ++at;
    }
    while (is_digit()) {
      if (scan.exponent < kExponentLimit)
        scan.exponent = scan.exponent * 10 + (static_cast<int>(*at) - '0');
      has_exponent_digit = true;
      ++at;
    }
    if (exponent_negative) scan.exponent = -scan.exponent;
  }
  const bool complete = has_exponent_letter ? has_exponent_digit : (has_digit || lone_point);
  if (at == end && complete) {
    scan.error_position = 0;
  } else {
    const auto position = static_cast<std::size_t>(at - begin) + 1;
    constexpr auto kLargest = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    scan.error_position = static_cast<std::int32_t>(position > kLargest ? kLargest : position);
  }
  return scan;
}

// The digits of a scan, before and after the point, as one whole number in
// the accumulator type Real, each digit applied by `step(accumulator, code)`
// with `code` the character code 48..57: the rule for numbers with more
// digits than scan.whole holds exactly.
template <typename Real, typename Char, typename Step>
Real AccumulateDigits(const NumberScan<Char>& scan, Step step) {
  Real accumulator = 0;
  for (const Char digit : scan.integer_digits)
    accumulator = step(accumulator, static_cast<int>(digit));
  for (const Char digit : scan.decimal_digits)
    accumulator = step(accumulator, static_cast<int>(digit));
  return accumulator;
}

}  // namespace orvalen
