// The build policy of the legacy program, OrvalenLegacy: texts are bytes in
// the system code page (Windows-1252), and intermediate results are extended
// values (legacy/legacy_extended.h) that are rounded to doubles when they are
// stored. LegacyBuildIn<Ext> computes in either extended type; the program
// is LegacyBuild, in LegacyExtended.
#pragma once

#include <string>
#include <string_view>

#include "legacy/legacy_extended.h"
#include "legacy/legacy_fixed_format.h"
#include "legacy/legacy_number_text.h"
#include "tools/build_policy.h"
#include "tools/case_compare.h"
#include "tools/checked_arithmetic.h"

namespace orvalen {

template <typename Ext>
struct LegacyBuildIn {
  using Char = char;
  using Text = std::string;
  using TextView = std::string_view;

  static NumberText ConvertNumberText(TextView text) {
    return LegacyConvertNumberTextIn<Ext>(text);
  }
  static std::string FormatFixedPoint(double value, ExponentForm form) {
    return LegacyFormatFixedPointIn<Ext>(value, form);
  }
  static std::size_t WriteFixedPoint(double value, ExponentForm form, FixedPointChars out) {
    return LegacyWriteFixedPointIn<Ext>(value, form, out);
  }
  // value + offset formed with a 64-bit significand, then stored as a double.
  static double AddOffset(double value, double offset) {
    return StoreAsDouble(CheckedAdd<Ext>(value, offset));
  }
  static bool SameTextIgnoringCase(TextView a, TextView b) {
    return orvalen::SameTextIgnoringCase(a, b);
  }
};

using LegacyBuild = LegacyBuildIn<LegacyExtended>;
static_assert(BuildPolicy<LegacyBuild>);

}  // namespace orvalen
