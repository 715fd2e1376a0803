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
#include "tests/support/MainWindow.h"

namespace tavolen {
namespace {

using testsupport::IniValue;
using testsupport::MainFormFixture;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

const SjisString kNotToday = Sj("本日のデータが選択されていません。");
const SjisString kLoadFirst = Sj("データを読み込んでください。");
const std::string kSid = "SA418207/SD530946/Tavolen/Ver.1.01";

// A main window with its change window, as start-up wires them.
struct MainForm : MainFormFixture {
  std::unique_ptr<TMainForm> form;
  std::unique_ptr<THenkoForm> henko;
  void Build() {
    form = Make();
    henko = std::make_unique<THenkoForm>(form->IniGT1.path(), &desktop);
    form->HenkoForm = henko.get();
  }
  void TearDown() override {
    henko.reset();
    form.reset();
    MainFormFixture::TearDown();
  }
  std::vector<std::string> Kinds() const {
    std::vector<std::string> k;
    for (const auto& e : desktop.events)
      if (e.kind != "tip" && e.kind != "tray") k.push_back(e.kind);
    return k;
  }
};

using MainFormCreation = MainForm;
using MainFormClose = MainForm;
using MainFormCommands = MainForm;

TEST_F(MainFormCreation, WithoutSettingsOpensAtDefaultsAndWritesTheStartLines) {
  Build();
  EXPECT_EQ(form->pos(), QPoint(10, 10));
  EXPECT_EQ(form->size(), QSize(630, 450));
  EXPECT_TRUE(form->CreationCompleted());
  EXPECT_TRUE(fs::is_directory(dir / "Data"));
  EXPECT_EQ(testsupport::Names(dir / "Data"), std::vector<std::string>{});  // no probe left
  // Two start lines: the start stamp and the application folder.
  EXPECT_EQ(ReadFileBytes(dir / "ErrorLog.txt"),
            Sj("ソフト起動：2005/01/08 09:30:00") + "\r\n" + dir.string() + "\r\n");
  EXPECT_TRUE(desktop.trayVisible);
  EXPECT_EQ(desktop.trayTip, "Tavolen for JRA-VAN Data Lab.");
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Tavolen for JRA-VAN Data Lab."));
  EXPECT_EQ(form->DateCombo->currentIndex(), -1);
  EXPECT_TRUE(form->DateCombo->currentText().isEmpty());
  EXPECT_FALSE(form->N5->isChecked());
  EXPECT_FALSE(form->Timer4->isActive());
  EXPECT_TRUE(desktop.Messages().empty());
  EXPECT_FALSE(fs::exists(IniPath()));  // nothing stored before the end
}

TEST_F(MainFormCreation, StoredPlaceAndOptionAreUsedAndGarbageGivesDefaults) {
  WriteFileBytes(
      IniPath(),
      "[locate]\r\ntop=40\r\nleft=70\r\nwidth=700\r\nheight=500\r\n[datalist]\r\nclose=1\r\n");
  Build();
  EXPECT_EQ(form->pos(), QPoint(70, 40));
  EXPECT_EQ(form->size(), QSize(700, 500));
  EXPECT_TRUE(form->N5->isChecked());
  form.reset();
  henko.reset();

  for (const std::string& bad : {std::string(), std::string("\x00\xff\x81garbage\r\n[[[\n=", 17),
                                 std::string("[locate]\r\ntop=abc\r\nleft=\r\nwidth=1e3\r\n")}) {
    WriteFileBytes(IniPath(), bad);
    desktop.Clear();
    Build();
    EXPECT_EQ(form->pos(), QPoint(10, 10));
    EXPECT_EQ(form->size(), QSize(630, 450));
    EXPECT_TRUE(desktop.Messages().empty());
    henko.reset();
    form.reset();
  }
}

TEST_F(MainFormCreation, APlaceOnNoScreenComesBackToTheDefaultCorner) {
  WriteFileBytes(IniPath(), "[locate]\r\ntop=-5000\r\nleft=90000\r\nwidth=640\r\nheight=480\r\n");
  Build();
  EXPECT_EQ(form->pos(), QPoint(10, 10));
  EXPECT_EQ(form->size(), QSize(640, 480));
}

TEST_F(MainFormCreation, DataFolderThatCannotBeMadeStopsCreationButTheWindowOpens) {
  WriteFileBytes(dir / "Data", "a file where the folder belongs");
  WriteFileBytes(IniPath(), "[locate]\r\ntop=40\r\nleft=70\r\n");
  Build();
  ASSERT_EQ(desktop.Count("error"), 1);
  EXPECT_NE(desktop.Of("error")[0].text.find(Sj("データフォルダ")), std::string::npos);
  EXPECT_FALSE(form->CreationCompleted());
  // The later steps did not run: no start lines, no stored place, no tray icon.
  EXPECT_FALSE(fs::exists(dir / "ErrorLog.txt"));
  EXPECT_EQ(form->pos(), QPoint(10, 10));
  EXPECT_FALSE(desktop.trayVisible);
  form->show();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(jv.Count("JVInit"), 1);
}

// An application folder copied from Windows, where an older install named the folder "DATA"
// or a tool wrote "data": that folder is the data folder, and no second one is made.
TEST_F(MainFormCreation, DataFolderOfAnotherLetterCaseIsTheDataFolder) {
  for (const char* spelling : {"DATA", "data"}) {
    fs::remove_all(dir);
    fs::create_directories(dir / spelling);
    WriteFileBytes(dir / spelling / SjisPath(Sj("2005年01月08日.jvRA")), "");
    Build();
    EXPECT_TRUE(form->CreationCompleted()) << spelling;
    EXPECT_EQ(testsupport::Names(dir / spelling), std::vector<std::string>{"2005年01月08日.jvRA"})
        << spelling;
    EXPECT_FALSE(fs::exists(dir / "Data")) << spelling;
    ASSERT_EQ(form->DateCombo->count(), 1) << spelling;
    TearDown();
  }
}

TEST_F(MainFormCreation, UnwritableErrorLogStopsBeforeTheDateList) {
  fs::create_directories(dir / "Data");
  WriteFileBytes(dir / "Data" / (Sj("2005年01月08日") + ".jvRA"), "");
  SetWriteFaultForTesting([](const fs::path& p) { return p.filename() == "ErrorLog.txt"; });
  Build();
  ASSERT_EQ(desktop.Count("error"), 1);
  EXPECT_NE(desktop.Of("error")[0].text.find(Sj("エラーログ")), std::string::npos);
  EXPECT_FALSE(form->CreationCompleted());
  EXPECT_EQ(form->DateCombo->count(), 0);  // step 10 skipped
  EXPECT_TRUE(desktop.trayVisible);        // steps before it ran
  SetWriteFaultForTesting({});
  form->show();
  EXPECT_TRUE(form->isVisible());
}

TEST_F(MainFormCreation, MenusHoldTheirItemsInOrder) {
  Build();
  auto texts = [](QMenu* m) {
    QStringList out;
    for (QAction* a : m->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
  };
  QStringList bar;
  for (QAction* a : form->menuBar()->actions()) bar << a->text();
  EXPECT_EQ(bar, (QStringList{Qs(Sj("ﾌｧｲﾙ(&F)")), Qs(Sj("ｵﾌﾟｼｮﾝ(&O)")), Qs(Sj("ﾍﾙﾌﾟ(&H)"))}));
  EXPECT_EQ(texts(form->FileMenu),
            (QStringList{Qs(Sj("ＪＶデータ取得(&J)")), "-", Qs(Sj("終了(&X)"))}));
  EXPECT_EQ(texts(form->OptionMenu),
            (QStringList{Qs(Sj("情報ﾁｪｯｸ間隔指定")), Qs(Sj("読込後、ﾃﾞｰﾀﾘｽﾄを消す")),
                         Qs(Sj("変更情報を出馬表に表示"))}));
  EXPECT_FALSE(form->N5->isVisible());
  EXPECT_EQ(texts(form->HelpMenu),
            (QStringList{Qs(Sj("使い方(&U)")), "-", Qs(Sj("ﾊﾞｰｼﾞｮﾝ情報(&A)..."))}));
  EXPECT_EQ(
      texts(form->PopupMenuTrayIcon1),
      (QStringList{Qs(Sj("変更情報(&C)")), "-", Qs(Sj("ﾍﾙﾌﾟ(&H)")), "-", Qs(Sj("終了(&X)"))}));
  EXPECT_EQ(form->PopupMenuTrayIcon1->actions()[2]->menu(), form->PopupMenuTrayIcon1Help);
  EXPECT_EQ(texts(form->PopupMenuTrayIcon1Help),
            (QStringList{Qs(Sj("使い方(&U)")), "-", Qs(Sj("ﾊﾞｰｼﾞｮﾝ情報(&A)..."))}));
  form->show();
  EXPECT_EQ(form->ToolBar1->height(), 61);
  EXPECT_FALSE(form->SpeedButton6->isVisible());
  EXPECT_FALSE(form->Panel1->isVisible());
  EXPECT_FALSE(form->DLlabel->isVisible());
  EXPECT_EQ(form->DateCombo->maxVisibleItems(), 20);
}

TEST_F(MainFormCreation, HintsOfToolBarAndMenuAppearInTheStatusLine) {
  Build();
  form->show();
  QStatusTipEvent tip(form->SpeedButton1->statusTip());
  QApplication::sendEvent(form->SpeedButton1, &tip);
  EXPECT_EQ(form->StatusLine->currentMessage(), Qs(Sj("本ｿﾌﾄのﾌｫｰﾑを閉じ、ﾀｽｸﾄﾚｲで動作させます")));
  form->FileExitItem->showStatusText(form->menuBar());
  EXPECT_EQ(form->StatusLine->currentMessage(), Qs(Sj("このｱﾌﾟﾘｹｰｼｮﾝを終了します")));
  QStatusTipEvent leave{QString()};
  QApplication::sendEvent(form->SpeedButton1, &leave);
  EXPECT_TRUE(form->StatusLine->currentMessage().isEmpty());
}

TEST_F(MainFormCreation, TheTrayIconOfTheDesktopOpensTheMenuAndShowsTheWindow) {
  QtDesktop qt;
  MainFormDeps deps{dir, "Tavolen", qt, clock, jv, [](QDialog&) { return 0; }, [] {}};
  TMainForm f(deps);
  EXPECT_EQ(qt.trayIcon()->contextMenu(), f.PopupMenuTrayIcon1);
  EXPECT_EQ(qt.trayIcon()->toolTip(), QStringLiteral("Tavolen for JRA-VAN Data Lab."));
  ASSERT_FALSE(f.isVisible());
  emit qt.trayActivated();
  EXPECT_TRUE(f.isVisible());
  EXPECT_EQ(jv.Count("JVInit"), 1);
}

TEST_F(MainForm, EveryShowingInitialisesJVLinkWithTheSoftwareIdentifier) {
  Build();
  EXPECT_EQ(jv.Count("JVInit"), 0);
  form->show();
  ASSERT_EQ(jv.Count("JVInit"), 1);
  EXPECT_EQ(jv.calls[0].args[0], kSid);
  EXPECT_EQ(form->VersionText(), "Ver.1.01");
  form->show();  // already visible: not a new showing
  EXPECT_EQ(jv.Count("JVInit"), 1);
  form->hide();
  form->show();
  EXPECT_EQ(jv.Count("JVInit"), 2);
  EXPECT_TRUE(desktop.Messages().empty());
}

TEST_F(MainForm, ShowingDuringAnOpenChangeSessionLeavesTheSessionAlone) {
  Build();
  form->show();
  form->hide();
  form->jvSessionOpen = true;  // a change fetch lets window messages run mid-read
  form->TrayIcon1DblClick();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(jv.Count("JVInit"), 1);
}

TEST_F(MainForm, FailingJVInitIsReportedAndTheProgramGoesOn) {
  jv.initResults = {-101, 0};
  Build();
  form->show();
  ASSERT_EQ(desktop.Count("plain"), 1);
  EXPECT_EQ(desktop.Of("plain")[0].text, Sj("JVInitエラー：") + JVResultMessage("JVInit", -101));
  EXPECT_NE(desktop.Of("plain")[0].text.find("-101"), std::string::npos);
  EXPECT_TRUE(form->isVisible());
  form->hide();
  form->show();
  EXPECT_EQ(desktop.Count("plain"), 1);  // the second one succeeded
}

TEST_F(MainFormClose, WithoutTodaysDateEveryCloseRequestIsRefused) {
  Build();
  form->show();
  desktop.Clear();
  form->SpeedButton1Click();              // 常駐
  form->close();                          // the close box
  EXPECT_FALSE(form->QueryEndSession());  // log-off
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(Kinds(), (std::vector<std::string>{"beep", "info", "beep", "info", "beep", "info"}));
  for (const auto& m : desktop.Messages()) EXPECT_EQ(m, kNotToday);

  // Another day selected: still refused.
  SelectDate(*form, Sj("2005年01月09日"));
  desktop.Clear();
  form->close();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(desktop.Messages(), std::vector<SjisString>{kNotToday});
}

TEST_F(MainFormClose, WithTodaysDateTheWindowGoesToTheTrayAndComesBack) {
  Build();
  form->show();
  SelectDate(*form, Sj("2005年01月08日"));
  desktop.Clear();
  EXPECT_TRUE(form->QueryEndSession());
  form->SpeedButton1Click();
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(desktop.trayVisible);
  EXPECT_TRUE(desktop.Messages().empty());
  EXPECT_EQ(quits, 0);

  // Double-click on the tray icon while hidden: shown again, with a new JVInit.
  ASSERT_EQ(jv.Count("JVInit"), 1);
  form->TrayIcon1DblClick();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(jv.Count("JVInit"), 2);
  EXPECT_EQ(jv.calls.back().args[0], kSid);
  // While shown it is only brought forward.
  form->TrayIcon1DblClick();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(jv.Count("JVInit"), 2);

  // The close box behaves like the button; the program never ends by it.
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(quits, 0);
}

TEST_F(MainFormClose, WithoutATrayTheWindowIsMinimisedNeverHiddenAndTheUserToldOnce) {
  desktop.trayAvailable = false;
  Build();
  form->show();
  SelectDate(*form, Sj("2005年01月08日"));
  desktop.Clear();
  form->SpeedButton1Click();
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(form->isMinimized());
  ASSERT_EQ(desktop.Count("info"), 1);
  EXPECT_NE(desktop.Of("info")[0].text.find(Sj("最小化")), std::string::npos);
  form->showNormal();
  form->close();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(desktop.Count("info"), 1);
}

TEST_F(MainFormClose, ExitCommandsEndWithoutTheTodayTestAndTheEndStoresThePlace) {
  Build();
  form->show();
  form->move(120, 80);
  form->resize(700, 520);
  desktop.Clear();
  form->SpeedButton4Click();
  form->FileExitItem->trigger();
  form->SpeedButton4->click();
  EXPECT_EQ(quits, 3);
  EXPECT_TRUE(desktop.Messages().empty());
  henko.reset();
  form.reset();  // the windows are destroyed after the loop ends
  const std::string ini = ReadFileBytes(IniPath());
  EXPECT_EQ(IniValue(ini, "locate", "top"), "80");
  EXPECT_EQ(IniValue(ini, "locate", "left"), "120");
  EXPECT_EQ(IniValue(ini, "locate", "width"), "700");
  EXPECT_EQ(IniValue(ini, "locate", "height"), "520");
  EXPECT_FALSE(desktop.trayVisible);  // the icon goes with the program

  // The next start opens there.
  Build();
  EXPECT_EQ(form->pos(), QPoint(120, 80));
  EXPECT_EQ(form->size(), QSize(700, 520));
}

TEST_F(MainFormClose, TrayExitWhileHiddenStoresTheLastPlace) {
  Build();
  form->show();
  SelectDate(*form, Sj("2005年01月08日"));
  form->move(33, 44);
  form->SpeedButton1Click();
  ASSERT_FALSE(form->isVisible());
  desktop.Clear();
  form->PopupMenuTrayIcon1Exit->trigger();
  EXPECT_EQ(quits, 1);
  EXPECT_TRUE(desktop.Messages().empty());
  henko.reset();
  form.reset();
  const std::string ini = ReadFileBytes(IniPath());
  EXPECT_EQ(IniValue(ini, "locate", "top"), "44");
  EXPECT_EQ(IniValue(ini, "locate", "left"), "33");
}

TEST_F(MainFormClose, AFailedStoreAtTheEndIsReported) {
  Build();
  SetWriteFaultForTesting([](const fs::path& p) { return p.extension() == ".ini"; });
  desktop.Clear();
  form.reset();
  EXPECT_EQ(desktop.Count("error"), 1);
}

TEST_F(MainFormCommands, ChangeButtonNeedsADateAndTheTrayItemDoesNot) {
  Build();
  form->show();
  desktop.Clear();
  form->SpeedButton2Click();
  EXPECT_EQ(Kinds(), (std::vector<std::string>{"beep", "info"}));
  EXPECT_EQ(desktop.Messages(), std::vector<SjisString>{kLoadFirst});
  EXPECT_FALSE(henko->isVisible());

  // A text of blanks counts as no date.
  SelectDate(*form, "   ");
  form->SpeedButton2Click();
  EXPECT_FALSE(henko->isVisible());
  EXPECT_EQ(desktop.Count("info"), 2);

  // The tray item shows the window as it stands, with no date test.
  desktop.Clear();
  form->N4->trigger();
  EXPECT_TRUE(henko->isVisible());
  EXPECT_TRUE(desktop.events.empty());
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(henko->List(i)->count(), 0);
  henko->hide();

  SelectDate(*form, Sj("2005年01月02日"));
  form->SpeedButton2->click();
  EXPECT_TRUE(henko->isVisible());
  EXPECT_TRUE(desktop.Messages().empty());
}

TEST_F(MainFormCommands, HelpOpensTheHelpFileOrSaysWhyNot) {
  Build();
  form->HelpContentsItemClick();  // no help file
  ASSERT_EQ(desktop.Count("info"), 1);
  EXPECT_NE(desktop.Of("info")[0].text.find("Tavolen.CHM"), std::string::npos);
  EXPECT_EQ(desktop.Count("help"), 0);

  WriteFileBytes(dir / "Tavolen.CHM", "ITSF");
  desktop.Clear();
  form->utorial1->trigger();
  EXPECT_EQ(desktop.Count("help"), 1);
  EXPECT_EQ(desktop.Of("help")[0].text, "Tavolen.CHM");
  EXPECT_TRUE(desktop.Messages().empty());

  desktop.openSucceeds = false;  // nothing on this desktop opens it
  desktop.Clear();
  form->SpeedButton5->click();
  EXPECT_EQ(desktop.Count("help"), 1);
  EXPECT_EQ(desktop.Count("info"), 1);
}

TEST_F(MainFormCommands, VersionBoxShowsTheVersionOnBothPaths) {
  Build();
  form->show();
  std::vector<QString> labels;
  onModal = [&](QDialog& d) {
    auto* box = qobject_cast<TAboutBox*>(&d);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), Qs(Sj("ﾊﾞｰｼﾞｮﾝ情報")));
    EXPECT_EQ(box->size(), QSize(318, 248));
    EXPECT_EQ(box->Panel1->size(), QSize(300, 200));
    labels.push_back(box->Label3D1->text());
  };
  form->HelpAboutItem->trigger();
  form->SpeedButton6Click();
  form->PopupMenuTrayIcon1About->trigger();
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
    TAboutBox box(desktop, nullptr, start);
    EXPECT_EQ(box.Label3D1->text(), QStringLiteral("Version 1.0"));
    box.Button1->click();  // the desktop opens it
    EXPECT_EQ(desktop.Count("url"), 1);
    EXPECT_TRUE(started.empty());

