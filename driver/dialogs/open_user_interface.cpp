// Picks the dialogs of this process: windows where an X display can be
// opened, the console otherwise.
#include <unistd.h>

#include <exception>

#include "driver/dialogs/console_interface.h"
#include "driver/dialogs/user_interface.h"
#include "driver/dialogs/window_interface.h"

namespace orvalen {

std::unique_ptr<UserInterface> OpenUserInterface() {
  try {
    if (auto windows = OpenWindowInterface()) return windows;
  } catch (const std::exception&) {
    // Windows that cannot be set up (no memory left for them, say) leave the
    // run as without a display: the console asks instead.
  }
  return std::make_unique<ConsoleInterface>(STDIN_FILENO, STDERR_FILENO, isatty(STDIN_FILENO) == 1);
}

}  // namespace orvalen
