// The build policy of the current program, Orvalen: texts are UTF-16 code
// units and numbers are IEEE doubles throughout. The legacy program has its
// own policy (legacy/legacy_build.h); tools/build_policy.h says what one holds.
#pragma once

#include <string>
#include <string_view>

#include "tools/build_policy.h"
#include "tools/case_compare.h"
#include "tools/checked_arithmetic.h"
#include "tools/fixed_format.h"
#include "tools/number_text.h"

namespace orvalen {

struct CurrentBuild {
  using Char = char16_t;
  using Text = std::u16string;
  using TextView = std::u16string_view;

  static NumberText ConvertNumberText(TextView text) { return orvalen::ConvertNumberText(text); }
  static std::string FormatFixedPoint(double value, ExponentForm form) {
    return orvalen::FormatFixedPoint(value, form);
  }
  // The same characters into a buffer, without an allocation; returns their
  // number.
  static std::size_t WriteFixedPoint(double value, ExponentForm form, FixedPointChars out) {
    return orvalen::WriteFixedPoint(value, form, out);
  }
  // value + offset as one double addition.
  static double AddOffset(double value, double offset) { return CheckedAdd(value, offset); }
  static bool SameTextIgnoringCase(TextView a, TextView b) {
    return orvalen::SameTextIgnoringCase(a, b);
  }
};
static_assert(BuildPolicy<CurrentBuild>);

}  // namespace orvalen
