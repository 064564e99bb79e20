// LineList: the lines of one part program, loaded whole from a file, read and
// replaced by index, and saved whole. One template serves both programs; the
// rules type (driver/program_text/program_text_rules.h, legacy/legacy_program_text_rules.h) says
// how bytes become text and how failures are worded.
//
// The text lives in one buffer with an index of line starts. A replaced line
// is written over its old text (and the break after it) when it fits there,
// else into an arena of large blocks, so neither a load nor a replacement
// allocates anything per line. A line holds no
// CR or LF; NUL is an ordinary character. The save writes every line followed
// by CR LF, in the encoding and with the byte-order mark found by the load,
// and never leaves a half-written file (driver/file_access/file_replacement.h). Files of
// 2 GiB or more are refused with the open failure "File too large".
//
// Two threads may read and replace lines at once as long as no line is
// touched by both: an entry of the index is read and written as a whole, and
// the start of a line's place in the text, which a neighbour reads, never
// changes.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver/file_access/file_replacement.h"
#include "driver/file_access/path_texts.h"
#include "driver/file_access/program_file_reading.h"
#include "driver/file_access/system_error_text.h"
#include "driver/file_access/write_behind.h"
#include "driver/program_text/line_splitting.h"
#include "driver/program_text/program_text_rules.h"
#include "driver/program_text/text_buffer.h"
#include "reference/pages_from_the_end.h"
#include "tools/build_policy.h"
#include "tools/failure.h"

namespace orvalen {

// LoadFromFile, Count, Strings, SetStrings and SaveToFile are the system's own
// names for what a line list does, kept as they are.
template <BuildPolicy Build>
class LineList {
  using Rules = ProgramTextRules<Build>;
  using Char = typename Build::Char;

 public:
  static constexpr bool kReplacesDistinctLinesConcurrently = true;

  // Replaces the list with the lines of the file at `path` (bytes, as given;
  // relative to the current folder). A failed load leaves the list as it was.
  // `held`, when given, keeps the file that was read, open, with where it
  // is and its stamp as of the open.
  void LoadFromFile(const std::string& path, HeldFile* held = nullptr);
  std::int32_t Count() const { return count_; }
  // The text of line `index`; the view stays valid until that line is
  // replaced or the list is loaded again. EStringListError outside 0..Count-1.
  typename Build::TextView Strings(std::int64_t index) const;
  // Line `index` becomes a copy of `text`, unchanged (not cut into lines
  // again); `text` may be a view of any line of the list, this one included.
  void SetStrings(std::int64_t index, typename Build::TextView text);
  // Writes every line followed by CR LF to the file at `path`, within what
  // `guard` allows.
  void SaveToFile(const std::string& path, const SaveGuard& guard = {}) const;
  // The encoding found by the last load; unset before the first one.
  std::optional<TextEncoding> Encoding() const requires Rules::kHasEncoding { return encoding_; }

 private:
  using TextView = typename Build::TextView;

  // An entry of the index is the start of its line in the text (below 2^31,
  // as the file is), or, for a replaced line, one of two flags with where
  // the line is now: kReplaced alone when it was written over its old place
  // in the text (the start in bits 0 to 30, the length in bits 31 to 61),
  // both flags when it lives in the arena (the rest is the address of its
  // ArenaLine divided by 8).
  static constexpr std::uint64_t kReplaced = std::uint64_t{1} << 63;
  static constexpr std::uint64_t kInArena = std::uint64_t{1} << 62;
  static constexpr std::uint64_t kValue = kInArena - 1;
  static constexpr std::uint64_t kStart = (std::uint64_t{1} << 31) - 1;
  static constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
  static constexpr std::size_t kSliceUnits = std::size_t{1} << 16;
  static constexpr std::size_t kArenaBlockBytes = std::size_t{1} << 20;
  // The longest run of unchanged lines saved as one piece: one that is
  // encoded is still in the cache when it is read; one written as it lies
  // goes in large writes, which the system takes several times as fast.
  static constexpr std::size_t kEncodedRun = std::size_t{1} << 17;
  static constexpr std::size_t kWrittenAsItLiesRun = std::size_t{1} << 21;

