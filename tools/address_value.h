// Reading and rewriting the number after an address letter in one line of a
// part program (unit VantrelTools), for both programs through their policy.
//   ReadAddressValue("X", "G0 X12.5 Y-3")        -> 12.5
//   ReadAddressValue("X", "G1 Y5")               -> kValueAbsent (-9999)
//   ShiftAddressValue("X", "G1 X5 F200", -7.25)  -> "G1 F200"
//   ShiftAddressValue("X", "X 12", 1)            -> "X1 12", after the message
//                                                   "Error during convert Number:X 12"
//   FormatCoordinate(-0.0004)                    -> "0"
//   NormalizeNumberText("  1.500 ")              -> "1.5"
// Only the first occurrence of the letter counts, found case-sensitively. The
// number text is the leading run of number characters ("+", "-", ".", "0" to
// "9") within the 255 characters after the letter; it need not form a valid
// number, and a failed conversion still gives its partial value.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "tools/build_policy.h"
#include "tools/dialogs.h"
#include "tools/fixed_format.h"
#include "tools/text_ops.h"

namespace orvalen {

// The value read when the letter does not occur in the line. A line holding
// the number -9999 reads the same.
inline constexpr double kValueAbsent = -9999;

// The number text and suffix are taken from at most this many characters
// after the letter.
inline constexpr std::int64_t kAddressTailLength = 255;

template <typename Char>
constexpr bool IsNumberCharacter(Char c) {
  return c == Char('+') || c == Char('-') || c == Char('.') || (c >= Char('0') && c <= Char('9'));
}

// A line cut around the first occurrence of the letter; the pieces joined in
// order give the line back.
template <typename Char>
struct AddressPieces {
  std::basic_string_view<Char> prefix;       // up to and including the letter
  std::basic_string_view<Char> number_text;  // leading number characters of the tail
  std::basic_string_view<Char> suffix;       // the rest of the tail
  std::basic_string_view<Char> beyond_tail;  // what follows the 255-character tail
};

template <typename Char>
std::optional<AddressPieces<Char>> CutAtAddress(std::basic_string_view<Char> letter,
                                                std::basic_string_view<Char> line) {
  const std::int64_t position = FirstOccurrence(letter, line);
  if (position == 0) return std::nullopt;
  const auto tail_start = position + static_cast<std::int64_t>(letter.size());
  const auto tail = CopySubstring(line, tail_start, kAddressTailLength);
  std::size_t number_length = 0;
  while (number_length < tail.size() && IsNumberCharacter(tail[number_length])) ++number_length;
  const auto prefix_length = static_cast<std::size_t>(tail_start - 1);
  return AddressPieces<Char>{line.substr(0, prefix_length), tail.substr(0, number_length),
                             tail.substr(number_length), line.substr(prefix_length + tail.size())};
}

template <BuildPolicy Build>
double ReadAddressValue(typename Build::TextView letter, typename Build::TextView line) {
  const auto pieces = CutAtAddress(letter, line);
  if (!pieces) return kValueAbsent;
  return Build::ConvertNumberText(pieces->number_text).value;
}

// Trims the text and drops the zeros after a point and then a trailing point;
// a text whose value is zero becomes "0". "100" keeps its zeros, "3." gives
// "3", "-0.000" gives "0". A text with an exponent keeps its digits: its
// trailing zeros belong to the exponent.
template <BuildPolicy Build>
typename Build::Text NormalizeNumberText(typename Build::TextView text) {
  using Char = typename Build::Char;
  auto tidy = Trim(text);
  if (Build::ConvertNumberText(tidy).value == 0) return typename Build::Text(1, Char('0'));
  const bool has_exponent = tidy.find_first_of(Widen<Char>("Ee")) != tidy.npos;
  if (tidy.find(Char('.')) != tidy.npos && !has_exponent) {
    while (!tidy.empty() && tidy.back() == Char('0')) tidy.remove_suffix(1);
  }
  if (!tidy.empty() && tidy.back() == Char('.')) tidy.remove_suffix(1);
  return typename Build::Text(tidy);
}

// The coordinate normal form: at most three decimals, rounded by the
// program's fixed-point formatting, without trailing zeros or point, zero
// (of either sign) as "0". 7.5 -> "7.5", 100 -> "100", -0.0004 -> "0".
// Values whose formatting would take the exponent form are written as plain
// digits instead, so that the line can be read back: 1e36 -> "1" and 36
// zeros, 1e-36 -> "0". (Coordinates stay far below 1e300; from about 1e306
// on, reading the text back for the zero test overflows and raises EOverflow
// in the current program.)
template <BuildPolicy Build>
typename Build::Text FormatCoordinate(double value) {
  const auto formatted = Build::FormatFixedPoint(value, ExponentForm::kNever);
  const auto wide = Widen<typename Build::Char>(formatted);
  return NormalizeNumberText<Build>(wide);
}

// Adds the offset to the number after the first occurrence of the letter and
// writes the sum back in the coordinate normal form; everything around the
// number stays as it was, also beyond the 255 characters after the letter. A
// line without the letter comes back unchanged. A number text that does not
// convert is told through dialogs ("Error during convert Number:" and the
// line) and the shift goes on with the partial value of the conversion.
template <BuildPolicy Build>
typename Build::Text ShiftAddressValue(typename Build::TextView letter,
                                       typename Build::TextView line, double offset,
                                       Dialogs<Build>& dialogs) {
  using Text = typename Build::Text;
  const auto pieces = CutAtAddress(letter, line);
  if (!pieces) return Text(line);
  const auto number = Build::ConvertNumberText(pieces->number_text);
  if (number.error_position != 0) {
    Text message = Widen<typename Build::Char>("Error during convert Number:");
    message += line;
    dialogs.ShowMessage(message);
  }
  Text result(pieces->prefix);
  result += FormatCoordinate<Build>(Build::AddOffset(number.value, offset));
  result += pieces->suffix;
  result += pieces->beyond_tail;
  return result;
}

}  // namespace orvalen
