// Case-insensitive comparison of two texts, as subroutine names are matched:
// Unicode default case folding (so "Ä" equals "ä" and "ß" equals "SS"), every
// code unit taking part, a NUL included. Texts of ASCII only take a fast path
// that folds the letters A-Z. The single-byte form reads its bytes as
// Windows-1252 first.
#pragma once

#include <string_view>

namespace orvalen {

bool SameTextIgnoringCase(std::u16string_view a, std::u16string_view b);
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace orvalen
