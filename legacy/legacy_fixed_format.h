// Fixed-point formatting of the legacy program, minimum width 5 and three
// decimals, computed in extended precision.
//   |x| < 10 is not normalised: the digits are those of |x| * 10^17 rounded
//   to a whole number, so a double stored just below a tie rounds down:
//   1.0005 -> "1.000", 9.9995 -> "9.999".
//   |x| >= 10 is scaled into [1, 16) by extended powers of ten first:
//   4494.8665 (stored just above) -> "4494.867".
//   The sign bit decides the "-": negative zero gives "-0.000".
//   |x| >= 2^120 gives the exponent form " 1.3E+0036"; tiny values never do.
// With ExponentForm::kNever huge values are written in the fixed form too.
#pragma once

#include <string>

#include "legacy/legacy_extended.h"
#include "tools/fixed_format.h"

namespace orvalen {

// The characters written into `out`, without an allocation; returns their
// number. In either extended type; the program computes in LegacyExtended.
template <typename Ext>
std::size_t LegacyWriteFixedPointIn(double value, ExponentForm form, FixedPointChars out);
#if ORVALEN_LONG_DOUBLE_IS_X87
extern template std::size_t LegacyWriteFixedPointIn<long double>(double, ExponentForm,
                                                                 FixedPointChars);
#endif
extern template std::size_t LegacyWriteFixedPointIn<SoftExtended>(double, ExponentForm,
                                                                  FixedPointChars);

template <typename Ext>
std::string LegacyFormatFixedPointIn(double value, ExponentForm form = ExponentForm::kAllowed) {
  char text[kFixedPointCapacity];
  return std::string(text, LegacyWriteFixedPointIn<Ext>(value, form, text));
}

inline std::size_t LegacyWriteFixedPoint(double value, ExponentForm form, FixedPointChars out) {
  return LegacyWriteFixedPointIn<LegacyExtended>(value, form, out);
}
inline std::string LegacyFormatFixedPoint(double value,
                                          ExponentForm form = ExponentForm::kAllowed) {
  return LegacyFormatFixedPointIn<LegacyExtended>(value, form);
}

}  // namespace orvalen
