#include "driver/information_options.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace orvalen {
namespace {

bool WriteOut(std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = write(STDOUT_FILENO, text.data(), text.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

}  // namespace

std::optional<int> AnswerInformationOption(int argc, const char* const* argv,
                                           std::string_view program_name, std::string_view usage) {
  const char* first = nullptr;
  for (int i = 1; i < argc && first == nullptr; ++i) {
    if (argv[i] != nullptr && argv[i][0] != '\0') first = argv[i];
  }
  if (first == nullptr) return std::nullopt;
  const std::string_view option = first;
  if (option != "--help" && option != "-h" && option != "--version") return std::nullopt;
  // A pipe whose reader has gone, or a file size limit, would end the process
  // by a signal; the write fails instead and the status says so.
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
  bool written = false;
  if (option == "--help" || option == "-h") {
    written = WriteOut(usage);
  } else {
    written = WriteOut(program_name) && WriteOut(" " ORVALEN_VERSION "\n");
  }
  return written ? 0 : 1;
}

}  // namespace orvalen
