// A part program rewritten by the subroutine pass without being held whole
// (the pass's two reads, nc/streamed_pass.h): PlanProgram reads the file
// once and makes the plan; RewriteProgram asks the question, then streams
// the file through once more into its new content, which goes over the
// program or beside it as a new file (as the list of lines saves it,
// reference/program_file.h). Memory stays within a few windows
// whatever the size of the file.
//
// The text is what LineList would load: the same encodings and the same
// failures, lines by the same rule, each written back followed by CR LF in
// the encoding and with the byte-order mark it was read in. A line that
// nothing changes and that already ends in CR LF is copied as it lies: its
// bytes are the ones its text encodes to.
//
// The file must be the same for both reads: a file that changes while the
// plan is made fails as the load does; one that changes after, or while the
// stream reads it, fails the save ("Changed since it was read"), the
// program untouched.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <vector>

#include "driver/file_access/file_replacement.h"
#include "driver/file_access/file_stamp.h"
#include "driver/file_access/path_texts.h"
#include "driver/file_access/program_file_reading.h"
#include "driver/file_access/system_error_text.h"
#include "driver/file_access/write_behind.h"
#include "driver/program_text/program_text_rules.h"
#include "driver/program_text/text_buffer.h"
#include "driver/program_text/windowed_lines.h"
#include "nc/streamed_pass.h"
#include "tools/build_policy.h"
#include "tools/dialogs.h"
#include "tools/failure.h"

namespace orvalen {

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
  bool Swapped() const {
    return encoding == (std::endian::native == std::endian::little
                            ? TextEncoding::kUtf16BigEndian
                            : TextEncoding::kUtf16LittleEndian);
  }
};

template <BuildPolicy Build>
struct PlannedProgram {
  std::string path;  // as given
  HeldFile file;
  ProgramLayout layout;
  SubroutinePlan<Build> plan;
};

namespace streamed_detail {

template <BuildPolicy Build>
using Rules = ProgramTextRules<Build>;

template <BuildPolicy Build>
[[noreturn]] void RaiseListIndexOf(std::int64_t index) {
  Raise<EStringListError>(Rules<Build>::ListIndexMessage(index));
}

// The text of a line in the program's characters: the units themselves
// where they are those characters, else decoded (a decoder that has been
// given the file's mark, so that it decodes as the load does).
template <BuildPolicy Build, class Unit>
class LineTexts {
  using Char = typename Build::Char;

 public:
  explicit LineTexts(std::string_view mark) {
    if constexpr (!std::is_same_v<Unit, Char>) decoder_.Feed(mark, scratch_);
  }
  // Nothing when the bytes no longer decode (the file changed).
  std::optional<typename Build::TextView> Of(const Unit* begin, const Unit* end) {
    if constexpr (std::is_same_v<Unit, Char>) {
      return typename Build::TextView(begin, static_cast<std::size_t>(end - begin));
    } else {
      scratch_.Clear();
      if (!decoder_.Feed(std::string_view(begin, static_cast<std::size_t>(end - begin)), scratch_))
        return std::nullopt;
      return typename Build::TextView(scratch_.data(), scratch_.size());
    }
  }

