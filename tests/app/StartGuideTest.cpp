// The guide in the empty main window, through the real window: the automatic way first, the steps
// by hand below it, and its button that turns on the start at sign-in and the automation and
// fetches, loads and watches today at once, even where the sign-in entry cannot be written.
#include <gtest/gtest.h>

#include <QPushButton>
#include <chrono>
#include <thread>

#include "automation/AutoWatch.h"
#include "tests/support/MainWindow.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using testsupport::Part;
using testsupport::Parts;

struct FailingEntry : AutostartEntry {
  bool On() const override { return false; }
  AutostartStatus TurnOn() override { return AutostartStatus::Fail(Sj("許可されていません")); }
  AutostartStatus TurnOff() override { return {}; }
};

struct GuideWindow : testsupport::MainWindowTest {
  GuideWindow()
      : MainWindowTest({"tavolen_autowatch_tests", "shell/guide", {2024, 1, 6, 8, 0, 0}, false}) {}
};

TEST_F(GuideWindow, TheButtonComesBeforeTheStepsByHandAndFetchesLoadsAndWatchesToday) {
  fs::create_directories(AppDir() / "Data");
  FailingEntry entry;
  MainFormDeps d = Deps();
  d.autostart = &entry;
  Build(d);
  form_->show();
  auto* button = Part<QPushButton>(*form_, "AutoWatchButton");
  QLabel* manual = Part<QLabel>(*form_, "ManualGuideLabel");
  ASSERT_TRUE(button->isVisible() && manual->isVisible());
  EXPECT_EQ(button->text(), QString::fromUtf8("自動で監視する（おすすめ）"));
  EXPECT_LT(button->mapTo(form_.get(), QPoint()).y(), manual->mapTo(form_.get(), QPoint()).y());
  jv_.readCount = 1;
  jv_.QueueRecord(testsupport::RaRecord("20240106", "06", "01"));
  jv_.QueueRead(-1);
  button->click();
  auto* automation = Part<AutoWatch>(*form_, "AutoWatch");
  for (int i = 0; i < 3000 && (i == 0 || automation->Acquiring()); ++i) {
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // The entry's failure is told; the automation the user asked for runs all the same.
  EXPECT_EQ(desktop_.Messages(),
            std::vector<SjisString>{
                Sj("ログイン時に起動する設定を書き込めませんでした。\n許可されていません")});
  EXPECT_EQ(testsupport::IniValue(testsupport::ReadFileBytes(IniPath()), "Auto", "watch"), "1");
  EXPECT_TRUE(Part<QAction>(*form_, "AutoWatchItem")->isChecked());
  EXPECT_EQ(jv_.Count("JVOpen"), 1);
  EXPECT_EQ(SjisOf(Parts(*form_).DateCombo->currentText()), Sj("2024年01月06日"));
  EXPECT_TRUE(testsupport::CheckTimer(*form_)->isActive());
  EXPECT_TRUE(Parts(*form_).GuideLabel->isHidden());  // the race card took its place
}

}  // namespace
}  // namespace tavolen
