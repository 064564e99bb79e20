// The first read's plan and the second pass worked out on it, line by line:
// which lines need their text, the runs, the calls and the failures.
#include "nc/subroutine_planner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "legacy/legacy_build.h"
#include "nc/second_pass.h"
#include "tools/failure.h"

namespace orvalen {
namespace {

using Lines = std::vector<std::string>;

[[noreturn]] void RaiseIndex(std::int64_t index) {
  Raise<EStringListError>(u"index " + std::u16string(1, char16_t('0' + index % 10)));
}

// Feeds every line with its text, as the read does for the lines that need it.
SubroutinePlan<LegacyBuild> Plan(const Lines& lines) {
  SubroutinePlanner<LegacyBuild> planner(&RaiseIndex);
  for (std::int64_t i = 0; i < static_cast<std::int64_t>(lines.size()); ++i)
    if (planner.Line(i, lines[i])) planner.TwoAbove(lines[i - 2]);
  planner.Finish(static_cast<std::int64_t>(lines.size()));
  return planner.TakePlan();
}

TEST(SubroutinePlanner, NotesRunsCallsAndWhereItFails) {
  const struct {
    const char* name;
    Lines lines;
    std::vector<std::int64_t> runs;  // first, end, of each run
    std::vector<std::string> calls;  // index, then the line two above if any
    std::int64_t failure_line;       // -1: none
  } cases[] = {
      {"worked example",
       {"G0 X9 Y9", "M3", "SUBCALL A", "SUBBEGIN A", "G1 X1", "G0 X2 Y3", "G1 X4", "SUBEND", "M30"},
       {5, 7},
       {"2 G0 X9 Y9"},
       -1},
      {"a call on the second line has no line two above",
       {"M3", "SUBCALL A", "N3 SUBCALL B", "SUBBEGIN A", "G0 X1 Y1"},
       {4, 5},
       {"1", "2 M3"},
       -1},
      {"a search past the end", {"SUBBEGIN A", "G1 X1"}, {}, {}, 2},
      {"no Y: the search goes on", {"SUBBEGIN A", "G0 X1", "G0 X1 Y1", "SUBEND"}, {2, 3}, {}, -1},
      {"a call after the first definition is no call",
       {"SUBBEGIN A", "G0 X0 Y0", "SUBEND", "SUBCALL A"},
       {1, 2},
       {},
       -1},
      {"a G value out of range fails at its line", {"SUBBEGIN A", "G99999999999 X1 Y1"}, {}, {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const SubroutinePlan<LegacyBuild> plan = Plan(c.lines);
    std::vector<std::int64_t> runs;
    for (const ShiftRun& run : plan.runs) runs.insert(runs.end(), {run.first, run.end});
    EXPECT_EQ(c.runs, runs);
    std::vector<std::string> calls;
    for (const auto& call : plan.calls)
      calls.push_back(std::to_string(call.index) + (call.two_above ? " " + *call.two_above : ""));
    EXPECT_EQ(c.calls, calls);
    EXPECT_EQ(c.failure_line, plan.failure ? plan.failure_line : -1);
  }
  // The 100th subroutine fails once its zero point line is noted.
  Lines many;
  for (int k = 1; k <= 100; ++k) many.insert(many.end(), {"SUBBEGIN S", "G0 X1 Y1", "SUBEND"});
  const SubroutinePlan<LegacyBuild> plan = Plan(many);
  EXPECT_TRUE(plan.failure);
  EXPECT_EQ(299, plan.failure_line);
  ASSERT_EQ(100u, plan.runs.size());
  EXPECT_EQ(298, plan.runs.back().first);
  EXPECT_EQ(100, plan.count);
}

TEST(SubroutinePlanner, SaysWhichLinesNeedTheirText) {
  SubroutinePlanner<LegacyBuild> planner(&RaiseIndex);
  EXPECT_TRUE(planner.InMainPart());
  EXPECT_FALSE(planner.Searching());
  planner.Line(0, "SUBBEGIN A");
  EXPECT_FALSE(planner.InMainPart());
  EXPECT_TRUE(planner.Searching());
  planner.Line(1, "G0 X1 Y2");
  EXPECT_FALSE(planner.Searching());
  planner.PlainLines(2, 5);
  planner.Finish(5);
  const SubroutinePlan<LegacyBuild> plan = planner.TakePlan();
  ASSERT_EQ(1u, plan.runs.size());
  EXPECT_EQ(1, plan.runs[0].first);
  EXPECT_EQ(5, plan.runs[0].end);
  EXPECT_EQ(-1.0, plan.runs[0].dx);
  EXPECT_EQ(-2.0, plan.runs[0].dy);
}

TEST(SecondPass, ShiftsTheLineTwoAboveEachCallOrSavesNothing) {
  const struct {
    Lines lines;
    std::vector<std::string> replaced;  // index and text
    std::vector<std::string> shown;
    bool saves;
  } cases[] = {
      {{"G0 X12 Y8", "M3", "SUBCALL a", "SUBBEGIN A", "G0 X2 Y3", "SUBEND"},
       {"0 G0 X14 Y11"},
       {},
       true},
      {{"G0 X12 Y8", "M3", "SUBCALL B", "SUBBEGIN A", "G0 X2 Y3", "SUBEND"},
       {},
       {"Internal Search Error (Subroutine)"},
       false},
      {{"G1 X12 Y8", "M3", "SUBCALL A", "SUBBEGIN A", "G0 X2 Y3", "SUBEND"},
       {},
       {"Internal Search Error (Sub XY)"},
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines[2]);
    const SecondPass<LegacyBuild> pass = RunSecondPass<LegacyBuild>(Plan(c.lines), &RaiseIndex);
    std::vector<std::string> replaced;
    for (const auto& [index, text] : pass.replaced)
      replaced.push_back(std::to_string(index) + " " + text);
    EXPECT_EQ(c.replaced, replaced);
    EXPECT_EQ(c.shown, pass.shown.messages);
    EXPECT_EQ(c.saves, pass.saves);
  }
  // A call on the second line has no line two above it.
  const SecondPass<LegacyBuild> pass =
      RunSecondPass<LegacyBuild>(Plan({"M3", "SUBCALL A", "SUBBEGIN A", "G0 X1 Y1"}), &RaiseIndex);
  EXPECT_TRUE(pass.failure);
  EXPECT_FALSE(pass.saves);
}

}  // namespace
}  // namespace orvalen
