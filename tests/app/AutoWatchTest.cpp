// The automation through the real main window: today loaded and watched by itself, its race
// data fetched in the background with the acquisition session when it has none, the schedule of
// the checks, failures reported without a box of ours, and nothing while the acquisition window
// holds JV-Link. JV-Link's own windows during an automatic acquisition: the weekend tests
// (tests/reliability/RaceWeekTest.cpp, tests/jvbridge/BridgeWeekendWineTest.cpp).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <map>
#include <thread>

#include "automation/AutoWatch.h"
#include "base/IniFile.h"
#include "changes/ChangeWatch.h"
#include "jvlink/KeibaFunc.h"
#include "tests/support/MainWindow.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace testsupport;
using testsupport::IniValue;
using testsupport::Part;
using testsupport::Parts;

TEST(AutoWatchSchedule, ChecksFromSevenEveryHalfHourUntilNoonThenAtTheDateChange) {
  const std::map<std::pair<int, int>, std::pair<int, int>> nextOf = {
      {{0, 0}, {7, 0}},   {{6, 59}, {7, 0}},   {{7, 0}, {7, 30}},
      {{7, 29}, {7, 30}}, {{11, 45}, {12, 0}}, {{9, 30}, {10, 0}},
  };
  for (const auto& [now, next] : nextOf) {
    const LocalDateTime t{2024, 1, 6, now.first, now.second, 30};
    EXPECT_EQ(NextRaceDataCheck(t), (LocalDateTime{2024, 1, 6, next.first, next.second, 0}))
        << now.first << ":" << now.second;
  }
  // After the noon check: the next day's date change, across a month's and a year's end.
  EXPECT_EQ(NextRaceDataCheck({2024, 1, 6, 12, 0, 0}), (LocalDateTime{2024, 1, 7, 0, 0, 0}));
  EXPECT_EQ(NextRaceDataCheck({2024, 1, 31, 23, 59, 59}), (LocalDateTime{2024, 2, 1, 0, 0, 0}));
  EXPECT_EQ(NextRaceDataCheck({2024, 12, 31, 15, 0, 0}), (LocalDateTime{2025, 1, 1, 0, 0, 0}));
}

