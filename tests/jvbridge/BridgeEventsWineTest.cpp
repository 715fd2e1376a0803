// The demo race day through the 64-bit bridge under Wine with the COM stand-in's events: each
// announcement fires through the stand-in's connection point, the bridge's sink forwards it, and
// the main window announces it within 2 seconds of falling due, once, with the check timer still
// ticking; the files at the end are those of the in-process stand-in with events switched off.
// The time from falling due to the notification is printed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

#include "acquire/GetDataUnit.h"
#include "app/Main.h"
#include "base/Widgets.h"
#include "changes/AnnouncementMemory.h"
#include "changes/ChangeEvaluation.h"
#include "changes/henkoUnit.h"
#include "jvbridge/BridgeJVLink.h"
#include "jvlink/FileIO.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/JVEvents.h"
#include "jvlink/LiveFiles.h"
#include "jvlink/LiveRecords.h"
#include "jvlink/TextLines.h"
#include "standin/StandIn.h"
#include "tests/jvbridge/StandInBridge.h"
#include "tests/jvbridge/WineHarness.h"
#include "tests/support/Files.h"
#include "tests/support/MainParts.h"
#include "tests/support/MainWindow.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"

namespace tavolen {
namespace {

using testing::TheWine;
using testing::WindowsPath;

QApplication& EventsApp() {
  return testsupport::EnsureApplication("tavolen_jvbridge_tests");
}

// Registers the 64-bit COM stand-in in the test prefix.
void RegisterComStandIn() {
  const fs::path dll = TheWine().Built("standin/tavolen-jvlink-standin.dll");
  ASSERT_FALSE(dll.empty()) << "the COM stand-in was not built";
  ASSERT_EQ(TheWine().Run({"regsvr32", "/s", WindowsPath(dll)}), 0);
}

// Runs the event loop for ms of wall time (processEvents alone returns at once when nothing
// is pending, before any timer is due).
void RunEventLoopFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

fs::path EventScratch(const std::string& name) {
  const fs::path dir = testsupport::TempDir("jvbridge/" + name);
  fs::create_directories(dir / "app");
  fs::create_directories(dir / "standin");
  return dir;
}

// The main window of one side, acquired at 07:00 and showing today, its check timer left to
// the test.
struct Side {
  fs::path root;
  FakeClock clock{LocalDateTime{2024, 1, 6, 7, 0, 0}};
  RecordingDesktop desktop;
  std::unique_ptr<JVLink> link;
  std::unique_ptr<TMainForm> form;
  std::unique_ptr<THenkoForm> henko;