 private:
  typename Rules<Build>::Decoder decoder_;
  TextBuffer<Char> scratch_;
};

// The first read: the plan, for units of one kind.
template <BuildPolicy Build, class Unit>
void PlanLines(const std::string& path, PlannedProgram<Build>& planned, std::string_view mark) {
  using Decoder = typename Rules<Build>::Decoder;
  const auto read_failure = [&](int error) {
    Raise<EFOpenError>(Rules<Build>::OpenFailureMessage(FullPath(path), SystemErrorText(error)));
  };
  // Every byte goes through the decoder, which finds what the load finds
  // ill-formed; its text is dropped window by window. Text that every byte
  // sequence is (a single-byte code page) needs no such check.
  const bool check = planned.layout.encoding != TextEncoding::kSystemCodePage;
  Decoder checker;
  TextBuffer<typename Build::Char> checked;
  if (check) checker.Feed(mark, checked);
  const auto check_bytes = [&](const char* bytes, std::size_t size) {
    if (!check) return;
    checked.Clear();
    if (!checker.Feed(std::string_view(bytes, size), checked))
      Raise<EEncodingError>(Rules<Build>::EncodingFailureMessage());
  };

  SubroutinePlanner<Build> planner(&RaiseListIndexOf<Build>);
  LineTexts<Build, Unit> texts(mark);
  const auto text_of = [&](const Unit* begin, const Unit* end) {
    auto text = texts.Of(begin, end);
    // The decoder has seen these bytes already and found them well formed.
    if (!text) Raise<EEncodingError>(Rules<Build>::EncodingFailureMessage());
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
                            planned.layout.Swapped());
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
        const bool needed = planner.Searching() ||
                            SubroutinePlanner<Build>::MayStartKeyword(lead) ||
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
            if constexpr (sizeof(Unit) == 2) {
              if (planned.layout.Swapped())
                for (Unit& u : two_above)
                  u = static_cast<Unit>(__builtin_bswap16(static_cast<std::uint16_t>(u)));
            }
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
    Raise<EEncodingError>(Rules<Build>::EncodingFailureMessage());
  planner.Finish(lines.Lines());
  planned.layout.size = planned.layout.text_begin + lines.BytesRead();
  planned.plan = planner.TakePlan();
}

}  // namespace streamed_detail

// The first read: opens the program at `path` (of any size), keeps it open,
// and makes the plan. Fails as LineList's load does.
template <BuildPolicy Build>
PlannedProgram<Build> PlanProgram(const std::string& path) {
  using Rules = streamed_detail::Rules<Build>;
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
    // The mark as the load finds it: the decoder, given the file's first bytes.
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
    if (planned.layout.Wide()) streamed_detail::PlanLines<Build, char16_t>(path, planned, mark);
  }
  if (!planned.layout.Wide()) streamed_detail::PlanLines<Build, char>(path, planned, mark);
  if (int difference = DifferenceFrom(planned.file)) {
    if (difference == kChangedSinceRead) difference = kChangedWhileRead;
    Raise<EFOpenError>(Rules::OpenFailureMessage(FullPath(path), SystemErrorText(difference)));
  }
  return planned;
}

namespace streamed_detail {

// Where the new content goes: a file through a writing thread; a staging
// place, for a target written in place, which must not be written while it
// is still read (an unnamed temporary file of this user alone in TMPDIR or
// /tmp, or memory where none can be made); or nowhere (when nothing will be
// saved). A failed write makes it nowhere and is told at the end.
class StreamOutput {
 public:
  static constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
  static constexpr std::size_t kRoomBytes = std::size_t{1} << 16;  // what Room gives at most

  enum class Kind { kFile, kStaged, kNowhere };
  StreamOutput(FileReplacement* file, Kind kind, bool second_thread) : kind_(kind) {
    if (kind_ == Kind::kNowhere) return;
    if (kind_ == Kind::kStaged) {
      const char* folder = std::getenv("TMPDIR");
      if (folder == nullptr || *folder != '/') folder = "/tmp";
      staging_ = UniqueFd(open(folder, O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600));
      if (!staging_)
        staging_ = UniqueFd(open("/tmp", O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600));
    }
    try {
      buffers_ = std::make_unique_for_overwrite<char[]>(2 * (kPieceBytes + kRoomBytes));
    } catch (const std::bad_alloc&) {
      RaiseOutOfMemory();
    }
    out_ = end_ = buffers_.get();
    if (kind_ == Kind::kFile) writer_.emplace(*file, second_thread);
  }
  bool Writes() const { return kind_ != Kind::kNowhere; }
  // At least `bytes` (at most kRoomBytes) of room at the end.
  char* Room(std::size_t bytes) {
    if (static_cast<std::size_t>(end_ - out_) + bytes > kPieceBytes + kRoomBytes) HandOver();
    return end_;
  }
  void Commit(char* end) {
    end_ = end;
    if (static_cast<std::size_t>(end_ - out_) >= kPieceBytes) HandOver();
  }
  void Put(const char* data, std::size_t size) {
    while (size > 0) {
      const std::size_t part = std::min(size, kRoomBytes);
      char* const room = Room(part);
      std::memcpy(room, data, part);
      Commit(room + part);
      data += part;
      size -= part;
    }
  }
  // False when a write failed.
  bool Finish() {
    if (kind_ == Kind::kNowhere) return !failed_;
    HandOver();
    if (writer_ && !writer_->Finish()) failed_ = true;
    return !failed_;
  }
  // Writes the staged content to `file` (in place), after reserving room
  // for it; false when a write fails.
  bool WriteStagedTo(FileReplacement& file) {
    if (!file.Reserve(staged_)) return false;
    if (!static_cast<bool>(staging_)) {
      for (std::size_t at = 0; at < memory_.size(); at += kPieceBytes) {
        if (!file.Write(memory_.data() + at, std::min(memory_.size() - at, kPieceBytes)))
          return false;
      }
      return true;
    }
    char* const piece = buffers_.get();
    for (std::uint64_t at = 0; at < staged_;) {
      const std::int64_t got = ReadAt(staging_.Get(), piece, kPieceBytes, at);
      if (got <= 0 || !file.Write(piece, static_cast<std::size_t>(got))) return false;
      at += static_cast<std::uint64_t>(got);
    }
    return true;
  }

