// What a build policy gives the templates that serve both programs: the text
// types of its program and the few number and text rules in which the two
// programs differ. CurrentBuild (tools/current_build.h) and LegacyBuild
// (legacy/legacy_build.h) are the two policies.
#pragma once

#include <concepts>
#include <string>
#include <string_view>

#include "tools/fixed_format.h"
#include "tools/number_text.h"

namespace orvalen {

template <class Build>
concept BuildPolicy = std::same_as<typename Build::Text, std::basic_string<typename Build::Char>> &&
    std::same_as<typename Build::TextView, std::basic_string_view<typename Build::Char>> &&
    requires(typename Build::TextView text, double value, ExponentForm form,
             FixedPointChars chars) {
  // Reads the leading number of a text the way the program's number
  // conversion does, with where it stopped.
  { Build::ConvertNumberText(text) } -> std::same_as<NumberText>;
  // The program's fixed-point formatting, as ASCII.
  { Build::FormatFixedPoint(value, form) } -> std::same_as<std::string>;
  // The same, written into a buffer without allocating; gives the length.
  { Build::WriteFixedPoint(value, form, chars) } -> std::same_as<std::size_t>;
  // value + offset, rounded the way the program stores the sum.
  { Build::AddOffset(value, value) } -> std::same_as<double>;
  // Keyword, name and settings-key comparison.
  { Build::SameTextIgnoringCase(text, text) } -> std::same_as<bool>;
};

}  // namespace orvalen
