#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jvlink/FileIO.h"
#include "jvlink/RaceFiles.h"
#include "tests/support/Files.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

const fs::path kDayFile = Utf8Path("2024年01月06日.jvRA");
const fs::path kNakayama = Utf8Path("2024年01月06日中山.jvSEr");

// The day-file line of an RA record: without CR LF, positions 3-11 zeroed.
std::string DayLine(const std::string& ra) {
  return "RA000000000" + ra.substr(11, 1259) + "\r\n";
}

std::string BlankSlot() {
  return std::string(553, ' ') + "\r\n";
}

// An entry file of blank slots with the given records at their slots.
std::string EntryFile(const std::vector<std::pair<int, std::string>>& filled) {
  std::vector<std::string> lines(216, BlankSlot());
  for (const auto& [slot, se] : filled) lines[static_cast<size_t>(slot)] = se;
  std::string out;
  for (const auto& l : lines) out += l;
  return out;
}

TEST(RaceFileNames, DateAndCourseFromTheRecord) {
  const std::string se = MakeSe("20240106", "06", "11", "05");
  EXPECT_EQ(DayFileName(se), Sj("2024年01月06日.jvRA"));
  EXPECT_EQ(EntryFileName(se), Sj("2024年01月06日中山.jvSEr"));
  EXPECT_EQ(DayFileName(se).substr(0, 14), Sj("2024年01月06日"));
  EXPECT_EQ(EntryFileName(MakeSe("20240106", "C4", "01", "01")), Sj("2024年01月06日    .jvSEr"));

  // Dates that are not digits never become a name, so nothing can land outside Data.
  for (const char* date : {"../../x.", "2024/1/6", "2024010 ", "        ", "２０２"}) {
    SCOPED_TRACE(date);
    EXPECT_EQ(DayFileName(MakeRa(date, "06", "01")), "");
    EXPECT_EQ(EntryFileName(MakeSe(date, "06", "01", "01")), "");
  }
  EXPECT_EQ(EntryFileName(MakeSe("20240106", "99", "01", "01")), "");
  EXPECT_EQ(DayFileName("RA1"), "");
  EXPECT_EQ(EntryFileName(""), "");
}

TEST(StoreRa, RejectsWithoutWritingAnything) {
  const fs::path dir = FreshDir("ra-reject");
  const fs::path data = dir / "Data";
  std::vector<std::string> bad;
  for (const char* division : {"0", "7", "8", "9", "A", " "})
    bad.push_back(MakeRa("20240106", "06", "01", division));
  bad.push_back(MakeRa("20240106", "06", "00", "1"));
  bad.push_back(MakeRa("20240106", "06", "  ", "1"));
  bad.push_back(MakeRa("20240106", "06", "13", "1"));
  bad.push_back(MakeRa("../../..", "06", "01", "1"));
  bad.push_back(MakeRa("2024/../", "06", "01", "1"));
  bad.push_back(MakeSe("20240106", "06", "01", "01", "1"));  // not an RA record
  std::string shortRa = MakeRa("20240106", "06", "01", "1");
  bad.push_back(shortRa.substr(0, 600) + "\r\n");
  bad.push_back(shortRa.substr(0, 20));
  bad.push_back("");
  std::string broken = MakeRa("20240106", "06", "01", "1");
  Put(broken, 500, "\n");  // would split into two lines when loaded again
  bad.push_back(broken);
  for (const auto& r : bad) {
    StoreResult res = StoreRaRecord(data, r);
    EXPECT_EQ(res.outcome, StoreResult::Outcome::Rejected) << r.substr(0, 30);
    EXPECT_TRUE(res.listLine.empty());
  }
  EXPECT_EQ(CountEntries(dir), 1u);  // only the Data folder itself
}

TEST(StoreRa, SortsByCourseThenRaceAndZeroesTheHeader) {
  const fs::path data = FreshDir("ra-order") / "Data";
  const std::string r12 = MakeRa("20240106", "09", "12", "1");
  const std::string r1 = MakeRa("20240106", "09", "01", "2");
  const std::string r5 = MakeRa("20240106", "09", "05", "6");
  const std::string n3 = MakeRa("20240106", "06", "03", "3");
  for (const auto& r : {r12, r1, r5, n3}) ASSERT_TRUE(StoreRaRecord(data, r).stored());
  EXPECT_EQ(ReadFileBytes(data / kDayFile), DayLine(n3) + DayLine(r1) + DayLine(r5) + DayLine(r12));

  StoreResult res = StoreRaRecord(data, MakeRa("20240106", "06", "11", "1"));
  ASSERT_TRUE(res.stored());
  EXPECT_EQ(res.listLine, Sj("作成済み:11R/2024年01月06日.jvRA"));
  EXPECT_EQ(ReadFileBytes(data / kDayFile).size(), 5u * 1272u);
}

