// The build policy of the legacy program, OrvalenLegacy: texts are bytes in
// the system code page (Windows-1252), and intermediate results are x87
// extended values that are rounded to doubles when they are stored.
#pragma once

#include <string>
#include <string_view>

#include "legacy/legacy_fixed_format.h"
#include "legacy/legacy_number_text.h"
#include "tools/build_policy.h"
#include "tools/case_compare.h"
#include "tools/checked_arithmetic.h"

namespace orvalen {

struct LegacyBuild {
  using Char = char;
  using Text = std::string;
  using TextView = std::string_view;

  static NumberText ConvertNumberText(TextView text) { return LegacyConvertNumberText(text); }
  static std::string FormatFixedPoint(double value, ExponentForm form) {
    return LegacyFormatFixedPoint(value, form);
  }
  static std::size_t WriteFixedPoint(double value, ExponentForm form, FixedPointChars out) {
    return LegacyWriteFixedPoint(value, form, out);
  }
  // value + offset formed with a 64-bit significand, then stored as a double.
  static double AddOffset(double value, double offset) {
    return StoreAsDouble(CheckedAdd<long double>(value, offset));
  }
  static bool SameTextIgnoringCase(TextView a, TextView b) {
    return orvalen::SameTextIgnoringCase(a, b);
  }
};
static_assert(BuildPolicy<LegacyBuild>);

}  // namespace orvalen
