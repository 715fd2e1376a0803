// A new user's first start on the stand-in's demo day, at night, early in the morning and in
// the evening: the status line says what the watch does from the moment today's date is
// chosen, and the first change is announced within five minutes of the first acquisition.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include "acquire/GetDataUnit.h"
#include "app/Main.h"
#include "changes/henkoUnit.h"
#include "standin/StandIn.h"
#include "tests/support/Files.h"
#include "tests/support/MainWindow.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

class DemoStart : public ::testing::TestWithParam<LocalDateTime> {};

TEST_P(DemoStart, TheWatchSaysWhatItDoesAndTheFirstChangeComesWithinFiveMinutes) {
  EnsureApplication("tavolen_changes_app_tests");
  const LocalDateTime start = GetParam();
  const fs::path app = TempDir("demo-start-" + FormatHhnn(start));
  fs::create_directories(app / "Data");
  FakeClock clock(start);
  StandInJVLink jv(clock, StandInOptions{app / "standin", 0});
  RecordingDesktop desktop;
  AcquisitionByHand acquisition(desktop);
  TMainForm form(
      TestDeps(app, desktop, clock, jv, [&](QDialog& dialog) { return acquisition(dialog); }));
  THenkoForm henko(form.SettingsFile(), &desktop);
  form.SetChangeWindow(&henko);
  form.show();
  // Before anything is chosen, the status line already says how the watch starts.
  EXPECT_FALSE(WatchStatusText(form).empty());

  // JVデータ取得 → データ取込み開始 → close → today's date.
  form.J1Click();
  ASSERT_TRUE(acquisition.done());
  ASSERT_GE(Parts(form).DateCombo->count(), 1);
  Parts(form).DateCombo->setCurrentIndex(Parts(form).DateCombo->findText(Qs(DateKey(start))));
  form.DateComboChange();
  ASSERT_TRUE(CheckTimer(form)->isActive());
  CheckTimer(form)->stop();  // ticked by hand below
  const SjisString said = WatchStatusText(form);
  EXPECT_TRUE(said.starts_with(Sj("変更情報の確認は "))) << SjisToUtf8(said);
  EXPECT_NE(desktop.trayTip.find(said), std::string::npos);

  // The first tick comes one interval (5 minutes) after the date was chosen.
  desktop.Clear();
  clock.Set(start.AddSeconds(5 * 60));
  form.Timer4Timer();
  EXPECT_EQ(desktop.Count("balloon"), 1) << SjisToUtf8(WatchStatusText(form));
  EXPECT_EQ(WatchStatusText(form), Sj("最終確認 ") + FormatHhnn(clock.Now()).substr(0, 2) + ":" +
                                       FormatHhnn(clock.Now()).substr(2, 2));
}

INSTANTIATE_TEST_SUITE_P(Hours, DemoStart,
                         ::testing::Values(LocalDateTime{2024, 6, 1, 2, 10, 0},
                                           LocalDateTime{2024, 6, 1, 8, 0, 0},
                                           LocalDateTime{2024, 6, 1, 21, 0, 0}));

}  // namespace
}  // namespace tavolen
