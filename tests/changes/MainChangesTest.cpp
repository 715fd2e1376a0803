// The change monitoring handlers of the main window, offscreen, with the scripted JV-Link, the
// recording desktop and a fake clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "app/Main.h"
#include "changes/OzGetTimeUnit.h"
#include "changes/henkoUnit.h"
#include "tests/changes/ChangeDay.h"
#include "tests/support/Files.h"
#include "tests/support/MainWindow.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/Records.h"
#include "tests/support/ScriptedJVLink.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

class MainChanges : public MainWindowTest {
 protected:
  MainChanges() : MainWindowTest({"tavolen_changes_app_tests", "changes/main-changes"}) {}

  // The meeting of 2024-01-05 (today) chosen in the date list: two races of 中山.
  void LoadMeeting(const std::string& firstPostTime = "1005") {
    ChooseMeeting({RaRecord(kNakayama, "01", firstPostTime), RaRecord(kNakayama, "02", "1035")});
    ASSERT_EQ(form_->meeting().loadedRaceCount, 2);
    CheckTimer(*form_)->stop();  // the tests tick by hand
    desktop_.Clear();
  }
  void SelectRace(int row) {
    Parts(*form_).DatList->setCurrentRow(row);
    form_->DatListClick();
    desktop_.Clear();
  }
  void WriteChangeFile(const char* ext, const std::string& bytes) {
    ASSERT_TRUE(
        WriteFileAtomic(AppDir() / "Data" / Utf8Path(std::string("2024年01月05日") + ext), bytes));
  }
  std::string Renew() {
    return ReadFileBytes(AppDir() / "Data" / Utf8Path("2024年01月05日.renew"));
  }
  void At(int hour, int minute) { clock_.Set({2024, 1, 5, hour, minute, 0}); }
};

TEST_F(MainChanges, TheChangeButtonWithoutADateOnlyAsksForData) {
  WriteChangeFile(".jvAV", AvRecord(kNakayama, "01", "01051030", "05", "テスト"));
  form_->SpeedButton2Click();
  EXPECT_EQ(desktop_.Count("beep"), 1);
  EXPECT_EQ(desktop_.Of("info").at(0).text, Sj("データを読み込んでください。"));
  EXPECT_FALSE(henko_->isVisible());
  EXPECT_EQ(desktop_.Count("balloon"), 0);
}

TEST_F(MainChanges, TheChangeButtonEvaluatesAnnouncesOnceAndShowsTheWindow) {
  LoadMeeting();
  WriteChangeFile(".jvAV", AvRecord(kNakayama, "01", "01051030", "05", "テスト") +
                               AvRecord(kNakayama, "02", "01051115", "07", "サンプル"));
  form_->SpeedButton2Click();
  EXPECT_TRUE(henko_->isVisible());
  EXPECT_EQ(henko_->Lines(2), (std::vector<SjisString>{
                                  Sj("中山 1R 01/05 10:30 ⑤ テスト             出走取消[疾病]"),
                                  Sj("中山 2R 01/05 11:15 ⑦ サンプル           出走取消[疾病]")}));
  ASSERT_EQ(desktop_.Count("balloon"), 1);
  const auto balloon = desktop_.Of("balloon")[0];
  EXPECT_EQ(balloon.title, Sj("新着開催情報"));
  EXPECT_EQ(balloon.text,
            Sj("本日の開催で変更情報が発生しました。\r\n[取消除外]更新時刻：01/05 11:15\r\n"));
  EXPECT_EQ(balloon.icon, BalloonIcon::Information);
  EXPECT_EQ(balloon.timeout, 10);
  // The sound starts before the balloon.
  std::vector<std::string> kinds;
  for (const auto& e : desktop_.events) kinds.push_back(e.kind);
  EXPECT_EQ(kinds, (std::vector<std::string>{"sound", "balloon"}));
  EXPECT_EQ(desktop_.Of("sound")[0].text, "notify.wav");
  EXPECT_EQ(Renew(), "\r\n01051115\r\n\r\n\r\n\r\n");

  desktop_.Clear();
  form_->SpeedButton2Click();
  EXPECT_EQ(desktop_.Count("balloon"), 0);
  EXPECT_EQ(desktop_.Count("sound"), 0);
  EXPECT_EQ(henko_->Lines(2).size(), 2u);
}

TEST_F(MainChanges, WithoutANotificationTheChangeWindowComesForward) {
  LoadMeeting();
  WriteChangeFile(".jvTC", TcRecord(kNakayama, "05", "01050930", "1215", "1200"));
  desktop_.balloonShown = false;
  form_->KaisaiReadBtnClick();
  EXPECT_EQ(desktop_.Count("sound"), 1);
  EXPECT_TRUE(henko_->isVisible());
  EXPECT_EQ(henko_->Lines(4), (std::vector<SjisString>{Sj("中山 5R 01/05 09:30 12:00⇒12:15")}));
}

