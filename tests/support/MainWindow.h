// The program's main window built from the test doubles, shared by the window tests and the
// day tests. Header only: a test program that includes it links tavolen_app.
#pragma once

#include <gtest/gtest.h>

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Main.h"
#include "base/Widgets.h"
#include "changes/henkoUnit.h"
#include "jvlink/FileIO.h"
#include "jvlink/RaceFiles.h"
#include "tests/support/Files.h"
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

// The main window with its change window beside it, as start-up creates them.
struct TestMainWindow {
  std::unique_ptr<TMainForm> form;
  std::unique_ptr<THenkoForm> henko;

  TestMainWindow(MainFormDeps deps, Desktop& desktop) {
    form = std::make_unique<TMainForm>(std::move(deps));
    henko = std::make_unique<THenkoForm>(form->IniGT1.path(), &desktop);
    form->HenkoForm = henko.get();
  }
  ~TestMainWindow() {
    form.reset();
    henko.reset();
  }
  TMainForm* operator->() const { return form.get(); }
  TMainForm& operator*() const { return *form; }
};

// The main window with its change window in a fresh application folder TempRoot()/folder, on a
// fake clock at 2024-01-05 08:00; modal dialogs go to onModal_ and close with their own result.
class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest(const char* program, std::string folder)
      : program_(program), folder_(std::move(folder)) {}

  fs::path AppDir() const { return TempRoot() / folder_; }

  void SetUp() override {
    EnsureApplication(program_);
    fs::remove_all(AppDir());
    fs::create_directories(AppDir() / "Data");
    window_ = std::make_unique<TestMainWindow>(
        TestDeps(AppDir(), desktop_, clock_, jv_, [this](QDialog& d) { return RunModal(d); }),
        desktop_);
    form_ = window_->form.get();
    henko_ = window_->henko.get();
    desktop_.Clear();
  }
  void TearDown() override { window_.reset(); }

  int RunModal(QDialog& dialog) {
    if (onModal_) onModal_(dialog);
    return dialog.result();
  }

  // Stores the day's race records and chooses the first date of the date list.
  void ChooseMeeting(const std::vector<std::string>& raceRecords) {
    for (const std::string& r : raceRecords)
      ASSERT_TRUE(StoreRaRecord(AppDir() / "Data", r).stored());
    form_->MakeDataListBtnClick();
    form_->DateCombo->setCurrentIndex(0);
    form_->DateComboChange();
  }

  FakeClock clock_{LocalDateTime{2024, 1, 5, 8, 0, 0}};
  ScriptedJVLink jv_;
  RecordingDesktop desktop_;
  std::function<void(QDialog&)> onModal_;
  std::unique_ptr<TestMainWindow> window_;
  TMainForm* form_ = nullptr;
  THenkoForm* henko_ = nullptr;

 private:
  const char* program_;
  std::string folder_;
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

// A main window in a scratch folder named after the test, on a fake clock at 2005-01-08 09:30;
// modal dialogs go to onModal and quit requests are counted.
struct MainFormFixture : ::testing::Test {
  fs::path dir;
  RecordingDesktop desktop;
  FakeClock clock{LocalDateTime{2005, 1, 8, 9, 30, 0}};
  ScriptedJVLink jv;
  int quits = 0;
  std::function<void(QDialog&)> onModal;

  void SetUp() override { dir = TestDir("shell/main"); }
  void TearDown() override { SetWriteFaultForTesting({}); }

  MainFormDeps Deps() {
    return TestDeps(
        dir, desktop, clock, jv,
        [this](QDialog& d) {
          if (onModal) onModal(d);
          return 0;
        },
        [this] { ++quits; });
  }
  std::unique_ptr<TMainForm> Make() { return std::make_unique<TMainForm>(Deps()); }
  fs::path IniPath() const { return dir / "Tavolen.ini"; }
  // Puts today's (or another) date into the date list and selects it.
  static void SelectDate(TMainForm& f, const SjisString& dateKey) {
    f.DateCombo->addItem(Qs(dateKey));
    f.DateCombo->setCurrentIndex(f.DateCombo->count() - 1);
  }
};

}  // namespace tavolen::testsupport
