// Decimal digit strings for the reference formatters of both programs: the
// image is built as text and rounded character by character.
#pragma once

#include <cstdint>
#include <string>

namespace orvalen::reference {

// The 18 decimal digits of n (n < 10^18), with leading zeros.
std::string EighteenDigits(std::uint64_t n);
// The four decimal digits of n (0 <= n < 10000), with leading zeros.
std::string FourDigits(int n);
// Adds one to the digit at `index`, nines overflowing to "0" with the carry
// moving left. Returns false when the carry runs out of the first digit
// (every digit up to `index` is then "0").
bool IncrementDigits(std::string& digits, std::size_t index);

}  // namespace orvalen::reference
