#include <gtest/gtest.h>

#include <deque>

#include "acquire/AcquisitionSession.h"
#include "base/IniFile.h"
#include "tests/acquire/FakeView.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedJVLink.h"

namespace tavolen {
namespace {

using testsupport::DayLine;
using testsupport::EntryFile;
using testsupport::RaRecord;
using testsupport::ReadFileBytes;
using testsupport::SeRecord;

const LocalDateTime kNow{2024, 1, 13, 9, 41, 7};

class Acquisition : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testsupport::FreshTestDir("acquire");
    data = dir / "Data";
    ini = std::make_unique<IniFile>(dir / "Tavolen.ini");
    session = std::make_unique<AcquisitionSession>(view, desktop, jv, *ini, clock, data, state);
    session->Create();
  }
  void TearDown() override { SetWriteFaultForTesting(nullptr); }

  SjisString StoredLastTime() const {
    return IniFile(dir / "Tavolen.ini").ReadString("JvDataGet", "LastTime", "(none)");
  }
  void StoreLastTime(const std::string& value) {
    ASSERT_TRUE(ini->WriteString("JvDataGet", "LastTime", value).ok);
  }
  // A session that needs no download and delivers the queued reads.
  void OpenWithoutDownload(int readCount, const std::string& stamp = "") {
    jv.readCount = readCount;
    jv.downloadCount = 0;
    jv.lastFileTimestamp = Wide(stamp);
  }
  // A session that downloads downloadCount files, JVStatus answering the statuses in turn, then
  // delivers the queued reads.
  void OpenWithDownload(int readCount, int downloadCount, std::deque<int> statuses = {}) {
    jv.readCount = readCount;
    jv.downloadCount = downloadCount;
    jv.statusResults = std::move(statuses);
  }
  std::vector<std::string> Kinds() const {
    std::vector<std::string> k;
    for (const auto& e : desktop.events) k.push_back(e.kind);
    return k;
  }
  // The messages after the start message.
  std::vector<SjisString> LaterMessages() const {
    auto m = desktop.Messages();
    if (!m.empty()) m.erase(m.begin());
    return m;
  }

  fs::path dir, data;
  testsupport::FakeView view;
  RecordingDesktop desktop;
  ScriptedJVLink jv;
  FakeClock clock{kNow};
  AcquisitionState state;
  std::unique_ptr<IniFile> ini;
  std::unique_ptr<AcquisitionSession> session;
};

// --- creation ---------------------------------------------------------------------------------

TEST_F(Acquisition, PickerStartsEightDaysBackWithTheTimeOfDayWhenNothingIsStored) {
  EXPECT_EQ(view.picker, (LocalDateTime{2024, 1, 5, 9, 41, 7}));
}

TEST_F(Acquisition, PickerTakesTheStoredLastTimeOrTheDefaultWhenItDoesNotParse) {
  struct Case {
    std::string stored;
    LocalDateTime expected;
  };
  const LocalDateTime fallback{2024, 1, 5, 9, 41, 7};
  for (const Case& c :
       {Case{"2023/12/24 08:05:09", {2023, 12, 24, 8, 5, 9}},
        Case{"\"2023/12/24 08:05:09\"", {2023, 12, 24, 8, 5, 9}}, Case{"\"\"", fallback},
        Case{"", fallback}, Case{"2023/13/01 00:00:00", fallback}, Case{"yesterday", fallback}}) {
    StoreLastTime(c.stored);
    session->Create();
    EXPECT_EQ(view.picker, c.expected) << c.stored;
  }
}

// --- start and JVOpen -------------------------------------------------------------------------

