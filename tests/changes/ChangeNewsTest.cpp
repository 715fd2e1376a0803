// News by content: every change announced once, whatever its stamp and however the checks
// split the day's records; weather and going applied in announcement order; the day's initial
// state never shown as a time.
#include <gtest/gtest.h>

#include "changes/AnnouncementMemory.h"
#include "changes/ChangeEvaluation.h"
#include "tests/changes/ChangeDay.h"
#include "tests/support/Files.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

class News : public ChangeDayTest {
 protected:
  News() : ChangeDayTest("news") {}
  // One evaluation whose news, if any, is then recorded as announced.
  ChangeEvaluation Check() {
    ChangeEvaluation ev = EvaluateChanges(raceFile_);
    EXPECT_TRUE(ev.status);
    if (ev.hasNews()) {
      EXPECT_TRUE(SaveRenewFile(raceFile_, ev));
    }
    return ev;
  }
  static std::vector<SjisString> Lines(const ChangeEvaluation& ev) {
    std::vector<SjisString> out;
    for (const auto& c : ev.newChanges) out.push_back(c.line);
    return out;
  }
};

// As the service sends a course's day: one data kind for all, the initial state made the day
// before with stamp "00000000", "0" in the codes a change does not change.
std::string Initial(const Day& d, char weather, char turf, char dirt) {
  return WeRecord(d, "1", "20240104", "00000000", '1', weather, turf, dirt);
}
std::string WeatherChange(const Day& d, const char* stamp, char weather, char before) {
  return WeRecord(d, "1", "20240105", stamp, '2', weather, '0', '0', before, '0', '0');
}
std::string GoingChange(const Day& d, const char* stamp, char turf, char dirt, char turfBefore,
                        char dirtBefore) {
  return WeRecord(d, "1", "20240105", stamp, '3', '0', turf, dirt, '0', turfBefore, dirtBefore);
}

TEST_F(News, SameMinuteChangesSplitAcrossTwoChecksAreEachAnnouncedOnce) {
  const std::string initial = Initial(kNakayama, '1', '1', '1');
  const std::string weather = WeatherChange(kNakayama, "01050655", '2', '1');
  const std::string going = GoingChange(kNakayama, "01050655", '2', '1', '1', '1');
  // 09:00: the initial state and the weather change.
  Write(".jvWE", initial + weather);
  ChangeEvaluation ev = Check();
  EXPECT_EQ(ev.newsLines, (tavolen::Lines{Sj("[天候馬場]更新時刻：01/05 06:55")}));
  EXPECT_EQ(Lines(ev), (std::vector<SjisString>{Sj("中山 01/05 06:55 曇   芝:良 ダ:良"),
                                                Sj("中山 初期状態    晴   芝:良 ダ:良")}));
  // 09:05: the going change of the same minute is news, although its stamp is not later.
  Write(".jvWE", initial + weather + going);
  ev = Check();
  ASSERT_TRUE(ev.hasNews());
  EXPECT_EQ(ev.balloonText,
            Sj("本日の開催で変更情報が発生しました。\r\n[天候馬場]更新時刻：01/05 06:55\r\n"));
  EXPECT_EQ(Lines(ev), (std::vector<SjisString>{Sj("中山 01/05 06:55 曇   芝:稍重 ダ:良")}));
  EXPECT_EQ(ReadFileBytes(File(".renew")), "01050655\r\n\r\n\r\n\r\n\r\n");
  // 09:10: nothing new.
  EXPECT_FALSE(Check().hasNews());
}

TEST_F(News, ALateRecordWithAnOlderStampIsAnnouncedOnceAndTheRenewLineStays) {
  const std::string first = AvRecord(kNakayama, "03", "01051115", "05", "アサヒライト");
  const std::string late = AvRecord(kNakayama, "01", "01051030", "07", "ソラダンサー", '2', "002");
  Write(".jvAV", first);
  EXPECT_TRUE(Check().hasNews());
  Write(".jvAV", late + first);  // the file keeps its order: the late one sorts first
  ChangeEvaluation ev = Check();
  EXPECT_EQ(ev.newsLines, (tavolen::Lines{Sj("[取消除外]更新時刻：01/05 10:30")}));
  ASSERT_EQ(ev.newChanges.size(), 1u);
  EXPECT_EQ(ev.newChanges[0].line, ev.lists[1][0]);
  EXPECT_EQ(ReadFileBytes(File(".renew")), "\r\n01051115\r\n\r\n\r\n\r\n");
  EXPECT_FALSE(Check().hasNews());

  // A runner's record replaced with other content (scratch becomes exclusion) is news too.
  Write(".jvAV", late + AvRecord(kNakayama, "03", "01051115", "05", "アサヒライト", '2', "003"));
  ev = Check();
  ASSERT_EQ(ev.newChanges.size(), 1u);
  EXPECT_EQ(ev.newChanges[0].line, Sj("中山 3R 01/05 11:15 ⑤ アサヒライト       競争除外[その他]"));
}

