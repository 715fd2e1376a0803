// The tray's state at a glance: the decision and the tip from plain inputs, the icons as a
// panel shows them, and through the real main window: a failing acquisition, JV-Link's own
// window, today watched, a failed change check, and where each notification's click leads.
#include "app/TrayState.h"

#include <gtest/gtest.h>

#include <QImage>
#include <chrono>
#include <map>
#include <thread>

#include "acquire/AcquisitionSession.h"
#include "app/AutoWatch.h"
#include "app/ProgramIcon.h"
#include "jvlink/KeibaFunc.h"
#include "tests/support/ForwardingJVLink.h"
#include "tests/support/MainWindow.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using testsupport::Parts;

TEST(TrayState, AWindowWaitComesFirstThenAFailureThenTodayWatched) {
  struct Case {
    bool watched, meeting, waiting;
    const char* failure;
    TrayState state;
  };
  for (const Case& c : std::initializer_list<Case>{
           {true, true, false, "", TrayState::Watching},
           {true, false, false, "", TrayState::NothingToWatch},  // today without races
           {false, true, false, "", TrayState::NothingToWatch},  // another day shown
           {false, false, false, "x", TrayState::Failing},       // no day, its fetch failing
           {true, true, false, "x", TrayState::Failing},
           {true, true, true, "x", TrayState::WaitingOnWindow},
           {false, false, true, "", TrayState::WaitingOnWindow}}) {
    const TrayInputs in{c.watched, c.meeting, c.waiting, c.failure};
    EXPECT_EQ(DecideTrayState(in), c.state) << c.watched << c.meeting << c.waiting << c.failure;
  }
  // The state's line comes first, so the tip's 63 characters keep it.
  const SjisString day = Sj("開催日：2024年01月06日");
  EXPECT_EQ(TrayTip({true, true, false, {}}, day), day);
  EXPECT_EQ(TrayTip({true, true, false, Sj("JVOpenエラー")}, day),
            Sj("エラー：JVOpenエラー\n") + day);
  EXPECT_EQ(TrayTip({true, true, true, Sj("x")}, day), Sj(kWaitingOnJVLinkWindow) + "\n" + day);
}

TEST(TrayState, TheLastStepToFailIsShownUntilEveryStepWorksAgain) {
  TrayFailures f;
  f.Set("changes", Sj("a"));
  f.Set("racedata", Sj("b"));
  f.Set("changes", Sj("a"));  // the same failure again keeps the order
  EXPECT_EQ(f.Current(), Sj("b"));
  f.Set("changes", Sj("c"));
  EXPECT_EQ(f.Current(), Sj("c"));
  f.Clear("changes");
  EXPECT_EQ(f.Current(), Sj("b"));
  f.Set("racedata", {});
  EXPECT_TRUE(f.Current().empty());
}

// The share of an icon's pixels in its bottom right quarter that are drawn in the colour.
double CornerShare(const QImage& image, const std::function<bool(QColor)>& is) {
  int hits = 0, all = 0;
  for (int y = image.height() / 2; y < image.height(); ++y)
    for (int x = image.width() / 2; x < image.width(); ++x, ++all)
      hits += is(image.pixelColor(x, y)) ? 1 : 0;
  return double(hits) / all;
}

