// Reading the lines of a file in windows of bounded size, without holding the
// file: the text's code units (bytes, or UTF-16 units put in this machine's
// byte order) are read window after window into one buffer, split into lines
// by the part programs' rule (driver/program_text/line_splitting.h), and handed
// out line by line; a line that goes on past a window is carried over to the
// next, so only a line longer than a window makes the buffer grow. Reads go
// through pread on a held descriptor; nothing is mapped, so a file cut short
// by another program is an early end, never a fault.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "driver/file_access/read_at.h"
#include "driver/program_text/line_splitting.h"
#include "driver/program_text/program_text_codec.h"
#include "tools/failure.h"

namespace orvalen {

// One line as the reader hands it out: its text and its break (none after a
// last line without one), in the reader's buffer until the window moves on.
template <class Unit>
struct WindowLine {
  const Unit* start;
  const Unit* text_end;
  const Unit* next;        // the start of the next line
  const Unit* loaded_end;  // the end of what the window holds, this line and those after it
  bool EndsInCrLf() const {
    return next - text_end == 2 && text_end[0] == Unit('\r') && text_end[1] == Unit('\n');
  }
};

template <class Unit>
class WindowedLines {
 public:
  // The text is the bytes from `begin` up to `end` (or up to the end of the
  // file, whichever comes first), in `encoding` (UTF-16 units are put in
  // this machine's byte order), read `window_bytes` at a time. A last odd
  // byte of UTF-16 is no part of the text.
  WindowedLines(int fd, std::uint64_t begin, std::uint64_t end, TextEncoding encoding,
                std::size_t window_bytes)
      : fd_(fd), position_(begin), end_(end), encoding_(encoding), window_bytes_(window_bytes) {}

  // Calls bytes(const char*, size) with every piece of the file's bytes as
  // read, before they are split; line(index, WindowLine) for every line in
  // order, while it returns true; and window_end() before the lines handed
  // out so far leave the buffer. 0, or the error number of a failed read.
  template <class OnBytes, class OnLine, class OnWindowEnd>
  int Run(OnBytes&& bytes, OnLine&& line, OnWindowEnd&& window_end) {
    const std::size_t kWindowUnits = std::max<std::size_t>(window_bytes_ / sizeof(Unit), 1);
    std::size_t have = 0;     // units in the buffer
    std::size_t first = 0;    // where the line not yet handed out begins
    std::size_t indexed = 0;  // the units before this one have been looked at for breaks
    bool at_end = false;
    while (!at_end) {
      if (first > 0) {
        window_end();
        std::memmove(buffer_.data(), buffer_.data() + first, (have - first) * sizeof(Unit));
        have -= first;
        indexed -= first;
        first = 0;
      }
      // Room for a window, and one unit more for the reader of the breaks.
      if (buffer_.size() < have + kWindowUnits + 1) {
        try {
          buffer_.resize(have + kWindowUnits + 1);
        } catch (const std::bad_alloc&) {
          RaiseOutOfMemory();
        }
      }
      std::size_t wanted = kWindowUnits * sizeof(Unit);
      if (end_ - position_ < wanted) wanted = static_cast<std::size_t>(end_ - position_);
      char* const room = reinterpret_cast<char*>(buffer_.data() + have);
      const std::int64_t got = wanted == 0 ? 0 : ReadAt(fd_, room, wanted, position_);
      if (got < 0) return static_cast<int>(-got);
      position_ += static_cast<std::uint64_t>(got);
      read_ += static_cast<std::uint64_t>(got);
      // Only the end of the text (of the file, or the end asked for) gives a
      // short read or an odd count, whose last byte is dropped.
      at_end = static_cast<std::size_t>(got) < wanted || position_ >= end_;
      if (got > 0) bytes(static_cast<const char*>(room), static_cast<std::size_t>(got));
      const std::size_t new_units = static_cast<std::size_t>(got) / sizeof(Unit);
      if constexpr (sizeof(Unit) == 2)
        ProgramTextDecoder::UnitsInPlace(encoding_, buffer_.data() + have, new_units);
      have += new_units;
      // The last unit waits for the next window, which says whether a CR
      // there ends a line; the text's last unit never starts one.
      const std::size_t to = have == 0 ? 0 : have - 1;
      const Unit* const text = buffer_.data();
      bool going = true;
      if (to > indexed) {
        ForEachStartAfterBreak(text, indexed, to, [&](std::size_t start) {
          if (!going) return;
          going = line(index_++, WindowLine<Unit>{text + first, text + LineEnd(text, first, start),
                                                  text + start, text + have});
          first = start;
        });
        indexed = to;
      }
      if (!going) {
        window_end();
        return 0;
      }
      if (at_end && first < have) {
        line(index_++, WindowLine<Unit>{text + first, text + LineEnd(text, first, have),
                                        text + have, text + have});
        first = have;
      }
    }
    window_end();
    return 0;
  }

  // The lines handed out and the bytes read so far.
  std::int64_t Lines() const { return index_; }
  std::uint64_t BytesRead() const { return read_; }

 private:
  int fd_;
  std::uint64_t position_;
  std::uint64_t end_;
  TextEncoding encoding_;
  std::size_t window_bytes_;
  std::uint64_t read_ = 0;
  std::int64_t index_ = 0;
  std::vector<Unit> buffer_;
};

}  // namespace orvalen
