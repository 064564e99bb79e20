// The plain text primitives of both programs, on 16-bit code units or on
// bytes. Positions count from 1.
//   Trim(u"\t X1 \r")                -> u"X1"   (every code up to U+0020 goes)
//   FirstOccurrence(u"X", u"G0 X1")  -> 4       (exact code units; 0 if absent,
//                                                 for an empty or longer pattern)
//   CopySubstring(u"ABCDEF", 3, 2)   -> u"CD"   (start below 1 counts as 1)
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvalen {

template <typename Char>
std::basic_string_view<Char> Trim(std::basic_string_view<Char> text) {
  const auto blank = [](Char c) { return static_cast<std::make_unsigned_t<Char>>(c) <= 0x20; };
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Most lines hold the pattern's first character seldom or never: blocks of
// 16 characters without it are passed over by a loop of fixed length that
// the compiler turns into vector code.
template <typename Char>
std::int64_t FirstOccurrence(std::basic_string_view<Char> pattern,
                             std::basic_string_view<Char> text) {
  if (pattern.empty() || pattern.size() > text.size()) return 0;
  const Char first = pattern[0];
  const Char* const p = text.data();
  const std::size_t starts = text.size() - pattern.size() + 1;  // places it may start at
  const auto at = [&](std::size_t i) {
    return p[i] == first && std::equal(pattern.begin() + 1, pattern.end(), p + i + 1);
  };
  const auto any_first = [&](std::size_t i) {
    bool any = false;
    for (std::size_t k = 0; k < 16; ++k) any |= p[i + k] == first;
    return any;
  };
  std::size_t i = 0;
  if (pattern.size() == 1) {
    // An address letter is mostly found among a line's first characters,
    // sooner one by one than a block at a time.
    const std::size_t head = starts < 32 ? starts : 32;
    for (; i < head; ++i)
      if (p[i] == first) return static_cast<std::int64_t>(i) + 1;
    if (i == starts) return 0;
  }
  for (; starts - i >= 16; i += 16) {
    if (!any_first(i)) continue;
    for (std::size_t k = 0; k < 16; ++k)
      if (at(i + k)) return static_cast<std::int64_t>(i + k) + 1;
  }
  // The last places: one more block, ending where they end, passes over a
  // tail without the first character (the usual case) at once.
  if (i < starts && starts >= 16 && !any_first(starts - 16)) return 0;
  for (; i < starts; ++i)
    if (at(i)) return static_cast<std::int64_t>(i) + 1;
  return 0;
}

template <typename Char>
std::basic_string_view<Char> CopySubstring(std::basic_string_view<Char> text, std::int64_t start,
                                           std::int64_t count) {
  if (start < 1) start = 1;
  const auto length = static_cast<std::int64_t>(text.size());
  if (count <= 0 || start > length) return {};
  const std::int64_t available = length - start + 1;
  return text.substr(static_cast<std::size_t>(start - 1),
                     static_cast<std::size_t>(count < available ? count : available));
}

// Widening: a formatted number is plain ASCII; each byte becomes the code unit
// of the same value, with no code page involved.
template <typename Char>
std::basic_string<Char> Widen(std::string_view formatted) {
  return std::basic_string<Char>(formatted.begin(), formatted.end());
}

}  // namespace orvalen
