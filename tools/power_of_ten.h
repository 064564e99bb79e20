// Scaling a double by a whole power of ten, the way the number-text
// conversion and the fixed-point formatting of Orvalen do it: a product of
// at most four table factors, each step one rounded double operation.
//   ScaleByPowerOfTen(1.5, 2)   == 150
//   ScaleByPowerOfTen(10, 35)   == the double nearest 1e36
// Overflow raises EOverflow; underflow quietly gives 0 or a subnormal.
#pragma once

#include <cstdint>

namespace orvalen {

double ScaleByPowerOfTen(double value, std::int64_t power);

}  // namespace orvalen