TEST(StoreRa, SameRaceKeyReplacesItsLine) {
  const fs::path data = FreshDir("ra-replace") / "Data";
  const std::string first = MakeRa("20240106", "06", "05", "1", "A");
  const std::string other = MakeRa("20240106", "06", "06", "1", "A");
  const std::string again = MakeRa("20240106", "06", "05", "2", "B");
  const std::string otherMeeting = [&] {
    std::string r = MakeRa("20240106", "06", "05", "1", "C");
    Put(r, 24, "03");  // another day number: another race key
    return r;
  }();
  for (const auto& r : {first, other, again}) ASSERT_TRUE(StoreRaRecord(data, r).stored());
  EXPECT_EQ(ReadFileBytes(data / kDayFile), DayLine(again) + DayLine(other));
  ASSERT_TRUE(StoreRaRecord(data, otherMeeting).stored());
  EXPECT_EQ(ReadFileBytes(data / kDayFile),
            DayLine(again) + DayLine(other) + DayLine(otherMeeting));
  // Another date goes to its own day file.
  ASSERT_TRUE(StoreRaRecord(data, MakeRa("20240107", "06", "01", "1")).stored());
  EXPECT_TRUE(FileExists(data / Utf8Path("2024年01月07日.jvRA")));
  EXPECT_EQ(ReadFileBytes(data / kDayFile).size(), 3u * 1272u);
}

TEST(StoreRa, ExistingFileLosesABlankFirstLineAndLinesOfTheWrongLength) {
  const fs::path data = FreshDir("ra-clean") / "Data";
  const std::string kept = MakeRa("20240106", "06", "02", "1");
  const std::string blankLine(1270, ' ');
  WriteFileBytes(data / kDayFile, blankLine + "\r\n" + "garbage\r\n\r\n" +
                                      DayLine(kept).substr(0, 1270) + "\n" + blankLine + "\r\n");
  const std::string added = MakeRa("20240106", "06", "01", "1");
  ASSERT_TRUE(StoreRaRecord(data, added).stored());
  // One blank line goes per store, as the first line after sorting; the second follows next.
  EXPECT_EQ(ReadFileBytes(data / kDayFile),
            std::string(1270, ' ') + "\r\n" + DayLine(added) + DayLine(kept));
  ASSERT_TRUE(StoreRaRecord(data, added).stored());
  EXPECT_EQ(ReadFileBytes(data / kDayFile), DayLine(added) + DayLine(kept));
}

TEST(StoreSe, FirstRecordCreates216LinesWithOnlyItsSlot) {
  const fs::path data = FreshDir("se-first") / "Data";
  const std::string se = MakeSe("20240106", "06", "03", "05", "1");
  StoreResult res = StoreSeRecord(data, se);
  ASSERT_TRUE(res.stored());
  EXPECT_EQ(res.listLine, Sj("作成済み:03R/05番/2024年01月06日中山.jvSEr"));
  const std::string file = ReadFileBytes(data / kNakayama);
  ASSERT_EQ(file.size(), 216u * 555u);
  EXPECT_EQ(file, EntryFile({{40, se}}));
}

