// Runs both programs' streamed pass and, as the reference, the pass over the
// whole list of lines on arbitrary part programs, saved beside themselves,
// and aborts where the two differ: in the bytes saved, the texts shown or
// the failure. The first input byte gives the answer and the window size,
// so that lines, breaks and encodings meet the windows' edges.
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
#include "reference/line_list.h"
#include "reference/optimize_subroutines.h"
#include "reference/program_file.h"
#include "tests/recording_dialogs.h"
#include "tests/test_support.h"
#include "tools/current_build.h"

namespace orvalen::fuzz {
namespace {

struct Result {
  std::string saved;
  std::vector<std::string> shown;
  std::string failure;
  bool operator==(const Result&) const = default;
};

template <BuildPolicy Build, class Run>
Result Outcome(const std::string& out, int answer, Run&& run) {
  RecordingDialogs<Build> dialogs({answer});
  Result result;
  try {
    run(dialogs);
  } catch (const Failure& failure) {
    result.failure = std::string(failure.KindName()) + ": " + failure.what();
  }
  for (const auto& text : dialogs.Texts())
    result.shown.emplace_back(reinterpret_cast<const char*>(text.data()),
                              text.size() * sizeof(text[0]));
  result.saved = testing::Exists(out) ? testing::ReadBytes(out) : "(none)";
  unlink(out.c_str());
  return result;
}

template <BuildPolicy Build>
void Compare(const std::string& folder, int answer) {
  const std::string part = folder + "/part.nc";
  const std::string out = folder + "/part.tax";
  const Result whole = Outcome<Build>(out, answer, [&](Dialogs<Build>& dialogs) {
    LineList<Build> lines;
    const HeldFile read = LoadProgram(lines, part);
    if (OptimizeSubroutines<Build>(lines, dialogs) > 0) SaveBesideProgram(lines, out, read);
  });
  const Result streamed = Outcome<Build>(out, answer, [&](Dialogs<Build>& dialogs) {
    RewriteProgram(PlanProgram<Build>(part), dialogs, out, false);
  });
  if (!(whole == streamed)) std::abort();
}

}  // namespace
}  // namespace orvalen::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string folder = [] {
    char name[] = "/tmp/orvalen-streamed-fuzz-XXXXXX";
    if (mkdtemp(name) == nullptr) std::abort();
    return std::string(name);
  }();
  orvalen::fuzz::InputReader input(data, size);
  const std::uint8_t script = input.Byte();
  orvalen::testing::WriteBytes(folder + "/part.nc", input.Rest());
  static const std::size_t kWindows[] = {1, 2, 3, 5, 16, 64, 4096, std::size_t{1} << 20};
  const std::size_t window = orvalen::g_window_bytes;
  orvalen::g_window_bytes = kWindows[script % 8];
  const int answer = script & 0x80 ? orvalen::kAnswerNo : orvalen::kAnswerYes;
  orvalen::fuzz::Compare<orvalen::CurrentBuild>(folder, answer);
  orvalen::fuzz::Compare<orvalen::LegacyBuild>(folder, answer);
  orvalen::g_window_bytes = window;
  return 0;
}