TEST_F(MainChanges, AnUnreadableChangeFileIsShownInTheErrorBox) {
  LoadMeeting();
  WriteChangeFile(".jvAV", AvRecord(kNakayama, "01", "01051030", "05", "テスト"));
  fs::create_directories(AppDir() / "Data" / Utf8Path("2024年01月05日.jvCC"));
  form_->SpeedButton2Click();
  EXPECT_EQ(desktop_.Count("error"), 1);
  EXPECT_EQ(desktop_.Count("balloon"), 0);
  EXPECT_FALSE(FileExists(AppDir() / "Data" / Utf8Path("2024年01月05日.renew")));
}

TEST_F(MainChanges, TheTrayMenuShowsTheWindowAsItStands) {
  LoadMeeting();
  WriteChangeFile(".jvAV", AvRecord(kNakayama, "01", "01051030", "05", "テスト"));
  form_->N4Click();
  EXPECT_TRUE(henko_->isVisible());
  for (int list = 1; list <= 5; ++list) EXPECT_TRUE(henko_->Lines(list).empty());
  EXPECT_TRUE(desktop_.events.empty());
  EXPECT_FALSE(FileExists(AppDir() / "Data" / Utf8Path("2024年01月05日.renew")));
}

TEST_F(MainChanges, TheIntervalDialogShowsTheStoredIntervalAndStoresTheNewOne) {
  int shown = 0;
  onModal_ = [&](QDialog& d) {
    auto& form = dynamic_cast<TOzGetTimeForm&>(d);
    shown = form.SpinEdit1->value();
    form.SpinEdit1->lineEdit()->setText("12");
    form.BitBtn1->click();
  };
  form_->N2Click();
  EXPECT_EQ(shown, 5);  // nothing stored yet
  EXPECT_EQ(IniFile(form_->SettingsFile()).ReadInteger("Time", "AutoRdataGet", -1), 12);

  ASSERT_TRUE(IniFile(form_->SettingsFile()).WriteInteger("Time", "AutoRdataGet", 80));
  onModal_ = [&](QDialog& d) {
    auto& form = dynamic_cast<TOzGetTimeForm&>(d);
    shown = form.SpinEdit1->value();
    form.BitBtn1Click();
  };
  form_->N2Click();
  EXPECT_EQ(shown, 59);
  EXPECT_EQ(IniFile(form_->SettingsFile()).ReadInteger("Time", "AutoRdataGet", -1), 59);
}

TEST_F(MainChanges, TicksFetchFromTheStartAsAutomaticRunsAndThenEvaluate) {
  LoadMeeting("1005");
  At(9, 0);
  form_->Timer4Timer();
  EXPECT_TRUE(jv_.calls.empty());

  At(9, 3);
  jv_.QueueRecord(AvRecord(kNakayama, "01", "01050902", "05", "テスト"));
  form_->Timer4Timer();
  EXPECT_EQ(jv_.Ops(), (std::vector<std::string>{"JVRTOpen", "JVRead", "JVRead", "JVClose"}));
  EXPECT_EQ(jv_.calls[0].args, (std::vector<std::string>{"0B14", "20240105"}));
  EXPECT_EQ(desktop_.Count("beep"), 0);  // an automatic run closes silently
  EXPECT_EQ(desktop_.Count("balloon"), 1);
  EXPECT_EQ(henko_->Lines(2).size(), 1u);
  // The automatic run is over: a fetch by hand beeps at its good close again.
  form_->GetKaisaiBtnClick();
  EXPECT_EQ(desktop_.Count("beep"), 1);
}

TEST_F(MainChanges, ATickWhileTheAcquisitionHasItsSessionWaitsForTheNextOne) {
  LoadMeeting("1005");
  At(9, 30);
  // The acquisition window is open and its session is open: ticks wait.
  onModal_ = [&](QDialog&) {
    form_->acquisition().sessionOpen = true;
    form_->Timer4Timer();
    EXPECT_TRUE(jv_.calls.empty());
  };
  form_->J1Click();
  onModal_ = nullptr;
  // The window closed with the session left open (a cancelled download): the next tick ends
  // that session first and then fetches in a session of its own, never one on top of it.
  At(9, 35);
  form_->Timer4Timer();
  EXPECT_EQ(jv_.Count("JVRTOpen"), 1);
  std::vector<std::string> ops;
  for (const auto& c : jv_.calls) ops.push_back(c.op);
  ASSERT_GE(ops.size(), 3u);
  EXPECT_EQ((std::vector<std::string>{ops[0], ops[1], ops[2]}),
            (std::vector<std::string>{"JVCancel", "JVClose", "JVRTOpen"}));
  EXPECT_EQ(ops.back(), "JVClose");
  EXPECT_FALSE(form_->acquisition().sessionOpen);
}

TEST_F(MainChanges, ACancelledDownloadDoesNotSilenceTheMonitoring) {
  LoadMeeting("1005");
  form_->acquisition().CancelFlag = 1;  // left by a cancel, until the next acquisition start
  At(9, 30);
  jv_.QueueRecord(AvRecord(kNakayama, "01", "01050902", "05", "テスト"));
  form_->Timer4Timer();
  EXPECT_EQ(jv_.Count("JVRead"), 2);  // the record, then the end of data
  EXPECT_EQ(henko_->Lines(2).size(), 1u);
  EXPECT_EQ(desktop_.Count("balloon"), 1);
}

