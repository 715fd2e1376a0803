// A race weekend run by the program itself over the 64-bit bridge under Wine, with the COM
// stand-in as JV-Link: "開催日を自動で監視する" on from the first start, no click, the clock
// from Friday 20:00 to Sunday night stepped five minutes at a time (the COM stand-in reads it
// from its clock file), the feed filled as the service would fill it. The program fetches the
// weekend's race data, loads and watches each day, announces every change once, shows no box of
// ours, and leaves no bridge process behind when it ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include <signal.h>

#include "app/Main.h"
#include "automation/AutoWatch.h"
#include "changes/AnnouncementMemory.h"
#include "changes/ChangeEvaluation.h"
#include "changes/henkoUnit.h"
#include "jvbridge/BridgeJVLink.h"
#include "jvlink/ChangeFiles.h"
#include "jvlink/TextLines.h"
#include "standin/DemoDay.h"
#include "standin/DemoLive.h"
#include "tests/jvbridge/StandInBridge.h"
#include "tests/jvbridge/WineHarness.h"
#include "tests/reliability/RaceDayParts.h"
#include "tests/support/FakeClockAutomation.h"
#include "tests/support/Files.h"
#include "tests/support/ForwardingJVLink.h"
#include "tests/support/MainParts.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"

namespace tavolen {
namespace {

using testing::TheWine;
using testing::WindowsPath;
using testsupport::Part;
using testsupport::Parts;

// A file of /proc, which reports no size: read to its end.
std::string ProcFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The bridge processes running in the test prefix.
int BridgeProcesses() {
  int n = 0;
  const std::string prefixVar = "WINEPREFIX=" + TheWine().prefix.string();
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/proc", ec)) {
    const std::string pid = e.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    if (ProcFile(e.path() / "cmdline").find("tavolen-jvlink-bridge") == std::string::npos) continue;
    const std::string environ = ProcFile(e.path() / "environ");
    if (std::string_view(environ).find(prefixVar + '\0') != std::string::npos) ++n;
  }
  return n;
}

// Ends every bridge process of the test prefix at once, as a crash would.
int KillBridges() {
  int n = 0;
  const std::string prefixVar = "WINEPREFIX=" + TheWine().prefix.string();
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/proc", ec)) {
    const std::string pid = e.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    if (ProcFile(e.path() / "cmdline").find("tavolen-jvlink-bridge") == std::string::npos) continue;
    const std::string environ = ProcFile(e.path() / "environ");
    if (std::string_view(environ).find(prefixVar + '\0') == std::string::npos) continue;
    n += ::kill(static_cast<pid_t>(std::stol(pid)), SIGKILL) == 0;
  }
  return n;
}

