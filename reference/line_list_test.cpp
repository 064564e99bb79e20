#include "reference/line_list.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "legacy/legacy_program_text_rules.h"
#include "tests/test_support.h"
#include "tools/utf8.h"

namespace orvalen {
namespace {

using Current = LineList<CurrentBuild>;
using Legacy = LineList<LegacyBuild>;

using testing::FailureOf;
using testing::FolderNames;
using testing::ReadBytes;
using testing::WriteBytes;

// A fresh folder that the unprivileged user may enter and write.
class LineListFiles : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder_ / name; }

  testing::ScratchFolder folder_;
  const std::string dir_ = folder_.Path();
};

TEST_F(LineListFiles, ReplacedLinesAreSavedAndOthersKeepTheirBytes) {
  WriteBytes(Path("in.nc"), "G0 X1\r\nSUBBEGIN A\nG1\r\n");
  Current list;
  list.LoadFromFile(Path("in.nc"));
  const auto kept = list.Strings(2);
  list.SetStrings(1, u"X0 \u4E00");
  EXPECT_EQ(u"X0 \u4E00", list.Strings(1));
  EXPECT_EQ(u"G1", kept);
  EXPECT_EQ(3, list.Count());
  list.SaveToFile(Path("in.nc"));
  EXPECT_EQ("G0 X1\r\nX0 ?\r\nG1\r\n", ReadBytes(Path("in.nc")));

  Legacy legacy;
  legacy.LoadFromFile(Path("in.nc"));
  legacy.SetStrings(0, "line\r\nstays one");
  legacy.SaveToFile(Path("in.nc"));
  EXPECT_EQ("line\r\nstays one\r\nX0 ?\r\nG1\r\n", ReadBytes(Path("in.nc")));
}

// Text that needs no decoding is read straight into the list, piece after
// piece, and long runs of it are written as they lie.
TEST_F(LineListFiles, LongTextsThatAreTheirBytesComeBackByteForByte) {
  std::string lines;
  std::int32_t count = 0;
  for (; lines.size() < (std::size_t{5} << 19); ++count)
    lines += "N" + std::to_string(count) + " G1 X1.5 Y-2\r\n";
  std::string utf16 = "\xFF\xFE";
  for (const char c : lines) utf16 += {c, '\0'};
  WriteBytes(Path("in.nc"), utf16 + "Z");  // an odd last byte is dropped
  Current list;
  list.LoadFromFile(Path("in.nc"));
  EXPECT_EQ(count, list.Count());
  EXPECT_EQ(u"N7 G1 X1.5 Y-2", list.Strings(7));
  list.SaveToFile(Path("in.nc"));
  EXPECT_EQ(utf16, ReadBytes(Path("in.nc")));

  WriteBytes(Path("in.nc"), lines + "last");
  Legacy legacy;
  legacy.LoadFromFile(Path("in.nc"));
  EXPECT_EQ(count + 1, legacy.Count());
  legacy.SaveToFile(Path("in.nc"));
  EXPECT_EQ(lines + "last\r\n", ReadBytes(Path("in.nc")));
}

TEST_F(LineListFiles, AListThatWasNeverLoadedSavesNothingInTheSystemCodePage) {
  Current list;
  list.SaveToFile(Path("empty.nc"));
  EXPECT_EQ("", ReadBytes(Path("empty.nc")));
}

// ---- Failures.

TEST_F(LineListFiles, ListIndexFailureCarriesTheIndex) {
  std::string twelve;
  for (int i = 0; i < 12; ++i) twelve += "G0\r\n";
  WriteBytes(Path("in.nc"), twelve);
  Current list;
  list.LoadFromFile(Path("in.nc"));
  Legacy legacy;
  legacy.LoadFromFile(Path("in.nc"));
  for (std::int64_t index :
       {std::int64_t{-1}, std::int64_t{12}, std::int64_t{-2}, std::int64_t{1} << 40}) {
    const std::u16string n = FromUtf8(std::to_string(index));
    const auto current_message = u"Listenindex außerhalb des gültigen Bereichs (" + n + u")";
    const auto legacy_message = u"List index out of bounds (" + n + u")";
    EXPECT_EQ(std::make_pair(std::string("EStringListError"), current_message),
              FailureOf([&] { list.Strings(index); }));
    EXPECT_EQ(std::make_pair(std::string("EStringListError"), current_message),
              FailureOf([&] { list.SetStrings(index, u"X"); }));
    EXPECT_EQ(std::make_pair(std::string("EStringListError"), legacy_message),
              FailureOf([&] { legacy.Strings(index); }));
    EXPECT_EQ(std::make_pair(std::string("EStringListError"), legacy_message),
              FailureOf([&] { legacy.SetStrings(index, "X"); }));
  }
}

TEST_F(LineListFiles, FilesOf2GiBOrMoreAreRefused) {
  const std::string big = Path("big.nc");
  const int fd = open(big.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(0, ftruncate(fd, off_t{1} << 31));  // sparse: no disk space used
  close(fd);
  Current list;
  EXPECT_EQ(
      std::make_pair(std::string("EFOpenError"),
                     u"Datei " + FromUtf8(big) + u" kann nicht geöffnet werden. File too large"),
      FailureOf([&] { list.LoadFromFile(big); }));
  Legacy legacy;
  EXPECT_EQ(std::make_pair(std::string("EFOpenError"),
                           DecodeCp1252("File " + big + " could not be opened. File too large")),
            FailureOf([&] { legacy.LoadFromFile(big); }));
}

template <class List>
std::string SaveEveryLineReplaced(const std::string& in, const std::string& out) {
  List list;
  list.LoadFromFile(in);
  for (std::int32_t i = 0; i < list.Count(); ++i) {
    auto line = std::basic_string(list.Strings(i));
    line.push_back(' ');
    line.push_back('!');
    list.SetStrings(i, line);
  }
  list.SaveToFile(out);
  return ReadBytes(out);
}

TEST_F(LineListFiles, ALargeSaveOfReplacedLinesWritesEveryByte) {
  std::string text;
  std::string replaced;
  for (int i = 0; text.size() < (std::size_t{9} << 20); ++i) {
    std::string line = "N";  // appended, not prepended: GCC 12 misreads the latter
    line += std::to_string(i);
    line += " G01 X123.456 Y-78.9 F2000";
    text += line + "\r\n";
    replaced += line + " !\r\n";
  }
  const auto utf16 = [](const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (const char c : ascii) bytes += std::string{c, '\0'};
    return bytes;
  };
  WriteBytes(Path("in.nc"), text);
  EXPECT_TRUE(replaced == SaveEveryLineReplaced<Current>(Path("in.nc"), Path("t.nc")));
  EXPECT_TRUE(replaced == SaveEveryLineReplaced<Legacy>(Path("in.nc"), Path("u.nc")));
  WriteBytes(Path("in.nc"), utf16(text));
  EXPECT_TRUE(utf16(replaced) == SaveEveryLineReplaced<Current>(Path("in.nc"), Path("t.nc")));
}

}  // namespace
}  // namespace orvalen
