// The number rules of both programs on arbitrary texts and values: the
// number-text conversion, the fixed-point formatting, and the shift of an
// address value by an offset. A coordinate that is written must read back
// without a conversion error and within half a thousandth of its value, and
// the conversion and the formatting must give exactly what their reference
// versions (the first, string-based ones) give.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "legacy/legacy_build.h"
#include "legacy/number_reference/legacy_fixed_format_reference.h"
#include "legacy/number_reference/legacy_number_text_reference.h"
#include "tools/address_value.h"
#include "tools/codepage1252.h"
#include "tools/current_build.h"
#include "tools/failure.h"
#include "tools/number_reference/fixed_format_reference.h"
#include "tools/number_reference/number_text_reference.h"

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

// The reference versions of the primitives, per program.
struct CurrentReference {
  static NumberText Convert(std::u16string_view text) { return reference::ConvertNumberText(text); }
  static std::string Format(double value, ExponentForm form) {
    return reference::FormatFixedPoint(value, form);
  }
};
struct LegacyReference {
  static NumberText Convert(std::string_view text) {
    return reference::LegacyConvertNumberText(text);
  }
  static std::string Format(double value, ExponentForm form) {
    return reference::LegacyFormatFixedPoint(value, form);
  }
};

// The failure a call raises, or none.
const char* FailureOf(const auto& call) {
  try {
    call();
    return "";
  } catch (const Failure& failure) {
    return failure.KindName();
  }
}

template <BuildPolicy Build, class Reference>
void SameAsReference(double value, typename Build::TextView text) {
  NumberText converted{}, expected{};
  const char* failure = FailureOf([&] { converted = Build::ConvertNumberText(text); });
  if (std::strcmp(failure, FailureOf([&] { expected = Reference::Convert(text); })) != 0) {
    std::abort();
  }
  if (std::memcmp(&converted.value, &expected.value, sizeof(double)) != 0 ||
      converted.error_position != expected.error_position) {
    std::abort();
  }
  for (const ExponentForm form : {ExponentForm::kAllowed, ExponentForm::kNever}) {
    const std::string formatted = Reference::Format(value, form);
    char written[kFixedPointCapacity];
    const std::size_t length = Build::WriteFixedPoint(value, form, written);
    if (Build::FormatFixedPoint(value, form) != formatted ||
        std::string_view(written, length) != formatted) {
      std::abort();
    }
  }
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
  const auto wide = orvalen::fuzz::AsText<orvalen::CurrentBuild>(input.Rest());
  orvalen::fuzz::SameAsReference<orvalen::CurrentBuild, orvalen::fuzz::CurrentReference>(value,
                                                                                         wide);
  orvalen::fuzz::SameAsReference<orvalen::LegacyBuild, orvalen::fuzz::LegacyReference>(
      value, input.Rest());
  return 0;
}