TEST_F(MainChanges, ATickDuringARunningFetchIsSkipped) {
  LoadMeeting("1005");
  At(9, 30);
  jv_.QueueRecord(AvRecord(kNakayama, "01", "01050902", "05", "テスト"));
  jv_.onCall = [&](const std::string& op) {
    if (op == "JVRead" && jv_.Count("JVRead") == 1) form_->Timer4Timer();
  };
  form_->Timer4Timer();
  EXPECT_EQ(jv_.Count("JVRTOpen"), 1);
  EXPECT_EQ(jv_.Count("JVClose"), 1);
  EXPECT_EQ(jv_.calls.back().op, "JVClose");
}

TEST_F(MainChanges, ATickWhileAJVLinkCallWaitsForItsAnswerIsSkipped) {
  LoadMeeting("1005");
  At(9, 30);
  jv_.busy = true;
  form_->Timer4Timer();
  EXPECT_TRUE(jv_.calls.empty());
  jv_.busy = false;
  form_->Timer4Timer();
  EXPECT_EQ(jv_.Count("JVRTOpen"), 1);
}

// JV-Link out of reach in the middle of a fetch (a dead bridge): the general error box, the
// close step, no evaluation and no log line; the next tick fetches again.
TEST_F(MainChanges, AJVLinkFailureInAFetchEndsItWithTheErrorBoxAndItsCloseStep) {
  LoadMeeting("1005");
  WriteChangeFile(".jvAV", AvRecord(kNakayama, "01", "01050902", "05", "テスト"));
  At(9, 30);
  jv_.QueueRecord(AvRecord(kNakayama, "02", "01050903", "07", "テスト"));
  jv_.onCall = [&](const std::string& op) {
    if (op == "JVRead" && jv_.Count("JVRead") == 2)
      throw JVLinkFailure(Sj("JV-Linkブリッジが終了しました。"));
  };
  form_->Timer4Timer();
  EXPECT_EQ(jv_.Ops(), (std::vector<std::string>{"JVRTOpen", "JVRead", "JVRead", "JVClose"}));
  ASSERT_EQ(desktop_.Count("error"), 1);
  EXPECT_EQ(desktop_.Of("error")[0].text, Sj("JV-Linkブリッジが終了しました。"));
  EXPECT_EQ(desktop_.Count("balloon"), 0);  // no evaluation
  EXPECT_TRUE(Renew().empty());
  jv_.onCall = nullptr;
  desktop_.Clear();
  At(9, 35);
  form_->Timer4Timer();
  EXPECT_EQ(jv_.Count("JVRTOpen"), 2);
  EXPECT_EQ(desktop_.Count("error"), 0);
  EXPECT_EQ(desktop_.Count("balloon"), 1);
}

TEST_F(MainChanges, ShowingTheWindowDuringAFetchInitialisesJVLinkAfterTheClose) {
  LoadMeeting("1005");
  form_->show();
  ASSERT_EQ(jv_.Count("JVInit"), 1);
  form_->hide();
  At(9, 30);
  jv_.QueueRecord(AvRecord(kNakayama, "01", "01050902", "05", "テスト"));
  jv_.onCall = [&](const std::string& op) {
    if (op == "JVRead" && jv_.Count("JVRead") == 1) form_->TrayIcon1DblClick();
  };
  form_->Timer4Timer();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(jv_.Ops(), (std::vector<std::string>{"JVInit", "JVRTOpen", "JVRead", "JVRead",
                                                 "JVClose", "JVInit"}));
  // Without a session a showing initialises at once.
  jv_.onCall = nullptr;
  form_->hide();
  form_->TrayIcon1DblClick();
  EXPECT_EQ(jv_.Count("JVInit"), 3);
}

TEST_F(MainChanges, AFailedOpenIsLoggedAndTheFilesAreStillEvaluated) {
  LoadMeeting("1005");
  SelectRace(1);
  WriteChangeFile(".jvAV", AvRecord(kNakayama, "01", "01050902", "05", "テスト"));
  jv_.rtOpenResults = {-504};
  At(9, 30);
  form_->Timer4Timer();
  EXPECT_EQ(jv_.Ops(), (std::vector<std::string>{"JVRTOpen", "JVClose"}));
  EXPECT_EQ(desktop_.Count("beep"), 1);
  EXPECT_EQ(henko_->Lines(2).size(), 1u);
  const Lines log = SplitLines(ReadFileBytes(AppDir() / "ErrorLog.txt"));
  EXPECT_EQ(log.back(), Sj("【エラー】09:30:00：中山 2R:開催速報データ取得エラー："
                           "サーバーがメンテナンス中です。(-504)"));
  EXPECT_TRUE(Parts(*form_).DLlabel->text().isEmpty());
}

}  // namespace
}  // namespace tavolen
