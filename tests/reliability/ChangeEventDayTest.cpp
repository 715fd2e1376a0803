// The demo race day with JV-Link's change events, in one process: the main window offscreen, the
// stand-in serving its demo day, the real file system and one fake clock stepped second by
// second. Every change is announced within 2 seconds of falling due, each exactly once, with the
// check timer still ticking every five minutes, and the files at the end of the day are
// byte-identical to a day with the events switched off. A second test measures the time from a
// change falling due to its notification with the program's own event timer running.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

#include "acquire/GetDataUnit.h"
#include "app/Main.h"
#include "base/Widgets.h"
#include "changes/AnnouncementMemory.h"
#include "changes/ChangeEvaluation.h"
#include "changes/henkoUnit.h"
#include "jvlink/ChangeFiles.h"
#include "jvlink/TextLines.h"
#include "standin/DemoDay.h"
#include "standin/StandIn.h"
#include "tests/reliability/RaceDayParts.h"
#include "tests/reliability/ReliabilityFiles.h"
#include "tests/support/MainParts.h"
#include "tests/support/MainWindow.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"

namespace tavolen {
namespace {

using namespace tavolen::reliability;

const LocalDateTime kDay{2024, 1, 6, 7, 0, 0};

// The moment "0B14" first serves a change record: its announcement minute or its file's time,
// whichever is later (the day's initial states come with their file).
std::string FirstServed(const std::string& record, const std::string& published) {
  const std::string stamp = ChangeStampOf(record);
  if (stamp == "00000000") return published;
  return std::max(record.substr(11, 4) + stamp + "00", published);
}

// The main window on the stand-in's demo day, acquired at 07:00 and showing today.
class EventDay {
 public:
  EventDay(const std::string& name, bool events)
      : app_(FreshApp(name)), clock_(kDay), standin_(clock_, StandInOptions{app_ / "standin", 0}) {
    fs::create_directories(app_ / "standin" / std::string(kStandInDemoFolderName));
    EXPECT_TRUE(WriteDemoDay(app_ / "standin" / std::string(kStandInDemoFolderName), kDay));
    if (!events) {
      EXPECT_TRUE(WriteFileBytes(app_ / "Tavolen.ini", "[Time]\r\nChangeEvents=0\r\n"));
    }
    auto runModal = [this](QDialog& dialog) {
      auto* form = qobject_cast<TGetDataForm*>(&dialog);
      if (!form) return 0;
      form->ButtonStartClick();
      for (int i = 0; i < 10000 && desktop_.Count("error") == 0; ++i) {
        const auto infos = desktop_.Of("info");
        if (!infos.empty() && infos.back().text == Sj("データ作成が完了しました。")) break;
        form->TimerJVStatusTimer();
        QCoreApplication::processEvents();
      }
      form->done(QDialog::Accepted);
      return 0;
    };
    form_ = std::make_unique<TMainForm>(
        testsupport::TestDeps(app_, desktop_, clock_, standin_, runModal));
    henko_ = std::make_unique<THenkoForm>(form_->SettingsFile(), &desktop_);
    form_->SetChangeWindow(henko_.get());
    form_->show();
    form_->J1Click();
    const int at = testsupport::Parts(*form_).DateCombo->findText(Qs(DateKey(kDay)));
    EXPECT_GE(at, 0);
    testsupport::Parts(*form_).DateCombo->setCurrentIndex(at);
    form_->DateComboChange();
    EXPECT_TRUE(testsupport::CheckTimer(*form_)->isActive());
    // The program's own timers would tick by the real clock: the test drives both.
    testsupport::Part<QTimer>(*form_, "ChangeEventTimer")->stop();
    startLog_ = ReadFileBytes(ErrorLogPath());
    desktop_.Clear();
  }
  ~EventDay() {
    henko_.reset();
    form_.reset();
  }

  fs::path ErrorLogPath() const { return app_ / "ErrorLog.txt"; }
  fs::path Data() const { return app_ / "Data"; }
  std::map<std::string, std::string> DataFiles() const {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(Data()))
      out[e.path().filename().string()] = ReadFileBytes(e.path());
    return out;
  }
  // The identities the day's memory file holds.
  std::set<std::string> Announced() const {
    const fs::path memory = AnnouncedFilePath(form_->meeting().selectedRaceFile);
    if (!fs::exists(memory)) return {};
    const auto ids = ParseAnnouncedFile(ReadFileBytes(memory));
    EXPECT_TRUE(ids.has_value());
    return ids ? std::set<std::string>(ids->begin(), ids->end()) : std::set<std::string>();
  }