TEST(StoreSe, SlotsReplacementAndLimits) {
  const fs::path data = FreshDir("se-slots") / "Data";
  const std::string first = MakeSe("20240106", "06", "01", "01", "1", "A");
  const std::string last = MakeSe("20240106", "06", "12", "18", "2", "B");
  const std::string again = MakeSe("20240106", "06", "01", "01", "3", "C");
  for (const auto& r : {first, last}) ASSERT_TRUE(StoreSeRecord(data, r).stored());
  EXPECT_EQ(ReadFileBytes(data / kNakayama), EntryFile({{0, first}, {215, last}}));
  ASSERT_TRUE(StoreSeRecord(data, again).stored());
  EXPECT_EQ(ReadFileBytes(data / kNakayama), EntryFile({{0, again}, {215, last}}));

  // Outside the file's 12 races and 18 horse numbers, or not storable at all.
  for (const auto& r :
       {MakeSe("20240106", "06", "13", "01", "1"), MakeSe("20240106", "06", "01", "19", "1"),
        MakeSe("20240106", "06", "00", "01", "1"), MakeSe("20240106", "06", "01", "00", "1"),
        MakeSe("20240106", "06", "01", "  ", "1"), MakeSe("20240106", "06", "01", "01", "0"),
        MakeSe("20240106", "06", "01", "01", "9")}) {
    EXPECT_EQ(StoreSeRecord(data, r).outcome, StoreResult::Outcome::Rejected) << r.substr(0, 30);
  }
  EXPECT_EQ(ReadFileBytes(data / kNakayama), EntryFile({{0, again}, {215, last}}));

  // An unknown course code has no entry file name; a bad date has no name either.
  EXPECT_FALSE(StoreSeRecord(data, MakeSe("20240106", "99", "01", "01", "1")).stored());
  EXPECT_FALSE(StoreSeRecord(data, MakeSe("../../..", "06", "01", "01", "1")).stored());
  EXPECT_FALSE(StoreSeRecord(data, MakeSe("2024/../", "06", "01", "01", "1")).stored());
  EXPECT_FALSE(StoreSeRecord(data, MakeRa("20240106", "06", "01", "1")).stored());
  EXPECT_FALSE(StoreSeRecord(data, first.substr(0, 300)).stored());
  EXPECT_EQ(CountEntries(data.parent_path()), 2u);  // Data and the one entry file
}

TEST(StoreSe, KeepsBytesThatAreNotValidCodePage932) {
  const fs::path data = FreshDir("se-bytes") / "Data";
  std::string se = MakeSe("20240106", "06", "02", "03", "1");
  Put(se, 41, std::string("\x81\x20\xFF\x00\xA0\x85\x40", 7));
  Put(se, 553, "\x81");  // a lead byte cut off at the end of the line
  ASSERT_TRUE(StoreSeRecord(data, se).stored());
  EXPECT_EQ(ReadFileBytes(data / kNakayama), EntryFile({{20, se}}));
}

TEST(StoreSe, RepairsAnEntryFileOfTheWrongShape) {
  const fs::path data = FreshDir("se-repair") / "Data";
  const std::string a = MakeSe("20240106", "06", "01", "01", "1", "A");
  const std::string b = MakeSe("20240106", "06", "01", "03", "1", "B");
  const std::string c = MakeSe("20240106", "06", "02", "01", "1", "C");
  const std::string d = MakeSe("20240106", "06", "12", "17", "1", "D");
  const std::string runnerLine = a.substr(0, 553);
  // Line 0 valid, line 1 too short, line 2 valid (b), line 3 empty, then the file ends with
  // a line without CR LF.
  WriteFileBytes(data / kNakayama, runnerLine + "\r\n" + "short\r\n" + b.substr(0, 553) + "\n\r\n" +
                                       c.substr(0, 553));
  const std::string e = MakeSe("20240106", "06", "05", "05", "1", "E");
  ASSERT_TRUE(StoreSeRecord(data, e).stored());
  EXPECT_EQ(ReadFileBytes(data / kNakayama), EntryFile({{0, a}, {2, b}, {4, c}, {76, e}}));

  // Too many lines: the runner line past line 215 goes to its own slot when that is blank.
  std::string tooLong = EntryFile({{0, a}});
  tooLong += d + a;  // lines 216, 217: d's slot (214) is blank, a's (0) is taken
  WriteFileBytes(data / kNakayama, tooLong);
  ASSERT_TRUE(StoreSeRecord(data, e).stored());
  EXPECT_EQ(ReadFileBytes(data / kNakayama), EntryFile({{0, a}, {76, e}, {214, d}}));

  // An empty file is a file of blank slots.
  WriteFileBytes(data / kNakayama, "");
  ASSERT_TRUE(StoreSeRecord(data, e).stored());
  EXPECT_EQ(ReadFileBytes(data / kNakayama), EntryFile({{76, e}}));
}

