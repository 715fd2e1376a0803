// A race day in the main window, offscreen: the stand-in's demo day in the Data folder, the day
// chosen again at every check, every race card shown and copied, the change evaluation and the
// schedule's tick run. Resident memory after the day must stay within 10% of the memory after
// start-up, so the program can sit in the tray all day.
//
// TAVOLEN_DAY_TICKS sets the number of checks (default 96: eight hours at five minutes).
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "app/Main.h"
#include "racecard/prgrsUnit.h"
#include "standin/StandIn.h"
#include "tests/reliability/CrashOps.h"
#include "tests/support/MainWindow.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"

namespace tavolen {
namespace {

using testsupport::Parts;

using namespace tavolen::reliability;

struct Day {
  fs::path app = FreshApp("day-memory");
  FakeClock clock{LocalDateTime{2024, 1, 6, 8, 30, 0}};
  RecordingDesktop desktop;
  std::unique_ptr<StandInJVLink> jv;
  std::unique_ptr<TPrgrsForm> prgrs;
  std::unique_ptr<TMainForm> form;

  Day() {
    testsupport::EnsureApplication("tavolen_reliability_day_tests");
    // The day as acquisition and the change fetch leave it.
    for (const SjisString& r : StandInDayRecords()) {
      const std::string_view type = std::string_view(r).substr(0, 2);
      if (type == "RA")
        StoreRaRecord(app / "Data", r);
      else if (type == "SE")
        StoreSeRecord(app / "Data", r);
      else
        StoreChangeRecord(app / "Data", r);
    }
    jv = std::make_unique<StandInJVLink>(clock, StandInOptions{app / "standin", 0});
    prgrs = std::make_unique<TPrgrsForm>();
    form = std::make_unique<TMainForm>(testsupport::TestDeps(app, desktop, clock, *jv));
    form->SetProgressWindow(prgrs.get());
  }

  // One check of the day: the date chosen again, every race shown and copied, the change
  // window's evaluation and the schedule's tick.
  void Check() {
    const int at = Parts(*form).DateCombo->findText(QString::fromUtf8("2024年01月06日"));
    ASSERT_GE(at, 0);
    Parts(*form).DateCombo->setCurrentIndex(at);
    form->DateComboChange();
    for (int i = 0; i < Parts(*form).DatList->count(); ++i) {
      form->UpDown1Click(i);
      form->N18Click();
    }
    form->SpeedButton2Click();
    form->Timer4Timer();
    clock.AdvanceMinutes(5);
    QCoreApplication::processEvents();
    // What the recording desktop keeps is the test's, not the program's.
    desktop.events.clear();
  }
};

TEST(DayMemory, ResidentMemoryAfterADayStaysWithinTenPercentOfStartUp) {
  const char* env = std::getenv("TAVOLEN_DAY_TICKS");
  const int ticks = env && *env ? std::atoi(env) : 96;
  Day day;
  ASSERT_GT(Parts(*day.form).DateCombo->count(), 0);
  // Start-up includes the first check: fonts, the grid and the first file reads are in place.
  day.Check();
  const long startKb = ResidentKilobytes();
  const auto started = std::chrono::steady_clock::now();
  for (int t = 1; t < ticks; ++t) {
    day.Check();
    if (::testing::Test::HasFatalFailure()) return;
  }
  const long endKb = ResidentKilobytes();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf(
      "resident memory: %ld kB after start-up, %ld kB after %d checks of %d races "
      "(%+.1f%%, %.1f s)\n",
      startKb, endKb, ticks, Parts(*day.form).DatList->count(), 100.0 * (endKb - startKb) / startKb,
      seconds);
  EXPECT_GT(Parts(*day.form).DatList->count(), 0);
#if !defined(__SANITIZE_ADDRESS__)  // ASan's quarantine holds freed memory: no measure there
  EXPECT_LE(endKb, startKb + startKb / 10);
#endif
}

}  // namespace
}  // namespace tavolen
