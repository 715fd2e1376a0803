#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QSystemTrayIcon>

#include "acquire/GetDataUnit.h"
#include "app/About.h"
#include "base/QtDesktop.h"
#include "base/Widgets.h"
#include "changes/henkoUnit.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/RaceFiles.h"
#include "tests/support/MainWindow.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using testsupport::Parts;

using testsupport::CheckTimer;
using testsupport::IniValue;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

const SjisString kNotToday = Sj("本日のデータが選択されていません。");
const SjisString kLoadFirst = Sj("データを読み込んでください。");
const std::string kSid = "SA418207/SD530946/Tavolen/Ver.1.01";

// The main window, created by each test (after it prepared its files) with Build().
struct MainForm : testsupport::MainWindowTest {
  MainForm() : MainWindowTest({"tavolen_app_tests", "shell/main", {2005, 1, 8, 9, 30, 0}, false}) {}
  std::vector<std::string> Kinds() const {
    std::vector<std::string> k;
    for (const auto& e : desktop_.events)
      if (e.kind != "tip" && e.kind != "tray") k.push_back(e.kind);
    return k;
  }
};

using MainFormCreation = MainForm;
using MainFormClose = MainForm;
using MainFormCommands = MainForm;

TEST_F(MainFormCreation, WithoutSettingsOpensAtDefaultsAndWritesTheStartLines) {
  Build();
  EXPECT_EQ(form_->pos(), QPoint(10, 10));
  EXPECT_EQ(form_->size(), QSize(630, 450));
  EXPECT_TRUE(form_->CreationCompleted());
  EXPECT_TRUE(fs::is_directory(dir_ / "Data"));
  EXPECT_EQ(testsupport::Names(dir_ / "Data"), std::vector<std::string>{});  // no probe left
  // Two start lines: the start stamp and the application folder.
  EXPECT_EQ(ReadFileBytes(dir_ / "ErrorLog.txt"),
            Sj("ソフト起動：2005/01/08 09:30:00") + "\r\n" + dir_.string() + "\r\n");
  EXPECT_TRUE(desktop_.trayVisible);
  EXPECT_EQ(desktop_.trayTip, "Tavolen for JRA-VAN Data Lab.");
  EXPECT_EQ(form_->windowTitle(), QStringLiteral("Tavolen for JRA-VAN Data Lab."));
  EXPECT_EQ(Parts(*form_).DateCombo->currentIndex(), -1);
  EXPECT_TRUE(Parts(*form_).DateCombo->currentText().isEmpty());
  EXPECT_FALSE(Parts(*form_).N5->isChecked());
  EXPECT_FALSE(CheckTimer(*form_)->isActive());
  EXPECT_TRUE(desktop_.Messages().empty());
  EXPECT_FALSE(fs::exists(IniPath()));  // nothing stored before the end
}

// A JV-Link reached only through the other bitness says so in the error log, after the start
// lines, so that the user can see which one is in use.
TEST_F(MainFormCreation, TheBitnessInUseAfterAFailedOneIsWrittenAfterTheStartLines) {
  jv_.startNote =
      Sj("JV-Linkを64ビットのブリッジで作成しました（作成できなかったもの：32ビット：x）");
  Build();
  const std::string log = ReadFileBytes(dir_ / "ErrorLog.txt");
  EXPECT_EQ(log.find(Sj("ソフト起動：")), 0u);
  EXPECT_NE(
      log.find(dir_.string() + "\r\n" + Sj("【エラー】09:30:00：JV-Linkを64ビットのブリッジで")),
      std::string::npos)
      << log;
}

