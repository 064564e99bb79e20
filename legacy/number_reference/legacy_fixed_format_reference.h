// The fixed-point formatting of the legacy program as first written, on a
// 19-character digit string. Kept to check the integer formatter
// (legacy/legacy_fixed_format.h) against; the programs never call it.
#pragma once

#include <string>

#include "tools/fixed_format.h"

namespace orvalen::reference {

std::string LegacyFormatFixedPoint(double value, ExponentForm form = ExponentForm::kAllowed);

}  // namespace orvalen::reference
