#include "reference/line_list.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "legacy/legacy_program_text_rules.h"
#include "tests/test_support.h"
#include "tools/utf8.h"

namespace orvalen {
namespace {

using Current = LineList<CurrentBuild>;
using Legacy = LineList<LegacyBuild>;

using testing::FolderNames;
using testing::ReadBytes;
using testing::WriteBytes;

// A fresh folder that the unprivileged user may enter and write.
class LineListFiles : public ::testing::Test {
 protected:
  void TearDown() override {
    if (!mounted_.empty()) umount2(mounted_.c_str(), MNT_DETACH);
  }
  std::string Path(const std::string& name) const { return folder_ / name; }

  testing::ScratchFolder folder_;
  const std::string dir_ = folder_.Path();
  std::string mounted_;
};

// The failure that `action` raises: kind and message.
template <class Action>
std::pair<std::string, std::u16string> FailureOf(Action action) {
  try {
    action();
  } catch (const Failure& failure) {
    return {failure.KindName(), failure.Message()};
  }
  return {"none", u""};
}

// Runs the probe program (line_list_probe.cpp) as the unprivileged user;
// its output is "Kind: message" or "ok COUNT".
std::string ProbeAsNobody(const std::string& build, const std::string& source,
                          const std::string& target = "") {
  std::string cmd;
  if (geteuid() == 0) cmd = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  cmd += std::string(ORVALEN_LINE_LIST_PROBE) + " " + build + " '" + source + "'";
  if (!target.empty()) cmd += " '" + target + "'";
  FILE* pipe = popen(cmd.c_str(), "r");
  if (!pipe) return "popen failed";
  std::string out;
  char buf[512];
  while (std::size_t n = fread(buf, 1, sizeof buf, pipe)) out.append(buf, n);
  pclose(pipe);
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// ---- The byte-level examples, in both programs.

struct CurrentCase {
  std::string bytes;
  std::vector<std::u16string> lines;
  TextEncoding encoding;
  std::string saved;
};

TEST_F(LineListFiles, CurrentProgramByteExamples) {
  using E = TextEncoding;
  const std::string nul(1, '\0');
  const CurrentCase cases[] = {
      {"", {}, E::kSystemCodePage, ""},
      {"A\r\nB\r\n", {u"A", u"B"}, E::kSystemCodePage, "A\r\nB\r\n"},
      {"A\r\nB", {u"A", u"B"}, E::kSystemCodePage, "A\r\nB\r\n"},
      {"A\nB\rC", {u"A", u"B", u"C"}, E::kSystemCodePage, "A\r\nB\r\nC\r\n"},
      {"A\r\r\nB", {u"A", u"", u"B"}, E::kSystemCodePage, "A\r\n\r\nB\r\n"},
      {"A\n\rB", {u"A", u"", u"B"}, E::kSystemCodePage, "A\r\n\r\nB\r\n"},
      {"\r\nA", {u"", u"A"}, E::kSystemCodePage, "\r\nA\r\n"},
      {"A\r\n\r\n", {u"A", u""}, E::kSystemCodePage, "A\r\n\r\n"},
      {"\xEF\xBB\xBF"
       "A\r\n",
       {u"A"},
       E::kUtf8,
       "\xEF\xBB\xBF"
       "A\r\n"},
      {"\xEF\xBB\xBF", {}, E::kUtf8, "\xEF\xBB\xBF"},
      {"\xEF\xBB\xBF"
       "\xC3\xA4\r\n",
       {u"ä"},
       E::kUtf8,
       "\xEF\xBB\xBF"
       "\xC3\xA4\r\n"},
      {std::string("\xFF\xFE"
                   "A\0\r\0\n\0",
                   8),
       {u"A"},
       E::kUtf16LittleEndian,
       std::string("\xFF\xFE"
                   "A\0\r\0\n\0",
                   8)},
      {std::string("\xFE\xFF\0A\0\r\0\n", 8),
       {u"A"},
       E::kUtf16BigEndian,
       std::string("\xFE\xFF\0A\0\r\0\n", 8)},
      {std::string("\xFF\xFE"
                   "A\0B",
                   5),
       {u"A"},
       E::kUtf16LittleEndian,
       std::string("\xFF\xFE"
                   "A\0\r\0\n\0",
                   8)},
      {"\xFF\xFE", {}, E::kUtf16LittleEndian, "\xFF\xFE"},
      // UTF-16 without a mark is Windows-1252, its zero bytes kept as NUL.
      {std::string("A\0B\0", 4),
       {std::u16string(u"A\0B\0", 4)},
       E::kSystemCodePage,
       std::string("A\0B\0\r\n", 6)},
      // UTF-8 without a mark: two characters for two bytes, written back as they were.
      {"\xC3\xA4", {u"Ã¤"}, E::kSystemCodePage, "\xC3\xA4\r\n"},
      // The five unassigned bytes keep their values.
      {"\x81\x8D\x8F\x90\x9D\x80",
       {u"\u0081\u008D\u008F\u0090\u009D\u20AC"},
       E::kSystemCodePage,
       "\x81\x8D\x8F\x90\x9D\x80\r\n"},
      // Nothing after a NUL is lost.
      {"A" + nul + "B\r\nC",
       {u"A" + std::u16string(1, 0) + u"B", u"C"},
       E::kSystemCodePage,
       "A" + nul + "B\r\nC\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    WriteBytes(Path("in.nc"), c.bytes);
    Current list;
    EXPECT_FALSE(list.Encoding().has_value());
    list.LoadFromFile(Path("in.nc"));
    ASSERT_EQ(static_cast<std::int32_t>(c.lines.size()), list.Count());
    for (std::size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(c.lines[i], list.Strings(i));
    EXPECT_EQ(c.encoding, list.Encoding());
    list.SaveToFile(Path("out.nc"));
    EXPECT_EQ(c.saved, ReadBytes(Path("out.nc")));
  }
}

TEST_F(LineListFiles, LegacyProgramByteExamples) {
  const struct {
    std::string bytes;
    std::vector<std::string> lines;
    std::string saved;
  } cases[] = {
      {"", {}, ""},
      {"A\r\nB\r\n", {"A", "B"}, "A\r\nB\r\n"},
      {"A\r\nB", {"A", "B"}, "A\r\nB\r\n"},
      {"A\nB\rC", {"A", "B", "C"}, "A\r\nB\r\nC\r\n"},
      {"A\r\r\nB", {"A", "", "B"}, "A\r\n\r\nB\r\n"},
      {"A\n\rB", {"A", "", "B"}, "A\r\n\r\nB\r\n"},
      {"\r\nA", {"", "A"}, "\r\nA\r\n"},
      {"A\r\n\r\n", {"A", ""}, "A\r\n\r\n"},
      // A mark is just the first bytes of the first line.
      {"\xEF\xBB\xBFSUB\r\n", {"\xEF\xBB\xBFSUB"}, "\xEF\xBB\xBFSUB\r\n"},
      // UTF-16 is bytes here, its zero bytes NUL characters.
      {std::string("\xFF\xFE"
                   "A\0\r\0\n\0",
                   8),
       {std::string("\xFF\xFE"
                    "A\0",
                    4),
        std::string(1, '\0'), std::string(1, '\0')},
       std::string("\xFF\xFE"
                   "A\0\r\n\0\r\n\0\r\n",
                   12)},
      {"\xEF\xBB\xBF\xC3\x28", {"\xEF\xBB\xBF\xC3\x28"}, "\xEF\xBB\xBF\xC3\x28\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    WriteBytes(Path("in.nc"), c.bytes);
    Legacy list;
    list.LoadFromFile(Path("in.nc"));
    ASSERT_EQ(static_cast<std::int32_t>(c.lines.size()), list.Count());
    for (std::size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(c.lines[i], list.Strings(i));
    list.SaveToFile(Path("out.nc"));
    EXPECT_EQ(c.saved, ReadBytes(Path("out.nc")));
  }
}

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

// A replaced line goes over its old place (with the break after it) when it
// fits and into the arena when not; views of other lines stay as they were.
template <class List, class Text>
void ReplaceInPlaceAndInTheArena(const std::string& path, Text (*t)(std::string_view)) {
  WriteBytes(path, "AB\r\nCD\nEF\r\nGH");
  List list;
  list.LoadFromFile(path);
  const auto third = list.Strings(2);
  list.SetStrings(0, t("WXYZ"));  // exactly its place, break and all
  list.SetStrings(1, t("longer than its place"));
  const auto second = list.Strings(1);
  list.SetStrings(3, t("GHI"));  // the last line has no break to spare
  EXPECT_EQ(t("EF"), third);
  EXPECT_EQ(t("longer than its place"), second);
  list.SetStrings(1, t("12"));                    // back into its old place
  list.SetStrings(3, t("GHIJ"));                  // over itself in the arena
  list.SetStrings(0, list.Strings(0).substr(1));  // from its own text
  list.SetStrings(2, t(""));
  const std::string long_line(400000, 'x');  // longer than a block of the arena
  list.SetStrings(2, t(long_line));
  list.SetStrings(1, list.Strings(2));
  list.SetStrings(2, t("E"));
  EXPECT_EQ(4, list.Count());
  list.SaveToFile(path);
  EXPECT_EQ("XYZ\r\n" + long_line + "\r\nE\r\nGHIJ\r\n", ReadBytes(path));
}

TEST_F(LineListFiles, ReplacedLinesGoOverTheirPlaceOrIntoTheArena) {
  ReplaceInPlaceAndInTheArena<Current, std::u16string>(
      Path("in.nc"), [](std::string_view s) { return std::u16string(s.begin(), s.end()); });
  ReplaceInPlaceAndInTheArena<Legacy, std::string>(
      Path("in.nc"), [](std::string_view s) { return std::string(s); });
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

// ---- Round trips.

TEST_F(LineListFiles, RandomBytesWithoutMarkComeBackByteForByte) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 40; ++round) {
    std::string bytes;
    const int lines = static_cast<int>(random() % 50);
    for (int l = 0; l < lines; ++l) {
      const int length = static_cast<int>(random() % 80);
      for (int k = 0; k < length; ++k) {
        char b = static_cast<char>(random() & 0xFF);
        if (b == '\r' || b == '\n') b = 'X';
        bytes += b;
      }
      bytes += "\r\n";
    }
    // A file beginning with a mark is not a file without one.
    if (!bytes.empty() && (static_cast<unsigned char>(bytes[0]) >= 0xEF)) bytes[0] = 'G';
    WriteBytes(Path("r.nc"), bytes);
    Current current;
    current.LoadFromFile(Path("r.nc"));
    current.SaveToFile(Path("c.nc"));
    EXPECT_EQ(bytes, ReadBytes(Path("c.nc")));
    Legacy legacy;
    legacy.LoadFromFile(Path("r.nc"));
    legacy.SaveToFile(Path("l.nc"));
    EXPECT_EQ(bytes, ReadBytes(Path("l.nc")));
  }
}

TEST_F(LineListFiles, Utf16WithUnpairedSurrogatesComesBackUnchanged) {
  for (const bool little : {true, false}) {
    std::mt19937 random(little ? 3 : 4);
    std::u16string units;
    for (int i = 0; i < 5000; ++i) {
      char16_t u = static_cast<char16_t>(random() % 3 == 0 ? 0xD800 + random() % 0x800 : random());
      if (u == u'\r' || u == u'\n') u = u'G';
      units += u;
      if (random() % 40 == 0) units += u"\r\n";
    }
    units += u"\r\n";
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t u : units) {
      bytes += static_cast<char>(little ? u & 0xFF : u >> 8);
      bytes += static_cast<char>(little ? u >> 8 : u & 0xFF);
    }
    WriteBytes(Path("u.nc"), bytes);
    Current list;
    list.LoadFromFile(Path("u.nc"));
    list.SaveToFile(Path("v.nc"));
    EXPECT_EQ(bytes, ReadBytes(Path("v.nc")));
  }
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

TEST_F(LineListFiles, MissingFileAndFolderFailToOpen) {
  Current list;
  Legacy legacy;
  const std::string missing = Path("sub/../missing.nc");
  EXPECT_EQ(std::make_pair(std::string("EFOpenError"),
                           u"Datei " + FromUtf8(Path("missing.nc")) +
                               u" kann nicht geöffnet werden. No such file or directory"),
            FailureOf([&] { list.LoadFromFile(missing); }));
  EXPECT_EQ(std::make_pair(std::string("EFOpenError"),
                           DecodeCp1252("File " + Path("missing.nc") +
                                        " could not be opened. No such file or directory")),
            FailureOf([&] { legacy.LoadFromFile(missing); }));
  EXPECT_EQ(
      std::make_pair(std::string("EFOpenError"),
                     u"Datei " + FromUtf8(dir_) + u" kann nicht geöffnet werden. Is a directory"),
      FailureOf([&] { list.LoadFromFile(dir_); }));
  EXPECT_EQ(std::make_pair(std::string("EFOpenError"),
                           DecodeCp1252("File " + dir_ + " could not be opened. Is a directory")),
            FailureOf([&] { legacy.LoadFromFile(dir_); }));
  EXPECT_FALSE(list.Encoding().has_value());
}

TEST_F(LineListFiles, PathBytesThatAreNotUtf8ShowAsReplacementCharacters) {
  Current list;
  EXPECT_EQ(u"Datei " + FromUtf8(dir_) +
                u"/a\uFFFDb.nc kann nicht geöffnet werden. No such file or directory",
            FailureOf([&] {
              list.LoadFromFile(
                  Path("a\xFF"
                       "b.nc"));
            }).second);
  Legacy legacy;
  EXPECT_EQ(DecodeCp1252("File " + dir_ +
                         "/a\xFF"
                         "b.nc could not be opened. No such file or directory"),
            FailureOf([&] {
              legacy.LoadFromFile(
                  Path("a\xFF"
                       "b.nc"));
            }).second);
}

TEST_F(LineListFiles, IllFormedTextFailsTheLoadAndLeavesTheListAsItWas) {
  WriteBytes(Path("good.nc"), "A\r\n");
  const std::string bad[] = {"\xEF\xBB\xBF\xC3\x28",
                             "\xFF\xFE"
                             "A",
                             "\xFE\xFF"
                             "A",
                             "\xEF\xBB\xBF"
                             "A\r\n\xE2\x82"};
  for (const auto& bytes : bad) {
    Current list;
    list.LoadFromFile(Path("good.nc"));
    WriteBytes(Path("bad.nc"), bytes);
    EXPECT_EQ(std::make_pair(std::string("EEncodingError"),
                             std::u16string(u"Keine Zuordnung für Unicode-Zeichen in der "
                                            u"Multibyte-Zielcodeseite vorhanden")),
              FailureOf([&] { list.LoadFromFile(Path("bad.nc")); }));
    EXPECT_EQ(1, list.Count());
    EXPECT_EQ(TextEncoding::kSystemCodePage, list.Encoding());
    EXPECT_EQ(bytes, ReadBytes(Path("bad.nc")));
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

TEST_F(LineListFiles, NoReadPermissionFailsToOpen) {
  WriteBytes(Path("secret.nc"), "G0\r\n");
  chmod(Path("secret.nc").c_str(), 0200);
  EXPECT_EQ(
      "EFOpenError: Datei " + Path("secret.nc") + " kann nicht geöffnet werden. Permission denied",
      ProbeAsNobody("current", Path("secret.nc")));
  EXPECT_EQ("EFOpenError: File " + Path("secret.nc") + " could not be opened. Permission denied",
            ProbeAsNobody("legacy", Path("secret.nc")));
}

TEST_F(LineListFiles, ReadOnlyTargetFailsToCreateEvenInAWritableFolder) {
  WriteBytes(Path("in.nc"), "NEW\r\n");
  chmod(Path("in.nc").c_str(), 0644);
  WriteBytes(Path("ro.nc"), "OLD\n");
  chmod(Path("ro.nc").c_str(), 0644);  // owned by root: not writable for the probe's user
  if (geteuid() != 0) chmod(Path("ro.nc").c_str(), 0444);
  EXPECT_EQ("EFCreateError: Datei \"" + Path("ro.nc") +
                "\" kann nicht erstellt werden. Permission denied",
            ProbeAsNobody("current", Path("in.nc"), Path("ro.nc")));
  EXPECT_EQ("EFCreateError: File \"" + Path("ro.nc") + "\" could not be created. Permission denied",
            ProbeAsNobody("legacy", Path("in.nc"), Path("ro.nc")));
  EXPECT_EQ("OLD\n", ReadBytes(Path("ro.nc")));
  EXPECT_EQ((std::vector<std::string>{"in.nc", "ro.nc"}), FolderNames(dir_));
}

TEST_F(LineListFiles, FolderNotWritableWritesAWritableTargetInPlace) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to act as another user through setpriv";
  WriteBytes(Path("in.nc"), "NEW\r\nLINES\r\n");
  chmod(Path("in.nc").c_str(), 0644);
  WriteBytes(Path("t.nc"), "OLD CONTENT THAT IS LONGER\n");
  chmod(Path("t.nc").c_str(), 0666);
  chmod(dir_.c_str(), 0755);
  EXPECT_EQ("ok 2", ProbeAsNobody("current", Path("in.nc"), Path("t.nc")));
  EXPECT_EQ("NEW\r\nLINES\r\n", ReadBytes(Path("t.nc")));
  EXPECT_EQ("ok 2", ProbeAsNobody("legacy", Path("in.nc"), Path("t.nc")));
  EXPECT_EQ("NEW\r\nLINES\r\n", ReadBytes(Path("t.nc")));
  // A new file in that folder cannot be created at all.
  EXPECT_EQ("EFCreateError: Datei \"" + Path("new.nc") +
                "\" kann nicht erstellt werden. Permission denied",
            ProbeAsNobody("current", Path("in.nc"), Path("new.nc")));
  EXPECT_EQ(
      "EFCreateError: File \"" + Path("new.nc") + "\" could not be created. Permission denied",
      ProbeAsNobody("legacy", Path("in.nc"), Path("new.nc")));
  EXPECT_EQ((std::vector<std::string>{"in.nc", "t.nc"}), FolderNames(dir_));
}

TEST_F(LineListFiles, ATargetThatIsAFolderFailsToCreate) {
  WriteBytes(Path("in.nc"), "A\r\n");
  mkdir(Path("sub").c_str(), 0755);
  Current list;
  list.LoadFromFile(Path("in.nc"));
  EXPECT_EQ(std::make_pair(std::string("EFCreateError"),
                           u"Datei \"" + FromUtf8(Path("sub")) +
                               u"\" kann nicht erstellt werden. Is a directory"),
            FailureOf([&] { list.SaveToFile(Path("sub")); }));
  EXPECT_EQ((std::vector<std::string>{"in.nc", "sub"}), FolderNames(dir_));
}

TEST_F(LineListFiles, ASymbolicLinkStaysALinkAndItsFileIsReplaced) {
  WriteBytes(Path("in.nc"), "NEW\r\n");
  mkdir(Path("real").c_str(), 0777);
  WriteBytes(Path("real/file.nc"), "OLD\r\n");
  chmod(Path("real/file.nc").c_str(), 0640);
  ASSERT_EQ(0, symlink("real/file.nc", Path("link.nc").c_str()));
  ASSERT_EQ(0, symlink("link.nc", Path("link2.nc").c_str()));
  Current list;
  list.LoadFromFile(Path("in.nc"));
  list.SaveToFile(Path("link2.nc"));
  struct stat st {};
  ASSERT_EQ(0, lstat(Path("link.nc").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(0, lstat(Path("link2.nc").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ("NEW\r\n", ReadBytes(Path("real/file.nc")));
  ASSERT_EQ(0, stat(Path("real/file.nc").c_str(), &st));
  EXPECT_EQ(0640u, st.st_mode & 07777);
  EXPECT_EQ((std::vector<std::string>{"file.nc"}), FolderNames(Path("real")));
  // A dangling link: the file it leads to is created.
  ASSERT_EQ(0, symlink("real/new.nc", Path("dangling.nc").c_str()));
  Legacy legacy;
  legacy.LoadFromFile(Path("in.nc"));
  legacy.SaveToFile(Path("dangling.nc"));
  EXPECT_EQ("NEW\r\n", ReadBytes(Path("real/new.nc")));
  ASSERT_EQ(0, lstat(Path("dangling.nc").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(LineListFiles, HardLinksAndPermissionBitsAreKept) {
  WriteBytes(Path("in.nc"), "NEW\r\n");
  WriteBytes(Path("a.nc"), "OLD OLD OLD\r\n");
  chmod(Path("a.nc").c_str(), 0604);
  ASSERT_EQ(0, link(Path("a.nc").c_str(), Path("b.nc").c_str()));
  Current list;
  list.LoadFromFile(Path("in.nc"));
  list.SaveToFile(Path("a.nc"));
  EXPECT_EQ("NEW\r\n", ReadBytes(Path("b.nc")));
  struct stat st {};
  ASSERT_EQ(0, stat(Path("a.nc").c_str(), &st));
  EXPECT_EQ(2u, st.st_nlink);
  EXPECT_EQ(0604u, st.st_mode & 07777);

  WriteBytes(Path("single.nc"), "OLD\r\n");
  chmod(Path("single.nc").c_str(), 0751);
  list.SaveToFile(Path("single.nc"));
  ASSERT_EQ(0, stat(Path("single.nc").c_str(), &st));
  EXPECT_EQ(0751u, st.st_mode & 07777);
  EXPECT_EQ("NEW\r\n", ReadBytes(Path("single.nc")));
  EXPECT_EQ((std::vector<std::string>{"a.nc", "b.nc", "in.nc", "single.nc"}), FolderNames(dir_));
}

ssize_t WriteNothing(int, const void*, std::size_t) {
  return 0;
}
ssize_t DeviceFull(int, const void*, std::size_t) {
  errno = ENOSPC;
  return -1;
}

TEST_F(LineListFiles, AWriteThatPutsDownNothingKeepsTheTarget) {
  WriteBytes(Path("in.nc"), "NEW\r\n");
  WriteBytes(Path("t.nc"), "OLD\n");
  Current list;
  list.LoadFromFile(Path("in.nc"));
  Legacy legacy;
  legacy.LoadFromFile(Path("in.nc"));
  for (WriteCall failing : {&WriteNothing, &DeviceFull}) {
    const WriteCall previous = SetWriteCallForTesting(failing);
    const auto current_failure = FailureOf([&] { list.SaveToFile(Path("t.nc")); });
    const auto legacy_failure = FailureOf([&] { legacy.SaveToFile(Path("t.nc")); });
    const auto new_file = FailureOf([&] { list.SaveToFile(Path("new.nc")); });
    SetWriteCallForTesting(previous);
    EXPECT_EQ(std::make_pair(std::string("EWriteError"), std::u16string(u"Stream-Schreibfehler")),
              current_failure);
    EXPECT_EQ(std::make_pair(std::string("EWriteError"), std::u16string(u"Stream write error")),
              legacy_failure);
    EXPECT_EQ("EWriteError", new_file.first);
    EXPECT_EQ("OLD\n", ReadBytes(Path("t.nc")));
    EXPECT_EQ((std::vector<std::string>{"in.nc", "t.nc"}), FolderNames(dir_));
  }
}

// A large text is written from a second thread; a write that fails there,
// after some have gone through, still ends the save with the write failure
// and leaves the target as it was. Without a failure the bytes are exact.
std::atomic<int> g_writes_left{0};
ssize_t FailAfterSomeWrites(int fd, const void* data, std::size_t size) {
  if (g_writes_left.fetch_sub(1) <= 0) return DeviceFull(fd, data, size);
  return write(fd, data, size);
}

TEST_F(LineListFiles, ALargeSaveWrittenBehindFailsAsAWholeOrWritesEveryByte) {
  std::string big;
  for (int i = 0; big.size() < (std::size_t{9} << 20); ++i) {
    big += 'N';
    big += std::to_string(i);
    big += " G01 X123.456 Y-78.9 F2000 (\xE4)\r\n";
  }
  WriteBytes(Path("in.nc"), big);
  Current list;
  list.LoadFromFile(Path("in.nc"));
  Legacy legacy;
  legacy.LoadFromFile(Path("in.nc"));
  list.SetStrings(7, u"G0 X0 Y0 and a line that no longer fits where it was");
  legacy.SetStrings(9, "G1");
  for (const int writes : {0, 3}) {
    WriteBytes(Path("t.nc"), "OLD\n");
    WriteBytes(Path("u.nc"), "OLD\n");
    g_writes_left = writes;
    const WriteCall previous = SetWriteCallForTesting(&FailAfterSomeWrites);
    EXPECT_EQ("EWriteError", FailureOf([&] { list.SaveToFile(Path("t.nc")); }).first);
    g_writes_left = writes;
    EXPECT_EQ("EWriteError", FailureOf([&] { legacy.SaveToFile(Path("u.nc")); }).first);
    SetWriteCallForTesting(previous);
    EXPECT_EQ("OLD\n", ReadBytes(Path("t.nc")));
    EXPECT_EQ("OLD\n", ReadBytes(Path("u.nc")));
    EXPECT_EQ((std::vector<std::string>{"in.nc", "t.nc", "u.nc"}), FolderNames(dir_));
  }
  list.SaveToFile(Path("t.nc"));
  legacy.SaveToFile(Path("u.nc"));
  std::string current = big;
  const auto line_start = [&](const std::string& text, int index) {
    std::size_t at = 0;
    for (int i = 0; i < index; ++i) at = text.find("\r\n", at) + 2;
    return at;
  };
  std::size_t at = line_start(current, 7);
  current.replace(at, current.find("\r\n", at) - at,
                  "G0 X0 Y0 and a line that no longer fits where it was");
  std::string bytes = big;
  at = line_start(bytes, 9);
  bytes.replace(at, bytes.find("\r\n", at) - at, "G1");
  EXPECT_TRUE(current == ReadBytes(Path("t.nc")));
  EXPECT_TRUE(bytes == ReadBytes(Path("u.nc")));
}

// Every line of a large text replaced, so that the save gathers them before
// it writes, in the encodings whose bytes are the text itself (the legacy
// program's, UTF-16 LE) and one that is encoded: the bytes are exact.
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

TEST_F(LineListFiles, AFullDeviceKeepsTheTarget) {
  const std::string device = Path("small");
  mkdir(device.c_str(), 0777);
  if (mount("tmpfs", device.c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0) {
    GTEST_SKIP() << "no tmpfs here (" << SystemErrorText(errno)
                 << "); AWriteThatPutsDownNothingKeepsTheTarget injects the failure instead";
  }
  mounted_ = device;
  std::string big;
  while (big.size() < 512 * 1024) big += "N10 G01 X123.456 Y-78.9 F2000\r\n";
  WriteBytes(Path("in.nc"), big);
  WriteBytes(device + "/t.nc", "OLD\n");
  WriteBytes(device + "/hard.nc", "OLD\n");
  ASSERT_EQ(0, link((device + "/hard.nc").c_str(), (device + "/hard2.nc").c_str()));
  Current list;
  list.LoadFromFile(Path("in.nc"));
  Legacy legacy;
  legacy.LoadFromFile(Path("in.nc"));
  for (const std::string name : {"t.nc", "hard.nc"}) {
    EXPECT_EQ(std::make_pair(std::string("EWriteError"), std::u16string(u"Stream-Schreibfehler")),
              FailureOf([&] { list.SaveToFile(device + "/" + name); }));
    EXPECT_EQ(std::make_pair(std::string("EWriteError"), std::u16string(u"Stream write error")),
              FailureOf([&] { legacy.SaveToFile(device + "/" + name); }));
    EXPECT_EQ("OLD\n", ReadBytes(device + "/" + name));
  }
  EXPECT_EQ((std::vector<std::string>{"hard.nc", "hard2.nc", "t.nc"}), FolderNames(device));
}

}  // namespace
}  // namespace orvalen