  // A replaced line that did not fit in its place in the text, followed by
  // `capacity` characters of which the first `length` are the line.
  struct alignas(8) ArenaLine {
    std::uint64_t text_start;  // where its place in the text begins
    std::uint32_t length;
    std::uint32_t capacity;
    Char* Chars() { return reinterpret_cast<Char*>(this + 1); }
  };

  // Entry `index` of the index, read and written whole: a neighbour may read
  // it while its own thread replaces its line.
  std::uint64_t Entry(std::int64_t index) const {
    return std::atomic_ref<std::uint64_t>(const_cast<std::uint64_t&>(starts_.data()[index]))
        .load(std::memory_order_acquire);
  }
  void SetEntry(std::int64_t index, std::uint64_t entry) {
    std::atomic_ref<std::uint64_t>(starts_.data()[index]).store(entry, std::memory_order_release);
  }

  static ArenaLine* ArenaLineOf(std::uint64_t entry) {
    return reinterpret_cast<ArenaLine*>(static_cast<std::uintptr_t>((entry & kValue) << 3));
  }
  // Where the place of line `index` (or the end of the text, for Count())
  // begins in the text.
  std::size_t TextStart(std::int64_t index) const {
    const std::uint64_t entry = Entry(index);
    if ((entry & kReplaced) == 0) return entry;
    if ((entry & kInArena) == 0) return entry & kStart;
    return ArenaLineOf(entry)->text_start;
  }
  // The text of a line that was replaced.
  TextView ReplacedLine(std::int64_t index) const;
  // Room in the arena for a line of `length` characters, with some to spare
  // for a second replacement.
  ArenaLine* NewArenaLine(std::size_t text_start, std::size_t length);

  // Calls `put` with the text of the file to save, in order: every line, each
  // followed by CR LF. A run of unchanged lines is put as one piece of at
  // most `longest_run` characters.
  template <class Put>
  void ForEachPieceToSave(std::size_t longest_run, Put&& put) const;

