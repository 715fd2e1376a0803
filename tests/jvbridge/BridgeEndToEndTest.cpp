// The program over the JV-Link bridge under Wine, with the COM stand-in registered as
// "JVDTLab.JVLink" in the test run's throwaway prefix, against the same program over the
// in-process stand-in: the same race day must give the same files, boxes and log lines.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QTimer>
#include <fstream>
#include <map>
#include <sstream>

#include "acquire/GetDataUnit.h"
#include "app/Main.h"
#include "app/Startup.h"
#include "base/Widgets.h"
#include "changes/henkoUnit.h"
#include "jvbridge/BridgeJVLink.h"
#include "jvlink/FileIO.h"
#include "jvlink/TextLines.h"
#include "standin/StandIn.h"
#include "tests/jvbridge/StandInBridge.h"
#include "tests/jvbridge/WineHarness.h"
#include "tests/reliability/RaceDayParts.h"
#include "tests/support/Files.h"
#include "tests/support/ForwardingJVLink.h"
#include "tests/support/MainWindow.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"

namespace tavolen {
namespace {

using testsupport::CountingJVLink;
using testsupport::Parts;

namespace fs = std::filesystem;
using testing::TheWine;
using testing::WindowsPath;

const LocalDateTime kDay{2024, 1, 6, 0, 0, 0};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::map<std::string, std::string> FilesOf(const fs::path& dir) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    out[e.path().filename().string()] = Slurp(e.path());
  return out;
}

// The COM stand-in registered in both views of the prefix, as the tests start from.
bool Registered(std::string& why) {
  return testing::RegisterStandIn(testing::Registration::Both, why);
}

// The time of both stand-ins: the test's fake clock and the file the COM stand-in reads. The
// day starts at 09:00, when the demo day the stand-ins make keeps its usual race times (made
// earlier, its races start an hour later).
struct Clocks {
  FakeClock clock{LocalDateTime{2024, 1, 6, 9, 0, 0}};
  fs::path file;
  void Set(const LocalDateTime& t) {
    clock.Set(t);
    if (!file.empty()) WriteFileAtomic(file, FormatCompactDateTime(t));
  }
};

struct Side {
  fs::path app;
  fs::path standin;
  Clocks clocks;
  std::unique_ptr<StandInJVLink> inProcess;
  std::unique_ptr<bridge::BridgeJVLink> bridged;
  JVLink& link() { return inProcess ? static_cast<JVLink&>(*inProcess) : *bridged; }
};

bridge::BridgeOptions BridgeOptionsFor(const fs::path& standin, const fs::path& clockFile,
                                       int callsPerFile, int bits = 64) {
  bridge::BridgeOptions o = testing::StandInBridgeOptions(standin, clockFile, callsPerFile, bits);
  o.callTimeoutMs = 20000;
  return o;
}

// One side of a comparison: the in-process stand-in or the bridge with the COM stand-in, each
// with its own folders.
std::unique_ptr<Side> MakeSide(const std::string& name, bool overBridge, int callsPerFile = 0,
                               int bits = 64, int dialogTimeoutMs = 0) {
  auto s = std::make_unique<Side>();
  const fs::path root = testsupport::TempDir(
      "jvbridge/" + name + (overBridge ? "-bridge" + std::to_string(bits) : "-inprocess"));
  s->app = root / "app";
  s->standin = root / "standin";
  fs::create_directories(s->app);
  fs::create_directories(s->standin);
  if (!overBridge) {
    s->inProcess =
        std::make_unique<StandInJVLink>(s->clocks.clock, StandInOptions{s->standin, callsPerFile});
    return s;
  }
  s->clocks.file = root / "clock.txt";
  s->clocks.Set(s->clocks.clock.Now());
  SjisString why;
  bridge::BridgeOptions options = BridgeOptionsFor(s->standin, s->clocks.file, callsPerFile, bits);
  if (dialogTimeoutMs > 0) options.dialogTimeoutMs = dialogTimeoutMs;
  s->bridged = bridge::StartBridgeJVLink(options, why);
  EXPECT_TRUE(s->bridged) << SjisToUtf8(why);
  if (!s->bridged) return nullptr;
  s->bridged->SetWaitPump(
      [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
  return s;
}

// What a person saw: every box, beep, balloon and sound, in order.
std::vector<std::string> Seen(const RecordingDesktop& d) {
  std::vector<std::string> out;
  for (const auto& e : d.events)
    if (e.kind != "tip" && e.kind != "tray")
      out.push_back(e.kind + ":" + SjisToUtf8(e.title) + ":" + SjisToUtf8(e.text));
  return out;
}

struct DayResult {
  std::map<std::string, std::string> files;
  std::vector<std::string> seen;
  std::string errorLog;
};

// The race day: the acquisition in the morning, then the main window's checks.
DayResult RunDay(Side& s) {
  RecordingDesktop desktop;
  const auto runModal = testsupport::RunAcquisitionToEnd;
  TMainForm form(
      MainFormDeps{s.app, "Tavolen", desktop, s.clocks.clock, s.link(), runModal, [] {}});
  THenkoForm henko(form.SettingsFile(), &desktop);
  form.SetChangeWindow(&henko);
  form.show();  // JVInit
  form.J1Click();
  const int at = Parts(form).DateCombo->findText(Qs(DateKey(kDay)));
  EXPECT_GE(at, 0);
  Parts(form).DateCombo->setCurrentIndex(at);
  form.DateComboChange();
  testsupport::CheckTimer(form)->stop();  // ticked by hand
  for (int hhnn : {900, 1005, 1130, 1300, 1440, 1610}) {
    s.clocks.Set(LocalDateTime{2024, 1, 6, hhnn / 100, hhnn % 100, 0});
    form.Timer4Timer();
    QCoreApplication::processEvents();
  }
  DayResult r;
  r.files = FilesOf(s.app / "Data");
  r.seen = Seen(desktop);
  r.errorLog = Slurp(s.app / "ErrorLog.txt");
  return r;
}

class BridgeEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication("tavolen_jvbridge_tests");
    if (!TheWine().usable()) return;
    std::string why;
    if (!Registered(why)) FAIL() << why;
  }
};

// The race day over the bridge of one bitness against the same day in process.
void CheckRaceDay(int bits) {
  auto local = MakeSide("day", false);
  auto remote = MakeSide("day", true, 0, bits);
  ASSERT_TRUE(remote);
  EXPECT_EQ(remote->bridged->hello().bits, static_cast<unsigned>(bits));
  const DayResult expected = RunDay(*local);
  const DayResult got = RunDay(*remote);

  // The day gave race files, change files of every kind and a renew file.
  for (const char* ext :
       {".jvRA", ".jvSEr", ".jvWE", ".jvAV", ".jvJC", ".jvTC", ".jvCC", ".renew"}) {
    bool found = false;
    for (const auto& [name, bytes] : expected.files) found |= name.ends_with(ext) && !bytes.empty();
    EXPECT_TRUE(found) << ext;
  }
  ASSERT_EQ(got.files.size(), expected.files.size());
  for (const auto& [name, bytes] : expected.files) {
    ASSERT_TRUE(got.files.count(name)) << name;
    EXPECT_TRUE(got.files.at(name) == bytes) << name << " differs";
  }
  EXPECT_EQ(got.seen, expected.seen);
  EXPECT_GT(std::count_if(got.seen.begin(), got.seen.end(),
                          [](const std::string& s) { return s.starts_with("balloon:"); }),
            0);
  // The error logs differ only in the application folder named in their start lines.
  EXPECT_EQ(SplitLines(got.errorLog).size(), SplitLines(expected.errorLog).size());
  EXPECT_EQ(remote->bridged->starts(), 1);
}

TEST_F(BridgeEndToEnd, RaceDayOverTheBridgeGivesTheFilesOfTheInProcessStandIn) {
  TAVOLEN_REQUIRE_WINE();
  CheckRaceDay(64);
}

// The component's reported ways of reading (traits.txt of the COM stand-in, the same in
// process): the record's length written back into size, with and without cutting at size, -3
// for the first reads of a session. Over the bridge the program gets exactly the records the
// component served: the day's files as in process, and as without any trait.
TEST_F(BridgeEndToEnd, EveryReadTraitGivesTheProgramExactlyTheRecordsServed) {
  TAVOLEN_REQUIRE_WINE();
  auto plainSide = MakeSide("traits-plain", false);
  const DayResult plain = RunDay(*plainSide);
  // The records carry kanji: fewer UTF-16 units than code page 932 bytes.
  bool kanji = false;
  for (const auto& [name, bytes] : plain.files)
    kanji |= name.ends_with(".jvRA") && SjisToUtf16(bytes).size() < bytes.size();
  EXPECT_TRUE(kanji);
  int n = 0;
  for (const char* traits : {"size back", "size cut", "downloading 3", "size cut\ndownloading 2"}) {
    SCOPED_TRACE(traits);
    const std::string name = "traits" + std::to_string(n++);
    auto local = MakeSide(name, false);
    auto remote = MakeSide(name, true);
    ASSERT_TRUE(remote);
    for (const Side* side : {local.get(), remote.get()})
      ASSERT_TRUE(WriteFileAtomic(side->standin / "traits.txt", traits));
    const DayResult expected = RunDay(*local);
    const DayResult got = RunDay(*remote);
    ASSERT_EQ(got.files.size(), plain.files.size());
    for (const auto& [file, bytes] : plain.files) {
      EXPECT_TRUE(got.files.count(file) && got.files.at(file) == bytes) << file;
      EXPECT_TRUE(expected.files.count(file) && expected.files.at(file) == bytes) << file;
    }
    EXPECT_EQ(got.seen, expected.seen);
  }
}

// JV-Link before 5.0.0 asks inside every JVOpen and JVRTOpen whether to download 5.0.0, until
// the user answers. Here the box is answered only after the answer timeout: the acquisition and
// the automatic check wait for it, the acquisition window and the status line say so, a timer
// tick inside the wait starts no second check, and each session is closed once.
TEST_F(BridgeEndToEnd, TheUpdateQuestionIsWaitedOnAndTheUserIsToldWhereToAnswer) {
  TAVOLEN_REQUIRE_WINE();
  // The box is a real window: the bridge has a display, as it inherits the user's.
  ASSERT_FALSE(TheWine().display.empty()) << "no Xvfb";
  auto remote = MakeSide("update-box", true, 0, 64, 3500);
  ASSERT_TRUE(remote);
  ASSERT_TRUE(WriteFileAtomic(remote->standin / "traits.txt", "update box 4\n"));
  CountingJVLink link(remote->link());
  RecordingDesktop desktop;
  std::vector<std::string> waits;
  TMainForm* main = nullptr;
  const auto waitSeen = [&](TGetDataForm* acquisition) {
    return [&waits, &main, acquisition](bool waiting) {
      if (!waiting) {
        waits.push_back("gone");
        return;
      }
      // Looked at once every observer has heard of it, while the call still waits.
      QTimer::singleShot(0, [&waits, &main, acquisition] {
        waits.push_back(
            "progress:" + (acquisition ? acquisition->ProgressLabel->text().toStdString() : "-") +
            " status:" + testsupport::Parts(*main).StatusLine->currentMessage().toStdString());
      });
    };
  };
  auto runModal = [&](QDialog& d) {
    auto* form = qobject_cast<TGetDataForm*>(&d);
    const int id = link.AddWindowWaitObserver(waitSeen(form));
    testsupport::RunAcquisitionToEnd(d);
    link.RemoveWindowWaitObserver(id);
    return 0;
  };
  TMainForm form(
      MainFormDeps{remote->app, "Tavolen", desktop, remote->clocks.clock, link, runModal, [] {}});
  main = &form;
  THenkoForm henko(form.SettingsFile(), &desktop);
  form.SetChangeWindow(&henko);
  form.show();
  form.J1Click();
  EXPECT_EQ(link.opens, 1);
  EXPECT_EQ(link.closes, 1);
  const auto seenText = [&] {
    std::string text;
    for (const std::string& seen : Seen(desktop)) text += seen + "\n";
    for (const std::string& w : waits) text += w + "\n";
    return text;
  };
  const int at = Parts(form).DateCombo->findText(Qs(DateKey(kDay)));
  ASSERT_GE(at, 0) << seenText();
  Parts(form).DateCombo->setCurrentIndex(at);
  form.DateComboChange();
  testsupport::CheckTimer(form)->stop();  // ticked by hand, and once more inside the wait
  remote->clocks.Set(LocalDateTime{2024, 1, 6, 10, 5, 0});
  const auto inCheck = waitSeen(nullptr);
  const int id = link.AddWindowWaitObserver([&](bool waiting) {
    inCheck(waiting);
    if (waiting) form.Timer4Timer();
  });
  form.Timer4Timer();
  link.RemoveWindowWaitObserver(id);
  EXPECT_EQ(link.rtOpens, 1);
  // The check also fetches the day's weights and results, and the component asks in those
  // sessions too; each is closed and waited on the same way.
  EXPECT_EQ(link.closes, 2 + link.liveOpens);

  const std::string told = "JV-Linkの画面で応答を待っています";
  std::vector<std::string> expected{"progress:" + told + " status:" + told, "gone"};
  for (int i = 0; i < 1 + link.liveOpens; ++i) {
    expected.push_back("progress:- status:" + told);
    expected.push_back("gone");
  }
  EXPECT_EQ(waits, expected);
  EXPECT_TRUE(Parts(form).StatusLine->currentMessage().isEmpty());
  for (const std::string& seen : Seen(desktop)) EXPECT_FALSE(seen.starts_with("error")) << seen;
  EXPECT_FALSE(FilesOf(remote->app / "Data").empty()) << seenText();
  EXPECT_EQ(remote->bridged->starts(), 1);
}

// JV-Link before 5.0.0 is 32-bit: the 32-bit bridge under 32-bit Wine gives the same day.
TEST_F(BridgeEndToEnd, RaceDayOverThe32BitBridgeGivesTheFilesOfTheInProcessStandIn) {
  TAVOLEN_REQUIRE_WINE32();
  CheckRaceDay(32);
}

}  // namespace
}  // namespace tavolen

