// Number-text conversion of the current program: a text to a double and the
// position at which reading stopped.
//   "12.5"  -> 12.5,  error position 0
//   "-0"    -> 0,     error position 0 (a minus sign never gives -0)
//   "."     -> 0,     error position 0
//   ""      -> 0,     error position 1
//   "5 "    -> 5,     error position 2 (no blank after the number)
//   "1.2.3" -> 1.2,   error position 4 (a failed conversion keeps its value)
// Digits accumulate in a double (times ten, plus the character code, minus
// 48, each step rounded), and the decimals and exponent are applied with one
// scaling by a power of ten. No locale is consulted. An accumulator that
// overflows raises EOverflow.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvalen {

struct NumberText {
  double value;
  std::int32_t error_position;  // 0 for success
};

NumberText ConvertNumberText(std::u16string_view text);
// The same rules on single-byte text (benchmarks and tests).
NumberText ConvertNumberText(std::string_view text);

}  // namespace orvalen
