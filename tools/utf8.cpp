#include "tools/utf8.h"

#include <unicode/unistr.h>

namespace orvalen {

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  icu::UnicodeString(false, text.data(), static_cast<int32_t>(text.size())).toUTF8String(out);
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  const icu::UnicodeString u = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  return std::u16string(u.getBuffer(), static_cast<std::size_t>(u.length()));
}

}  // namespace orvalen
