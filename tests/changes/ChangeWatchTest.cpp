// The change watch on its own, without a main window: the scripted JV-Link, the recording
// desktop, a fake clock and real files. What it says it does, what it emits, and a check that
// never runs inside another.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTimer>

#include "changes/ChangeWatch.h"
#include "jvlink/JVEvents.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/RaceFiles.h"
#include "tests/changes/ChangeDay.h"
#include "tests/support/EventingJVLink.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedJVLink.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

// The sessions of the change fetch: a check also fetches the day's weights ("0B11") and results
// ("0B12") once the day's races are near.
int ChangeOpens(const ScriptedJVLink& jv) {
  int n = 0;
  for (const auto& c : jv.calls)
    n += c.op == "JVRTOpen" && c.args.at(0) != "0B11" && c.args.at(0) != "0B12";
  return n;
}

class Watch : public ChangeDayTest {
 protected:
  Watch() : ChangeDayTest("changes/watch") {}

  void SetUp() override {
    EnsureApplication("tavolen_changes_ui_tests");
    ChangeDayTest::SetUp();
    jv_.scriptLive = true;  // these tests see the weights' and results' sessions too
    log_ = std::make_unique<ErrorLog>(data_.parent_path(), clock_);
    watch_ = std::make_unique<ChangeWatch>(jv_, data_, *log_, desktop_, clock_);
  }

  // The day of 2024-01-05 as the main window tells it: 中山 1R and 2R, the first at postTime.
  WatchedDay Today(const std::string& postTime = "0950") {
    WatchedDay day;
    day.dateKey = Sj("2024年01月05日");
    day.raceFile = raceFile_;
    day.raceTable = {RaRecord(kNakayama, "01", postTime), RaRecord(kNakayama, "02", "1020")};
    day.selectedRace = 0;
    return day;
  }
  void At(int day, int hour, int minute) { clock_.Set({2024, 1, day, hour, minute, 0}); }
  int Balloons() const { return desktop_.Count("balloon"); }

  FakeClock clock_{LocalDateTime{2024, 1, 5, 2, 10, 0}};
  ScriptedJVLink jv_;
  RecordingDesktop desktop_;
  std::unique_ptr<ErrorLog> log_;
  std::unique_ptr<ChangeWatch> watch_;
};

TEST_F(Watch, SaysFromTheStartWhatItDoesAndWhy) {
  EXPECT_EQ(watch_->State(), Sj("本日の開催日を選ぶと変更情報の確認を始めます"));

  QSignalSpy status(watch_.get(), &ChangeWatch::statusChanged);
  watch_->SetDay(Today());
  // One hour plus one interval before the first post time.
  EXPECT_EQ(watch_->State(), Sj("変更情報の確認は 08:45 から（中山1R 09:50発走）"));
  EXPECT_EQ(status.count(), 1);
  EXPECT_TRUE(watch_->CheckTimer()->isActive());
  EXPECT_EQ(watch_->CheckTimer()->interval(), 5 * 60000);

  // A tick before the start fetches nothing and says the same.
  At(5, 8, 45);
  watch_->Tick();
  EXPECT_TRUE(jv_.calls.empty());
  EXPECT_EQ(watch_->State(), Sj("変更情報の確認は 08:45 から（中山1R 09:50発走）"));

  // Past the start, before the first check: the time of the next tick.
  At(5, 9, 0);
  WatchedDay later = Today();
  later.checkInterval = 10;
  watch_->SetDay(later);
  EXPECT_EQ(watch_->State(), Sj("変更情報の確認は 09:10 から"));

  // Another day is not watched; neither is a day without races.
  WatchedDay other = Today();
  other.dateKey = Sj("2024年01月04日");
  watch_->SetDay(other);
  EXPECT_FALSE(watch_->CheckTimer()->isActive());
  EXPECT_EQ(watch_->State(), Sj("2024年01月04日は本日ではないため、変更情報は確認しません"));
  WatchedDay empty = Today();
  empty.raceTable.clear();
  watch_->SetDay(empty);
  EXPECT_EQ(watch_->State(), Sj("この開催日にはレースがないため、変更情報は確認しません"));
  watch_->Tick();
  EXPECT_TRUE(jv_.calls.empty());
}