TEST_F(MainFormCreation, StoredPlaceAndOptionAreUsedAndGarbageGivesDefaults) {
  WriteFileBytes(
      IniPath(),
      "[locate]\r\ntop=40\r\nleft=70\r\nwidth=700\r\nheight=500\r\n[datalist]\r\nclose=1\r\n");
  Build();
  EXPECT_EQ(form_->pos(), QPoint(70, 40));
  EXPECT_EQ(form_->size(), QSize(700, 500));
  EXPECT_TRUE(Parts(*form_).N5->isChecked());
  form_.reset();
  henko_.reset();

  for (const std::string& bad : {std::string(), std::string("\x00\xff\x81garbage\r\n[[[\n=", 17),
                                 std::string("[locate]\r\ntop=abc\r\nleft=\r\nwidth=1e3\r\n")}) {
    WriteFileBytes(IniPath(), bad);
    desktop_.Clear();
    Build();
    EXPECT_EQ(form_->pos(), QPoint(10, 10));
    EXPECT_EQ(form_->size(), QSize(630, 450));
    EXPECT_TRUE(desktop_.Messages().empty());
    henko_.reset();
    form_.reset();
  }
}

TEST_F(MainFormCreation, APlaceOnNoScreenComesBackToTheDefaultCorner) {
  WriteFileBytes(IniPath(), "[locate]\r\ntop=-5000\r\nleft=90000\r\nwidth=640\r\nheight=480\r\n");
  Build();
  EXPECT_EQ(form_->pos(), QPoint(10, 10));
  EXPECT_EQ(form_->size(), QSize(640, 480));
}

TEST_F(MainFormCreation, DataFolderThatCannotBeMadeStopsCreationButTheWindowOpens) {
  WriteFileBytes(dir_ / "Data", "a file where the folder belongs");
  WriteFileBytes(IniPath(), "[locate]\r\ntop=40\r\nleft=70\r\n");
  Build();
  ASSERT_EQ(desktop_.Count("error"), 1);
  EXPECT_NE(desktop_.Of("error")[0].text.find(Sj("データフォルダ")), std::string::npos);
  EXPECT_FALSE(form_->CreationCompleted());
  // The later steps did not run: no start lines, no stored place, no tray icon.
  EXPECT_FALSE(fs::exists(dir_ / "ErrorLog.txt"));
  EXPECT_EQ(form_->pos(), QPoint(10, 10));
  EXPECT_FALSE(desktop_.trayVisible);
  form_->show();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(jv_.Count("JVInit"), 1);
}

// An application folder copied from Windows, where an older install named the folder "DATA"
// or a tool wrote "data": that folder is the data folder, and no second one is made.
TEST_F(MainFormCreation, DataFolderOfAnotherLetterCaseIsTheDataFolder) {
  for (const char* spelling : {"DATA", "data"}) {
    fs::remove_all(dir_);
    fs::create_directories(dir_ / spelling);
    WriteFileBytes(dir_ / spelling / SjisPath(Sj("2005年01月08日.jvRA")), "");
    Build();
    EXPECT_TRUE(form_->CreationCompleted()) << spelling;
    EXPECT_EQ(testsupport::Names(dir_ / spelling), std::vector<std::string>{"2005年01月08日.jvRA"})
        << spelling;
#if defined(_WIN32)
    // The file system ignores case here, so "Data" names the same folder: what must hold is
    // that the folder kept its spelling and no second one was made.
    std::vector<std::string> dataFolders;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const QString name = QString::fromStdWString(entry.path().filename().wstring());
      if (name.compare(QStringLiteral("data"), Qt::CaseInsensitive) == 0)
        dataFolders.push_back(name.toStdString());
    }
    EXPECT_EQ(dataFolders, std::vector<std::string>{spelling});
#else
    EXPECT_FALSE(fs::exists(dir_ / "Data")) << spelling;
#endif
    ASSERT_EQ(Parts(*form_).DateCombo->count(), 1) << spelling;
    TearDown();
  }
}

TEST_F(MainFormCreation, UnwritableErrorLogStopsBeforeTheDateList) {
  fs::create_directories(dir_ / "Data");
  WriteFileBytes(dir_ / "Data" / (Sj("2005年01月08日") + ".jvRA"), "");
  SetWriteFaultForTesting([](const fs::path& p) { return p.filename() == "ErrorLog.txt"; });
  Build();
  ASSERT_EQ(desktop_.Count("error"), 1);
  EXPECT_NE(desktop_.Of("error")[0].text.find(Sj("エラーログ")), std::string::npos);
  EXPECT_FALSE(form_->CreationCompleted());
  EXPECT_EQ(Parts(*form_).DateCombo->count(), 0);  // step 10 skipped
  EXPECT_TRUE(desktop_.trayVisible);               // steps before it ran
  SetWriteFaultForTesting({});
  form_->show();
  EXPECT_TRUE(form_->isVisible());
}

