// LineList: the lines of one part program, loaded whole from a file, read and
// replaced by index, and saved whole; the plain form that the tests compare
// the programs' streamed rewrite with. The programs never use it. One
// template serves both programs; ProgramTextRules says how bytes become
// text and how failures are worded.
//
// The load reads every byte, decodes the whole text at once and cuts it into
// lines one character after the other: CR LF, a lone LF and a lone CR each
// end one line (LF CR ends a line and starts an empty one at the CR), a break
// at the very end makes no empty last line. A line holds no CR or LF; NUL is
// an ordinary character. The save writes every line followed by CR LF, in
// the encoding and with the byte-order mark found by the load, through the
// programs' own safe save (driver/file_access/program_save.h). Files of 2 GiB
// or more are refused with the open failure "File too large".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/file_access/path_texts.h"
#include "driver/file_access/program_file_reading.h"
#include "driver/file_access/program_save.h"
#include "driver/file_access/system_error_text.h"
#include "driver/program_text/program_text_rules.h"
#include "driver/program_text/text_buffer.h"
#include "tools/build_policy.h"
#include "tools/failure.h"

namespace orvalen {

// LoadFromFile, Count, Strings, SetStrings and SaveToFile are the system's own
// names for what a line list does, kept as they are.
template <BuildPolicy Build>
class LineList {
  using Rules = ProgramTextRules<Build>;
  using Char = typename Build::Char;
  using Text = typename Build::Text;
  using TextView = typename Build::TextView;

 public:
  // Replaces the list with the lines of the file at `path` (bytes, as given;
  // relative to the current folder). A failed load leaves the list as it was.
  // `held`, when given, keeps the file that was read, open, with where it
  // is and its stamp as of the open.
  void LoadFromFile(const std::string& path, HeldFile* held = nullptr) {
    ProgramFileReader reader;
    const auto open_failure = [&](int error) {
      Raise<EFOpenError>(Rules::OpenFailureMessage(FullPath(path), SystemErrorText(error)));
    };
    if (const int error = reader.Open(path)) open_failure(error);
    std::string bytes;
    for (;;) {
      char piece[65536];
      std::size_t got = 0;
      if (const int error = reader.Read(piece, sizeof piece, got)) open_failure(error);
      if (got == 0) break;
      bytes.append(piece, got);
    }
    typename Rules::Decoder decoder;
    TextBuffer<Char> decoded;
    if (!decoder.Feed(bytes, decoded) || !decoder.Finish(decoded))
      Raise<EEncodingError>(Rules::EncodingFailureMessage());
    const TextView text(decoded.data(), decoded.size());

    std::vector<Text> lines;
    std::size_t start = 0;
    for (std::size_t k = 0; k < text.size(); ++k) {
      const bool ends = text[k] == Char('\n') ||
                        (text[k] == Char('\r') && (k + 1 == text.size() || text[k + 1] != '\n'));
      if (!ends) continue;
      lines.emplace_back(LineFrom(text, start));
      start = k + 1;
    }
    if (start < text.size()) lines.emplace_back(LineFrom(text, start));

    lines_ = std::move(lines);
    if constexpr (Rules::kHasEncoding) encoding_ = decoder.Encoding();
    if (held != nullptr) reader.Keep(*held);
  }

  std::int32_t Count() const { return static_cast<std::int32_t>(lines_.size()); }
  // The text of line `index`; the view stays valid until that line is
  // replaced or the list is loaded again. EStringListError outside 0..Count-1.
  TextView Strings(std::int64_t index) const {
    Check(index);
    return lines_[static_cast<std::size_t>(index)];
  }
  // Line `index` becomes a copy of `text`, unchanged (not cut into lines
  // again); `text` may be a view of any line of the list, this one included.
  void SetStrings(std::int64_t index, TextView text) {
    Check(index);
    Text copy(text);
    lines_[static_cast<std::size_t>(index)] = std::move(copy);
  }
  // Writes every line followed by CR LF to the file at `path`, within what
  // `guard` allows.
  void SaveToFile(const std::string& path, const SaveGuard& guard = {}) const {
    const auto encoder = [&] {
      if constexpr (Rules::kHasEncoding) {
        return typename Rules::Encoder(encoding_.value_or(TextEncoding::kSystemCodePage));
      } else {
        return typename Rules::Encoder();
      }
    }();
    std::string bytes(encoder.ByteOrderMark());
    static constexpr Char kBreak[] = {Char('\r'), Char('\n')};
    const auto encode = [&](TextView text) {
      std::string encoded(text.size() * Rules::Encoder::kMaxBytesPerUnit, '\0');
      encoded.resize(
          static_cast<std::size_t>(encoder.Encode(text, encoded.data()) - encoded.data()));
      bytes += encoded;
    };
    for (const Text& line : lines_) {
      encode(line);
      encode(TextView(kBreak, 2));
    }
    ProgramSave save;
    save.Begin(path, guard, false);
    save.Put(bytes.data(), bytes.size());
    save.template Complete<Rules>(path);
  }
  // The encoding found by the last load; unset before the first one.
  std::optional<TextEncoding> Encoding() const requires Rules::kHasEncoding { return encoding_; }

 private:
  // The line that starts at `start`: up to the first CR or LF.
  static TextView LineFrom(TextView text, std::size_t start) {
    std::size_t end = start;
    while (end < text.size() && text[end] != Char('\r') && text[end] != Char('\n')) ++end;
    return text.substr(start, end - start);
  }
  void Check(std::int64_t index) const {
    if (index < 0 || index >= Count()) Raise<EStringListError>(Rules::ListIndexMessage(index));
  }

  std::vector<Text> lines_;
  std::optional<TextEncoding> encoding_;
};

}  // namespace orvalen
