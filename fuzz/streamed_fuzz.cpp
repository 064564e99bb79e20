// Runs both programs' streamed rewrite and the plain reference on arbitrary
// part programs, saved beside themselves (reference/compare_with_reference.h),
// and aborts where the two differ: in the bytes saved, the texts shown or
// the failure. The first input byte gives the answer, the window size and
// whether windows of a few lines are split between two threads, so that
// lines, breaks and encodings meet the windows' edges.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "driver/rewrite/rewrite_program.h"
#include "fuzz/fuzz_support.h"
#include "legacy/legacy_build.h"
#include "legacy/legacy_program_text_rules.h"
#include "reference/compare_with_reference.h"
#include "reference/line_list.h"
#include "reference/optimize_subroutines.h"
#include "reference/program_file.h"
#include "tests/recording_dialogs.h"
#include "tests/test_support.h"
#include "tools/current_build.h"

namespace orvalen::fuzz {
namespace {

template <BuildPolicy Build>
void Compare(const std::string& folder, int answer, const RewriteSettings& settings) {
  const std::string part = folder + "/part.nc";
  const std::string out = folder + "/part.tax";
  if (!(testing::ReferenceRun<Build>(part, out, answer) ==
        testing::StreamedRun<Build>(part, out, answer, settings)))
    std::abort();
}

}  // namespace
}  // namespace orvalen::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string folder = [] {
    static const orvalen::testing::ScratchFolder scratch;
    return scratch.Path();
  }();
  orvalen::fuzz::InputReader input(data, size);
  const std::uint8_t script = input.Byte();
  orvalen::testing::WriteBytes(folder + "/part.nc", input.Rest());
  static const std::size_t kWindows[] = {1, 2, 3, 5, 16, 64, 4096, std::size_t{1} << 20};
  orvalen::RewriteSettings settings;
  settings.window_bytes = kWindows[script % 8];
  if (script & 0x40) settings.lines_worth_two_threads = 3;
  const int answer = script & 0x80 ? orvalen::kAnswerNo : orvalen::kAnswerYes;
  orvalen::fuzz::Compare<orvalen::CurrentBuild>(folder, answer, settings);
  orvalen::fuzz::Compare<orvalen::LegacyBuild>(folder, answer, settings);
  return 0;
}