TEST_F(Watch, ACheckEmitsListsAndNewsOnceAndTellsTheNextCheck) {
  watch_->SetDay(Today());
  QSignalSpy lists(watch_.get(), &ChangeWatch::listsChanged);
  QSignalSpy news(watch_.get(), &ChangeWatch::news);
  At(5, 9, 3);
  jv_.QueueRecord(AvRecord(kNakayama, "01", "01050902", "05", "テスト"));
  watch_->Tick();
  // The change session, then the day's weights and results, each a session of its own.
  EXPECT_EQ(jv_.Ops(),
            (std::vector<std::string>{"JVRTOpen", "JVRead", "JVRead", "JVClose", "JVRTOpen",
                                      "JVRead", "JVClose", "JVRTOpen", "JVRead", "JVClose"}));
  EXPECT_EQ(jv_.calls[4].args, (std::vector<std::string>{"0B11", "20240105"}));
  EXPECT_EQ(jv_.calls[7].args, (std::vector<std::string>{"0B12", "20240105"}));
  ASSERT_EQ(lists.count(), 1);
  EXPECT_EQ(lists[0][0].value<ChangeLists>()[1].size(), 1u);
  ASSERT_EQ(news.count(), 1);
  EXPECT_EQ(news[0][0].value<SjisString>(),
            Sj("本日の開催で変更情報が発生しました。\r\n[取消除外]更新時刻：01/05 09:02\r\n"));
  EXPECT_EQ(watch_->State(), Sj("最終確認 09:03"));
  EXPECT_EQ(watch_->Detail(), Sj("次回 09:08"));
  EXPECT_EQ(desktop_.Count("beep"), 0);  // an automatic check closes silently

  // The same records again: evaluated, nothing new.
  At(5, 9, 8);
  jv_.QueueRecord(AvRecord(kNakayama, "01", "01050902", "05", "テスト"));
  EXPECT_TRUE(watch_->CheckNow(false));
  EXPECT_EQ(lists.count(), 2);
  EXPECT_EQ(news.count(), 1);
  EXPECT_EQ(desktop_.Count("beep"), 1);  // asked for by hand
}

TEST_F(Watch, ACheckAskedForDuringACheckDoesNothing) {
  watch_->SetDay(Today());
  At(5, 9, 30);
  jv_.QueueRecord(AvRecord(kNakayama, "01", "01050902", "05", "テスト"));
  bool inner = true;
  jv_.onCall = [&](const std::string& op) {
    if (op == "JVRead" && jv_.Count("JVRead") == 1) {
      inner = watch_->CheckNow(false);
      watch_->Tick();  // a tick that comes while the read loop lets messages run
    }
  };
  EXPECT_TRUE(watch_->CheckNow(true));
  EXPECT_FALSE(inner);
  EXPECT_EQ(ChangeOpens(jv_), 1);
  EXPECT_EQ(jv_.Count("JVClose"), jv_.Count("JVRTOpen"));
  EXPECT_EQ(Balloons(), 0);  // the news went out as a signal; the watch shows no balloon
}

TEST_F(Watch, AFailedCheckSaysWhenAndWhy) {
  watch_->SetDay(Today());
  At(5, 9, 28);
  watch_->Tick();
  At(5, 9, 33);
  jv_.QueueRead(-402);
  watch_->Tick();
  EXPECT_EQ(watch_->State(), Sj("確認失敗 09:33（最終確認 09:28）"));
  const SjisString reason = JVResultMessage("JVRead", -402);
  EXPECT_EQ(watch_->Detail(), reason + Sj("　次回 09:38"));

  // A change file that cannot be read fails the check with the error box's text.
  At(5, 9, 38);
  fs::create_directories(File(".jvAV"));  // a folder where the file should be
  watch_->Tick();
  EXPECT_EQ(desktop_.Count("error"), 1);
  EXPECT_TRUE(watch_->State().starts_with(Sj("確認失敗 09:38")));
  EXPECT_FALSE(watch_->Detail().starts_with(Sj("次回")));  // the reason comes first
  EXPECT_TRUE(watch_->Detail().ends_with(Sj("　次回 09:43")));
}

