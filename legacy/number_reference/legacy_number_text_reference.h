// The number-text conversion of the legacy program as first written: every
// digit goes through the extended accumulator. Kept to check the conversion
// (legacy/legacy_number_text.h) against; the programs never call it.
#pragma once

#include <string_view>

#include "tools/number_text.h"

namespace orvalen::reference {

NumberText LegacyConvertNumberText(std::string_view text);

}  // namespace orvalen::reference
