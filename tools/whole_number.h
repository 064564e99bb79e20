// Rounding to a whole number: the nearest one, exact halves going to the even
// neighbour (0.5 -> 0, 1.5 -> 2, 2.5 -> 2, -1.5 -> -2). A value whose nearest
// whole number lies outside the signed 64-bit range raises EInvalidOp.
// Takes the extended type so that both programs share it; a double converts
// to it exactly.
#pragma once

#include <cstdint>

namespace orvalen {

std::int64_t RoundToWholeNumber(long double value);

}  // namespace orvalen