namespace tavolen {
namespace {

// One fault of faults.txt and the action of the program that meets it.
struct FaultCase {
  enum Where { Show, Settings, Acquire, Fetch } where;
  std::string line;
};

std::vector<FaultCase> FaultCases() {
  std::vector<FaultCase> cases;
  for (int c : {-101, -102, -103, -999})
    cases.push_back({FaultCase::Show, "JVInit " + std::to_string(c)});
  for (int c : {-100, -101, -999})
    cases.push_back({FaultCase::Settings, "JVSetUIProperties " + std::to_string(c)});
  const std::vector<int> openCodes = {-1,   -2,   -111, -112, -113, -114, -115, -116,
                                      -117, -201, -202, -211, -301, -302, -303, -401,
                                      -411, -412, -413, -421, -431, -501, -504, -999};
  for (int c : openCodes) cases.push_back({FaultCase::Acquire, "JVOpen " + std::to_string(c)});
  for (int c : {-201, -203, -502, -999})
    cases.push_back({FaultCase::Acquire, "JVStatus " + std::to_string(c)});
  for (int c : {-201, -203, -402, -403, -502, -503, -999})
    cases.push_back({FaultCase::Acquire, "JVRead " + std::to_string(c) + " after 5"});
  cases.push_back({FaultCase::Acquire, "JVClose -999"});
  for (int c : openCodes) cases.push_back({FaultCase::Fetch, "JVRTOpen " + std::to_string(c)});
  for (int c : {-402, -503})
    cases.push_back({FaultCase::Fetch, "JVRead " + std::to_string(c) + " after 3"});
  cases.push_back({FaultCase::Fetch, "JVClose -999"});
  return cases;
}

// What each fault case showed and logged.
std::vector<std::string> RunFaults(Side& s, const std::vector<FaultCase>& cases) {
  RecordingDesktop desktop;
  const FaultCase* current = nullptr;
  auto runModal = [&](QDialog& d) {
    auto* form = qobject_cast<TGetDataForm*>(&d);
    if (form && current && current->where == FaultCase::Settings) {
      form->SpeedButton1Click();
      form->done(QDialog::Accepted);
      return 0;
    }
    return testsupport::RunAcquisitionToEnd(d);
  };
  TMainForm form(
      MainFormDeps{s.app, "Tavolen", desktop, s.clocks.clock, s.link(), runModal, [] {}});
  form.show();
  form.J1Click();  // the day's race data, without faults
  // Today's meeting loaded (closing an acquisition window leaves no date selected).
  const auto selectToday = [&] {
    const int at = Parts(form).DateCombo->findText(Qs(DateKey(kDay)));
    EXPECT_GE(at, 0);
    Parts(form).DateCombo->setCurrentIndex(at);
    form.DateComboChange();
    testsupport::CheckTimer(form)->stop();
  };
  s.clocks.Set(LocalDateTime{2024, 1, 6, 15, 0, 0});

  const fs::path faults = s.standin / std::string(kStandInDemoFolderName) / "faults.txt";
  std::vector<std::string> out;
  for (const FaultCase& c : cases) {
    current = &c;
    EXPECT_TRUE(WriteFileAtomic(faults, c.line + "\r\n"));
    fs::remove_all(s.standin / std::string(kStandInCacheFolderName));  // a download every time
    desktop.Clear();
    const size_t logLines = SplitLines(Slurp(s.app / "ErrorLog.txt")).size();
    switch (c.where) {
      case FaultCase::Show:
        form.FormShow();
        break;
      case FaultCase::Settings:
      case FaultCase::Acquire:
        form.J1Click();
        break;
      case FaultCase::Fetch:
        selectToday();
        desktop.Clear();
        form.GetKaisaiBtnClick();
        break;
    }
    QCoreApplication::processEvents();
    std::string text = c.line + " =>";
    for (const std::string& seen : Seen(desktop)) text += "\n  " + seen;
    const auto log = SplitLines(Slurp(s.app / "ErrorLog.txt"));
    for (size_t i = logLines; i < log.size(); ++i) text += "\n  log:" + SjisToUtf8(log[i]);
    out.push_back(text);
    current = nullptr;
  }
  WriteFileAtomic(faults, "");
  return out;
}

TEST_F(BridgeEndToEnd, EveryInjectedResultCodeGivesTheInProcessTextsAndLogLines) {
  TAVOLEN_REQUIRE_WINE();
  const std::vector<FaultCase> cases = FaultCases();
  auto local = MakeSide("faults", false);
  auto remote = MakeSide("faults", true);
  ASSERT_TRUE(remote);
  const std::vector<std::string> expected = RunFaults(*local, cases);
  const std::vector<std::string> got = RunFaults(*remote, cases);
  ASSERT_EQ(got.size(), cases.size());
  ASSERT_EQ(expected.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(got[i], expected[i]);
    // The fault was met: its code is in a box or a log line ("-1" is "no newer data").
    const std::string code = cases[i].line.substr(cases[i].line.find(' ') + 1);
    const std::string number = code.substr(0, code.find(' '));
    if (number != "-1") {
      EXPECT_NE(expected[i].find("(" + number + ")"), std::string::npos) << expected[i];
    }
  }
  EXPECT_EQ(remote->bridged->starts(), 1);  // result codes are no failures of the bridge
}

// Passes every call on; kills the bridge just before the n-th JVRead.
class KillingLink : public testsupport::ForwardingJVLink {
 public:
  explicit KillingLink(bridge::BridgeJVLink& bridged)
      : ForwardingJVLink(bridged), bridged_(bridged) {}
  int killAtRead = 0;  // 0: never
  int reads = 0;

