// Runs the subroutine pass of both programs over arbitrary part programs,
// answering the question as the first input byte says. The pass may end in
// one of the failures of the report; it must never do anything else wrong,
// and it never changes the number of lines.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "driver/text_file/line_list_rules.h"
#include "fuzz/fuzz_support.h"
#include "legacy/legacy_line_list_rules.h"
#include "nc/optimize_subroutines.h"
#include "tools/codepage1252.h"
#include "tools/failure.h"

namespace orvalen::fuzz {
namespace {

// The lines of a program in memory, with the list's index failure; split at
// LF, the bytes read as Windows-1252 by the current program. (Loading from a
// file is the line-list target's part; here every run is spent in the pass.)
template <class Build>
class MemoryLines {
 public:
  explicit MemoryLines(std::string_view program) {
    for (;;) {
      const std::size_t end = program.find('\n');
      const std::string_view line = program.substr(0, end);
      if constexpr (sizeof(typename Build::Char) == 1) {
        lines_.emplace_back(line);
      } else {
        lines_.push_back(DecodeCp1252(line));
      }
      if (end == std::string_view::npos) break;
      program.remove_prefix(end + 1);
    }
  }
  std::int32_t Count() const { return static_cast<std::int32_t>(lines_.size()); }
  typename Build::TextView Strings(std::int64_t index) const {
    Check(index);
    return lines_[static_cast<std::size_t>(index)];
  }
  void SetStrings(std::int64_t index, typename Build::TextView text) {
    Check(index);
    lines_[static_cast<std::size_t>(index)].assign(text);
  }

 private:
  void Check(std::int64_t index) const {
    if (index < 0 || index >= Count())
      Raise<EStringListError>(LineListRules<Build>::ListIndexMessage(index));
  }
  std::vector<typename Build::Text> lines_;
};

template <class Build>
void Pass(std::uint8_t script, std::string_view program) {
  MemoryLines<Build> lines(program);
  const std::int32_t before = lines.Count();
  ScriptedDialogs<Build> dialogs(script);
  try {
    const std::int32_t count = OptimizeSubroutines<Build>(lines, dialogs);
    if (count < 0 || count > kSubroutineSlots) std::abort();
  } catch (const EStringListError&) {
  } catch (const ERangeError&) {
  } catch (const EInvalidOp&) {
  } catch (const EOverflow&) {
  }
  if (lines.Count() != before) std::abort();
}

}  // namespace
}  // namespace orvalen::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvalen::fuzz::InputReader input(data, size);
  const std::uint8_t script = input.Byte();
  orvalen::fuzz::Pass<orvalen::CurrentBuild>(script, input.Rest());
  orvalen::fuzz::Pass<orvalen::LegacyBuild>(script, input.Rest());
  return 0;
}
