// The shift of a line in one go, quietly, on any thread: what ShiftText gives
// when that needs no word to the user, and ShiftText itself otherwise.
//   ShiftTextQuietly("G0 Y2 X1", dx 10, dy -2)  -> "G0 Y0 X11"
//   ShiftTextQuietly("G0 X 12", ...)             -> nothing (ShiftText has a message for it)
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <utility>

#include "nc/subroutine_rules.h"
#include "tools/address_value.h"
#include "tools/build_policy.h"
#include "tools/dialogs.h"
#include "tools/fixed_format.h"

namespace orvalen {

// The text of a line shifted as ShiftText shifts it, made in one go when
// that needs no word to the user: a view of `out`, or of `line` itself when
// it holds neither letter; nothing when a number text does not convert or
// the shift fails. Safe on another thread than the dialogs'.
// Both letters are found in the line as it is: a number text holds no
// letter and ends before the next one, so shifting the number after one
// letter moves neither the first occurrence of the other nor what its number
// text is; the line comes out as from the two shifts one after the other.
template <BuildPolicy Build>
std::optional<typename Build::TextView> ShiftTextQuietly(const PassWords<Build>& words,
                                                         typename Build::TextView line, double dx,
                                                         double dy,
                                                         typename Build::Text& out) noexcept {
  using Char = typename Build::Char;
  using TextView = typename Build::TextView;
  struct Address {
    AddressPieces<Char> pieces;
    double sum;
  };
  try {
    bool converted = true;
    const auto cut = [&](TextView letter, double offset) -> std::optional<Address> {
      auto pieces = CutAtAddress(letter, line);
      if (!pieces) return std::nullopt;
      const auto number = Build::ConvertNumberText(pieces->number_text);
      converted = converted && number.error_position == 0;
      return Address{*pieces, Build::AddOffset(number.value, offset)};
    };
    std::optional<Address> first = cut(words.x, dx);
    std::optional<Address> second = cut(words.y, dy);
    if (!converted) return std::nullopt;
    if (!first && !second) return line;
    if (!first || (second && second->pieces.prefix.size() < first->pieces.prefix.size()))
      std::swap(first, second);
    // Built in place in `out`, which only grows: the line with both numbers
    // at their longest.
    const std::size_t longest = line.size() + 2 * kFixedPointCapacity;
    if (out.size() < longest) out.resize(longest);
    const auto after = [](TextView piece) { return piece.data() + piece.size(); };
    Char* end = std::copy(first->pieces.prefix.begin(), first->pieces.prefix.end(), out.data());
    end = WriteCoordinate<Build>(first->sum, end);
    const Char* rest = after(first->pieces.number_text);
    if (second) {
      end = std::copy(rest, after(second->pieces.prefix), end);
      end = WriteCoordinate<Build>(second->sum, end);
      rest = after(second->pieces.number_text);
    }
    end = std::copy(rest, line.data() + line.size(), end);
    return TextView(out.data(), static_cast<std::size_t>(end - out.data()));
  } catch (...) {
    return std::nullopt;
  }
}

// Shifts one line quietly where it can, else as ShiftText does, with the
// messages and failure that come with it. A view of `line`, `first` or
// `second`.
template <BuildPolicy Build>
typename Build::TextView ShiftRunLine(const PassWords<Build>& words, typename Build::TextView line,
                                      double dx, double dy, Dialogs<Build>& dialogs,
                                      typename Build::Text& first, typename Build::Text& second) {
  if (const auto shifted = ShiftTextQuietly<Build>(words, line, dx, dy, first)) return *shifted;
  return ShiftText<Build>(words, line, dx, dy, dialogs, first, second);
}

}  // namespace orvalen
