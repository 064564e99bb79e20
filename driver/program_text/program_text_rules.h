// What the two programs' part-program text does differently: the current
// program decodes a file by its byte-order mark into UTF-16 and words its
// file failures in German; the legacy program
// (legacy/legacy_program_text_rules.h) keeps bytes and words them in
// English. Everything else is written once over the build policy.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/program_text/program_text_codec.h"
#include "tools/build_policy.h"
#include "tools/current_build.h"

namespace orvalen {

template <BuildPolicy Build>
struct ProgramTextRules;

template <>
struct ProgramTextRules<CurrentBuild> {
  using Decoder = ProgramTextDecoder;
  using Encoder = ProgramTextEncoder;
  static constexpr bool kHasEncoding = true;

  // "Datei /home/u/a.nc kann nicht geöffnet werden. No such file or directory"
  static std::u16string OpenFailureMessage(std::string_view full_path, std::string_view error_text);
  // "Datei "/home/u/a.nc" kann nicht erstellt werden. Permission denied"
  static std::u16string CreateFailureMessage(std::string_view full_path,
                                             std::string_view error_text);
  static std::u16string WriteFailureMessage();
  static std::u16string EncodingFailureMessage();
  // "Listenindex außerhalb des gültigen Bereichs (-2)"
  static std::u16string ListIndexMessage(std::int64_t index);
};

}  // namespace orvalen
