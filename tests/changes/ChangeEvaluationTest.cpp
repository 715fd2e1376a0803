#include "changes/ChangeEvaluation.h"

#include <gtest/gtest.h>

#include "tests/changes/ChangeDay.h"
#include "tests/support/Files.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

class Evaluation : public ChangeDayTest {
 protected:
  Evaluation() : ChangeDayTest("evaluation") {}
  std::string RenewBytes() { return ReadFileBytes(File(".renew")); }
};

TEST_F(Evaluation, FirstScratchesAreNewsOnceAndTheRenewFileKeepsTheLatestStamp) {
  // The later announcement stands first in the file: the stamp is the greatest, not the last.
  Write(".jvAV", AvRecord(kNakayama, "01", "01051115", "05", "アイウエオカキクケコ") +
                     AvRecord(kNakayama, "02", "01051030", "12", "テスト", '2', "002"));
  ChangeEvaluation ev = EvaluateChanges(raceFile_);
  ASSERT_TRUE(ev.status);
  EXPECT_EQ(ev.lists[1], (Lines{Sj("中山 1R 01/05 11:15 ⑤ アイウエオカキクケ 出走取消[疾病]"),
                                Sj("中山 2R 01/05 10:30 ⑫ テスト             競争除外[事故]")}));
  EXPECT_TRUE(ev.lists[0].empty() && ev.lists[2].empty() && ev.lists[3].empty() &&
              ev.lists[4].empty());
  ASSERT_TRUE(ev.hasNews());
  EXPECT_EQ(ev.newsLines, (Lines{Sj("[取消除外]更新時刻：01/05 11:15")}));
  EXPECT_EQ(ev.balloonText,
            Sj("本日の開催で変更情報が発生しました。\r\n[取消除外]更新時刻：01/05 11:15\r\n"));
  ASSERT_TRUE(SaveRenewFile(raceFile_, ev));
  EXPECT_EQ(RenewBytes(), "\r\n01051115\r\n\r\n\r\n\r\n");

  // Nothing new: the same lists, no news, and the caller has nothing to save.
  ChangeEvaluation again = EvaluateChanges(raceFile_);
  ASSERT_TRUE(again.status);
  EXPECT_EQ(again.lists, ev.lists);
  EXPECT_FALSE(again.hasNews());
  EXPECT_TRUE(again.balloonText.empty());
  EXPECT_EQ(again.stamps[1], "01051115");
}

TEST_F(Evaluation, EveryCategoryLineAndTheFullBalloon) {
  Write(".jvWE", WeRecord(kNakayama, "1", "20240104", "00000000", '1', '1', '1', '1'));
  Write(".jvAV", AvRecord(kNakayama, "01", "01051030", "05", "テスト"));
  Write(".jvJC",
        JcRecord(kNakayama, "11", "01051200", "03", "テスト", "570", "デムーロ騎手", "武豊"));
  Write(".jvTC", TcRecord(kNakayama, "05", "01050930", "1215", "1200"));
  Write(".jvCC", CcRecord(kNakayama, "09", "01051010", "1800", "17", "2000", "11"));
  ChangeEvaluation ev = EvaluateChanges(raceFile_);
  ASSERT_TRUE(ev.status);
  // The day's initial state is no announcement at 00:00.
  EXPECT_EQ(ev.lists[0], (Lines{Sj("中山 初期状態    晴   芝:良 ダ:良")}));
  EXPECT_EQ(ev.lists[2],
            (Lines{Sj("中山11R 01/05 12:00 武豊    ⇒デムーロ[570] ③ テスト            ")}));
  EXPECT_EQ(ev.lists[3], (Lines{Sj("中山 5R 01/05 09:30 12:00⇒12:15")}));
  EXPECT_EQ(ev.lists[4], (Lines{Sj("中山 9R 01/05 10:10 芝左2000m⇒芝右1800m")}));
  const SjisString balloon =
      Sj("本日の開催で変更情報が発生しました。\r\n"
         "[天候馬場]更新時刻：初期状態\r\n"
         "[取消除外]更新時刻：01/05 10:30\r\n"
         "[騎手変更]更新時刻：01/05 12:00\r\n"
         "[発走時刻]更新時刻：01/05 09:30\r\n"
         "[ｺｰｽ 変更]更新時刻：01/05 10:10\r\n");
  EXPECT_EQ(ev.balloonText, balloon);
  EXPECT_LE(ev.balloonText.size(), 255u);
  ASSERT_TRUE(SaveRenewFile(raceFile_, ev));
  EXPECT_EQ(RenewBytes(), "00000000\r\n01051030\r\n01051200\r\n01050930\r\n01051010\r\n");
}

