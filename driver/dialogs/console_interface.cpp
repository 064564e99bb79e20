#include "driver/dialogs/console_interface.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "tools/dialogs.h"

namespace orvalen {
namespace {

// Texts end their lines with CR LF, CR or LF; the console gets LF alone. Any
// other control character but tab is shown escaped (ESC as "\x1b", the 8-bit
// controls as "\u009b"), so that a path or a line of a part program cannot
// set the terminal's title, clear it or worse.
// Hands the shown form of the text to put(piece), piece by piece.
template <class Put>
void PutVisible(std::string_view text, Put&& put) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r') {
      put("\n");
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7f) {
      const char escaped[] = {'\\', 'x', kHex[c >> 4], kHex[c & 0xf]};
      put(std::string_view(escaped, 4));
    } else if (c == 0xc2 && i + 1 < text.size() && (text[i + 1] & 0xe0) == 0x80) {
      // U+0080 to U+009F, the 8-bit controls (CSI, OSC...) in UTF-8.
      const auto low = static_cast<unsigned char>(text[++i]);
      const char escaped[] = {'\\', 'u', '0', '0', kHex[low >> 4], kHex[low & 0xf]};
      put(std::string_view(escaped, 6));
    } else {
      put(text.substr(i, 1));
    }
  }
}

std::string Visible(std::string_view text) {
  std::string shown;
  shown.reserve(text.size() + 1);
  PutVisible(text, [&](std::string_view piece) { shown += piece; });
  return shown;
}

std::string ConsoleLines(std::string_view text) {
  std::string lines = Visible(text);
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
  shown.append(Visible(caption)).append("]\n").append(ConsoleLines(text));
  Write(shown);
  std::string line;
  switch (kind) {
    case WindowKind::kQuestion:
      // The end of the input with nothing typed is a window closed without a
      // button, which the caller takes as consent; after a line that was not
      // understood it is not, since whoever gave that line did not mean yes.
      for (int not_understood = 0; not_understood < kMaxNotUnderstood; ++not_understood) {
        Write(interactive_ ? "[J]a  [N]ein " : "[J]a  [N]ein\n");
        const LineRead read = ReadLine(line);
        if (read == LineRead::kEnd) return not_understood == 0 ? kAnswerClosed : kAnswerNo;
        if (read == LineRead::kLine) {
          if (const int answer = AnswerOf(line)) return answer;
        }
      }
      return kAnswerNo;
    case WindowKind::kMessage:
      if (!interactive_) return kAnswerOk;
      Write("[OK] ");
      return ReadLine(line) == LineRead::kEnd ? kAnswerClosed : kAnswerOk;
    case WindowKind::kReport:
      return kAnswerOk;
  }
  return kAnswerClosed;
}

// Reads byte by byte, so nothing beyond the line is taken from the input. A
// line longer than kMaxLine is read on to its end, but for no more than
// kMaxLine bytes either, so that an input without line ends (/dev/zero) is
// never waited out.
ConsoleInterface::LineRead ConsoleInterface::ReadLine(std::string& line) {
  line.clear();
  std::size_t beyond = 0;  // bytes of a line too long, read and dropped
  for (;;) {
    char c = 0;
    const ssize_t got = read(input_fd_, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || c == '\n') {
      if (beyond > 0) return LineRead::kTooLong;
      return got <= 0 && line.empty() ? LineRead::kEnd : LineRead::kLine;
    }
    if (line.size() < kMaxLine) {
      line += c;
    } else if (++beyond == kMaxLine) {
      return LineRead::kTooLong;
    }
  }
}

void ConsoleInterface::ShowReportWithoutMemory(std::string_view caption,
                                               std::string_view text) noexcept {
  char buffer[512];
  std::size_t used = 0;
  char last = '\n';
  const auto put = [&](std::string_view piece) {
    for (const char c : piece) {
      if (used == sizeof buffer) {
        Write(std::string_view(buffer, used));
        used = 0;
      }
      buffer[used++] = c;
      last = c;
    }
  };
  put("[");
  PutVisible(caption, put);
  put("]\n");
  PutVisible(text, put);
  if (last != '\n') put("\n");
  Write(std::string_view(buffer, used));
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