// Counts the change fetches and passes JV-Link's change events on; killAtNextCheck ends the
// bridge process as the next change fetch of the day is called.
class CountingLink final : public testsupport::EventForwardingJVLink {
 public:
  using EventForwardingJVLink::EventForwardingJVLink;
  int rtOpens = 0, kills = 0;
  bool killAtNextCheck = false;
  int JVRTOpen(const std::u16string& dataspec, const std::u16string& key) override {
    if (dataspec != u"0B11" && dataspec != u"0B12") ++rtOpens;  // the change sessions
    if (killAtNextCheck && dataspec == u"0B14") {
      killAtNextCheck = false;
      kills += KillBridges() > 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return inner_.JVRTOpen(dataspec, key);
  }
};

TEST(BridgeWeekendUnderWine, ARaceWeekendRunsByItselfOverThe64BitBridge) {
  testsupport::EnsureApplication("tavolen_jvbridge_tests");
  TAVOLEN_REQUIRE_WINE();
  const fs::path dll = TheWine().Built("standin/tavolen-jvlink-standin.dll");
  ASSERT_FALSE(dll.empty()) << "the COM stand-in was not built";
  ASSERT_EQ(TheWine().Run({"regsvr32", "/s", WindowsPath(dll)}), 0);
  const auto wallStart = std::chrono::steady_clock::now();

  const fs::path root = testsupport::FreshDir("jvbridge/weekend");
  const fs::path app = root / "app", standin = root / "standin", feed = root / "feed";
  for (const fs::path& p : {app / "Data", standin, feed}) fs::create_directories(p);
  ASSERT_TRUE(testsupport::WriteFileBytes(standin / "settings.txt",
                                          "feedfolder=" + WindowsPath(feed) + "\n"));
  // The weekend: Saturday's race files made on Thursday 16:00, Sunday's on Friday 16:00.
  const std::vector<LocalDateTime> days = {{2024, 1, 6, 0, 0, 0}, {2024, 1, 7, 0, 0, 0}};
  struct File {
    std::string name, bytes;
  };
  std::vector<File> files;
  std::vector<std::string> raceRecords;
  std::map<SjisString, std::set<std::string>> changeIds;
  for (const LocalDateTime& day : days) {
    for (DemoFile& f : GenerateDemoDay(day)) {
      if (IsDemoLiveFile(f.name)) continue;  // the weights and results are not this test's
      if (f.name.find("-0B14-") == std::string::npos) {
        f.name = FormatCompactDateTime(day.AddDays(-2).AddSeconds(16 * 3600)) + f.name.substr(14);
        for (const std::string& l : SplitLines(f.bytes)) raceRecords.push_back(l + "\r\n");
      } else {
        for (const std::string& l : SplitLines(f.bytes))
          if (const auto type = ChangeTypeOf(l))
            changeIds[DateKey(day)].insert(ChangeIdentity(*type, l));
      }
      files.push_back({f.name, f.bytes});
    }
  }
  std::set<std::string> published;
  FakeClock clock({2024, 1, 5, 20, 0, 0});
  const auto setClock = [&](const LocalDateTime& t) {
    clock.Set(t);
    ASSERT_TRUE(testsupport::WriteFileBytes(root / "clock.txt", FormatCompactDateTime(t)));
    for (const File& f : files) {
      if (f.name.substr(0, 14) <= FormatCompactDateTime(t) && published.insert(f.name).second) {
        ASSERT_TRUE(testsupport::WriteFileBytes(feed / f.name, f.bytes));
      }
    }
  };
  setClock(clock.Now());
  // The service is in maintenance at the start; the retry at the date change meets JV-Link's
  // update question (answered いいえ by the COM stand-in's stand-in user after two seconds).
  ASSERT_TRUE(testsupport::WriteFileBytes(feed / "faults.txt", "JVOpen -504 times 1\r\n"));
  const LocalDateTime updateBoxAt{2024, 1, 6, 0, 0, 0};
  const LocalDateTime bridgeKilledAt{2024, 1, 6, 10, 30, 0};

  bridge::BridgeOptions o = testing::StandInBridgeOptions(standin, root / "clock.txt", 0);
  o.callTimeoutMs = 20000;
  SjisString why;
  std::unique_ptr<bridge::BridgeJVLink> link = bridge::StartBridgeJVLink(o, why);
  ASSERT_TRUE(link) << SjisToUtf8(why);
  link->SetWaitPump([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
  EXPECT_EQ(BridgeProcesses(), 1);

  ASSERT_TRUE(testsupport::WriteFileBytes(app / "Tavolen.ini", "[Auto]\r\nwatch=1\r\n"));
  RecordingDesktop desktop;
  int modals = 0, opens = 0;
  CountingLink jv(*link);
  std::map<SjisString, LocalDateTime> firstCheckOf;
  std::map<SjisString, std::set<std::string>> announced;
  {
    TMainForm form(MainFormDeps{app, "Tavolen", desktop, clock, jv,
                                [&](QDialog&) {
                                  ++modals;
                                  return 0;
                                },
                                [] {}});
    THenkoForm henko(form.SettingsFile(), &desktop);
    form.SetChangeWindow(&henko);
    form.show();
    AutoWatch& automation = testsupport::AutomationByFakeClock(form);
    const auto settle = [&] { ASSERT_TRUE(testsupport::FinishAcquisition(automation, 60000)); };
    settle();
    std::vector<SjisString> duringWait;
    const int waitObserver = jv.AddWindowWaitObserver([&](bool waiting) {
      if (!waiting) return;
      // Looked at once every observer has heard of it, while the call still waits.
      QTimer::singleShot(
          0, [&] { duringWait.push_back(SjisOf(Part<QLabel>(form, "AutoWatchLabel")->text())); });
    });
    for (LocalDateTime t{2024, 1, 5, 20, 0, 0}; t <= LocalDateTime{2024, 1, 7, 23, 55, 0};
         t = t.AddSeconds(300)) {
      setClock(t);
      const int fetchesBefore = jv.rtOpens;
      const size_t newsBefore = desktop.notificationMore.size();
      if (t == updateBoxAt) {
        ASSERT_TRUE(testsupport::WriteFileBytes(standin / "traits.txt", "update box 2\n"));
      }
      // The component lost in the middle of the race day: its bridge killed inside a check.
      if (t == bridgeKilledAt) jv.killAtNextCheck = true;
      automation.Tick();
      settle();
      if (t == updateBoxAt) fs::remove(standin / "traits.txt");
      if (testsupport::CheckTimer(form)->isActive()) form.Timer4Timer();
      testsupport::Events(form).Poll();
      QCoreApplication::processEvents();
      const SjisString today = DateKey(t);
      if (jv.rtOpens > fetchesBefore) {
        // Every change fetch is of today's meeting, loaded and watched.
        EXPECT_EQ(SjisOf(Parts(form).DateCombo->currentText()), today) << FormatCompactDateTime(t);
        firstCheckOf.try_emplace(today, t);
      }
      if (desktop.notificationMore.size() > newsBefore) {
        const auto ids = ParseAnnouncedFile(
            testsupport::ReadFileBytes(AnnouncedFilePath(form.meeting().selectedRaceFile)));
        std::set<std::string> now;
        if (ids) now.insert(ids->begin(), ids->end());
        EXPECT_GT(now.size(), announced[today].size()) << FormatCompactDateTime(t);
        announced[today] = now;
      }
      if (::testing::Test::HasFatalFailure()) return;
    }
    jv.RemoveWindowWaitObserver(waitObserver);
    opens = automation.SessionsStarted();
    EXPECT_TRUE(desktop.Messages().empty()) << SjisToUtf8(desktop.Messages().front());
    EXPECT_EQ(modals, 0);
    // The update question was waited on, the status line saying so; the maintenance told once,
    // and once that the acquisition works again.
    EXPECT_FALSE(duringWait.empty());
    for (const SjisString& w : duringWait) EXPECT_EQ(w, Sj(kWaitingOnJVLinkWindow));
    int told = 0;
    for (const auto& b : desktop.Of("balloon")) told += b.title == Sj("レースデータの自動取得");
    EXPECT_EQ(told, 2);  // it failed, and it worked again
    const std::string log = testsupport::ReadFileBytes(app / "ErrorLog.txt");
    // The bridge killed once, said once, started again, and the checks went on.
    EXPECT_EQ(jv.kills, 1);
    EXPECT_GE(link->starts(), 2);
    EXPECT_NE(log.find(Sj("：変更情報の確認：")), std::string::npos);
    EXPECT_NE(log.find(Sj("変更情報の確認は復旧しました")), std::string::npos);
    EXPECT_NE(
        log.find(Sj("【エラー】20:00:00：レースデータの自動取得（2024年01月05日）：JVOpenエラー:")),
        std::string::npos);
  }
  link.reset();

  for (const auto& [name, bytes] : reliability::ExpectedRaceFiles(raceRecords))
    EXPECT_TRUE(testsupport::ReadFileBytes(app / "Data" / SjisPath(name)) == bytes)
        << SjisToUtf8(name);
  int changes = 0;
  for (const LocalDateTime& d : days) {
    const SjisString key = DateKey(d);
    ASSERT_TRUE(firstCheckOf.count(key)) << SjisToUtf8(key);
    EXPECT_LE(firstCheckOf[key], (LocalDateTime{d.year, d.month, d.day, 8, 50, 0}));
    EXPECT_EQ(announced[key], changeIds[key]) << SjisToUtf8(key);
    changes += static_cast<int>(announced[key].size());
  }
  // The start (maintenance) and the date change; Sunday had its race data by then.
  EXPECT_EQ(opens, 2);
  // Nothing left behind: the bridge (which holds the COM stand-in) ends with its JV-Link.
  int left = BridgeProcesses();
  for (int i = 0; i < 100 && left > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    left = BridgeProcesses();
  }
  EXPECT_EQ(left, 0);
  std::printf(
      "bridge weekend: %d automatic acquisition(s), %d change fetches, %d changes announced; wall "
      "time %.1f s\n",
      opens, jv.rtOpens, changes,
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count());
}

}  // namespace
}  // namespace tavolen