  fs::path app_;
  FakeClock clock_;
  StandInJVLink standin_;
  RecordingDesktop desktop_;
  std::unique_ptr<TMainForm> form_;
  std::unique_ptr<THenkoForm> henko_;
  std::string startLog_;
};

TEST(ChangeEventDay, EveryChangeAnnouncedWithinTwoSecondsOnceAndTheFilesAsWithoutEvents) {
  testsupport::EnsureApplication("tavolen_raceday_tests");
  const DemoFeed feed = DemoFeedOf(kDay);
  // Every change record of the day: when it falls due and its identity.
  std::map<std::string, std::string> dueOf;  // identity -> first served
  for (size_t i = 0; i < feed.changes.size(); ++i) {
    const std::string& r = feed.changes[i];
    const auto type = ChangeTypeOf(r);
    if (!type) continue;
    const std::string id = ChangeIdentity(*type, r.substr(0, r.size() - 2));
    const std::string due = FirstServed(r, feed.published[i]);
    auto [it, added] = dueOf.emplace(id, due);
    if (!added) it->second = std::min(it->second, due);
  }
  ASSERT_GE(dueOf.size(), 10u);

  EventDay withEvents("event-day", true);
  EventDay withoutEvents("event-day-off", false);
  std::map<std::string, LocalDateTime> announcedAt;
  std::set<std::string> before;
  int ticks = 0, balloons = 0, lateSeconds = 0, eventAnnounced = 0;
  for (LocalDateTime t = kDay; FormatHhnn(t) <= "1730"; t = t.AddSeconds(1)) {
    withEvents.clock_.Set(t);
    withEvents.desktop_.Clear();
    const bool tick = t.second == 0 && t.minute % 5 == 0;
    if (tick) {
      withEvents.form_->Timer4Timer();
      ++ticks;
      withoutEvents.clock_.Set(t);
      withoutEvents.form_->Timer4Timer();
      testsupport::Events(*withoutEvents.form_).Poll();
    }
    testsupport::Events(*withEvents.form_).Poll();
    const int shown = withEvents.desktop_.Count("balloon");
    if (shown == 0) continue;
    const std::set<std::string> now = withEvents.Announced();
    std::vector<std::string> fresh;
    std::set_difference(now.begin(), now.end(), before.begin(), before.end(),
                        std::back_inserter(fresh));
    // One notification exactly when something not told before is announced.
    EXPECT_EQ(shown, 1) << FormatCompactDateTime(t);
    EXPECT_FALSE(fresh.empty()) << "told again at " << FormatCompactDateTime(t);
    for (const std::string& id : fresh) announcedAt[id] = t;
    balloons += shown;
    before = now;
  }
  // Every change of the day, each within 2 seconds of falling due (those due before the watch
  // began with the first check after the schedule's start).
  const std::string watchFrom = FormatCompactDateTime(kDay);
  for (const auto& [id, due] : dueOf) {
    auto at = announcedAt.find(id);
    ASSERT_NE(at, announcedAt.end()) << "never announced: " << id.substr(0, 40);
    if (due <= watchFrom) continue;
    LocalDateTime dueTime;
    ASSERT_TRUE(ParseCompactDateTime(due, dueTime));
    EXPECT_GE(at->second, dueTime) << id.substr(0, 40);
    EXPECT_LE(at->second, dueTime.AddSeconds(2)) << id.substr(0, 40) << " due " << due;
    for (LocalDateTime d = dueTime; d < at->second; d = d.AddSeconds(1)) ++lateSeconds;
    ++eventAnnounced;
  }
  EXPECT_EQ(announcedAt.size(), dueOf.size());
  EXPECT_GE(testsupport::Events(*withEvents.form_).fetched(), eventAnnounced / 2);
  EXPECT_TRUE(testsupport::Events(*withEvents.form_).watching());
  EXPECT_FALSE(testsupport::Events(*withoutEvents.form_).watching());
  std::printf(
      "change events: %d changes announced by their events, %d seconds late in all (fake "
      "clock, 1 s steps); %d notifications, %d timer checks, %d announcements fetched\n",
      eventAnnounced, lateSeconds, balloons, ticks,
      testsupport::Events(*withEvents.form_).fetched());

  // The day's files are those of a day without events, byte for byte.
  const auto filesOn = withEvents.DataFiles(), filesOff = withoutEvents.DataFiles();
  ASSERT_EQ(filesOn.size(), filesOff.size());
  for (const auto& [name, bytes] : filesOn) {
    ASSERT_TRUE(filesOff.count(name)) << name;
    EXPECT_TRUE(bytes == filesOff.at(name)) << name;
  }
  // The error log: nothing with the events; the day without them says why, once.
  EXPECT_EQ(ReadFileBytes(withEvents.ErrorLogPath()), withEvents.startLog_);
  const Lines offLog = SplitLines(
      ReadFileBytes(withoutEvents.ErrorLogPath()).substr(withoutEvents.startLog_.size()));
  ASSERT_EQ(offLog.size(), 1u);
  EXPECT_NE(offLog[0].find(Sj("変更通知は設定で使わないことになっています。")), std::string::npos);
  EXPECT_EQ(withEvents.desktop_.Count("error"), 0);
}

// A component without events, and one whose event names a key it refuses: the day goes on as
// without events, and the error log says why once.
TEST(ChangeEventDay, WithoutEventsOrWithAFailingKeyTheDayRunsAsWithoutEventsAndTheLogSaysWhyOnce) {
  testsupport::EnsureApplication("tavolen_raceday_tests");
  EventDay absent("event-day-absent", true), failing("event-day-failing", true),
      off("event-day-off2", false);
  const fs::path demo = std::string(kStandInDemoFolderName);
  ASSERT_TRUE(WriteFileBytes(absent.app_ / "standin" / demo / "events.txt", "off\n"));
  ASSERT_TRUE(WriteFileBytes(failing.app_ / "standin" / demo / "events.txt",
                             "20240106083000 JVEvtAvoid AVbroken\n"
                             "20240106083100 JVEvtTimeChange TCbroken\n"));
  int failingBalloons = 0;
  for (LocalDateTime t = kDay; FormatHhnn(t) <= "1200"; t = t.AddSeconds(5)) {
    for (EventDay* d : {&absent, &failing, &off}) {
      d->clock_.Set(t);
      d->desktop_.Clear();
      if (t.second == 0 && t.minute % 5 == 0) d->form_->Timer4Timer();
      testsupport::Events(*d->form_).Poll();
    }
    failingBalloons += failing.desktop_.Count("balloon");
  }
  EXPECT_GT(failingBalloons, 0);
  EXPECT_GT(testsupport::Events(*failing.form_).fetched(), 0)
      << "the events went on after the failure";
  EXPECT_FALSE(testsupport::Events(*absent.form_).watching());
  const auto tail = [](EventDay& d) {
    return SplitLines(ReadFileBytes(d.ErrorLogPath()).substr(d.startLog_.size()));
  };
  const Lines absentLog = tail(absent), failingLog = tail(failing);
  ASSERT_EQ(absentLog.size(), 1u);
  EXPECT_NE(absentLog[0].find(Sj("このJV-Linkは変更通知に対応していません。")), std::string::npos);
  ASSERT_EQ(failingLog.size(), 1u);
  // The day's first event ran the whole check; the second one's key was tried and refused.
  EXPECT_NE(failingLog[0].find(Sj("変更通知の情報を取得できませんでした（キー TCbroken）")),
            std::string::npos);
  // At the next tick the three days hold the same files.
  for (EventDay* d : {&absent, &failing, &off}) {
    d->clock_.Set({2024, 1, 6, 12, 5, 0});
    d->form_->Timer4Timer();
  }
  const auto reference = off.DataFiles();
  for (EventDay* d : {&absent, &failing}) {
    const auto files = d->DataFiles();
    ASSERT_EQ(files.size(), reference.size());
    for (const auto& [name, bytes] : files) EXPECT_TRUE(bytes == reference.at(name)) << name;
  }
}

TEST(ChangeEventDay, TimeFromFallingDueToTheNotificationInProcess) {
  testsupport::EnsureApplication("tavolen_raceday_tests");
  EventDay day("event-latency", true);
  QTimer* eventTimer = testsupport::Part<QTimer>(*day.form_, "ChangeEventTimer");
  ASSERT_NE(eventTimer, nullptr);
  // The first check of the day tells what was there before; then the day's announcements.
  day.clock_.Set({2024, 1, 6, 8, 50, 0});
  day.form_->Timer4Timer();
  testsupport::Events(*day.form_).Poll();
  ASSERT_TRUE(testsupport::Events(*day.form_).watching());
  std::vector<std::string> dues;
  for (const StandInAnnouncement& a : ListAnnouncements([&] {
         std::vector<FeedFile> files;
         for (const FeedEntry& e : ListFeed(day.standin_.FeedFolder())) {
           FeedFile f;
           if (ReadFeedFile(e, f) && f.kind == FeedKind::Change) files.push_back(std::move(f));
         }
         return files;
       }()))
    if (a.due > "20240106085000" && (dues.empty() || dues.back() != a.due)) dues.push_back(a.due);
  ASSERT_GE(dues.size(), 5u);
  dues.resize(5);

  eventTimer->start(ChangeEvents::kPollMs);
  std::vector<double> ms;
  for (const std::string& due : dues) {
    LocalDateTime t;
    ASSERT_TRUE(ParseCompactDateTime(due, t));
    day.clock_.Set(t.AddSeconds(-1));
    testsupport::Events(*day.form_).Poll();
    day.desktop_.Clear();
    // The change falls due now; the program's timer does the rest.
    const auto start = std::chrono::steady_clock::now();
    day.clock_.Set(t);
    while (day.desktop_.Count("balloon") == 0 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
    EXPECT_EQ(day.desktop_.Count("balloon"), 1) << due;
    EXPECT_LT(ms.back(), 2000.0) << due;
  }
  std::sort(ms.begin(), ms.end());
  std::printf(
      "change event to notification, in process: %zu changes, min %.0f ms, median %.0f ms, "
      "max %.0f ms (poll every %d ms)\n",
      ms.size(), ms.front(), ms[ms.size() / 2], ms.back(), ChangeEvents::kPollMs);
}

}  // namespace
}  // namespace tavolen
