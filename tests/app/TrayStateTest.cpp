// The tray's state at a glance: the decision and the tip from plain inputs, the icons at 16
// pixels, and through the real main window: a failing acquisition, JV-Link's own window, today
// watched, a failed change check, and where each notification's click leads.
#include "app/TrayState.h"

#include <gtest/gtest.h>

#include <QImage>
#include <chrono>
#include <map>
#include <thread>

#include "acquire/AcquisitionSession.h"
#include "app/ProgramIcon.h"
#include "automation/AutoWatch.h"
#include "jvlink/KeibaFunc.h"
#include "tests/support/ForwardingJVLink.h"
#include "tests/support/MainWindow.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using testsupport::Part;
using TS = TrayState;

TEST(TrayState, AWindowWaitComesFirstThenTheLastFailureThenTodayWatched) {
  const std::pair<TrayInputs, TS> cases[] = {
      {{true, true, false, ""}, TS::Watching},
      {{true, false, false, ""}, TS::NothingToWatch},
      {{false, true, false, ""}, TS::NothingToWatch},
      {{false, false, false, "x"}, TS::Failing},
      {{true, true, true, "x"}, TS::WaitingOnWindow},
  };
  for (const auto& [in, state] : cases) EXPECT_EQ(DecideTrayState(in), state) << int(state);
  // The state's line comes first, so the tip's 63 characters keep it.
  EXPECT_EQ(TrayTip({true, true, false, {}}, "d"), "d");
  EXPECT_EQ(TrayTip({true, true, false, Sj("JVOpenエラー")}, "d"), Sj("エラー：JVOpenエラー\nd"));
  EXPECT_EQ(TrayTip({true, true, true, "x"}, "d"), Sj(kWaitingOnJVLinkWindow) + "\nd");

  TrayFailures f;
  f.Set("changes", "a");
  f.Set("racedata", "b");
  f.Set("changes", "a");  // the same failure again keeps the order
  EXPECT_EQ(f.Current(), "b");
  f.Set("changes", "c");
  EXPECT_EQ(f.Current(), "c");
  f.Clear("changes");
  EXPECT_EQ(f.Current(), "b");
  f.Clear("racedata");
  EXPECT_TRUE(f.Current().empty());
}

TEST(TrayState, FourIconsTellApartAt16PixelsWithTheirBadgeRingedForAnyPanel) {
  testsupport::EnsureApplication("tavolen_autowatch_tests");
  std::map<TS, QImage> at16;
  for (TS s : {TS::Watching, TS::NothingToWatch, TS::WaitingOnWindow, TS::Failing}) {
    at16[s] = TrayIcon(s).pixmap(QSize(16, 16), 1.0).toImage();
    for (const auto& [other, image] : at16) EXPECT_TRUE(other == s || image != at16[s]);
  }
  EXPECT_EQ(at16[TS::Watching], ProgramIcon().pixmap(QSize(16, 16), 1.0).toImage());
  const QColor grey = at16[TS::NothingToWatch].pixelColor(8, 8);
  EXPECT_TRUE(grey.red() == grey.green() && grey.green() == grey.blue());
  // The badge's middle and the ring at its edge: red inside white, amber inside near black.
  EXPECT_EQ(at16[TS::Failing].pixelColor(13, 10).rgb(), QColor(214, 32, 32).rgb());
  EXPECT_GT(at16[TS::Failing].pixelColor(15, 10).lightness(), 200);
  EXPECT_EQ(at16[TS::WaitingOnWindow].pixelColor(13, 8).rgb(), QColor(255, 184, 0).rgb());
  EXPECT_LT(at16[TS::WaitingOnWindow].pixelColor(15, 10).lightness(), 90);
}

// Tells the window of JV-Link's own window as the component's calls would.
class WindowJVLink : public testsupport::ForwardingJVLink {
 public:
  using ForwardingJVLink::ForwardingJVLink;
  int AddWindowWaitObserver(WindowWaitObserver observer) override {
    observers_[++lastId_] = std::move(observer);
    return lastId_;
  }
  void RemoveWindowWaitObserver(int id) override { observers_.erase(id); }
  void Wait(bool waiting) {
    for (auto& [id, observer] : observers_) observer(waiting);
  }

