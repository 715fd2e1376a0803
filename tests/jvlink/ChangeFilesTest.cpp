#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jvlink/ChangeFiles.h"
#include "jvlink/FileIO.h"
#include "tests/support/Files.h"
#include "tests/support/Records.h"
#include "tests/support/TestDir.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

// Race identification at 12-27: date, course, meeting 01, day number 02, race.
std::string Race(std::string_view date, std::string_view course, std::string_view race) {
  return std::string(date) + std::string(course) + "0102" + std::string(race);
}

// A change file holds the records themselves, CR LF included, one per line.
std::string File(std::initializer_list<std::string> records) {
  std::string out;
  for (const auto& r : records) out += r;
  return out;
}

class ChangeFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { data_ = FreshTestDir("changes") / "Data"; }
  fs::path FileOf(const char* ext, const char* date = "2024年01月06日") {
    return data_ / Utf8Path(std::string(date) + ext);
  }
  void Store(const std::string& record) {
    StoreResult r = StoreChangeRecord(data_, record);
    ASSERT_TRUE(r.stored()) << record;
  }
  fs::path data_;
};

TEST_F(ChangeFilesTest, TypesExtensionsAndSizes) {
  EXPECT_EQ(ChangeTypeOf("WE1"), ChangeType::WE);
  EXPECT_EQ(ChangeTypeOf("CC"), ChangeType::CC);
  EXPECT_EQ(ChangeTypeOf("RA1"), std::nullopt);
  EXPECT_EQ(ChangeTypeOf("we1"), std::nullopt);
  EXPECT_EQ(ChangeTypeOf("W"), std::nullopt);
  EXPECT_EQ(ChangeTypeOf(""), std::nullopt);
  EXPECT_STREQ(ChangeExtension(ChangeType::JC), ".jvJC");
  EXPECT_EQ(ChangeRecordSize(ChangeType::AV), 78);
  EXPECT_EQ(ChangeRecordSize(ChangeType::JC), 161);
  EXPECT_EQ(ChangeRecordSize(ChangeType::TC), 45);
  EXPECT_EQ(ChangeRecordSize(ChangeType::CC), 50);
  EXPECT_EQ(ChangeRecordSize(ChangeType::WE), 0);
}

TEST_F(ChangeFilesTest, RejectedRecordsWriteNothing) {
  const std::string race = Race("20240106", "06", "01");
  std::string ra = BlankRecord("RA", 1272);
  Put(ra, 12, race);
  std::string longAv = MakeAv(race, "01061000", "01");
  longAv.insert(10, " ");
  std::string noCrLf = MakeTc(race, "01061000", "1040");
  noCrLf.resize(noCrLf.size() - 2);
  noCrLf += "  ";
  std::string innerBreak = MakeJc(race, "01061000", "01", "A", "B");
  Put(innerBreak, 100, "\r\n");
  for (const auto& r :
       {ra, MakeAv(Race("../../..", "06", "01"), "01061000", "01"),
        MakeTc(Race("2024/../", "06", "01"), "01061000", "1040"),
        MakeWe("..\\..\\..", "06", "01060900", "1", "111111"),
        MakeCc(Race("2024 106", "06", "01"), "0", "1"), longAv,
        MakeAv(race, "01061000", "01").substr(0, 40) + "\r\n", noCrLf, innerBreak,
        std::string("WE"), std::string(), std::string("WE1202401052024010606\r\n")}) {
    EXPECT_EQ(StoreChangeRecord(data_, r).outcome, StoreResult::Outcome::Rejected) << r;
  }
  EXPECT_EQ(CountEntries(data_.parent_path()), 1u);
}

TEST_F(ChangeFilesTest, WeatherKeepsEveryAnnouncementSorted) {
  const std::string initial = MakeWe("20240106", "06", "01060830", "1", "112000");
  const std::string going = MakeWe("20240106", "06", "01061015", "3", "122112");
  const std::string hanshin = MakeWe("20240106", "09", "01060830", "1", "111000");
  for (const auto& r : {going, hanshin, initial}) Store(r);
  // Appended, then sorted: course 06 before 09, earlier stamps first.
  EXPECT_EQ(ReadFileBytes(FileOf(".jvWE")), File({initial, going, hanshin}));

  // The same stamp and kind replaces its line (the second one), and the file is sorted.
  const std::string goingAgain = MakeWe("20240106", "06", "01061015", "3", "133113");
  Store(goingAgain);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvWE")), File({initial, goingAgain, hanshin}));
  // A later stamp, or another change kind at the same stamp, adds a line.
  const std::string later = MakeWe("20240106", "06", "01061130", "3", "144114");
  const std::string weather = MakeWe("20240106", "06", "01061015", "2", "322112");
  Store(later);
  Store(weather);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvWE")), File({initial, weather, goingAgain, later, hanshin}));
}

