// Rounding to a whole number: the nearest one, exact halves going to the even
// neighbour (0.5 -> 0, 1.5 -> 2, 2.5 -> 2, -1.5 -> -2). A value whose nearest
// whole number lies outside the signed 64-bit range raises EInvalidOp.
// Takes the extended type so that both programs share it; a double converts
// to it exactly. The rule is a template over the extended type as well, for
// the legacy build's SoftExtended (free NearbyInt and ToInt64Truncated).
#pragma once

#include <cmath>
#include <cstdint>

#include "tools/failure.h"

namespace orvalen {

// The operations of the rule on the built-in type, under the class types' names.
inline long double NearbyInt(long double value) {
  // The program never leaves round-to-nearest, so nearbyint rounds ties to even.
  return std::nearbyint(value);
}
inline std::int64_t ToInt64Truncated(long double value) {
  return static_cast<std::int64_t>(value);
}

template <typename Ext>
std::int64_t RoundExtendedToWholeNumber(const Ext& value) {
  const Ext whole = NearbyInt(value);
  const Ext limit(std::uint64_t{1} << 63);
  if (!(whole >= -limit && whole < limit)) RaiseInvalidOp();
  return ToInt64Truncated(whole);
}

std::int64_t RoundToWholeNumber(long double value);

}  // namespace orvalen
