// The program's main window built from the test doubles, shared by the window tests and the
// day tests. Header only: a test program that includes it links tavolen_app.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquire/GetDataUnit.h"
#include "app/Main.h"
#include "base/DesktopEvents.h"
#include "base/Widgets.h"
#include "changes/henkoUnit.h"
#include "jvlink/FileIO.h"
#include "jvlink/RaceFiles.h"
#include "racecard/prgrsUnit.h"
#include "tests/support/Files.h"
#include "tests/support/MainParts.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedJVLink.h"
#include "tests/support/TestDir.h"

namespace tavolen::testsupport {

// The main window's dependencies with the program name "Tavolen"; modal dialogs go to runModal
// (none: they close at once with result 0) and the quit request is ignored.
inline MainFormDeps TestDeps(const fs::path& appDir, Desktop& desktop, const Clock& clock,
                             JVLink& jv, std::function<int(QDialog&)> runModal = {},
                             std::function<void()> quit = {}) {
  if (!runModal) runModal = [](QDialog&) { return 0; };
  if (!quit) quit = [] {};
  return MainFormDeps{appDir, "Tavolen", desktop, clock, jv, runModal, quit};
}

// The one main-window fixture: the main window with its change window and progress window,
// wired as start-up wires them, in a fresh application folder named after the test (group/
// suite.test under TempRoot()), on a fake clock. Modal dialogs go to onModal_ and close with
// their own result; exit requests are counted.
class MainWindowTest : public ::testing::Test {
 protected:
  struct Options {
    const char* program = "tavolen_tests";  // the QApplication's name
    std::string group = "main";
    LocalDateTime start{2024, 1, 5, 8, 0, 0};
    bool buildAtSetUp = true;  // false: the test calls Build() (after preparing files)
  };
  explicit MainWindowTest(Options options) : options_(std::move(options)), clock_(options_.start) {
    desktop_.SetEvents(&desktopEvents_);
  }

  fs::path AppDir() const { return dir_; }
  fs::path IniPath() const { return dir_ / "Tavolen.ini"; }

  void SetUp() override {
    EnsureApplication(options_.program);
    dir_ = TestDir(options_.group);
    if (!options_.buildAtSetUp) return;
    fs::create_directories(dir_ / "Data");
    Build();
    desktop_.Clear();
  }
  void TearDown() override {
    DestroyWindows();
    SetWriteFaultForTesting({});
  }

  MainFormDeps Deps() {
    return TestDeps(
        dir_, desktop_, clock_, jv_, [this](QDialog& d) { return RunModal(d); },
        [this] { ++quits_; });
  }
  // Creates the windows (again: the old ones are destroyed first, and store their places).
  TMainForm& Build() { return Build(Deps()); }
  TMainForm& Build(const MainFormDeps& deps) {
    DestroyWindows();
    form_ = std::make_unique<TMainForm>(deps);
    henko_ = std::make_unique<THenkoForm>(form_->SettingsFile(), &desktop_);
    form_->SetChangeWindow(henko_.get());
    if (!prgrs_) prgrs_ = std::make_unique<TPrgrsForm>();
    form_->SetProgressWindow(prgrs_.get());
    return *form_;
  }
  // The windows as the program's end destroys them: the main window first.
  void DestroyWindows() {
    form_.reset();
    henko_.reset();
  }

  int RunModal(QDialog& dialog) {
    if (onModal_) onModal_(dialog);
    return dialog.result();
  }

  // Stores the day's race records and chooses the first date of the date list.
  void ChooseMeeting(const std::vector<std::string>& raceRecords) {
    for (const std::string& r : raceRecords)
      ASSERT_TRUE(StoreRaRecord(AppDir() / "Data", r).stored());
    form_->MakeDataListBtnClick();
    Parts(*form_).DateCombo->setCurrentIndex(0);
    form_->DateComboChange();
  }
  // Puts today's (or another) date into the date list and selects it.
  static void SelectDate(TMainForm& f, const SjisString& dateKey) {
    Parts(f).DateCombo->addItem(Qs(dateKey));
    Parts(f).DateCombo->setCurrentIndex(Parts(f).DateCombo->count() - 1);
  }

  Options options_;
  fs::path dir_;
  FakeClock clock_;
  ScriptedJVLink jv_;
  DesktopEvents desktopEvents_;  // the clicks a test makes on the tray and notifications
  RecordingDesktop desktop_;
  std::function<void(QDialog&)> onModal_;
  int quits_ = 0;
  std::unique_ptr<TPrgrsForm> prgrs_;
  std::unique_ptr<TMainForm> form_;
  std::unique_ptr<THenkoForm> henko_;
};

// The value of key in [section] of a code page 932 INI text, or "" when absent. Written apart
// from the program's own settings reader.
inline std::string IniValue(const std::string& text, const std::string& section,
                            const std::string& key) {
  std::string current;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos = end + 1;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      current = line.substr(1, line.size() - 2);
    } else if (current == section && line.rfind(key + "=", 0) == 0) {
      return line.substr(key.size() + 1);
    }
  }
  return "";
}

// The acquisition window run as its modal loop would run it: started, then its status timer
// ticked by hand until the reading has ended, then closed (the result is the modal call's).
inline int RunAcquisitionToEnd(QDialog& dialog) {
  auto* form = qobject_cast<TGetDataForm*>(&dialog);
  if (!form) return 0;
  form->ButtonStartClick();
  for (int i = 0; i < 20000 && form->TimerJVStatus->isActive(); ++i) {
    form->TimerJVStatusTimer();
    QCoreApplication::processEvents();
  }
  form->done(QDialog::Accepted);
  return 0;
}

// The acquisition window as a user runs it: shown, "データ取込み開始" clicked, its own timer left
// to run until its completion box ("データ作成が完了しました。") has come, then closed. It watches
// the desktop's boxes from its construction on; done() says whether the completion box came.
class AcquisitionByHand {
 public:
  explicit AcquisitionByHand(RecordingDesktop& desktop) : desktop_(desktop) {
    desktop_.duringBox = [this] {
      if (!desktop_.events.empty() &&
          desktop_.events.back().text == Sj("データ作成が完了しました。"))
        done_ = true;
    };
  }
  // For the main window's runModal: 0, and nothing done for any other dialog.
  int operator()(QDialog& dialog) {
    auto* acquisition = qobject_cast<TGetDataForm*>(&dialog);
    if (!acquisition) return 0;
    acquisition->show();
    acquisition->ButtonStart->click();
    QElapsedTimer waited;
    waited.start();
    while (!done_ && waited.elapsed() < 60000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    acquisition->reject();
    return 0;
  }
  bool done() const { return done_; }

 private:
  RecordingDesktop& desktop_;
  bool done_ = false;
};

}  // namespace tavolen::testsupport