// The date change itself is followed elsewhere (automation/), at the start of the tick; the
// watch only leaves a day that has ended alone.
TEST_F(Watch, AnEndedDayIsCheckedNoMoreAndTheDateFollowGoesFirst) {
  watch_->SetDay(Today());
  At(5, 23, 55);
  watch_->Tick();
  EXPECT_TRUE(watch_->WatchedAsToday(Sj("2024年01月05日")));
  At(6, 9, 30);
  watch_->Tick();
  watch_->Tick();
  EXPECT_EQ(ChangeOpens(jv_), 1);  // the finished day is not fetched
  EXPECT_EQ(watch_->Detail().find(Sj("次回")), std::string::npos);
  watch_->SetDayMissing(Sj("2024年01月06日"));
  EXPECT_TRUE(watch_->State().starts_with(Sj("2024年01月06日のレースデータがありません。")));

  // A day set by the follow at the start of the tick is the one the tick checks.
  ASSERT_TRUE(
      StoreRaRecord(data_, RaRecord(Day{"20240106", "06", "01", "02"}, "01", "0950")).stored());
  QObject::connect(watch_.get(), &ChangeWatch::tickStarted, watch_.get(), [this] {
    if (watch_->WatchedDate() == Sj("2024年01月06日")) return;
    WatchedDay next = Today();
    next.dateKey = Sj("2024年01月06日");
    next.raceFile = data_ / Utf8Path("2024年01月06日.jvRA");
    next.raceTable = {RaRecord(Day{"20240106", "06", "01", "02"}, "01", "0950")};
    watch_->SetDay(next);
  });
  watch_->Tick();
  EXPECT_EQ(ChangeOpens(jv_), 2);
  EXPECT_FALSE(watch_->State().starts_with(Sj("2024年01月06日のレースデータがありません。")));
}

// With the automation choosing and fetching the days, the watch never asks the user to.
TEST_F(Watch, DaysChosenByItselfLeaveOutTheHintsToActByHand) {
  watch_->SetDaysChosenByItself(true);
  EXPECT_TRUE(watch_->State().empty());
  watch_->SetDay(Today());
  At(5, 23, 55);
  watch_->Tick();
  At(6, 0, 5);
  watch_->Tick();
  EXPECT_TRUE(watch_->State().empty()) << SjisToUtf8(watch_->State());
  // Switched off, the hint to fetch the new day by hand is shown once the day is said missing.
  watch_->SetDaysChosenByItself(false);
  watch_->SetDayMissing(Sj("2024年01月06日"));
  EXPECT_TRUE(watch_->State().starts_with(Sj("2024年01月06日のレースデータがありません。")));
}

class WatchEvents : public Watch {
 protected:
  void SetUp() override {
    Watch::SetUp();
    events_ = std::make_unique<ChangeWatch>(ev_, data_, *log_, desktop_, clock_);
  }
  void TearDown() override { events_.reset(); }

  EventingJVLink ev_;
  std::unique_ptr<ChangeWatch> events_;
};

