#include <gtest/gtest.h>

#include "jvlink/Platform.h"
#include "racecard/Meeting.h"
#include "tests/support/Files.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

const SjisString kDate = Sj("2005年01月08日");

TEST(DateList, NewestFirstFromDayFilesOnly) {
  fs::path dir = TempDir("racecard-datelist");
  WriteFileBytes(dir / RaceFileName("20050108", ".jvRA"), "");
  WriteFileBytes(dir / RaceFileName("20050109", ".jvRA"), "");
  WriteFileBytes(dir / RaceFileName("20041228", ".jvRA"), "");
  WriteFileBytes(dir / RaceFileName("20050110", "中山.jvSEr"), "");
  WriteFileBytes(dir / RaceFileName("20050111", ".jvWE"), "");
  fs::create_directory(dir / RaceFileName("20050112", ".jvRA"));  // a folder, not a file

  EXPECT_EQ(MakeDateList(dir), (std::vector<SjisString>{Sj("2005年01月09日"), Sj("2005年01月08日"),
                                                        Sj("2004年12月28日")}));
  EXPECT_TRUE(MakeDateList(dir / "missing").empty());
}

// "*.jvRA" lists as the file system compares names: on Windows a day file copied as ".JVRA"
// is a meeting date too, and its meeting loads; on Linux it is another file.
TEST(DateList, MaskFollowsTheFileSystemsLetterCase) {
  fs::path dir = TempDir("racecard-datelist-case");
  WriteMeeting(dir, "20050108", {{"06", "中山"}}, 1);
  fs::rename(dir / RaceFileName("20050108", ".jvRA"), dir / RaceFileName("20050108", ".JVRA"));
  WriteFileBytes(dir / RaceFileName("20050109", ".jvRA"), "");
  LoadedMeeting m;
  if (FileNamesIgnoreCase()) {
    EXPECT_EQ(MakeDateList(dir), (std::vector<SjisString>{Sj("2005年01月09日"), kDate}));
    EXPECT_TRUE(LoadMeeting(m, dir, kDate).loaded());
    EXPECT_EQ(m.loadedRaceCount, 12);
  } else {
    EXPECT_EQ(MakeDateList(dir), std::vector<SjisString>{Sj("2005年01月09日")});
    EXPECT_FALSE(LoadMeeting(m, dir, kDate).loaded());
  }
}

TEST(MeetingLoad, TwoCoursesListedInFileOrder) {
  fs::path dir = TempDir("racecard-two-courses");
  WriteMeeting(dir, "20050108", {{"06", "中山"}, {"09", "阪神"}}, 16);

  LoadedMeeting m;
  ASSERT_TRUE(LoadMeeting(m, dir, kDate).loaded());
  EXPECT_TRUE(m.loadSucceeded);
  EXPECT_EQ(m.selectedRaceFile, dir / RaceFileName("20050108", ".jvRA"));
  EXPECT_EQ(m.loadedRaceCount, 24);

  auto items = RaceListItems(m);
  ASSERT_EQ(items.size(), 24u);
  EXPECT_EQ(items[0].text, Sj("中山 1R"));
  EXPECT_EQ(items[8].text, Sj("中山 9R"));
  EXPECT_EQ(items[11].text, Sj("中山12R"));
  EXPECT_EQ(items[12].text, Sj("阪神 1R"));
  EXPECT_EQ(items[23].text, Sj("阪神12R"));
  for (int i = 0; i < 24; ++i) EXPECT_EQ(items[i].slot, i);

  // Slot fields, runners read from each course's own entry file.
  const RaceSlot& s = m.raceSlots[13];
  EXPECT_EQ(s.raceKey.str(), "2005010809010102");
  EXPECT_EQ(s.postTime.str(), "0950");
  EXPECT_EQ(s.shortRaceName.str(), "ABCDEF");
  EXPECT_EQ(s.runners[4].horseNumber.str(), "05");
  EXPECT_EQ(s.runners[4].frameNumber.str(), "3");
  EXPECT_EQ(s.runners[4].jockeyCode.str(), "05001");
  EXPECT_EQ(s.runners[4].registrationNumber.str(), "2002100001");
  EXPECT_TRUE(s.runners[16].horseNumber.empty());
  EXPECT_EQ(m.runnerTable[13][4].substr(25, 2), "02");
  EXPECT_EQ(m.runnerTable[13][16], std::string(555, ' '));
  EXPECT_TRUE(m.raceSlots[24].raceKey.empty());
  EXPECT_EQ(m.raceTable[24], std::string(1272, ' '));
}