class AutoWatchTest : public testsupport::MainWindowTest {
 protected:
  AutoWatchTest()
      : MainWindowTest(
            {"tavolen_autowatch_tests", "shell/autowatch", {2024, 1, 6, 5, 0, 0}, false}) {}
  void SetUp() override {
    MainWindowTest::SetUp();
    fs::create_directories(Data());
  }
  fs::path Data() const { return AppDir() / "Data"; }
  void TurnOnInSettings() { ASSERT_TRUE(WriteFileBytes(IniPath(), "[Auto]\r\nwatch=1\r\n")); }
  AutoWatch& Auto() { return *Part<AutoWatch>(*form_, "AutoWatch"); }
  // Lets the zero timer of the start run, then the acquisition to its end.
  void Settle() {
    QCoreApplication::processEvents();
    for (int i = 0; i < 3000 && Auto().Acquiring(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      QCoreApplication::processEvents();
    }
    ASSERT_FALSE(Auto().Acquiring());
  }
  void TickAt(const LocalDateTime& t) {
    clock_.Set(t);
    Auto().Tick();
    Settle();
  }
  // Today's race data as the service delivers it: two races of one file.
  void ServeToday() {
    jv_.readCount = 1;
    jv_.downloadCount = 0;
    jv_.lastFileTimestamp = u"20240105170000";
    jv_.QueueRecord(RaRecord("20240106", "06", "01"));
    jv_.QueueRecord(RaRecord("20240106", "06", "02"));
    jv_.QueueRead(-1);
  }
  SjisString Shown() const { return SjisOf(Parts(*form_).DateCombo->currentText()); }
  SjisString AutoLabel() const { return SjisOf(Part<QLabel>(*form_, "AutoWatchLabel")->text()); }
  // The message boxes and beeps of ours that appeared.
  int Boxes() const {
    return static_cast<int>(desktop_.Messages().size()) + desktop_.Count("beep");
  }
  Lines LogLinesAfterStart() const {
    Lines lines = SplitLines(ReadFileBytes(AppDir() / "ErrorLog.txt"));
    lines.erase(lines.begin(), lines.begin() + 2);
    return lines;
  }

  const SjisString today_ = Sj("2024年01月06日");
};

TEST_F(AutoWatchTest, OffByDefaultNothingIsLoadedOrFetchedByItself) {
  testsupport::WriteMeeting(Data(), "20240106", {{"06", "中山"}}, 8);
  Build();
  form_->show();
  QCoreApplication::processEvents();
  clock_.Set({2024, 1, 7, 0, 0, 0});
  Auto().Tick();
  QCoreApplication::processEvents();
  EXPECT_FALSE(Auto().Enabled());
  EXPECT_FALSE(Part<QAction>(*form_, "AutoWatchItem")->isChecked());
  EXPECT_EQ(jv_.Count("JVOpen"), 0);
  EXPECT_EQ(Parts(*form_).DateCombo->currentIndex(), -1);
  EXPECT_FALSE(testsupport::CheckTimer(*form_)->isActive());
  EXPECT_TRUE(AutoLabel().empty());
  EXPECT_TRUE(LogLinesAfterStart().empty());
}

TEST_F(AutoWatchTest,
       TodayWithItsDayFileIsLoadedAtStartUpAndAHandChosenDateStaysUntilTheDateChanges) {
  testsupport::WriteMeeting(Data(), "20240106", {{"06", "中山"}}, 8);
  testsupport::WriteMeeting(Data(), "20240107", {{"06", "中山"}}, 8);
  testsupport::WriteMeeting(Data(), "20231224", {{"06", "中山"}}, 8);
  TurnOnInSettings();
  Build();
  EXPECT_EQ(Parts(*form_).DateCombo->currentIndex(), -1);  // nothing before the message loop
  form_->show();
  Settle();
  EXPECT_TRUE(Part<QAction>(*form_, "AutoWatchItem")->isChecked());
  EXPECT_EQ(Shown(), today_);
  EXPECT_EQ(form_->meeting().selectedRaceFile.filename(), SjisPath(today_ + ".jvRA"));
  EXPECT_TRUE(testsupport::CheckTimer(*form_)->isActive());
  EXPECT_EQ(jv_.Count("JVOpen"), 0);
  EXPECT_EQ(Boxes(), 0);

  // The user looks at an old meeting: it stays for the rest of the day.
  const int old = Parts(*form_).DateCombo->findText(Qs(Sj("2023年12月24日")));
  ASSERT_GE(old, 0);
  Parts(*form_).DateCombo->setCurrentIndex(old);
  emit Parts(*form_).DateCombo->activated(old);
  TickAt({2024, 1, 6, 9, 0, 0});
  TickAt({2024, 1, 6, 23, 59, 0});
  EXPECT_EQ(Shown(), Sj("2023年12月24日"));
  // The next day brings its own meeting.
  TickAt({2024, 1, 7, 0, 0, 10});
  EXPECT_EQ(Shown(), Sj("2024年01月07日"));
  EXPECT_TRUE(testsupport::CheckTimer(*form_)->isActive());
  EXPECT_EQ(jv_.Count("JVOpen"), 0);
  EXPECT_EQ(Boxes(), 0);
  const Lines log = LogLinesAfterStart();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], Sj("【記録】2024/01/06 05:00:00：2024年01月06日の開催を読み込みました"));
  EXPECT_EQ(log[1], Sj("【記録】2024/01/07 00:00:10：2024年01月07日の開催を読み込みました"));
}

TEST_F(AutoWatchTest, ADayFileWithoutRacesLoadedByItselfIsLoggedNotBoxed) {
  ASSERT_TRUE(WriteFileBytes(Data() / SjisPath(today_ + ".jvRA"), ""));
  TurnOnInSettings();
  Build();
  form_->show();
  Settle();
  EXPECT_EQ(Shown(), today_);
  EXPECT_EQ(jv_.Count("JVOpen"), 0);
  EXPECT_EQ(Boxes(), 0);
  const Lines log = LogLinesAfterStart();
  ASSERT_GE(log.size(), 1u);
  EXPECT_EQ(log[0],
            Sj("【エラー】05:00:00：2024年01月06日：この開催日のレースデータがありません。"));
  // Chosen by hand, the same day keeps its box.
  emit Parts(*form_).DateCombo->activated(Parts(*form_).DateCombo->currentIndex());
  EXPECT_EQ(desktop_.Count("info"), 1);
}