 private:
  void HandOver() {
    if (end_ == out_) return;
    const std::size_t size = static_cast<std::size_t>(end_ - out_);
    if (kind_ == Kind::kStaged) {
      end_ = out_;
      if (failed_) return;
      if (static_cast<bool>(staging_)) {
        for (std::size_t done = 0; done < size;) {
          const ssize_t put = write(staging_.Get(), out_ + done, size - done);
          if (put < 0 && errno == EINTR) continue;
          if (put <= 0) {
            failed_ = true;
            return;
          }
          done += static_cast<std::size_t>(put);
        }
      } else {
        try {
          memory_.append(out_, size);
        } catch (const std::bad_alloc&) {
          RaiseOutOfMemory();
        }
      }
      staged_ += size;
      return;
    }
    if (!writer_->Write(out_, size)) failed_ = true;
    char* const other =
        out_ == buffers_.get() ? buffers_.get() + kPieceBytes + kRoomBytes : buffers_.get();
    out_ = end_ = other;
  }

  Kind kind_;
  std::unique_ptr<char[]> buffers_;
  char* out_ = nullptr;  // the piece being filled
  char* end_ = nullptr;
  std::optional<WriteBehind> writer_;
  UniqueFd staging_;
  std::string memory_;
  std::uint64_t staged_ = 0;
  bool failed_ = false;
};

// A window with fewer lines is shifted on one thread (a test sets fewer, to
// split windows of a few lines).
inline std::size_t g_lines_worth_two_threads = 4096;

// Where a quiet worker puts the bytes of its lines: a buffer of its own,
// which only grows.
class ByteSink {
 public:
  explicit ByteSink(bool writes) : writes_(writes) {}
  bool Writes() const { return writes_; }
  char* Room(std::size_t bytes) {
    if (capacity_ - used_ < bytes) {
      const std::size_t capacity = std::max(2 * capacity_, used_ + bytes);
      auto grown = std::make_unique_for_overwrite<char[]>(capacity);  // bad_alloc: the caller's
      if (used_ != 0) std::memcpy(grown.get(), bytes_.get(), used_);
      bytes_ = std::move(grown);
      capacity_ = capacity;
    }
    return bytes_.get() + used_;
  }
  void Commit(char* end) { used_ = static_cast<std::size_t>(end - bytes_.get()); }
  void Put(const char* data, std::size_t size) {
    char* const room = Room(size);
    if (size != 0) std::memcpy(room, data, size);
    Commit(room + size);
  }
  const char* Data() const { return bytes_.get(); }
  std::size_t Size() const { return used_; }
  void Clear() { used_ = 0; }

 private:
  bool writes_;
  std::unique_ptr<char[]> bytes_;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
};

// The lines of one window as the stream deals with them: each line through
// to a sink, the lines of the runs shifted, the lines the second pass
// shifted put in their place, unchanged lines that end in CR LF copied as
// they lie.
template <BuildPolicy Build, class Unit>
class LineEmitter {
  using Char = typename Build::Char;
  using TextView = typename Build::TextView;
  using Encoder = typename Rules<Build>::Encoder;

 public:
  struct Line {
    std::int64_t index;
    WindowLine<Unit> place;
  };

  LineEmitter(const PlannedProgram<Build>& planned, const SecondPass<Build>& second,
              const Encoder& encoder, std::string_view mark)
      : runs_(planned.plan.runs), replaced_(second.replaced), encoder_(encoder), texts_(mark) {}

