#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "jvlink/Clock.h"
#include "jvlink/FileIO.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/Sjis.h"
#include "jvlink/TextLines.h"
#include "tests/support/Files.h"

namespace tavolen {
namespace {

using testsupport::TempDir;

TEST(Field, CutPastTheEndReadsBlanks) {
  EXPECT_EQ(Cut("RA1", 1, 2), "RA");
  EXPECT_EQ(Cut("RA1", 3, 4), "1   ");
  EXPECT_EQ(Cut("RA1", 10, 3), "   ");
  EXPECT_EQ(Cut("", 0, 2), "  ");
  EXPECT_EQ(Cut("AB", 1, 0), "");
}

TEST(Field, ReadNumber) {
  EXPECT_EQ(ReadNumber("05"), 5);
  EXPECT_EQ(ReadNumber(" 7 "), 7);
  EXPECT_EQ(ReadNumber("-30"), -30);
  EXPECT_EQ(ReadNumber("  "), 0);
  EXPECT_EQ(ReadNumber("1A"), 0);
  EXPECT_EQ(ReadNumber("99999999999"), 0);
}

TEST(TextLines, SplitsEveryLineEndAndJoinsCrLf) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n\r\n"), (Lines{"a", ""}));
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(JoinLinesCrLf({"a", ""}), "a\r\n\r\n");

  // Every text of up to seven characters of "a", CR and LF, against a byte-by-byte split.
  const auto byteByByte = [](std::string_view text) {
    Lines lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] == '\r' || text[i] == '\n') {
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
      }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
  };
  std::vector<std::string> texts{""};
  for (size_t n = 0; n < 7; ++n) {
    const std::vector<std::string> shorter = texts;
    for (const std::string& t : shorter)
      if (t.size() == n)
        for (char c : {'a', '\r', '\n'}) texts.push_back(t + c);
  }
  for (const std::string& t : texts) ASSERT_EQ(SplitLines(t), byteByByte(t)) << t.size();
}

TEST(Clock, DateArithmeticAndFormats) {
  LocalDateTime t{2024, 1, 5, 23, 59, 30};
  EXPECT_EQ(t.AddSeconds(45), (LocalDateTime{2024, 1, 6, 0, 0, 15}));
  EXPECT_EQ((LocalDateTime{2024, 3, 1, 0, 0, 0}).AddDays(-8), (LocalDateTime{2024, 2, 22}));
  EXPECT_EQ(DateKey(t), Sj("2024年01月05日"));
  EXPECT_EQ(FormatSlashDateTime(t), "2024/01/05 23:59:30");
  EXPECT_EQ(FormatCompactDateTime(t), "20240105235930");
  LocalDateTime p;
  EXPECT_TRUE(ParseSlashDateTime("2024/01/05 15:30:00", p));
  EXPECT_EQ(p, (LocalDateTime{2024, 1, 5, 15, 30, 0}));
  EXPECT_FALSE(ParseSlashDateTime("2024/02/30 15:30:00", p));
  EXPECT_FALSE(ParseSlashDateTime("garbage", p));
  EXPECT_FALSE(ParseSlashDateTime("", p));
  EXPECT_TRUE(ParseCompactDateTime("20240105153000", p));
  EXPECT_FALSE(ParseCompactDateTime("00000000000000", p));
}

TEST(FileIO, AtomicWriteReplacesWholeAndFailureKeepsOld) {
  fs::path dir = TempDir("fileio");
  fs::path f = dir / "a.txt";
  ASSERT_TRUE(WriteFileAtomic(f, "old"));
  ASSERT_TRUE(WriteFileAtomic(f, "new contents"));
  std::string got;
  ASSERT_TRUE(ReadWholeFile(f, got));
  EXPECT_EQ(got, "new contents");

  SetWriteFaultForTesting([](const fs::path&) { return true; });
  FileStatus st = WriteFileAtomic(f, "lost");
  SetWriteFaultForTesting(nullptr);
  EXPECT_FALSE(st.ok);
  EXPECT_EQ(st.reason, FileError::Write);
  EXPECT_EQ(st.detail, PathText(f));
  ASSERT_TRUE(ReadWholeFile(f, got));
  EXPECT_EQ(got, "new contents");

  // A folder that does not exist: failure, nothing written anywhere.
  EXPECT_FALSE(WriteFileAtomic(dir / "missing" / "b.txt", "x"));
  int files = 0;
  for (auto& e : fs::directory_iterator(dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST(FileIO, StaleTempFilesAreRemoved) {
  fs::path dir = TempDir("stale");
  std::ofstream(dir / ("x.jvRA.1-2" + std::string(kTempSuffix))) << "half";
  std::ofstream(dir / "keep.jvRA") << "whole";
  EXPECT_EQ(RemoveStaleTempFiles(dir), 1);
  EXPECT_TRUE(FileExists(dir / "keep.jvRA"));
  std::string got;
  EXPECT_FALSE(ReadWholeFile(dir / "none", got));
  EXPECT_FALSE(ReadWholeFile(dir, got));  // a folder is not a file
}

// A file standing where a folder belongs is named the same way on every system.
TEST(FileIO, AFileInTheWayOfAFolderIsNamed) {
  const fs::path dir = TempDir("folder-failure");
  std::ofstream(dir / "plain") << "a file where a folder should go";
  const FileStatus st = EnsureFolder(dir / "plain" / "Data");
  EXPECT_FALSE(st.ok);
  EXPECT_EQ(st.reason, FileError::Folder);
  EXPECT_EQ(st.systemError, ENOTDIR);
  EXPECT_EQ(st.detail, PathText(dir / "plain" / "Data"));
  EXPECT_TRUE(EnsureFolder(dir / "made"));
  EXPECT_TRUE(EnsureFolder(dir / "made"));  // an existing folder is fine
}

// AllDigits: only ASCII digits, and an empty text is no number.
TEST(TextLines, AllDigitsNeedsAtLeastOneDigit) {
  EXPECT_TRUE(AllDigits("20240106"));
  EXPECT_FALSE(AllDigits(""));
  EXPECT_FALSE(AllDigits("2024 106"));
  EXPECT_FALSE(AllDigits("../../.."));
  EXPECT_FALSE(AllDigits("\xef\xbc\x91"));  // a full-width digit
}

}  // namespace
}  // namespace tavolen
