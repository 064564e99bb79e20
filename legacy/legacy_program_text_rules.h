// The legacy program's part-program text: the file's bytes are the text, byte-order
// marks included, and the failures are worded in English. The messages are
// single-byte text; they reach the failure as the code units of those bytes
// in Windows-1252, so the report gives back exactly these bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/program_text/byte_text_codec.h"
#include "driver/program_text/program_text_rules.h"
#include "legacy/legacy_build.h"
#include "tools/codepage1252.h"

namespace orvalen {

template <>
struct ProgramTextRules<LegacyBuild> {
  using Decoder = ByteTextDecoder;
  using Encoder = ByteTextEncoder;
  static constexpr bool kHasEncoding = false;

  // "File /home/u/a.nc could not be opened. No such file or directory"
  static std::u16string OpenFailureMessage(std::string_view full_path,
                                           std::string_view error_text) {
    return DecodeCp1252("File " + std::string(full_path) + " could not be opened. " +
                        std::string(error_text));
  }
  // "File "/home/u/a.nc" could not be created. Permission denied"
  static std::u16string CreateFailureMessage(std::string_view full_path,
                                             std::string_view error_text) {
    return DecodeCp1252("File \"" + std::string(full_path) + "\" could not be created. " +
                        std::string(error_text));
  }
  static std::u16string WriteFailureMessage() { return u"Stream write error"; }
  static std::u16string EncodingFailureMessage() { return {}; }  // never raised
  // "List index out of bounds (-2)"
  static std::u16string ListIndexMessage(std::int64_t index) {
    return DecodeCp1252("List index out of bounds (" + std::to_string(index) + ")");
  }
};

}  // namespace orvalen
