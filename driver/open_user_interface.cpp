// Picks the dialogs of this process.
#include <unistd.h>

#include "driver/console_interface.h"
#include "driver/user_interface.h"

namespace orvalen {

std::unique_ptr<UserInterface> OpenUserInterface() {
  return std::make_unique<ConsoleInterface>(STDIN_FILENO, STDERR_FILENO, isatty(STDIN_FILENO) == 1);
}

}  // namespace orvalen
