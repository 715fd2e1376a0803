#include "changes/ChangeFetch.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/ErrorLog.h"
#include "jvlink/Clock.h"
#include "tests/changes/ChangeDay.h"
#include "tests/support/Files.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/Records.h"
#include "tests/support/ScriptedJVLink.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

class Fetch : public ::testing::Test {
 protected:
  static fs::path AppDir() { return TempRoot() / "fetch"; }

  void SetUp() override {
    fs::remove_all(AppDir());
    fs::create_directories(data_);
    races_ = {RaRecord(kNakayama, "01", "1005"), RaRecord(kNakayama, "02", "1035"), Blank(1272)};
    ASSERT_TRUE(log_.RecordStartup());
    logStart_ = ReadFileBytes(log_.path());
  }
  void TearDown() override { SetWriteFaultForTesting(nullptr); }

  ChangeFetchRequest Request(bool automatic = false, int selected = 0) {
    return {true, races_, selected, automatic};
  }
  // The error lines written after start-up.
  std::string NewLogText() { return ReadFileBytes(log_.path()).substr(logStart_.size()); }
  std::string ErrorLine(const std::string& messageUtf8) {
    return Sj("【エラー】09:03:07：" + messageUtf8) + "\r\n";
  }
  fs::path File(const char* ext) { return data_ / Utf8Path(std::string("2024年01月05日") + ext); }

  fs::path data_ = AppDir() / "Data";
  std::vector<std::string> races_;
  FakeClock clock_{LocalDateTime{2024, 1, 5, 9, 3, 7}};
  ErrorLog log_{AppDir(), clock_};
  std::string logStart_;
  ScriptedJVLink jv_;
  RecordingDesktop desktop_;
  std::vector<SjisString> statuses_;
  std::function<void()> onEvents_;
  ChangeFetch fetch_{jv_,
                     AppDir() / "Data",
                     log_,
                     desktop_,
                     [this](const SjisString& s) { statuses_.push_back(s); },
                     [this] {
                       if (onEvents_) onEvents_();
                     }};
};

TEST_F(Fetch, EveryChangeRecordIsStoredBetweenSkippedResultsAndTheSessionIsClosed) {
  jv_.writeBackSize = true;  // and still every read is offered the whole buffer
  const std::string av = AvRecord(kNakayama, "01", "01051030", "05", "テスト");
  const std::string tc = TcRecord(kNakayama, "05", "01050930", "1215", "1200");
  jv_.QueueRead(-3);
  jv_.QueueRecord(av);
  jv_.QueueRead(-1);
  jv_.QueueRead(-2);
  jv_.QueueRecord(RaRecord(kNakayama, "01", "1005"));  // not a change record: ignored
  jv_.QueueRead(-3);
  jv_.QueueRecord(tc);
  EXPECT_EQ(fetch_.Fetch(Request()), ChangeFetchOutcome::Evaluate);

  ASSERT_EQ(jv_.calls.front().op, "JVRTOpen");
  EXPECT_EQ(jv_.calls.front().args, (std::vector<std::string>{"0B14", "20240105"}));
  EXPECT_EQ(jv_.Count("JVRead"), 8);
  for (const auto& c : jv_.calls) {
    if (c.op == "JVRead") {
      EXPECT_EQ(c.args, std::vector<std::string>{"60000"});
    }
  }
  EXPECT_EQ(jv_.calls.back().op, "JVClose");
  EXPECT_EQ(jv_.Count("JVClose"), 1);
  EXPECT_EQ(ReadFileBytes(File(".jvAV")), av);
  EXPECT_EQ(ReadFileBytes(File(".jvTC")), tc);
  EXPECT_FALSE(FileExists(File(".jvRA")));
  EXPECT_EQ(fetch_.storedRecords(), 2);
  EXPECT_EQ(statuses_, (std::vector<SjisString>{Sj("開催速報データ取得中"), ""}));
  EXPECT_FALSE(fetch_.fetchSessionOpen());
  EXPECT_FALSE(fetch_.running());
  EXPECT_EQ(NewLogText(), "");
}

TEST_F(Fetch, AGoodCloseBeepsOnlyWhenTheUserRanTheFetch) {
  EXPECT_EQ(fetch_.Fetch(Request(false)), ChangeFetchOutcome::Evaluate);
  EXPECT_EQ(desktop_.Count("beep"), 1);
  desktop_.Clear();
  EXPECT_EQ(fetch_.Fetch(Request(true)), ChangeFetchOutcome::Evaluate);
  EXPECT_EQ(desktop_.Count("beep"), 0);
}

