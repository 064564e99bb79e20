#include "tools/case_compare.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <limits>

#include "tools/codepage1252.h"

namespace orvalen {
namespace {

template <typename Char>
bool AllAscii(std::basic_string_view<Char> text) {
  for (Char c : text)
    if (static_cast<std::make_unsigned_t<Char>>(c) >= 0x80) return false;
  return true;
}

template <typename Char>
bool SameAsciiIgnoringCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  if (a.size() != b.size()) return false;
  const auto fold = [](Char c) { return c >= Char('A') && c <= Char('Z') ? Char(c + 32) : c; };
  for (std::size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

}  // namespace

bool SameTextIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (AllAscii(a) && AllAscii(b)) return SameAsciiIgnoringCase(a, b);
  constexpr std::size_t kMax = std::numeric_limits<int32_t>::max();
  if (a.size() > kMax || b.size() > kMax) return false;  // a failing call: not equal
  UErrorCode status = U_ZERO_ERROR;
  const int32_t order =
      u_strCaseCompare(a.data(), static_cast<int32_t>(a.size()), b.data(),
                       static_cast<int32_t>(b.size()), U_FOLD_CASE_DEFAULT, &status);
  return U_SUCCESS(status) && order == 0;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (AllAscii(a) && AllAscii(b)) return SameAsciiIgnoringCase(a, b);
  return SameTextIgnoringCase(std::u16string_view(DecodeCp1252(a)),
                              std::u16string_view(DecodeCp1252(b)));
}

}  // namespace orvalen
