// The two race weekends of RaceWeekTest with faults at chosen moments, still without a click:
// the service in maintenance at a date change, a download that stalls, a race-data session that
// breaks off, a change file that cannot be written for half an hour, the clock jumping two hours
// as after a sleep, an earlier date chosen by hand before a race day's first check, and the
// component lost in the middle of a race day with JVInit failing for an hour after it. Every
// change of every race day is announced exactly once, no box of ours is shown, the error log
// has one line per failed step (not per timer turn) and says when each step works again, each
// day ends complete and no session is left open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "acquire/GetDataUnit.h"
#include "app/Main.h"
#include "automation/AutoWatch.h"
#include "base/SettingsKeys.h"
#include "changes/henkoUnit.h"
#include "jvlink/DateFiles.h"
#include "standin/StandIn.h"
#include "tests/reliability/RaceDayParts.h"
#include "tests/reliability/RaceWeek.h"
#include "tests/reliability/ReliabilityFiles.h"
#include "tests/support/FakeClockAutomation.h"
#include "tests/support/MainParts.h"
#include "tests/support/MainWindow.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"

namespace tavolen {
namespace {

using namespace tavolen::reliability;
using testsupport::Part;
using testsupport::Parts;

// The faults, each at its moment.
const LocalDateTime kMaintenanceAt{2024, 1, 7, 23, 55, 0};  // JVOpen -504 at Monday 00:00
const LocalDateTime kStallAt{2024, 1, 12, 0, 0, 0};         // Saturday's race data, stalled
const LocalDateTime kBreakFrom{2024, 1, 13, 23, 55, 0};     // JVRead -402 after 30 records
const LocalDateTime kBreakUntil{2024, 1, 14, 0, 5, 0};
const LocalDateTime kUnwritableFrom{2024, 1, 6, 10, 0, 0};  // the change files are folders
const LocalDateTime kUnwritableUntil{2024, 1, 6, 10, 30, 0};
const LocalDateTime kSleepFrom{2024, 1, 7, 9, 0, 0};  // the computer sleeps until 11:00
const LocalDateTime kSleepUntil{2024, 1, 7, 11, 0, 0};
const LocalDateTime kChosenAt{2024, 1, 13, 7, 30, 0};  // last Sunday's card chosen by hand
const LocalDateTime kLoseAt{2024, 1, 14, 9, 0, 0};     // the component lost, JVInit -103
const LocalDateTime kInitBackAt{2024, 1, 14, 10, 0, 0};

// The change files of a day put out of reach (a folder where each file is) and back.
void BlockChangeFiles(const fs::path& data, const SjisString& day, bool block) {
  for (const char* ext : {".jvWE", ".jvAV", ".jvJC", ".jvTC", ".jvCC"}) {
    const fs::path file = data / SjisPath(day + ext);
    const fs::path aside = data / SjisPath(day + ext + ".aside");
    if (block) {
      if (fs::exists(file)) fs::rename(file, aside);
      fs::create_directories(file);
    } else {
      fs::remove_all(file);
      if (fs::exists(aside)) fs::rename(aside, file);
    }
  }
}

TEST(FaultyWeek, EveryFaultEndsWithTheDayCompleteAndEveryChangeAnnouncedOnce) {
  testsupport::EnsureApplication("tavolen_raceweek_tests");
  const auto wallStart = std::chrono::steady_clock::now();
  const fs::path app = FreshApp("faultyweek");
  const fs::path data = app / "Data";
  const fs::path standinFolder = app / "standin";
  const fs::path feed = app / "feed";
  fs::create_directories(feed);
  ASSERT_TRUE(SaveStandInSettings(standinFolder, StandInSettings{"", feed}));
  std::vector<std::string> raceRecords;
  std::map<SjisString, std::set<std::string>> changeIds;
  const std::vector<WeekFile> files = Fortnight(raceRecords, changeIds);
  std::set<std::string> published;
  const auto publish = [&](const LocalDateTime& now) {
    for (const WeekFile& f : files) {
      if (f.stamp <= FormatCompactDateTime(now) && published.insert(f.name).second) {
        ASSERT_TRUE(WriteFileBytes(feed / f.name, f.bytes));
      }
    }
  };

  FakeClock clock(kStart);
  publish(kStart);
  StandInJVLink standin(clock, StandInOptions{standinFolder, 0});
  WeekJVLink jv(standin, clock);
  jv.stallAt = kStallAt;
  jv.loseAt = kLoseAt;
  jv.initFailsFrom = kLoseAt;
  jv.initFailsUntil = kInitBackAt;
  RecordingDesktop desktop;
  ASSERT_TRUE(WriteFileBytes(app / "Tavolen.ini", "[Auto]\r\nwatch=1\r\n"));
  int modals = 0;
  TMainForm form(testsupport::TestDeps(app, desktop, clock, jv, [&](QDialog&) {
    ++modals;
    return 0;
  }));
  THenkoForm henko(form.SettingsFile(), &desktop);
  form.SetChangeWindow(&henko);
  form.show();
  AutoWatch& automation = testsupport::AutomationByFakeClock(form);
  const ChangeWatch& watch = *Part<ChangeWatch>(form, "ChangeWatch");
  const Lines startLog = SplitLines(ReadFileBytes(app / "ErrorLog.txt"));
  ASSERT_TRUE(testsupport::FinishAcquisition(automation, 20000));

  std::map<SjisString, std::set<std::string>> announced;
  std::vector<std::string> faultsSeen;
  SjisString statusWhileChosen, statusWhileLost;
  size_t userBoxes = 0;
  int steps = 0;
  for (LocalDateTime t = kStart; t <= kEnd; t = t.AddSeconds(300)) {
    if (t == kSleepFrom) t = kSleepUntil;  // no tick of any timer in between
    ++steps;
    clock.Set(t);
    publish(t);
    const SjisString today = DateKey(t);
    if (t == kMaintenanceAt) {
      ASSERT_TRUE(WriteFileBytes(feed / "faults.txt", "JVOpen -504 times 1\r\n"));
    }
    if (t == kBreakFrom) {
      ASSERT_TRUE(WriteFileBytes(feed / "faults.txt", "JVRead -402 after 30\r\n"));
    }
    if (t == kBreakUntil) {
      ASSERT_TRUE(WriteFileBytes(feed / "faults.txt", "# none\r\n"));
    }
    if (t == kUnwritableFrom) BlockChangeFiles(data, today, true);
    if (t == kUnwritableUntil) BlockChangeFiles(data, today, false);
    if (t == kChosenAt) {
      // Last Sunday's card, chosen in the date list as a user chooses it.
      QComboBox* dates = Parts(form).DateCombo;
      const int at = dates->findText(Qs(DateKey(kRaceDays[1])));
      ASSERT_GE(at, 0);
      dates->setCurrentIndex(at);
      emit dates->activated(at);
      // The boxes of a card the user chose are the manual way's, not the automation's.
      userBoxes = desktop.Messages().size();
    }
    const size_t rtBefore = jv.rtOpens.size();
    const int newsBefore = static_cast<int>(desktop.notificationMore.size());
    automation.Tick();
    // A stalled download is ended by the tick ten minutes on: until then it runs on.
    const bool stalling = t >= kStallAt && t < kStallAt.AddSeconds(15 * 60);
    const bool finished = testsupport::FinishAcquisition(automation, stalling ? 200 : 20000);
    if (!stalling) {
      ASSERT_TRUE(finished) << FormatCompactDateTime(t);
    }
    if (testsupport::CheckTimer(form)->isActive()) form.Timer4Timer();
    testsupport::Events(form).Poll();
    QCoreApplication::processEvents();

    if (jv.rtOpens.size() > rtBefore) {
      // Every change fetch is of today's meeting, whatever the screen shows.
      ASSERT_TRUE(IsRaceDay(t)) << FormatCompactDateTime(t);
      EXPECT_EQ(watch.WatchedDate(), today) << FormatCompactDateTime(t);
    }
    if (t == kChosenAt.AddSeconds(3600)) {
      EXPECT_EQ(SjisOf(Parts(form).DateCombo->currentText()), DateKey(kRaceDays[1]));
      statusWhileChosen = SjisOf(Part<QLabel>(form, "WatchLabel")->text());
    }
    if (t == kLoseAt.AddSeconds(1800))
      statusWhileLost = SjisOf(Part<QLabel>(form, "AutoWatchLabel")->text());
    const int news = static_cast<int>(desktop.notificationMore.size()) - newsBefore;
    if (news > 0) {
      std::set<std::string> now;
      const fs::path memory =
          AnnouncedFilePath(data / SjisPath(DateFileName(today, kDayFileSuffix)));
      if (const auto ids = ParseAnnouncedFile(ReadFileBytes(memory)))
        now.insert(ids->begin(), ids->end());
      std::set<std::string>& before = announced[today];
      // Each notification brings changes not told before.
      EXPECT_GE(now.size(), before.size() + static_cast<size_t>(news)) << FormatCompactDateTime(t);
      EXPECT_TRUE(std::includes(now.begin(), now.end(), before.begin(), before.end()));
      before = now;
    }
    if (t.hour == 23 && t.minute == 55 && IsRaceDay(t)) {
      // By the end of each race day: every change announced, the day's race data complete.
      EXPECT_EQ(announced[today], changeIds[today]) << Utf8(today);
      EXPECT_FALSE(IniFile(form.SettingsFile()).Read(Settings::RaceDataIncomplete)) << Utf8(today);
    }
    if (::testing::Test::HasFatalFailure()) return;
  }
  const double wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();

  // Each fault happened.
  EXPECT_EQ(jv.stalls, 1);
  EXPECT_EQ(jv.losses, 1);
  EXPECT_GE(jv.failedInits, 6);
  // No box of ours, no click; everything fed is stored, every change announced.
  EXPECT_EQ(modals, 0);
  EXPECT_EQ(desktop.Messages().size(), userBoxes)
      << Utf8(desktop.Messages().empty() ? SjisString() : desktop.Messages().back());
  for (const auto& [name, bytes] : ExpectedRaceFiles(raceRecords))
    EXPECT_TRUE(ReadFileBytes(data / SjisPath(name)) == bytes) << Utf8(name);
  int changesAnnounced = 0;
  for (const LocalDateTime& d : kRaceDays) {
    EXPECT_EQ(announced[DateKey(d)], changeIds[DateKey(d)]) << Utf8(DateKey(d));
    changesAnnounced += static_cast<int>(announced[DateKey(d)].size());
  }
  // Today was watched behind the chosen date, and the status line said so; the lost
  // component's JVInit was said in the automation's status.
  EXPECT_TRUE(statusWhileChosen.starts_with(DateKey(kRaceDays[2]) + Sj("を監視中")))
      << Utf8(statusWhileChosen);
  EXPECT_TRUE(statusWhileLost.starts_with(Sj("JV-Linkを初期化できませんでした：JVInitエラー：")))
      << Utf8(statusWhileLost);

  // The error log: one line per failed step, one recovery line per run of failures.
  const AutomaticStep& acquire = automation.AcquisitionStep();
  const AutomaticStep& init = automation.InitStep();
  const AutomaticStep& check = watch.CheckStep();
  const Lines log = SplitLines(ReadFileBytes(app / "ErrorLog.txt"));
  const Lines after(log.begin() + static_cast<std::ptrdiff_t>(startLog.size()), log.end());
  int errors = 0, recovered = 0;
  for (const SjisString& l : after) {
    errors += l.starts_with(Sj("【エラー】"));
    recovered += l.find(Sj("は復旧しました")) != std::string::npos;
  }
  const int failures = acquire.failures() + init.failures() + check.failures();
  // The maintenance, the stall and the break-off; JVInit once per retry for an hour; the lost
  // component and the unwritable change files in the change check.
  EXPECT_EQ(acquire.failures(), 3);
  EXPECT_GE(init.failures(), 6);
  EXPECT_LE(init.failures(), 13);
  EXPECT_GE(check.failures(), 2);
  EXPECT_LE(check.failures(), 8);
  EXPECT_EQ(errors, failures);
  EXPECT_EQ(recovered, acquire.recoveries() + init.recoveries() + check.recoveries());
  EXPECT_EQ(acquire.recoveries(), 3);
  EXPECT_EQ(init.recoveries(), 1);
  EXPECT_GE(check.recoveries(), 1);
  EXPECT_FALSE(acquire.Failing() || init.Failing() || check.Failing());
  // One notification per run of failures and one per recovery.
  int stepNotes = 0;
  for (const auto& b : desktop.Of("balloon"))
    stepNotes += b.title == acquire.Name() || b.title == init.Name() || b.title == check.Name();
  EXPECT_EQ(stepNotes, acquire.notifications() + init.notifications() + check.notifications());
  EXPECT_EQ(stepNotes, 2 * (acquire.recoveries() + init.recoveries() + check.recoveries()));

  // Nothing left behind: every session closed, the last day complete.
  EXPECT_FALSE(form.acquisition().sessionOpen);
  EXPECT_FALSE(IniFile(form.SettingsFile()).Read(Settings::RaceDataIncomplete));
  EXPECT_EQ(jv.closes, static_cast<int>(jv.opens.size() + jv.rtOpens.size()) + jv.liveOpens);

  std::printf(
      "faulty week: %d steps; steps failed %d (race data %d, JVInit %d, change check %d), "
      "recoveries %d, error lines %d, notifications of the steps %d; %d changes announced; "
      "sessions %zu race-data, %zu change; wall time %.1f s\n",
      steps, failures, acquire.failures(), init.failures(), check.failures(), recovered, errors,
      stepNotes, changesAnnounced, jv.opens.size(), jv.rtOpens.size(), wallSeconds);
  for (const SjisString& l : after)
    if (l.starts_with(Sj("【エラー】")) || l.find(Sj("復旧")) != std::string::npos)
      std::printf("  %s\n", Utf8(l).c_str());
}

}  // namespace
}  // namespace tavolen