TEST_F(AutoWatchTest, SwitchedOnTodaysRaceDataIsFetchedWithoutABoxThenLoadedAndWatched) {
  Build();
  form_->show();
  QCoreApplication::processEvents();
  ServeToday();
  desktop_.Clear();
  Part<QAction>(*form_, "AutoWatchItem")->trigger();
  EXPECT_EQ(IniValue(ReadFileBytes(IniPath()), "Auto", "watch"), "1");
  Settle();
  // The acquisition window's session: "RACE" from eight days before, option 2, then closed.
  ASSERT_EQ(jv_.Count("JVOpen"), 1);
  const auto open = std::find_if(jv_.calls.begin(), jv_.calls.end(),
                                 [](const auto& c) { return c.op == "JVOpen"; });
  EXPECT_EQ(open->args, (std::vector<std::string>{"RACE", "20231229050000", "2"}));
  EXPECT_EQ(jv_.Ops().back(), "JVClose");
  EXPECT_EQ(IniValue(ReadFileBytes(IniPath()), "JvDataGet", "LastTime"), "2024/01/05 17:00:00");
  // Stored, listed, loaded and watched; nothing shown but the outcome.
  EXPECT_TRUE(FileExists(Data() / SjisPath(today_ + ".jvRA")));
  EXPECT_EQ(Parts(*form_).DateCombo->count(), 1);
  EXPECT_EQ(Shown(), today_);
  EXPECT_EQ(Parts(*form_).DatList->count(), 2);
  EXPECT_TRUE(testsupport::CheckTimer(*form_)->isActive());
  EXPECT_EQ(Boxes(), 0);
  EXPECT_EQ(desktop_.Count("balloon"), 0);
  EXPECT_TRUE(AutoLabel().empty());
  const Lines log = LogLinesAfterStart();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], Sj("【記録】2024/01/06 05:00:00：レースデータを自動で取得しました"));
  EXPECT_EQ(log[1], Sj("【記録】2024/01/06 05:00:00：2024年01月06日の開催を読み込みました"));

  // Switched off: the date change does nothing more.
  Part<QAction>(*form_, "AutoWatchItem")->trigger();
  EXPECT_EQ(IniValue(ReadFileBytes(IniPath()), "Auto", "watch"), "0");
  TickAt({2024, 1, 7, 0, 0, 0});
  EXPECT_EQ(jv_.Count("JVOpen"), 1);
}

TEST_F(AutoWatchTest, AWindowNeverShownStillHasJVLinkInitialisedOnceBeforeItsSessions) {
  testsupport::WriteMeeting(Data(), "20240106", {{"06", "中山"}}, 8);
  TurnOnInSettings();
  Build();  // as a start into the tray: the window is not shown
  Settle();
  EXPECT_EQ(Shown(), today_);
  EXPECT_EQ(jv_.Count("JVInit"), 1);
  jv_.defaultOpen = -1;
  TickAt({2024, 1, 7, 0, 0, 0});  // no race data: an acquisition, without a second JVInit
  EXPECT_EQ(jv_.Count("JVOpen"), 1);
  EXPECT_EQ(jv_.Count("JVInit"), 1);
  EXPECT_EQ(jv_.Ops().front(), "JVInit");
}

TEST_F(AutoWatchTest, RaceDataFetchedLaterInTheDayLeavesAHandChosenDateShown) {
  testsupport::WriteMeeting(Data(), "20231224", {{"06", "中山"}}, 8);
  jv_.openResults = {-1};
  TurnOnInSettings();
  // A favourite horse runs today: the watch's announcements mark it, whatever date is shown.
  SjisString runner = SeRecord("20240106", "06", "01", "03");
  Put(runner, 31, "2021101234");
  ASSERT_TRUE(WriteFileBytes(AppDir() / "Favourites.txt",
                             Sj("Tavolen favourites 1\r\nH\t2021101234\tウマ\r\n")));
  Build();
  form_->show();
  Settle();
  ASSERT_EQ(jv_.Count("JVOpen"), 1);
  Parts(*form_).DateCombo->setCurrentIndex(0);
  emit Parts(*form_).DateCombo->activated(0);
  ServeToday();
  Put(jv_.reads.front().record, 882, "03");  // the first race's runner count
  jv_.reads.insert(jv_.reads.end() - 1, {1, runner});
  TickAt({2024, 1, 6, 7, 0, 0});
  EXPECT_EQ(jv_.Count("JVOpen"), 2);
  EXPECT_TRUE(FileExists(Data() / SjisPath(today_ + ".jvRA")));
  EXPECT_EQ(Shown(), Sj("2023年12月24日"));
  EXPECT_EQ(Parts(*form_).DateCombo->count(), 2);
  EXPECT_TRUE(AutoLabel().empty());
  EXPECT_TRUE(
      form_->findChild<ChangeWatch*>()->Favourites().RaceHasFavourite(runner.substr(11, 16)));
}