TEST_F(Fetch, AnEmptyAnswerTouchesNoFileButStillClosesAndEvaluates) {
  EXPECT_EQ(fetch_.Fetch(Request()), ChangeFetchOutcome::Evaluate);
  EXPECT_EQ(jv_.Ops(), (std::vector<std::string>{"JVRTOpen", "JVRead", "JVClose"}));
  EXPECT_TRUE(fs::is_empty(data_));
}

TEST_F(Fetch, NothingIsFetchedWithoutADateOrAPositiveKey) {
  ChangeFetchRequest noDate = Request();
  noDate.dateSelected = false;
  EXPECT_EQ(fetch_.Fetch(noDate), ChangeFetchOutcome::NothingToFetch);
  std::vector<std::string> blank{Blank(1272)};
  EXPECT_EQ(fetch_.Fetch({true, blank, 0, false}), ChangeFetchOutcome::NothingToFetch);
  EXPECT_EQ(fetch_.Fetch({true, {}, -1, false}), ChangeFetchOutcome::NothingToFetch);
  EXPECT_TRUE(jv_.calls.empty());
  EXPECT_TRUE(desktop_.events.empty());
  EXPECT_TRUE(statuses_.empty());
}

TEST_F(Fetch, AFailedOpenBeepsLogsTheRaceAndStillClosesAndEvaluates) {
  jv_.rtOpenResults = {-301};
  EXPECT_EQ(fetch_.Fetch(Request(true, 1)), ChangeFetchOutcome::Evaluate);
  EXPECT_EQ(jv_.Ops(), (std::vector<std::string>{"JVRTOpen", "JVClose"}));
  EXPECT_EQ(desktop_.Count("beep"), 1);  // the failure; an automatic run's close is silent
  EXPECT_EQ(NewLogText(),
            ErrorLine("中山 2R:開催速報データ取得エラー：認証エラーが発生しました。(-301)"));
  EXPECT_EQ(fetch_.statusText(), "");

  // No race selected: the first race of the table names the error.
  jv_.rtOpenResults = {-202};
  EXPECT_EQ(fetch_.Fetch(Request(false, -1)), ChangeFetchOutcome::Evaluate);
  EXPECT_EQ(desktop_.Count("beep"), 3);  // the failure and the good close
  EXPECT_EQ(NewLogText(),
            ErrorLine("中山 2R:開催速報データ取得エラー：認証エラーが発生しました。(-301)") +
                ErrorLine("中山 1R:開催速報データ取得エラー："
                          "前回のJVOpen/JVRTOpen に対してJVClose が呼ばれていません。"
                          "（オープン中）(-202)"));
  // A selected index that names an empty slot counts as none.
  jv_.rtOpenResults = {-504};
  fetch_.Fetch(Request(true, 2));
  EXPECT_TRUE(NewLogText().ends_with(
      ErrorLine("中山 1R:開催速報データ取得エラー：サーバーがメンテナンス中です。(-504)")));
}

TEST_F(Fetch, AReadFailureKeepsWhatWasStoredAndIsLogged) {
  const std::string av = AvRecord(kNakayama, "01", "01051030", "05", "テスト");
  jv_.QueueRecord(av);
  jv_.QueueRead(-502);
  jv_.QueueRecord(TcRecord(kNakayama, "05", "01050930", "1215", "1200"));
  EXPECT_EQ(fetch_.Fetch(Request()), ChangeFetchOutcome::Evaluate);
  EXPECT_EQ(jv_.Count("JVRead"), 2);
  EXPECT_EQ(jv_.calls.back().op, "JVClose");
  EXPECT_EQ(ReadFileBytes(File(".jvAV")), av);
  EXPECT_FALSE(FileExists(File(".jvTC")));
  EXPECT_EQ(NewLogText(),
            ErrorLine("ダウンロードに失敗しました。(通信エラーやディスクエラー)(-502)"));
  EXPECT_EQ(desktop_.Count("beep"), 1);  // the good close of a fetch the user ran
}

TEST_F(Fetch, AFailedCloseIsLoggedWithoutABeep) {
  jv_.closeResults = {-1};
  EXPECT_EQ(fetch_.Fetch(Request()), ChangeFetchOutcome::Evaluate);
  EXPECT_EQ(NewLogText(), ErrorLine("(-1)"));
  EXPECT_EQ(desktop_.Count("beep"), 0);
  EXPECT_EQ(fetch_.statusText(), "");
}

