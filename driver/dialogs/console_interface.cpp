#include "driver/dialogs/console_interface.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "tools/dialogs.h"

namespace orvalen {
namespace {

// Texts end their lines with CR LF, CR or LF; the console gets LF alone.
std::string ConsoleLines(std::string_view text) {
  std::string lines;
  lines.reserve(text.size() + 1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      lines += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      lines += text[i];
    }
  }
  if (lines.empty() || lines.back() != '\n') lines += '\n';
  return lines;
}

// The answer a typed line gives, or 0 when it is none.
int AnswerOf(std::string_view line) {
  std::string word;
  for (const char c : line) {
    if (c == ' ' || c == '\t' || c == '\r') continue;
    word += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  if (word.empty() || word == "j" || word == "ja" || word == "y" || word == "yes") {
    return kAnswerYes;
  }
  if (word == "n" || word == "nein" || word == "no") return kAnswerNo;
  return 0;
}

}  // namespace

ConsoleInterface::ConsoleInterface(int input_fd, int output_fd, bool interactive)
    : input_fd_(input_fd), output_fd_(output_fd), interactive_(interactive) {}

int ConsoleInterface::Show(WindowKind kind, std::string_view caption, std::string_view text) {
  std::string shown = "[";
  shown.append(caption).append("]\n").append(ConsoleLines(text));
  Write(shown);
  std::string line;
  switch (kind) {
    case WindowKind::kQuestion:
      for (;;) {
        Write(interactive_ ? "[J]a  [N]ein " : "[J]a  [N]ein\n");
        if (!ReadLine(line)) return kAnswerClosed;
        if (const int answer = AnswerOf(line)) return answer;
      }
    case WindowKind::kMessage:
      if (!interactive_) return kAnswerOk;
      Write("[OK] ");
      return ReadLine(line) ? kAnswerOk : kAnswerClosed;
    case WindowKind::kReport:
      return kAnswerOk;
  }
  return kAnswerClosed;
}

// Reads byte by byte, so nothing beyond the line is taken from the input.
bool ConsoleInterface::ReadLine(std::string& line) {
  line.clear();
  for (;;) {
    char c = 0;
    const ssize_t got = read(input_fd_, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return !line.empty();
    if (c == '\n') return true;
    line += c;
  }
}

void ConsoleInterface::Write(std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = write(output_fd_, text.data(), text.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;  // nowhere to show it; the run goes on
    text.remove_prefix(static_cast<std::size_t>(put));
  }
}

}  // namespace orvalen
