#include "base/IniFile.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "tests/support/Files.h"
#include "tests/support/TestDir.h"

namespace tavolen {
namespace {

using testsupport::FileCount;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

// Double-byte characters whose trail byte is an ASCII byte the parser looks at.
const std::string kHyo = "\x95\x5C";      // 表: trail '\'
const std::string kSo = "\x83\x5C";       // ソ: trail '\'
const std::string kZe = "\x83\x5B";       // ゼ: trail '['
const std::string kZo = "\x83\x5D";       // ゾ: trail ']'
const std::string kSe = "\x83\x5A";       // セ: trail 'Z'
const std::string kHo = "\x83\x7A";       // ホ: trail 'z'
const std::string kEpsilon = "\x83\xA3";  // Ε: trail byte equal to "｣"

struct IniFixture : ::testing::Test {
  fs::path dir;
  fs::path file;
  void SetUp() override {
    dir = testsupport::TestDir("base");
    file = dir / "Tavolen.ini";
  }
};

using IniFileRead = IniFixture;
using IniFileWrite = IniFixture;

TEST_F(IniFileRead, MissingFileGivesEveryDefaultAndCreatesNothing) {
  IniFile ini(file);
  EXPECT_EQ(ini.ReadInteger("locate", "top", 10), 10);
  EXPECT_EQ(ini.ReadInteger("locate", "width", 630), 630);
  EXPECT_EQ(ini.ReadInteger("Time", "AutoRdataGet", 5), 5);
  EXPECT_FALSE(ini.ReadBool("datalist", "close", false));
  EXPECT_EQ(ini.ReadString("JvDataGet", "LastTime", "2023/12/28 10:00:00"), "2023/12/28 10:00:00");
  EXPECT_FALSE(fs::exists(file));

  // A file without the section or key gives the defaults too.
  WriteFileBytes(file, "[locate]\r\ntop=3\r\n");
  EXPECT_EQ(ini.ReadInteger("locate", "left", 10), 10);
  EXPECT_EQ(ini.ReadInteger("Henkolocate", "top", 10), 10);
}

TEST_F(IniFileRead, QuotedValuesLoseTheirPairOnly) {
  WriteFileBytes(file,
                 "[JvDataGet]\r\n"
                 "LastTime=\"2024/01/05 15:30:00\"\r\n"
                 "Empty=\"\"\r\n"
                 "Corner=\xA2"
                 "2024/01/05\xA3\r\n"
                 "CornerEmpty=\xA2\xA3\r\n"
                 "Lone=\"\r\n"
                 "Open=\"abc\r\n"
                 "Mixed=\"abc\xA3\r\n"
                 "Twice=\"\"x\"\"\r\n"
                 "Spaced=   \" a b \"   \r\n"
                 "TrailIsBracket=\xA2x" +
                     kEpsilon +
                     "\r\n"
                     "Plain=  a  b  \r\n");
  IniFile ini(file);
  EXPECT_EQ(ini.ReadString("JvDataGet", "LastTime", "def"), "2024/01/05 15:30:00");
  EXPECT_EQ(ini.ReadString("JvDataGet", "Empty", "def"), "");
  EXPECT_EQ(ini.ReadString("JvDataGet", "Corner", "def"), "2024/01/05");
  EXPECT_EQ(ini.ReadString("JvDataGet", "CornerEmpty", "def"), "");
  EXPECT_EQ(ini.ReadString("JvDataGet", "Lone", "def"), "\"");
  EXPECT_EQ(ini.ReadString("JvDataGet", "Open", "def"), "\"abc");
  EXPECT_EQ(ini.ReadString("JvDataGet", "Mixed", "def"), "\"abc\xA3");
  EXPECT_EQ(ini.ReadString("JvDataGet", "Twice", "def"), "\"x\"");
  EXPECT_EQ(ini.ReadString("JvDataGet", "Spaced", "def"), " a b ");
  // The last byte is the trail byte of a double-byte character, not a closing bracket.
  EXPECT_EQ(ini.ReadString("JvDataGet", "TrailIsBracket", "def"), "\xA2x" + kEpsilon);
  EXPECT_EQ(ini.ReadString("JvDataGet", "Plain", "def"), "a  b");
}

TEST_F(IniFileRead, SectionsAndKeysIgnoreAsciiCaseOnly) {
  WriteFileBytes(file, "[LOCATE]\r\nTOP = 42\r\n[" + kSe + "A]\r\n" + kSe + "B=1\r\n");
  IniFile ini(file);
  EXPECT_EQ(ini.ReadInteger("locate", "top", 10), 42);
  EXPECT_EQ(ini.ReadInteger("LoCaTe", "Top", 10), 42);
  EXPECT_EQ(ini.ReadInteger(" locate ", " top ", 10), 42);
  EXPECT_EQ(ini.ReadInteger(kSe + "a", kSe + "b", 9), 1);
  // セ ends in 'Z', ホ in 'z': folding a trail byte would confuse them.
  EXPECT_EQ(ini.ReadInteger(kHo + "A", kSe + "B", 9), 9);
  EXPECT_EQ(ini.ReadInteger(kSe + "A", kHo + "B", 9), 9);
}

TEST_F(IniFileRead, IntegersThatDoNotParseGiveTheDefault) {
  WriteFileBytes(file,
                 "[n]\n"
                 "digitsThenText=12abc\n"
                 "text=abc\n"
                 "empty=\n"
                 "fraction=1.5\n"
                 "hex=0x10\n"
                 "huge=99999999999\n"
                 "signs=+-1\n"
                 "plus=+7\n"
                 "minus=-3\n"
                 "spaced=  42  \n"
                 "quoted=\"9\"\n"
                 "max=2147483647\n"
                 "min=-2147483648\n"
                 "two=2\n"
                 "zero=0\n");
  IniFile ini(file);
  for (const char* key : {"digitsThenText", "text", "empty", "fraction", "hex", "huge", "signs"})
    EXPECT_EQ(ini.ReadInteger("n", key, 77), 77) << key;
  EXPECT_EQ(ini.ReadInteger("n", "plus", 0), 7);
  EXPECT_EQ(ini.ReadInteger("n", "minus", 0), -3);
  EXPECT_EQ(ini.ReadInteger("n", "spaced", 0), 42);
  EXPECT_EQ(ini.ReadInteger("n", "quoted", 0), 9);
  EXPECT_EQ(ini.ReadInteger("n", "max", 0), 2147483647);
  EXPECT_EQ(ini.ReadInteger("n", "min", 0), -2147483647 - 1);

  EXPECT_TRUE(ini.ReadBool("n", "two", false));
  EXPECT_TRUE(ini.ReadBool("n", "minus", false));
  EXPECT_FALSE(ini.ReadBool("n", "zero", true));
  EXPECT_TRUE(ini.ReadBool("n", "text", true));
  EXPECT_FALSE(ini.ReadBool("n", "text", false));
}

TEST_F(IniFileRead, OnlyTheFirstOfRepeatedSectionsAndKeysCounts) {
  WriteFileBytes(file,
                 "top=1\r\n"  // before any section: belongs to none
                 "[locate]\r\ntop=2\r\ntop=3\r\n; left=4\r\n[locate]\r\nleft=5\r\n");
  IniFile ini(file);
  EXPECT_EQ(ini.ReadInteger("locate", "top", 10), 2);
  EXPECT_EQ(ini.ReadInteger("locate", "left", 10), 10);
}

TEST_F(IniFileWrite, DoubleByteTrailBytesSurviveARoundTrip) {
  IniFile ini(file);
  const std::string section = kHyo + kZe + "x" + kZo;
  const std::string key = kSo + kZo + kSe;
  const std::string value = kHyo + "]" + kZe + kSo;
  ASSERT_TRUE(ini.WriteString(section, key, value));
  ASSERT_TRUE(ini.WriteInteger(section, kZo, 5));
  EXPECT_EQ(ReadFileBytes(file),
            "[" + section + "]\r\n" + key + "=" + value + "\r\n" + kZo + "=5\r\n");
  EXPECT_EQ(ini.ReadString(section, key, "def"), value);
  EXPECT_EQ(ini.ReadInteger(section, kZo, 0), 5);
  // A section name that only differs in the trail byte is another section.
  EXPECT_EQ(ini.ReadInteger(kHyo + kZe + "x" + kSo, kZo, 0), 0);

  // Hand-written lines with the same characters read the same way.
  WriteFileBytes(
      file, "[" + kHyo + "]\n" + kSo + "=" + kZo + "\n[" + kZo + "]\n" + kZe + "=" + kHyo + "\n");
  EXPECT_EQ(ini.ReadString(kHyo, kSo, "def"), kZo);
  EXPECT_EQ(ini.ReadString(kZo, kZe, "def"), kHyo);
}

TEST_F(IniFileWrite, OtherLinesAreKeptByteForByte) {
  const std::string before = "; Tavolen " + kHyo +
                             "\n"
                             "junk=1\n"
                             "\n"
                             "[locate]\n"
                             "  top = 5  \n"
                             "unknown=" +
                             kSo +
                             "\n"
                             "; note\n"
                             "\n"
                             "[Henkolocate]\r"
                             "; only a comment\r"
                             "[Time]\r\n"
                             "AutoRdataGet=5\r\n"
                             "no equals sign\r\n"
                             "[JvDataGet]\r\n"
                             "LastTime=\"2024/01/05 15:30:00\"";
  WriteFileBytes(file, before);
  IniFile ini(file);
  ASSERT_TRUE(ini.WriteInteger("LOCATE", "TOP", 120));
  ASSERT_TRUE(ini.WriteInteger("locate", "left", 20));
  ASSERT_TRUE(ini.WriteInteger("Henkolocate", "top", 33));
  ASSERT_TRUE(ini.WriteInteger("time", "autordataget", 7));
  ASSERT_TRUE(ini.WriteBool("datalist", "close", true));
  ASSERT_TRUE(ini.WriteBool("datalist", "Close", false));
  ASSERT_TRUE(ini.WriteString("JvDataGet", "LastTime", "2024/02/01 09:00:00"));
  const std::string expected = "; Tavolen " + kHyo +
                               "\r\n"
                               "junk=1\r\n"
                               "\r\n"
                               "[locate]\r\n"
                               "top=120\r\n"
                               "unknown=" +
                               kSo +
                               "\r\n"
                               "left=20\r\n"
                               "; note\r\n"
                               "\r\n"
                               "[Henkolocate]\r\n"
                               "top=33\r\n"
                               "; only a comment\r\n"
                               "[Time]\r\n"
                               "AutoRdataGet=7\r\n"
                               "no equals sign\r\n"
                               "[JvDataGet]\r\n"
                               "LastTime=2024/02/01 09:00:00\r\n"
                               "[datalist]\r\n"
                               "close=0\r\n";
  EXPECT_EQ(ReadFileBytes(file), expected);
  EXPECT_EQ(ini.ReadInteger("locate", "top", 10), 120);
  EXPECT_FALSE(ini.ReadBool("datalist", "close", true));
  EXPECT_EQ(FileCount(dir), 1);  // no temporary file left
}

TEST_F(IniFileWrite, MissingFileIsCreated) {
  IniFile ini(file);
  ASSERT_TRUE(ini.WriteInteger("locate", "top", 10));
  ASSERT_TRUE(ini.WriteInteger("locate", "left", -4));
  ASSERT_TRUE(ini.WriteBool("datalist", "close", true));
  EXPECT_EQ(ReadFileBytes(file), "[locate]\r\ntop=10\r\nleft=-4\r\n[datalist]\r\nclose=1\r\n");
  EXPECT_EQ(ini.ReadInteger("locate", "left", 0), -4);
  EXPECT_TRUE(ini.ReadBool("datalist", "close", false));
}

TEST_F(IniFileWrite, FailedWriteLeavesTheFileAsItWas) {
  const std::string before = "; kept\n[locate]\ntop=5\n";
  WriteFileBytes(file, before);
  IniFile ini(file);
  SetWriteFaultForTesting([](const fs::path&) { return true; });
  FileStatus st = ini.WriteInteger("locate", "top", 99);
  FileStatus created = IniFile(dir / "new.ini").WriteInteger("locate", "top", 1);
  SetWriteFaultForTesting(nullptr);
  EXPECT_FALSE(st.ok);
  EXPECT_EQ(st.reason, FileError::Write);
  EXPECT_EQ(st.systemError, ENOSPC);
  EXPECT_FALSE(created.ok);
  EXPECT_EQ(ReadFileBytes(file), before);
  EXPECT_EQ(ini.ReadInteger("locate", "top", 10), 5);
  EXPECT_EQ(FileCount(dir), 1);

  // Something that cannot be read as the settings file gives defaults and is never replaced.
  fs::path blocked = dir / "blocked.ini";
  fs::create_directories(blocked);
  IniFile unreadable(blocked);
  EXPECT_EQ(unreadable.ReadInteger("locate", "top", 10), 10);
  EXPECT_EQ(unreadable.WriteInteger("locate", "top", 1).reason, FileError::SettingsRead);
  EXPECT_TRUE(fs::is_directory(blocked));
}

TEST_F(IniFileWrite, EntriesThatWouldNotReadBackAreRefused) {
  const std::string before = "[locate]\r\ntop=5\r\n";
  WriteFileBytes(file, before);
  IniFile ini(file);
  EXPECT_FALSE(ini.WriteString("locate", "top", "1\r\n[evil]").ok);
  EXPECT_EQ(ini.WriteString("locate", "a=b", "1").detail, "[locate] a=b");
  EXPECT_EQ(ini.WriteString("locate", "a=b", "1").reason, FileError::SettingsEntry);
  EXPECT_FALSE(ini.WriteString("locate", "a=b", "1").ok);
  EXPECT_FALSE(ini.WriteString("loc]ate", "top", "1").ok);
  EXPECT_FALSE(ini.WriteString("locate", "", "1").ok);
  EXPECT_FALSE(ini.WriteString("locate", ";top", "1").ok);
  EXPECT_FALSE(ini.WriteString("locate", "[top", "1").ok);
  // A stray lead byte at the end of a section name would swallow its "]".
  EXPECT_FALSE(ini.WriteString("locate\x95", "top", "1").ok);
  EXPECT_EQ(ReadFileBytes(file), before);
  FileStatus st = ini.WriteString("locate", "a=b", "1");
  EXPECT_EQ(st.reason, FileError::SettingsEntry);
}

TEST(SettingsFilePath, ProgramNameWithIni) {
  EXPECT_EQ(SettingsFilePath("/opt/app", "Tavolen.exe"), fs::path("/opt/app/Tavolen.ini"));
  EXPECT_EQ(SettingsFilePath("/opt/app", "tavolen"), fs::path("/opt/app/tavolen.ini"));
  EXPECT_EQ(SettingsFilePath("/opt/app", "/usr/bin/tavolen.bin"), fs::path("/opt/app/tavolen.ini"));
}

}  // namespace
}  // namespace tavolen
