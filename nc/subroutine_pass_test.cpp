#include "reference/optimize_subroutines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "driver/rewrite/rewrite_program.h"
#include "legacy/legacy_build.h"
#include "legacy/legacy_program_text_rules.h"
#include "reference/line_list.h"
#include "tests/memory_lines.h"
#include "tests/recording_dialogs.h"
#include "tests/test_support.h"
#include "tools/current_build.h"
#include "tools/utf8.h"

namespace orvalen {
namespace {

using Lines = std::vector<std::string>;

std::string Narrow(std::u16string_view text) {
  return ToUtf8(text);
}
std::string Narrow(std::string_view text) {
  return std::string(text);
}

template <class Build>
typename Build::Text Wide(const std::string& text) {
  if constexpr (sizeof(typename Build::Char) == 2) {
    return FromUtf8(text);
  } else {
    return text;
  }
}

struct Outcome {
  std::int32_t count = -1;
  Lines lines;          // the list after the pass (or at the failure)
  Lines shown;          // every text shown, in order
  std::string failure;  // "Kind: message", empty when none
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  out << "count " << o.count << "\n lines:";
  for (const auto& l : o.lines) out << "\n  [" << l << "]";
  out << "\n shown:";
  for (const auto& s : o.shown) out << "\n  [" << s << "]";
  return out << "\n failure: " << o.failure;
}

// Runs the pass over the lines with the scripted answers.
template <class Build>
Outcome Run(const Lines& input, std::deque<int> answers = {kAnswerYes}) {
  testing::MemoryLines<Build> list;
  for (const std::string& line : input) list.Add(Wide<Build>(line));
  RecordingDialogs<Build> dialogs(std::move(answers));
  Outcome outcome;
  try {
    outcome.count = OptimizeSubroutines<Build>(list, dialogs);
  } catch (const Failure& failure) {
    outcome.failure = std::string(failure.KindName()) + ": " + ToUtf8(failure.Message());
  }
  for (const auto& line : list.All()) outcome.lines.push_back(Narrow(line));
  for (const auto& text : dialogs.Texts()) outcome.shown.push_back(Narrow(text));
  return outcome;
}

// Runs the programs' rewrite over the lines, written to a file with CR LF
// (UTF-8 with mark in the current program, the bytes themselves in the
// legacy one) and saved beside it: the count it gives, what it shows and
// raises, and the lines saved (none when nothing was; an empty file saved
// is one line "(empty file)").
template <class Build>
Outcome RunRewrite(const Lines& input, std::deque<int> answers = {kAnswerYes},
                   const RewriteSettings& settings = {}) {
  const testing::ScratchFolder folder;
  std::string bytes = sizeof(typename Build::Char) == 2 ? "\xEF\xBB\xBF" : "";
  for (const std::string& line : input) bytes += line + "\r\n";
  testing::WriteBytes(folder / "part.nc", bytes);
  RecordingDialogs<Build> dialogs(std::move(answers));
  Outcome outcome;
  try {
    outcome.count = RewriteProgram(PlanProgram<Build>(folder / "part.nc"), dialogs,
                                   folder / "part.tax", false, settings);
  } catch (const Failure& failure) {
    outcome.failure = std::string(failure.KindName()) + ": " + ToUtf8(failure.Message());
  }
  for (const auto& text : dialogs.Texts()) outcome.shown.push_back(Narrow(text));
  if (testing::Exists(folder / "part.tax")) {
    std::string saved = testing::ReadBytes(folder / "part.tax");
    if (!bytes.empty() && saved.rfind("\xEF\xBB\xBF", 0) == 0) saved.erase(0, 3);
    if (saved.empty()) outcome.lines.push_back("(empty file)");
    for (std::size_t at = 0; at < saved.size();) {
      const std::size_t end = std::min(saved.find("\r\n", at), saved.size());
      outcome.lines.push_back(saved.substr(at, end - at));
      at = end + 2;
    }
  }
  return outcome;
}

const std::string kQuestion = "Soll das Programm Optimiert Werden?";
const std::string kNoSubroutine = "Internal Search Error (Subroutine)";
const std::string kNoRapid = "Internal Search Error (Sub XY)";

struct PassCase {
  const char* name;
  Lines input;
  std::deque<int> answers;
  Outcome expected;                                          // both programs
  std::optional<std::string> legacy_failure = std::nullopt;  // where the legacy text differs
};

const Lines kWorkedExample = {"G0 X100 Y50", "M3",        "SUBCALL P1",  "M30",
                              "SUBBEGIN P1", "G0 X10 Y5", "G1 X20.5 Y5", "SUBEND"};

std::vector<PassCase> PassCases() {
  return {
      {"worked example",
       kWorkedExample,
       {kAnswerYes},
       {1,
        {"G0 X110 Y55", "M3", "SUBCALL P1", "M30", "SUBBEGIN P1", "G0 X0 Y0", "G1 X10.5 Y0",
         "SUBEND"},
        {kQuestion},
        ""}},
      {"no definition asks nothing",
       {"G0 X1 Y1", "M3", "SUBCALL P1", "M30"},
       {},
       {0, {"G0 X1 Y1", "M3", "SUBCALL P1", "M30"}, {}, ""}},
      {"a keyword after a leading blank is no keyword",
       {"G0 X1 Y1", "", "SUBCALL A", " SUBBEGIN A", "G0 X2 Y2", "SUBEND"},
       {kAnswerYes},
       {0, {"G0 X1 Y1", "", "SUBCALL A", " SUBBEGIN A", "G0 X2 Y2", "SUBEND"}, {}, ""}},
      {"answer No changes nothing",
       kWorkedExample,
       {kAnswerNo},
       {0, kWorkedExample, {kQuestion}, ""}},
      {"closing the question goes on as Yes",
       kWorkedExample,
       {kAnswerClosed},
       {1,
        {"G0 X110 Y55", "M3", "SUBCALL P1", "M30", "SUBBEGIN P1", "G0 X0 Y0", "G1 X10.5 Y0",
         "SUBEND"},
        {kQuestion},
        ""}},
      {"two definitions, one question",
       {"G0 X0 Y0", "", "SUBCALL A", "G0 X1 Y1", "", "SUBCALL B", "SUBBEGIN A", "G0 X5 Y5",
        "G1 X6 Y7", "SUBEND", "G1 X99 Y99", "SUBBEGIN B", "G00 X-1.5 Y2", "G1 X0 Y0", "SUBEND"},
       {kAnswerYes},
       {2,
        {"G0 X5 Y5", "", "SUBCALL A", "G0 X-0.5 Y3", "", "SUBCALL B", "SUBBEGIN A", "G0 X0 Y0",
         "G1 X1 Y2", "SUBEND", "G1 X99 Y99", "SUBBEGIN B", "G00 X0 Y0", "G1 X1.5 Y-2", "SUBEND"},
        {kQuestion},
        ""}},
      {"zero point from a rapid line without X",
       {"G0 X100 Y50", "", "SUBCALL A", "SUBBEGIN A", "G0 Y5", "G1 X1 Y6", "SUBEND"},
       {kAnswerYes},
       {1,
        {"G0 X-9899 Y55", "", "SUBCALL A", "SUBBEGIN A", "G0 Y0", "G1 X10000 Y1", "SUBEND"},
        {kQuestion},
        ""}},
      {"X bound is strict at -99999, Y needs a value above -9999",
       {"G0 X0 Y0", "", "SUBCALL A", "SUBBEGIN A", "G0 X-99999 Y1", "G0 X5", "G0 X1 Y-9999",
        "G0 X-99998 Y1", "G1 X2 Y2", "SUBEND"},
       {kAnswerYes},
       {1,
        {"G0 X-99998 Y1", "", "SUBCALL A", "SUBBEGIN A", "G0 X-99999 Y1", "G0 X5", "G0 X1 Y-9999",
         "G0 X0 Y0", "G1 X100000 Y1", "SUBEND"},
        {kQuestion},
        ""}},
      {"G values that round to 0 are rapid",
       {"SUBBEGIN A", "G01 X1 Y1", "G1.5 X1 Y1", "G0.4 X3 Y3", "G1 X4 Y4", "SUBEND", "SUBBEGIN B",
        "G-0.4 X1 Y1", "SUBEND", "SUBBEGIN C", "G0.5 X2 Y2", "SUBEND", "SUBBEGIN D", "(GEAR) X7 Y8",
        "X8 Y9", "SUBEND"},
       {kAnswerYes},
       {4,
        {"SUBBEGIN A", "G01 X1 Y1", "G1.5 X1 Y1", "G0.4 X0 Y0", "G1 X1 Y1", "SUBEND", "SUBBEGIN B",
         "G-0.4 X0 Y0", "SUBEND", "SUBBEGIN C", "G0.5 X0 Y0", "SUBEND", "SUBBEGIN D",
         "(GEAR) X0 Y0", "X1 Y1", "SUBEND"},
        {kQuestion},
        ""}},
      {"search runs past SUBEND into the next definition",
       {"SUBBEGIN A", "G1 X1 Y1", "SUBEND", "SUBBEGIN B", "G0 X2 Y3", "G1 X4 Y4", "SUBEND",
        "G1 X9 Y9"},
       {kAnswerYes},
       {1,
        {"SUBBEGIN A", "G1 X1 Y1", "SUBEND", "SUBBEGIN B", "G0 X0 Y0", "G1 X2 Y1", "SUBEND",
         "G1 X9 Y9"},
        {kQuestion},
        ""}},
      {"a definition passed over by the search opens nothing",
       {"G0 X0 Y0", "", "SUBCALL B", "SUBBEGIN A", "SUBEND", "SUBBEGIN B", "G0 X1 Y1", "SUBEND"},
       {kAnswerYes},
       {0,
        {"G0 X0 Y0", "", "SUBCALL B", "SUBBEGIN A", "SUBEND", "SUBBEGIN B", "G0 X0 Y0", "SUBEND"},
        {kQuestion, kNoSubroutine},
        ""}},
      {"call names ignore case, may follow a line number",
       {"G0 X0 Y0", "", "SUBCALL p1", "G0 X1 Y1", "", "N20 SUBCALL P1", "subcall P1", "SUBBEGIN P1",
        "G0 X10 Y20", "SUBEND"},
       {kAnswerYes},
       {1,
        {"G0 X10 Y20", "", "SUBCALL p1", "G0 X11 Y21", "", "N20 SUBCALL P1", "subcall P1",
         "SUBBEGIN P1", "G0 X0 Y0", "SUBEND"},
        {kQuestion},
        ""}},
      {"a comment after the call name is part of the name",
       {"G0 X0 Y0", "", "SUBCALL P1 (comment)", "SUBBEGIN P1", "G0 X1 Y1", "SUBEND"},
       {kAnswerYes},
       {0,
        {"G0 X0 Y0", "", "SUBCALL P1 (comment)", "SUBBEGIN P1", "G0 X0 Y0", "SUBEND"},
        {kQuestion, kNoSubroutine},
        ""}},
      {"an empty call name takes the first empty slot",
       {"G0 X10.000 Y5", "", "SUBCALL  ", "SUBBEGIN A", "G0 X1 Y1", "SUBEND"},
       {kAnswerYes},
       {1, {"G0 X10 Y5", "", "SUBCALL  ", "SUBBEGIN A", "G0 X0 Y0", "SUBEND"}, {kQuestion}, ""}},
      {"two definitions with one name: calls use the first",
       {"G0 X0 Y0", "", "SUBCALL A", "SUBBEGIN A", "G0 X1 Y2", "SUBEND", "SUBBEGIN a", "G0 X5 Y5",
        "SUBEND"},
       {kAnswerYes},
       {2,
        {"G0 X1 Y2", "", "SUBCALL A", "SUBBEGIN A", "G0 X0 Y0", "SUBEND", "SUBBEGIN a", "G0 X0 Y0",
         "SUBEND"},
        {kQuestion},
        ""}},
      {"the line two above a call is no rapid move",
       {"G1 X0 Y0", "", "SUBCALL A", "SUBBEGIN A", "G0 X1 Y2", "SUBEND"},
       {kAnswerYes},
       {0,
        {"G1 X0 Y0", "", "SUBCALL A", "SUBBEGIN A", "G0 X0 Y0", "SUBEND"},
        {kQuestion, kNoRapid},
        ""}},
      {"a call on line 1 reads line -1",
       {"G0 X0 Y0", "SUBCALL A", "SUBBEGIN A", "G0 X1 Y2", "SUBEND"},
       {kAnswerYes},
       {-1,
        {"G0 X0 Y0", "SUBCALL A", "SUBBEGIN A", "G0 X0 Y0", "SUBEND"},
        {kQuestion},
        "EStringListError: Listenindex außerhalb des gültigen Bereichs (-1)"},
       "EStringListError: List index out of bounds (-1)"},
      {"a call on line 0 reads line -2",
       {"SUBCALL A", "SUBBEGIN A", "G0 X1 Y2", "SUBEND"},
       {kAnswerYes},
       {-1,
        {"SUBCALL A", "SUBBEGIN A", "G0 X0 Y0", "SUBEND"},
        {kQuestion},
        "EStringListError: Listenindex außerhalb des gültigen Bereichs (-2)"},
       "EStringListError: List index out of bounds (-2)"},
      {"no zero point until the end of the list",
       {"SUBBEGIN A", "G1 X1 Y1", "SUBEND"},
       {kAnswerYes},
       {-1,
        {"SUBBEGIN A", "G1 X1 Y1", "SUBEND"},
        {kQuestion},
        "EStringListError: Listenindex außerhalb des gültigen Bereichs (3)"},
       "EStringListError: List index out of bounds (3)"},
      {"a G value beyond 32 bits is a range error",
       {"SUBBEGIN A", "G3000000000 X1 Y1", "SUBEND"},
       {kAnswerYes},
       {-1,
        {"SUBBEGIN A", "G3000000000 X1 Y1", "SUBEND"},
        {kQuestion},
        "ERangeError: Fehler bei Bereichsprüfung"}},
      {"a G value beyond 64 bits is an invalid operation",
       {"SUBBEGIN A", "G10000000000000000000 X1 Y1", "SUBEND"},
       {kAnswerYes},
       {-1,
        {"SUBBEGIN A", "G10000000000000000000 X1 Y1", "SUBEND"},
        {kQuestion},
        "EInvalidOp: Ungültige Gleitkommaoperation"}},
      {"SUBBEGIN and SUBCALL inside a subroutine are shifted like any line",
       {"G0 X0 Y0", "", "SUBCALL A", "SUBBEGIN A", "G0 X1 Y1", "SUBBEGIN X5 Y5", "SUBCALL X2",
        "subend", "G0 X7 Y7"},
       {kAnswerYes},
       {1,
        {"G0 X1 Y1", "", "SUBCALL A", "SUBBEGIN A", "G0 X0 Y0", "SUBBEGIN X4 Y4", "SUBCALL X1",
         "subend", "G0 X7 Y7"},
        {kQuestion},
        ""}},
      {"a malformed number is told and the pass goes on",
       {"SUBBEGIN A", "G0 X1 Y1", "G1 X 12 Y3", "SUBEND"},
       {kAnswerYes},
       {1,
        {"SUBBEGIN A", "G0 X0 Y0", "G1 X-1 12 Y2", "SUBEND"},
        {kQuestion, "Error during convert Number:G1 X 12 Y3"},
        ""}},
  };
}

template <class Build>
void CheckPassCases(bool legacy) {
  for (const PassCase& c : PassCases()) {
    SCOPED_TRACE(c.name);
    Outcome expected = c.expected;
    if (legacy && c.legacy_failure) expected.failure = *c.legacy_failure;
    EXPECT_EQ(expected, Run<Build>(c.input, c.answers));
    // The programs' rewrite: the same, but that it saves (and so has lines
    // to show) only when the pass gives a count.
    if (expected.count <= 0) expected.lines.clear();
    EXPECT_EQ(expected, RunRewrite<Build>(c.input, c.answers)) << "the programs' rewrite";
  }
}

TEST(OptimizeSubroutines, CasesInTheCurrentProgram) {
  CheckPassCases<CurrentBuild>(false);
}
TEST(OptimizeSubroutines, CasesInTheLegacyProgram) {
  CheckPassCases<LegacyBuild>(true);
}

TEST(OptimizeSubroutines, QuestionIsAConfirmationWithYesNoAndHelpContextZero) {
  testing::MemoryLines<CurrentBuild> list;
  for (const std::string& line : kWorkedExample) list.Add(Wide<CurrentBuild>(line));
  RecordingDialogs<CurrentBuild> dialogs({kAnswerYes});
  OptimizeSubroutines<CurrentBuild>(list, dialogs);
  using Asked = RecordingDialogs<CurrentBuild>::Asked;
  const std::vector<Asked> expected = {{DialogKind::kConfirmation, DialogButtons::kYesNo, 0}};
  EXPECT_EQ(expected, dialogs.Questions());
}

// The pass on the file's own line list: loaded, rewritten and saved.
template <class Build>
void CheckThroughTheLineList() {
  const testing::ScratchFolder folder;
  const std::string part = folder / "part.nc";
  testing::WriteBytes(part,
                      "G0 X100 Y50\r\nM3\r\nSUBCALL P1\r\nM30\nSUBBEGIN P1\r\nG0 X10 Y5\r\n"
                      "G1 X20.5 Y5\r\nSUBEND");
  const std::string saved =
      "G0 X110 Y55\r\nM3\r\nSUBCALL P1\r\nM30\r\nSUBBEGIN P1\r\nG0 X0 Y0\r\n"
      "G1 X10.5 Y0\r\nSUBEND\r\n";
  RecordingDialogs<Build> asked({kAnswerYes});
  EXPECT_EQ(1, RewriteProgram(PlanProgram<Build>(part), asked, folder / "part.tax", false));
  EXPECT_EQ(saved, testing::ReadBytes(folder / "part.tax"));
  LineList<Build> list;
  list.LoadFromFile(part);
  RecordingDialogs<Build> dialogs({kAnswerYes});
  EXPECT_EQ(1, OptimizeSubroutines<Build>(list, dialogs));
  list.SaveToFile(part);
  EXPECT_EQ(saved, testing::ReadBytes(part));
}

TEST(OptimizeSubroutines, RunsOnTheFileLineListInBothPrograms) {
  CheckThroughTheLineList<CurrentBuild>();
  CheckThroughTheLineList<LegacyBuild>();
}

// 99 subroutines fill the table; a 100th is a range error once its zero
// point line has been shifted.
Lines ManySubroutines(int count) {
  Lines lines = {"G0 X0 Y0", "", "SUBCALL S99"};
  for (int k = 1; k <= count; ++k) {
    lines.push_back("SUBBEGIN S" + std::to_string(k));
    lines.push_back("G0 X" + std::to_string(k) + " Y1");
    lines.push_back("SUBEND");
  }
  return lines;
}

template <class Build>
void CheckTableSize() {
  const Outcome full = Run<Build>(ManySubroutines(99));
  EXPECT_EQ(99, full.count);
  EXPECT_EQ("G0 X99 Y1", full.lines[0]);
  const Outcome over = Run<Build>(ManySubroutines(100));
  EXPECT_EQ("ERangeError: Fehler bei Bereichsprüfung", over.failure);
  EXPECT_EQ("G0 X0 Y0", over.lines[3 + 3 * 99 + 1]);  // the 100th zero point line was shifted
  const Outcome streamed = RunRewrite<Build>(ManySubroutines(99));
  EXPECT_EQ(99, streamed.count);
  EXPECT_EQ(full.lines, streamed.lines);
  const Outcome refused = RunRewrite<Build>(ManySubroutines(100));
  EXPECT_EQ(over.failure, refused.failure);
  EXPECT_EQ(Lines{}, refused.lines);
}

TEST(OptimizeSubroutines, NinetyNineSlotsInBothPrograms) {
  CheckTableSize<CurrentBuild>();
  CheckTableSize<LegacyBuild>();
}

// A program long enough to be shifted on two threads gives what shifting
// each line by itself gives, X then Y, with the messages of the lines whose
// numbers do not convert in line order, in memory and in the file's list.
// The shapes: both letters either way round, one, none, a letter twice, a
// number that grows past the line's room, numbers that do not convert, and
// keywords that count for nothing inside a subroutine.
template <class Build>
void CheckLongProgram() {
  const Lines shapes = {"G1 X-523.125 Y412.5 F2345",
                        "G1 Y7 X-8.25",
                        "G1 X3",
                        "G1 Y-4.5",
                        "M8",
                        "G1 X1X2 Y3Y4",
                        "X0.001 Y0.002",
                        "G1 X1-2 Y3",
                        "G1 X5 Y--1",
                        "G2 X12.5 I3 Y-0.0004 J1",
                        "N1 (X) Y99.999",
                        "SUBBEGIN C",
                        "SUBCALL A X5",
                        "sub X1"};
  Lines lines = {"G0 X10 Y20", "M3", "SUBCALL A", "M30", "SUBBEGIN A", "G0 X-0.25 Y333.125"};
  constexpr int kBody = 40000;
  for (int i = 0; i < kBody; ++i)
    lines.push_back(shapes[static_cast<std::size_t>(i) % shapes.size()]);
  lines.push_back("SUBEND");

  Lines expected = lines;
  RecordingDialogs<Build> told({kAnswerYes});
  told.MessageDlg(Wide<Build>(kQuestion), DialogKind::kConfirmation, DialogButtons::kYesNo, 0);
  for (std::size_t i = 5; i < lines.size() - 1; ++i) {
    auto line = ShiftAddressValue<Build>(Wide<Build>("X"), Wide<Build>(lines[i]), 0.25, told);
    line = ShiftAddressValue<Build>(Wide<Build>("Y"), line, -333.125, told);
    expected[i] = Narrow(line);
  }
  expected[0] = "G0 X9.75 Y353.125";
  Lines messages;
  for (const auto& text : told.Texts()) messages.push_back(Narrow(text));

  // The first difference only: a whole program would drown it.
  const auto same = [](const Lines& want, const Lines& got) {
    const auto [a, b] = std::mismatch(want.begin(), want.end(), got.begin(), got.end());
    if (a == want.end() && b == got.end()) return std::string();
    return "at " + std::to_string(a - want.begin()) + ": " + (a == want.end() ? "" : *a) + " / " +
           (b == got.end() ? "" : *b);
  };
  const Outcome out = Run<Build>(lines);
  EXPECT_EQ(1, out.count);
  EXPECT_EQ("", same(expected, out.lines));
  EXPECT_EQ("", same(messages, out.shown));
  // The programs' rewrite, on two threads, in windows of 1000 bytes.
  const Outcome streamed = RunRewrite<Build>(lines, {kAnswerYes}, {.window_bytes = 1000});
  EXPECT_EQ(1, streamed.count);
  EXPECT_EQ("", same(expected, streamed.lines));
  EXPECT_EQ("", same(messages, streamed.shown));

  const testing::ScratchFolder folder;
  const std::string part = folder / "long.nc";
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  testing::WriteBytes(part, bytes);
  LineList<Build> list;
  list.LoadFromFile(part);
  RecordingDialogs<Build> dialogs({kAnswerYes});
  EXPECT_EQ(1, OptimizeSubroutines<Build>(list, dialogs));
  list.SaveToFile(part);
  std::string saved;
  for (const std::string& line : expected) saved += line + "\r\n";
  EXPECT_TRUE(saved == testing::ReadBytes(part));
  EXPECT_EQ(messages.size(), dialogs.Texts().size());
}

TEST(OptimizeSubroutines, LongProgramsMatchTheLineByLineShiftInBothPrograms) {
  CheckLongProgram<CurrentBuild>();
  CheckLongProgram<LegacyBuild>();
}

// Random part programs: whatever the input, the line count never changes,
// lines outside the subroutines stay as they were but for the call targets,
// and every moved coordinate plus (or minus) its zero point gives back the
// original value to within the three-decimal rounding.
std::string Number(std::mt19937& random) {
  std::uniform_int_distribution<int> whole(-5000, 5000);
  std::uniform_int_distribution<int> decimals(0, 4);
  const int places = decimals(random);
  int scale = 1;
  for (int i = 0; i < places; ++i) scale *= 10;
  std::uniform_int_distribution<int> fraction(0, scale - 1);
  std::string text = std::to_string(whole(random));
  if (places > 0) {
    std::string digits = std::to_string(fraction(random));
    text += "." + std::string(static_cast<std::size_t>(places) - digits.size(), '0') + digits;
  }
  return text;
}

double Value(const std::string& line, char letter) {
  const auto at = line.find(letter);
  if (at == std::string::npos) return NAN;
  return std::stod(line.substr(at + 1));
}

template <class Build>
void CheckRandomPrograms() {
  std::mt19937 random(4711);
  for (int round = 0; round < 200; ++round) {
    const int subs = 1 + static_cast<int>(random() % 5);
    Lines lines;
    std::vector<int> call_targets;
    std::vector<int> called;
    for (int c = static_cast<int>(random() % 6); c > 0; --c) {
      lines.push_back("G0 X" + Number(random) + " Y" + Number(random));
      lines.push_back("M" + std::to_string(random() % 10));
      call_targets.push_back(static_cast<int>(lines.size()) - 2);
      called.push_back(1 + static_cast<int>(random() % subs));
      lines.push_back("N" + std::to_string(lines.size()) + " SUBCALL Sub" +
                      std::to_string(called.back()));
    }
    const int main_end = static_cast<int>(lines.size());
    std::vector<int> zero_lines;
    std::vector<std::pair<int, int>> bodies;  // first and last shifted line
    for (int k = 1; k <= subs; ++k) {
      lines.push_back("SUBBEGIN SUB" + std::to_string(k));
      lines.push_back("G1 F200");
      zero_lines.push_back(static_cast<int>(lines.size()));
      lines.push_back("G0 X" + Number(random) + " Y" + Number(random));
      const int first = static_cast<int>(lines.size());
      for (int m = static_cast<int>(random() % 8); m > 0; --m)
        lines.push_back(std::string(random() % 2 ? "G1" : "G0") + " X" + Number(random) + " Y" +
                        Number(random) + " F100");
      bodies.push_back({first, static_cast<int>(lines.size()) - 1});
      lines.push_back("SUBEND");
    }
    const Outcome out = Run<Build>(lines);
    SCOPED_TRACE(round);
    ASSERT_EQ(subs, out.count) << out;
    ASSERT_EQ(lines.size(), out.lines.size());
    const auto near = [](double a, double b) { return std::fabs(a - b) <= 0.0005 + 1e-9; };
    for (int i = 0; i < main_end; ++i) {
      const auto target = std::find(call_targets.begin(), call_targets.end(), i);
      if (target == call_targets.end()) {
        EXPECT_EQ(lines[i], out.lines[i]);
        continue;
      }
      const int zero = zero_lines[called[target - call_targets.begin()] - 1];
      EXPECT_TRUE(near(Value(out.lines[i], 'X') - Value(lines[zero], 'X'), Value(lines[i], 'X')))
          << lines[i] << " -> " << out.lines[i];
      EXPECT_TRUE(near(Value(out.lines[i], 'Y') - Value(lines[zero], 'Y'), Value(lines[i], 'Y')))
          << lines[i] << " -> " << out.lines[i];
    }
    for (int k = 0; k < subs; ++k) {
      const int zero = zero_lines[k];
      EXPECT_EQ("G0 X0 Y0", out.lines[zero]);
      for (int i = bodies[k].first; i <= bodies[k].second; ++i) {
        EXPECT_TRUE(near(Value(out.lines[i], 'X') + Value(lines[zero], 'X'), Value(lines[i], 'X')))
            << lines[i] << " -> " << out.lines[i];
        EXPECT_TRUE(near(Value(out.lines[i], 'Y') + Value(lines[zero], 'Y'), Value(lines[i], 'Y')))
            << lines[i] << " -> " << out.lines[i];
      }
    }
  }
}

TEST(OptimizeSubroutines, RandomProgramsKeepEveryPlaceInTheCurrentProgram) {
  CheckRandomPrograms<CurrentBuild>();
}
TEST(OptimizeSubroutines, RandomProgramsKeepEveryPlaceInTheLegacyProgram) {
  CheckRandomPrograms<LegacyBuild>();
}

}  // namespace
}  // namespace orvalen