TEST_F(Acquisition, StartAnnouncesTheFromTimeAndOpensRaceWithOptionTwo) {
  view.picker = {2024, 1, 5, 15, 30, 0};
  state.CancelFlag = 1;
  view.list = {"old"};
  view.downloadPos = 7;
  view.readPos = 3;
  jv.defaultOpen = -1;
  jv.onCall = [&](const std::string& op) {
    if (op != "JVOpen") return;
    // Everything of the start's preparation is done before JVOpen.
    EXPECT_EQ(state.CancelFlag, 0);
    EXPECT_TRUE(view.list.empty());
    EXPECT_EQ(view.downloadPos, 0);
    EXPECT_EQ(view.readPos, 0);
    EXPECT_TRUE(view.busy);
  };
  session->Start();

  ASSERT_FALSE(desktop.Messages().empty());
  EXPECT_EQ(desktop.events[0].kind, "info");  // no beep before it, no way to decline
  EXPECT_EQ(desktop.Messages()[0],
            Sj("2024年01月05日15時30分00秒以降のデータ取込を開始します。データ作成が終了するまで"
               "本ソフトを操作したり他のアプリケーションを操作することは極力避けてください。"));
  ASSERT_EQ(jv.Count("JVOpen"), 1);
  const auto& open = jv.calls[0];
  EXPECT_EQ(open.args, (std::vector<std::string>{"RACE", "20240105153000", "2"}));
}

TEST_F(Acquisition, EveryFailedOrEmptyOpenBeepsShowsItsMessageAndRunsTheCloseStep) {
  struct Case {
    int code;
    int readCount;
    std::string message;  // UTF-8
  };
  const Case cases[] = {
      {-1, 3, "最新のデータがありません。"},
      {0, 0, "最新のデータがありません。"},
      {-202, 3,
       "JVOpenエラー:前回のJVOpen/JVRTOpen に対してJVClose "
       "が呼ばれていません。（オープン中）(-202)"},
      {-303, 0, "JVOpenエラー:サービスキーが設定されていません。（サービスキーが空値）(-303)"},
      {-999, 0, "JVOpenエラー:(-999)"},
  };
  for (const Case& c : cases) {
    desktop.Clear();
    jv.calls.clear();
    jv.openResults = {c.code};
    jv.readCount = c.readCount;
    jv.downloadCount = 2;
    jv.lastFileTimestamp = u"20240105153000";
    StoreLastTime("2023/12/01 10:00:00");
    session->Start();

    EXPECT_EQ(jv.Ops(), (std::vector<std::string>{"JVOpen", "JVClose"})) << c.code;
    EXPECT_EQ(Kinds(), (std::vector<std::string>{"info", "beep", "info", "beep"})) << c.code;
    EXPECT_EQ(LaterMessages(), (std::vector<SjisString>{Sj(c.message)})) << c.code;
    EXPECT_FALSE(view.busy);
    EXPECT_FALSE(view.timerRunning);
    EXPECT_FALSE(session->SessionOpen());
    EXPECT_EQ(StoredLastTime(), "2023/12/01 10:00:00") << c.code;
  }
}

// --- download phase ---------------------------------------------------------------------------

TEST_F(Acquisition, DownloadRunsOnTheStatusTickAndReadingStartsOnTheTickThatSeesTheCount) {
  StoreLastTime("2023/12/01 10:00:00");
  OpenWithDownload(1, 5, {0, 1, 2, 3, 4, 5});
  jv.lastFileTimestamp = u"20240105153000";
  jv.QueueRecord(RaRecord("20240106", "06", "11"));
  session->Start();

  EXPECT_EQ(view.label, Sj("ダウンロード中・・・"));
  EXPECT_EQ(view.downloadMax, 5);
  EXPECT_TRUE(view.timerRunning);
  EXPECT_TRUE(view.busy);
  EXPECT_TRUE(session->SessionOpen());
  EXPECT_EQ(jv.Ops(), (std::vector<std::string>{"JVOpen"}));

  for (int s = 0; s < 5; ++s) {
    session->StatusTick();
    EXPECT_EQ(view.label, Sj("ダウンロード中．．．(" + std::to_string(s) + "/5)"));
    EXPECT_EQ(view.downloadPos, s);
    EXPECT_TRUE(view.timerRunning);
    EXPECT_EQ(jv.Count("JVRead"), 0);
  }
  jv.onCall = [&](const std::string& op) {
    if (op == "JVRead") {
      EXPECT_FALSE(view.timerRunning);  // stopped before the long loop
      // The last download text was shown before reading began.
      EXPECT_NE(std::find(view.labels.begin(), view.labels.end(), Sj("ダウンロード中．．．(5/5)")),
                view.labels.end());
    }
  };
  session->StatusTick();

  EXPECT_EQ(jv.Count("JVStatus"), 6);
  EXPECT_EQ(jv.Count("JVRead"), 2);
  EXPECT_EQ(jv.Ops().back(), "JVClose");
  EXPECT_EQ(view.list, (std::vector<SjisString>{Sj("作成済み:11R/2024年01月06日.jvRA")}));
  EXPECT_EQ(desktop.Messages().back(), Sj("データ作成が完了しました。"));
  EXPECT_EQ(desktop.events.back().kind, "beep");  // the close step's beep
  EXPECT_FALSE(session->SessionOpen());
  EXPECT_FALSE(view.busy);
  // A session that had to download keeps the stored start time and the picker.
  EXPECT_EQ(StoredLastTime(), "2023/12/01 10:00:00");
  EXPECT_EQ(view.pickerSets, 1);  // only creation
}

