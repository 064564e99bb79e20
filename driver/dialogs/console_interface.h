// Dialogs on the console: everything is written to standard error in UTF-8,
// the caption on a line of its own and then the text. Control characters but
// tab and the line ends show escaped (ESC as "\x1b"), so that a text cannot
// work the terminal.
//   - A message waits for Enter when standard input is a terminal; otherwise
//     it reads nothing and goes on.
//   - The question shows "[J]a  [N]ein" and reads one line: an empty line,
//     "j", "ja", "y" or "yes" answer Yes; "n", "nein" or "no" answer No (case
//     and blanks ignored); any other line, or one longer than 4 KiB, is not
//     understood and asks again, three times at most, after which it answers
//     No. The end of the input answers "closed" when no line was given, and No
//     after a line that was not understood.
//   - The failure report shows its caption and text and reads nothing.
#pragma once

#include <cstddef>
#include <string>

#include "driver/dialogs/user_interface.h"

namespace orvalen {

class ConsoleInterface : public UserInterface {
 public:
  // The longest answer line; a longer one is not understood.
  static constexpr std::size_t kMaxLine = 4096;
  // Answers not understood in a row after which the question answers No.
  static constexpr int kMaxNotUnderstood = 3;

  // Reads answers from `input_fd` and writes to `output_fd`; `interactive`
  // says whether a person sits at the input (a terminal).
  ConsoleInterface(int input_fd, int output_fd, bool interactive);

  int Show(WindowKind kind, std::string_view caption, std::string_view text) override;
  // Shows a report as Show does, allocating nothing: for when there is no
  // memory left.
  void ShowReportWithoutMemory(std::string_view caption, std::string_view text) noexcept;

 private:
  enum class LineRead { kLine, kTooLong, kEnd };
  // One line without its line end, at most kMaxLine bytes.
  LineRead ReadLine(std::string& line);
  void Write(std::string_view text);

  int input_fd_;
  int output_fd_;
  bool interactive_;
};

}  // namespace orvalen