TEST(RaceFiles, AFailedWriteKeepsTheOldFiles) {
  const fs::path data = FreshDir("race-fail") / "Data";
  const std::string ra = MakeRa("20240106", "06", "01", "1");
  const std::string se = MakeSe("20240106", "06", "01", "01", "1");
  ASSERT_TRUE(StoreRaRecord(data, ra).stored());
  ASSERT_TRUE(StoreSeRecord(data, se).stored());
  const std::string day = ReadFileBytes(data / kDayFile), entry = ReadFileBytes(data / kNakayama);

  SetWriteFaultForTesting([](const fs::path&) { return true; });
  StoreResult r1 = StoreRaRecord(data, MakeRa("20240106", "06", "02", "1"));
  StoreResult r2 = StoreSeRecord(data, MakeSe("20240106", "06", "01", "02", "1"));
  SetWriteFaultForTesting(nullptr);
  EXPECT_TRUE(r1.failed());
  EXPECT_TRUE(r2.failed());
  EXPECT_EQ(r1.status.reason, FileError::Write);
  EXPECT_EQ(r2.status.reason, FileError::Write);
  EXPECT_TRUE(r1.listLine.empty());
  EXPECT_EQ(ReadFileBytes(data / kDayFile), day);
  EXPECT_EQ(ReadFileBytes(data / kNakayama), entry);
}

TEST(RaceFiles, ReadersStayInsideTheFile) {
  const fs::path data = FreshDir("race-read") / "Data";
  const std::string ra1 = MakeRa("20240106", "06", "01", "1");
  const std::string ra2 = MakeRa("20240106", "06", "02", "1");
  std::vector<std::string> records;

  WriteFileBytes(data / kDayFile, DayLine(ra1) + DayLine(ra2) + DayLine(ra1).substr(0, 700));
  ASSERT_TRUE(ReadDayRecords(data / kDayFile, records));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1], DayLine(ra2));
  ASSERT_TRUE(ReadDayRecords(data / kDayFile, records, 1));
  EXPECT_EQ(records.size(), 1u);

  std::string many;
  for (int i = 0; i < 40; ++i) many += DayLine(ra1);
  WriteFileBytes(data / kDayFile, many);
  ASSERT_TRUE(ReadDayRecords(data / kDayFile, records));
  EXPECT_EQ(records.size(), 36u);

  WriteFileBytes(data / kDayFile, "");
  ASSERT_TRUE(ReadDayRecords(data / kDayFile, records));
  EXPECT_TRUE(records.empty());
  records.push_back("stale");
  EXPECT_FALSE(ReadDayRecords(data / Utf8Path("2024年01月07日.jvRA"), records));
  EXPECT_TRUE(records.empty());

  const std::string se = MakeSe("20240106", "06", "12", "18", "1");
  ASSERT_TRUE(StoreSeRecord(data, se).stored());
  std::string record;
  EXPECT_TRUE(ReadEntryRecord(data / kNakayama, 215, record));
  EXPECT_EQ(record, se);
  EXPECT_TRUE(ReadEntryRecord(data / kNakayama, 0, record));
  EXPECT_EQ(record, BlankSlot());
  EXPECT_FALSE(ReadEntryRecord(data / kNakayama, 216, record));
  EXPECT_FALSE(ReadEntryRecord(data / kNakayama, -1, record));
  EXPECT_TRUE(record.empty());
  WriteFileBytes(data / kNakayama, EntryFile({}).substr(0, 555 * 3 + 100));
  EXPECT_TRUE(ReadEntryRecord(data / kNakayama, 2, record));
  EXPECT_FALSE(ReadEntryRecord(data / kNakayama, 3, record));
  EXPECT_FALSE(ReadEntryRecord(data / "missing.jvSEr", 0, record));
}

TEST(RaceFiles, EveryCutOfARecordIsRejectedSafely) {
  const fs::path data = FreshDir("race-cuts") / "Data";
  const std::string ra = MakeRa("20240106", "06", "01", "1");
  const std::string se = MakeSe("20240106", "06", "01", "01", "1");
  for (size_t n = 0; n < ra.size(); ++n)
    ASSERT_FALSE(StoreRaRecord(data, std::string_view(ra).substr(0, n)).stored()) << n;
  for (size_t n = 0; n < se.size(); ++n)
    ASSERT_FALSE(StoreSeRecord(data, std::string_view(se).substr(0, n)).stored()) << n;
  EXPECT_EQ(CountEntries(data), 0u);
}

}  // namespace
}  // namespace tavolen