  // Puts lines to `sink`, in order. With dialogs, every line, with the
  // messages and failures of its shift; without (quietly, on any thread),
  // up to the first line whose shift needs a word to the user or fails.
  // Gives the number of lines put; `changed` is set when a line no longer
  // decodes (the file is not what the plan read).
  template <class Sink>
  std::size_t Emit(std::span<const Line> lines, Sink& sink, Dialogs<Build>* dialogs,
                   bool& changed) {
    if (lines.empty()) return 0;
    std::size_t run = static_cast<std::size_t>(
        std::upper_bound(runs_.begin(), runs_.end(), lines.front().index,
                         [](std::int64_t i, const nc_detail::ShiftRun& r) { return i < r.end; }) -
        runs_.begin());
    std::size_t replaced = static_cast<std::size_t>(
        std::lower_bound(replaced_.begin(), replaced_.end(), lines.front().index,
                         [](const auto& r, std::int64_t i) { return r.first < i; }) -
        replaced_.begin());
    const Unit* copy_begin = nullptr;  // unchanged lines waiting to be copied
    const Unit* copy_end = nullptr;
    const auto flush = [&] {
      if (copy_begin != copy_end) PutUnits(copy_begin, copy_end, sink);
      copy_begin = copy_end = nullptr;
    };
    std::size_t done = 0;
    for (; done < lines.size(); ++done) {
      const std::int64_t index = lines[done].index;
      const WindowLine<Unit>& line = lines[done].place;
      if (replaced < replaced_.size() && replaced_[replaced].first == index) {
        if (sink.Writes()) {
          flush();
          PutText(replaced_[replaced].second, sink);
          PutText(TextView(kBreak, 2), sink);
        }
        ++replaced;
        continue;
      }
      while (run < runs_.size() && runs_[run].end <= index) ++run;
      if (run < runs_.size() && runs_[run].first <= index) {
        const auto text = texts_.Of(line.start, line.text_end);
        if (!text) {
          changed = true;
          break;
        }
        const nc_detail::ShiftRun& r = runs_[run];
        std::optional<TextView> shifted;
        if (dialogs != nullptr) {
          shifted = ShiftRunLine<Build>(words_, *text, r.dx, r.dy, *dialogs, first_, second_);
        } else {
          shifted = nc_detail::ShiftTextQuietly<Build>(words_, *text, r.dx, r.dy, first_);
          if (!shifted) break;
        }
        if (sink.Writes()) {
          flush();
          PutText(*shifted, sink);
          PutText(TextView(kBreak, 2), sink);
        }
        continue;
      }
      if (!sink.Writes()) continue;
      if (line.EndsInCrLf()) {
        if (copy_begin == nullptr) copy_begin = line.start;
        copy_end = line.next;
        continue;
      }
      flush();
      PutUnits(line.start, line.text_end, sink);
      PutText(TextView(kBreak, 2), sink);
    }
    flush();
    return done;
  }

  // Whether any of the lines is one of a run.
  bool AnyShifted(std::span<const Line> lines) const {
    if (lines.empty()) return false;
    const auto run =
        std::upper_bound(runs_.begin(), runs_.end(), lines.front().index,
                         [](std::int64_t i, const nc_detail::ShiftRun& r) { return i < r.end; });
    return run != runs_.end() && run->first <= lines.back().index;
  }

 private:
  static constexpr Char kBreak[] = {Char('\r'), Char('\n')};
  static constexpr std::size_t kMaxBytes = Encoder::kMaxBytesPerUnit;
  static constexpr std::size_t kSliceUnits = std::size_t{1} << 14;

  // Text in the program's characters, encoded in slices that never split a
  // surrogate pair.
  template <class Sink>
  void PutText(TextView text, Sink& sink) {
    while (!text.empty()) {
      std::size_t slice = std::min(text.size(), kSliceUnits);
      if constexpr (sizeof(Char) == 2) {
        if (slice < text.size() && text[slice - 1] >= 0xD800 && text[slice - 1] <= 0xDBFF) --slice;
      }
      char* const room = sink.Room(slice * kMaxBytes);
      sink.Commit(encoder_.Encode(text.substr(0, slice), room));
      text.remove_prefix(slice);
    }
  }
  // Units as they are: the file's own bytes, or UTF-16 put back in the
  // file's byte order.
  template <class Sink>
  void PutUnits(const Unit* begin, const Unit* end, Sink& sink) {
    if constexpr (sizeof(Unit) == 1) {
      sink.Put(begin, static_cast<std::size_t>(end - begin));
    } else {
      PutText(TextView(begin, static_cast<std::size_t>(end - begin)), sink);
    }
  }

