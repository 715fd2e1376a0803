#include "base/ErrorLog.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "tests/support/Files.h"
#include "tests/support/TestDir.h"

namespace tavolen {
namespace {

using testsupport::FileCount;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

// "ソフト起動：" and "【エラー】" / "：" in code page 932.
const std::string kStart = "\x83\x5C\x83\x74\x83\x67\x8B\x4E\x93\xAE\x81\x46";
const std::string kError = "\x81\x79\x83\x47\x83\x89\x81\x5B\x81\x7A";
const std::string kColon = "\x81\x46";

struct ErrorLogTest : ::testing::Test {
  fs::path dir;
  fs::path log;
  FakeClock clock{LocalDateTime{2024, 1, 5, 9, 3, 7}};
  void SetUp() override {
    dir = testsupport::TestDir("base");
    log = dir / "ErrorLog.txt";
  }
  std::string StartLines() const {
    return kStart + "2024/01/05 09:03:07\r\n" + dir.string() + "\r\n";
  }
};

std::string NumberedLines(int from, int to, const char* end) {
  std::string s;
  for (int i = from; i <= to; ++i) s += "line" + std::to_string(i) + end;
  return s;
}

TEST_F(ErrorLogTest, StartupKeepsTheNewestHundredLines) {
  WriteFileBytes(log, NumberedLines(1, 150, "\r\n"));
  ErrorLog el(dir, clock);
  ASSERT_TRUE(el.RecordStartup());
  EXPECT_EQ(ReadFileBytes(log), NumberedLines(51, 150, "\r\n") + StartLines());
  EXPECT_EQ(el.lines().size(), 102u);

  WriteFileBytes(log, NumberedLines(1, 100, "\n"));
  ASSERT_TRUE(ErrorLog(dir, clock).RecordStartup());
  EXPECT_EQ(ReadFileBytes(log), NumberedLines(1, 100, "\r\n") + StartLines());

  WriteFileBytes(log, NumberedLines(1, 101, "\r"));
  ASSERT_TRUE(ErrorLog(dir, clock).RecordStartup());
  EXPECT_EQ(ReadFileBytes(log), NumberedLines(2, 101, "\r\n") + StartLines());
}

TEST_F(ErrorLogTest, EmptyOrAbsentLogBecomesTwoLines) {
  ErrorLog el(dir, clock);
  ASSERT_TRUE(el.RecordStartup());
  EXPECT_EQ(ReadFileBytes(log), StartLines());

  WriteFileBytes(log, "");
  ASSERT_TRUE(el.RecordStartup());
  EXPECT_EQ(ReadFileBytes(log), StartLines());
  EXPECT_EQ(el.lines().size(), 2u);
  EXPECT_EQ(FileCount(dir), 1);
}

TEST_F(ErrorLogTest, FolderLineIsCodePage932WithoutTrailingSeparator) {
  fs::path jp = dir / Utf8Path("\xE7\xAB\xB6\xE9\xA6\xAC");  // 競馬 in UTF-8 on disk
  fs::create_directories(jp);
  ErrorLog el(jp / "", clock);
  ASSERT_TRUE(el.RecordStartup());
  const std::string separator(1, static_cast<char>(fs::path::preferred_separator));
  EXPECT_EQ(ReadFileBytes(jp / "ErrorLog.txt"), kStart + "2024/01/05 09:03:07\r\n" + Utf8Text(dir) +
                                                    separator + "\x8B\xA3\x94\x6E\r\n");
}

TEST_F(ErrorLogTest, ErrorsAreAddedOneLineEachAndNeverMerged) {
  WriteFileBytes(log, "old line");
  ErrorLog el(dir, clock);
  ASSERT_TRUE(el.RecordStartup());
  const std::string message = "JVRead" + kColon + "-201";
  ASSERT_TRUE(el.RecordError(message));
  ASSERT_TRUE(el.RecordError(message));
  clock.AdvanceSeconds(3600);
  ASSERT_TRUE(el.RecordError("a\r\nb"));
  const std::string line = kError + "09:03:07" + kColon + message + "\r\n";
  EXPECT_EQ(ReadFileBytes(log), "old line\r\n" + StartLines() + line + line + kError + "10:03:07" +
                                    kColon + "a  b\r\n");
}

TEST_F(ErrorLogTest, ErrorReloadsTheFileSoOutsideChangesAreKept) {
  ErrorLog el(dir, clock);
  ASSERT_TRUE(el.RecordStartup());
  WriteFileBytes(log, "replaced\r\n");
  ASSERT_TRUE(el.RecordError("x"));
  EXPECT_EQ(ReadFileBytes(log), "replaced\r\n" + kError + "09:03:07" + kColon + "x\r\n");
}

TEST_F(ErrorLogTest, MissingLogAtErrorIsCreated) {
  ErrorLog el(dir, clock);
  ASSERT_TRUE(el.RecordStartup());
  fs::remove(log);
  ASSERT_TRUE(el.RecordError("x"));
  EXPECT_EQ(ReadFileBytes(log), kError + "09:03:07" + kColon + "x\r\n");
}

TEST_F(ErrorLogTest, FailedSaveIsReportedAndLeavesTheFile) {
  WriteFileBytes(log, "kept\r\n");
  ErrorLog el(dir, clock);
  SetWriteFaultForTesting([](const fs::path&) { return true; });
  FileStatus start = el.RecordStartup();
  FileStatus error = el.RecordError("x");
  SetWriteFaultForTesting(nullptr);
  EXPECT_FALSE(start.ok);
  EXPECT_FALSE(error.ok);
  EXPECT_EQ(start.reason, FileError::LogSave);
  EXPECT_EQ(error.systemError, ENOSPC);
  EXPECT_EQ(ReadFileBytes(log), "kept\r\n");
  EXPECT_EQ(FileCount(dir), 1);

  // A log that cannot be read is not replaced.
  fs::path blocked = dir / "blocked";
  fs::create_directories(blocked / "ErrorLog.txt");
  EXPECT_FALSE(ErrorLog(blocked, clock).RecordError("x").ok);
  EXPECT_FALSE(ErrorLog(blocked, clock).RecordStartup().ok);
  EXPECT_TRUE(fs::is_directory(blocked / "ErrorLog.txt"));
}

}  // namespace
}  // namespace tavolen
