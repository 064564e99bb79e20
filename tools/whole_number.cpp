#include "tools/whole_number.h"

#include <cmath>

#include "tools/failure.h"

namespace orvalen {

std::int64_t RoundToWholeNumber(long double value) {
  // The program never leaves round-to-nearest, so nearbyint rounds ties to even.
  const long double whole = std::nearbyint(value);
  constexpr long double kLimit = 0x1p63L;
  if (!(whole >= -kLimit && whole < kLimit)) RaiseInvalidOp();
  return static_cast<std::int64_t>(whole);
}

}  // namespace orvalen
