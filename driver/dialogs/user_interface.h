// The windows the programs show, independent of the text type of a program:
// captions and texts arrive as UTF-8. A message has one OK button, the
// question the buttons Yes and No, the failure report OK and the error icon.
// Console dialogs serve where no window can be shown.
#pragma once

#include <memory>
#include <string_view>

namespace orvalen {

enum class WindowKind { kMessage, kQuestion, kReport };

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Shows one modal window and returns its answer: kAnswerOk, kAnswerYes,
  // kAnswerNo, or kAnswerClosed when it was closed without a button.
  virtual int Show(WindowKind kind, std::string_view caption, std::string_view text) = 0;
};

// The dialogs for this process: windows where an X display can be opened and
// the windows can be set up, the console dialogs on standard error otherwise.
std::unique_ptr<UserInterface> OpenUserInterface();

}  // namespace orvalen
