// The console dialogs between two pipes: what a line, a line not understood,
// a line too long and the end of the input answer, how much of the input is
// taken, and control characters in the texts shown escaped.
#include "driver/dialogs/console_interface.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tools/dialogs.h"

namespace orvalen {
namespace {

struct Shown {
  int answer = -1;
  std::string unread;  // what is left of the input
  std::string output;
};

std::string ReadToEnd(int fd) {
  std::string bytes;
  char buffer[4096];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, got);
  close(fd);
  return bytes;
}

// Shows a dialog on a pipe that holds `input` and then ends (it must fit into
// the pipe, as nothing reads it before), writing into another pipe.
Shown Show(WindowKind kind, std::string_view caption, std::string_view text,
           const std::string& input = "") {
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) return {};
  fcntl(in[1], F_SETFL, O_NONBLOCK);
  const bool fits = write(in[1], input.data(), input.size()) == static_cast<ssize_t>(input.size());
  close(in[1]);
  Shown shown;
  if (fits) shown.answer = ConsoleInterface(in[0], out[1], false).Show(kind, caption, text);
  close(out[1]);
  shown.unread = ReadToEnd(in[0]);
  shown.output = ReadToEnd(out[0]);
  return shown;
}

TEST(ConsoleQuestion, AnswersAndWhatIsLeftOfTheInput) {
  struct Case {
    const char* name;
    std::string input;
    int answer;
    std::string unread;
  };
  const Case cases[] = {
      {"nothing at all", "", kAnswerClosed, ""},
      {"an empty line, one line only", "\nn\n", kAnswerYes, "n\n"},
      {"not understood, then the end", "nein danke\n", kAnswerNo, ""},
      {"not understood without a line end", "abbrechen", kAnswerNo, ""},
      {"not understood, then yes", "q\nj\n", kAnswerYes, ""},
      {"three not understood", "nö\n0\nq\nj\n", kAnswerNo, "j\n"},
      {"a line of the longest length", std::string(4095, ' ') + "j\n", kAnswerYes, ""},
      {"a line too long, then the end", std::string(4096, ' ') + "j\n", kAnswerNo, ""},
      {"a line too long is dropped to its end", std::string(6000, 'j') + "\nj\nrest", kAnswerYes,
       "rest"},
      // Like /dev/zero: each line ends after 4 KiB kept and 4 KiB dropped.
      {"no line end at all", std::string(60'000, '\0'), kAnswerNo,
       std::string(60'000 - 3 * 2 * 4096, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Shown shown = Show(WindowKind::kQuestion, "Bestätigen", "Soll?", c.input);
    EXPECT_EQ(c.answer, shown.answer);
    EXPECT_EQ(c.unread, shown.unread);
  }
}

TEST(ConsoleTexts, ControlCharactersShowEscaped) {
  struct Case {
    std::string caption;
    std::string text;
    std::string output;
  };
  const Case cases[] = {
      {"Orvalen", "File (/jobs/\x1b]0;x\a\x1b[2J.nc) does not exists",
       "[Orvalen]\nFile (/jobs/\\x1b]0;x\\x07\\x1b[2J.nc) does not exists\n"},
      {"", std::string("\0\x01\b\v\f\x1f\x7f", 7), "[]\n\\x00\\x01\\x08\\x0b\\x0c\\x1f\\x7f\n"},
      {"Bestätigen", "a\tb\r\nc\rd\ne ö", "[Bestätigen]\na\tb\nc\nd\ne ö\n"},
      {"\x1b[31mX", "t", "[\\x1b[31mX]\nt\n"},
      {"", "a\u009b2J\u0085\u00a0", "[]\na\\u009b2J\\u0085\u00a0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    EXPECT_EQ(c.output, Show(WindowKind::kReport, c.caption, c.text).output);
  }
}

}  // namespace
}  // namespace orvalen