TEST_F(MainFormCreation, MenusHoldTheirItemsInOrder) {
  Build();
  auto texts = [](QMenu* m) {
    QStringList out;
    for (QAction* a : m->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
  };
  QStringList bar;
  for (QAction* a : form_->menuBar()->actions()) bar << a->text();
  EXPECT_EQ(bar, (QStringList{Qs(Sj("ﾌｧｲﾙ(&F)")), Qs(Sj("ｵﾌﾟｼｮﾝ(&O)")), Qs(Sj("ﾍﾙﾌﾟ(&H)"))}));
  EXPECT_EQ(texts(Parts(*form_).FileMenu),
            (QStringList{Qs(Sj("ＪＶデータ取得(&J)")), Qs(Sj("開催日を自動で監視する")), "-",
                         Qs(Sj("ログイン時に起動する")), "-",
                         Qs(Sj("終了(&X)"))}));
  EXPECT_EQ(texts(Parts(*form_).OptionMenu),
            (QStringList{Qs(Sj("情報ﾁｪｯｸ間隔指定")), Qs(Sj("読込後、ﾃﾞｰﾀﾘｽﾄを消す")),
                         Qs(Sj("変更情報を出馬表に表示")), "-", Qs(Sj("お気に入り(&F)...")),
                         Qs(Sj("通知の設定(&N)..."))}));
  EXPECT_FALSE(Parts(*form_).N5->isVisible());
  EXPECT_EQ(texts(Parts(*form_).HelpMenu),
            (QStringList{Qs(Sj("使い方(&U)")), "-", Qs(Sj("ﾊﾞｰｼﾞｮﾝ情報(&A)..."))}));
  EXPECT_EQ(texts(Parts(*form_).PopupMenuTrayIcon1),
            (QStringList{Qs(Sj("変更情報(&C)")), Qs(Sj("通知の設定(&N)...")),
                         Qs(Sj("開催日を自動で監視する")), "-", Qs(Sj("ﾍﾙﾌﾟ(&H)")), "-",
                         Qs(Sj("ログイン時に起動する")), "-", Qs(Sj("終了(&X)"))}));
  EXPECT_EQ(Parts(*form_).PopupMenuTrayIcon1->actions()[4]->menu(),
            Parts(*form_).PopupMenuTrayIcon1Help);
  EXPECT_EQ(texts(Parts(*form_).PopupMenuTrayIcon1Help),
            (QStringList{Qs(Sj("使い方(&U)")), "-", Qs(Sj("ﾊﾞｰｼﾞｮﾝ情報(&A)..."))}));
  form_->show();
  EXPECT_EQ(Parts(*form_).ToolBar1->height(), 61);
  EXPECT_FALSE(Parts(*form_).SpeedButton6->isVisible());
  EXPECT_FALSE(Parts(*form_).Panel1->isVisible());
  EXPECT_FALSE(Parts(*form_).DLlabel->isVisible());
  EXPECT_EQ(Parts(*form_).DateCombo->maxVisibleItems(), 20);
}

TEST_F(MainFormCreation, HintsOfToolBarAndMenuAppearInTheStatusLine) {
  Build();
  form_->show();
  QStatusTipEvent tip(Parts(*form_).SpeedButton1->statusTip());
  QApplication::sendEvent(Parts(*form_).SpeedButton1, &tip);
  EXPECT_EQ(Parts(*form_).StatusLine->currentMessage(),
            Qs(Sj("本ｿﾌﾄのﾌｫｰﾑを閉じ、ﾀｽｸﾄﾚｲで動作させます")));
  Parts(*form_).FileExitItem->showStatusText(form_->menuBar());
  EXPECT_EQ(Parts(*form_).StatusLine->currentMessage(), Qs(Sj("このｱﾌﾟﾘｹｰｼｮﾝを終了します")));
  QStatusTipEvent leave{QString()};
  QApplication::sendEvent(Parts(*form_).SpeedButton1, &leave);
  EXPECT_TRUE(Parts(*form_).StatusLine->currentMessage().isEmpty());
}

TEST_F(MainFormCreation, TheTrayIconOfTheDesktopOpensTheMenuAndShowsTheWindow) {
  QtDesktop qt;
  MainFormDeps deps{dir_, "Tavolen", qt, clock_, jv_, [](QDialog&) { return 0; }, [] {}};
  TMainForm f(deps);
  EXPECT_EQ(qt.trayIcon()->contextMenu(), Parts(f).PopupMenuTrayIcon1);
  EXPECT_EQ(qt.trayIcon()->toolTip(), QStringLiteral("Tavolen for JRA-VAN Data Lab."));
  ASSERT_FALSE(f.isVisible());
  emit qt.trayActivated();
  EXPECT_TRUE(f.isVisible());
  EXPECT_EQ(jv_.Count("JVInit"), 1);
}

TEST_F(MainForm, EveryShowingInitialisesJVLinkWithTheSoftwareIdentifier) {
  Build();
  EXPECT_EQ(jv_.Count("JVInit"), 0);
  form_->show();
  ASSERT_EQ(jv_.Count("JVInit"), 1);
  EXPECT_EQ(jv_.calls[0].args[0], kSid);
  EXPECT_EQ(form_->VersionText(), "Ver.1.01");
  form_->show();  // already visible: not a new showing
  EXPECT_EQ(jv_.Count("JVInit"), 1);
  form_->hide();
  form_->show();
  EXPECT_EQ(jv_.Count("JVInit"), 2);
  EXPECT_TRUE(desktop_.Messages().empty());
}

TEST_F(MainForm, ShowingDuringAnOpenChangeSessionLeavesTheSessionAlone) {
  Build();
  const testsupport::Day today{"20050108", "06", "01", "01"};
  ASSERT_TRUE(StoreRaRecord(dir_ / "Data", testsupport::RaRecord(today, "01", "0950")).stored());
  form_->MakeDataListBtnClick();
  Parts(*form_).DateCombo->setCurrentIndex(0);
  form_->DateComboChange();
  form_->show();
  form_->hide();
  ASSERT_EQ(jv_.Count("JVInit"), 1);
  // A change fetch lets window messages run mid-read: the window comes back then.
  bool shownMidRead = false;
  jv_.onCall = [&](const std::string& op) {
    if (op != "JVRead" || shownMidRead) return;
    shownMidRead = true;
    form_->TrayIcon1DblClick();
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(jv_.Count("JVInit"), 1);
  };
  form_->GetKaisaiBtnClick();
  ASSERT_TRUE(shownMidRead);
  // The showing's JVInit follows the session's JVClose.
  EXPECT_EQ(jv_.Ops().back(), "JVInit");
  EXPECT_EQ(jv_.Count("JVInit"), 2);
}

TEST_F(MainForm, FailingJVInitIsReportedAndTheProgramGoesOn) {
  jv_.initResults = {-101, 0};
  Build();
  form_->show();
  ASSERT_EQ(desktop_.Count("plain"), 1);
  EXPECT_EQ(desktop_.Of("plain")[0].text, Sj("JVInitエラー：") + JVResultMessage("JVInit", -101));
  EXPECT_NE(desktop_.Of("plain")[0].text.find("-101"), std::string::npos);
  EXPECT_TRUE(form_->isVisible());
  form_->hide();
  form_->show();
  EXPECT_EQ(desktop_.Count("plain"), 1);  // the second one succeeded
}

TEST_F(MainFormClose, WithoutTodaysDateEveryCloseRequestIsRefused) {
  Build();
  form_->show();
  desktop_.Clear();
  form_->SpeedButton1Click();              // 常駐
  form_->close();                          // the close box
  EXPECT_FALSE(form_->QueryEndSession());  // log-off
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(Kinds(), (std::vector<std::string>{"beep", "info", "beep", "info", "beep", "info"}));
  for (const auto& m : desktop_.Messages()) EXPECT_EQ(m, kNotToday);

  // Another day selected: still refused.
  SelectDate(*form_, Sj("2005年01月09日"));
  desktop_.Clear();
  form_->close();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(desktop_.Messages(), std::vector<SjisString>{kNotToday});
}

TEST_F(MainFormClose, WithTodaysDateTheWindowGoesToTheTrayAndComesBack) {
  Build();
  form_->show();
  SelectDate(*form_, Sj("2005年01月08日"));
  desktop_.Clear();
  EXPECT_TRUE(form_->QueryEndSession());
  form_->SpeedButton1Click();
  EXPECT_FALSE(form_->isVisible());
  EXPECT_TRUE(desktop_.trayVisible);
  EXPECT_TRUE(desktop_.Messages().empty());
  EXPECT_EQ(quits_, 0);

  // Double-click on the tray icon while hidden: shown again, with a new JVInit.
  ASSERT_EQ(jv_.Count("JVInit"), 1);
  form_->TrayIcon1DblClick();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(jv_.Count("JVInit"), 2);
  EXPECT_EQ(jv_.calls.back().args[0], kSid);
  // While shown it is only brought forward.
  form_->TrayIcon1DblClick();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(jv_.Count("JVInit"), 2);

  // The close box behaves like the button; the program never ends by it.
  form_->close();
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(quits_, 0);
}

TEST_F(MainFormClose, WithoutATrayTheWindowIsMinimisedNeverHiddenAndTheUserToldOnce) {
  desktop_.trayAvailable = false;
  Build();
  form_->show();
  SelectDate(*form_, Sj("2005年01月08日"));
  desktop_.Clear();
  form_->SpeedButton1Click();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_TRUE(form_->isMinimized());
  ASSERT_EQ(desktop_.Count("info"), 1);
  EXPECT_NE(desktop_.Of("info")[0].text.find(Sj("最小化")), std::string::npos);
  form_->showNormal();
  form_->close();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(desktop_.Count("info"), 1);
}

TEST_F(MainFormClose, ExitCommandsEndWithoutTheTodayTestAndTheEndStoresThePlace) {
  Build();
  form_->show();
  form_->move(120, 80);
  form_->resize(700, 520);
  desktop_.Clear();
  form_->SpeedButton4Click();
  Parts(*form_).FileExitItem->trigger();
  Parts(*form_).SpeedButton4->click();
  EXPECT_EQ(quits_, 3);
  EXPECT_TRUE(desktop_.Messages().empty());
  henko_.reset();
  form_.reset();  // the windows are destroyed after the loop ends
  const std::string ini = ReadFileBytes(IniPath());
  EXPECT_EQ(IniValue(ini, "locate", "top"), "80");
  EXPECT_EQ(IniValue(ini, "locate", "left"), "120");
  EXPECT_EQ(IniValue(ini, "locate", "width"), "700");
  EXPECT_EQ(IniValue(ini, "locate", "height"), "520");
  EXPECT_FALSE(desktop_.trayVisible);  // the icon goes with the program

  // The next start opens there.
  Build();
  EXPECT_EQ(form_->pos(), QPoint(120, 80));
  EXPECT_EQ(form_->size(), QSize(700, 520));
}

TEST_F(MainFormClose, TrayExitWhileHiddenStoresTheLastPlace) {
  Build();
  form_->show();
  SelectDate(*form_, Sj("2005年01月08日"));
  form_->move(33, 44);
  form_->SpeedButton1Click();
  ASSERT_FALSE(form_->isVisible());
  desktop_.Clear();
  Parts(*form_).PopupMenuTrayIcon1Exit->trigger();
  EXPECT_EQ(quits_, 1);
  EXPECT_TRUE(desktop_.Messages().empty());
  henko_.reset();
  form_.reset();
  const std::string ini = ReadFileBytes(IniPath());
  EXPECT_EQ(IniValue(ini, "locate", "top"), "44");
  EXPECT_EQ(IniValue(ini, "locate", "left"), "33");
}

TEST_F(MainFormClose, AFailedStoreAtTheEndIsReported) {
  Build();
  SetWriteFaultForTesting([](const fs::path& p) { return p.extension() == ".ini"; });
  desktop_.Clear();
  form_.reset();
  EXPECT_EQ(desktop_.Count("error"), 1);
}

TEST_F(MainFormCommands, ChangeButtonNeedsADateAndTheTrayItemDoesNot) {
  Build();
  form_->show();
  desktop_.Clear();
  form_->SpeedButton2Click();
  EXPECT_EQ(Kinds(), (std::vector<std::string>{"beep", "info"}));
  EXPECT_EQ(desktop_.Messages(), std::vector<SjisString>{kLoadFirst});
  EXPECT_FALSE(henko_->isVisible());

  // A text of blanks counts as no date.
  SelectDate(*form_, "   ");
  form_->SpeedButton2Click();
  EXPECT_FALSE(henko_->isVisible());
  EXPECT_EQ(desktop_.Count("info"), 2);

  // The tray item shows the window as it stands, with no date test.
  desktop_.Clear();
  Parts(*form_).N4->trigger();
  EXPECT_TRUE(henko_->isVisible());
  EXPECT_TRUE(desktop_.events.empty());
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(henko_->List(i)->count(), 0);
  henko_->hide();

  SelectDate(*form_, Sj("2005年01月02日"));
  Parts(*form_).SpeedButton2->click();
  EXPECT_TRUE(henko_->isVisible());
  EXPECT_TRUE(desktop_.Messages().empty());
}

TEST_F(MainFormCommands, HelpOpensTheHelpFileOrSaysWhyNot) {
  Build();
  form_->HelpContentsItemClick();  // no help file
  ASSERT_EQ(desktop_.Count("info"), 1);
  EXPECT_NE(desktop_.Of("info")[0].text.find("Tavolen.CHM"), std::string::npos);
  EXPECT_EQ(desktop_.Count("help"), 0);

  WriteFileBytes(dir_ / "Tavolen.CHM", "ITSF");
  desktop_.Clear();
  Parts(*form_).utorial1->trigger();
  EXPECT_EQ(desktop_.Count("help"), 1);
  EXPECT_EQ(desktop_.Of("help")[0].text, "Tavolen.CHM");
  EXPECT_TRUE(desktop_.Messages().empty());

  desktop_.openSucceeds = false;  // nothing on this desktop_ opens it
  desktop_.Clear();
  Parts(*form_).SpeedButton5->click();
  EXPECT_EQ(desktop_.Count("help"), 1);
  EXPECT_EQ(desktop_.Count("info"), 1);
}

TEST_F(MainFormCommands, VersionBoxShowsTheVersionOnBothPaths) {
  Build();
  form_->show();
  std::vector<QString> labels;
  onModal_ = [&](QDialog& d) {
    auto* box = qobject_cast<TAboutBox*>(&d);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), Qs(Sj("ﾊﾞｰｼﾞｮﾝ情報")));
    EXPECT_EQ(box->size(), QSize(318, 248));
    EXPECT_EQ(box->Panel1->size(), QSize(300, 200));
    labels.push_back(box->Label3D1->text());
  };
  Parts(*form_).HelpAboutItem->trigger();
  form_->SpeedButton6Click();
  Parts(*form_).PopupMenuTrayIcon1About->trigger();
  EXPECT_EQ(labels, (std::vector<QString>{"Ver.1.01", "Ver.1.01", "Ver.1.01"}));
}

