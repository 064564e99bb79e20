#include "driver/program_text/line_splitting.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvalen {
namespace {

template <class Char>
std::vector<std::basic_string<Char>> Split(const std::basic_string<Char>& text) {
  std::vector<std::uint64_t> starts;
  if (!text.empty()) starts.push_back(0);
  ForEachStartAfterBreak(text.data(), 0, text.empty() ? 0 : text.size() - 1,
                         [&](std::size_t start) { starts.push_back(start); });
  starts.push_back(text.size());
  std::vector<std::basic_string<Char>> lines;
  for (std::size_t i = 0; i + 1 < starts.size(); ++i)
    lines.push_back(
        text.substr(starts[i], LineEnd(text.data(), starts[i], starts[i + 1]) - starts[i]));
  return lines;
}

TEST(LineSplitting, EveryKindOfBreakOnBytesAndUnits) {
  const struct {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"A\r\nB\r\n", {"A", "B"}},
      {"A\r\nB", {"A", "B"}},
      {"A\nB\rC", {"A", "B", "C"}},
      {"A\r\r\nB", {"A", "", "B"}},
      {"A\n\rB", {"A", "", "B"}},
      {"\r\nA", {"", "A"}},
      {"A\r\n\r\n", {"A", ""}},
      {"\n", {""}},
      {"\r", {""}},
      {"\n\n", {"", ""}},
      {std::string("A\0B\nC", 5), {std::string("A\0B", 3), "C"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.lines, Split(c.text)) << c.text;
    std::u16string wide(c.text.begin(), c.text.end());
    std::vector<std::u16string> wide_lines;
    for (const auto& line : c.lines) wide_lines.emplace_back(line.begin(), line.end());
    EXPECT_EQ(wide_lines, Split(wide)) << c.text;
  }
}

}  // namespace
}  // namespace orvalen