TEST_F(AutoWatchTest, ADayWithoutMeetingIsCheckedOnlyAtTheScheduledTimesAndSaysWhenNext) {
  jv_.defaultOpen = -1;  // nothing newer than LastTime
  TurnOnInSettings();
  Build();
  form_->show();
  Settle();
  EXPECT_EQ(jv_.Count("JVOpen"), 1);
  EXPECT_EQ(AutoLabel(), Sj("本日の開催はありません（次の確認 07:00）"));
  EXPECT_NE(desktop_.trayTip.find(Sj("本日の開催はありません（次の確認 07:00）")),
            std::string::npos);
  // No hint beside it to choose the day by hand.
  EXPECT_TRUE(Part<QLabel>(*form_, "WatchLabel")->text().isEmpty())
      << Part<QLabel>(*form_, "WatchLabel")->text().toStdString();
  for (const LocalDateTime& t : {LocalDateTime{2024, 1, 6, 6, 0, 0}, {2024, 1, 6, 6, 59, 59}})
    TickAt(t);
  EXPECT_EQ(jv_.Count("JVOpen"), 1);
  TickAt({2024, 1, 6, 7, 0, 5});
  EXPECT_EQ(jv_.Count("JVOpen"), 2);
  EXPECT_EQ(AutoLabel(), Sj("本日の開催はありません（次の確認 07:30）"));
  TickAt({2024, 1, 6, 7, 10, 0});
  EXPECT_EQ(jv_.Count("JVOpen"), 2);
  // Every open was closed, no box of ours, one line for the day in the log.
  EXPECT_EQ(jv_.Count("JVClose"), 2);
  EXPECT_EQ(Boxes(), 0);
  const Lines log = LogLinesAfterStart();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], Sj("【記録】2024/01/06 05:00:00：2024年01月06日の開催はありません（次の確認 "
                       "07:00）"));
}

// At sign-in the window's own JVInit fails: that is the automation's JVInit step failing once,
// not a line of the window's and another of the automation's tried at once.
TEST_F(AutoWatchTest, AFailingJVInitAtSignInIsOneFailedStepTriedAgainAtItsTime) {
  jv_.initResults = {-301, -301};
  clock_.Set({2024, 1, 6, 6, 50, 0});
  TurnOnInSettings();
  Build();
  form_->StartInTray();
  Settle();
  TickAt({2024, 1, 6, 6, 55, 0});
  EXPECT_EQ(jv_.Count("JVInit"), 1);
  EXPECT_EQ(Boxes(), 0);
  const Lines log = LogLinesAfterStart();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find(JVResultMessage("JVInit", -301) + Sj("（次の確認 07:00）")),
            std::string::npos);
  EXPECT_EQ(desktop_.Count("balloon"), 1);
  TickAt({2024, 1, 6, 7, 0, 0});
  EXPECT_EQ(jv_.Count("JVInit"), 2);
  EXPECT_EQ(LogLinesAfterStart().size(), 2u);
  EXPECT_EQ(desktop_.Count("balloon"), 1);  // the same run of failures
}

