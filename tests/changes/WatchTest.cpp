// The watch in the main window, offscreen, with the scripted JV-Link, the recording desktop, a
// fake clock and real files: every change announced once however the checks split the day, and
// the watch going on by itself through an acquisition, a new day and a sleep.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>

#include "app/Main.h"
#include "base/Widgets.h"
#include "changes/henkoUnit.h"
#include "jvlink/RaceFiles.h"
#include "tests/changes/ChangeDay.h"
#include "tests/support/Files.h"
#include "tests/support/MainWindow.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/Records.h"
#include "tests/support/ScriptedJVLink.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

const Day kNextDay{"20240106", "06", "01", "02"};

class Watch : public MainWindowTest {
 protected:
  Watch() : MainWindowTest({"tavolen_changes_app_tests", "changes/watch"}) {}

  // Today's meeting (2024-01-05, first post 10:05: checks from 09:01) chosen in the date list.
  void LoadMeeting() {
    ChooseMeeting({RaRecord(kNakayama, "01", "1005"), RaRecord(kNakayama, "02", "1035")});
    ASSERT_TRUE(CheckTimer(*form_)->isActive());
    CheckTimer(*form_)->stop();  // ticked by hand
    desktop_.Clear();
  }
  void At(int day, int hour, int minute) { clock_.Set({2024, 1, day, hour, minute, 0}); }
  // One tick of the check timer at a time of 2024-01-05, the service answering these records.
  void TickWith(int hour, int minute, const std::vector<std::string>& records, int failAfter = -1) {
    At(5, hour, minute);
    for (size_t i = 0; i < records.size(); ++i) {
      if (static_cast<int>(i) == failAfter) jv_.QueueRead(-402);
      jv_.QueueRecord(records[i]);
    }
    if (failAfter >= 0) jv_.QueueRead(0);
    desktop_.Clear();
    form_->Timer4Timer();
    jv_.reads.clear();  // what a failed read left unread is not delivered in this session
  }
  std::vector<SjisString> Balloons() {
    std::vector<SjisString> out;
    for (const auto& e : desktop_.Of("balloon")) out.push_back(e.text);
    return out;
  }
  SjisString WatchText() { return WatchStatusText(*form_); }
};

const SjisString kHeader = Sj("本日の開催で変更情報が発生しました。\r\n");

TEST_F(Watch, SplitMinutesLateRecordsAndCutShortChecksAreEachAnnouncedOnce) {
  LoadMeeting();
  const std::string initial = WeRecord(kNakayama, "1", "20240104", "00000000", '1', '1', '1', '1');
  const std::string weather =
      WeRecord(kNakayama, "1", "20240105", "01050855", '2', '2', '0', '0', '1', '0', '0');
  const std::string going =
      WeRecord(kNakayama, "1", "20240105", "01050855", '3', '0', '2', '2', '0', '1', '1');
  TickWith(9, 0, {initial});  // before the start: no check
  EXPECT_TRUE(jv_.calls.empty());

  TickWith(9, 3, {initial, weather});
  EXPECT_EQ(Balloons(),
            (std::vector<SjisString>{kHeader + Sj("[天候馬場]更新時刻：01/05 08:55\r\n")}));
  EXPECT_EQ(WatchText(), Sj("最終確認 09:03"));
  EXPECT_NE(desktop_.trayTip.find(Sj("最終確認 09:03")), std::string::npos);
  // The going change of the same minute arrives one check later.
  TickWith(9, 8, {initial, weather, going});
  EXPECT_EQ(Balloons(),
            (std::vector<SjisString>{kHeader + Sj("[天候馬場]更新時刻：01/05 08:55\r\n")}));
  EXPECT_EQ(henko_->Lines(1),
            (std::vector<SjisString>{Sj("中山 01/05 08:55 曇   芝:稍重 ダ:稍重")}));
  TickWith(9, 13, {initial, weather, going});
  EXPECT_TRUE(Balloons().empty());

  // A scratch published late with an earlier announcement time.
  const std::string first = AvRecord(kNakayama, "02", "01050915", "05", "テスト");
  const std::string late = AvRecord(kNakayama, "01", "01050910", "07", "サンプル");
  TickWith(9, 18, {first});
  EXPECT_EQ(Balloons().size(), 1u);
  TickWith(9, 23, {late, first});
  EXPECT_EQ(Balloons(),
            (std::vector<SjisString>{kHeader + Sj("[取消除外]更新時刻：01/05 09:10\r\n")}));
  TickWith(9, 28, {late, first});
  EXPECT_TRUE(Balloons().empty());

  // A read failure cuts a check short: what it missed is announced by the next check.
  const std::string tc = TcRecord(kNakayama, "02", "01050925", "1045", "1035");
  const std::string cc = CcRecord(kNakayama, "01", "01050926", "1800", "24", "2000", "17");
  TickWith(9, 33, {tc, cc}, 1);
  EXPECT_EQ(Balloons(),
            (std::vector<SjisString>{kHeader + Sj("[発走時刻]更新時刻：01/05 09:25\r\n")}));
  EXPECT_EQ(WatchText(), Sj("確認失敗 09:33（最終確認 09:28）"));
  TickWith(9, 38, {tc, cc});
  EXPECT_EQ(Balloons(),
            (std::vector<SjisString>{kHeader + Sj("[ｺｰｽ 変更]更新時刻：01/05 09:26\r\n")}));
  EXPECT_EQ(WatchText(), Sj("最終確認 09:38"));
  TickWith(9, 43, {initial, weather, going, late, first, tc, cc});
  EXPECT_TRUE(Balloons().empty());
}