TEST_F(ChangeFilesTest, WeatherFileKeepsABlankFirstLine) {
  WriteFileBytes(FileOf(".jvWE"), "   \r\n");
  const std::string we = MakeWe("20240106", "06", "01060830", "1", "111111");
  Store(we);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvWE")), "   \r\n" + we);
}

TEST_F(ChangeFilesTest, ScratchReplacesInPlaceAndInsertsNewRunnersSorted) {
  const std::string race = Race("20240106", "06", "03");
  const std::string h07 = MakeAv(race, "01060900", "07");
  const std::string h02 = MakeAv(race, "01060910", "02");
  // An unsorted file: a replacement keeps the order, an addition sorts it.
  WriteFileBytes(FileOf(".jvAV"), File({h07, h02}));
  const std::string h02older = MakeAv(race, "01060800", "02", "002");  // older stamp still wins
  Store(h02older);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvAV")), File({h07, h02older}));
  const std::string h05 = MakeAv(race, "01061200", "05");
  Store(h05);
  // Lines sort by their whole text: the stamp at 28 comes before the horse number at 36.
  EXPECT_EQ(ReadFileBytes(FileOf(".jvAV")), File({h02older, h07, h05}));
  // The same horse number in another race is another runner.
  const std::string other = MakeAv(Race("20240106", "06", "01"), "01061300", "07");
  Store(other);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvAV")), File({other, h02older, h07, h05}));
}

TEST_F(ChangeFilesTest, JockeyChangesKeepEveryDistinctRecord) {
  const std::string race = Race("20240106", "06", "05");
  const std::string a = MakeJc(race, "01060900", "04", Sj("新騎手"), Sj("旧騎手"));
  const std::string b = MakeJc(race, "01060900", "04", Sj("別騎手"), Sj("旧騎手"));
  const std::string c = MakeJc(race, "01060800", "09", Sj("新騎手"), Sj("旧騎手"));
  Store(a);
  Store(a);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvJC")), File({a}));
  Store(b);
  Store(c);
  const std::string first = std::min(a, b), second = std::max(a, b);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvJC")), File({c, first, second}));
  Store(b);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvJC")), File({c, first, second}));
}

TEST_F(ChangeFilesTest, PostTimeAndCourseChangesKeepTheLatestPerRace) {
  const std::string r1 = Race("20240106", "06", "01"), r2 = Race("20240106", "06", "02");
  const std::string t2 = MakeTc(r2, "01060900", "1100");
  const std::string t1 = MakeTc(r1, "01060905", "1010");
  const std::string t2b = MakeTc(r2, "01060930", "1110");
  for (const auto& r : {t2, t1, t2b}) Store(r);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvTC")), File({t1, t2b}));

  const std::string c2 = MakeCc(r2, "01060900", "1800");
  const std::string c1 = MakeCc(r1, "01060905", "1200");
  const std::string c1b = MakeCc(r1, "01060700", "1400");
  for (const auto& r : {c2, c1, c1b}) Store(r);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvCC")), File({c1b, c2}));
}

TEST_F(ChangeFilesTest, BlankFirstLineGoesFromFixedSizeFilesOnly) {
  const std::string race = Race("20240106", "06", "01");
  const std::string av = MakeAv(race, "01060900", "01");
  const std::string jc = MakeJc(race, "01060900", "01", "A", "B");
  const std::string tc = MakeTc(race, "01060900", "1040");
  const std::string cc = MakeCc(race, "01060900", "1800");
  // Replacement in place: the blank first line is still removed, once.
  WriteFileBytes(FileOf(".jvAV"), "\r\n\r\n" + av);
  Store(av);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvAV")), "\r\n" + av);
  Store(av);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvAV")), av);
  WriteFileBytes(FileOf(".jvJC"), "    \r\n");
  Store(jc);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvJC")), jc);
  WriteFileBytes(FileOf(".jvTC"),
                 tc + " \r\n");  // a blank line that sorts first once something is added
  Store(MakeTc(Race("20240106", "06", "02"), "01060900", "1100"));
  EXPECT_EQ(ReadFileBytes(FileOf(".jvTC")),
            tc + MakeTc(Race("20240106", "06", "02"), "01060900", "1100"));
  WriteFileBytes(FileOf(".jvCC"), "");
  Store(cc);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvCC")), cc);
}

TEST_F(ChangeFilesTest, EachRecordGoesToTheFileOfItsDate) {
  const std::string a = MakeAv(Race("20240106", "06", "01"), "01061000", "01");
  const std::string b = MakeAv(Race("20240107", "06", "01"), "01071000", "01");
  Store(a);
  Store(b);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvAV")), a);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvAV", "2024年01月07日")), b);
}