  const std::vector<nc_detail::ShiftRun>& runs_;
  const std::vector<std::pair<std::int64_t, typename Build::Text>>& replaced_;
  const Encoder& encoder_;
  const nc_detail::Words<Build> words_;
  LineTexts<Build, Unit> texts_;
  typename Build::Text first_;
  typename Build::Text second_;
};

// The second read, for units of one kind: every line through to `output`
// (LineEmitter), window by window. A window with many lines to shift is
// shifted on two threads: a second thread takes its later part quietly
// while this one does the earlier part; then this one goes on, in order,
// from wherever either half stopped, with the messages and failures that
// one thread alone would give. Stops before line `stop`. False when the file
// is no longer what the plan read.
template <BuildPolicy Build, class Unit>
bool StreamLines(const PlannedProgram<Build>& planned, const SecondPass<Build>& second,
                 std::int64_t stop, StreamOutput& output, Dialogs<Build>& dialogs,
                 std::string_view mark, int& read_error) {
  using Encoder = typename Rules<Build>::Encoder;
  using Emitter = LineEmitter<Build, Unit>;
  const auto encoder = [&] {
    if constexpr (Rules<Build>::kHasEncoding) {
      return Encoder(planned.layout.encoding);
    } else {
      return Encoder();
    }
  }();
  Emitter here(planned, second, encoder, mark);
  std::optional<Emitter> there;  // the second thread's
  ByteSink there_bytes(output.Writes());
  std::vector<typename Emitter::Line> window;
  bool changed = false;

  const auto emit_window = [&] {
    if (changed || window.empty()) {
      window.clear();
      return;
    }
    const std::span<const typename Emitter::Line> all(window);
    std::size_t split = all.size();
    std::size_t there_done = 0;
    bool there_changed = false;
    if (all.size() >= g_lines_worth_two_threads && here.AnyShifted(all)) {
      // This thread also reads and splits the next window and hands the
      // other's bytes on: it takes the smaller part.
      split = all.size() * 7 / 16;
      if (!there) there.emplace(planned, second, encoder, mark);
      there_bytes.Clear();
      const auto later = all.subspan(split);
      const auto work = [&]() noexcept {
        try {
          there_done = there->Emit(later, there_bytes, nullptr, there_changed);
        } catch (...) {
          there_done = 0;  // done again below, in order
          there_bytes.Clear();
        }
      };
      std::thread helper;
      try {
        helper = std::thread(work);
      } catch (const std::exception&) {
        // No second thread: this one does the later half itself, below.
      }
      // Whatever this thread meets, the second one is waited for.
      struct Joiner {
        std::thread& thread;
        ~Joiner() {
          if (thread.joinable()) thread.join();
        }
      } joiner{helper};
      std::size_t here_done = here.Emit(all.first(split), output, nullptr, changed);
      if (!changed) here.Emit(all.first(split).subspan(here_done), output, &dialogs, changed);
      if (helper.joinable()) helper.join();
      if (changed) return;
      if (there_changed) {
        there_done = 0;  // this thread meets the same line below
        there_bytes.Clear();
      }
      output.Put(there_bytes.Data(), there_bytes.Size());
      here_done = there_done;
      here.Emit(later.subspan(here_done), output, &dialogs, changed);
    } else {
      const std::size_t done = here.Emit(all, output, nullptr, changed);
      if (!changed) here.Emit(all.subspan(done), output, &dialogs, changed);
    }
    window.clear();
  };

  if (output.Writes()) {
    const std::string_view bom = encoder.ByteOrderMark();
    output.Put(bom.data(), bom.size());
  }
  WindowedLines<Unit> lines(planned.file.file.Get(), planned.layout.text_begin, planned.layout.size,
                            planned.layout.Swapped());
  read_error = lines.Run([](const char*, std::size_t) {},
                         [&](std::int64_t index, const WindowLine<Unit>& line) {
                           if (index >= stop) return false;
                           try {
                             window.push_back({index, line});
                           } catch (const std::bad_alloc&) {
                             RaiseOutOfMemory();
                           }
                           return true;
                         },
                         emit_window);
  if (read_error != 0) return true;
  // Cut short, or lines that are not the plan's.
  if (stop >= planned.plan.lines &&
      (lines.Lines() != planned.plan.lines ||
       planned.layout.text_begin + lines.BytesRead() != planned.layout.size))
    changed = true;
  return !changed;
}

}  // namespace streamed_detail