TEST_F(WatchEvents, TheWatchPollsItsEventsAndAnnouncesThemThroughItsNewsOnce) {
  auto* poll = events_->findChild<QTimer*>(QStringLiteral("ChangeEventTimer"));
  ASSERT_NE(poll, nullptr);
  EXPECT_TRUE(poll->isActive());
  EXPECT_EQ(poll->interval(), ChangeEvents::kPollMs);

  // No watched day yet: the events wait.
  At(5, 9, 30);
  events_->Events().Poll();
  EXPECT_EQ(ev_.Count("JVWatchEvent"), 0);
  events_->SetDay(Today());
  events_->Events().Poll();
  EXPECT_TRUE(events_->Events().watching());
  EXPECT_EQ(ev_.Count("JVWatchEvent"), 1);

  QSignalSpy news(events_.get(), &ChangeWatch::news);
  QSignalSpy checked(events_.get(), &ChangeWatch::checked);
  // The day's first event runs the watch's whole check.
  ev_.QueueRecord(AvRecord(kNakayama, "01", "01050929", "05", "テスト"));
  ev_.pending = {{JVEvent::Avoid, "AV20240105060120240105092900"}};
  events_->Events().Poll();
  EXPECT_EQ(ChangeOpens(ev_), 1);
  EXPECT_TRUE(ev_.Announcements().empty());
  ASSERT_EQ(news.count(), 1);
  EXPECT_EQ(checked.count(), 1);
  EXPECT_EQ(events_->State(), Sj("最終確認 09:30"));

  // The next one fetches its announcement and goes through the same evaluation and news.
  At(5, 9, 31);
  ev_.QueueRecord(AvRecord(kNakayama, "02", "01050931", "07", "テスト"));
  ev_.pending = {{JVEvent::Avoid, "AV20240105060220240105093100"}};
  events_->Events().Poll();
  EXPECT_EQ(ev_.Announcements(), std::vector<std::string>{"AV20240105060220240105093100"});
  ASSERT_EQ(news.count(), 2);
  EXPECT_NE(news[1][0].value<SjisString>().find(Sj("01/05 09:31")), std::string::npos);
  EXPECT_EQ(checked.count(), 2);

  // The timer's next check finds the same changes: nothing is announced twice.
  At(5, 9, 35);
  ev_.QueueRecord(AvRecord(kNakayama, "01", "01050929", "05", "テスト"));
  ev_.QueueRecord(AvRecord(kNakayama, "02", "01050931", "07", "テスト"));
  events_->Tick();
  EXPECT_EQ(ChangeOpens(ev_), 3);
  EXPECT_EQ(news.count(), 2);
  EXPECT_EQ(Balloons(), 0);  // the watch only emits; the window shows
}

TEST_F(WatchEvents, AnEventWaitsWhileTheAcquisitionHoldsJVLinkOrACheckRuns) {
  At(5, 9, 30);
  events_->SetDay(Today());
  events_->Events().Poll();
  ev_.QueueRecord(AvRecord(kNakayama, "01", "01050929", "05", "テスト"));
  ev_.pending = {{JVEvent::Avoid, "AV20240105060120240105092900"}};
  events_->Events().Poll();  // the day's check
  ASSERT_EQ(ChangeOpens(ev_), 1);

  bool held = true;
  events_->SetSessionHeldElsewhere([&held] { return held; });
  ev_.QueueRecord(AvRecord(kNakayama, "02", "01050931", "07", "テスト"));
  ev_.pending = {{JVEvent::Avoid, "AV20240105060220240105093100"}};
  events_->Events().Poll();
  EXPECT_EQ(ChangeOpens(ev_), 1);
  EXPECT_EQ(events_->Events().queued(), 1u);
  held = false;

  // During a check (its fetch lets the program's messages run) the events wait for it.
  int polls = 0;
  ev_.onCall = [&](const std::string& op) {
    if (op == "JVRTOpen" && polls++ == 0) {
      events_->Events().Poll();
      EXPECT_EQ(ev_.Announcements().size(), 0u) << "fetched inside the check";
    }
  };
  EXPECT_TRUE(events_->CheckNow(false));
  ev_.onCall = nullptr;
  EXPECT_EQ(ChangeOpens(ev_), 2);
  events_->Events().Poll();
  EXPECT_EQ(ev_.Announcements(), std::vector<std::string>{"AV20240105060220240105093100"});
  EXPECT_EQ(events_->Events().queued(), 0u);
}

TEST_F(WatchEvents, SwitchedOffTheWatchNeverStartsThem) {
  ChangeWatch off(ev_, data_, *log_, desktop_, clock_, nullptr, false);
  At(5, 9, 30);
  off.SetDay(Today());
  off.Events().Poll();
  EXPECT_FALSE(off.Events().watching());
  EXPECT_EQ(ev_.Count("JVWatchEvent"), 0);
}

}  // namespace
}  // namespace tavolen