TEST_F(MainFormCommands, HomePageFallsBackToTheBrowserCommandThenSaysItFailed) {
  std::vector<std::string> started;
  bool startWorks = true;
  auto start = [&](const std::string& url) {
    started.push_back(url);
    return startWorks;
  };
  {
    TAboutBox box(desktop_, nullptr, start);
    EXPECT_EQ(box.Label3D1->text(), QStringLiteral("Version 1.0"));
    box.Button1->click();  // the desktop_ opens it
    EXPECT_EQ(desktop_.Count("url"), 1);
    EXPECT_TRUE(started.empty());

    desktop_.openSucceeds = false;
    box.Button1Click();  // the browser command opens it
    EXPECT_EQ(started.size(), 1u);
    EXPECT_TRUE(desktop_.Messages().empty());

    startWorks = false;
    box.Button1Click();
    EXPECT_EQ(desktop_.Messages(),
              std::vector<SjisString>{Sj("ホームページの表示に失敗しました。")});
  }
  EXPECT_EQ(desktop_.Of("url")[0].text, std::string(kHomePageAddress));
  EXPECT_EQ(started[0], std::string(kHomePageAddress));
}

TEST_F(MainFormCommands, BalloonThatNoServiceShowsBringsTheChangeWindowForward) {
  Build();
  const SjisString balloonText = Sj("本日の開催で変更情報が発生しました。\r\n");
  form_->ShowBalloon1Click(balloonText);
  ASSERT_EQ(desktop_.Count("balloon"), 1);
  const auto b = desktop_.Of("balloon")[0];
  EXPECT_EQ(b.title, Sj("新着開催情報"));
  EXPECT_EQ(b.text, balloonText);
  EXPECT_EQ(b.icon, BalloonIcon::Information);
  EXPECT_EQ(b.timeout, 10);
  EXPECT_EQ(desktop_.Of("sound")[0].text, "notify.wav");
  EXPECT_FALSE(henko_->isVisible());

  desktop_.balloonShown = false;
  form_->ShowBalloon1Click(balloonText);
  EXPECT_TRUE(henko_->isVisible());
}

