// A whole race day in one process with the real parts: the main window offscreen, the stand-in
// serving its demo day, the real file system and one fake clock. The day is acquired through the
// acquisition window at 07:00, today is chosen, the check timer ticks every five minutes until
// 17:30, and the window goes to the tray and comes back. What a person would see is recorded.
//
// TAVOLEN_RACEDAY_END=hhnn ends the day early (a short run, e.g. under valgrind).
#include <gtest/gtest.h>

#include <QApplication>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "acquire/GetDataUnit.h"
#include "app/Main.h"
#include "base/Widgets.h"
#include "changes/ChangeSchedule.h"
#include "changes/henkoUnit.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/TextLines.h"
#include "standin/DemoDay.h"
#include "standin/StandIn.h"
#include "tests/reliability/RaceDayParts.h"
#include "tests/reliability/ReliabilityFiles.h"
#include "tests/support/MainWindow.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"

namespace tavolen {
namespace {

using testsupport::Parts;

using namespace tavolen::reliability;

std::string Utf8(const SjisString& s) {
  return Qs(s).toStdString();
}

const LocalDateTime kDay{2024, 1, 6, 0, 0, 0};
const char* const kLabels[] = {"[天候馬場]", "[取消除外]", "[騎手変更]", "[発走時刻]",
                               "[ｺｰｽ 変更]"};

TEST(RaceDay, AcquiredAnnouncedOnceAndOnTimeWithNothingLost) {
  testsupport::EnsureApplication("tavolen_raceday_tests");
  const fs::path app = FreshApp("raceday");
  const fs::path data = app / "Data";
  const fs::path standinFolder = app / "standin";
  const DemoFeed feed = DemoFeedOf(kDay);
  ASSERT_FALSE(feed.raceRecords.empty());
  ASSERT_FALSE(feed.changes.empty());
  fs::create_directories(standinFolder / std::string(kStandInDemoFolderName));
  ASSERT_TRUE(WriteDemoDay(standinFolder / std::string(kStandInDemoFolderName), kDay));

  int endHhnn = 1730;
  if (const char* e = std::getenv("TAVOLEN_RACEDAY_END"); e && *e) endHhnn = std::atoi(e);

  FakeClock clock(LocalDateTime{2024, 1, 6, 7, 0, 0});
  StandInJVLink standin(clock, StandInOptions{standinFolder, 0});
  CountingJVLink jv(standin);
  RecordingDesktop desktop;
  int acquisitions = 0;
  auto runModal = [&](QDialog& dialog) {
    auto* form = qobject_cast<TGetDataForm*>(&dialog);
    if (!form) return 0;
    ++acquisitions;
    form->ButtonStartClick();
    const SjisString done = Sj("データ作成が完了しました。");
    for (int i = 0; i < 10000 && desktop.Count("error") == 0; ++i) {
      const auto infos = desktop.Of("info");
      if (!infos.empty() && infos.back().text == done) break;
      form->TimerJVStatusTimer();
      QCoreApplication::processEvents();
    }
    form->done(QDialog::Accepted);
    return 0;
  };
  TMainForm form(testsupport::TestDeps(app, desktop, clock, jv, runModal));
  THenkoForm henko(form.SettingsFile(), &desktop);
  form.SetChangeWindow(&henko);
  form.show();  // JVInit
  const Lines startLog = SplitLines(ReadFileBytes(app / "ErrorLog.txt"));
  ASSERT_FALSE(startLog.empty());
  EXPECT_EQ(jv.inits, 1);
  EXPECT_EQ(Parts(form).DateCombo->count(), 0);

  // 07:00: the day's race data through the acquisition window.
  form.J1Click();
  ASSERT_EQ(acquisitions, 1);
  EXPECT_EQ(desktop.Count("error"), 0);
  // The start notice, then the end of the reading.
  ASSERT_EQ(desktop.Of("info").size(), 2u) << Utf8(desktop.Messages().back());
  EXPECT_TRUE(desktop.Of("info")[0].text.ends_with(
      Sj("以降のデータ取込を開始します。") + Sj("データ作成が終了するまで本ソフトを操作したり") +
      Sj("他のアプリケーションを操作することは極力避けてください。")));
  EXPECT_EQ(desktop.Of("info")[1].text, Sj("データ作成が完了しました。"));
  EXPECT_EQ(jv.opens, 1);
  EXPECT_EQ(jv.closes, jv.opens);  // the session was closed
  const std::map<std::string, std::string> expectedRaceFiles = ExpectedRaceFiles(feed.raceRecords);
  const auto checkRaceFiles = [&](const char* when) {
    for (const auto& [name, bytes] : expectedRaceFiles)
      EXPECT_TRUE(ReadFileBytes(data / SjisPath(name)) == bytes) << when << ": " << PathText(name);
  };
  checkRaceFiles("after the acquisition");

  // Today chosen in the date list: the race card and the check timer.
  const SjisString today = DateKey(kDay);
  const int at = Parts(form).DateCombo->findText(Qs(today));
  ASSERT_GE(at, 0);
  Parts(form).DateCombo->setCurrentIndex(at);
  form.DateComboChange();
  ASSERT_TRUE(testsupport::CheckTimer(form)->isActive());
  testsupport::CheckTimer(form)->stop();  // ticked by hand below
  ASSERT_EQ(form.meeting().checkInterval, 5);
  EXPECT_GT(Parts(form).DatList->count(), 0);
  const std::string start = CheckStart(Cut(form.meeting().raceTable[0], RA::PostTime), 5);
  const fs::path renew = data / SjisPath(today + ".renew");
  QCoreApplication::processEvents();
  desktop.Clear();
  const long startKb = ResidentKilobytes();

  std::array<std::string, 5> announced{};
  std::set<std::string> told;  // every record announced so far
  int balloons = 0, fetches = 0, ticks = 0;
  for (LocalDateTime t{2024, 1, 6, 7, 0, 0}; t.hour * 100 + t.minute <= endHhnn;
       t = t.AddSeconds(300)) {
    clock.Set(t);
    desktop.Clear();
    const int opensBefore = jv.rtOpens;
    form.Timer4Timer();
    QCoreApplication::processEvents();
    ++ticks;
    const bool fetched = FormatHhnn(t) > start;
    fetches += fetched;
    EXPECT_EQ(jv.rtOpens - opensBefore, fetched ? 1 : 0) << FormatHhnn(t);
    EXPECT_EQ(jv.closes, jv.opens + jv.rtOpens + jv.liveOpens) << FormatHhnn(t);
    EXPECT_EQ(desktop.Count("error"), 0) << FormatHhnn(t);
    EXPECT_EQ(desktop.Count("info"), 0) << FormatHhnn(t);
    EXPECT_EQ(desktop.Count("beep"), 0) << FormatHhnn(t);

    const Announced now = AnnouncedBy(feed, t);
    if (!fetched) {
      EXPECT_EQ(desktop.Count("balloon"), 0) << FormatHhnn(t);
      continue;
    }
    // The change window lists every change announced so far.
    EXPECT_EQ(henko.Lines(1).size(), now.courseWeather.size()) << FormatHhnn(t);
    for (const auto& [course, stamp] : now.courseWeather) {
      const SjisString prefix = CourseName(course, 2) + " " + ShownStamp(stamp) + " ";
      const auto lines = henko.Lines(1);
      EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                              [&](const SjisString& l) { return l.starts_with(prefix); }))
          << FormatHhnn(t) << " course " << course;
    }
    for (int type = 1; type < 5; ++type) {
      const auto lines = henko.Lines(type + 1);
      EXPECT_EQ(lines.size(), now.identities[type].size()) << FormatHhnn(t) << " list " << type;
      for (const std::string& r : now.records[type]) {
        const SjisString prefix = CourseName(Cut(r, 20, 2), 2) + PadNumber(Cut(r, 26, 2)) +
                                  Sj("R ") + ShownStamp(Cut(r, 28, 8)) + " ";
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                                [&](const SjisString& l) { return l.starts_with(prefix); }))
            << FormatHhnn(t) << " " << r.substr(0, 40);
      }
    }
    // One balloon exactly when something is new, naming exactly the news since the last one:
    // the categories of the records served for the first time, with the latest of their times.
    std::array<std::string, 5> newest{};
    std::array<bool, 5> fresh{};
    for (const std::string& r : now.served) {
      if (!told.insert(r).second) continue;
      const int c = ChangeTypeIndex(r);
      fresh[c] = true;
      newest[c] = std::max(newest[c], ChangeStampOf(r));
    }
    SjisString expected;
    for (int c = 0; c < 5; ++c)
      if (fresh[c])
        expected += Sj(kLabels[c]) + Sj("更新時刻：") + ShownInBalloon(newest[c]) + "\r\n";
    for (int list = 1; list <= 5; ++list)
      for (const SjisString& l : henko.Lines(list))
        EXPECT_EQ(l.find("00/00 00:00"), std::string::npos) << FormatHhnn(t);
    if (expected.empty()) {
      EXPECT_EQ(desktop.Count("balloon"), 0) << FormatHhnn(t);
      EXPECT_EQ(desktop.Count("sound"), 0) << FormatHhnn(t);
    } else {
      ASSERT_EQ(desktop.Count("balloon"), 1) << FormatHhnn(t);
      EXPECT_EQ(desktop.Count("sound"), 1) << FormatHhnn(t);
      const auto b = desktop.Of("balloon")[0];
      EXPECT_EQ(b.title, Sj("新着開催情報"));
      EXPECT_EQ(b.text, Sj("本日の開催で変更情報が発生しました。\r\n") + expected) << FormatHhnn(t);
      ++balloons;
      for (int c = 0; c < 5; ++c) announced[c] = std::max(announced[c], now.latest[c]);
    }
    // The renew file holds exactly what was announced.
    if (balloons > 0) {
      std::string renewBytes;
      for (int c = 0; c < 5; ++c) renewBytes += announced[c] + "\r\n";
      EXPECT_TRUE(ReadFileBytes(renew) == renewBytes) << FormatHhnn(t);
    } else {
      EXPECT_FALSE(fs::exists(renew)) << FormatHhnn(t);
    }
    if (::testing::Test::HasFatalFailure()) return;
  }
  const long endKb = ResidentKilobytes();
  std::printf(
      "race day: %d ticks, %d fetches, %d balloons; resident memory %ld kB after "
      "start-up, %ld kB after the day (%+.1f%%)\n",
      ticks, fetches, balloons, startKb, endKb, 100.0 * (endKb - startKb) / startKb);

  if (endHhnn >= 1730) {
    // The whole day was announced.
    const Announced all = AnnouncedBy(feed, LocalDateTime{2024, 1, 6, 23, 59, 0});
    for (int c = 0; c < 5; ++c) EXPECT_EQ(announced[c], all.latest[c]) << kLabels[c];
    EXPECT_GE(balloons, 5);
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LE(endKb, startKb + startKb / 10);
#endif
  }

  // Resident mode: the close button with today selected hides the window; the tray's double
  // click shows it again and initialises JV-Link again.
  desktop.Clear();
  const int initsBefore = jv.inits;
  ASSERT_TRUE(form.isVisible());
  form.SpeedButton1Click();
  QCoreApplication::processEvents();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(desktop.Count("info"), 0);
  form.TrayIcon1DblClick();
  QCoreApplication::processEvents();
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(jv.inits, initsBefore + 1);

  // Nothing stored was lost: the race files are still the records fed (the change fetch does
  // not touch them), and the error log holds only the start lines.
  checkRaceFiles("after the day");
  EXPECT_EQ(SplitLines(ReadFileBytes(app / "ErrorLog.txt")), startLog);
  EXPECT_EQ(desktop.Count("error"), 0);
}

}  // namespace
}  // namespace tavolen
