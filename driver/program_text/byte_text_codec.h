// The legacy program's part-program text: the file's bytes are the text, one
// byte one character. Nothing is decoded or encoded, and a byte-order mark is
// just the first bytes of the first line.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "driver/program_text/text_buffer.h"

namespace orvalen {

class ByteTextDecoder {
 public:
  bool Feed(std::string_view bytes, TextBuffer<char>& out) {
    if (!bytes.empty()) std::memcpy(out.AppendSpace(bytes.size()), bytes.data(), bytes.size());
    out.Commit(bytes.size());
    return true;
  }
  bool Finish(TextBuffer<char>&) { return true; }
  // The bytes are the text: they may be read straight into its room.
  char* DirectRoom(TextBuffer<char>& out, std::size_t bytes) { return out.AppendSpace(bytes); }
  void CommitDirect(std::size_t bytes, TextBuffer<char>& out) { out.Commit(bytes); }
};

class ByteTextEncoder {
 public:
  std::string_view ByteOrderMark() const { return {}; }
  static constexpr std::size_t kMaxBytesPerUnit = 1;
  char* Encode(std::string_view text, char* out) const {
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
    return out + text.size();
  }
  std::uint64_t Measure(std::string_view text) const { return text.size(); }
  // The text is the bytes: it may be written as it lies.
  bool WritesTextAsIs() const { return true; }
};

}  // namespace orvalen
