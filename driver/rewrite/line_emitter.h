// The lines of one window of a part program as the rewrite's stream puts
// them out: each line through to a sink, the lines of the plan's runs
// shifted, the lines the second pass shifted put in their place, and
// unchanged lines that end in CR LF copied as they lie (their bytes are the
// ones their text encodes to); every other line is written followed by CR
// LF in the encoding it was read in.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/program_text/line_texts.h"
#include "driver/program_text/program_text_rules.h"
#include "driver/program_text/windowed_lines.h"
#include "driver/rewrite/program_plan.h"
#include "nc/quiet_shift.h"
#include "nc/second_pass.h"
#include "nc/shift_runs.h"
#include "nc/subroutine_rules.h"
#include "tools/build_policy.h"
#include "tools/dialogs.h"

namespace orvalen::rewrite_detail {

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
  using Encoder = typename ProgramTextRules<Build>::Encoder;

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
                         [](std::int64_t i, const ShiftRun& r) { return i < r.end; }) -
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
        const ShiftRun& r = runs_[run];
        std::optional<TextView> shifted;
        if (dialogs != nullptr) {
          shifted = ShiftRunLine<Build>(words_, *text, r.dx, r.dy, *dialogs, first_, second_);
        } else {
          shifted = ShiftTextQuietly<Build>(words_, *text, r.dx, r.dy, first_);
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
    const auto run = std::upper_bound(runs_.begin(), runs_.end(), lines.front().index,
                                      [](std::int64_t i, const ShiftRun& r) { return i < r.end; });
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

  const std::vector<ShiftRun>& runs_;
  const std::vector<std::pair<std::int64_t, typename Build::Text>>& replaced_;
  const Encoder& encoder_;
  const PassWords<Build> words_;
  LineTexts<Build, Unit> texts_;
  typename Build::Text first_;
  typename Build::Text second_;
};

}  // namespace orvalen::rewrite_detail
