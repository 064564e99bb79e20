// Number-text conversion of the legacy program, on bytes. The grammar and the
// error positions are those of the current program; the arithmetic is
// extended: the accumulator multiplies by ten and adds the digit, each step
// rounded to a 64-bit significand, and the scaling uses extended powers of ten.
//   "-0"    -> negative zero, error position 0 (a success negates)
//   "1.2.3" -> 12, error position 4  (a failure gives the bare accumulator:
//   "-5-"   -> 5,  error position 3   every digit read, unscaled, unsigned)
// The value is rounded to the double that every caller stores.
#pragma once

#include <string_view>

#include "legacy/legacy_extended.h"
#include "tools/number_text.h"

namespace orvalen {

// In either extended type; the program computes in LegacyExtended.
template <typename Ext>
NumberText LegacyConvertNumberTextIn(std::string_view text);
#if ORVALEN_LONG_DOUBLE_IS_X87
extern template NumberText LegacyConvertNumberTextIn<long double>(std::string_view);
#endif
extern template NumberText LegacyConvertNumberTextIn<SoftExtended>(std::string_view);

inline NumberText LegacyConvertNumberText(std::string_view text) {
  return LegacyConvertNumberTextIn<LegacyExtended>(text);
}

}  // namespace orvalen
