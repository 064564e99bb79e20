// The dialogs as real windows on the X display named by DISPLAY, drawn with
// FLTK: the message with an OK button, the question with the question-mark
// icon and "Ja" / "Nein", the failure report with the error icon and OK.
#pragma once

#include <memory>

#include "driver/dialogs/user_interface.h"

namespace orvalen {

// The windows, or nullptr when no X display can be opened. The display is
// tried before FLTK sees it, because FLTK ends the process when it finds none.
std::unique_ptr<UserInterface> OpenWindowInterface();

}  // namespace orvalen
