// LineList: the lines of one part program, loaded whole from a file, read and
// replaced by index, and saved whole. One template serves both programs; the
// rules type (driver/text_file/line_list_rules.h, legacy/legacy_line_list_rules.h) says
// how bytes become text and how failures are worded.
//
// The text lives in one buffer with an index of line starts; a replaced line
// lives in a side store, so a load allocates nothing per line. A line holds no
// CR or LF; NUL is an ordinary character. The save writes every line followed
// by CR LF, in the encoding and with the byte-order mark found by the load,
// and never leaves a half-written file (driver/text_file/file_replacement.h). Files of
// 2 GiB or more are refused with the open failure "File too large".
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "driver/text_file/file_replacement.h"
#include "driver/text_file/full_path.h"
#include "driver/text_file/line_list_rules.h"
#include "driver/text_file/line_splitting.h"
#include "driver/text_file/program_file_reading.h"
#include "driver/text_file/system_error_text.h"
#include "driver/text_file/text_buffer.h"
#include "tools/build_policy.h"
#include "tools/failure.h"

namespace orvalen {

// LoadFromFile, Count, Strings, SetStrings and SaveToFile are the system's own
// names for what a line list does, kept as they are.
template <BuildPolicy Build>
class LineList {
  using Rules = LineListRules<Build>;
  using Char = typename Build::Char;

 public:
  // Replaces the list with the lines of the file at `path` (bytes, as given;
  // relative to the current folder). A failed load leaves the list as it was.
  void LoadFromFile(const std::string& path);
  std::int32_t Count() const { return count_; }
  // The text of line `index`; the view stays valid until that line is
  // replaced or the list is loaded again. EStringListError outside 0..Count-1.
  typename Build::TextView Strings(std::int64_t index) const;
  // Line `index` becomes a copy of `text`, unchanged (not cut into lines
  // again).
  void SetStrings(std::int64_t index, typename Build::TextView text);
  // Writes every line followed by CR LF to the file at `path`.
  void SaveToFile(const std::string& path) const;
  // The encoding found by the last load; unset before the first one.
  std::optional<TextEncoding> Encoding() const requires Rules::kHasEncoding { return encoding_; }

 private:
  using TextView = typename Build::TextView;

  // Marks a line start whose line lives in the side store.
  static constexpr std::uint64_t kReplaced = std::uint64_t{1} << 63;
  static constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
  static constexpr std::size_t kSliceUnits = std::size_t{1} << 16;

  // Calls `put` with the text of the file to save, in order: every line, each
  // followed by CR LF.
  template <class Put>
  void ForEachPieceToSave(Put&& put) const;

