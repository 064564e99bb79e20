// Runs the subroutine pass of both programs over arbitrary part programs,
// answering the question as the first input byte says. The pass may end in
// one of the failures of the report; it must never do anything else wrong,
// and it never changes the number of lines. Every line shifted quietly, in
// one replacement, must come out as from the shift of X and then of Y, with
// no message.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "nc/quiet_shift.h"
#include "reference/optimize_subroutines.h"
#include "tests/memory_lines.h"
#include "tools/codepage1252.h"
#include "tools/failure.h"

namespace orvalen::fuzz {
namespace {

// The lines of a program, split at LF, the bytes read as Windows-1252 by the
// current program. (Loading from a file is the line-list target's part; here
// every run is spent in the pass.)
template <BuildPolicy Build>
testing::MemoryLines<Build> LinesOf(std::string_view program) {
  testing::MemoryLines<Build> lines;
  for (;;) {
    const std::size_t end = program.find('\n');
    const std::string_view line = program.substr(0, end);
    if constexpr (sizeof(typename Build::Char) == 1) {
      lines.Add(line);
    } else {
      lines.Add(DecodeCp1252(line));
    }
    if (end == std::string_view::npos) break;
    program.remove_prefix(end + 1);
  }
  return lines;
}

template <BuildPolicy Build>
void Pass(std::uint8_t script, std::string_view program) {
  testing::MemoryLines<Build> lines = LinesOf<Build>(program);
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

template <BuildPolicy Build>
void CompareQuietShift(std::uint8_t script, std::string_view program) {
  // Offsets from the script byte, ties at the third decimal among them.
  const double dx = -7.125 * (script % 16);
  const double dy = 3.0625 * (script / 16) + 0.0005;
  const PassWords<Build> words;
  testing::MemoryLines<Build> one_by_one = LinesOf<Build>(program);
  ScriptedDialogs<Build> dialogs(0);
  typename Build::Text out;
  for (std::int32_t i = 0; i < one_by_one.Count(); ++i) {
    const auto quiet = ShiftTextQuietly<Build>(words, one_by_one.Strings(i), dx, dy, out);
    if (!quiet) continue;
    const typename Build::Text shifted(*quiet);
    try {
      ShiftLine<Build>(words, one_by_one, i, dx, dy, dialogs);
    } catch (...) {
      std::abort();
    }
    if (dialogs.Messages() != 0 || shifted != one_by_one.Strings(i)) std::abort();
  }
}

}  // namespace
}  // namespace orvalen::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvalen::fuzz::InputReader input(data, size);
  const std::uint8_t script = input.Byte();
  orvalen::fuzz::Pass<orvalen::CurrentBuild>(script, input.Rest());
  orvalen::fuzz::Pass<orvalen::LegacyBuild>(script, input.Rest());
  orvalen::fuzz::CompareQuietShift<orvalen::CurrentBuild>(script, input.Rest());
  orvalen::fuzz::CompareQuietShift<orvalen::LegacyBuild>(script, input.Rest());
  return 0;
}
