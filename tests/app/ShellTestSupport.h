// Scratch folders and a main window built from the test doubles.
#pragma once

#include <gtest/gtest.h>

#include <QDialog>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/Main.h"
#include "base/Widgets.h"
#include "jvlink/FileIO.h"
#include "tests/app/TestFiles.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedJVLink.h"

namespace tavolen::shelltest {

inline fs::path ScratchDir(const std::string& group) {
  const char* base = std::getenv("TAVOLEN_TEST_TMP");
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  fs::path dir = fs::path(base ? base : fs::temp_directory_path().string()) / "shell" / group /
                 (std::string(info->test_suite_name()) + "." + info->name());
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

using testing::Bytes;
using testing::PutBytes;

// The names in a folder, sorted.
inline std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

// The value of key in [section] of a code page 932 INI text, or "" when absent.
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

struct MainFormFixture : ::testing::Test {
  fs::path dir;
  RecordingDesktop desktop;
  FakeClock clock{LocalDateTime{2005, 1, 8, 9, 30, 0}};
  ScriptedJVLink jv;
  int quits = 0;
  std::vector<QDialog*> modals;  // dialogs shown modally, valid only inside onModal
  std::function<void(QDialog&)> onModal;

  void SetUp() override { dir = ScratchDir("main"); }
  void TearDown() override { SetWriteFaultForTesting({}); }

  MainFormDeps Deps() {
    return MainFormDeps{dir,
                        "Tavolen",
                        desktop,
                        clock,
                        jv,
                        [this](QDialog& d) {
                          if (onModal) onModal(d);
                          return 0;
                        },
                        [this] { ++quits; }};
  }
  std::unique_ptr<TMainForm> Make() { return std::make_unique<TMainForm>(Deps()); }
  fs::path IniPath() const { return dir / "Tavolen.ini"; }
  // Puts today's (or another) date into the date list and selects it.
  static void SelectDate(TMainForm& f, const SjisString& dateKey) {
    f.DateCombo->addItem(Qs(dateKey));
    f.DateCombo->setCurrentIndex(f.DateCombo->count() - 1);
  }
};

}  // namespace tavolen::shelltest