TEST_F(Acquisition, NegativeStatusStopsTheTimerAndClosesTheSession) {
  OpenWithDownload(3, 4, {1, -502});
  session->Start();
  session->StatusTick();
  desktop.Clear();
  session->StatusTick();

  EXPECT_FALSE(view.timerRunning);
  EXPECT_EQ(Kinds(), (std::vector<std::string>{"beep", "info", "beep"}));
  EXPECT_EQ(
      desktop.Messages()[0],
      Sj("JVStatusエラー:ダウンロードに失敗しました。（通信エラーやディスクエラーなど）(-502)"));
  EXPECT_EQ(jv.Ops(), (std::vector<std::string>{"JVOpen", "JVStatus", "JVStatus", "JVClose"}));
  EXPECT_FALSE(session->SessionOpen());
}

TEST_F(Acquisition, StatusAboveTheCountChangesNothing) {
  OpenWithDownload(1, 2, {3});
  session->Start();
  session->StatusTick();
  EXPECT_TRUE(view.timerRunning);
  EXPECT_EQ(view.label, Sj("ダウンロード中・・・"));
  EXPECT_EQ(jv.Count("JVRead"), 0);
}

// --- cancel -----------------------------------------------------------------------------------

TEST_F(Acquisition, CancelAnsweredNoChangesNothing) {
  OpenWithDownload(1, 3);
  session->Start();
  desktop.Clear();
  desktop.answers = {false};
  session->Cancel();

  EXPECT_EQ(desktop.Messages(),
            (std::vector<SjisString>{Sj("データ取込を中止します。実行しますか？")}));
  EXPECT_EQ(desktop.Count("beep"), 0);
  EXPECT_EQ(jv.Count("JVCancel"), 0);
  EXPECT_EQ(state.CancelFlag, 0);
  EXPECT_TRUE(view.timerRunning);
  EXPECT_EQ(view.label, Sj("ダウンロード中・・・"));
}

TEST_F(Acquisition, CancelWithNoSessionStillCallsJVCancelAndSetsTheFlag) {
  desktop.answers = {true};
  session->Cancel();

  EXPECT_EQ(jv.Ops(), (std::vector<std::string>{"JVCancel"}));
  EXPECT_EQ(state.CancelFlag, 1);
  EXPECT_EQ(Kinds(), (std::vector<std::string>{"ask", "beep", "info"}));
  EXPECT_EQ(desktop.Messages()[1], Sj("JVCancel:キャンセルされました"));
  EXPECT_EQ(view.label, Sj("JVCancel:キャンセルされました"));
  EXPECT_FALSE(session->SessionOpen());
}

