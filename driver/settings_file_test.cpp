#include "driver/settings_file.h"

#include <gtest/gtest.h>

#include <optional>

#include "legacy/legacy_build.h"
#include "tests/test_support.h"
#include "tools/current_build.h"

namespace orvalen {
namespace {

TEST(IntegerText, ValueTextsOfTheSettingsFile) {
  const struct {
    const char* text;
    std::optional<std::int32_t> value;
  } cases[] = {
      {"0", 0},
      {"1", 1},
      {"-1", -1},
      {"+7", 7},
      {"007", 7},
      {"$1F", 31},
      {"0x1F", 31},
      {"0X1f", 31},
      {"x1F", 31},
      {"X1f", 31},
      {"-$10", -16},
      {"-0x10", -16},
      {"$FFFFFFFF", -1},
      {"$80000000", INT32_MIN},
      {"$0000000000000001", 1},  // leading zeros do not count towards the eight digits
      {"$100000000", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"+", std::nullopt},
      {"-", std::nullopt},
      {"", std::nullopt},
      {"2147483647", INT32_MAX},
      {"2147483648", std::nullopt},
      {"-2147483648", INT32_MIN},
      {"-2147483649", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"yes", std::nullopt},
      {"true", std::nullopt},
      {"1.0", std::nullopt},
      {"1e3", std::nullopt},
      {"1 ", std::nullopt},
      {" 5", 5},
      {"\t5", std::nullopt},
      {"--1", std::nullopt},
      {"+-1", std::nullopt},
      {"$-1", std::nullopt},
      {"0x1G", std::nullopt},
  };
  for (const auto& c : cases) {
    const std::string_view bytes(c.text);
    const std::u16string wide(bytes.begin(), bytes.end());
    EXPECT_EQ(c.value, ParseIntegerText(bytes)) << '"' << c.text << '"';
    EXPECT_EQ(c.value, ParseIntegerText(std::u16string_view(wide))) << '"' << c.text << '"';
  }
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void Write(std::string_view bytes) { testing::WriteBytes(path_, bytes); }

  // The test flag as both programs read it.
  void ExpectFlag(std::int32_t expected, std::string_view bytes) {
    Write(bytes);
    const SettingsFile<CurrentBuild> current(path_);
    const SettingsFile<LegacyBuild> legacy(path_);
    EXPECT_EQ(expected, current.ReadInteger(u"common", u"test", 0)) << bytes;
    EXPECT_EQ(expected, legacy.ReadInteger("common", "test", 0)) << bytes;
  }

  testing::ScratchFolder folder_;
  const std::string path_ = folder_ / "Orvalen.ini";
};

TEST_F(SettingsFileTest, MissingFileGivesTheDefaultAndStaysMissing) {
  const SettingsFile<CurrentBuild> settings(path_);
  EXPECT_EQ(0, settings.ReadInteger(u"common", u"test", 0));
  EXPECT_EQ(-5, settings.ReadInteger(u"common", u"test", -5));
  EXPECT_FALSE(testing::Exists(path_));
}

TEST_F(SettingsFileTest, ProfileLinesAsUsersWriteThem) {
  ExpectFlag(1, "[common]\r\ntest=1\r\n");
  ExpectFlag(1, "[common]\ntest=1");
  ExpectFlag(-1, "[common]\ntest=-1\n");
  ExpectFlag(INT32_MIN, "[common]\ntest=$80000000\n");
  ExpectFlag(0, "[other]\ntest=1\n");
  ExpectFlag(0, "[common]\ntest=2147483648\n");
  ExpectFlag(0, "[common]\ntest=on\n");
  ExpectFlag(0, "[common]\ntest=\n");
  ExpectFlag(1, "[Common]\nTEST=1\n");              // names ignore case
  ExpectFlag(1, "  [ common ]  \n  test = 1  \n");  // blanks around names and value
  ExpectFlag(1, "[common]\ntest=\"1\"\n");          // quotes around the value
  ExpectFlag(0, "[common]\n;test=1\n");             // a comment
  ExpectFlag(7, "[a]\ntest=3\n[common]\nx=2\ntest=7\ntest=8\n[b]\ntest=9\n");
  ExpectFlag(0, "test=1\n");  // outside any section
  ExpectFlag(1, "\xEF\xBB\xBF[common]\r\ntest=1\r\n");
  ExpectFlag(0, "\xEF\xBB\xBF[common]\r\ntest=1\xC3\r\n");  // ill-formed UTF-8: the default
}

TEST_F(SettingsFileTest, Utf16SettingsInTheCurrentProgram) {
  const std::string text = "[common]\r\ntest=0x10\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : text) utf16 += std::string{c, '\0'};
  Write(utf16);
  EXPECT_EQ(16, SettingsFile<CurrentBuild>(path_).ReadInteger(u"common", u"test", 0));
}

TEST_F(SettingsFileTest, LongValuesAreCut) {
  Write("[common]\nname=" + std::string(3000, 'a') + "\n");
  const SettingsFile<LegacyBuild> settings(path_);
  EXPECT_EQ(kSettingsValueLimit, settings.ReadString("common", "name", "").size());
  EXPECT_EQ("none", settings.ReadString("common", "missing", "none"));
}

}  // namespace
}  // namespace orvalen
