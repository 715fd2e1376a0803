// The change events in the watch, with a scripted JV-Link that raises events: each change event
// of the watched day fetched once as its own announcement, outside the delivery and after any
// fetch or acquisition that holds JV-Link; other days, payouts and weights ignored; a JV-Link
// without events, a failing start, a failing key and a lost connection told once each.
#include "changes/ChangeEvents.h"

#include <gtest/gtest.h>

#include "base/ErrorLog.h"
#include "jvlink/Clock.h"
#include "jvlink/TextLines.h"
#include "tests/support/EventingJVLink.h"
#include "tests/support/Files.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/Records.h"
#include "tests/support/ScriptedJVLink.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

const std::string kKeyAv = "AV20240105060120240105093000";
const std::string kKeyTc = "TC20240105060220240105093100";

class Events : public ::testing::Test {
 protected:
  static fs::path AppDir() { return TempRoot() / "change-events"; }
  void SetUp() override {
    fs::remove_all(AppDir());
    fs::create_directories(AppDir() / "Data");
    ASSERT_TRUE(log_.RecordStartup());
    logStart_ = ReadFileBytes(log_.path());
  }
  std::unique_ptr<ChangeEvents> Make(bool enabled = true, bool withCheck = false) {
    std::function<void()> check;
    if (withCheck) check = [this] { ++checks_; };
    return std::make_unique<ChangeEvents>(
        jv_, fetch_, log_, enabled,
        ChangeEventHooks{[this] { return day_; }, [this] { return acquisition_; },
                         [this] { ++evaluations_; }, check});
  }
  Lines NewLogLines() { return SplitLines(ReadFileBytes(log_.path()).substr(logStart_.size())); }
  // The keys of the "0B16" opens so far.
  std::vector<std::string> Announcements() {
    std::vector<std::string> out;
    for (const auto& c : jv_.calls)
      if (c.op == "JVRTOpen" && c.args[0] == "0B16") out.push_back(c.args[1]);
    return out;
  }

  FakeClock clock_{LocalDateTime{2024, 1, 5, 9, 30, 5}};
  ErrorLog log_{AppDir(), clock_};
  std::string logStart_;
  EventingJVLink jv_;
  RecordingDesktop desktop_;
  std::function<void()> onProcessEvents_;
  ChangeFetch fetch_{jv_, AppDir() / "Data", log_, desktop_, nullptr, [this] {
                       if (onProcessEvents_) onProcessEvents_();
                     }};
  std::string day_ = "20240105";
  bool acquisition_ = false;
  int evaluations_ = 0;
  int checks_ = 0;
};

TEST_F(Events, TheFirstEventOfADayRunsTheWholeCheckTheNextOnesTheirAnnouncement) {
  auto events = Make(true, true);
  events->Poll();
  jv_.pending = {{JVEvent::Weather, "WE20240105060020240105084000"}, {JVEvent::Avoid, kKeyAv}};
  events->Poll();
  EXPECT_EQ(checks_, 1);
  EXPECT_TRUE(Announcements().empty()) << "the check brought what was queued";
  jv_.pending = {{JVEvent::TimeChange, kKeyTc}};
  events->Poll();
  EXPECT_EQ(checks_, 1);
  EXPECT_EQ(Announcements(), std::vector<std::string>{kKeyTc});
  // The next day loaded: its first event checks that day.
  day_ = "20240106";
  events->Poll();
  jv_.pending = {{JVEvent::TimeChange, "TC20240106060220240106093100"}};
  events->Poll();
  EXPECT_EQ(checks_, 2);
  EXPECT_EQ(jv_.Count("JVWatchEvent"), 1);
}

TEST_F(Events, EachChangeEventOfTheDayIsFetchedOnceAsItsAnnouncementThenEvaluated) {
  auto events = Make();
  events->Poll();
  EXPECT_EQ(jv_.Ops(), std::vector<std::string>{"JVWatchEvent"});
  events->Poll();
  EXPECT_EQ(jv_.Count("JVWatchEvent"), 1) << "started once";
  ASSERT_TRUE(events->watching());

  const std::string av = MakeAv("20240105", 1, 3, "01050930");
  jv_.QueueRecord(av);
  jv_.pending = {{JVEvent::Avoid, kKeyAv},
                 {JVEvent::Avoid, kKeyAv},  // the same announcement twice: fetched once
                 {JVEvent::Pay, "2024010506011120240105093000"},
                 {JVEvent::Weight, "2024010506011120240105093000"},
                 {JVEvent::TimeChange, "TC20240106060220240106093100"},  // another day
                 {JVEvent::TimeChange, kKeyTc}};
  events->Poll();
  EXPECT_EQ(Announcements(), (std::vector<std::string>{kKeyAv, kKeyTc}));
  EXPECT_EQ(jv_.Count("JVClose"), 2);
  EXPECT_EQ(evaluations_, 2);
  EXPECT_EQ(events->fetched(), 2);
  // Stored in the day's change file as a check stores it; no beep, no error line.
  EXPECT_EQ(ReadFileBytes(AppDir() / "Data" / Utf8Path("2024年01月05日.jvAV")), av);
  EXPECT_EQ(desktop_.Count("beep"), 0);
  EXPECT_TRUE(NewLogLines().empty());

  // No day watched (another day loaded, or the timer stopped): events are dropped.
  day_.clear();
  jv_.pending = {{JVEvent::Avoid, kKeyAv}};
  events->Poll();
  day_ = "20240105";
  events->Poll();
  EXPECT_EQ(Announcements().size(), 2u);
}