TEST_F(Watch, TheNotificationListsTheNewChangesNewestFirstAndItsClickOpensTheChangeWindow) {
  LoadMeeting();
  std::vector<std::string> records;
  for (int i = 0; i < 12; ++i) {
    char stamp[9], horse[3];
    std::snprintf(stamp, sizeof stamp, "010509%02d", 10 + i);
    std::snprintf(horse, sizeof horse, "%02d", 1 + i);
    records.push_back(AvRecord(kNakayama, "01", stamp, horse, "テスト"));
  }
  records.push_back(TcRecord(kNakayama, "02", "01050905", "1045", "1035"));
  TickWith(9, 30, records);
  ASSERT_EQ(Balloons().size(), 1u);
  // The balloon's own text first, as ever; then the changes, newest first, ten and a count.
  EXPECT_EQ(Balloons()[0], kHeader + Sj("[取消除外]更新時刻：01/05 09:21\r\n") +
                               Sj("[発走時刻]更新時刻：01/05 09:05\r\n"));
  ASSERT_EQ(desktop_.notificationMore.size(), 1u);
  const std::vector<SjisString>& more = desktop_.notificationMore[0];
  ASSERT_EQ(more.size(), 11u);
  EXPECT_EQ(more[0], henko_->Lines(2).back());
  EXPECT_TRUE(more[0].starts_with(Sj("中山 1R 01/05 09:21 ⑫")));
  EXPECT_TRUE(more[9].starts_with(Sj("中山 1R 01/05 09:12 ③")));
  EXPECT_EQ(more[10], Sj("ほか3件"));
  for (const SjisString& line : more) EXPECT_EQ(line.find("00/00"), std::string::npos);

  // A click on it opens the change window; so does a notification that could not be shown.
  EXPECT_FALSE(henko_->isVisible());
  emit desktopEvents_.notificationClicked();
  EXPECT_TRUE(henko_->isVisible());
  henko_->hide();
  emit desktopEvents_.notificationNotShown();
  EXPECT_TRUE(henko_->isVisible());
}

TEST_F(Watch, ClosingTheAcquisitionWindowKeepsTheWatchGoing) {
  LoadMeeting();
  onModal_ = [](QDialog& d) { d.reject(); };
  form_->J1Click();
  EXPECT_EQ(SjisOf(Parts(*form_).DateCombo->currentText()), Sj("2024年01月05日"));
  TickWith(9, 30, {AvRecord(kNakayama, "01", "01050930", "05", "テスト")});
  EXPECT_EQ(jv_.Count("JVRTOpen"), 1);
  EXPECT_EQ(Balloons().size(), 1u);

  // A day file that is gone is not selected again.
  fs::remove(AppDir() / "Data" / Utf8Path("2024年01月05日.jvRA"));
  form_->J1Click();
  EXPECT_EQ(Parts(*form_).DateCombo->currentIndex(), -1);
}