    desktop.openSucceeds = false;
    box.Button1Click();  // the browser command opens it
    EXPECT_EQ(started.size(), 1u);
    EXPECT_TRUE(desktop.Messages().empty());

    startWorks = false;
    box.Button1Click();
    EXPECT_EQ(desktop.Messages(),
              std::vector<SjisString>{Sj("ホームページの表示に失敗しました。")});
  }
  EXPECT_EQ(desktop.Of("url")[0].text, std::string(kHomePageAddress));
  EXPECT_EQ(started[0], std::string(kHomePageAddress));
}

TEST_F(MainFormCommands, BalloonThatNoServiceShowsBringsTheChangeWindowForward) {
  Build();
  form->balloonText = Sj("本日の開催で変更情報が発生しました。\r\n");
  form->ShowBalloon1Click();
  ASSERT_EQ(desktop.Count("balloon"), 1);
  const auto b = desktop.Of("balloon")[0];
  EXPECT_EQ(b.title, Sj("新着開催情報"));
  EXPECT_EQ(b.text, form->balloonText);
  EXPECT_EQ(b.icon, BalloonIcon::Information);
  EXPECT_EQ(b.timeout, 10);
  EXPECT_EQ(desktop.Of("sound")[0].text, "notify.wav");
  EXPECT_FALSE(henko->isVisible());

  desktop.balloonShown = false;
  form->ShowBalloon1Click();
  EXPECT_TRUE(henko->isVisible());
}

