// One modal dialog window drawn with FLTK: a caption, an optional icon, the
// text and a row of buttons, laid out by window_layout. The keyboard works as
// in the dialogs of other desktop programs:
//   - Enter and Space press the button that has the focus, which is the
//     default button when the window opens; Tab and Shift+Tab move the focus;
//   - Alt with the underlined letter of a caption ("&Ja") presses that button;
//   - Escape presses the cancel button; the close box answers kAnswerClosed;
//   - Ctrl+C beeps and puts the window's texts on the clipboard (see
//     window_copy_text) and the window stays open.
// The text is drawn as it is: "&" and "@" are not markup.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "driver/dialogs/window_icon.h"

namespace orvalen {

struct DialogButton {
  std::string caption;  // "&" marks the access key
  int answer = 0;
};

struct DialogDescription {
  std::string caption;
  std::string text;  // UTF-8
  DialogIcon icon = DialogIcon::kNone;
  std::vector<DialogButton> buttons;  // left to right, at least one
  std::size_t default_button = 0;
  std::size_t cancel_button = 0;
};

// Shows the window centred on the screen and returns once it is closed: the
// answer of the button pressed, or kAnswerClosed for the close box. FLTK's
// display must be open.
int RunDialog(const DialogDescription& dialog);

}  // namespace orvalen
