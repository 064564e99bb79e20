// The text of one line of a part program in the program's characters, from
// the code units a file's window holds: the units themselves where they are
// those characters (UTF-16, or the legacy program's bytes), else decoded by
// the program's own decoder, which has been given the file's byte-order mark
// so that it decodes as a whole read of the file does.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <type_traits>

#include "driver/program_text/program_text_rules.h"
#include "driver/program_text/text_buffer.h"
#include "tools/build_policy.h"

namespace orvalen {

template <BuildPolicy Build, class Unit>
class LineTexts {
  using Char = typename Build::Char;

 public:
  explicit LineTexts(std::string_view mark) {
    if constexpr (!std::is_same_v<Unit, Char>) decoder_.Feed(mark, scratch_);
  }
  // Nothing when the bytes no longer decode (the file changed).
  std::optional<typename Build::TextView> Of(const Unit* begin, const Unit* end) {
    if constexpr (std::is_same_v<Unit, Char>) {
      return typename Build::TextView(begin, static_cast<std::size_t>(end - begin));
    } else {
      scratch_.Clear();
      if (!decoder_.Feed(std::string_view(begin, static_cast<std::size_t>(end - begin)), scratch_))
        return std::nullopt;
      return typename Build::TextView(scratch_.data(), scratch_.size());
    }
  }

 private:
  typename ProgramTextRules<Build>::Decoder decoder_;
  TextBuffer<Char> scratch_;
};

}  // namespace orvalen