TEST_F(Acquisition, CancelDuringDownloadLeavesTheSessionOpenUntilTheNextStartClosesIt) {
  OpenWithDownload(1, 3, {1});
  session->Start();
  session->StatusTick();
  desktop.answers = {true};
  session->Cancel();

  EXPECT_FALSE(view.timerRunning);
  EXPECT_EQ(jv.Count("JVClose"), 0);
  EXPECT_TRUE(session->SessionOpen());
  EXPECT_TRUE(state.sessionOpen);
  EXPECT_EQ(state.CancelFlag, 1);  // kept until the next start

  // A new window on the same program state sees the session still open.
  testsupport::FakeView view2;
  AcquisitionSession next(view2, desktop, jv, *ini, clock, data, state);
  next.Create();
  EXPECT_TRUE(next.SessionOpen());
  jv.openResults = {-202};
  jv.calls.clear();
  desktop.Clear();
  next.Start();
  EXPECT_EQ(jv.Ops(), (std::vector<std::string>{"JVOpen", "JVClose"}));
  EXPECT_EQ(state.CancelFlag, 0);
  EXPECT_FALSE(state.sessionOpen);
  EXPECT_EQ(desktop.Count("beep"), 2);
}

TEST_F(Acquisition, CancelWhileReadingEndsTheLoopBeforeTheNextReadAndKeepsWhatWasStored) {
  OpenWithoutDownload(2, "20240105153000");
  jv.QueueRecord(RaRecord("20240106", "06", "01"));
  jv.QueueRecord(RaRecord("20240106", "06", "02"));
  jv.QueueRecord(RaRecord("20240106", "06", "03"));
  int reads = 0;
  jv.onCall = [&](const std::string& op) { reads += op == "JVRead"; };
  view.onPump = [&] {
    if (reads == 2 && state.CancelFlag == 0) {
      desktop.answers = {true};
      session->Cancel();
    }
  };
  session->Start();

  EXPECT_EQ(jv.Count("JVRead"), 2);
  EXPECT_EQ(jv.Ops().back(), "JVClose");
  EXPECT_EQ(jv.Count("JVCancel"), 1);
  EXPECT_EQ(view.list.size(), 2u);
  EXPECT_EQ(ReadFileBytes(data / Utf8Path("2024年01月06日.jvRA")),
            DayLine(RaRecord("20240106", "06", "01")) + "\r\n" +
                DayLine(RaRecord("20240106", "06", "02")) + "\r\n");
  EXPECT_EQ(view.label, Sj("JVCancel:キャンセルされました"));
  for (const auto& m : desktop.Messages()) EXPECT_NE(m, Sj("データ作成が完了しました。"));
  EXPECT_EQ(desktop.events.back().kind, "beep");
  // On the path without download the stamp is still saved after the close step.
  EXPECT_EQ(StoredLastTime(), "2024/01/05 15:30:00");
}

// --- the reading loop -------------------------------------------------------------------------

TEST_F(Acquisition, LoopCountsFileSwitchesSkipsWaitsAndCompletes) {
  OpenWithoutDownload(3);
  jv.writeBackSize = true;  // and still every read is offered the whole buffer
  jv.QueueRead(-1);
  jv.QueueRecord(RaRecord("20240106", "06", "01"));
  jv.QueueRead(-3);
  jv.QueueRead(-2);
  jv.QueueRead(-1);
  session->Start();

  EXPECT_EQ(view.downloadMax, 100);
  EXPECT_EQ(view.readMax, 3);
  EXPECT_EQ(view.labels.front(), Sj("データ読込み中．．．(0/3)"));
  EXPECT_EQ(view.labels[1], Sj("データ読込み中．．．(1/3)"));
  EXPECT_EQ(view.label, Sj("データ読込み完了(2/3)"));
  EXPECT_EQ(view.downloadPos, 0);
  EXPECT_EQ(view.readPos, 0);
  EXPECT_EQ(jv.Count("JVRead"), 6);
  EXPECT_EQ(view.pumps, 6);  // once before every read
  for (const auto& c : jv.calls) {
    if (c.op == "JVRead") {
      EXPECT_EQ(c.args[0], "60000");
    }
  }
  const auto kinds = Kinds();
  EXPECT_EQ(std::vector<std::string>(kinds.end() - 3, kinds.end()),
            (std::vector<std::string>{"beep", "info", "beep"}));
  EXPECT_EQ(LaterMessages(), (std::vector<SjisString>{Sj("データ作成が完了しました。")}));
  EXPECT_FALSE(session->Reading());
}

