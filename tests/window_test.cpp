// Orvalen and OrvalenLegacy with real windows: the programs run on real part
// programs on an Xvfb display of this test program, and the tests answer
// their windows with the keyboard and the close box as a person would. What a
// window shows is read back through Ctrl+C, which puts its caption, text and
// buttons on the clipboard. Without a display the console asks instead.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <string>
#include <vector>

#include "driver/dialogs/window_layout.h"
#include "tests/program_runner.h"
#include "tests/sample_programs.h"
#include "tests/test_support.h"
#include "tests/window_program.h"
#include "tests/window_remote.h"
#include "tests/window_x_server.h"

namespace orvalen::testing {
namespace {

[[maybe_unused]] ::testing::Environment* const kXServer =
    ::testing::AddGlobalTestEnvironment(new XServerEnvironment);

const std::string kOrvalen = ORVALEN_PROGRAM;
const std::string kLegacy = ORVALEN_LEGACY_PROGRAM;

// The functions of the Motif window manager hints.
constexpr long kMotifMove = 4;
constexpr long kMotifClose = 32;

const std::string kQuestionText = "Soll das Programm Optimiert Werden?";
const std::string kDivider = "---------------------------\r\n";

// What Ctrl+C copies from a window.
std::string Copied(const std::string& caption, const std::string& text,
                   const std::string& buttons) {
  return kDivider + caption + "\r\n" + kDivider + text + "\r\n" + kDivider + buttons + "\r\n" +
         kDivider;
}

// How a test closes a window: keys, or the close box when there are none.
using Keys = std::vector<std::string>;
const Keys kCloseBox;

void Close(const std::string& window, const Keys& keys) {
  if (keys.empty()) {
    RequestClose(window);
  } else {
    PressKeys(window, keys);
  }
}

class Windows : public ::testing::Test {
 protected:
  ScratchFolder folder_;
  const std::string part_ = folder_ / "part.nc";
};

TEST_F(Windows, QuestionAnswers) {
  struct Case {
    const char* name;
    const std::string& program;
    const char* caption;
    Keys keys;
    bool rewritten;
  };
  const Case cases[] = {
      {"Enter", kOrvalen, "Bestätigen", {"Return"}, true},
      {"keypad Enter", kOrvalen, "Bestätigen", {"KP_Enter"}, true},
      {"Space", kOrvalen, "Bestätigen", {"space"}, true},
      {"Alt+J", kOrvalen, "Bestätigen", {"alt+j"}, true},
      {"close box", kOrvalen, "Bestätigen", kCloseBox, true},
      {"Escape", kOrvalen, "Bestätigen", {"Escape"}, false},
      {"Alt+N", kOrvalen, "Bestätigen", {"alt+n"}, false},
      {"Tab, Enter", kOrvalen, "Bestätigen", {"Tab", "Return"}, false},
      {"Tab, Space", kOrvalen, "Bestätigen", {"Tab", "space"}, false},
      {"Shift+Tab, Enter", kOrvalen, "Bestätigen", {"shift+Tab", "Return"}, false},
      {"Tab twice, Enter", kOrvalen, "Bestätigen", {"Tab", "Tab", "Return"}, true},
      {"Tab, Alt+J", kOrvalen, "Bestätigen", {"Tab", "alt+j"}, true},
      {"legacy Enter", kLegacy, "Bestätigung", {"Return"}, true},
      {"legacy close box", kLegacy, "Bestätigung", kCloseBox, true},
      {"legacy Escape", kLegacy, "Bestätigung", {"Escape"}, false},
      {"legacy Alt+N", kLegacy, "Bestätigung", {"alt+n"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(part_, kProgram);
    StartedProgram run(c.program, {part_});
    const std::string window = WaitForWindow(c.caption);
    ASSERT_NE(window, "") << "no question window; errors: " << run.Errors();
    Close(window, c.keys);
    EXPECT_EQ(run.Wait(), 0);
    EXPECT_EQ(ReadBytes(part_), c.rewritten ? kRewritten : kProgram);
    EXPECT_EQ(run.Errors(), "") << "nothing goes to the console";
  }
}

TEST_F(Windows, CtrlCCopiesTheQuestionAndLeavesItOpen) {
  struct Case {
    const std::string& program;
    const char* caption;
  };
  for (const Case& c : {Case{kOrvalen, "Bestätigen"}, Case{kLegacy, "Bestätigung"}}) {
    SCOPED_TRACE(c.caption);
    WriteBytes(part_, kProgram);
    StartedProgram run(c.program, {part_});
    const std::string window = WaitForWindow(c.caption);
    ASSERT_NE(window, "");
    PressKeys(window, {"ctrl+c"});
    EXPECT_EQ(WaitForClipboard(), Copied(c.caption, kQuestionText, "Ja   Nein   "));
    EXPECT_TRUE(WindowShown(c.caption));
    EXPECT_TRUE(run.Running());
    // The window is centred on the screen.
    const WindowGeometry at = GeometryOf(window);
    EXPECT_EQ(at.x, (kScreenWidth - at.width) / 2);
    EXPECT_EQ(at.y, (kScreenHeight - at.height) / 2);
    // Fixed in size; moved and closed, but not resized, minimised or maximised.
    const WindowHints hints = HintsOf(window);
    EXPECT_TRUE(hints.fixed_size);
    EXPECT_TRUE(hints.dialog_type);
    EXPECT_EQ(hints.motif_functions, kMotifMove | kMotifClose);
    PressKeys(window, {"Escape"});
    EXPECT_EQ(run.Wait(), 0);
    EXPECT_EQ(ReadBytes(part_), kProgram);
  }
}

TEST_F(Windows, MessagesShowTheirTextAndEveryWayOfClosingEndsTheRun) {
  const std::string missing = folder_ / "missing.nc";
  struct Case {
    const char* name;
    const std::string& program;
    std::vector<std::string> args;
    const char* caption;
    std::string text;
    Keys keys;
  };
  const Case cases[] = {
      {"no argument, Enter", kOrvalen, {}, "Orvalen", "No Parameter given", {"Return"}},
      {"no argument, Escape", kOrvalen, {}, "Orvalen", "No Parameter given", {"Escape"}},
      {"no argument, close box", kOrvalen, {}, "Orvalen", "No Parameter given", kCloseBox},
      {"missing file, Enter",
       kOrvalen,
       {missing},
       "Orvalen",
       "File (" + missing + ") does not exists",
       {"Return"}},
      {"missing file, Space",
       kOrvalen,
       {missing},
       "Orvalen",
       "File (" + missing + ") does not exists",
       {"space"}},
      {"legacy, Enter", kLegacy, {}, "Orvalenlegacy", "File () does not exists", {"Return"}},
      {"legacy, Escape", kLegacy, {}, "Orvalenlegacy", "File () does not exists", {"Escape"}},
      {"legacy, close box", kLegacy, {}, "Orvalenlegacy", "File () does not exists", kCloseBox},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartedProgram run(c.program, c.args);
    const std::string window = WaitForWindow(c.caption);
    ASSERT_NE(window, "") << "no message window; errors: " << run.Errors();
    PressKeys(window, {"ctrl+c"});
    EXPECT_EQ(WaitForClipboard(), Copied(c.caption, c.text, "OK   "));
    Close(window, c.keys);
    EXPECT_EQ(run.Wait(), 0);
    EXPECT_EQ(run.Errors(), "");
  }
}

TEST_F(Windows, AFailureShowsTheReportAndEndsWithStatusOne) {
  auto report = [](const std::string& kind, const std::string& module, int digits,
                   const std::string& message) {
    const std::string divider = "-{27}\r\n";
    return divider + "Anwendungsfehler\r\n" + divider + "Exception " + kind + " in Modul " +
           module + " bei [0-9A-F]{" + std::to_string(digits) + "}\\.\r\n" + message + "\r\n\r\n" +
           divider + "OK   \r\n" + divider;
  };
  const std::string list_index = report("EStringListError", "Orvalen", 16,
                                        "Listenindex außerhalb des gültigen Bereichs \\(-2\\)\\.");
  struct Case {
    const char* name;
    const std::string& program;
    const char* question;
    std::string content;
    std::string copied;  // a regular expression
    Keys keys;
  };
  const Case cases[] = {
      {"Enter", kOrvalen, "Bestätigen", kCallOnFirstLine, list_index, {"Return"}},
      {"Escape", kOrvalen, "Bestätigen", kCallOnFirstLine, list_index, {"Escape"}},
      {"close box", kOrvalen, "Bestätigen", kCallOnFirstLine, list_index, kCloseBox},
      {"legacy, Windows-1252 text",
       kLegacy,
       "Bestätigung",
       Subroutines(100),
       report("ERangeError", "OrvalenLegacy", 8, "Fehler bei Bereichsprüfung\\."),
       {"Return"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(part_, c.content);
    StartedProgram run(c.program, {part_});
    const std::string question = WaitForWindow(c.question);
    ASSERT_NE(question, "");
    PressKeys(question, {"Return"});
    const std::string window = WaitForWindow("Anwendungsfehler");
    ASSERT_NE(window, "") << "no report window; errors: " << run.Errors();
    PressKeys(window, {"ctrl+c"});
    const std::string copied = WaitForClipboard();
    EXPECT_TRUE(std::regex_match(copied, std::regex(c.copied))) << copied;
    Close(window, c.keys);
    EXPECT_EQ(run.Wait(), 1);
    EXPECT_EQ(ReadBytes(part_), c.content);
    EXPECT_EQ(run.Errors(), "");
  }
}

TEST_F(Windows, ALongMessageWrapsWithinHalfTheScreen) {
  const std::string path = folder_ / (std::string(150, 'a') + "/" + std::string(150, 'b') + ".nc");
  StartedProgram run(kOrvalen, {path});
  const std::string window = WaitForWindow("Orvalen");
  ASSERT_NE(window, "");
  const WindowGeometry at = GeometryOf(window);
  EXPECT_LE(at.width, kScreenWidth / 2 + 2 * kDialogMargin);
  EXPECT_GE(at.width, kScreenWidth / 2 - 100) << "lines are filled";
  // Over 2000 pixels of text at 14 pixels a line: at least four lines.
  EXPECT_GE(at.height, 2 * kDialogMargin + kDialogRowGap + kDialogButtonHeight + 4 * 14);
  EXPECT_EQ(at.x, (kScreenWidth - at.width) / 2);
  EXPECT_EQ(at.y, (kScreenHeight - at.height) / 2);
  PressKeys(window, {"ctrl+c"});
  EXPECT_EQ(WaitForClipboard(), Copied("Orvalen", "File (" + path + ") does not exists", "OK   "))
      << "the text itself is not broken";
  PressKeys(window, {"Return"});
  EXPECT_EQ(run.Wait(), 0);
}

// Sets DISPLAY for a while; unset when `display` is empty.
class DisplayVariable {
 public:
  explicit DisplayVariable(const std::string& display) : saved_(XServerEnvironment::Display()) {
    if (display.empty()) {
      unsetenv("DISPLAY");
    } else {
      setenv("DISPLAY", display.c_str(), 1);
    }
  }
  ~DisplayVariable() { setenv("DISPLAY", saved_.c_str(), 1); }

 private:
  std::string saved_;
};

// A display number no server answers on.
std::string DeadDisplay() {
  for (int number = 99;; ++number) {
    const std::string n = std::to_string(number);
    if (!Exists("/tmp/.X11-unix/X" + n) && !Exists("/tmp/.X" + n + "-lock")) return ":" + n;
  }
}

TEST_F(Windows, WithoutADisplayTheConsoleAsks) {
  struct Case {
    const char* name;
    std::string display;
    std::string answer;
    bool rewritten;
  };
  const Case cases[] = {
      {"DISPLAY unset, Yes", "", "j\n", true},
      {"DISPLAY unset, No", "", "n\n", false},
      {"no server, Yes", DeadDisplay(), "ja\n", true},
      {"no server, No", DeadDisplay(), "nein\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(part_, kProgram);
    const DisplayVariable display(c.display);
    const RunResult run = RunProgram(kOrvalen, {part_}, WithInput(c.answer));
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.errors, "[Bestätigen]\n" + kQuestionText + "\n[J]a  [N]ein\n");
    EXPECT_EQ(ReadBytes(part_), c.rewritten ? kRewritten : kProgram);
  }
}

}  // namespace
}  // namespace orvalen::testing
