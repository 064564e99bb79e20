// The encodings of the current program's part-program files, found by their
// byte-order mark (EF BB BF UTF-8, then FF FE UTF-16 little-endian, then
// FE FF big-endian); a file without a mark is Windows-1252, byte for byte.
//
// Decoding: UTF-8 is strict (ill-formed, overlong, surrogate or truncated
// sequences fail); UTF-16 drops a last odd byte, but exactly one byte after
// the mark fails. Encoding writes the same encoding and mark back; unpaired
// surrogates go through UTF-16 unchanged and become U+FFFD in UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "driver/program_text/text_buffer.h"

namespace orvalen {

enum class TextEncoding { kSystemCodePage, kUtf8, kUtf16LittleEndian, kUtf16BigEndian };

// Bytes to UTF-16, fed in pieces of any size in file order.
class ProgramTextDecoder {
 public:
  // The first piece must hold the first three bytes of the file (or all of a
  // shorter file). False when the text is ill-formed.
  bool Feed(std::string_view bytes, TextBuffer<char16_t>& out);
  // After the last piece; false when the text ends ill-formed.
  bool Finish(TextBuffer<char16_t>& out);
  // When the bytes that follow need no decoding (UTF-16 in this machine's
  // byte order, after the first piece), room in `out` into which up to
  // `bytes` of them may be read as they are, else nullptr; CommitDirect then
  // says how many were read. This saves copying them a second time.
  char* DirectRoom(TextBuffer<char16_t>& out, std::size_t bytes);
  void CommitDirect(std::size_t bytes, TextBuffer<char16_t>& out);
  TextEncoding Encoding() const { return encoding_; }
  // The code units of UTF-16 text in `encoding`, read into `units` as the
  // file's bytes lie, put in this machine's byte order in place: what the
  // decoder gives for them. The only place that swaps the bytes of UTF-16.
  static void UnitsInPlace(TextEncoding encoding, char16_t* units, std::size_t count);

 private:
  bool FeedUtf8(const unsigned char* bytes, std::size_t size, TextBuffer<char16_t>& out);
  void FeedUtf16(const unsigned char* bytes, std::size_t size, TextBuffer<char16_t>& out);

  bool started_ = false;
  TextEncoding encoding_ = TextEncoding::kSystemCodePage;
  unsigned char pending_[4] = {};
  std::size_t pending_size_ = 0;
  std::uint64_t bytes_after_mark_ = 0;
};

// UTF-16 lines to bytes.
class ProgramTextEncoder {
 public:
  explicit ProgramTextEncoder(TextEncoding encoding) : encoding_(encoding) {}
  std::string_view ByteOrderMark() const;
  // Most bytes one code unit can take.
  static constexpr std::size_t kMaxBytesPerUnit = 3;
  // Encodes text into out (room for kMaxBytesPerUnit * text.size() bytes) and
  // returns the end. A caller that encodes a line in pieces cuts it between
  // surrogate pairs, never inside one.
  char* Encode(std::u16string_view text, char* out) const;
  // The number of bytes Encode gives for a whole line.
  std::uint64_t Measure(std::u16string_view text) const;
  // True when Encode only copies (UTF-16 in this machine's byte order): the
  // text may then be written as it lies.
  bool WritesTextAsIs() const;

 private:
  TextEncoding encoding_;
};

}  // namespace orvalen
