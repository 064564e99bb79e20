// What the subroutine pass needs of the lines it works on, and when it is
// worth a second thread, and how work runs on two.
#pragma once

#include <concepts>
#include <cstdint>
#include <exception>
#include <thread>

namespace orvalen {

// The lines the pass works on, read and replaced by index (LineList, or lines
// held in memory). An index outside the list raises EStringListError, which
// the pass does not catch.
template <class List, class Build>
concept ProgramLines = requires(List& lines, std::int64_t index, typename Build::TextView text) {
  { lines.Count() } -> std::convertible_to<std::int64_t>;
  { lines.Strings(index) } -> std::convertible_to<typename Build::TextView>;
  // Takes a view and keeps a copy: the pass may hand it a piece of a line.
  lines.SetStrings(index, text);
};

// A list on which two threads may read and replace lines at once, as long as
// no line is touched by both.
template <class List>
concept ReplacesDistinctLinesConcurrently = requires {
  requires List::kReplacesDistinctLinesConcurrently;
};

// Below this many lines a second thread costs more than it saves.
inline constexpr std::int64_t kLinesWorthASecondThread = std::int64_t{1} << 15;

// Runs `work` on this thread and on a second one at once and returns when
// both are done; without a second thread to be had, once on this one. The
// work takes its parts from a shared counter, so either way every part is
// done, and it must not throw.
template <class Work>
void RunOnTwoThreads(const Work& work) {
  std::thread helper;
  try {
    helper = std::thread(work);
  } catch (const std::exception&) {
    // No thread to be had (std::system_error, or std::bad_alloc for its
    // stack or state): this thread does every part, as it would alone.
  }
  work();
  if (helper.joinable()) helper.join();
}

}  // namespace orvalen
