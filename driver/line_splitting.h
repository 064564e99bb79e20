// The line-splitting rule of part programs, on bytes and on UTF-16 code
// units alike: CR LF, a lone LF and a lone CR each end one line, LF CR ends a
// line and starts an empty one at the CR, a break at the very end makes no
// empty last line, and a last line without a break is still a line. NUL is an
// ordinary character. No allocation beyond the index itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvalen {

// Appends the offset of the first character of every line of text[0, size),
// in order; the empty text has no lines. "A\r\r\nB" gives 0, 2, 4.
template <class Char>
void AppendLineStarts(const Char* text, std::size_t size, std::vector<std::uint64_t>& starts) {
  std::size_t i = 0;
  while (i < size) {
    starts.push_back(i);
    while (i < size && text[i] != Char('\r') && text[i] != Char('\n')) ++i;
    if (i < size && text[i] == Char('\r')) ++i;
    if (i < size && text[i] == Char('\n')) ++i;
  }
}

// The end of the line that starts at `start` when the next line (or the end
// of the text) starts at `next`: a line holds no CR or LF, so its break is the
// run of at most two of them before `next`.
template <class Char>
std::size_t LineEnd(const Char* text, std::size_t start, std::size_t next) {
  if (next > start && text[next - 1] == Char('\n')) {
    --next;
    if (next > start && text[next - 1] == Char('\r')) --next;
  } else if (next > start && text[next - 1] == Char('\r')) {
    --next;
  }
  return next;
}

}  // namespace orvalen