TEST(TrayState, FourIconsTellApartAt16PixelsWithTheirBadgeInTheCorner) {
  testsupport::EnsureApplication("tavolen_autowatch_tests");
  std::map<TrayState, QImage> at16;
  for (TrayState s : {TrayState::Watching, TrayState::NothingToWatch, TrayState::WaitingOnWindow,
                      TrayState::Failing}) {
    EXPECT_EQ(TrayIcon(s).cacheKey(), TrayIcon(s).cacheKey());  // one object per state
    for (int size : {16, 22, 32, 64})
      EXPECT_EQ(TrayIcon(s).pixmap(QSize(size, size), 1.0).width(), size);
    at16[s] = TrayIcon(s).pixmap(QSize(16, 16), 1.0).toImage();
    for (const auto& [other, image] : at16) {
      if (other == s) continue;
      EXPECT_NE(image, at16[s]) << int(s) << " " << int(other);
    }
  }
  auto red = [](QColor c) { return c.red() > 180 && c.green() < 80 && c.blue() < 80; };
  auto amber = [](QColor c) { return c.red() > 220 && c.green() > 150 && c.blue() < 60; };
  auto grey = [](QColor c) { return c.alpha() == 0 || c.red() == c.green(); };
  EXPECT_GT(CornerShare(at16[TrayState::Failing], red), 0.25);
  EXPECT_GT(CornerShare(at16[TrayState::WaitingOnWindow], amber), 0.25);
  // The badge's ring sets it off on any panel: white around the red, near black around the amber.
  const QImage failing = at16[TrayState::Failing];
  EXPECT_GT(failing.pixelColor(15, 10).lightness(), 200);
  EXPECT_LT(at16[TrayState::WaitingOnWindow].pixelColor(15, 10).lightness(), 90);
  EXPECT_EQ(CornerShare(at16[TrayState::NothingToWatch], grey), 1.0);
  // Watching is the program's own icon.
  EXPECT_EQ(at16[TrayState::Watching], ProgramIcon().pixmap(QSize(16, 16), 1.0).toImage());
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

class TrayWindow : public testsupport::MainWindowTest {
 protected:
  TrayWindow()
      : MainWindowTest({"tavolen_autowatch_tests", "shell/tray", {2024, 1, 6, 6, 50, 0}, false}) {}
  void SetUp() override {
    MainWindowTest::SetUp();
    fs::create_directories(AppDir() / "Data");
    desktop_.onTrayIcon = [this](const QIcon& icon) { shownIcon_ = icon.cacheKey(); };
  }
  bool Shows(TrayState s) const { return shownIcon_ == TrayIcon(s).cacheKey(); }
  // The zero timer of the start, then an automatic acquisition to its end.
  void Settle() {
    QCoreApplication::processEvents();
    auto* automation = testsupport::Part<AutoWatch>(*form_, "AutoWatch");
    for (int i = 0; i < 3000 && automation->Acquiring(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      QCoreApplication::processEvents();
    }
    ASSERT_FALSE(automation->Acquiring());
  }

  WindowJVLink windowJv_{jv_};
  qint64 shownIcon_ = 0;
};

TEST_F(TrayWindow, TheIconFollowsFailureWaitAndWatchAndEachClickOpensTheWindowThatExplains) {
  ASSERT_TRUE(testsupport::WriteFileBytes(IniPath(), "[Auto]\r\nwatch=1\r\n"));
  jv_.openResults = {-504};
  Build(testsupport::TestDeps(AppDir(), desktop_, clock_, windowJv_, [](QDialog&) { return 0; }));
  form_->show();
  Settle();
  // The automatic acquisition fails: the red badge, the reason first in the tip.
  const SjisString reason = Sj("JVOpenエラー:") + JVResultMessage("JVOpen", -504);
  EXPECT_TRUE(Shows(TrayState::Failing));
  EXPECT_TRUE(desktop_.trayTip.starts_with(Sj("エラー：") + reason + "\n")) << desktop_.trayTip;
  ASSERT_EQ(desktop_.statusTitles, std::vector<SjisString>{Sj("レースデータの自動取得")});
  // Its notification's click brings the main window with its status line, not the change window.
  form_->hide();
  emit desktopEvents_.statusNotificationClicked();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_FALSE(henko_->isVisible());

  windowJv_.Wait(true);
  EXPECT_TRUE(Shows(TrayState::WaitingOnWindow));
  EXPECT_TRUE(desktop_.trayTip.starts_with(Sj(kWaitingOnJVLinkWindow)));
  windowJv_.Wait(false);
  EXPECT_TRUE(Shows(TrayState::Failing));

  // At the next check the race data comes: today is loaded and watched, the failure is over.
  jv_.readCount = 1;
  jv_.lastFileTimestamp = u"20240105170000";
  jv_.QueueRecord(testsupport::RaRecord("20240106", "06", "01"));
  jv_.QueueRead(-1);
  clock_.Set({2024, 1, 6, 7, 0, 0});
  testsupport::Part<AutoWatch>(*form_, "AutoWatch")->Tick();
  Settle();
  ASSERT_TRUE(testsupport::CheckTimer(*form_)->isActive());
  EXPECT_TRUE(Shows(TrayState::Watching));
  EXPECT_TRUE(desktop_.trayTip.starts_with(Sj("開催日：2024年01月06日"))) << desktop_.trayTip;

  // A change check that fails: red until a check works again.
  jv_.rtOpenResults = {-504};
  form_->GetKaisaiBtnClick();
  EXPECT_TRUE(Shows(TrayState::Failing));
  form_->GetKaisaiBtnClick();
  EXPECT_TRUE(Shows(TrayState::Watching));
  // A change notification's click opens the change window.
  emit desktopEvents_.notificationClicked();
  EXPECT_TRUE(henko_->isVisible());

  // Switched off with another day shown: nothing is watched.
  testsupport::Part<QAction>(*form_, "AutoWatchItem")->trigger();
  testsupport::WriteMeeting(AppDir() / "Data", "20240105", {{"06", "中山"}}, 8);
  form_->MakeDataListBtnClick();
  Parts(*form_).DateCombo->setCurrentIndex(
      Parts(*form_).DateCombo->findText(Qs(Sj("2024年01月05日"))));
  form_->DateComboChange();
  EXPECT_TRUE(Shows(TrayState::NothingToWatch));
}

}  // namespace
}  // namespace tavolen
