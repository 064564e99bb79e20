// The dialog layout with a font of fixed width, and the clipboard text.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "driver/dialogs/window_copy_text.h"
#include "driver/dialogs/window_layout.h"

namespace orvalen {
namespace {

// Every character 10 pixels wide; continuation bytes add nothing.
int FixedWidth(std::string_view text) {
  int width = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) width += 10;
  return width;
}

using Lines = std::vector<std::string>;

TEST(BreakText, LinesTabsAndWords) {
  struct Case {
    const char* name;
    std::string text;
    int max_width;
    Lines lines;
  };
  const Case cases[] = {
      {"empty text", "", 100, {""}},
      {"short line", "Hello", 100, {"Hello"}},
      {"CR LF, LF and lone CR", "a\r\nb\nc\rd", 100, {"a", "b", "c", "d"}},
      {"line end at the end", "a\r\nb\r\n", 100, {"a", "b"}},
      {"empty lines kept", "a\r\n\r\nb", 100, {"a", "", "b"}},
      {"only a line end", "\n", 100, {""}},
      {"tab to the next stop", "ab\tc", 200, {"ab      c"}},
      {"tab at a stop", "abcdefgh\tx", 200, {"abcdefgh        x"}},
      {"tab counts characters", "\xC3\xA4\tx", 200, {"\xC3\xA4       x"}},
      {"words fill the width", "aaa bbb ccc ddd", 70, {"aaa bbb", "ccc ddd"}},
      {"blanks at the break dropped", "aaa    bbb", 60, {"aaa", "bbb"}},
      {"blanks between words kept", "aa  bb", 100, {"aa  bb"}},
      {"indentation kept", "  aa bb", 50, {"  aa", "bb"}},
      {"exact fit", "aaaaa", 50, {"aaaaa"}},
      {"long word split", "aaaaaaaaaaaa", 50, {"aaaaa", "aaaaa", "aa"}},
      {"long word after a short one", "x aaaaaaa", 50, {"x", "aaaaa", "aa"}},
      {"rest of a long word takes words", "aaaaaaa b c", 50, {"aaaaa", "aa b", "c"}},
      {"split between characters",
       "\xC3\xA4\xC3\xA4\xC3\xA4",
       20,
       {"\xC3\xA4\xC3\xA4", "\xC3\xA4"}},
      {"character wider than the limit", "abc", 5, {"a", "b", "c"}},
      {"markup characters are text", "&Ja @-> a&&b", 200, {"&Ja @-> a&&b"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BreakText(c.text, c.max_width, FixedWidth), c.lines) << c.name;
  }
}

TEST(BreakText, LongPathStaysWithinTheLimitAndKeepsEveryCharacter) {
  const std::string path = "/jobs/" + std::string(300, 'x') + "/part.nc";
  const std::string text = "File (" + path + ") does not exists";
  const Lines lines = BreakText(text, 640, FixedWidth);
  ASSERT_EQ(lines.size(), 7u);  // "File", four full lines and the rest of the path, the words
  std::string joined;
  for (const std::string& line : lines) {
    EXPECT_LE(FixedWidth(line), 640);
    joined += line;
  }
  EXPECT_EQ(joined, "File(" + path + ")does not exists") << "only the blanks at the breaks go";
}

// A rectangle as {x, y, w, h}, to compare with literal pixels.
std::array<int, 4> Box(const DialogRect& r) {
  return {r.x, r.y, r.w, r.h};
}
using Boxes = std::vector<std::array<int, 4>>;
Boxes BoxesOf(const std::vector<DialogRect>& rects) {
  Boxes boxes;
  for (const DialogRect& r : rects) boxes.push_back(Box(r));
  return boxes;
}

TEST(ArrangeDialog, QuestionWithIcon) {
  DialogContent content;
  content.text_width = 250;
  content.text_height = 17;
  content.icon = true;
  content.caption_widths = {20, 40};
  const DialogArrangement a = ArrangeDialog(content);
  EXPECT_EQ(a.width, 318);
  EXPECT_EQ(a.height, 98);
  EXPECT_EQ(Box(a.icon), (std::array{12, 12, 32, 32}));
  // Beside the icon, centred on its height.
  EXPECT_EQ(Box(a.text), (std::array{56, 19, 250, 17}));
  // Two buttons of the minimum width, side by side and centred.
  EXPECT_EQ(BoxesOf(a.buttons), (Boxes{{75, 60, 80, 26}, {163, 60, 80, 26}}));
}

TEST(ArrangeDialog, ButtonRowWiderThanTheText) {
  DialogContent content;
  content.text_width = 0;
  content.text_height = 17;
  content.caption_widths = {20, 120, 30};
  const DialogArrangement a = ArrangeDialog(content);
  EXPECT_EQ(a.width, 472);
  EXPECT_EQ(a.height, 83);
  EXPECT_EQ(Box(a.icon), (std::array{0, 0, 0, 0}));
  EXPECT_EQ(Box(a.text), (std::array{12, 12, 0, 17}));
  // All as wide as the widest caption with its padding.
  EXPECT_EQ(BoxesOf(a.buttons), (Boxes{{12, 45, 144, 26}, {164, 45, 144, 26}, {316, 45, 144, 26}}));
}

TEST(ArrangeDialog, TallTextOutgrowsTheIcon) {
  DialogContent content;
  content.text_width = 100;
  content.text_height = 170;
  content.icon = true;
  content.caption_widths = {20};
  const DialogArrangement a = ArrangeDialog(content);
  EXPECT_EQ(a.width, 168);
  EXPECT_EQ(a.height, 236);
  EXPECT_EQ(Box(a.text), (std::array{56, 12, 100, 170}));
  EXPECT_EQ(BoxesOf(a.buttons), (Boxes{{44, 198, 80, 26}}));
}

TEST(CentreIn, CentresAndKeepsTheTopLeftInside) {
  const DialogRect area{0, 30, 1280, 994};
  EXPECT_EQ(Box(CentreIn(area, 300, 100)), (std::array{490, 477, 300, 100}));
  EXPECT_EQ(Box(CentreIn(area, 2000, 3000)), (std::array{0, 30, 2000, 3000}));
}

TEST(DialogCopyText, QuestionAndAccessMarks) {
  EXPECT_EQ(DialogCopyText("Bestätigen", "Soll das Programm Optimiert Werden?", {"&Ja", "&Nein"}),
            "---------------------------\r\nBestätigen\r\n---------------------------\r\n"
            "Soll das Programm Optimiert Werden?\r\n---------------------------\r\n"
            "Ja   Nein   \r\n---------------------------\r\n");
  EXPECT_EQ(WithoutAccessMarks("&Ja"), "Ja");
  EXPECT_EQ(WithoutAccessMarks("Save && &Quit"), "Save & Quit");
  EXPECT_EQ(WithoutAccessMarks("trailing &"), "trailing &");
}

}  // namespace
}  // namespace orvalen
