#include "driver/dialogs/application_title.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

namespace orvalen {

// Lower case one character at a time, by the simple Unicode mapping, so a
// character never turns into several.
std::u16string ApplicationTitle(std::u16string_view file_name) {
  const std::u16string_view name = file_name.substr(0, file_name.find(u'.'));
  std::u16string title;
  title.reserve(name.size());
  std::size_t i = 0;
  while (i < name.size()) {
    const std::size_t start = i;
    UChar32 c = 0;
    U16_NEXT(name.data(), i, name.size(), c);
    if (start == 0) {
      title.append(name.substr(0, i));
      continue;
    }
    const UChar32 lower = u_tolower(c);
    if (U_IS_BMP(lower)) {
      title += static_cast<char16_t>(lower);
    } else {
      title += static_cast<char16_t>(U16_LEAD(lower));
      title += static_cast<char16_t>(U16_TRAIL(lower));
    }
  }
  return title;
}

}  // namespace orvalen
