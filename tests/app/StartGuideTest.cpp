// The guide in the empty main window, through the real window: the automatic way first with the
// steps by hand below it, and its one button that turns on the start at sign-in and the
// automation and starts today at once, also where the sign-in entry cannot be written.
#include <gtest/gtest.h>

#include <QPushButton>
#include <chrono>
#include <thread>

#include "app/AutoWatch.h"
#include "tests/support/MainWindow.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using testsupport::IniValue;
using testsupport::Part;
using testsupport::Parts;

// An entry at sign-in in memory that can be told to fail.
struct MemoryEntry : AutostartEntry {
  bool on = false, fail = false;
  bool On() const override { return on; }
  AutostartStatus TurnOn() override {
    if (fail) return AutostartStatus::Fail(Sj("書き込みが許可されていません"));
    on = true;
    return {};
  }
  AutostartStatus TurnOff() override { return {}; }
};

class GuideWindow : public testsupport::MainWindowTest {
 protected:
  GuideWindow()
      : MainWindowTest({"tavolen_autowatch_tests", "shell/guide", {2024, 1, 6, 8, 0, 0}, false}) {}
  void SetUp() override {
    MainWindowTest::SetUp();
    fs::create_directories(AppDir() / "Data");
  }
  void BuildShown() {
    MainFormDeps d = Deps();
    d.autostart = &entry_;
    Build(d);
    form_->show();
    QCoreApplication::processEvents();
  }
  QPushButton* Button() { return Part<QPushButton>(*form_, "AutoWatchButton"); }
  QLabel* Manual() { return Part<QLabel>(*form_, "ManualGuideLabel"); }
  void Settle() {
    QCoreApplication::processEvents();
    auto* automation = Part<AutoWatch>(*form_, "AutoWatch");
    for (int i = 0; i < 3000 && automation->Acquiring(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      QCoreApplication::processEvents();
    }
  }
  SjisString Shown() const { return SjisOf(Parts(*form_).DateCombo->currentText()); }
  void ExpectOnAndWatchingToday() {
    EXPECT_EQ(IniValue(testsupport::ReadFileBytes(IniPath()), "Auto", "watch"), "1");
    EXPECT_TRUE(Part<QAction>(*form_, "AutoWatchItem")->isChecked());
    EXPECT_EQ(Shown(), Sj("2024年01月06日"));
    EXPECT_TRUE(testsupport::CheckTimer(*form_)->isActive());
    EXPECT_TRUE(Parts(*form_).GuideLabel->isHidden());  // the race card took its place
  }

  MemoryEntry entry_;
};

TEST_F(GuideWindow, WithoutRaceDataTheAutomaticWayComesFirstAndItsButtonFetchesAndWatchesToday) {
  BuildShown();
  ASSERT_TRUE(Button()->isVisible());
  ASSERT_TRUE(Manual()->isVisible());
  EXPECT_EQ(Button()->text(), QString::fromUtf8("自動で監視する（おすすめ）"));
  // The button above the four steps by hand.
  EXPECT_LT(Button()->mapTo(form_.get(), QPoint()).y(), Manual()->mapTo(form_.get(), QPoint()).y());
  const QString steps = Manual()->text();
  int at = 0;
  for (const char* step :
       {"「JVデータ取得」", "「データ取込み開始」", "今日の日付を選ぶ", "「常駐」"}) {
    const int next = steps.indexOf(QString::fromUtf8(step));
    EXPECT_GT(next, at) << step;
    at = next;
  }

  jv_.readCount = 1;
  jv_.lastFileTimestamp = u"20240105170000";
  jv_.QueueRecord(testsupport::RaRecord("20240106", "06", "01"));
  jv_.QueueRead(-1);
  Button()->click();
  EXPECT_TRUE(entry_.on);
  Settle();
  EXPECT_EQ(jv_.Count("JVOpen"), 1);
  ExpectOnAndWatchingToday();
  EXPECT_TRUE(desktop_.Messages().empty());
}

TEST_F(GuideWindow, WithDatesTheButtonStillStartsTodayWhenTheSignInEntryCannotBeWritten) {
  testsupport::WriteMeeting(AppDir() / "Data", "20240106", {{"06", "中山"}}, 8);
  entry_.fail = true;
  BuildShown();
  EXPECT_TRUE(Parts(*form_).GuideLabel->text().startsWith(QString::fromUtf8("左上の日付リスト")));
  ASSERT_TRUE(Button()->isVisible());
  EXPECT_FALSE(Manual()->isVisible());
  Button()->click();
  // The entry's failure is told; the automation the user asked for runs all the same.
  EXPECT_EQ(desktop_.Messages(),
            std::vector<SjisString>{Sj(
                "ログイン時に起動する設定を書き込めませんでした。\n書き込みが許可されていません")});
  Settle();
  EXPECT_FALSE(entry_.on);
  EXPECT_EQ(jv_.Count("JVOpen"), 0);
  ExpectOnAndWatchingToday();
  // Off again by the menu, the guide offers the button once more.
  Part<QAction>(*form_, "AutoWatchItem")->trigger();
  Parts(*form_).Panel1->setVisible(false);
  Parts(*form_).Panel5->setVisible(false);
  EXPECT_TRUE(Button()->isVisible());
}

}  // namespace
}  // namespace tavolen
