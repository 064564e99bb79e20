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

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
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

// Drops the zeros after a point and then a trailing point. A text with an
// exponent keeps its digits: its trailing zeros belong to the exponent.
template <typename Char>
std::basic_string_view<Char> WithoutTrailingZeros(std::basic_string_view<Char> text) {
  bool has_point = false;
  bool has_exponent = false;
  for (const Char c : text) {
    has_point |= c == Char('.');
    has_exponent |= c == Char('E') || c == Char('e');
  }
  if (has_point && !has_exponent) {
    while (!text.empty() && text.back() == Char('0')) text.remove_suffix(1);
  }
  if (!text.empty() && text.back() == Char('.')) text.remove_suffix(1);
  return text;
}

// The part of a number text that is its normal form: trimmed and without
// trailing zeros; nothing when its value is zero, whose normal form is "0".
template <BuildPolicy Build>
std::optional<typename Build::TextView> NormalPart(typename Build::TextView text) {
  const auto tidy = Trim(text);
  if (Build::ConvertNumberText(tidy).value == 0) return std::nullopt;
  return WithoutTrailingZeros(tidy);
}

// Trims the text and drops the zeros after a point and then a trailing point;
// a text whose value is zero becomes "0". "100" keeps its zeros, "3." gives
// "3", "-0.000" gives "0".
template <BuildPolicy Build>
typename Build::Text NormalizeNumberText(typename Build::TextView text) {
  const auto part = NormalPart<Build>(text);
  if (!part) return typename Build::Text(1, typename Build::Char('0'));
  return typename Build::Text(*part);
}

// The longest fixed-point text of a coordinate that is tidied without being
// read back. A longer one (a value from about 1e296 on) is read back, which
// overflows, as the program always did, from about 1e306 on.
inline constexpr std::size_t kLongestPlainCoordinate = 300;

// Writes the coordinate normal form of the value at `out` and returns the
// end of what it wrote (at most kFixedPointCapacity characters): at most
// three decimals, rounded by the program's fixed-point formatting, without
// trailing zeros or point, zero (of either sign) as "0". 7.5 -> "7.5",
// 100 -> "100", -0.0004 -> "0". Values whose formatting would take the
// exponent form are written as plain digits instead, so that the line can be
// read back: 1e36 -> "1" and 36 zeros, 1e-36 -> "0". (Coordinates stay far
// below 1e300; from about 1e306 on, reading the text back for the zero test
// overflows and raises EOverflow in the current program.) The one place
// where a coordinate meets the formatter.
template <BuildPolicy Build>
typename Build::Char* WriteCoordinate(double value, typename Build::Char* out) {
  using Char = typename Build::Char;
  using TextView = typename Build::TextView;
  char formatted[kFixedPointCapacity];
  const std::size_t length = Build::WriteFixedPoint(value, ExponentForm::kNever, formatted);
  const std::string_view text(formatted, length);
  if (length <= kLongestPlainCoordinate) {
    // Plain fixed-point text reads back as zero exactly when all its digits
    // are zeros; below this length reading it cannot overflow either.
    const auto nonzero = [](char c) { return c >= '1' && c <= '9'; };
    if (std::none_of(text.begin(), text.end(), nonzero)) {
      *out = Char('0');
      return out + 1;
    }
    const std::string_view part = WithoutTrailingZeros(Trim(text));
    return std::copy(part.begin(), part.end(), out);
  }
  Char* const end = std::copy(text.begin(), text.end(), out);
  const std::optional<TextView> part =
      NormalPart<Build>(TextView(out, static_cast<std::size_t>(end - out)));
  if (!part) {
    *out = Char('0');
    return out + 1;
  }
  // The normal form lies inside what was written; it moves to its start.
  std::char_traits<Char>::move(out, part->data(), part->size());
  return out + part->size();
}

// Appends the coordinate normal form of the value to `out`. Once `out` has
// grown to its longest line this allocates nothing.
template <BuildPolicy Build>
void AppendCoordinate(double value, typename Build::Text& out) {
  const std::size_t at = out.size();
  out.resize(at + kFixedPointCapacity);
  const auto* const end = WriteCoordinate<Build>(value, out.data() + at);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

// The coordinate normal form as a text of its own.
template <BuildPolicy Build>
typename Build::Text FormatCoordinate(double value) {
  typename Build::Text text;
  AppendCoordinate<Build>(value, text);
  return text;
}

// Adds the offset to the number after the first occurrence of the letter and
// writes the sum back in the coordinate normal form; everything around the
// number stays as it was, also beyond the 255 characters after the letter. A
// number text that does not convert is told through dialogs ("Error during
// convert Number:" and the line) and the shift goes on with the partial value
// of the conversion. The shifted line replaces what `out` held; a line
// without the letter gives false and leaves `out` alone. `out` is the
// caller's to reuse, so that shifting line after line allocates nothing; it
// must not be the text that `line` views.
template <BuildPolicy Build>
bool ShiftAddressValueInto(typename Build::TextView letter, typename Build::TextView line,
                           double offset, Dialogs<Build>& dialogs, typename Build::Text& out) {
  const auto pieces = CutAtAddress(letter, line);
  if (!pieces) return false;
  const auto number = Build::ConvertNumberText(pieces->number_text);
  if (number.error_position != 0) {
    typename Build::Text message = Widen<typename Build::Char>("Error during convert Number:");
    message += line;
    dialogs.ShowMessage(message);
  }
  const double sum = Build::AddOffset(number.value, offset);
  out.assign(pieces->prefix);
  AppendCoordinate<Build>(sum, out);
  out += pieces->suffix;
  out += pieces->beyond_tail;
  return true;
}

// The same, giving the shifted line; a line without the letter comes back
// unchanged.
template <BuildPolicy Build>
typename Build::Text ShiftAddressValue(typename Build::TextView letter,
                                       typename Build::TextView line, double offset,
                                       Dialogs<Build>& dialogs) {
  typename Build::Text shifted;
  if (!ShiftAddressValueInto<Build>(letter, line, offset, dialogs, shifted))
    return typename Build::Text(line);
  return shifted;
}

}  // namespace orvalen
