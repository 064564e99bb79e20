// The line-splitting rule of part programs, on bytes and on UTF-16 code
// units alike: CR LF, a lone LF and a lone CR each end one line, LF CR ends a
// line and starts an empty one at the CR, a break at the very end makes no
// empty last line, and a last line without a break is still a line. NUL is an
// ordinary character. No allocation beyond the index itself.
//
// Put another way, a line starts at 0 in a text that is not empty, and after
// every LF and every CR that no LF follows, unless that is the end of the text.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <cstddef>

namespace orvalen {

namespace line_splitting_detail {

// The CRs and the LFs among 16 characters, as masks whose bit k stands for
// the k-th character. Most lines are shorter than 100 characters, so finding
// their breaks is most of the work of indexing a text; with SSE2 (every
// x86-64) it takes a handful of instructions per 16 characters instead of
// two comparisons and a branch per character.
struct Breaks {
  unsigned cr;
  unsigned lf;
};

#if defined(__SSE2__)
inline Breaks FindBreaks(const char* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return {static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')))),
          static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))))};
}

inline Breaks FindBreaks(const char16_t* p) {
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
  // Compared 16-bit lanes are all ones or all zeros, and pack into bytes of the same kind.
  auto mask = [&](char16_t c) {
    const __m128i unit = _mm_set1_epi16(static_cast<short>(c));
    return static_cast<unsigned>(_mm_movemask_epi8(
        _mm_packs_epi16(_mm_cmpeq_epi16(low, unit), _mm_cmpeq_epi16(high, unit))));
  };
  return {mask(u'\r'), mask(u'\n')};
}
#else
template <class Char>
Breaks FindBreaks(const Char* p) {
  Breaks breaks{0, 0};
  for (unsigned k = 0; k < 16; ++k) {
    breaks.cr |= unsigned{p[k] == Char('\r')} << k;
    breaks.lf |= unsigned{p[k] == Char('\n')} << k;
  }
  return breaks;
}
#endif

// Bit k is set when p[k] ends a line, for the 16 characters at p: an LF, or
// a CR that no LF follows (p[16] must be readable).
template <class Char>
unsigned LineEndMask(const Char* p) {
  const Breaks breaks = FindBreaks(p);
  const unsigned lf_next = (breaks.lf >> 1) | (unsigned{p[16] == Char('\n')} << 15);
  return breaks.lf | (breaks.cr & ~lf_next);
}

}  // namespace line_splitting_detail

// Calls start(i + 1), in order, for every i in [from, to) where text[i] ends
// a line: an LF, or a CR with no LF after it (text[to] must be readable, as
// the character after text[to - 1]). A text that grows at its end is indexed
// piece by piece this way, leaving its last character to the next piece; the
// last character of the whole text never starts a line.
template <class Char, class Start>
void ForEachStartAfterBreak(const Char* text, std::size_t from, std::size_t to, Start&& start) {
  std::size_t i = from;
  for (; to - i >= 16; i += 16) {
    for (unsigned ends = line_splitting_detail::LineEndMask(text + i); ends != 0; ends &= ends - 1)
      start(i + static_cast<std::size_t>(std::countr_zero(ends)) + 1);
  }
  for (; i < to; ++i) {
    if (text[i] == Char('\n') || (text[i] == Char('\r') && text[i + 1] != Char('\n'))) start(i + 1);
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
