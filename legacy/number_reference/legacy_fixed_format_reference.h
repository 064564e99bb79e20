// The fixed-point formatting of the legacy program as first written, on a
// 19-character digit string. Kept to check the integer formatter
// (legacy/legacy_fixed_format.h) against; the programs never call it.
#pragma once

#include <string>

#include "legacy/legacy_extended.h"
#include "tools/fixed_format.h"

namespace orvalen::reference {

// In either extended type, as the formatter itself.
template <typename Ext>
std::string LegacyFormatFixedPointIn(double value, ExponentForm form = ExponentForm::kAllowed);
#if ORVALEN_LONG_DOUBLE_IS_X87
extern template std::string LegacyFormatFixedPointIn<long double>(double, ExponentForm);
#endif
extern template std::string LegacyFormatFixedPointIn<SoftExtended>(double, ExponentForm);

inline std::string LegacyFormatFixedPoint(double value,
                                          ExponentForm form = ExponentForm::kAllowed) {
  return reference::LegacyFormatFixedPointIn<LegacyExtended>(value, form);
}

}  // namespace orvalen::reference