 private:
  std::map<int, WindowWaitObserver> observers_;
  int lastId_ = 0;
};

struct TrayWindow : testsupport::MainWindowTest {
  TrayWindow()
      : MainWindowTest({"tavolen_autowatch_tests", "shell/tray", {2024, 1, 6, 6, 50, 0}, false}) {}
  WindowJVLink windowJv{jv_};
  qint64 shown = 0;
  bool Shows(TS s) const { return shown == TrayIcon(s).cacheKey(); }
  // The automation's tick, then its acquisition to the end.
  void Tick() {
    auto* automation = Part<AutoWatch>(*form_, "AutoWatch");
    automation->Tick();
    for (int i = 0; i < 3000 && automation->Acquiring(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      QCoreApplication::processEvents();
    }
  }
};

TEST_F(TrayWindow, TheIconFollowsFailureWaitAndWatchAndEachClickOpensTheWindowThatExplains) {
  fs::create_directories(AppDir() / "Data");
  ASSERT_TRUE(testsupport::WriteFileBytes(IniPath(), "[Auto]\r\nwatch=1\r\n"));
  desktop_.onTrayIcon = [this](const QIcon& icon) { shown = icon.cacheKey(); };
  jv_.openResults = {-504};
  Build(testsupport::TestDeps(AppDir(), desktop_, clock_, windowJv));
  Tick();
  // The automatic acquisition fails: the red badge, the reason first in the tip.
  EXPECT_TRUE(Shows(TS::Failing));
  const SjisString reason = Sj("JVOpenエラー:") + JVResultMessage("JVOpen", -504);
  EXPECT_TRUE(desktop_.trayTip.starts_with(Sj("エラー：") + reason + "\n")) << desktop_.trayTip;
  ASSERT_EQ(desktop_.statusTitles, std::vector<SjisString>{Sj("レースデータの自動取得")});
  // Its click brings the main window with its status line, not the change window.
  emit desktopEvents_.statusNotificationClicked();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_FALSE(henko_->isVisible());

  windowJv.Wait(true);
  EXPECT_TRUE(Shows(TS::WaitingOnWindow));
  EXPECT_TRUE(desktop_.trayTip.starts_with(Sj(kWaitingOnJVLinkWindow)));
  windowJv.Wait(false);
  EXPECT_TRUE(Shows(TS::Failing));

  // At the next check the race data comes: today is loaded and watched, the failure is over.
  jv_.readCount = 1;
  jv_.QueueRecord(testsupport::RaRecord("20240106", "06", "01"));
  jv_.QueueRead(-1);
  clock_.Set({2024, 1, 6, 7, 0, 0});
  Tick();
  ASSERT_TRUE(testsupport::CheckTimer(*form_)->isActive());
  EXPECT_TRUE(Shows(TS::Watching));
  EXPECT_TRUE(desktop_.trayTip.starts_with(Sj("開催日：2024年01月06日"))) << desktop_.trayTip;

  // A change check that fails: red until a check works again.
  jv_.rtOpenResults = {-504};
  form_->GetKaisaiBtnClick();
  EXPECT_TRUE(Shows(TS::Failing));
  form_->GetKaisaiBtnClick();
  EXPECT_TRUE(Shows(TS::Watching));
  emit desktopEvents_.notificationClicked();  // a change notification: the change window
  EXPECT_TRUE(henko_->isVisible());

  // Switched off with another day shown: nothing is watched.
  Part<QAction>(*form_, "AutoWatchItem")->trigger();
  testsupport::WriteMeeting(AppDir() / "Data", "20240105", {{"06", "中山"}}, 8);
  form_->MakeDataListBtnClick();
  QComboBox* dates = testsupport::Parts(*form_).DateCombo;
  dates->setCurrentIndex(dates->findText(Qs(Sj("2024年01月05日"))));
  form_->DateComboChange();
  EXPECT_TRUE(Shows(TS::NothingToWatch));
}

}  // namespace
}  // namespace tavolen