  void Set(const LocalDateTime& t) {
    clock.Set(t);
    WriteFileAtomic(root / "clock.txt", FormatCompactDateTime(t));  // the COM stand-in's time
  }
  void Open() {
    form = std::make_unique<TMainForm>(MainFormDeps{root / "app", "Tavolen", desktop, clock, *link,
                                                    testsupport::RunAcquisitionToEnd, [] {}});
    henko = std::make_unique<THenkoForm>(form->SettingsFile(), &desktop);
    form->SetChangeWindow(henko.get());
    form->show();
    form->J1Click();
    const int at = testsupport::Parts(*form).DateCombo->findText(Qs(DateKey(clock.Now())));
    EXPECT_GE(at, 0);
    testsupport::Parts(*form).DateCombo->setCurrentIndex(at);
    form->DateComboChange();
    EXPECT_TRUE(testsupport::CheckTimer(*form)->isActive());
  }
  ~Side() {
    henko.reset();
    form.reset();
  }
  // The side over the 64-bit bridge with the COM stand-in, its scratch folder named name.
  void StartBridged(const std::string& name) {
    root = EventScratch(name);
    Set(clock.Now());
    bridge::BridgeOptions o =
        testing::StandInBridgeOptions(root / "standin", root / "clock.txt", 0);
    o.callTimeoutMs = 20000;
    SjisString why;
    auto started = bridge::StartBridgeJVLink(o, why);
    ASSERT_TRUE(started) << SjisToUtf8(why);
    EXPECT_TRUE(started->EventsAvailable()) << SjisToUtf8(Utf16ToSjis(started->hello().eventsText));
    EXPECT_EQ(started->hello().eventsText.substr(0, 14), u"_IJVLinkEvents");
    started->SetWaitPump(
        [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    link = std::move(started);
  }
  std::set<std::string> Announced() const {
    const auto ids = ParseAnnouncedFile(
        testsupport::ReadFileBytes(AnnouncedFilePath(form->meeting().selectedRaceFile)));
    return ids ? std::set<std::string>(ids->begin(), ids->end()) : std::set<std::string>();
  }
};

TEST(BridgeEventsUnderWine, EveryChangeAnnouncedWithinTwoSecondsOnceAndTheFilesAsWithoutEvents) {
  EventsApp();
  TAVOLEN_REQUIRE_WINE();
  ASSERT_NO_FATAL_FAILURE(RegisterComStandIn());

  Side bridged;
  ASSERT_NO_FATAL_FAILURE(bridged.StartBridged("events-bridge"));
  bridged.Open();

  Side local;  // the in-process stand-in, events off
  local.root = EventScratch("events-inprocess");
  ASSERT_TRUE(testsupport::WriteFileBytes(local.root / "app" / "Tavolen.ini",
                                          "[Time]\r\nChangeEvents=0\r\n"));
  local.link =
      std::make_unique<StandInJVLink>(local.clock, StandInOptions{local.root / "standin", 0});
  local.Open();
  testsupport::Part<QTimer>(*local.form, "ChangeEventTimer")->stop();

  // The moments the day's announcements fall due, from the demo day the COM stand-in made.
  std::vector<FeedFile> files;
  for (const FeedEntry& e :
       ListFeed(bridged.root / "standin" / std::string(kStandInDemoFolderName))) {
    FeedFile f;
    if (ReadFeedFile(e, f) && f.kind == FeedKind::Change) files.push_back(std::move(f));
  }
  std::vector<std::string> dues;
  for (const StandInAnnouncement& a : ListAnnouncements(files))
    if (a.due > "20240106070000" && (dues.empty() || dues.back() != a.due)) dues.push_back(a.due);
  ASSERT_GE(dues.size(), 5u);

  auto tick = [&](const LocalDateTime& t) {
    for (Side* s : {&bridged, &local}) {
      s->Set(t);
      s->desktop.Clear();
      s->form->Timer4Timer();
      QCoreApplication::processEvents();
    }
  };
  // The events are watched before the first announcement falls due: the watch starts on its
  // poll timer, and what falls due before the component is asked to watch is never raised.
  const auto watchBy = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!testsupport::Events(*bridged.form).watching() &&
         std::chrono::steady_clock::now() < watchBy)
    RunEventLoopFor(20);
  ASSERT_TRUE(testsupport::Events(*bridged.form).watching());
  std::vector<double> ms;
  std::set<std::string> before = bridged.Announced();
  int ticks = 0;
  for (const std::string& due : dues) {
    LocalDateTime t;
    ASSERT_TRUE(ParseCompactDateTime(due, t));
    // The timer ticks a minute before each change and keeps the day's checks going.
    tick(t.AddSeconds(-60));
    ++ticks;
    before = bridged.Announced();
    bridged.Set(t.AddSeconds(-1));
    RunEventLoopFor(250);
    bridged.desktop.Clear();
    const auto start = std::chrono::steady_clock::now();
    bridged.Set(t);  // falls due now
    while (bridged.desktop.Count("balloon") == 0 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
    // A moment more: nothing is told twice.
    RunEventLoopFor(300);
    EXPECT_EQ(bridged.desktop.Count("balloon"), 1) << due;
    EXPECT_LT(ms.back(), 2000.0) << due;
    const std::set<std::string> now = bridged.Announced();
    EXPECT_GT(now.size(), before.size()) << due;
  }
  // The end of the day: one more tick on both sides.
  tick({2024, 1, 6, 23, 59, 0});
  EXPECT_EQ(bridged.desktop.Count("balloon"), 0) << "everything was told as it came";

  std::sort(ms.begin(), ms.end());
  std::printf(
      "change event to notification through the bridge under Wine: %zu changes, min %.0f "
      "ms, median %.0f ms, max %.0f ms (%d timer checks besides)\n",
      ms.size(), ms.front(), ms[ms.size() / 2], ms.back(), ticks + 1);
  EXPECT_TRUE(testsupport::Events(*bridged.form).watching());
  EXPECT_GE(testsupport::Events(*bridged.form).fetched(), static_cast<int>(dues.size()) - 1);

  std::map<std::string, std::string> a, b;
  for (const auto& e : fs::directory_iterator(bridged.root / "app" / "Data"))
    a[e.path().filename().string()] = testsupport::ReadFileBytes(e.path());
  for (const auto& e : fs::directory_iterator(local.root / "app" / "Data"))
    b[e.path().filename().string()] = testsupport::ReadFileBytes(e.path());
  EXPECT_EQ(a.size(), b.size());
  for (const auto& [name, bytes] : a) EXPECT_TRUE(b.count(name) && b[name] == bytes) << name;
  EXPECT_EQ(bridged.desktop.Count("error"), 0);
}

// The demo day's weights and results over the same bridge, by their events alone (the check
// timer does not tick): at each publication of the live files the COM stand-in raises
// JVEvtWeight or JVEvtPay, and the program fetches that race and stores it within a second.
TEST(BridgeEventsUnderWine, EachWeightAndPayoutEventIsFetchedAndStoredWithinASecond) {
  EventsApp();
  TAVOLEN_REQUIRE_WINE();
  ASSERT_NO_FATAL_FAILURE(RegisterComStandIn());
  Side bridged;
  ASSERT_NO_FATAL_FAILURE(bridged.StartBridged("events-live"));
  bridged.Open();
  const auto watchBy = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!testsupport::Events(*bridged.form).watching() &&
         std::chrono::steady_clock::now() < watchBy)
    RunEventLoopFor(20);
  ASSERT_TRUE(testsupport::Events(*bridged.form).watching());

  // Each publication: its moment and the items it brings (weights or payouts of a race, and a
  // result stage of its runners).
  struct Publication {
    LocalDateTime at;
    std::vector<SjisString> records;
  };
  std::vector<Publication> publications;
  for (const FeedEntry& e :
       ListFeed(bridged.root / "standin" / std::string(kStandInDemoFolderName))) {
    FeedFile f;
    // What was published before the watch began is the timer's to fetch.
    if (e.stamp <= "20240106070000" || !ReadFeedFile(e, f) || f.kind != FeedKind::Live) continue;
    Publication p;
    ASSERT_TRUE(ParseCompactDateTime(e.stamp, p.at));
    p.records = f.records;
    publications.push_back(std::move(p));
  }
  ASSERT_GE(publications.size(), 100u);  // two courses of twelve races, five each
  auto stored = [&](const Publication& p) {
    LiveDay day;
    if (!ReadLiveDay(bridged.form->meeting().selectedRaceFile, day)) return false;
    for (const SjisString& r : p.records) {
      const std::string race = Cut(r, Header::RaceKey);
      if (r.starts_with("WH") && !day.weights.contains(race)) return false;
      if (r.starts_with("HR") && !day.payouts.contains(race)) return false;
      if (const auto se = ReadRunnerResult(r)) {
        const auto it = day.results.find(race + Cut(r, SE::HorseNumber));
        if (it == day.results.end() || ReadRunnerResult(it->second)->stage < se->stage)
          return false;
      }
    }
    return true;
  };
  std::vector<double> ms;
  for (const Publication& p : publications) {
    const auto start = std::chrono::steady_clock::now();
    bridged.Set(p.at);
    while (!stored(p) && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
    EXPECT_LT(ms.back(), 1000.0) << FormatCompactDateTime(p.at);
  }
  std::sort(ms.begin(), ms.end());
  std::printf(
      "weight and payout events to stored files through the bridge under Wine: %zu "
      "publications, min %.0f ms, median %.0f ms, max %.0f ms\n",
      ms.size(), ms.front(), ms[ms.size() / 2], ms.back());
  EXPECT_EQ(bridged.desktop.Count("error"), 0);
}

// --describe names the source interface and its events; --watch prints each event with its key
// as the stand-in's clock passes a change, and ends on Enter. bits: the bridge's and the COM
// stand-in's bitness.
void DescribeAndWatch(int bits) {
  const fs::path root = EventScratch("events-watch" + std::to_string(bits));
  ASSERT_TRUE(WriteFileAtomic(root / "clock.txt", "20240106083800"));
  bridge::BridgeOptions o =
      testing::StandInBridgeOptions(root / "standin", root / "clock.txt", 0, bits);

  std::string described;
  ASSERT_FALSE(testing::BuiltBridge(bits).empty()) << "the bridge was not built";
  ASSERT_EQ(TheWine().Run({WindowsPath(testing::BuiltBridge(bits)), "--describe"}, &described), 0);
  EXPECT_NE(described.find(std::to_string(bits) + "-bit"), std::string::npos) << described;
  EXPECT_NE(described.find("source interface _IJVLinkEvents {"), std::string::npos) << described;
  EXPECT_NE(described.find(", 7 events"), std::string::npos) << described;
  for (const char* name :
       {"JVEvtJockeyChange(BSTR key)", "JVEvtWeather(BSTR key)", "JVEvtCourseChange(BSTR key)",
        "JVEvtAvoid(BSTR key)", "JVEvtTimeChange(BSTR key)", "JVEvtPay(BSTR key)",
        "JVEvtWeight(BSTR key)"})
    EXPECT_NE(described.find(name), std::string::npos) << name;

  bridge::BridgeLaunch watch = o.launch;
  watch.command.push_back("--watch");
  SjisString error;
  auto process = bridge::StartBridgeProcess(watch, error);
  ASSERT_TRUE(process) << SjisToUtf8(error);
  std::string out;
  auto waitFor = [&](const std::string& text, int ms) {
    for (int waited = 0; waited < ms && out.find(text) == std::string::npos; waited += 100)
      if (!process->Read(100, out)) break;
    return out.find(text) != std::string::npos;
  };
  ASSERT_TRUE(waitFor("waiting for events", 60000)) << out;
  EXPECT_NE(out.find("JVInit 0, JVWatchEvent 0"), std::string::npos) << out;
  ASSERT_TRUE(WriteFileAtomic(root / "clock.txt", "20240106084200"));
  ASSERT_TRUE(waitFor("(28 characters)", 10000)) << out;
  // The first change event's line (a weight's event with its 12-character key may come first).
  const size_t at = out.rfind(" JVEvt", out.find("(28 characters)"));
  ASSERT_NE(at, std::string::npos);
  const std::string line = out.substr(at + 1, out.find('\n', at) - at - 1);
  const size_t space = line.find(' ');
  const std::string key = line.substr(space + 1, 28);
  const auto parsed = ParseChangeEventKey(key);
  ASSERT_TRUE(parsed) << line;
  EXPECT_EQ(parsed->date, "20240106");
  EXPECT_EQ(parsed->recordType, ChangeEventRecordType(*JVEventByName(line.substr(0, space))));
  EXPECT_TRUE(process->Write("\r\n"));  // Enter ends it
  std::string rest;
  bool ended = false;
  for (int i = 0; i < 100 && !ended; ++i) ended = !process->Read(100, rest);
  EXPECT_TRUE(ended);
}

TEST(BridgeEventsUnderWine, DescribeShowsTheSourceInterfaceAndWatchPrintsEachEvent) {
  EventsApp();
  TAVOLEN_REQUIRE_WINE();
  ASSERT_NO_FATAL_FAILURE(RegisterComStandIn());
  DescribeAndWatch(64);
}

// The same with the 32-bit bridge and the 32-bit COM stand-in under 32-bit Wine (JV-Link 4.x).
TEST(BridgeEventsUnderWine, The32BitBridgeDescribesAndWatchesTheEventsOfA32BitComponent) {
  EventsApp();
  TAVOLEN_REQUIRE_WINE32();
  std::string why;
  ASSERT_TRUE(testing::RegisterStandIn(testing::Registration::Both, why)) << why;
  DescribeAndWatch(32);
}

}  // namespace
}  // namespace tavolen