TEST_F(AutoWatchTest, MaintenanceIsLoggedAndToldOnceThenRetriedAtTheNextCheckUntilItWorks) {
  jv_.openResults = {-504, -504};
  clock_.Set({2024, 1, 6, 6, 50, 0});
  TurnOnInSettings();
  Build();
  form_->show();
  Settle();
  const SjisString reason = Sj("JVOpenエラー:") + JVResultMessage("JVOpen", -504);
  EXPECT_EQ(AutoLabel(),
            Sj("レースデータを取得できませんでした：") + reason + Sj("（次の確認 07:00）"));
  ASSERT_EQ(desktop_.Count("balloon"), 1);
  EXPECT_EQ(desktop_.Of("balloon")[0].title, Sj("レースデータの自動取得"));
  EXPECT_NE(desktop_.Of("balloon")[0].text.find(reason), std::string::npos);
  TickAt({2024, 1, 6, 6, 55, 0});
  EXPECT_EQ(jv_.Count("JVOpen"), 1);  // no retry before the next check
  TickAt({2024, 1, 6, 7, 0, 0});
  EXPECT_EQ(jv_.Count("JVOpen"), 2);
  EXPECT_EQ(desktop_.Count("balloon"), 1);  // told once
  ServeToday();
  TickAt({2024, 1, 6, 7, 30, 0});
  EXPECT_EQ(jv_.Count("JVOpen"), 3);
  EXPECT_EQ(jv_.Count("JVClose"), 3);
  EXPECT_EQ(Shown(), today_);
  EXPECT_TRUE(AutoLabel().empty());
  EXPECT_EQ(Boxes(), 0);
  // Told once more: it works again.
  ASSERT_EQ(desktop_.Count("balloon"), 2);
  EXPECT_EQ(desktop_.Of("balloon")[1].text, Sj("レースデータの自動取得は復旧しました"));
  const Lines log = LogLinesAfterStart();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0], Sj("【エラー】06:50:00：レースデータの自動取得（2024年01月06日）：") + reason +
                        Sj("（次の確認 07:00）"));
  EXPECT_EQ(log[1], Sj("【エラー】07:00:00：レースデータの自動取得（2024年01月06日）：") + reason +
                        Sj("（次の確認 07:30）"));
  EXPECT_EQ(log[2], Sj("【記録】2024/01/06 07:30:00：レースデータを自動で取得しました"));
  EXPECT_EQ(log[3], Sj("【記録】2024/01/06 07:30:00：レースデータの自動取得は復旧しました"));
}

