// The number-text conversion of the current program as first written: every
// digit goes through the double accumulator. Kept to check the conversion
// (tools/number_text.h) against, in tests, fuzzing and benchmarks; the
// programs never call it.
#pragma once

#include <string_view>

#include "tools/number_text.h"

namespace orvalen::reference {

NumberText ConvertNumberText(std::u16string_view text);
NumberText ConvertNumberText(std::string_view text);

}  // namespace orvalen::reference
