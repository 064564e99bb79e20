// A part program's bytes through the programs' rewrite, and the plain
// reference beside it: the encodings and line ends read and written back,
// the failures of reading, and the permission cases, which a probe program
// runs as another user through setpriv.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "driver/rewrite/rewrite_program.h"
#include "legacy/legacy_build.h"
#include "legacy/legacy_program_text_rules.h"
#include "reference/compare_with_reference.h"
#include "reference/line_list.h"
#include "tests/test_support.h"
#include "tools/codepage1252.h"
#include "tools/current_build.h"
#include "tools/utf8.h"

namespace orvalen {
namespace {

using Current = LineList<CurrentBuild>;
using Legacy = LineList<LegacyBuild>;

using testing::FailureOf;
using testing::FolderNames;
using testing::ReadBytes;
using testing::WriteBytes;

class RewriteFiles : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder_ / name; }

  // The bytes the programs' rewrite gives for a file of `bytes`: a
  // subroutine that moves nothing is put before its first line (after the
  // byte-order mark), so that the rewrite saves it, and taken off again.
  template <BuildPolicy Build>
  std::string Rewritten(const std::string& bytes) const {
    std::size_t mark = 0;
    bool wide = false;
    bool big_endian = false;
    if constexpr (sizeof(typename Build::Char) == 2) {
      if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) mark = 3;
      if (bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind("\xFE\xFF", 0) == 0) {
        mark = 2;
        wide = true;
        big_endian = bytes[0] == '\xFE';
      }
    }
    std::string prefix;
    for (const char c : std::string("SUBBEGIN Z\r\nG0 X0 Y0\r\nSUBEND\r\n")) {
      if (wide && big_endian) prefix += '\0';
      prefix += c;
      if (wide && !big_endian) prefix += '\0';
    }
    WriteBytes(Path("rewritten.nc"), bytes.substr(0, mark) + prefix + bytes.substr(mark));
    std::string saved =
        testing::StreamedRun<Build>(Path("rewritten.nc"), Path("rewritten.tax"), kAnswerYes).saved;
    if (saved.compare(mark, prefix.size(), prefix) != 0) return "(no prefix) " + saved;
    return saved.erase(mark, prefix.size());
  }

  testing::ScratchFolder folder_;
  const std::string dir_ = folder_.Path();
};

// Runs the probe program (tests/program_probe.cpp) as the unprivileged user;
// its output is "Kind: message", "ok LINES" or "rewritten COUNT".
std::string ProbeAsNobody(const std::string& build, const std::string& source,
                          const std::string& target = "") {
  std::string cmd;
  if (geteuid() == 0) cmd = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  cmd += testing::ReachableCopy(ORVALEN_PROGRAM_PROBE) + " " + build + " '" + source + "'";
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

TEST_F(RewriteFiles, CurrentProgramByteExamples) {
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
    EXPECT_EQ(c.saved, Rewritten<CurrentBuild>(c.bytes));
  }
}

TEST_F(RewriteFiles, LegacyProgramByteExamples) {
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
    EXPECT_EQ(c.saved, Rewritten<LegacyBuild>(c.bytes));
  }
}

// ---- Round trips.

TEST_F(RewriteFiles, RandomBytesWithoutMarkComeBackByteForByte) {
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
    EXPECT_EQ(bytes, Rewritten<CurrentBuild>(bytes));
    EXPECT_EQ(bytes, Rewritten<LegacyBuild>(bytes));
  }
}

TEST_F(RewriteFiles, Utf16WithUnpairedSurrogatesComesBackUnchanged) {
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
    EXPECT_EQ(bytes, Rewritten<CurrentBuild>(bytes));
  }
}

TEST_F(RewriteFiles, MissingFileAndFolderFailToOpen) {
  Current list;
  Legacy legacy;
  const std::string missing = Path("sub/../missing.nc");
  EXPECT_EQ(std::make_pair(std::string("EFOpenError"),
                           u"Datei " + FromUtf8(Path("missing.nc")) +
                               u" kann nicht geöffnet werden. No such file or directory"),
            FailureOf([&] { list.LoadFromFile(missing); }));
  EXPECT_EQ(FailureOf([&] { list.LoadFromFile(missing); }),
            FailureOf([&] { PlanProgram<CurrentBuild>(missing); }));
  EXPECT_EQ(std::make_pair(std::string("EFOpenError"),
                           DecodeCp1252("File " + Path("missing.nc") +
                                        " could not be opened. No such file or directory")),
            FailureOf([&] { legacy.LoadFromFile(missing); }));
  EXPECT_EQ(FailureOf([&] { legacy.LoadFromFile(missing); }),
            FailureOf([&] { PlanProgram<LegacyBuild>(missing); }));
  EXPECT_EQ(
      std::make_pair(std::string("EFOpenError"),
                     u"Datei " + FromUtf8(dir_) + u" kann nicht geöffnet werden. Is a directory"),
      FailureOf([&] { list.LoadFromFile(dir_); }));
  EXPECT_EQ(FailureOf([&] { list.LoadFromFile(dir_); }),
            FailureOf([&] { PlanProgram<CurrentBuild>(dir_); }));
  EXPECT_EQ(std::make_pair(std::string("EFOpenError"),
                           DecodeCp1252("File " + dir_ + " could not be opened. Is a directory")),
            FailureOf([&] { legacy.LoadFromFile(dir_); }));
  EXPECT_EQ(FailureOf([&] { legacy.LoadFromFile(dir_); }),
            FailureOf([&] { PlanProgram<LegacyBuild>(dir_); }));
  EXPECT_FALSE(list.Encoding().has_value());
}

