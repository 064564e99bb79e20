// The number rules of both programs on arbitrary texts and values: the
// number-text conversion, the fixed-point formatting, and the shift of an
// address value by an offset. A coordinate that is written must read back
// without a conversion error and within half a thousandth of its value.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "legacy/legacy_build.h"
#include "tools/address_value.h"
#include "tools/codepage1252.h"
#include "tools/current_build.h"
#include "tools/failure.h"

namespace orvalen::fuzz {
namespace {

template <BuildPolicy Build>
typename Build::Text AsText(std::string_view bytes) {
  if constexpr (sizeof(typename Build::Char) == 1) {
    return std::string(bytes);
  } else {
    return DecodeCp1252(bytes);
  }
}

template <BuildPolicy Build>
void WrittenValueReadsBack(double value) {
  if (!std::isfinite(value) || std::fabs(value) > 1e15) return;
  const auto text = FormatCoordinate<Build>(value);
  const NumberText back = Build::ConvertNumberText(text);
  if (back.error_position != 0) std::abort();
  const double slack = 0.0005 + 4 * std::fabs(std::nextafter(value, INFINITY) - value);
  if (!(std::fabs(back.value - value) <= slack)) std::abort();
}

template <BuildPolicy Build>
void Numbers(double value, double offset, std::uint8_t letter, std::string_view line) {
  using Char = typename Build::Char;
  try {
    Build::ConvertNumberText(AsText<Build>(line));
    Build::FormatFixedPoint(value, ExponentForm::kAllowed);
    Build::FormatFixedPoint(value, ExponentForm::kNever);
    WrittenValueReadsBack<Build>(value);
    const Char letters[] = {Char('G'), Char('X'), Char('Y'), Char(letter)};
    const typename Build::TextView address(&letters[letter % 4], 1);
    const auto text = AsText<Build>(line);
    ScriptedDialogs<Build> dialogs(0);
    const auto shifted = ShiftAddressValue<Build>(address, text, offset, dialogs);
    if (text.find(address[0]) == Build::Text::npos && shifted != text) std::abort();
    ReadAddressValue<Build>(address, shifted);
  } catch (const EOverflow&) {
  } catch (const EInvalidOp&) {
  } catch (const EZeroDivide&) {
  }
}

}  // namespace
}  // namespace orvalen::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvalen::fuzz::InputReader input(data, size);
  const double value = input.Double();
  const double offset = input.Double();
  const std::uint8_t letter = input.Byte();
  orvalen::fuzz::Numbers<orvalen::CurrentBuild>(value, offset, letter, input.Rest());
  orvalen::fuzz::Numbers<orvalen::LegacyBuild>(value, offset, letter, input.Rest());
  return 0;
}