  TextBuffer<Char> text_;
  // The entry of every line, then the end of the text.
  TextBuffer<std::uint64_t> starts_;
  std::vector<std::unique_ptr<std::byte[]>> arena_;
  std::mutex arena_mutex_;           // for new room in the arena
  std::byte* arena_free_ = nullptr;  // in the last full-size block of the arena
  std::size_t arena_free_bytes_ = 0;
  std::int32_t count_ = 0;
  std::optional<TextEncoding> encoding_;
};

template <BuildPolicy Build>
void LineList<Build>::LoadFromFile(const std::string& path, HeldFile* held) {
  ProgramFileReader reader;
  if (const int error = reader.Open(path))
    Raise<EFOpenError>(Rules::OpenFailureMessage(FullPath(path), SystemErrorText(error)));
  const std::uint64_t size = reader.SizeHint();
  TextBuffer<Char> text;
  // No encoding gives more code units than bytes; the slack is for the last
  // piece of a UTF-8 text.
  text.Reserve(size + 4);
  // Started once the first piece tells how many characters the file's bytes
  // give, so that only the pages the text will fill are faulted in.
  std::optional<PagesFromTheEnd> pages;
  // Room for lines of 16 bytes on average and for one piece of nothing but
  // breaks, so that the index of an ordinary program never moves; what is not
  // written costs no memory.
  TextBuffer<std::uint64_t> starts;
  starts.Reserve(size / 16 + std::min<std::uint64_t>(size, kPieceBytes) + 2);
  typename Rules::Decoder decoder;
  // Small files take small pieces: a megabyte per load would cost more than
  // the file.
  const std::size_t piece_bytes = std::clamp<std::uint64_t>(size + 1, 4096, kPieceBytes);
  const auto piece = std::make_unique_for_overwrite<char[]>(piece_bytes);
  // The breaks before `indexed` have given their line starts. Each piece is
  // indexed while it is still in the cache; its last character waits for the
  // next, which says whether a CR there ends a line.
  std::size_t indexed = 0;
  std::uint64_t consumed = 0;
  for (;;) {
    std::size_t got = 0;
    auto read = [&](char* room, std::size_t bytes) {
      if (const int error = reader.Read(room, bytes, got))
        Raise<EFOpenError>(Rules::OpenFailureMessage(FullPath(path), SystemErrorText(error)));
    };
    // Bytes that are already text are read straight into it. The room asked
    // for is what is left of the file and a byte to meet its end, so that
    // the text never has to move.
    const std::size_t wanted =
        consumed <= size ? std::min<std::uint64_t>(size - consumed + 1, piece_bytes) : piece_bytes;
    if (char* const room = decoder.DirectRoom(text, wanted)) {
      read(room, wanted);
      if (got == 0) break;
      decoder.CommitDirect(got, text);
    } else {
      read(piece.get(), piece_bytes);
      if (got == 0) break;
      if (!decoder.Feed(std::string_view(piece.get(), got), text))
        Raise<EEncodingError>(Rules::EncodingFailureMessage());
    }
    consumed += got;
    if (!pages) {
      const double per_byte = double(text.size()) / double(consumed);
      const auto expected = static_cast<std::uint64_t>(per_byte * double(size));
      pages.emplace(text.data(), std::min<std::uint64_t>(expected, size + 4) * sizeof(Char));
    }
    pages->WrittenUpTo(text.size() * sizeof(Char));
    if (starts.size() == 0 && text.size() > 0) starts.Append(0);
    if (text.size() > indexed + 1) {
      // At most one line start per character.
      std::uint64_t* const first = starts.AppendSpace(text.size() - 1 - indexed);
      std::uint64_t* next = first;
      ForEachStartAfterBreak(text.data(), indexed, text.size() - 1,
                             [&next](std::size_t start) { *next++ = start; });
      starts.Commit(static_cast<std::size_t>(next - first));
      indexed = text.size() - 1;
    }
  }
  if (!decoder.Finish(text)) Raise<EEncodingError>(Rules::EncodingFailureMessage());

  const std::int32_t count = static_cast<std::int32_t>(starts.size());
  starts.Append(text.size());

  text_ = std::move(text);
  starts_ = std::move(starts);
  arena_.clear();
  arena_free_ = nullptr;
  arena_free_bytes_ = 0;
  count_ = count;
  if constexpr (Rules::kHasEncoding) encoding_ = decoder.Encoding();
  if (held != nullptr) reader.Keep(*held);
}

template <BuildPolicy Build>
typename Build::TextView LineList<Build>::Strings(std::int64_t index) const {
  if (index < 0 || index >= count_) Raise<EStringListError>(Rules::ListIndexMessage(index));
  const std::uint64_t start = Entry(index);
  if (start & kReplaced) return ReplacedLine(index);
  const std::size_t end = LineEnd(text_.data(), start, TextStart(index + 1));
  return typename Build::TextView(text_.data() + start, end - start);
}

template <BuildPolicy Build>
typename Build::TextView LineList<Build>::ReplacedLine(std::int64_t index) const {
  const std::uint64_t entry = Entry(index);
  if (entry & kInArena) {
    ArenaLine* const line = ArenaLineOf(entry);
    return TextView(line->Chars(), line->length);
  }
  return TextView(text_.data() + (entry & kStart), (entry & kValue) >> 31);
}

template <BuildPolicy Build>
typename LineList<Build>::ArenaLine* LineList<Build>::NewArenaLine(std::size_t text_start,
                                                                   std::size_t length) {
  const std::size_t capacity = length + 4 + length / 16;
  if (capacity > UINT32_MAX) RaiseOutOfMemory();
  const std::size_t bytes = (sizeof(ArenaLine) + capacity * sizeof(Char) + 7) & ~std::size_t{7};
  const std::lock_guard lock(arena_mutex_);
  std::byte* place;
  try {
    if (bytes > kArenaBlockBytes / 4) {
      // A long line takes a block of its own; the current block stays open.
      arena_.push_back(std::make_unique_for_overwrite<std::byte[]>(bytes));
      place = arena_.back().get();
    } else {
      if (bytes > arena_free_bytes_) {
        arena_.push_back(std::make_unique_for_overwrite<std::byte[]>(kArenaBlockBytes));
        arena_free_ = arena_.back().get();
        arena_free_bytes_ = kArenaBlockBytes;
      }
      place = arena_free_;
      arena_free_ += bytes;
      arena_free_bytes_ -= bytes;
    }
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  }
  auto* const line = new (place) ArenaLine{text_start, 0, static_cast<std::uint32_t>(capacity)};
  return line;
}

template <BuildPolicy Build>
void LineList<Build>::SetStrings(std::int64_t index, typename Build::TextView text) {
  if (index < 0 || index >= count_) Raise<EStringListError>(Rules::ListIndexMessage(index));
  const std::uint64_t entry = Entry(index);
  const std::size_t start = TextStart(index);
  const std::size_t room = TextStart(index + 1) - start;
  // The line's old place, with the break after it, holds it when it is no longer.
  if (text.size() <= room) {
    if (!text.empty()) std::memmove(text_.data() + start, text.data(), text.size() * sizeof(Char));
    SetEntry(index, kReplaced | (std::uint64_t{text.size()} << 31) | start);
    return;
  }
  ArenaLine* line = (entry & kInArena) ? ArenaLineOf(entry) : nullptr;
  if (line == nullptr || line->capacity < text.size()) line = NewArenaLine(start, text.size());
  if (!text.empty()) std::memmove(line->Chars(), text.data(), text.size() * sizeof(Char));
  line->length = static_cast<std::uint32_t>(text.size());
  SetEntry(index, kReplaced | kInArena | (reinterpret_cast<std::uintptr_t>(line) >> 3));
}

template <BuildPolicy Build>
template <class Put>
void LineList<Build>::ForEachPieceToSave(std::size_t longest_run, Put&& put) const {
  static constexpr Char kLineBreak[] = {Char('\r'), Char('\n')};
  const TextView line_break(kLineBreak, 2);
  // Unchanged lines that already end in CR LF are saved as they lie in the
  // text, breaks and all: a run of them is one piece.
  const Char* const text = text_.data();
  std::size_t run = 0;
  std::size_t run_end = 0;
  auto put_run = [&](std::size_t end) {
    if (end > run) put(TextView(text + run, end - run));
  };
  for (std::int32_t i = 0; i < count_; ++i) {
    const std::uint64_t start = Entry(i);
    const std::size_t next = TextStart(i + 1);
    if (start & kReplaced) {
      put_run(run_end);
      put(ReplacedLine(i));
      put(line_break);
      run = run_end = next;
      continue;
    }
    // A line holds no CR or LF, so these can only be its break.
    if (next - start >= 2 && text[next - 1] == Char('\n') && text[next - 2] == Char('\r')) {
      run_end = next;
      if (run_end - run < longest_run) continue;
      put_run(run_end);
    } else {
      put_run(LineEnd(text, start, next));
      put(line_break);
    }
    run = run_end = next;
  }
  put_run(run_end);
}

template <BuildPolicy Build>
void LineList<Build>::SaveToFile(const std::string& path, const SaveGuard& guard) const {
  const auto encoder = [&] {
    if constexpr (Rules::kHasEncoding) {
      return typename Rules::Encoder(encoding_.value_or(TextEncoding::kSystemCodePage));
    } else {
      return typename Rules::Encoder();
    }
  }();

  FileReplacement file;
  if (const int error = file.Begin(path, guard))
    Raise<EFCreateError>(Rules::CreateFailureMessage(FullPath(path), SystemErrorText(error)));
  if (file.InPlace()) {
    std::uint64_t size = encoder.ByteOrderMark().size();
    ForEachPieceToSave(kEncodedRun, [&](TextView text) { size += encoder.Measure(text); });
    if (!file.Reserve(size)) Raise<EWriteError>(Rules::WriteFailureMessage());
  }

  // Written in pieces of a megabyte, or of about the size of a smaller text;
  // each slice of text is encoded into the room after a piece's end. A large
  // text is written from a second thread, a piece while the next is made, in
  // two buffers by turns.
  constexpr std::size_t kMaxBytes = Rules::Encoder::kMaxBytesPerUnit;
  const std::size_t piece_bytes =
      std::clamp<std::size_t>(text_.size() * kMaxBytes, 4096, kPieceBytes);
  const std::size_t slice_units = std::min(kSliceUnits, piece_bytes);
  const std::size_t buffer_bytes = piece_bytes + slice_units * kMaxBytes;
  const auto buffers = std::make_unique_for_overwrite<char[]>(2 * buffer_bytes);
  WriteBehind writer(file, text_.size() >= 4 * kPieceBytes);
  char* out = buffers.get();
  char* end = out;
  const auto hand_over = [&](const char* data, std::size_t bytes) {
    if (!writer.Write(data, bytes)) Raise<EWriteError>(Rules::WriteFailureMessage());
  };
  const auto hand_over_piece = [&] {
    if (end == out) return;
    hand_over(out, static_cast<std::size_t>(end - out));
    out = out == buffers.get() ? buffers.get() + buffer_bytes : buffers.get();
    end = out;
  };
  const std::string_view mark = encoder.ByteOrderMark();
  end = std::copy(mark.begin(), mark.end(), end);
  // A long run of the list's own text that is already the bytes to write is
  // written as it lies, not copied into a piece first; it stays where it is
  // while the writer works. Gathered text does not: it is always copied.
  const bool as_is = encoder.WritesTextAsIs();
  constexpr std::size_t kLongRun = std::size_t{1} << 14;
  const auto encode = [&](TextView text, bool stays) {
    if (stays && as_is && text.size() >= kLongRun) {
      hand_over_piece();
      hand_over(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(Char));
      return;
    }
    while (!text.empty()) {
      std::size_t slice = std::min(text.size(), slice_units);
      // A surrogate pair stays in one slice.
      if constexpr (sizeof(Char) == 2) {
        if (slice < text.size() && text[slice - 1] >= 0xD800 && text[slice - 1] <= 0xDBFF) --slice;
      }
      end = encoder.Encode(text.substr(0, slice), end);
      text.remove_prefix(slice);
      if (static_cast<std::size_t>(end - out) >= piece_bytes) hand_over_piece();
    }
  };
  // Short pieces (a replaced line, a break) are gathered and encoded a slice
  // at a time: an encoding call for each would cost more than the encoding.
  // A piece ends at the end of a line or of its break, so no surrogate pair
  // is split by gathering.
  constexpr std::size_t kShortPiece = 256;
  const auto gathered = std::make_unique_for_overwrite<Char[]>(slice_units);
  std::size_t gathered_units = 0;
  const auto encode_gathered = [&] {
    if (gathered_units != 0) encode(TextView(gathered.get(), gathered_units), false);
    gathered_units = 0;
  };
  ForEachPieceToSave(as_is ? kWrittenAsItLiesRun : kEncodedRun, [&](TextView text) {
    if (text.size() > kShortPiece) {
      encode_gathered();
      encode(text, true);
      return;
    }
    if (slice_units - gathered_units < text.size()) encode_gathered();
    std::copy(text.begin(), text.end(), gathered.get() + gathered_units);
    gathered_units += text.size();
  });
  encode_gathered();
  hand_over_piece();
  if (!writer.Finish()) Raise<EWriteError>(Rules::WriteFailureMessage());
  int error = 0;
  switch (file.Commit(error)) {
    case FileReplacement::Outcome::kDone:
      break;
    case FileReplacement::Outcome::kWriteFailure:
      Raise<EWriteError>(Rules::WriteFailureMessage());
    case FileReplacement::Outcome::kCreateFailure:
      Raise<EFCreateError>(Rules::CreateFailureMessage(FullPath(path), SystemErrorText(error)));
  }
}

}  // namespace orvalen