TEST_F(Acquisition, ReadFailureEndsTheLoopKeepingBarsAndStoredFiles) {
  OpenWithoutDownload(4, "20240105153000");
  jv.QueueRead(-1);
  jv.QueueRecord(SeRecord("20240106", "06", "03", "05"));
  jv.QueueRead(-403);
  jv.QueueRecord(RaRecord("20240106", "06", "01"));
  session->Start();

  EXPECT_EQ(jv.Count("JVRead"), 3);
  EXPECT_EQ(
      LaterMessages(),
      (std::vector<SjisString>{Sj("JVReadエラー:ダウンロードしたファイル内容が異常です。(-403)")}));
  EXPECT_EQ(view.readPos, 1);
  EXPECT_EQ(view.downloadPos, 100);
  EXPECT_EQ(view.label, Sj("データ読込み中．．．(1/4)"));
  EXPECT_EQ(ReadFileBytes(data / Utf8Path("2024年01月06日中山.jvSEr")),
            EntryFile({{40, SeRecord("20240106", "06", "03", "05")}}));
  EXPECT_EQ(view.list, (std::vector<SjisString>{Sj("作成済み:03R/05番/2024年01月06日中山.jvSEr")}));
  EXPECT_EQ(jv.Ops().back(), "JVClose");
  EXPECT_EQ(desktop.events.back().kind, "beep");
  EXPECT_EQ(StoredLastTime(), "2024/01/05 15:30:00");
}

// JV-Link out of reach while reading (a dead bridge): the general error box, the files stored so
// far, the close step; the start time stays, as the records after the failure were not read.
TEST_F(Acquisition, JVLinkFailureWhileReadingShowsTheErrorBoxAndRunsTheCloseStep) {
  OpenWithoutDownload(4, "20240105153000");
  jv.QueueRecord(SeRecord("20240106", "06", "03", "05"));
  jv.QueueRecord(RaRecord("20240106", "06", "01"));
  jv.onCall = [&](const std::string& op) {
    if (op == "JVRead" && jv.Count("JVRead") == 2)
      throw JVLinkFailure(Sj("JV-Linkの呼び出しに失敗しました（JVRead）。"));
  };
  session->Start();
  EXPECT_EQ(jv.Ops().back(), "JVClose");
  EXPECT_FALSE(state.sessionOpen);
  ASSERT_EQ(desktop.Count("error"), 1);
  EXPECT_EQ(desktop.Of("error")[0].text, Sj("JV-Linkの呼び出しに失敗しました（JVRead）。"));
  EXPECT_EQ(desktop.events.back().kind, "beep");  // the close step's
  EXPECT_EQ(ReadFileBytes(data / Utf8Path("2024年01月06日中山.jvSEr")),
            EntryFile({{40, SeRecord("20240106", "06", "03", "05")}}));
  EXPECT_EQ(StoredLastTime(), "(none)");
}

TEST_F(Acquisition, StatusTickWhileAJVLinkCallWaitsIsSkippedAndAFailureStopsTheTimer) {
  OpenWithDownload(3, 2);
  session->Start();
  ASSERT_TRUE(view.timerRunning);
  jv.busy = true;
  session->StatusTick();
  EXPECT_EQ(jv.Count("JVStatus"), 0);
  jv.busy = false;
  jv.onCall = [&](const std::string& op) {
    if (op == "JVStatus") throw JVLinkFailure(Sj("JV-Linkブリッジが応答しません。"));
  };
  session->StatusTick();
  EXPECT_FALSE(view.timerRunning);
  EXPECT_EQ(desktop.Count("error"), 1);
  EXPECT_EQ(jv.Ops().back(), "JVClose");
  EXPECT_FALSE(state.sessionOpen);
}

TEST_F(Acquisition, OnlyRaAndSeRecordsWithDivisionOneToSixAreStored) {
  OpenWithoutDownload(1);
  for (char division : {'0', '7', '9', 'A', ' '}) {
    jv.QueueRecord(RaRecord("20240106", "06", "01", "RACE", division));
    jv.QueueRecord(SeRecord("20240106", "06", "01", "01", division));
  }
  SjisString we = "WE1" + std::string(100, '0') + "\r\n";
  jv.QueueRecord(we);
  jv.QueueRecord(RaRecord("20240106", "06", "00"));  // race number 0
  session->Start();

  EXPECT_TRUE(view.list.empty());
  EXPECT_TRUE(fs::is_empty(data));
  EXPECT_EQ(desktop.Messages().back(), Sj("データ作成が完了しました。"));
}