TEST_F(Events, AnEventWaitsForAFetchOrAnAcquisitionAndIsNeverFetchedInsideOne) {
  auto events = Make();
  events->Poll();
  // A timer check is reading: its read loop lets the poll run, which must not open a session.
  jv_.QueueRecord(MakeAv("20240105", 1, 3, "01050930"));
  jv_.QueueRecord(MakeAv("20240105", 1, 4, "01050930"));
  int inside = 0;
  onProcessEvents_ = [&] {
    if (inside++ == 1) jv_.pending = {{JVEvent::Avoid, kKeyAv}};
    events->Poll();
  };
  ChangeFetchRequest check;
  check.dateSelected = true;
  const std::vector<std::string> races = {RaRecord(Day{}, "01", "1005")};
  check.raceTable = races;
  check.automaticRun = true;
  ASSERT_EQ(fetch_.Fetch(check), ChangeFetchOutcome::Evaluate);
  EXPECT_TRUE(Announcements().empty());
  EXPECT_EQ(jv_.Count("JVRTOpen"), 1);
  EXPECT_EQ(jv_.Count("JVClose"), 1);
  onProcessEvents_ = nullptr;
  // The acquisition holds the session: still waiting.
  acquisition_ = true;
  events->Poll();
  EXPECT_TRUE(Announcements().empty());
  acquisition_ = false;
  jv_.busy = true;  // a call through the bridge waits for its answer
  events->Poll();
  EXPECT_TRUE(Announcements().empty());
  jv_.busy = false;
  events->Poll();
  EXPECT_EQ(Announcements(), std::vector<std::string>{kKeyAv});
  // Sessions never overlapped: every open was closed before the next.
  int open = 0;
  for (const auto& op : jv_.Ops()) {
    if (op == "JVRTOpen") {
      EXPECT_EQ(open++, 0);
    }
    if (op == "JVClose") --open;
  }
}

TEST_F(Events, WithoutEventsOrWithFailuresTheLogSaysWhyOnce) {
  {  // Switched off: JVWatchEvent is never called.
    auto events = Make(false);
    events->Poll();
    events->Poll();
    EXPECT_EQ(jv_.Count("JVWatchEvent"), 0);
  }
  {  // A JV-Link without events.
    jv_.defaultWatch = kJVEventsUnsupported;
    auto events = Make();
    events->Poll();
    events->Poll();
    EXPECT_EQ(jv_.Count("JVWatchEvent"), 1);
    EXPECT_FALSE(events->watching());
  }
  {  // JVWatchEvent fails.
    jv_.defaultWatch = -301;
    auto events = Make();
    events->Poll();
    events->Poll();
  }
  const Lines lines = NewLogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], Sj("【エラー】09:30:05：変更通知は設定で使わないことになっています。"
                         "変更情報は定時の確認で取得します。"));
  EXPECT_EQ(lines[1], Sj("【エラー】09:30:05：このJV-Linkは変更通知に対応していません。"
                         "変更情報は定時の確認で取得します。"));
  EXPECT_TRUE(lines[2].starts_with(Sj("【エラー】09:30:05：変更通知を開始できませんでした：")))
      << SjisToUtf8(lines[2]);
  EXPECT_NE(lines[2].find(Sj("認証エラー")), std::string::npos) << SjisToUtf8(lines[2]);
}

TEST_F(Events, AFailingKeyOrALostConnectionIsToldOnceAndTheEventsGoOn) {
  jv_.defaultWatch = 0;
  auto events = Make();
  events->Poll();
  jv_.rtOpenResults = {-114, -114};
  jv_.pending = {{JVEvent::Avoid, "AV"}, {JVEvent::Avoid, "AVX"}};
  events->Poll();
  EXPECT_EQ(evaluations_, 0);
  EXPECT_EQ(jv_.Count("JVClose"), 2) << "every open is closed, also a failing one";
  EXPECT_EQ(desktop_.Count("beep"), 0);
  // The connection is lost in the middle of the next one.
  jv_.onCall = [](const std::string& op) {
    if (op == "JVRead") throw JVLinkFailure(Sj("JV-Linkブリッジが終了しました。"));
  };
  jv_.pending = {{JVEvent::Avoid, kKeyAv}, {JVEvent::TimeChange, kKeyTc}};
  events->Poll();
  EXPECT_EQ(desktop_.Count("error"), 0) << "no box for a change event";
  jv_.onCall = nullptr;
  jv_.QueueRecord(MakeTc("20240105", 2, "01050931", "1040"));
  jv_.pending = {{JVEvent::TimeChange, kKeyTc}};
  events->Poll();
  EXPECT_EQ(evaluations_, 1) << "the events go on";
  const Lines lines = NewLogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].starts_with(
      Sj("【エラー】09:30:05：変更通知の情報を取得できませんでした（キー AV）：")))
      << SjisToUtf8(lines[0]);
  EXPECT_NE(lines[0].find(Sj("key パラメータが不正です。")), std::string::npos);
  EXPECT_EQ(lines[1], Sj("【エラー】09:30:05：変更通知の情報を取得できませんでした：JV-Link"
                         "ブリッジが終了しました。変更情報は定時の確認で取得します。"));
  events.reset();
  EXPECT_EQ(jv_.Ops().back(), "JVWatchEventClose");
}

}  // namespace
}  // namespace tavolen