TEST_F(Evaluation, OnlyLaterStampsAreNewsAndStampsNeverGoBack) {
  Write(".jvAV", AvRecord(kNakayama, "01", "01051030", "05", "テスト"));
  Write(".jvJC", JcRecord(kNakayama, "11", "01051200", "03", "テスト", "570", "A", "B"));
  // The user has been told of an AV stamp later than every AV record, by a renew file without
  // the memory of what was announced (as an earlier version leaves it): the changes are
  // announced once more rather than perhaps never, and the stamps do not go back.
  Write(".renew", "\r\n01051100\r\n01051200\r\n\r\n\r\n");
  ChangeEvaluation ev = EvaluateChanges(raceFile_);
  ASSERT_TRUE(ev.status);
  EXPECT_EQ(ev.lists[1].size(), 1u);
  EXPECT_TRUE(ev.hasNews());
  EXPECT_EQ(ev.stamps[1], "01051100");
  ASSERT_TRUE(SaveRenewFile(raceFile_, ev));
  ev = EvaluateChanges(raceFile_);
  EXPECT_FALSE(ev.hasNews());
  EXPECT_EQ(ev.stamps[1], "01051100");

  // A later jockey change is news; the AV line of the renew file stays as it was.
  Write(".jvJC", JcRecord(kNakayama, "11", "01051200", "03", "テスト", "570", "A", "B") +
                     JcRecord(kNakayama, "11", "01051201", "03", "テスト", "570", "C", "B"));
  ev = EvaluateChanges(raceFile_);
  EXPECT_EQ(ev.newsLines, (Lines{Sj("[騎手変更]更新時刻：01/05 12:01")}));
  ASSERT_TRUE(SaveRenewFile(raceFile_, ev));
  EXPECT_EQ(RenewBytes(), "\r\n01051100\r\n01051201\r\n\r\n\r\n");
}

TEST_F(Evaluation, ARenewFileWithoutFiveLinesCountsAsAbsent) {
  Write(".jvTC", TcRecord(kNakayama, "05", "01050930", "1215", "1200"));
  Write(".renew", "\r\n\r\n\r\n01050930\r\n");  // four lines
  ChangeEvaluation ev = EvaluateChanges(raceFile_);
  EXPECT_EQ(ev.newsLines, (Lines{Sj("[発走時刻]更新時刻：01/05 09:30")}));
}

TEST_F(Evaluation, LiveWeatherChangesMergeIntoTheStateOfTheirCourseAndDay) {
  // As the service sends them: initial states with data kind "1", the previous day's creation
  // date and the announcement "00000000"; changes with data kind "2" and the day's date. A
  // weather change carries no going and a going change no weather, so a merge that takes the
  // wrong fields shows blanks.
  Write(".jvWE",
        WeRecord(kTokyo, "1", "20240104", "00000000", '1', '1', '1', '1') +
            WeRecord(kNakayama, "1", "20240104", "00000000", '1', '1', '1', '1') +
            WeRecord(kTokyo, "2", "20240105", "01051000", '2', '2', '0', '0', '1') +
            WeRecord(kTokyo, "2", "20240105", "01051130", '3', '0', '2', '1', '0', '1', '1'));
  ChangeEvaluation ev = EvaluateChanges(raceFile_);
  ASSERT_TRUE(ev.status);
  EXPECT_EQ(ev.lists[0], (Lines{Sj("東京 01/05 11:30 曇   芝:稍重 ダ:良"),
                                Sj("中山 初期状態    晴   芝:良 ダ:良")}));
  EXPECT_EQ(ev.newsLines, (Lines{Sj("[天候馬場]更新時刻：01/05 11:30")}));
}

TEST_F(Evaluation, TwoInitialStatesOfOneCourseAreEachMergedWithEveryChange) {
  Write(".jvWE", WeRecord(kTokyo, "1", "20240104", "00000000", '1', '1', '1', '1') +
                     WeRecord(kTokyo, "1", "20240105", "01050800", '1', '1', '1', '2') +
                     WeRecord(kTokyo, "2", "20240105", "01051000", '2', '3', '0', '0', '1'));
  ChangeEvaluation ev = EvaluateChanges(raceFile_);
  EXPECT_EQ(ev.lists[0], (Lines{Sj("東京 01/05 10:00 雨   芝:良 ダ:良"),
                                Sj("東京 01/05 10:00 雨   芝:良 ダ:稍重")}));
}