TEST_F(Acquisition, TwoRaRecordsOfOneRaceLeaveTheLaterLineAndTwoListLines) {
  OpenWithoutDownload(1);
  const SjisString first = RaRecord("20240106", "06", "11", "FIRST", '1');
  const SjisString later = RaRecord("20240106", "06", "11", "LATER", '2');
  const SjisString race1 = RaRecord("20240106", "06", "01");
  jv.QueueRecord(first);
  jv.QueueRecord(race1);
  jv.QueueRecord(later);
  session->Start();

  EXPECT_EQ(ReadFileBytes(data / Utf8Path("2024年01月06日.jvRA")),
            DayLine(race1) + "\r\n" + DayLine(later) + "\r\n");
  const SjisString line = Sj("作成済み:11R/2024年01月06日.jvRA");
  EXPECT_EQ(view.list,
            (std::vector<SjisString>{line, Sj("作成済み:01R/2024年01月06日.jvRA"), line}));
}

TEST_F(Acquisition, FailingDiskShowsTheErrorEndsTheLoopAndLosesNothingStored) {
  OpenWithoutDownload(1, "20240105153000");
  StoreLastTime("2023/12/01 10:00:00");
  const SjisString ra = RaRecord("20240106", "06", "01");
  const SjisString se = SeRecord("20240106", "06", "01", "01");
  jv.QueueRecord(ra);
  jv.QueueRecord(se);
  jv.QueueRecord(RaRecord("20240106", "06", "02"));
  SetWriteFaultForTesting([](const fs::path& p) { return p.extension() == ".jvSEr"; });
  session->Start();
  // The same fault on the day file that already exists.
  SetWriteFaultForTesting([](const fs::path& p) { return p.extension() == ".jvRA"; });
  jv.QueueRecord(RaRecord("20240106", "06", "05"));
  const auto beforeSecond = desktop.events.size();
  session->Start();

  EXPECT_EQ(jv.Count("JVRead"), 3);
  EXPECT_EQ(jv.Count("JVClose"), 2);
  EXPECT_EQ(jv.Ops().back(), "JVClose");
  const auto errors = desktop.Of("error");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_FALSE(errors[0].text.empty());
  EXPECT_EQ(desktop.events.back().kind, "beep");
  EXPECT_LT(beforeSecond, desktop.events.size());
  EXPECT_EQ(ReadFileBytes(data / Utf8Path("2024年01月06日.jvRA")), DayLine(ra) + "\r\n");
  EXPECT_FALSE(fs::exists(data / Utf8Path("2024年01月06日中山.jvSEr")));
  for (const auto& e : fs::directory_iterator(data))
    EXPECT_EQ(e.path().extension(), ".jvRA") << e.path();  // no temporary file left
  EXPECT_EQ(view.list, (std::vector<SjisString>{}));       // the second start emptied it
  for (const auto& m : desktop.Messages()) EXPECT_NE(m, Sj("データ作成が完了しました。"));
  // The records after the failure were not kept, so the start time does not move past them.
  EXPECT_EQ(StoredLastTime(), "2023/12/01 10:00:00");
  EXPECT_FALSE(view.busy);
}

// --- the time stamp ---------------------------------------------------------------------------

TEST_F(Acquisition, UsableStampIsSavedAsLastTimeAndPutIntoThePicker) {
  OpenWithoutDownload(1, "20240105153000");
  session->Start();
  EXPECT_EQ(StoredLastTime(), "2024/01/05 15:30:00");
  EXPECT_NE(ReadFileBytes(dir / "Tavolen.ini").find("LastTime=2024/01/05 15:30:00"),
            std::string::npos);
  EXPECT_EQ(view.picker, (LocalDateTime{2024, 1, 5, 15, 30, 0}));
  // The next window offers it.
  testsupport::FakeView view2;
  AcquisitionSession next(view2, desktop, jv, *ini, clock, data, state);
  next.Create();
  EXPECT_EQ(view2.picker, (LocalDateTime{2024, 1, 5, 15, 30, 0}));
}