TEST_F(RewriteFiles, PathBytesThatAreNotUtf8ShowAsReplacementCharacters) {
  const std::string missing = Path(
      "a\xFF"
      "b.nc");
  Current list;
  EXPECT_EQ(u"Datei " + FromUtf8(dir_) +
                u"/a\uFFFDb.nc kann nicht geöffnet werden. No such file or directory",
            FailureOf([&] { list.LoadFromFile(missing); }).second);
  EXPECT_EQ(FailureOf([&] { list.LoadFromFile(missing); }),
            FailureOf([&] { PlanProgram<CurrentBuild>(missing); }));
  Legacy legacy;
  EXPECT_EQ(DecodeCp1252("File " + dir_ +
                         "/a\xFF"
                         "b.nc could not be opened. No such file or directory"),
            FailureOf([&] { legacy.LoadFromFile(missing); }).second);
  EXPECT_EQ(FailureOf([&] { legacy.LoadFromFile(missing); }),
            FailureOf([&] { PlanProgram<LegacyBuild>(missing); }));
}

TEST_F(RewriteFiles, IllFormedTextFailsTheLoadAndLeavesTheListAsItWas) {
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
    EXPECT_EQ(FailureOf([&] { list.LoadFromFile(Path("bad.nc")); }),
              FailureOf([&] { PlanProgram<CurrentBuild>(Path("bad.nc")); }));
    EXPECT_EQ(1, list.Count());
    EXPECT_EQ(TextEncoding::kSystemCodePage, list.Encoding());
    EXPECT_EQ(bytes, ReadBytes(Path("bad.nc")));
  }
}

TEST_F(RewriteFiles, NoReadPermissionFailsToOpen) {
  WriteBytes(Path("secret.nc"), "G0\r\n");
  chmod(Path("secret.nc").c_str(), 0200);
  EXPECT_EQ(
      "EFOpenError: Datei " + Path("secret.nc") + " kann nicht geöffnet werden. Permission denied",
      ProbeAsNobody("current", Path("secret.nc")));
  EXPECT_EQ("EFOpenError: File " + Path("secret.nc") + " could not be opened. Permission denied",
            ProbeAsNobody("legacy", Path("secret.nc")));
}

TEST_F(RewriteFiles, ReadOnlyTargetFailsToCreateEvenInAWritableFolder) {
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

TEST_F(RewriteFiles, FolderNotWritableWritesAWritableTargetInPlace) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to act as another user through setpriv";
  WriteBytes(Path("in.nc"), "NEW\r\nLINES\r\n");
  chmod(Path("in.nc").c_str(), 0644);
  const std::string program = "SUBBEGIN A\r\nG0 X10.5 Y20.25\r\nSUBEND\r\nOLD CONTENT\r\n";
  chmod(dir_.c_str(), 0755);
  // The program rewritten over itself: in place, shorter than it was.
  for (const std::string build : {"current", "legacy"}) {
    WriteBytes(Path("t.nc"), program);
    chmod(Path("t.nc").c_str(), 0666);
    EXPECT_EQ("rewritten 1", ProbeAsNobody(build, Path("t.nc"), Path("t.nc")));
    EXPECT_EQ("SUBBEGIN A\r\nG0 X0 Y0\r\nSUBEND\r\nOLD CONTENT\r\n", ReadBytes(Path("t.nc")));
  }
  // A result beside a program is always a new file, which cannot be created
  // in that folder at all.
  EXPECT_EQ(
      "EFCreateError: Datei \"" + Path("t.nc") + "\" kann nicht erstellt werden. Permission denied",
      ProbeAsNobody("current", Path("in.nc"), Path("t.nc")));
  EXPECT_EQ("EFCreateError: Datei \"" + Path("new.nc") +
                "\" kann nicht erstellt werden. Permission denied",
            ProbeAsNobody("current", Path("in.nc"), Path("new.nc")));
  EXPECT_EQ(
      "EFCreateError: File \"" + Path("new.nc") + "\" could not be created. Permission denied",
      ProbeAsNobody("legacy", Path("in.nc"), Path("new.nc")));
  EXPECT_EQ((std::vector<std::string>{"in.nc", "t.nc"}), FolderNames(dir_));
}

}  // namespace
}  // namespace orvalen