TEST_F(MainFormCommands, ErrorLineQuotesTheStatusLabel) {
  Build();
  clock.Set({2005, 1, 8, 10, 11, 12});
  form->DLlabel->setText(Qs(Sj("中山 1R:開催速報データ取得エラー：x")));
  EXPECT_TRUE(form->RecordErrorLine());
  const std::string log = ReadFileBytes(dir / "ErrorLog.txt");
  EXPECT_TRUE(
      log.ends_with(Sj("【エラー】10:11:12：中山 1R:開催速報データ取得エラー：x") + "\r\n"));

  fs::remove(dir / "ErrorLog.txt");
  fs::create_directory(dir / "ErrorLog.txt");  // a folder in its place cannot be written
  EXPECT_FALSE(form->RecordErrorLine());
  EXPECT_EQ(desktop.Count("error"), 1);
}

}  // namespace
}  // namespace tavolen

namespace tavolen {
namespace {

TEST_F(MainFormCommands, AcquisitionWindowOpensModallyAndItsCloseRebuildsTheDateList) {
  Build();
  bool sawWindow = false, heldDuringSession = false;
  onModal = [&](QDialog& d) {
    auto* acquisition = qobject_cast<TGetDataForm*>(&d);
    ASSERT_NE(acquisition, nullptr);
    sawWindow = true;
    EXPECT_EQ(d.windowTitle(), Qs(Sj("ＪＶデータ取込")));
    EXPECT_FALSE(form->AcquisitionHoldsSession());
    form->acquisition().sessionOpen = true;  // as after a successful JVOpen
    heldDuringSession = form->AcquisitionHoldsSession();
    // A day file arrives while the window is open; closing the window lists it.
    WriteFileBytes(dir / "Data" / SjisPath(Sj("2005年01月08日.jvRA")), "");
    d.reject();
  };
  form->J1Click();
  EXPECT_TRUE(sawWindow);
  EXPECT_TRUE(heldDuringSession);
  // A session left open by a closed window no longer holds the change check back: the next
  // fetch's close step ends it.
  EXPECT_FALSE(form->AcquisitionHoldsSession());
  ASSERT_EQ(form->DateCombo->count(), 1);
  EXPECT_EQ(form->DateCombo->itemText(0), Qs(Sj("2005年01月08日")));
  EXPECT_EQ(form->DateCombo->currentIndex(), -1);
}

}  // namespace
}  // namespace tavolen