TEST_F(Acquisition, UnusableStampLeavesLastTimeAndThePicker) {
  for (const std::string stamp :
       {"", "              ", "00000000000000", "2024010515300x", "20241305153000"}) {
    StoreLastTime("2023/12/01 10:00:00");
    view.picker = {2023, 12, 1, 10, 0, 0};
    const int sets = view.pickerSets;
    OpenWithoutDownload(1, stamp);
    session->Start();
    EXPECT_EQ(StoredLastTime(), "2023/12/01 10:00:00") << '"' << stamp << '"';
    EXPECT_EQ(view.pickerSets, sets) << '"' << stamp << '"';
    EXPECT_EQ(desktop.Count("error"), 0);
  }
}

TEST_F(Acquisition, StampConversion) {
  std::string t;
  EXPECT_TRUE(LastTimeFromTimestamp(" 20240105153000 ", t));
  EXPECT_EQ(t, "2024/01/05 15:30:00");
  EXPECT_FALSE(LastTimeFromTimestamp("202401051530", t));
  EXPECT_FALSE(LastTimeFromTimestamp("20240230000000", t));
}

TEST_F(Acquisition, SettingsFileThatCannotBeWrittenIsReportedAfterTheSession) {
  OpenWithoutDownload(1, "20240105153000");
  SetWriteFaultForTesting([](const fs::path& p) { return p.extension() == ".ini"; });
  session->Start();
  EXPECT_EQ(desktop.Count("error"), 1);
  EXPECT_EQ(desktop.Messages()[1], Sj("データ作成が完了しました。"));
  EXPECT_EQ(jv.Ops().back(), "JVClose");
}

// --- close step and settings dialog -----------------------------------------------------------

TEST_F(Acquisition, CloseFailureIsReportedAfterItsBeep) {
  OpenWithoutDownload(1);
  jv.closeResults = {-201};
  session->Start();
  const auto kinds = Kinds();
  EXPECT_EQ(std::vector<std::string>(kinds.end() - 2, kinds.end()),
            (std::vector<std::string>{"beep", "info"}));
  EXPECT_EQ(desktop.Messages().back(), Sj("JVCloseエラー:(-201)"));
}

TEST_F(Acquisition, JVLinkSettingsReportsOnlyFailuresWithAFullWidthColon) {
  session->JVLinkSettings();
  EXPECT_TRUE(desktop.events.empty());
  jv.uiResults = {-100};
  session->JVLinkSettings();
  EXPECT_EQ(Kinds(), (std::vector<std::string>{"beep", "info"}));
  EXPECT_EQ(desktop.Messages()[0], Sj("JVSetUIPropertiesエラー：パラメータが不正あるいはレジストリ"
                                      "への保存に失敗しました。(-100)"));
  EXPECT_EQ(jv.Ops(), (std::vector<std::string>{"JVSetUIProperties", "JVSetUIProperties"}));
}

TEST_F(Acquisition, StartPressedDuringReadingEndsTheRunningSession) {
  // A JV-Link that refuses a second open, and fails reads once the session is closed.
  OpenWithoutDownload(1);
  jv.QueueRecord(RaRecord("20240106", "06", "01"));
  jv.QueueRecord(RaRecord("20240106", "06", "02"));
  bool pressed = false;
  view.onPump = [&] {
    if (jv.Count("JVRead") == 1 && !pressed) {
      pressed = true;
      jv.openResults = {-202};
      session->Start();
      EXPECT_TRUE(session->Reading());
      jv.reads.push_front({-203, {}});
    }
  };
  session->Start();

  EXPECT_EQ(jv.Count("JVClose"), 2);
  EXPECT_FALSE(session->Reading());
  EXPECT_FALSE(session->SessionOpen());
  EXPECT_EQ(desktop.Messages().back(), Sj("JVReadエラー:JVOpenが行なわれていません。(-203)"));
}

}  // namespace
}  // namespace tavolen
