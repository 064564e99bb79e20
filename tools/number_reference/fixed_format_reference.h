// The fixed-point formatting of the current program as first written: the
// decimal image is built as an 18-character string and rounded digit by
// digit. Kept to check the integer formatter (tools/fixed_format.h) against,
// in tests, fuzzing and benchmarks; the programs never call it.
#pragma once

#include <string>

#include "tools/fixed_format.h"

namespace orvalen::reference {

std::string FormatFixedPoint(double value, ExponentForm form = ExponentForm::kAllowed);

}  // namespace orvalen::reference