TEST_F(News, EveryCategoryIsNewsByContentAndNewestComesFirst) {
  Write(".jvJC", JcRecord(kNakayama, "11", "01051200", "03", "テスト", "570", "A", "B"));
  Write(".jvTC", TcRecord(kNakayama, "05", "01050930", "1215", "1200"));
  Write(".jvCC", CcRecord(kNakayama, "09", "01051010", "1800", "17", "2000", "11"));
  ChangeEvaluation ev = Check();
  ASSERT_EQ(ev.newChanges.size(), 3u);
  EXPECT_EQ(ev.newChanges[0].type, ChangeType::JC);
  EXPECT_EQ(ev.newChanges[1].type, ChangeType::CC);
  EXPECT_EQ(ev.newChanges[2].type, ChangeType::TC);
  // Earlier-stamped additions of each kind, after the first announcement.
  Write(".jvJC", JcRecord(kNakayama, "11", "01051200", "03", "テスト", "570", "A", "B") +
                     JcRecord(kNakayama, "02", "01050900", "01", "テスト", "550", "C", "D"));
  Write(".jvTC", TcRecord(kNakayama, "05", "01050930", "1215", "1200") +
                     TcRecord(kNakayama, "06", "01050800", "1245", "1240"));
  Write(".jvCC", CcRecord(kNakayama, "08", "01050700", "1700", "24", "1800", "17") +
                     CcRecord(kNakayama, "09", "01051010", "1800", "17", "2000", "11"));
  ev = Check();
  EXPECT_EQ(ev.newsLines, (tavolen::Lines{Sj("[騎手変更]更新時刻：01/05 09:00"),
                                          Sj("[発走時刻]更新時刻：01/05 08:00"),
                                          Sj("[ｺｰｽ 変更]更新時刻：01/05 07:00")}));
  EXPECT_FALSE(Check().hasNews());
}

TEST_F(News, WeatherAndGoingAreAppliedInAnnouncementOrderNotFileOrder) {
  // Data kinds and creation dates that sort the 11:00 going change before the 10:00 one.
  Write(".jvWE",
        Initial(kNakayama, '1', '1', '1') +
            WeRecord(kNakayama, "1", "20240105", "01051100", '3', '0', '3', '2', '0', '2', '1') +
            WeRecord(kNakayama, "2", "20240105", "01051000", '3', '0', '2', '1', '0', '1', '1') +
            // Same minute: the weather change (kind 2) before the going change (kind 3).
            WeRecord(kNakayama, "1", "20240105", "01051200", '3', '0', '4', '3', '0', '3', '2') +
            WeRecord(kNakayama, "2", "20240105", "01051200", '2', '3', '0', '0', '1'));
  const ChangeEvaluation ev = EvaluateChanges(raceFile_);
  EXPECT_EQ(ev.lists[0], (tavolen::Lines{Sj("中山 01/05 12:00 雨   芝:不良 ダ:重")}));
  EXPECT_EQ(CurrentWeatherStates(SplitLines(ReadFileBytes(File(".jvWE"))))[0].substr(25, 9),
            "010512003");
  // Each step shows the state it made.
  EXPECT_EQ(Lines(ev), (std::vector<SjisString>{
                           Sj("中山 01/05 12:00 雨   芝:不良 ダ:重"),
                           Sj("中山 01/05 12:00 雨   芝:重 ダ:稍重"),
                           Sj("中山 01/05 11:00 晴   芝:重 ダ:稍重"),
                           Sj("中山 01/05 10:00 晴   芝:稍重 ダ:良"),
                           Sj("中山 初期状態    晴   芝:良 ダ:良"),
                       }));
}