// The subroutine pass over the planned program, then its new content saved
// over `path` (`over_program`) or to `path` beside it, as the run drivers
// save the list of lines. Shows and raises what OptimizeSubroutines and the
// save after it would; gives the number of subroutines, 0 when nothing was
// saved.
template <BuildPolicy Build>
std::int32_t RewriteProgram(const PlannedProgram<Build>& planned, Dialogs<Build>& dialogs,
                            const std::string& path, bool over_program) {
  using Rules = streamed_detail::Rules<Build>;
  const SubroutinePlan<Build>& plan = planned.plan;
  const nc_detail::Words<Build> words;
  if (plan.asks) {
    const int answer =
        dialogs.MessageDlg(words.question, DialogKind::kConfirmation, DialogButtons::kYesNo, 0);
    if (answer == kAnswerNo) return 0;
  }
  if (plan.count < 1 && !plan.failure) return plan.count;

  SecondPass<Build> second;
  bool saves = !plan.failure;
  if (saves) {
    second = RunSecondPass<Build>(plan, &streamed_detail::RaiseListIndexOf<Build>);
    saves = second.saves;
  }
  FileReplacement file;
  int create_error = 0;
  if (saves) {
    create_error = file.Begin(path, SaveGuard{.replaces = over_program ? &planned.file : nullptr,
                                              .content_of = &planned.file});
  }
  using Kind = streamed_detail::StreamOutput::Kind;
  const Kind kind = !saves || create_error != 0 ? Kind::kNowhere
                    : file.InPlace()            ? Kind::kStaged
                                                : Kind::kFile;
  streamed_detail::StreamOutput output(&file, kind,
                                       planned.layout.size >= (std::uint64_t{4} << 20));
  std::int64_t stop = plan.failure ? plan.failure_line : plan.lines;
  // With nothing to write, the stream ends after the last line of a run.
  if (kind == Kind::kNowhere) stop = std::min(stop, plan.runs.empty() ? 0 : plan.runs.back().end);
  const std::string_view mark = planned.layout.mark;
  int read_error = 0;
  bool same = true;
  if constexpr (Rules::kHasEncoding) {
    if (planned.layout.Wide())
      same = streamed_detail::StreamLines<Build, char16_t>(planned, second, stop, output, dialogs,
                                                           mark, read_error);
  }
  if (!planned.layout.Wide())
    same = streamed_detail::StreamLines<Build, char>(planned, second, stop, output, dialogs, mark,
                                                     read_error);
  const auto create_failure = [&](int error) {
    Raise<EFCreateError>(Rules::CreateFailureMessage(FullPath(path), SystemErrorText(error)));
  };
  if (read_error != 0)
    Raise<EFOpenError>(
        Rules::OpenFailureMessage(FullPath(planned.path), SystemErrorText(read_error)));
  if (!same) create_failure(kChangedSinceRead);
  if (plan.failure) std::rethrow_exception(plan.failure);
  if (!second.Show(dialogs)) return 0;
  if (create_error != 0) create_failure(create_error);
  if (!output.Finish()) Raise<EWriteError>(Rules::WriteFailureMessage());
  if (kind == Kind::kStaged && !output.WriteStagedTo(file))
    Raise<EWriteError>(Rules::WriteFailureMessage());
  int error = 0;
  switch (file.Commit(error)) {
    case FileReplacement::Outcome::kDone:
      break;
    case FileReplacement::Outcome::kWriteFailure:
      Raise<EWriteError>(Rules::WriteFailureMessage());
    case FileReplacement::Outcome::kCreateFailure:
      create_failure(error);
  }
  return plan.count;
}

}  // namespace orvalen