  bool Busy() const override { return bridged_.Busy(); }
  int JVRead(std::u16string& buff, int& size, std::u16string& name) override {
    if (++reads == killAtRead && bridged_.ProcessId() > 0) {
      ::kill(static_cast<pid_t>(bridged_.ProcessId()), SIGKILL);
      killAtRead = 0;
    }
    return inner_.JVRead(buff, size, name);
  }

 private:
  bridge::BridgeJVLink& bridged_;
};

// Every race file in the folder is whole: day files of whole 1272-byte lines, entry files of
// 216 lines of 555 bytes, no temporary file left.
void ExpectWholeRaceFiles(const fs::path& data) {
  for (const auto& [name, bytes] : FilesOf(data)) {
    EXPECT_FALSE(name.ends_with(std::string(kTempSuffix))) << name;
    if (name.ends_with(".jvRA")) {
      EXPECT_EQ(bytes.size() % 1272, 0u) << name;
    }
    if (name.ends_with(".jvSEr")) {
      EXPECT_EQ(bytes.size(), 216u * 555) << name;
    }
  }
}

bool Showed(const RecordingDesktop& d, const std::string& kind, const char* part) {
  for (const auto& e : d.events)
    if (e.kind == kind && e.text.find(Sj(part)) != std::string::npos) return true;
  return false;
}

TEST_F(BridgeEndToEnd, KilledOrSilentBridgeEndsOnlyTheActionAndTheNextActionWorks) {
  TAVOLEN_REQUIRE_WINE();
  auto remote = MakeSide("killed", true);
  ASSERT_TRUE(remote);
  KillingLink link(*remote->bridged);
  RecordingDesktop desktop;
  const auto runModal = testsupport::RunAcquisitionToEnd;
  TMainForm form(
      MainFormDeps{remote->app, "Tavolen", desktop, remote->clocks.clock, link, runModal, [] {}});
  form.show();
  const auto expectedFiles =
      reliability::ExpectedRaceFiles(reliability::DemoFeedOf(kDay).raceRecords);

  // Killed in the middle of the reading: the general error box, whole files, a closed session.
  link.killAtRead = 40;
  form.J1Click();
  EXPECT_TRUE(Showed(desktop, "error", "JV-Linkブリッジが終了しました")) << Seen(desktop).back();
  EXPECT_FALSE(Showed(desktop, "info", "データ作成が完了しました。"));
  ExpectWholeRaceFiles(remote->app / "Data");
  EXPECT_FALSE(form.AcquisitionHoldsSession());

  // The next acquisition starts a new bridge, initialises it and reads the whole day.
  desktop.Clear();
  form.J1Click();
  EXPECT_TRUE(Showed(desktop, "info", "データ作成が完了しました。"));
  EXPECT_EQ(desktop.Count("error"), 0);
  EXPECT_EQ(remote->bridged->starts(), 2);
  for (const auto& [name, bytes] : expectedFiles)
    EXPECT_TRUE(Slurp(remote->app / "Data" / SjisPath(name)) == bytes) << PathText(name);

  // A change check killed in its reading: the error box, no evaluation; the next tick works.
  const int at = Parts(form).DateCombo->findText(Qs(DateKey(kDay)));
  ASSERT_GE(at, 0);
  Parts(form).DateCombo->setCurrentIndex(at);
  form.DateComboChange();
  testsupport::CheckTimer(form)->stop();
  remote->clocks.Set(LocalDateTime{2024, 1, 6, 15, 0, 0});
  desktop.Clear();
  link.reads = 0;
  link.killAtRead = 3;
  form.GetKaisaiBtnClick();
  EXPECT_TRUE(Showed(desktop, "error", "JV-Linkブリッジが終了しました"));
  EXPECT_EQ(desktop.Count("balloon"), 0);
  desktop.Clear();
  form.Timer4Timer();
  EXPECT_EQ(desktop.Count("error"), 0);
  EXPECT_EQ(desktop.Count("balloon"), 1);
  EXPECT_EQ(remote->bridged->starts(), 3);

  // A bridge that stops answering (the component hangs in its 30th JVRead).
  bridge::BridgeOptions o = BridgeOptionsFor(remote->standin, remote->clocks.file, 0);
  o.callTimeoutMs = 3000;
  SjisString why;
  auto silent = bridge::StartBridgeJVLink(o, why);
  ASSERT_TRUE(silent) << SjisToUtf8(why);
  KillingLink link2(*silent);
  const fs::path app2 = remote->app.parent_path() / "app2";
  fs::create_directories(app2);
  TMainForm form2(
      MainFormDeps{app2, "Tavolen", desktop, remote->clocks.clock, link2, runModal, [] {}});
  form2.show();
  ASSERT_TRUE(WriteFileAtomic(remote->standin / "trip.txt", "JVRead 30 hang\r\n"));
  desktop.Clear();
  form2.J1Click();
  EXPECT_TRUE(Showed(desktop, "error", "応答しません")) << ::testing::PrintToString(Seen(desktop));
  ExpectWholeRaceFiles(app2 / "Data");
  desktop.Clear();
  form2.J1Click();
  EXPECT_TRUE(Showed(desktop, "info", "データ作成が完了しました。"));
  for (const auto& [name, bytes] : expectedFiles)
    EXPECT_TRUE(Slurp(app2 / "Data" / SjisPath(name)) == bytes) << PathText(name);
}

// --describe names the bridge's bitness and every operation with its parameters' directions.
TEST_F(BridgeEndToEnd, DescribePrintsTheComponentsOperationsAndDirections) {
  TAVOLEN_REQUIRE_WINE();
  std::string out;
  ASSERT_EQ(TheWine().Run({WindowsPath(testing::BuiltBridge(64)), "--describe"}, &out), 0) << out;
  EXPECT_NE(out.find("64-bit"), std::string::npos) << out;
  EXPECT_NE(out.find("JVDTLab.JVLink created"), std::string::npos) << out;
  EXPECT_NE(out.find(TheWine().usable32() ? "registered 32-bit and 64-bit" : "registered 64-bit"),
            std::string::npos)
      << out;
  for (const char* line :
       {"[id 1] long JVInit([in] BSTR sid)",
        "long JVOpen([in] BSTR dataspec, [in] BSTR fromtime, [in] long option, "
        "[in, by reference] long* readcount, [in, by reference] long* downloadcount, "
        "[in, by reference] BSTR* lastfiletimestamp)",
        "long JVRead([in, by reference] BSTR* buff, [in, by reference] long* size, "
        "[in, by reference] BSTR* filename)",
        "long JVRTOpen([in] BSTR dataspec, [in] BSTR key)", "void JVCancel()"})
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
}

// The version box names the release the component states in m_JVLinkVersion ("0500" for
// 5.0.0), never its type library's number (the COM stand-in's, like JV-Link's, is 1.12); a
// component without the property shows no number.
TEST_F(BridgeEndToEnd, TheVersionShownIsTheReleaseTheComponentStates) {
  TAVOLEN_REQUIRE_WINE();
  const fs::path root = testsupport::TempDir("jvbridge/version");
  const fs::path standin = root / "standin", clock = root / "clock.txt";
  fs::create_directories(standin);
  ASSERT_TRUE(WriteFileAtomic(clock, "20240106070000"));
  const std::pair<const char*, const char*> cases[] = {
      {"", "JV-Link 5.0.0（ブリッジ 64ビット"},
      {"version 0492\r\n", "JV-Link 4.9.2（ブリッジ 64ビット"},
      {"version none\r\n", "JV-Link（ブリッジ 64ビット"}};
  for (const auto& [traits, shown] : cases) {
    SCOPED_TRACE(traits);
    if (*traits) {
      ASSERT_TRUE(WriteFileAtomic(standin / "traits.txt", traits));
    }
    SjisString why;
    auto link = bridge::StartBridgeJVLink(testing::StandInBridgeOptions(standin, clock, 0), why);
    ASSERT_TRUE(link) << SjisToUtf8(why);
    const std::string described = SjisToUtf8(link->Description());
    EXPECT_EQ(described.rfind(shown, 0), 0u) << described;
    EXPECT_EQ(described.find("1.12"), std::string::npos) << described;
  }
  std::string out;
  fs::remove(standin / "traits.txt");
  ASSERT_EQ(TheWine().Run({WindowsPath(testing::BuiltBridge(64)), "--describe"}, &out), 0) << out;
  EXPECT_NE(out.find("version 5.0.0 (m_JVLinkVersion 0500)"), std::string::npos) << out;
}

TEST_F(BridgeEndToEnd, ComponentNotRegisteredEndsTheStartWithTheMessageAndWritesNothing) {
  TAVOLEN_REQUIRE_WINE();
  std::string registration;
  ASSERT_TRUE(testing::RegisterStandIn(testing::Registration::None, registration)) << registration;
  const fs::path root = testsupport::TempDir("jvbridge/unregistered");
  const fs::path app = root / "app";
  fs::create_directories(app);
  RecordingDesktop desktop;
  FakeClock clock{LocalDateTime{2024, 1, 6, 7, 0, 0}};
  StartupDeps deps{desktop, clock, app, "Tavolen"};
  // Both bridges, as an install has them: neither finds the class.
  const bridge::BridgeOptions options = testing::InstalledBridgeOptions(
      root, bridge::JVLinkChoice{}, root / "standin", root / "clock.txt");
  ASSERT_FALSE(options.launch.command.empty()) << "the bridges were not built";
  std::string reason;
  deps.createJVLink = [&]() -> std::unique_ptr<JVLink> {
    SjisString why;
    auto link = bridge::StartBridgeJVLink(options, why);
    reason = SjisToUtf8(why);
    return link;
  };
  ProgramWindows windows;
  const StartOutcome outcome = StartUp(deps, false, windows);
  ASSERT_TRUE(Registered(registration)) << registration;  // for the other tests
  EXPECT_EQ(outcome, StartOutcome::NoJVLink);
  EXPECT_NE(reason.find("JV-Linkを作成できませんでした"), std::string::npos) << reason;
  ASSERT_EQ(desktop.events.size(), 2u);
  EXPECT_EQ(desktop.events[0].kind, "beep");
  EXPECT_EQ(desktop.events[1].text,
            Sj("JRA-VANのホームページより【JV-Link】を入手し、インストールしてください。"));
  EXPECT_TRUE(fs::is_empty(app));
}

}  // namespace
}  // namespace tavolen
