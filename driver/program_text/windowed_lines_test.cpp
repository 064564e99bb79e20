// Lines read window by window: the same lines and breaks whatever the size
// of the window, UTF-16 put in this machine's order, a last odd byte
// dropped, and a stop asked for by the caller.
#include "driver/program_text/windowed_lines.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/test_support.h"

namespace orvalen {
namespace {

// "text|break" of every line, read from `bytes` after `begin` in windows of
// `window` bytes, stopping after `stop` lines.
template <class Unit>
std::vector<std::u16string> Read(const std::string& bytes, TextEncoding encoding,
                                 std::size_t window, std::int64_t stop = 1000) {
  const testing::ScratchFolder folder;
  testing::WriteBytes(folder / "f.nc", bytes);
  const int fd = open((folder / "f.nc").c_str(), O_RDONLY | O_CLOEXEC);
  const std::uint64_t begin = sizeof(Unit) == 2 ? 2 : 0;
  WindowedLines<Unit> lines(fd, begin, UINT64_MAX, encoding, window);
  std::vector<std::u16string> got;
  const int error = lines.Run([](const char*, std::size_t) {},
                              [&](std::int64_t index, const WindowLine<Unit>& line) {
                                std::u16string text(line.start, line.text_end);
                                text += u'|';
                                text.append(line.text_end, line.next);
                                got.push_back(text);
                                return index + 1 < stop;
                              },
                              [] {});
  close(fd);
  EXPECT_EQ(0, error);
  return got;
}

TEST(WindowedLines, GiveTheSameLinesAtEveryWindowEdge) {
  const std::vector<std::u16string> expected = {u"A|\r\n", u"BC|\n", u"|\r", u"D|\r", u"E|"};
  for (const std::size_t window : {1, 2, 3, 5, 64}) {
    SCOPED_TRACE(window);
    EXPECT_EQ(expected, Read<char>("A\r\nBC\n\rD\rE", TextEncoding::kSystemCodePage, window));
    EXPECT_EQ(expected,
              Read<char16_t>(std::string("\xFE\xFF\0A\0\r\0\n\0B\0C\0\n\0\r\0D\0\r\0E", 22),
                             TextEncoding::kUtf16BigEndian, window));
    // A last odd byte is no part of the text.
    EXPECT_EQ(expected, Read<char16_t>(std::string("\xFF\xFE"
                                                   "A\0\r\0\n\0B\0C\0\n\0\r\0D\0\r\0E\0x",
                                                   23),
                                       TextEncoding::kUtf16LittleEndian, window));
  }
  EXPECT_EQ((std::vector<std::u16string>{u"A|\r\n", u"BC|\n"}),
            Read<char>("A\r\nBC\n\rD\rE", TextEncoding::kSystemCodePage, 2, 2));
}

}  // namespace
}  // namespace orvalen
