// Picks the dialogs of this process: windows where an X display can be
// opened, the console otherwise.
#include <unistd.h>

#include "driver/dialogs/console_interface.h"
#include "driver/dialogs/user_interface.h"
#include "driver/dialogs/window_interface.h"

namespace orvalen {

std::unique_ptr<UserInterface> OpenUserInterface() {
  if (auto windows = OpenWindowInterface()) return windows;
  return std::make_unique<ConsoleInterface>(STDIN_FILENO, STDERR_FILENO, isatty(STDIN_FILENO) == 1);
}

}  // namespace orvalen