TEST_F(Evaluation, WeatherChangesWithoutAnInitialStateListNothing) {
  Write(".jvWE", WeRecord(kTokyo, "2", "20240105", "01051000", '2', '2', '0', '0') +
                     WeRecord(kTokyo, "2", "20240105", "01051130", '3', '0', '2', '1'));
  ChangeEvaluation ev = EvaluateChanges(raceFile_);
  ASSERT_TRUE(ev.status);
  EXPECT_TRUE(ev.lists[0].empty());
  EXPECT_FALSE(ev.news[0]);
  EXPECT_FALSE(ev.hasNews());
}

TEST(WeatherLine, WeatherTakesFourBytesAndUnknownCodesGiveBlanks) {
  EXPECT_EQ(WeatherStateLine(WeRecord(kTokyo, "1", "20240104", "01050800", '1', '4', '4', '3')),
            Sj("東京 01/05 08:00 小雨 芝:不良 ダ:重"));
  EXPECT_EQ(WeatherStateLine(WeRecord(kTokyo, "1", "20240104", "01050800", '1', '0', '0', '0')),
            Sj("東京 01/05 08:00     "));
}

TEST_F(Evaluation, FortyRecordsAreAllListedAndCounted) {
  std::string bytes;
  for (int i = 0; i < 40; ++i) {
    char race[3], stamp[9], horse[3];
    std::snprintf(race, sizeof race, "%02d", 1 + i / 10);
    std::snprintf(stamp, sizeof stamp, "0105%02d%02d", 9 + i / 10, i % 10);
    std::snprintf(horse, sizeof horse, "%02d", 1 + i % 10);
    bytes += AvRecord(kNakayama, race, stamp, horse, "テスト");
  }
  Write(".jvAV", bytes);
  ChangeEvaluation ev = EvaluateChanges(raceFile_);
  ASSERT_EQ(ev.lists[1].size(), 40u);
  EXPECT_EQ(ev.lists[1].back(), Sj("中山 4R 01/05 12:09 ⑩ テスト             出走取消[疾病]"));
  EXPECT_EQ(ev.stamps[1], "01051209");
}

TEST(ChangeLines, NumbersOutsideTheRunnersAndUnknownKindsKeepTheColumns) {
  EXPECT_EQ(ChangeRecordLine(ChangeType::AV,
                             AvRecord(kNakayama, "01", "01051030", "19", "テスト", '3', "   ")),
            Sj("中山 1R 01/05 10:30 － テスト                     [その他]"));
  EXPECT_EQ(ChangeRecordLine(ChangeType::AV,
                             AvRecord(kNakayama, "12", "01051030", "00", "テスト", '1', "003")),
            Sj("中山12R 01/05 10:30 － テスト             出走取消[その他]"));
  EXPECT_EQ(ChangeRecordLine(ChangeType::JC, JcRecord(kNakayama, "01", "01051030", "  ", "テスト",
                                                      "550", "A", "B")),
            Sj("中山 1R 01/05 10:30 B       ⇒A       [550] － テスト            "));
}

TEST_F(Evaluation, AChangeFileThatCannotBeReadEndsTheEvaluationWithAnError) {
  Write(".jvAV", AvRecord(kNakayama, "01", "01051030", "05", "テスト"));
  fs::create_directories(data_ / Utf8Path("2024年01月05日.jvJC"));
  ChangeEvaluation ev = EvaluateChanges(raceFile_);
  EXPECT_FALSE(ev.status);
  EXPECT_EQ(ev.status.reason, FileError::ChangeRead);
  EXPECT_FALSE(ev.hasNews());
}

TEST(EvaluationWithoutDay, NoSelectedRaceFileReadsNothing) {
  ChangeEvaluation ev = EvaluateChanges({});
  EXPECT_TRUE(ev.status);
  EXPECT_FALSE(ev.hasNews());
  for (const auto& list : ev.lists) EXPECT_TRUE(list.empty());
  EXPECT_TRUE(SaveRenewFile({}, ev));
}

}  // namespace
}  // namespace tavolen
