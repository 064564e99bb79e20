// The pieces of the run drivers that need no real run: arguments, paths and
// the extension change, the application title, the report text, the console
// dialogs and the existence test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "driver/dialogs/application_title.h"
#include "driver/dialogs/console_interface.h"
#include "driver/existing_file.h"
#include "driver/fatal_report.h"
#include "driver/file_access/path_texts.h"
#include "driver/program_paths.h"
#include "tests/test_support.h"
#include "tools/dialogs.h"
#include "tools/failure.h"
#include "tools/utf8.h"

namespace orvalen {
namespace {

TEST(FirstArgument, IsTheFirstNonEmptyArgumentAfterTheProgramName) {
  struct Case {
    std::vector<const char*> argv;
    std::string expected;
  };
  const Case cases[] = {
      {{"Orvalen"}, ""},
      {{"Orvalen", "/jobs/part.nc"}, "/jobs/part.nc"},
      {{"Orvalen", "/my jobs/part.nc", "/other.nc"}, "/my jobs/part.nc"},
      {{"Orvalen", "", "/jobs/part.nc"}, "/jobs/part.nc"},
      {{"Orvalen", "", ""}, ""},
      {{"", "part.nc"}, "part.nc"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, FirstArgument(static_cast<int>(c.argv.size()), c.argv.data()))
        << c.argv.size();
  }
}

TEST(ExecutablePath, NamesThisTestProgram) {
  const std::string path = ExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ('/', path.front());
  EXPECT_EQ("run_support_test", FileNameOf(path));
}

TEST(ApplicationTitle, IsTheFileNameBeforeItsFirstDotInTitleCase) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"Orvalen.exe", u"Orvalen"},
      {u"ORVALEN.EXE", u"Orvalen"},
      {u"Nc.Tool.exe", u"Nc"},
      {u"OrvalenLegacy", u"Orvalenlegacy"},
      {u"ÄRGER", u"Ärger"},
      {u"orvalen", u"orvalen"},
      {u".hidden", u""},
      {u"", u""},
  };
  for (const auto& [name, expected] : cases)
    EXPECT_EQ(expected, ApplicationTitle(name)) << ToUtf8(name);
}

TEST(ReportText, FollowsTheReportLayout) {
  struct Case {
    std::u16string message;
    int digits;
    std::uint64_t offset;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"Listenindex außerhalb des gültigen Bereichs (-2)", 16, 0x7603,
       u"Exception EStringListError in Modul Orvalen bei 0000000000007603.\r\n"
       u"Listenindex außerhalb des gültigen Bereichs (-2).\r\n"},
      {u"Ends with a stop.", 16, 0xABCDEF,
       u"Exception EStringListError in Modul Orvalen bei "
       u"0000000000ABCDEF.\r\nEnds with a stop.\r\n"},
      {u"", 16, 0, u"Exception EStringListError in Modul Orvalen bei 0000000000000000.\r\n\r\n"},
      {u"Loud!", 8, 0x1234FEDCBA,
       u"Exception EStringListError in Modul Orvalen bei "
       u"34FEDCBA.\r\nLoud!.\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected,
              ReportText("EStringListError", u"Orvalen", c.offset, c.digits, c.message));
  }
}

TEST(ReportText, IsCutTo1023Characters) {
  const std::u16string message = u"Datei /" + std::u16string(2000, u'a') + u" fehlt";
  const std::u16string text = ReportText("EFOpenError", u"Orvalen", 1, 16, message);
  ASSERT_EQ(1023u, text.size());
  EXPECT_EQ(text, (u"Exception EFOpenError in Modul Orvalen bei 0000000000000001.\r\n" + message)
                      .substr(0, 1023));
}

__attribute__((noinline)) const void* HereInTheProgram() {
  return __builtin_extract_return_addr(__builtin_return_address(0));
}

TEST(LocateCode, GivesTheProgramsOwnFileAndTheOffsetInIt) {
  const void* address = HereInTheProgram();
  const CodeLocation where = LocateCode(address);
  EXPECT_EQ("run_support_test", where.module);
  EXPECT_LT(where.offset, reinterpret_cast<std::uintptr_t>(address));
  EXPECT_GT(where.offset, 0u);
  const CodeLocation nowhere = LocateCode(nullptr);
  EXPECT_EQ("run_support_test", nowhere.module);
  EXPECT_EQ(0u, nowhere.offset);
}

