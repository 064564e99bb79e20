// The second read of a part program's rewrite: every line streamed through
// the line emitter into the save, window by window, with the work of a
// window that has many lines to shift shared between two threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <new>
#include <optional>
#include <span>
#include <string_view>
#include <thread>
#include <vector>

#include "driver/file_access/program_save.h"
#include "driver/program_text/program_text_rules.h"
#include "driver/program_text/windowed_lines.h"
#include "driver/rewrite/line_emitter.h"
#include "driver/rewrite/program_plan.h"
#include "nc/second_pass.h"
#include "tools/build_policy.h"
#include "tools/dialogs.h"
#include "tools/failure.h"

namespace orvalen::rewrite_detail {

// The second read, for units of one kind: every line through to `output`
// (LineEmitter), window by window. A window with many lines to shift is
// shifted on two threads: a second thread takes its later part quietly
// while this one does the earlier part; then this one goes on, in order,
// from wherever either half stopped, with the messages and failures that
// one thread alone would give. Stops before line `stop`. False when the file
// is no longer what the plan read.
template <BuildPolicy Build, class Unit>
bool StreamLines(const PlannedProgram<Build>& planned, const SecondPass<Build>& second,
                 std::int64_t stop, ProgramSave& output, Dialogs<Build>& dialogs,
                 std::string_view mark, const RewriteSettings& settings, int& read_error) {
  using Encoder = typename ProgramTextRules<Build>::Encoder;
  using Emitter = LineEmitter<Build, Unit>;
  const auto encoder = [&] {
    if constexpr (ProgramTextRules<Build>::kHasEncoding) {
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
    if (all.size() >= settings.lines_worth_two_threads && here.AnyShifted(all)) {
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
                            planned.layout.encoding, settings.window_bytes);
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

}  // namespace orvalen::rewrite_detail