TEST_F(Fetch, AStoreThatFailsEndsTheFetchAfterClosingAndShowsTheError) {
  jv_.QueueRecord(TcRecord(kNakayama, "05", "01050930", "1215", "1200"));
  jv_.QueueRecord(AvRecord(kNakayama, "01", "01051030", "05", "テスト"));
  jv_.QueueRecord(TcRecord(kNakayama, "06", "01050931", "1245", "1230"));
  SetWriteFaultForTesting([](const fs::path& p) { return p.string().ends_with(".jvAV"); });
  int closesBeforeBox = -1;
  desktop_.duringBox = [&] { closesBeforeBox = jv_.Count("JVClose"); };
  EXPECT_EQ(fetch_.Fetch(Request()), ChangeFetchOutcome::Failed);
  EXPECT_EQ(jv_.Count("JVRead"), 2);  // no read after the failure
  EXPECT_EQ(closesBeforeBox, 1);      // the session is closed before the box
  ASSERT_EQ(desktop_.Count("error"), 1);
  EXPECT_TRUE(desktop_.Of("error")[0].text.starts_with(Sj("変更情報を保存できませんでした。")));
  EXPECT_EQ(ReadFileBytes(File(".jvTC")), TcRecord(kNakayama, "05", "01050930", "1215", "1200"));
  EXPECT_FALSE(FileExists(File(".jvAV")));
  EXPECT_FALSE(fetch_.running());
}

TEST_F(Fetch, AnErrorLogThatCannotBeWrittenIsShownAndTheFetchStillCloses) {
  jv_.rtOpenResults = {-301};
  fs::remove(log_.path());
  fs::create_directories(log_.path());  // a folder where the log should be
  EXPECT_EQ(fetch_.Fetch(Request()), ChangeFetchOutcome::Failed);
  EXPECT_EQ(jv_.Ops(), (std::vector<std::string>{"JVRTOpen", "JVClose"}));
  EXPECT_EQ(desktop_.Count("error"), 1);
  fs::remove(log_.path());
}

TEST_F(Fetch, ACallFromInsideTheReadLoopOpensNoSecondSession) {
  jv_.QueueRecord(AvRecord(kNakayama, "01", "01051030", "05", "テスト"));
  jv_.QueueRecord(AvRecord(kNakayama, "01", "01051031", "06", "テスト"));
  std::vector<ChangeFetchOutcome> inner;
  onEvents_ = [&] {
    if (jv_.Count("JVRead") == 1) inner.push_back(fetch_.Fetch(Request(true)));
  };
  EXPECT_EQ(fetch_.Fetch(Request()), ChangeFetchOutcome::Evaluate);
  EXPECT_EQ(inner, std::vector<ChangeFetchOutcome>{ChangeFetchOutcome::Busy});
  EXPECT_EQ(jv_.Count("JVRTOpen"), 1);
  EXPECT_EQ(jv_.Count("JVClose"), 1);
  EXPECT_EQ(fetch_.storedRecords(), 2);
}

TEST_F(Fetch, ActionsWaitingForTheSessionRunRightAfterItsClose) {
  jv_.QueueRecord(AvRecord(kNakayama, "01", "01051030", "05", "テスト"));
  std::vector<bool> openDuringRead;
  jv_.onCall = [&](const std::string& op) {
    if (op == "JVRead") openDuringRead.push_back(fetch_.fetchSessionOpen());
  };
  // The main window is shown while the records are read: its JVInit waits for the close.
  onEvents_ = [&] {
    if (jv_.Count("JVRead") == 1) fetch_.RunWhenSessionClosed([&] { jv_.JVInit(u"ID"); });
  };
  fetch_.Fetch(Request());
  EXPECT_EQ(openDuringRead, (std::vector<bool>{true, true}));
  EXPECT_EQ(jv_.Ops(),
            (std::vector<std::string>{"JVRTOpen", "JVRead", "JVRead", "JVClose", "JVInit"}));

  // Without a session the action runs at once.
  onEvents_ = nullptr;
  fetch_.RunWhenSessionClosed([&] { jv_.JVInit(u"ID"); });
  EXPECT_EQ(jv_.Count("JVInit"), 2);
}

}  // namespace
}  // namespace tavolen