  TextBuffer<Char> text_;
  // The start of every line, then the end of the text.
  TextBuffer<std::uint64_t> starts_;
  std::unordered_map<std::int32_t, typename Build::Text> replaced_;
  std::int32_t count_ = 0;
  std::optional<TextEncoding> encoding_;
};

template <BuildPolicy Build>
void LineList<Build>::LoadFromFile(const std::string& path) {
  ProgramFileReader reader;
  if (const int error = reader.Open(path))
    Raise<EFOpenError>(Rules::OpenFailureMessage(FullPath(path), ReadingErrorText(error)));
  const std::uint64_t size = reader.SizeHint();
  TextBuffer<Char> text;
  // No encoding gives more code units than bytes; the slack is for the last
  // piece of a UTF-8 text.
  text.Reserve(size + 4);
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
  for (;;) {
    std::size_t got = 0;
    if (const int error = reader.Read(piece.get(), piece_bytes, got))
      Raise<EFOpenError>(Rules::OpenFailureMessage(FullPath(path), ReadingErrorText(error)));
    if (got == 0) break;
    if (!decoder.Feed(std::string_view(piece.get(), got), text))
      Raise<EEncodingError>(Rules::EncodingFailureMessage());
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
  replaced_.clear();
  count_ = count;
  if constexpr (Rules::kHasEncoding) encoding_ = decoder.Encoding();
}

template <BuildPolicy Build>
typename Build::TextView LineList<Build>::Strings(std::int64_t index) const {
  if (index < 0 || index >= count_) Raise<EStringListError>(Rules::ListIndexMessage(index));
  const std::uint64_t start = starts_.data()[index];
  if (start & kReplaced) return replaced_.find(static_cast<std::int32_t>(index))->second;
  const std::size_t next = starts_.data()[index + 1] & ~kReplaced;
  const std::size_t end = LineEnd(text_.data(), start, next);
  return typename Build::TextView(text_.data() + start, end - start);
}

template <BuildPolicy Build>
void LineList<Build>::SetStrings(std::int64_t index, typename Build::TextView text) {
  if (index < 0 || index >= count_) Raise<EStringListError>(Rules::ListIndexMessage(index));
  // The copy is made before the old line goes: `text` may be a view of it.
  replaced_[static_cast<std::int32_t>(index)] = typename Build::Text(text);
  starts_.data()[index] |= kReplaced;
}

template <BuildPolicy Build>
template <class Put>
void LineList<Build>::ForEachPieceToSave(Put&& put) const {
  static constexpr Char kLineBreak[] = {Char('\r'), Char('\n')};
  const TextView line_break(kLineBreak, 2);
  // Unchanged lines that already end in CR LF are saved as they lie in the
  // text, breaks and all: a run of them is one piece. The run is put before
  // it grows past what the cache holds, so that it is read from there.
  static constexpr std::size_t kLongestRun = std::size_t{1} << 17;
  const Char* const text = text_.data();
  std::size_t run = 0;
  std::size_t run_end = 0;
  auto put_run = [&](std::size_t end) {
    if (end > run) put(TextView(text + run, end - run));
  };
  for (std::int32_t i = 0; i < count_; ++i) {
    const std::uint64_t start = starts_.data()[i];
    const std::size_t next = starts_.data()[i + 1] & ~kReplaced;
    if (start & kReplaced) {
      put_run(run_end);
      put(replaced_.find(i)->second);
      put(line_break);
      run = run_end = next;
      continue;
    }
    // A line holds no CR or LF, so these can only be its break.
    if (next - start >= 2 && text[next - 1] == Char('\n') && text[next - 2] == Char('\r')) {
      run_end = next;
      if (run_end - run < kLongestRun) continue;
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
void LineList<Build>::SaveToFile(const std::string& path) const {
  const auto encoder = [&] {
    if constexpr (Rules::kHasEncoding) {
      return typename Rules::Encoder(encoding_.value_or(TextEncoding::kSystemCodePage));
    } else {
      return typename Rules::Encoder();
    }
  }();

  FileReplacement file;
  if (const int error = file.Begin(path))
    Raise<EFCreateError>(Rules::CreateFailureMessage(FullPath(path), SystemErrorText(error)));
  if (file.InPlace()) {
    std::uint64_t size = encoder.ByteOrderMark().size();
    ForEachPieceToSave([&](TextView text) { size += encoder.Measure(text); });
    if (!file.Reserve(size)) Raise<EWriteError>(Rules::WriteFailureMessage());
  }

  // Written in pieces of a megabyte, or of about the size of a smaller text;
  // each slice of text is encoded into the room after a piece's end.
  constexpr std::size_t kMaxBytes = Rules::Encoder::kMaxBytesPerUnit;
  const std::size_t piece_bytes =
      std::clamp<std::size_t>(text_.size() * kMaxBytes, 4096, kPieceBytes);
  const std::size_t slice_units = std::min(kSliceUnits, piece_bytes);
  const auto out = std::make_unique_for_overwrite<char[]>(piece_bytes + slice_units * kMaxBytes);
  char* end = out.get();
  const std::string_view mark = encoder.ByteOrderMark();
  end = std::copy(mark.begin(), mark.end(), end);
  ForEachPieceToSave([&](TextView text) {
    while (!text.empty()) {
      std::size_t slice = std::min(text.size(), slice_units);
      // A surrogate pair stays in one slice.
      if constexpr (sizeof(Char) == 2) {
        if (slice < text.size() && text[slice - 1] >= 0xD800 && text[slice - 1] <= 0xDBFF) --slice;
      }
      end = encoder.Encode(text.substr(0, slice), end);
      text.remove_prefix(slice);
      if (static_cast<std::size_t>(end - out.get()) >= piece_bytes) {
        if (!file.Write(out.get(), static_cast<std::size_t>(end - out.get())))
          Raise<EWriteError>(Rules::WriteFailureMessage());
        end = out.get();
      }
    }
  });
  if (end != out.get() && !file.Write(out.get(), static_cast<std::size_t>(end - out.get())))
    Raise<EWriteError>(Rules::WriteFailureMessage());
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
