// Dialogs on the console: everything is written to standard error in UTF-8,
// the caption on a line of its own and then the text.
//   - A message waits for Enter when standard input is a terminal; otherwise
//     it reads nothing and goes on.
//   - The question shows "[J]a  [N]ein" and reads one line: an empty line,
//     "j", "ja", "y" or "yes" answer Yes; "n", "nein" or "no" answer No (case
//     and blanks ignored); the end of the input answers "closed"; any other
//     line asks again.
//   - The failure report shows its caption and text and reads nothing.
#pragma once

#include <string>

#include "driver/dialogs/user_interface.h"

namespace orvalen {

class ConsoleInterface : public UserInterface {
 public:
  // Reads answers from `input_fd` and writes to `output_fd`; `interactive`
  // says whether a person sits at the input (a terminal).
  ConsoleInterface(int input_fd, int output_fd, bool interactive);

  int Show(WindowKind kind, std::string_view caption, std::string_view text) override;

 private:
  // One line without its line end; false at the end of the input.
  bool ReadLine(std::string& line);
  void Write(std::string_view text);

  int input_fd_;
  int output_fd_;
  bool interactive_;
};

}  // namespace orvalen
