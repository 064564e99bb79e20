// The lines of a part program held in memory: the list that the subroutine
// pass works on, without a file. An index outside 0..Count-1 raises the same
// EStringListError, worded the same, as the file's LineList. Header only;
// its users link orvalen_text_file for the wording.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "driver/program_text/program_text_rules.h"
#include "legacy/legacy_program_text_rules.h"
#include "tools/build_policy.h"
#include "tools/failure.h"

namespace orvalen::testing {

template <BuildPolicy Build>
class MemoryLines {
 public:
  using Text = typename Build::Text;
  using TextView = typename Build::TextView;
  // Distinct lines are distinct strings.
  static constexpr bool kReplacesDistinctLinesConcurrently = true;

  MemoryLines() = default;
  explicit MemoryLines(std::vector<Text> lines) : lines_(std::move(lines)) {}

  void Add(TextView line) { lines_.emplace_back(line); }
  std::int32_t Count() const { return static_cast<std::int32_t>(lines_.size()); }
  TextView Strings(std::int64_t index) const {
    Check(index);
    return lines_[static_cast<std::size_t>(index)];
  }
  void SetStrings(std::int64_t index, TextView text) {
    Check(index);
    lines_[static_cast<std::size_t>(index)] = Text(text);
  }
  const std::vector<Text>& All() const { return lines_; }

 private:
  void Check(std::int64_t index) const {
    if (index < 0 || index >= Count())
      Raise<EStringListError>(ProgramTextRules<Build>::ListIndexMessage(index));
  }

  std::vector<Text> lines_;
};

}  // namespace orvalen::testing