// Feeds `input` to a console dialog and gives its answer and what it wrote.
std::pair<int, std::string> Console(WindowKind kind, const std::string& input, bool interactive) {
  int in[2];
  int out[2];
  if (pipe(in) != 0 || pipe(out) != 0) std::abort();
  if (write(in[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) std::abort();
  close(in[1]);
  ConsoleInterface console(in[0], out[1], interactive);
  const int answer = console.Show(kind, "Bestätigen", "Soll das Programm Optimiert Werden?");
  close(out[1]);
  close(in[0]);
  std::string written;
  char buffer[256];
  for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;) written.append(buffer, got);
  close(out[0]);
  return {answer, written};
}

TEST(ConsoleInterface, TheQuestionReadsTheAnswerFromOneLine) {
  const std::pair<const char*, int> cases[] = {
      {"\n", kAnswerYes},      {"j\n", kAnswerYes},
      {" JA \n", kAnswerYes},  {"y\n", kAnswerYes},
      {"Yes\r\n", kAnswerYes}, {"n\n", kAnswerNo},
      {"Nein\n", kAnswerNo},   {"NO\n", kAnswerNo},
      {"", kAnswerClosed},     {"vielleicht\nn\n", kAnswerNo},
      {"x\n", kAnswerNo},      {"n", kAnswerNo},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(expected, Console(WindowKind::kQuestion, input, false).first) << input;
  }
}

TEST(ConsoleInterface, WritesCaptionTextAndButtons) {
  EXPECT_EQ("[Bestätigen]\nSoll das Programm Optimiert Werden?\n[J]a  [N]ein\n[J]a  [N]ein\n",
            Console(WindowKind::kQuestion, "maybe\nj\n", false).second);
  // A message waits for Enter only when a person sits at the input.
  EXPECT_EQ(std::make_pair(kAnswerOk, std::string("[Bestätigen]\nSoll das Programm Optimiert "
                                                  "Werden?\n")),
            Console(WindowKind::kMessage, "", false));
  EXPECT_EQ(kAnswerOk, Console(WindowKind::kMessage, "\n", true).first);
  EXPECT_EQ(kAnswerClosed, Console(WindowKind::kMessage, "", true).first);
}

TEST(ConsoleInterface, GivesLineBreaksOfAnyKindAsLineFeeds) {
  int out[2];
  ASSERT_EQ(0, pipe(out));
  ConsoleInterface console(-1, out[1], false);
  console.Show(WindowKind::kReport, "Anwendungsfehler", "a\r\nb\rc\n");
  close(out[1]);
  char buffer[64] = {};
  ASSERT_GT(read(out[0], buffer, sizeof buffer), 0);
  close(out[0]);
  EXPECT_STREQ("[Anwendungsfehler]\na\nb\nc\n", buffer);
}

class ExistenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteBytes(dir_ + "/part.nc", "G0 X1\r\n");
    ASSERT_EQ(0, mkdir((dir_ + "/folder").c_str(), 0755));
    ASSERT_EQ(0, symlink("part.nc", (dir_ + "/to-file").c_str()));
    ASSERT_EQ(0, symlink("folder", (dir_ + "/to-folder").c_str()));
    ASSERT_EQ(0, symlink("missing.nc", (dir_ + "/dangling").c_str()));
    ASSERT_EQ(0, mkfifo((dir_ + "/fifo").c_str(), 0644));
  }
  testing::ScratchFolder folder_;
  const std::string dir_ = folder_.Path();
};

TEST_F(ExistenceTest, PassesFilesAndLinksToReadableFilesOnly) {
  const std::pair<std::string, bool> cases[] = {
      {"part.nc", true},    {"folder", false},   {"folder/", false},    {"to-file", true},
      {"to-folder", false}, {"dangling", false}, {"missing.nc", false}, {"part.n?", false},
      {"*.nc", false},      {"part.nc/", false}, {"fifo", true},
  };
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(expected, NamesExistingFile(dir_ + "/" + name)) << name;
  }
  EXPECT_FALSE(NamesExistingFile(""));
}

}  // namespace
}  // namespace orvalen
