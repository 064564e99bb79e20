// Conversions between UTF-16 and UTF-8, for messages, diagnostics and tests;
// part-program text has its own codecs and never goes through here.
#pragma once

#include <string>
#include <string_view>

namespace orvalen {

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);
// UTF-8 to UTF-16; ill-formed sequences become U+FFFD.
std::u16string FromUtf8(std::string_view text);

}  // namespace orvalen
