// The settings file beside the executable: a profile text of "[section]"
// headers and "key=value" lines, only ever read. A missing or unreadable
// file, section or key gives the default; nothing here fails or shows a
// message. Section and key names match without regard to case, blanks around
// names and values are dropped, a value in matching quotes loses them, and
// lines starting with ";" are comments. The first matching key counts.
#pragma once

#include <cstdint>
#include <string>

#include "driver/integer_text.h"
#include "tools/build_policy.h"
#include "tools/text_ops.h"

namespace orvalen {

// The file's text: bytes for the single-byte program (after a UTF-8 mark,
// if any); for the current one decoded as a part program is (byte-order
// mark, else Windows-1252), ill-formed text reading as an empty file.
std::u16string DecodeSettingsText(const std::string& bytes, char16_t);
std::string DecodeSettingsText(const std::string& bytes, char);
// The whole file, or nothing when it cannot be read.
std::string ReadSettingsBytes(const std::string& path);

// Value texts are cut to this many characters.
inline constexpr std::size_t kSettingsValueLimit = 2047;

// ReadString and ReadInteger are the system's own names, kept as they are.
template <BuildPolicy Build>
class SettingsFile {
 public:
  using Text = typename Build::Text;
  using TextView = typename Build::TextView;
  using Char = typename Build::Char;

  // Touches no file: the file is read at each query.
  explicit SettingsFile(std::string path) : path_(std::move(path)) {}

  Text ReadString(TextView section, TextView ident, TextView default_value) const {
    const Text text = DecodeSettingsText(ReadSettingsBytes(path_), Char{});
    const TextView all(text);
    bool in_section = false;
    std::size_t start = 0;
    while (start < all.size()) {
      std::size_t end = all.find_first_of(Widen<Char>("\r\n"), start);
      if (end == TextView::npos) end = all.size();
      const TextView line = Trim(all.substr(start, end - start));
      start = end + 1;
      if (!line.empty() && line.front() == Char('[')) {
        const std::size_t close = line.find(Char(']'));
        const TextView name = line.substr(1, close == TextView::npos ? TextView::npos : close - 1);
        in_section = Build::SameTextIgnoringCase(Trim(name), section);
        continue;
      }
      if (!in_section || line.empty() || line.front() == Char(';')) continue;
      const std::size_t equals = line.find(Char('='));
      if (equals == TextView::npos ||
          !Build::SameTextIgnoringCase(Trim(line.substr(0, equals)), ident))
        continue;
      TextView value = Trim(line.substr(equals + 1));
      if (value.size() >= 2 && (value.front() == Char('"') || value.front() == Char('\'')) &&
          value.back() == value.front())
        value = value.substr(1, value.size() - 2);
      return Text(value.substr(0, kSettingsValueLimit));
    }
    return Text(default_value);
  }

  std::int32_t ReadInteger(TextView section, TextView ident, std::int32_t default_value) const {
    const Text text = ReadString(section, ident, TextView());
    return ParseIntegerText(TextView(text)).value_or(default_value);
  }

 private:
  std::string path_;
};

}  // namespace orvalen
