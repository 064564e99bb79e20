// The first read of a part program's rewrite: the program opened once and
// kept open, its encoding and byte-order mark found, and every line read
// window by window (WindowedLines) into the subroutine pass's plan
// (SubroutinePlanner). Only the lines that can decide anything are decoded.
// It fails as a whole read of the file does: the same open failures, the
// encoding failure for an ill-formed byte anywhere, and a file that changes
// while it is read is the open failure "Changed while it was read".
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "driver/file_access/file_stamp.h"
#include "driver/file_access/path_texts.h"
#include "driver/file_access/program_file_reading.h"
#include "driver/file_access/read_at.h"
#include "driver/file_access/system_error_text.h"
#include "driver/program_text/line_splitting.h"
#include "driver/program_text/line_texts.h"
#include "driver/program_text/program_text_rules.h"
#include "driver/program_text/text_buffer.h"
#include "driver/program_text/windowed_lines.h"
#include "nc/subroutine_planner.h"
#include "tools/build_policy.h"
#include "tools/failure.h"

namespace orvalen {

// How a rewrite reads and shares its work: the size of a window of the file,
// and the fewest lines of a window worth a second thread. Tests set small
// ones, to put every edge case on a window's edge and to split windows of a
// few lines between the threads.
struct RewriteSettings {
  std::size_t window_bytes = std::size_t{1} << 20;
  std::size_t lines_worth_two_threads = 4096;
};

// Where the text of a program file lies and how it is written.
struct ProgramLayout {
  TextEncoding encoding = TextEncoding::kSystemCodePage;  // the legacy program's bytes too
  std::string mark;                                       // the byte-order mark
  std::uint64_t text_begin = 0;                           // after the mark
  std::uint64_t size = 0;                                 // the bytes read by the plan
  bool Wide() const {
    return encoding == TextEncoding::kUtf16LittleEndian ||
           encoding == TextEncoding::kUtf16BigEndian;
  }
};

template <BuildPolicy Build>
struct PlannedProgram {
  std::string path;  // as given
  HeldFile file;
  ProgramLayout layout;
  SubroutinePlan<Build> plan;
};

namespace rewrite_detail {

template <BuildPolicy Build>
[[noreturn]] void RaiseListIndexOf(std::int64_t index) {
  Raise<EStringListError>(ProgramTextRules<Build>::ListIndexMessage(index));
}

// The first read: the plan, for units of one kind.
template <BuildPolicy Build, class Unit>
void PlanLines(const std::string& path, PlannedProgram<Build>& planned, std::string_view mark,
               const RewriteSettings& settings) {
  using Decoder = typename ProgramTextRules<Build>::Decoder;
  const auto read_failure = [&](int error) {
    Raise<EFOpenError>(
        ProgramTextRules<Build>::OpenFailureMessage(FullPath(path), SystemErrorText(error)));
  };
  // Every byte goes through the decoder, so that an ill-formed byte anywhere
  // fails before the question; its text is dropped window by window. Text that every byte
  // sequence is (a single-byte code page) needs no such check.
  const bool check = planned.layout.encoding != TextEncoding::kSystemCodePage;
  Decoder checker;
  TextBuffer<typename Build::Char> checked;
  if (check) checker.Feed(mark, checked);
  const auto check_bytes = [&](const char* bytes, std::size_t size) {
    if (!check) return;
    checked.Clear();
    if (!checker.Feed(std::string_view(bytes, size), checked))
      Raise<EEncodingError>(ProgramTextRules<Build>::EncodingFailureMessage());
  };

  SubroutinePlanner<Build> planner(&RaiseListIndexOf<Build>);
  LineTexts<Build, Unit> texts(mark);
  const auto text_of = [&](const Unit* begin, const Unit* end) {
    auto text = texts.Of(begin, end);
    // The decoder has seen these bytes already and found them well formed.
    if (!text) Raise<EEncodingError>(ProgramTextRules<Build>::EncodingFailureMessage());
    return *text;
  };
  // The last two lines, where a call may find the line two above it.
  struct Place {
    std::uint64_t offset = 0;
    std::size_t units = 0;
  };
  Place previous[2];
  std::uint64_t offset = planned.layout.text_begin;  // of the line being handed out
  std::int64_t plain_from = 0;                       // lines passed over by number
  std::vector<Unit> two_above;
  WindowedLines<Unit> lines(planned.file.file.Get(), planned.layout.text_begin, UINT64_MAX,
                            planned.layout.encoding, settings.window_bytes);
  // "SUBCALL" is looked for in the units, which hold it exactly where the
  // text does: a code page byte or a UTF-16 unit is one character, and no
  // byte of a UTF-8 sequence is ASCII.
  // It is looked for once from a line on to the end of the window, not in
  // every line: in a large main part it is rare.
  static constexpr Unit kCall[] = {'S', 'U', 'B', 'C', 'A', 'L', 'L'};
  const Unit* call_at = nullptr;  // the next one in this window, or its end
  const auto holds_call = [&](const WindowLine<Unit>& line) {
    if (call_at == nullptr || call_at < line.start) {
      if constexpr (sizeof(Unit) == 1) {
        const void* found =
            memmem(line.start, static_cast<std::size_t>(line.loaded_end - line.start), kCall,
                   sizeof kCall);
        call_at = found != nullptr ? static_cast<const Unit*>(found) : line.loaded_end;
      } else {
        call_at = std::search(line.start, line.loaded_end, std::begin(kCall), std::end(kCall));
      }
    }
    return call_at < line.text_end;
  };
  const int error = lines.Run(
      check_bytes,
      [&](std::int64_t index, const WindowLine<Unit>& line) {
        const std::size_t units = static_cast<std::size_t>(line.next - line.start);
        const auto lead =
            line.start == line.text_end
                ? 0u
                : static_cast<unsigned>(static_cast<std::make_unsigned_t<Unit>>(line.start[0]));
        const bool needed = planner.Searching() || MayStartKeyword(lead) ||
                            (planner.InMainPart() && holds_call(line));
        if (needed) {
          planner.PlainLines(plain_from, index);
          plain_from = index + 1;
          if (planner.Line(index, text_of(line.start, line.text_end))) {
            // Read again from the file: it may lie in a window gone by.
            const Place& place = previous[0];
            two_above.resize(place.units);
            const std::size_t bytes = place.units * sizeof(Unit);
            const std::int64_t got =
                ReadAt(planned.file.file.Get(), reinterpret_cast<char*>(two_above.data()), bytes,
                       place.offset);
            if (got < 0) read_failure(static_cast<int>(-got));
            if (static_cast<std::size_t>(got) != bytes) read_failure(kChangedWhileRead);
            if constexpr (sizeof(Unit) == 2)
              ProgramTextDecoder::UnitsInPlace(planned.layout.encoding, two_above.data(),
                                               two_above.size());
            const Unit* const begin = two_above.data();
            planner.TwoAbove(text_of(begin, begin + (LineEnd(begin, 0, place.units))));
          }
        }
        previous[0] = previous[1];
        previous[1] = {offset, units};
        offset += units * sizeof(Unit);
        return true;
      },
      [&] { call_at = nullptr; });
  if (error != 0) read_failure(error);
  planner.PlainLines(plain_from, lines.Lines());
  if (check && !checker.Finish(checked))
    Raise<EEncodingError>(ProgramTextRules<Build>::EncodingFailureMessage());
  planner.Finish(lines.Lines());
  planned.layout.size = planned.layout.text_begin + lines.BytesRead();
  planned.plan = planner.TakePlan();
}

}  // namespace rewrite_detail

// The first read: opens the program at `path` (of any size), keeps it open,
// and makes the plan.
template <BuildPolicy Build>
PlannedProgram<Build> PlanProgram(const std::string& path, const RewriteSettings& settings = {}) {
  using Rules = ProgramTextRules<Build>;
  PlannedProgram<Build> planned;
  planned.path = path;
  {
    ProgramFileReader reader;
    if (const int error = reader.Open(path, UINT64_MAX))
      Raise<EFOpenError>(Rules::OpenFailureMessage(FullPath(path), SystemErrorText(error)));
    reader.Keep(planned.file);
  }
  char head[3] = {};
  const std::int64_t got = ReadAt(planned.file.file.Get(), head, sizeof head, 0);
  if (got < 0)
    Raise<EFOpenError>(
        Rules::OpenFailureMessage(FullPath(path), SystemErrorText(static_cast<int>(-got))));
  if constexpr (Rules::kHasEncoding) {
    // The mark as the decoder finds it, given the file's first bytes.
    const std::string_view start(head, static_cast<std::size_t>(got));
    typename Rules::Decoder decoder;
    TextBuffer<typename Build::Char> scratch;
    decoder.Feed(start, scratch);
    planned.layout.encoding = decoder.Encoding();
    const std::size_t mark = planned.layout.encoding == TextEncoding::kUtf8 ? 3
                             : planned.layout.Wide()                        ? 2
                                                                            : 0;
    planned.layout.mark = start.substr(0, mark);
  }
  const std::string_view mark = planned.layout.mark;
  planned.layout.text_begin = mark.size();
  if constexpr (Rules::kHasEncoding) {
    if (planned.layout.Wide())
      rewrite_detail::PlanLines<Build, char16_t>(path, planned, mark, settings);
  }
  if (!planned.layout.Wide()) rewrite_detail::PlanLines<Build, char>(path, planned, mark, settings);
  if (int difference = DifferenceFrom(planned.file)) {
    if (difference == kChangedSinceRead) difference = kChangedWhileRead;
    Raise<EFOpenError>(Rules::OpenFailureMessage(FullPath(path), SystemErrorText(difference)));
  }
  return planned;
}

}  // namespace orvalen
