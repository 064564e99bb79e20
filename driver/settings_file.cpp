#include "driver/settings_file.h"

#include <algorithm>
#include <cstdint>

#include "driver/file_access/program_file_reading.h"
#include "driver/program_text/program_text_codec.h"
#include "driver/program_text/text_buffer.h"

namespace orvalen {

// Read as a part program is, so a FIFO or a device in its place never holds
// the run up.
std::string ReadSettingsBytes(const std::string& path) {
  ProgramFileReader reader;
  if (reader.Open(path) != 0) return {};
  // A settings file is a few lines; anything beyond a megabyte is no profile.
  constexpr std::size_t kLimit = 1 << 20;
  std::string bytes(std::min<std::uint64_t>(reader.SizeHint() + 1, kLimit), '\0');
  std::size_t got = 0;
  if (reader.Read(bytes.data(), bytes.size(), got) != 0) return {};
  bytes.resize(got);
  return bytes;
}

// Editors often put a UTF-8 mark in front of a settings file; the names and
// values that matter are ASCII, so the bytes after the mark serve as they are.
std::string DecodeSettingsText(const std::string& bytes, char) {
  return bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
}

// The same decoding as a part program's, but a settings file never fails a
// run: text that does not decode reads as an empty file.
std::u16string DecodeSettingsText(const std::string& bytes, char16_t) {
  ProgramTextDecoder decoder;
  TextBuffer<char16_t> text;
  if (!decoder.Feed(bytes, text) || !decoder.Finish(text)) return {};
  return std::u16string(text.data(), text.size());
}

}  // namespace orvalen
