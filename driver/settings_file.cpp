#include "driver/settings_file.h"

#include <fstream>
#include <iterator>

#include "tools/codepage1252.h"
#include "tools/failure.h"

namespace orvalen {

std::string ReadSettingsBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  // A settings file is a few lines; anything beyond a megabyte is no profile.
  constexpr std::size_t kLimit = 1 << 20;
  std::string bytes;
  char buffer[4096];
  while (bytes.size() < kLimit && in.read(buffer, sizeof buffer).gcount() > 0)
    bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
  return bytes;
}

// Editors often put a UTF-8 mark in front of a settings file; the names and
// values that matter are ASCII, so the bytes after the mark serve as they are.
std::string DecodeSettingsText(const std::string& bytes, char) {
  return bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
}

std::u16string DecodeSettingsText(const std::string& bytes, char16_t) {
  const auto starts = [&](std::string_view mark) {
    return bytes.compare(0, mark.size(), mark) == 0;
  };
  if (starts("\xEF\xBB\xBF")) return FromUtf8(std::string_view(bytes).substr(3));
  const bool little = starts("\xFF\xFE");
  if (little || starts("\xFE\xFF")) {
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const auto a = static_cast<unsigned char>(bytes[i]);
      const auto b = static_cast<unsigned char>(bytes[i + 1]);
      text += static_cast<char16_t>(little ? a | b << 8 : b | a << 8);
    }
    return text;
  }
  return DecodeCp1252(bytes);
}

}  // namespace orvalen