TEST_F(AutoWatchTest, NeverWhileTheAcquisitionWindowIsOpenAndTheWindowWaitsForIt) {
  jv_.defaultOpen = -1;
  Build();
  form_->show();
  QCoreApplication::processEvents();
  // Switched on while the acquisition window is open: it waits for the window.
  onModal_ = [this](QDialog&) {
    Part<QAction>(*form_, "AutoWatchItem")->trigger();
    Settle();
    TickAt({2024, 1, 6, 5, 1, 0});
    EXPECT_EQ(jv_.Count("JVOpen"), 0);
    EXPECT_EQ(AutoLabel(), Sj("レースデータの取得はJV-Linkが空くのを待っています"));
  };
  form_->J1Click();
  onModal_ = {};
  TickAt({2024, 1, 6, 5, 1, 30});
  EXPECT_EQ(jv_.Count("JVOpen"), 1);
  EXPECT_EQ(AutoLabel(), Sj("本日の開催はありません（次の確認 07:00）"));

  // During a download the window does not open: one session at a time.
  jv_.defaultOpen = 0;
  jv_.readCount = 1;
  jv_.downloadCount = 2;
  jv_.defaultStatus = 1;
  clock_.Set({2024, 1, 6, 7, 0, 0});
  Auto().Tick();
  ASSERT_TRUE(Auto().Acquiring());
  EXPECT_EQ(AutoLabel(), Sj("レースデータ取得中 (0/2)"));
  for (int i = 0; i < 50 && AutoLabel() != Sj("レースデータ取得中 (1/2)"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(AutoLabel(), Sj("レースデータ取得中 (1/2)"));
  int opened = 0;
  onModal_ = [&](QDialog&) { ++opened; };
  desktop_.Clear();
  form_->J1Click();
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(desktop_.Of("info").size(), 1u);
  jv_.defaultStatus = 2;
  Settle();
  EXPECT_EQ(jv_.Count("JVOpen"), 2);
  EXPECT_EQ(jv_.Count("JVClose"), 2);
  form_->J1Click();
  EXPECT_EQ(opened, 1);
}

// A download whose JVStatus stays put is ended ten minutes on and tried at the next check;
// switching the option off ends a running one the same way. Neither shows a box.
TEST_F(AutoWatchTest, AHungDownloadIsEndedAfterTenMinutesAndSoIsOneRunningWhenSwitchedOff) {
  jv_.defaultOpen = -1;
  TurnOnInSettings();
  Build();
  form_->show();
  Settle();
  jv_.defaultOpen = 0;
  jv_.readCount = 1;
  jv_.downloadCount = 2;
  jv_.defaultStatus = 1;  // one file arrives, the second never does
  const auto tickAt = [&](const LocalDateTime& t) {
    clock_.Set(t);
    Auto().Tick();
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  };
  tickAt({2024, 1, 6, 7, 0, 0});
  ASSERT_TRUE(Auto().Acquiring());
  tickAt({2024, 1, 6, 7, 9, 30});
  EXPECT_TRUE(Auto().Acquiring());  // moved at 07:00: not hung yet
  tickAt({2024, 1, 6, 7, 10, 0});
  EXPECT_FALSE(Auto().Acquiring());
  EXPECT_EQ(jv_.Count("JVCancel"), 1);
  EXPECT_EQ(jv_.Count("JVClose"), 2);
  EXPECT_FALSE(form_->acquisition().sessionOpen);
  EXPECT_EQ(AutoLabel(), Sj("レースデータを取得できませんでした：ダウンロードが10分間進まないため中"
                            "止しました（次の確認 07:30）"));
  // Files may have come before it hung: what is stored does not count as complete.
  EXPECT_EQ(IniValue(ReadFileBytes(IniPath()), "Auto", "incomplete"), "1");
  tickAt({2024, 1, 6, 7, 20, 0});
  EXPECT_EQ(jv_.Count("JVOpen"), 2);  // not before its next check
  tickAt({2024, 1, 6, 7, 30, 0});
  ASSERT_TRUE(Auto().Acquiring());
  Part<QAction>(*form_, "AutoWatchItem")->trigger();  // off
  EXPECT_FALSE(Auto().Acquiring());
  EXPECT_EQ(jv_.Count("JVCancel"), 2);
  EXPECT_EQ(jv_.Count("JVClose"), 3);
  EXPECT_FALSE(form_->acquisition().sessionOpen);
  EXPECT_TRUE(AutoLabel().empty());
  EXPECT_EQ(Boxes(), 0);
  EXPECT_EQ(desktop_.Count("balloon"), 1);  // the hung download, told once
}

// A session the acquisition window left open when it closed is ended before the automation
// opens its own: never one on top of another.
TEST_F(AutoWatchTest, ASessionLeftOpenByTheClosedWindowIsEndedBeforeTheAutomationsOwn) {
  jv_.defaultOpen = -1;
  Build();
  form_->show();
  QCoreApplication::processEvents();
  form_->acquisition().sessionOpen = true;  // as after a cancel during the window's download
  form_->acquisition().owner->Opened(SessionUser::AcquisitionWindow);
  const size_t before = jv_.Ops().size();
  Part<QAction>(*form_, "AutoWatchItem")->trigger();
  Settle();
  const std::vector<std::string> ops = jv_.Ops();
  ASSERT_GE(ops.size(), before + 4);
  EXPECT_EQ(std::vector<std::string>(ops.begin() + static_cast<std::ptrdiff_t>(before),
                                     ops.begin() + static_cast<std::ptrdiff_t>(before) + 3),
            (std::vector<std::string>{"JVCancel", "JVClose", "JVOpen"}));
  EXPECT_FALSE(form_->acquisition().sessionOpen);
  EXPECT_FALSE(form_->acquisition().owner->Open());
  EXPECT_EQ(Boxes(), 0);
}

// The watch's checks end a session the closed acquisition window left, but never the
// automation's own: a check that comes during an automatic download waits for it.
TEST_F(AutoWatchTest, TheWatchsChecksDuringAnAutomaticDownloadLeaveItsSessionAlone) {
  testsupport::WriteMeeting(Data(), "20240106", {{"06", "中山"}}, 8);
  ASSERT_TRUE(WriteFileBytes(IniPath(), "[Auto]\r\nwatch=1\r\nincomplete=1\r\n"));
  jv_.readCount = 1;
  jv_.downloadCount = 2;
  jv_.defaultStatus = 1;  // the download stays under way
  Build();
  form_->show();
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  ASSERT_TRUE(Auto().Acquiring());
  ASSERT_EQ(form_->meeting().selectedRaceFile.filename(), Utf8Path("2024年01月06日.jvRA"));
  clock_.Set({2024, 1, 6, 9, 30, 0});
  form_->Timer4Timer();
  EXPECT_TRUE(Auto().Acquiring());
  EXPECT_TRUE(form_->acquisition().sessionOpen);
  EXPECT_EQ(jv_.Count("JVCancel"), 0);
  EXPECT_EQ(jv_.Count("JVRTOpen"), 0);
  Part<QAction>(*form_, "AutoWatchItem")->trigger();  // off: the download is ended
  EXPECT_EQ(jv_.Count("JVCancel"), 1);
}

}  // namespace
}  // namespace tavolen
