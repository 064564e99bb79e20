// What the reference pass needs of the lines it works on: LineList, or lines
// held in memory, read and replaced by index. An index outside the list
// raises EStringListError, which the pass does not catch.
#pragma once

#include <concepts>
#include <cstdint>

namespace orvalen {

template <class List, class Build>
concept ProgramLines = requires(List& lines, std::int64_t index, typename Build::TextView text) {
  { lines.Count() } -> std::convertible_to<std::int64_t>;
  { lines.Strings(index) } -> std::convertible_to<typename Build::TextView>;
  // Takes a view and keeps a copy: the pass may hand it a piece of a line.
  lines.SetStrings(index, text);
};

}  // namespace orvalen
