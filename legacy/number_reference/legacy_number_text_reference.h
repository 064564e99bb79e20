// The number-text conversion of the legacy program as first written: every
// digit goes through the extended accumulator. Kept to check the conversion
// (legacy/legacy_number_text.h) against; the programs never call it.
#pragma once

#include <string_view>

#include "legacy/legacy_extended.h"
#include "tools/number_text.h"

namespace orvalen::reference {

// In either extended type, as the conversion itself.
template <typename Ext>
NumberText LegacyConvertNumberTextIn(std::string_view text);
#if ORVALEN_LONG_DOUBLE_IS_X87
extern template NumberText LegacyConvertNumberTextIn<long double>(std::string_view);
#endif
extern template NumberText LegacyConvertNumberTextIn<SoftExtended>(std::string_view);

inline NumberText LegacyConvertNumberText(std::string_view text) {
  return reference::LegacyConvertNumberTextIn<LegacyExtended>(text);
}

}  // namespace orvalen::reference