TEST_F(News, TheInitialStateIsNeverATimeAndIsAnnouncedOnlyOnce) {
  Write(".jvWE", Initial(kKyoto, '1', '1', '1') + Initial(kNakayama, '2', '1', '2'));
  ChangeEvaluation ev = Check();
  EXPECT_EQ(ev.newsLines, (tavolen::Lines{Sj("[天候馬場]更新時刻：初期状態")}));
  EXPECT_EQ(ev.lists[0], (tavolen::Lines{Sj("京都 初期状態    晴   芝:良 ダ:良"),
                                         Sj("中山 初期状態    曇   芝:良 ダ:稍重")}));
  EXPECT_EQ(tavolen::ShownStamp("00000000").size(), tavolen::ShownStamp("01051200").size());
  EXPECT_EQ(ev.balloonText.find("00/00"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(File(".renew")), "00000000\r\n\r\n\r\n\r\n\r\n");
  EXPECT_FALSE(Check().hasNews());
  // The first change of the day: only the change is news.
  Write(".jvWE", Initial(kKyoto, '1', '1', '1') + Initial(kNakayama, '2', '1', '2') +
                     WeatherChange(kKyoto, "01050840", '2', '1'));
  ev = Check();
  EXPECT_EQ(Lines(ev), (std::vector<SjisString>{Sj("京都 01/05 08:40 曇   芝:良 ダ:良")}));
}

TEST_F(News, AMissingOrDamagedMemoryRepeatsOneAnnouncementAndLosesNothing) {
  Write(".jvAV", AvRecord(kNakayama, "01", "01051030", "05", "テスト"));
  ASSERT_TRUE(Check().hasNews());
  const std::string memory = ReadFileBytes(File(".announced"));
  EXPECT_TRUE(memory.starts_with(std::string(kAnnouncedHeader) + "\r\n"));
  EXPECT_TRUE(memory.ends_with("\r\n"));

  for (const std::string& damaged : {std::string(), std::string("garbage\r\n"),
                                     std::string(kAnnouncedHeader) + "\r\nnot an identity\r\n"}) {
    if (damaged.empty())
      fs::remove(File(".announced"));
    else
      Write(".announced", damaged);
    // A late record arrived meanwhile: it is announced with the one already told.
    Write(".jvAV", AvRecord(kNakayama, "01", "01051030", "05", "テスト") +
                       AvRecord(kNakayama, "02", "01051000", "07", "サンプル"));
    ChangeEvaluation ev = Check();
    EXPECT_EQ(ev.newChanges.size(), 2u) << damaged;
    EXPECT_FALSE(Check().hasNews()) << damaged;
  }
  // A memory beside a renew file that is not five lines counts for nothing.
  Write(".renew", "\r\n01051030\r\n");
  EXPECT_EQ(Check().newChanges.size(), 2u);
  // The memory then holds every change listed, in order, one line each.
  const tavolen::Lines lines = SplitLines(ReadFileBytes(File(".announced")));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].substr(0, 29), "AV120240105060101010105103005");
  EXPECT_EQ(lines[2].substr(0, 29), "AV120240105060101020105100007");
}

TEST_F(News, ALaterStampThanTheRenewLineIsNewsEvenWhenRemembered) {
  const std::string tc = TcRecord(kNakayama, "05", "01050930", "1215", "1200");
  Write(".jvTC", tc);
  ASSERT_TRUE(Check().hasNews());
  // The renew file went back (restored by hand): the later stamp is news once more.
  Write(".renew", "\r\n\r\n\r\n01050900\r\n\r\n");
  EXPECT_EQ(Check().newsLines, (tavolen::Lines{Sj("[発走時刻]更新時刻：01/05 09:30")}));
  EXPECT_FALSE(Check().hasNews());
}

TEST(Identities, LeaveOutTheCreationDateButKeepWhatTheChangeSays) {
  const std::string a = AvRecord(kNakayama, "01", "01051030", "05", "テスト");
  std::string resent = a;
  Put(resent, 4, "20240106");
  EXPECT_EQ(ChangeIdentity(ChangeType::AV, a), ChangeIdentity(ChangeType::AV, resent));
  EXPECT_EQ(ChangeIdentity(ChangeType::AV, a), ChangeIdentity(ChangeType::AV, Line(a)));
  std::string excluded = a;
  excluded[2] = '2';
  EXPECT_NE(ChangeIdentity(ChangeType::AV, a), ChangeIdentity(ChangeType::AV, excluded));
  // WE: neither the data kind nor the creation date; the codes before do count.
  const std::string w = WeatherChange(kNakayama, "01051000", '2', '1');
  std::string other = w;
  Put(other, 3, "2");
  Put(other, 4, "20240104");
  EXPECT_EQ(ChangeIdentity(ChangeType::WE, w), ChangeIdentity(ChangeType::WE, other));
  EXPECT_NE(ChangeIdentity(ChangeType::WE, w),
            ChangeIdentity(ChangeType::WE, WeatherChange(kNakayama, "01051000", '2', '3')));
  // A line break in a damaged record never splits a memory line.
  std::string broken = a;
  broken[40] = '\n';
  EXPECT_EQ(ChangeIdentity(ChangeType::AV, broken).find('\n'), std::string::npos);
  EXPECT_EQ(
      ParseAnnouncedFile(AnnouncedFileBytes({ChangeIdentity(ChangeType::AV, broken)}))->size(), 1u);
  // Nor does a damaged record whose own type bytes are no type make the memory unreadable
  // (every change would then be news again at every check).
  std::string untyped = a;
  untyped[0] = '\r';
  untyped[1] = '\r';
  EXPECT_TRUE(ParseAnnouncedFile(AnnouncedFileBytes({ChangeIdentity(ChangeType::AV, untyped)})));
}

TEST(Details, NewestFirstAtMostTenThenHowManyMore) {
  std::vector<NewChange> changes;
  for (int i = 0; i < 13; ++i) changes.push_back({ChangeType::AV, "", "line" + std::to_string(i)});
  const tavolen::Lines d = NewChangeDetails(changes);
  ASSERT_EQ(d.size(), 11u);
  EXPECT_EQ(d[0], "line0");
  EXPECT_EQ(d[9], "line9");
  EXPECT_EQ(d[10], Sj("ほか3件"));
  EXPECT_EQ(NewChangeDetails({changes.begin(), changes.begin() + 10}).size(), 10u);
}

}  // namespace
}  // namespace tavolen
