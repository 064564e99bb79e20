// Writing the formatted numbers of both programs from whole numbers: the
// thousandths of a fixed-form text, the digits of a huge one, and the exponent
// form. Digits go out two at a time from a table; nothing is allocated.
//   WriteThousandths(12345, out)       writes "12.345"
//   WriteScaledDigits(123456, 2, out)  writes "12345.600" (digits, zeros, a point
//                                      before the last three)
//   WriteExponentForm(false, 123456789012345678, 36, out)  writes " 1.2E+0036"
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

namespace orvalen {

inline constexpr std::array<std::uint64_t, 20> kPowersOfTen = [] {
  std::array<std::uint64_t, 20> powers{};
  std::uint64_t power = 1;
  for (std::uint64_t& entry : powers) {
    entry = power;
    power *= 10;
  }
  return powers;
}();

namespace detail {

template <std::size_t Shift>
std::uint64_t RoundedQuotientBy(std::uint64_t n) {
  constexpr std::uint64_t kDivisor = kPowersOfTen[Shift];
  return (n + kDivisor / 2) / kDivisor;
}

// One function per divisor, so that each division by a constant becomes a
// multiplication.
template <std::size_t... Shift>
constexpr auto MakeRoundedQuotients(std::index_sequence<Shift...>) {
  return std::array<std::uint64_t (*)(std::uint64_t), sizeof...(Shift)>{
      &RoundedQuotientBy<Shift>...};
}
inline constexpr auto kRoundedQuotients = MakeRoundedQuotients(std::make_index_sequence<19>());

}  // namespace detail

// n rounded half up to a multiple of 10^shift and divided by it
// (0 <= shift <= 18, n below 1.7e19 so that adding the half cannot wrap).
inline std::uint64_t RoundedQuotient(std::uint64_t n, int shift) {
  return detail::kRoundedQuotients[static_cast<std::size_t>(shift)](n);
}

namespace detail {

inline constexpr char kDigitPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline void WritePair(unsigned pair, char* out) {
  std::memcpy(out, &kDigitPairs[2 * pair], 2);
}

// The number of decimal digits of n, 1 for 0.
inline int DecimalLength(std::uint64_t n) {
  // bit_width * log10(2), then one correction from the table.
  n |= 1;
  const int estimate = (std::bit_width(n) * 1233) >> 12;
  return estimate + (n >= kPowersOfTen[static_cast<std::size_t>(estimate)] ? 1 : 0);
}

}  // namespace detail

// Writes the decimal digits of n without leading zeros ("0" for 0) and
// returns the end of what it wrote.
inline char* WriteWholeNumber(std::uint64_t n, char* out) {
  const int length = detail::DecimalLength(n);
  char* end = out + length;
  char* at = end;
  while (n >= 100) {
    at -= 2;
    detail::WritePair(static_cast<unsigned>(n % 100), at);
    n /= 100;
  }
  if (n >= 10) {
    detail::WritePair(static_cast<unsigned>(n), at - 2);
  } else {
    at[-1] = static_cast<char>('0' + n);
  }
  return end;
}

// Writes thousandths / 1000 as a whole number, a point and the three decimals.
inline char* WriteThousandths(std::uint64_t thousandths, char* out) {
  const auto decimals = static_cast<unsigned>(thousandths % 1000);
  out = WriteWholeNumber(thousandths / 1000, out);
  out[0] = '.';
  out[1] = static_cast<char>('0' + decimals / 100);
  detail::WritePair(decimals % 100, out + 2);
  return out + 4;
}

// Writes the digits of n followed by `zeros` zeros, with a point before the
// last three (n and the zeros together have at least four digits).
inline char* WriteScaledDigits(std::uint64_t n, int zeros, char* out) {
  char* end = WriteWholeNumber(n, out);
  std::memset(end, '0', static_cast<std::size_t>(zeros));
  end += zeros;
  std::memmove(end - 2, end - 3, 3);
  end[-3] = '.';
  return end + 1;
}

// Writes the exponent form of a decimal image: `image` holds the significant
// digits, 18 of them for the place 10^place, or 19 (image >= 10^18) with the
// first for 10^(place + 1). The two digits shown are rounded half up from the
// third. A blank or "-", d.d, "E", the sign of the place, four digits.
inline char* WriteExponentForm(bool negative, std::uint64_t image, int place, char* out) {
  constexpr std::uint64_t kTen18 = kPowersOfTen[18];
  const int shift = image >= kTen18 ? 17 : 16;
  if (image >= kTen18) ++place;
  std::uint64_t shown = RoundedQuotient(image, shift);
  if (shown == 100) {
    shown = 10;
    ++place;
  }
  const unsigned exponent = static_cast<unsigned>(place < 0 ? -place : place);
  out[0] = negative ? '-' : ' ';
  out[1] = static_cast<char>('0' + shown / 10);
  out[2] = '.';
  out[3] = static_cast<char>('0' + shown % 10);
  out[4] = 'E';
  out[5] = place >= 0 ? '+' : '-';
  detail::WritePair(exponent / 100, out + 6);
  detail::WritePair(exponent % 100, out + 8);
  return out + 10;
}

}  // namespace orvalen