TEST(MeetingLoad, AtMostThirtySixRaces) {
  fs::path dir = TempDir("racecard-forty");
  std::vector<std::string> day;
  for (int i = 0; i < 40; ++i) {
    RaceSpec rs;
    rs.course = TwoDigits(1 + i / 12);
    rs.race = 1 + i % 12;
    day.push_back(RaRecord(rs));
  }
  WriteFileBytes(dir / RaceFileName("20050108", ".jvRA"), Concat(day));

  LoadedMeeting m;
  ASSERT_TRUE(LoadMeeting(m, dir, kDate).loaded());
  EXPECT_EQ(m.loadedRaceCount, 36);
  EXPECT_EQ(m.raceTable[35], day[35]);
  EXPECT_EQ(RaceListItems(m).size(), 36u);
  EXPECT_EQ(RaceListItems(m).back().text, Sj("福島12R"));
}

TEST(MeetingLoad, MissingDayFileKeepsTablesAndClearsSlots) {
  fs::path dir = TempDir("racecard-missing-day");
  WriteMeeting(dir, "20050108", {{"06", "中山"}}, 10);
  LoadedMeeting m;
  ASSERT_TRUE(LoadMeeting(m, dir, kDate).loaded());

  auto r = LoadMeeting(m, dir, Sj("2005年01月09日"));
  EXPECT_EQ(r.outcome, MeetingLoadResult::Outcome::DayFileMissing);
  EXPECT_FALSE(m.loadSucceeded);
  EXPECT_EQ(m.selectedRaceFile, dir / RaceFileName("20050109", ".jvRA"));
  EXPECT_TRUE(m.raceSlots[0].raceKey.empty());
  EXPECT_EQ(m.raceTable[0].substr(11, 8), "20050108");  // the previous date's records stay
}

TEST(MeetingLoad, MissingOrUnfilledEntryFileGivesBlankRunners) {
  fs::path dir = TempDir("racecard-no-entries");
  RaceSpec first, second;
  second.race = 2;
  WriteFileBytes(dir / RaceFileName("20050108", ".jvRA"), RaRecord(first) + RaRecord(second));

  LoadedMeeting m;
  ASSERT_TRUE(LoadMeeting(m, dir, kDate).loaded());
  EXPECT_EQ(m.loadedRaceCount, 2);
  EXPECT_EQ(m.runnerTable[0][0], std::string(555, ' '));
  EXPECT_TRUE(m.raceSlots[0].runners[0].frameNumber.str() == " ");

  // An entry file that holds race 2 only: race 1 stays blank.
  RunnerSpec rn;
  WriteFileBytes(dir / RaceFileName("20050108", "中山.jvSEr"),
                 EntryFileBytes({SeRecord(second, rn)}));
  ASSERT_TRUE(LoadMeeting(m, dir, kDate).loaded());
  EXPECT_EQ(m.raceSlots[0].runners[0].frameNumber.str(), " ");
  EXPECT_EQ(m.raceSlots[1].runners[0].frameNumber.str(), "1");
}

