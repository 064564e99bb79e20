// Finding the keyword lines of a part program in one scan, on two threads
// where the list allows it and is long.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <type_traits>
#include <utility>
#include <vector>

#include "nc/line_shifts.h"
#include "reference/program_lines.h"
#include "tools/build_policy.h"
#include "tools/text_ops.h"

namespace orvalen::nc_detail {

// Where the keywords are: the lines that start with SUBEND or SUBBEGIN, and
// the lines before the first SUBBEGIN line that hold SUBCALL, found in one
// scan of the lines as they were loaded. Every other line is one that the
// first pass shifts or passes over and the second pass passes over.
struct KeywordLines {
  std::vector<std::int64_t> starts;  // in line order
  std::vector<std::int64_t> calls;   // in line order
  std::int64_t first_begin = 0;      // the first SUBBEGIN line, or the end of the scan
};

template <BuildPolicy Build, ProgramLines<Build> List>
KeywordLines ScanForKeywords(const Words<Build>& words, const List& lines, std::int64_t first,
                             std::int64_t end) {
  using Char = typename Build::Char;
  using TextView = typename Build::TextView;
  KeywordLines found;
  found.first_begin = end;
  for (std::int64_t i = first; i < end; ++i) {
    const TextView line = lines.Strings(i);
    // Only S, s or a character that may fold to one can start a keyword.
    const auto lead = line.empty() ? 0 : static_cast<std::make_unsigned_t<Char>>(line[0]);
    if (lead == 'S' || lead == 's' || lead >= 0x80) {
      const bool begin = StartsWithKeyword<Build>(line, words.begin);
      if (begin || StartsWithKeyword<Build>(line, words.end)) found.starts.push_back(i);
      if (begin && found.first_begin == end) found.first_begin = i;
    }
    if (found.first_begin == end && FirstOccurrence(TextView(words.call), line) != 0)
      found.calls.push_back(i);
  }
  return found;
}

// The same for the whole list, on two threads where the list allows it and
// is long.
template <BuildPolicy Build, ProgramLines<Build> List>
KeywordLines FindKeywordLines(const Words<Build>& words, const List& lines) {
  const std::int64_t n = lines.Count();
  if constexpr (ReplacesDistinctLinesConcurrently<List>) {
    if (n >= kLinesWorthASecondThread) {
      // The two halves of the list; the earlier half's failure goes first.
      const std::int64_t middle = n / 2;
      KeywordLines halves[2];
      std::exception_ptr failures[2];
      std::atomic<int> next{0};
      RunOnTwoThreads([&] {
        for (int k; (k = next.fetch_add(1)) < 2;) {
          try {
            halves[k] =
                ScanForKeywords<Build>(words, lines, k == 0 ? 0 : middle, k == 0 ? middle : n);
          } catch (...) {
            failures[k] = std::current_exception();
          }
        }
      });
      for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
      KeywordLines& found = halves[0];
      const KeywordLines& later = halves[1];
      found.starts.insert(found.starts.end(), later.starts.begin(), later.starts.end());
      if (found.first_begin == middle) {
        found.calls.insert(found.calls.end(), later.calls.begin(), later.calls.end());
        found.first_begin = later.first_begin;
      }
      return std::move(found);
    }
  }
  return ScanForKeywords<Build>(words, lines, 0, n);
}

}  // namespace orvalen::nc_detail