TEST_F(MainFormCommands, ErrorLineQuotesTheStatusLabel) {
  Build();
  clock_.Set({2005, 1, 8, 10, 11, 12});
  Parts(*form_).DLlabel->setText(Qs(Sj("中山 1R:開催速報データ取得エラー：x")));
  EXPECT_TRUE(form_->RecordErrorLine());
  const std::string log = ReadFileBytes(dir_ / "ErrorLog.txt");
  EXPECT_TRUE(
      log.ends_with(Sj("【エラー】10:11:12：中山 1R:開催速報データ取得エラー：x") + "\r\n"));

  fs::remove(dir_ / "ErrorLog.txt");
  fs::create_directory(dir_ / "ErrorLog.txt");  // a folder in its place cannot be written
  EXPECT_FALSE(form_->RecordErrorLine());
  EXPECT_EQ(desktop_.Count("error"), 1);
}

}  // namespace
}  // namespace tavolen

namespace tavolen {
namespace {

TEST_F(MainFormCommands, AcquisitionWindowOpensModallyAndItsCloseRebuildsTheDateList) {
  Build();
  bool sawWindow = false, heldDuringSession = false;
  onModal_ = [&](QDialog& d) {
    auto* acquisition = qobject_cast<TGetDataForm*>(&d);
    ASSERT_NE(acquisition, nullptr);
    sawWindow = true;
    EXPECT_EQ(d.windowTitle(), Qs(Sj("ＪＶデータ取込")));
    EXPECT_FALSE(form_->AcquisitionHoldsSession());
    form_->acquisition().sessionOpen = true;  // as after a successful JVOpen
    heldDuringSession = form_->AcquisitionHoldsSession();
    // A day file arrives while the window is open; closing the window lists it.
    WriteFileBytes(dir_ / "Data" / SjisPath(Sj("2005年01月08日.jvRA")), "");
    d.reject();
  };
  form_->J1Click();
  EXPECT_TRUE(sawWindow);
  EXPECT_TRUE(heldDuringSession);
  // A session left open by a closed window no longer holds the change check back: the next
  // fetch's close step ends it.
  EXPECT_FALSE(form_->AcquisitionHoldsSession());
  ASSERT_EQ(Parts(*form_).DateCombo->count(), 1);
  EXPECT_EQ(Parts(*form_).DateCombo->itemText(0), Qs(Sj("2005年01月08日")));
  EXPECT_EQ(Parts(*form_).DateCombo->currentIndex(), -1);
}

}  // namespace
}  // namespace tavolen