TEST_F(Watch, ANewDayIsFollowedWhenItsRaceFilesExistAndOtherwiseSaidOnce) {
  LoadMeeting();
  TickWith(23, 55, {});
  ASSERT_EQ(jv_.Count("JVRTOpen"), 1);
  // Midnight passes with no race data for the new day: said once, and yesterday is not fetched.
  At(6, 0, 5);
  form_->Timer4Timer();
  EXPECT_EQ(jv_.Count("JVRTOpen"), 1);
  ASSERT_EQ(desktop_.Count("balloon"), 1);
  const SjisString missing = Sj("2024年01月06日のレースデータがありません。");
  EXPECT_TRUE(desktop_.Of("balloon")[0].text.starts_with(missing));
  EXPECT_NE(desktop_.Of("balloon")[0].text.find(Sj("「JVデータ取得」")), std::string::npos);
  EXPECT_TRUE(WatchText().starts_with(missing));
  At(6, 0, 10);
  form_->Timer4Timer();
  EXPECT_EQ(desktop_.Count("balloon"), 1);

  // The day's data arrives: the next tick moves the watch to it, as choosing the date would.
  ASSERT_TRUE(StoreRaRecord(AppDir() / "Data", RaRecord(kNextDay, "01", "0950")).stored());
  onModal_ = [](QDialog& d) { d.reject(); };
  form_->J1Click();
  EXPECT_EQ(SjisOf(Parts(*form_).DateCombo->currentText()), Sj("2024年01月05日"));
  At(6, 0, 15);
  form_->Timer4Timer();
  EXPECT_EQ(SjisOf(Parts(*form_).DateCombo->currentText()), Sj("2024年01月06日"));
  EXPECT_EQ(form_->meeting().selectedRaceFile.filename(), Utf8Path("2024年01月06日.jvRA"));
  EXPECT_TRUE(CheckTimer(*form_)->isActive());
  CheckTimer(*form_)->stop();
  EXPECT_FALSE(WatchText().starts_with(missing));
  At(6, 8, 55);
  form_->Timer4Timer();
  EXPECT_EQ(jv_.calls.back().op, "JVClose");
  EXPECT_EQ(jv_.calls[jv_.calls.size() - 3].args, (std::vector<std::string>{"0B14", "20240106"}));

  // A day chosen by hand that is not today never moves.
  Parts(*form_).DateCombo->setCurrentIndex(
      Parts(*form_).DateCombo->findText(Qs(Sj("2024年01月05日"))));
  form_->DateComboChange();
  At(7, 9, 30);
  form_->Timer4Timer();
  EXPECT_EQ(SjisOf(Parts(*form_).DateCombo->currentText()), Sj("2024年01月05日"));
}

TEST_F(Watch, AfterASleepOrAClockJumpTheCheckRunsAtOnce) {
  LoadMeeting();
  At(5, 9, 30);
  CheckTimer(*form_)->start();
  form_->WakeTimerTimer();  // the first look only takes the clocks
  clock_.AdvanceSeconds(30);
  form_->WakeTimerTimer();
  EXPECT_EQ(jv_.Count("JVRTOpen"), 0);
  clock_.AdvanceMinutes(180);  // the lid was closed
  form_->WakeTimerTimer();
  EXPECT_EQ(jv_.Count("JVRTOpen"), 1);
  EXPECT_TRUE(CheckTimer(*form_)->isActive());
  EXPECT_EQ(CheckTimer(*form_)->remainingTime() > 4 * 60000, true);  // the period starts afresh
  // Nothing happens while the watch is off.
  CheckTimer(*form_)->stop();
  clock_.AdvanceMinutes(180);
  form_->WakeTimerTimer();
  EXPECT_EQ(jv_.Count("JVRTOpen"), 1);
}

}  // namespace
}  // namespace tavolen