TEST_F(ChangeFilesTest, AFailedWriteKeepsTheOldFile) {
  const std::string race = Race("20240106", "06", "01");
  const std::string tc = MakeTc(race, "01060900", "1040");
  Store(tc);
  SetWriteFaultForTesting([](const fs::path&) { return true; });
  StoreResult r = StoreChangeRecord(data_, MakeTc(race, "01060930", "1050"));
  SetWriteFaultForTesting(nullptr);
  EXPECT_TRUE(r.failed());
  EXPECT_EQ(r.status.reason, FileError::Write);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvTC")), tc);
}

TEST_F(ChangeFilesTest, ARecordAlreadyStoredAsItIsWritesNothing) {
  const std::string race = Race("20240106", "06", "01");
  const std::string av = MakeAv(race, "01060900", "05", "001");
  const std::string we = MakeWe("20240106", "06", "01060900", "2", "111111");
  Store(av);
  Store(we);
  int writes = 0;
  SetWriteFaultForTesting([&](const fs::path&) {
    ++writes;
    return true;
  });
  EXPECT_TRUE(StoreChangeRecord(data_, av).stored());
  EXPECT_TRUE(StoreChangeRecord(data_, we).stored());
  EXPECT_EQ(writes, 0);
  // A changed record is written (and here refused).
  EXPECT_TRUE(StoreChangeRecord(data_, MakeAv(race, "01060905", "05", "002")).failed());
  SetWriteFaultForTesting(nullptr);
  EXPECT_EQ(writes, 1);
  EXPECT_EQ(ReadFileBytes(FileOf(".jvAV")), av);
}

TEST_F(ChangeFilesTest, EveryCutOfAFixedSizeRecordIsRejectedSafely) {
  const std::string race = Race("20240106", "06", "01");
  for (const std::string& r :
       {MakeAv(race, "01060900", "01"), MakeJc(race, "01060900", "01", "A", "B"),
        MakeTc(race, "01060900", "1040"), MakeCc(race, "01060900", "1800")})
    for (size_t n = 0; n < r.size(); ++n)
      ASSERT_FALSE(StoreChangeRecord(data_, std::string_view(r).substr(0, n)).stored()) << n;
  EXPECT_EQ(CountEntries(data_), 0u);
}

TEST(ChangeLineOrder, LettersWithoutCaseOutsideDoubleByteCharacters) {
  EXPECT_TRUE(ChangeLineLess("ab", "AC"));
  EXPECT_TRUE(ChangeLineLess("AB", "ac"));
  EXPECT_FALSE(ChangeLineLess("ab", "AB"));
  EXPECT_FALSE(ChangeLineLess("AB", "ab"));
  EXPECT_TRUE(ChangeLineLess("A", "AB"));
  EXPECT_TRUE(ChangeLineLess("", "A"));
  EXPECT_TRUE(ChangeLineLess(" ", "0"));
  EXPECT_TRUE(ChangeLineLess("Z", "["));  // letters fold to capitals
  EXPECT_TRUE(ChangeLineLess("9", "\x81\x40"));
  // 0x83 0x41 and 0x83 0x61 are two katakana, not "A" and "a": they differ.
  EXPECT_TRUE(ChangeLineLess("\x83\x41", "\x83\x61"));
  EXPECT_FALSE(ChangeLineLess("\x83\x61", "\x83\x41"));
}

TEST(RenewFile, FiveLinesOrNothing) {
  const fs::path data = FreshDir("renew") / "Data";
  const fs::path renew = data / Utf8Path("2024年01月06日.renew");
  EXPECT_EQ(ReadRenewFile(renew), RenewStamps{});

  const RenewStamps stamps{"01060830", "", "01061000", "", "01061115"};
  ASSERT_TRUE(WriteRenewFile(renew, stamps));
  EXPECT_EQ(ReadFileBytes(renew), "01060830\r\n\r\n01061000\r\n\r\n01061115\r\n");
  EXPECT_EQ(ReadRenewFile(renew), stamps);

  WriteFileBytes(renew, "01060830\r\n\r\n01061000\r\n\r\n");  // four lines
  EXPECT_EQ(ReadRenewFile(renew), RenewStamps{});
  WriteFileBytes(renew, "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n");
  EXPECT_EQ(ReadRenewFile(renew), RenewStamps{});
  WriteFileBytes(renew, "");
  EXPECT_EQ(ReadRenewFile(renew), RenewStamps{});
  WriteFileBytes(renew, "1\n2\n3\n4\n5");  // other line ends, no final one: still five lines
  EXPECT_EQ(ReadRenewFile(renew), (RenewStamps{"1", "2", "3", "4", "5"}));

  EXPECT_FALSE(WriteRenewFile(renew, RenewStamps{"1\r\n2", "", "", "", ""}));
  EXPECT_EQ(ReadFileBytes(renew), "1\n2\n3\n4\n5");
}

}  // namespace
}  // namespace tavolen
