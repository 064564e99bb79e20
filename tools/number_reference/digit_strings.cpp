#include "tools/number_reference/digit_strings.h"

namespace orvalen::reference {

std::string EighteenDigits(std::uint64_t n) {
  std::string digits(18, '0');
  for (std::size_t i = 18; i-- > 0;) {
    digits[i] = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  return digits;
}

std::string FourDigits(int n) {
  std::string digits(4, '0');
  for (std::size_t i = 4; i-- > 0;) {
    digits[i] = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  return digits;
}

bool IncrementDigits(std::string& digits, std::size_t index) {
  for (std::size_t i = index + 1; i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return true;
    }
    digits[i] = '0';
  }
  return false;
}

}  // namespace orvalen::reference
