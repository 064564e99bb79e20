// The streamed rewrite against the plain reference: random programs, saved
// beside themselves both ways, must give the same bytes, the same texts
// shown and the same failure. Most run with windows of a few bytes, so that
// every line, break and message lies on a window's edge somewhere.
#include "driver/rewrite/rewrite_program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "legacy/legacy_build.h"
#include "legacy/legacy_program_text_rules.h"
#include "reference/compare_with_reference.h"
#include "reference/line_list.h"
#include "reference/optimize_subroutines.h"
#include "reference/program_file.h"
#include "tests/recording_dialogs.h"
#include "tests/test_support.h"
#include "tools/codepage1252.h"
#include "tools/current_build.h"
#include "tools/utf8.h"

namespace orvalen {
namespace {

using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WriteBytes;

using testing::ReferenceRun;
using testing::RunResult;
using testing::StreamedRun;

// Lines of every kind the pass treats differently, the rare ones rarely.
std::string RandomLine(std::mt19937& random, bool large) {
  static const char* const kNames[] = {"A", "b", "P1", "p1", "", "ÄÖ"};
  const auto name = [&] { return std::string(kNames[random() % 6]); };
  const auto number = [&]() -> std::string {
    static const char* const kOdd[] = {
        "1.2.3",
        "",
        "-",
        "+.5",
        "1e3",
        "007",
        "-0",
        "12345678901234567890",
        "999999999999999999999999999999999999999999999999999999999999"
        "9999999999999999999999999999999999999999999999999999999999999"
        "9999999999999999999999999999999999999999999999999999999999999"
        "9999999999999999999999999999999999999999999999999999999999999"
        "9999999999999999999999999999999999999999999999999999999999999"
        "9999"};
    if (random() % (large ? 2000 : 25) == 0) return kOdd[random() % 9];
    std::string text = std::to_string(static_cast<int>(random() % 20001) - 10000);
    if (random() % 2) text += "." + std::to_string(random() % 1000);
    return text;
  };
  const unsigned kind = random() % (large ? 1000 : 100);
  if (kind < 40 || large) {
    if (kind < 600 || !large) {
      const char* g = random() % 3 ? "G1 X" : "G0 X";
      return g + number() + " Y" + number() + (random() % 2 ? " F100" : "");
    }
  }
  switch (kind % 20) {
    case 0:
      return "SUBBEGIN " + name();
    case 1:
      return "subbegin " + name();
    case 2:
      return "SUBEND";
    case 3:
      return "Subend " + name();
    case 4:
      return "N10 SUBCALL " + name();
    case 5:
      return "SUBCALL " + name();
    case 6:
      return "G0 X" + number();
    case 7:
      return "G0 Y" + number() + " X" + number();
    case 8:
      return "G99999999999 X1 Y1";
    case 9:
      return "G0 X-99999 Y1";
    case 10:
      return "S1000 M3";
    case 11:
      return "(Grüße) G0 X" + number() + " Y" + number();
    case 12:
      return "";
    case 13:
      return "ſUBBEGIN " + name();
    case 14:
      return "M30";
    default:
      return "G0 X" + number() + " Y" + number();
  }
}

// The program's bytes: its lines with breaks of one or several kinds, in
// one of the encodings (UTF-8 text given; the legacy program reads bytes).
std::string Encode(const std::vector<std::string>& lines, std::mt19937& random, bool legacy,
                   std::string& label) {
  static const char* const kBreaks[] = {"\r\n", "\n", "\r", "\n\r"};
  const bool mixed = random() % 4 == 0;
  std::u16string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += FromUtf8(lines[i]);
    if (i + 1 < lines.size() || random() % 3)
      text += FromUtf8(mixed ? kBreaks[random() % 4] : "\r\n");
  }
  const unsigned encoding = legacy ? 0 : random() % 4;
  std::string bytes;
  switch (encoding) {
    case 0:
      label = "code page";
      bytes = EncodeCp1252(text);
      break;
    case 1:
      label = "UTF-8";
      bytes = "\xEF\xBB\xBF" + ToUtf8(text);
      if (random() % 50 == 0) bytes.insert(bytes.size() / 2, "\xC0");
      break;
    default: {
      label = encoding == 2 ? "UTF-16LE" : "UTF-16BE";
      bytes = encoding == 2 ? "\xFF\xFE" : "\xFE\xFF";
      for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += encoding == 2 ? std::string{low, high} : std::string{high, low};
      }
      if (random() % 20 == 0) bytes += 'x';
    }
  }
  return bytes;
}

template <class Build>
void CompareOnRandomPrograms(bool legacy) {
#if defined(__SANITIZE_ADDRESS__)
  constexpr int kPrograms = 1000;  // ten times as many in the optimised build
#else
  constexpr int kPrograms = 10000;
#endif
  const char* const set = std::getenv("ORVALEN_STREAMED_PROGRAMS");
  const int programs = set != nullptr ? std::atoi(set) : kPrograms;
  std::mt19937 random(legacy ? 2024 : 1999);
  // The flushes to disk would take most of the time, and tell nothing here.
  const SyncCall sync = SetSyncCallForTesting([](int) { return 0; });
  ScratchFolder folder;
  const std::string part = folder / "part.nc";
  for (int round = 0; round < programs; ++round) {
    // Every fiftieth program passes the two-thread threshold of the list.
    const bool large = round % 50 == 49;
    const std::size_t count = large ? 40000 + random() % 2000 : 1 + random() % 40;
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i) lines.push_back(RandomLine(random, large));
    if (large) {
      lines.insert(lines.begin() + static_cast<long>(random() % 20), "SUBBEGIN A");
      lines.insert(lines.begin(), {"G0 X1 Y1", "M3", "SUBCALL A"});
    }
    std::string label;
    WriteBytes(part, Encode(lines, random, legacy, label));
    static const std::size_t kWindows[] = {2, 3, 16, 64, 1000};
    RewriteSettings settings;
    if (!large) settings.window_bytes = kWindows[random() % 5];
    // A quarter of the small programs split even windows of a few lines
    // between two threads.
    if (!large && random() % 4 == 0) settings.lines_worth_two_threads = 3;
    const int answer = random() % 10 ? kAnswerYes : kAnswerNo;
    const RunResult expected = ReferenceRun<Build>(part, folder / "whole.tax", answer);
    const RunResult streamed = StreamedRun<Build>(part, folder / "streamed.tax", answer, settings);
    ASSERT_EQ(expected, streamed) << "program " << round << ", " << label << ", window "
                                  << settings.window_bytes << "\n"
                                  << ReadBytes(part).substr(0, 3000);
  }
  SetSyncCallForTesting(sync);
}

TEST(StreamedProgram, GivesWhatTheWholeListGivesInTheCurrentProgram) {
  CompareOnRandomPrograms<CurrentBuild>(false);
}
TEST(StreamedProgram, GivesWhatTheWholeListGivesInTheLegacyProgram) {
  CompareOnRandomPrograms<LegacyBuild>(true);
}

}  // namespace
}  // namespace orvalen