TEST(MeetingLoad, RunnerCountsAndRaceNumbersOutsideTheFile) {
  fs::path dir = TempDir("racecard-counts");
  RaceSpec many, bad, late, zero;
  many.runnerCount = "25";
  bad.race = 2;
  bad.runnerCount = "AB";
  late.race = 13;
  late.runnerCount = "05";
  zero.race = 0;
  WriteFileBytes(dir / RaceFileName("20050108", ".jvRA"),
                 RaRecord(many) + RaRecord(bad) + RaRecord(late) + RaRecord(zero));
  std::vector<std::string> entries;
  for (int h = 1; h <= 18; ++h) {
    RunnerSpec rn;
    rn.horse = h;
    entries.push_back(SeRecord(many, rn));
  }
  // The entry file is longer than its 216 lines: line 216 on would be race 13.
  WriteFileBytes(dir / RaceFileName("20050108", "中山.jvSEr"),
                 EntryFileBytes(entries) + SeRecord(late, RunnerSpec{}));

  LoadedMeeting m;
  ASSERT_TRUE(LoadMeeting(m, dir, kDate).loaded());
  EXPECT_EQ(RunnerPositionsOf(m.raceSlots[0]), 18);
  EXPECT_EQ(m.raceSlots[0].runners[17].horseNumber.str(), "18");
  EXPECT_EQ(RunnerPositionsOf(m.raceSlots[1]), 0);
  EXPECT_TRUE(m.raceSlots[1].runners[0].horseNumber.empty());
  EXPECT_EQ(m.runnerTable[2][0], std::string(555, ' '));
  EXPECT_EQ(m.runnerTable[3][0], std::string(555, ' '));
}

TEST(MeetingLoad, EmptyDayFileLoadsNoRace) {
  fs::path dir = TempDir("racecard-empty-day");
  WriteFileBytes(dir / RaceFileName("20050108", ".jvRA"), "");
  LoadedMeeting m;
  ASSERT_TRUE(LoadMeeting(m, dir, kDate).loaded());
  EXPECT_EQ(m.loadedRaceCount, 0);
  EXPECT_TRUE(RaceListItems(m).empty());
}

TEST(MeetingLoad, ABlankRecordInTheMiddleKeepsItemsOnTheirSlots) {
  fs::path dir = TempDir("racecard-gap");
  RaceSpec one, three;
  three.race = 3;
  WriteFileBytes(dir / RaceFileName("20050108", ".jvRA"),
                 RaRecord(one) + BlankRecord("  ", 1272) + RaRecord(three));
  LoadedMeeting m;
  ASSERT_TRUE(LoadMeeting(m, dir, kDate).loaded());
  auto items = RaceListItems(m);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].text, Sj("中山 3R"));
  EXPECT_EQ(items[1].slot, 2);
}

TEST(RaceSlot, FieldsKeepTheirCapacity) {
  RaceSlot slot;
  std::array<std::string, 18> runners;
  RaceSpec rs;
  rs.runnerCount = "01";
  RunnerSpec rn;
  // 36 bytes: "ウオッカ" and full-width blanks; the slot keeps 19, ending in a lead byte.
  rn.name = Sj("ウオッカ　　　　　　　　　　");
  runners[0] = SeRecord(rs, rn);
  FillRaceSlot(slot, RaRecord(rs), runners);
  EXPECT_EQ(slot.runners[0].horseName.str(), rn.name.substr(0, 19));
  EXPECT_EQ(static_cast<unsigned char>(slot.runners[0].horseName.str().back()), 0x81);
  EXPECT_EQ(slot.raceName.str().size(), 60u);
  EXPECT_EQ(slot.raceKey.str().size(), 16u);

  SlotText<3> t;
  t = "12345";
  EXPECT_EQ(t.str(), "123");
}

TEST(EntryFile, NamedFromTheDayFileAndCourse) {
  RaceSpec rs;
  rs.course = "09";
  fs::path day = fs::path("Data") / RaceFileName("20050108", ".jvRA");
  EXPECT_EQ(EntryFilePathFor(day, RaRecord(rs)),
            fs::path("Data") / RaceFileName("20050108", "阪神.jvSEr"));
}

TEST(DateChange, TodayIntervalAndTip) {
  FakeClock clock({2005, 1, 8, 23, 59, 59});
  EXPECT_TRUE(IsToday(clock, kDate));
  clock.AdvanceSeconds(1);
  EXPECT_FALSE(IsToday(clock, kDate));
  EXPECT_FALSE(IsToday(clock, ""));

  EXPECT_EQ(ClampCheckInterval(5), 5);
  EXPECT_EQ(ClampCheckInterval(0), 2);
  EXPECT_EQ(ClampCheckInterval(-7), 2);
  EXPECT_EQ(ClampCheckInterval(100000), 59);
  EXPECT_EQ(CheckTimerMilliseconds(5), 300000);
  EXPECT_EQ(MeetingTrayTip(kDate), Sj("開催日：2005年01月08日"));
}

}  // namespace
}  // namespace tavolen
