// Number-text conversion of the legacy program, on bytes. The grammar and the
// error positions are those of the current program; the arithmetic is x87
// extended: the accumulator multiplies by ten and adds the digit, each step
// rounded to a 64-bit significand, and the scaling uses extended powers of ten.
//   "-0"    -> negative zero, error position 0 (a success negates)
//   "1.2.3" -> 12, error position 4  (a failure gives the bare accumulator:
//   "-5-"   -> 5,  error position 3   every digit read, unscaled, unsigned)
// The value is rounded to the double that every caller stores.
#pragma once

#include <string_view>

#include "tools/number_text.h"

namespace orvalen {

NumberText LegacyConvertNumberText(std::string_view text);

}  // namespace orvalen
