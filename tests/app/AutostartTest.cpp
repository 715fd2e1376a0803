// Start at sign-in: the argument, the entries' texts and decisions, the menu items and the start
// into the tray, with a fake entry and the test doubles.
#include "app/Autostart.h"

#include <gtest/gtest.h>

#include <QMenu>

#include "app/Startup.h"
#include "tests/support/MainWindow.h"

namespace tavolen {
namespace {

using testsupport::IniValue;
using testsupport::Part;
using testsupport::Parts;
using testsupport::ReadFileBytes;

TEST(Autostart, OnlyItsOwnArgumentStartsAtSignIn) {
  EXPECT_FALSE(StartedAtSignIn({}));
  EXPECT_TRUE(StartedAtSignIn({"--autostart"}));
  EXPECT_TRUE(StartedAtSignIn({"-unknown", "--autostart", "x"}));
  EXPECT_FALSE(StartedAtSignIn({"--autostart=1", "autostart", "-autostart", "--AUTOSTART"}));
}

TEST(Autostart, TheFolderIsXdgConfigHomeOrTheHomesConfig) {
  EXPECT_EQ(AutostartFolder("/cfg", "/home/u"), fs::path("/cfg/autostart"));
  EXPECT_EQ(AutostartFolder("", "/home/u"), fs::path("/home/u/.config/autostart"));
  // A relative XDG_CONFIG_HOME is invalid and ignored.
  EXPECT_EQ(AutostartFolder("cfg", "/home/u"), fs::path("/home/u/.config/autostart"));
  EXPECT_EQ(AutostartFolder("", ""), fs::path());
}

// Every path is written into Exec so that it reads back as itself: quoted, with " ` $ \ escaped
// inside the quotes, the backslashes doubled again for the string type, and % as %%.
TEST(Autostart, TheDesktopEntryQuotesAnyPathAndReadsItBack) {
  const std::optional<std::string> plain = AutostartDesktopEntry("/opt/Tavolen/Tavolen");
  ASSERT_TRUE(plain);
  EXPECT_NE(plain->find("\nExec=\"/opt/Tavolen/Tavolen\" --autostart\n"), std::string::npos);
  EXPECT_NE(plain->find("\nTryExec=/opt/Tavolen/Tavolen\n"), std::string::npos);
  EXPECT_EQ(plain->rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_NE(plain->find("\nType=Application\n"), std::string::npos);

  const std::string odd = "/home/u/My $Apps/\"q\"/`b`/a\\b/100%/競馬 ソフト/Tavolen";
  const std::optional<std::string> entry = AutostartDesktopEntry(odd);
  ASSERT_TRUE(entry);
  EXPECT_NE(entry->find("Exec=\"/home/u/My \\\\$Apps/\\\\\"q\\\\\"/\\\\`b\\\\`/a\\\\\\\\b/100%%/"
                        "競馬 ソフト/Tavolen\" --autostart\n"),
            std::string::npos);
  for (const std::string& path : {std::string("/opt/Tavolen/Tavolen"), odd}) {
    const std::string text = *AutostartDesktopEntry(path);
    EXPECT_EQ(DesktopEntryProgram(text), path);
    EXPECT_TRUE(DesktopEntryStarts(text, path));
    EXPECT_FALSE(DesktopEntryStarts(text, path + "2"));
  }

  EXPECT_FALSE(AutostartDesktopEntry("Tavolen"));             // not absolute
  EXPECT_FALSE(AutostartDesktopEntry("/a\nb/Tavolen"));       // a line break
  EXPECT_FALSE(AutostartDesktopEntry("/a\tb/Tavolen"));       // a control character
  EXPECT_FALSE(AutostartDesktopEntry("/a\x82\xa0/Tavolen"));  // not UTF-8
}

TEST(Autostart, AnEntrySwitchedOffByTheDesktopDoesNotStart) {
  const std::string program = "/opt/Tavolen/Tavolen";
  const std::string entry = *AutostartDesktopEntry(program);
  EXPECT_FALSE(DesktopEntryStarts(entry + "Hidden=true\n", program));
  EXPECT_TRUE(DesktopEntryStarts(entry + "Hidden=false\n", program));
  std::string gnomeOff = entry;
  gnomeOff.replace(gnomeOff.find("X-GNOME-Autostart-enabled=true"), 30,
                   "X-GNOME-Autostart-enabled=false");
  EXPECT_FALSE(DesktopEntryStarts(gnomeOff, program));
  // Keys of another group are not the entry's; an entry written by hand without quotes counts.
  EXPECT_TRUE(DesktopEntryStarts(entry + "\n[Desktop Action x]\nHidden=true\n", program));
  EXPECT_TRUE(
      DesktopEntryStarts("[Desktop Entry]\r\nExec=/opt/Tavolen/Tavolen --autostart\r\n", program));
  EXPECT_FALSE(DesktopEntryStarts("", program));
  EXPECT_FALSE(DesktopEntryStarts("[Other]\nExec=/opt/Tavolen/Tavolen\n", program));
}

TEST(Autostart, TheRunValueNamesTheProgramQuoted) {
  const std::u16string program = u"C:\\Users\\山田\\Tavolen 1.01\\Tavolen.exe";
  EXPECT_EQ(RunValueCommand(program),
            u"\"C:\\Users\\山田\\Tavolen 1.01\\Tavolen.exe\" --autostart");
  EXPECT_TRUE(RunValueStarts(RunValueCommand(program), program));
  // Windows compares paths without regard to letter case or the kind of separator.
  EXPECT_TRUE(RunValueStarts(u"\"c:/users/山田/TAVOLEN 1.01/tavolen.EXE\"", program));
  EXPECT_TRUE(RunValueStarts(u"C:\\T\\Tavolen.exe --autostart", u"C:\\T\\Tavolen.exe"));
  EXPECT_FALSE(RunValueStarts(u"\"C:\\Other\\Tavolen.exe\" --autostart", program));
  EXPECT_FALSE(RunValueStarts(u"\"C:\\T\\Tavolen.exe.old\"", u"C:\\T\\Tavolen.exe"));
  EXPECT_FALSE(RunValueStarts(u"", program));
}

// Task Manager's start-up page writes 02 (on) or 03 (off) and a time; other even or odd first
// bytes have been seen too.
TEST(Autostart, ExplorersSwitchIsOffForAnOddFirstByte) {
  using namespace std::string_literals;
  EXPECT_TRUE(StartupApprovedOn(std::nullopt));
  EXPECT_TRUE(StartupApprovedOn(""s));
  EXPECT_TRUE(StartupApprovedOn("\x02\0\0\0\0\0\0\0\0\0\0\0"s));
  EXPECT_TRUE(StartupApprovedOn("\x06\0\0\0"s));
  EXPECT_FALSE(StartupApprovedOn("\x03\0\0\0\x10\x20\x30\x40\x50\x60\x70\x01"s));
  EXPECT_FALSE(StartupApprovedOn("\x07"s));
  EXPECT_EQ(StartupApprovedOnBytes(), "\x02\0\0\0\0\0\0\0\0\0\0\0"s);
  EXPECT_TRUE(StartupApprovedOn(StartupApprovedOnBytes()));
}

// An entry in memory that can be told to fail.
struct FakeEntry : AutostartEntry {
  bool on = false;
  bool failTurnOn = false, failTurnOff = false;
  mutable int reads = 0;
  int turnOns = 0, turnOffs = 0;
  bool On() const override {
    ++reads;
    return on;
  }
  AutostartStatus TurnOn() override {
    ++turnOns;
    if (failTurnOn) return AutostartStatus::Fail(Sj("書き込みが許可されていません"));
    on = true;
    return {};
  }
  AutostartStatus TurnOff() override {
    ++turnOffs;
    if (failTurnOff) return AutostartStatus::Fail(Sj("削除が許可されていません"));
    on = false;
    return {};
  }
};

struct SignIn : testsupport::MainWindowTest {
  SignIn() : MainWindowTest({"tavolen_app_tests", "shell/signin", {2005, 1, 8, 9, 30, 0}, false}) {}
  FakeEntry entry;
  TMainForm& BuildWithEntry() {
    MainFormDeps d = Deps();
    d.autostart = &entry;
    return Build(d);
  }
  QAction* FileItem() { return Part<QAction>(*form_, "SignInItem"); }
  QAction* TrayItem() { return Part<QAction>(*form_, "PopupMenuTrayIcon1SignIn"); }
  // Opens a menu as the user does and closes it again.
  static void Open(QMenu* menu) {
    menu->popup(QPoint(0, 0));
    menu->hide();
  }
  std::string AutoWatchValue() const { return IniValue(ReadFileBytes(IniPath()), "Auto", "watch"); }
};

TEST_F(SignIn, EachOpeningOfAMenuShowsTheEntryAsItIsNow) {
  BuildWithEntry();
  EXPECT_TRUE(Parts(*form_).FileMenu->actions().contains(FileItem()));
  EXPECT_TRUE(Parts(*form_).PopupMenuTrayIcon1->actions().contains(TrayItem()));
  EXPECT_EQ(FileItem()->text(), Qs(Sj("ログイン時に起動する")));
  EXPECT_EQ(TrayItem()->text(), Qs(Sj("ログイン時に起動する")));
  EXPECT_TRUE(FileItem()->isCheckable());
  EXPECT_TRUE(TrayItem()->isCheckable());

  entry.on = true;  // switched on elsewhere (another copy, the desktop's settings)
  Open(Parts(*form_).FileMenu);
  EXPECT_TRUE(FileItem()->isChecked());
  entry.on = false;  // switched off in the desktop's settings
  const int reads = entry.reads;
  Open(desktop_.trayMenu);
  EXPECT_GT(entry.reads, reads);
  EXPECT_FALSE(TrayItem()->isChecked());
  EXPECT_FALSE(FileItem()->isChecked());
  // Reading changes nothing.
  EXPECT_EQ(entry.turnOns + entry.turnOffs, 0);
  EXPECT_FALSE(fs::exists(IniPath()));
}

TEST_F(SignIn, CheckingWritesTheEntryAndTurnsTheAutomaticWatchOnUncheckingRemovesIt) {
  BuildWithEntry();
  Open(Parts(*form_).FileMenu);
  FileItem()->trigger();
  EXPECT_EQ(entry.turnOns, 1);
  EXPECT_TRUE(entry.on);
  EXPECT_TRUE(FileItem()->isChecked());
  EXPECT_TRUE(TrayItem()->isChecked());
  EXPECT_EQ(AutoWatchValue(), "1");

  TrayItem()->trigger();  // off again, from the tray
  EXPECT_EQ(entry.turnOffs, 1);
  EXPECT_FALSE(entry.on);
  EXPECT_FALSE(FileItem()->isChecked());
  EXPECT_FALSE(TrayItem()->isChecked());
  // The automatic watch is a setting of its own: it stays on.
  EXPECT_EQ(AutoWatchValue(), "1");
  EXPECT_TRUE(desktop_.Messages().empty());
}

TEST_F(SignIn, AFailureIsToldAndTheItemShowsTheRealState) {
  BuildWithEntry();
  entry.failTurnOn = true;
  FileItem()->trigger();
  ASSERT_EQ(desktop_.Count("error"), 1);
  EXPECT_EQ(desktop_.Of("error")[0].text,
            Sj("ログイン時に起動する設定を書き込めませんでした。\n書き込みが許可されていません"));
  EXPECT_FALSE(FileItem()->isChecked());
  EXPECT_FALSE(TrayItem()->isChecked());
  EXPECT_FALSE(fs::exists(IniPath()));  // the automatic watch is not turned on

  entry.failTurnOn = false;
  FileItem()->trigger();
  ASSERT_TRUE(FileItem()->isChecked());
  entry.failTurnOff = true;
  desktop_.Clear();
  FileItem()->trigger();
  ASSERT_EQ(desktop_.Count("error"), 1);
  EXPECT_EQ(desktop_.Of("error")[0].text,
            Sj("ログイン時に起動する設定を削除できませんでした。\n削除が許可されていません"));
  EXPECT_TRUE(FileItem()->isChecked());  // the entry is still there
  EXPECT_TRUE(TrayItem()->isChecked());
}

TEST_F(SignIn, StartedAtSignInTheWindowStaysInTheTrayAndJVLinkIsInitialised) {
  BuildWithEntry();
  form_->StartInTray();
  EXPECT_FALSE(form_->isVisible());
  EXPECT_TRUE(desktop_.trayVisible);
  ASSERT_EQ(jv_.Ops(), std::vector<std::string>{"JVInit"});
  EXPECT_EQ(jv_.calls[0].args[0], "SA418207/SD530946/Tavolen/Ver.1.01");
  EXPECT_TRUE(desktop_.Messages().empty());
  // Nobody chose a day to watch: the end of the log-on is not refused.
  EXPECT_TRUE(form_->QueryEndSession());
  EXPECT_TRUE(desktop_.Messages().empty());

  // The tray brings the window back: a showing of its own, with its own JVInit; from then on
  // the close requests are the user's, with the today test.
  form_->TrayIcon1DblClick();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(jv_.Count("JVInit"), 2);
  EXPECT_FALSE(form_->QueryEndSession());
  EXPECT_EQ(desktop_.Messages(), std::vector<SjisString>{Sj("本日のデータが選択されていません。")});
}

TEST_F(SignIn, WithoutATrayTheWindowIsMinimisedWithoutABox) {
  desktop_.trayAvailable = false;
  BuildWithEntry();
  form_->StartInTray();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_TRUE(form_->isMinimized());
  EXPECT_EQ(jv_.Count("JVInit"), 1);
  EXPECT_TRUE(form_->QueryEndSession());
  EXPECT_TRUE(desktop_.Messages().empty());
}

// Nobody is at the screen at sign-in: a failing JVInit goes to the error log, the status line and
// one notification; the same failure on a showing the user asked for is the box.
TEST_F(SignIn, AFailingJVInitAtSignInIsLoggedAndNotifiedNotBoxed) {
  jv_.initResults = {-301, -301};
  BuildWithEntry();
  form_->StartInTray();
  EXPECT_TRUE(desktop_.Messages().empty());
  const std::string log = ReadFileBytes(dir_ / "ErrorLog.txt");
  EXPECT_NE(log.find(Sj("【エラー】09:30:00：JVInitエラー：")), std::string::npos);
  ASSERT_EQ(desktop_.Count("balloon"), 1);
  EXPECT_EQ(desktop_.Of("balloon")[0].text.rfind(Sj("JVInitエラー："), 0), 0u);
  EXPECT_EQ(SjisOf(Parts(*form_).StatusLine->currentMessage()), desktop_.Of("balloon")[0].text);

  form_->TrayIcon1DblClick();
  ASSERT_EQ(desktop_.Count("plain"), 1);
  EXPECT_EQ(desktop_.Of("plain")[0].text, desktop_.Of("balloon")[0].text);
  EXPECT_EQ(ReadFileBytes(dir_ / "ErrorLog.txt"), log);
}

struct SignInStartup : ::testing::Test {
  fs::path dir = testsupport::TestDir("shell/signin-startup");
  RecordingDesktop desktop;
  FakeClock clock{LocalDateTime{2005, 1, 8, 9, 30, 0}};
  std::vector<std::string> steps;
  FakeEntry entry;
  ProgramWindows windows;
  ~SignInStartup() override { windows.Destroy(); }
  StartupDeps Deps() {
    StartupDeps d{desktop, clock, dir, "Tavolen"};
    d.createJVLink = [] { return std::make_unique<ScriptedJVLink>(); };
    d.trace = [this](const char* s) { steps.push_back(s); };
    d.quit = [] {};
    d.runModal = [](QDialog&) { return 0; };
    d.atSignIn = true;
    return d;
  }
};

TEST_F(SignInStartup, TheSequenceEndsInTheTrayAndASecondCopyEndsWithoutABox) {
  ASSERT_EQ(StartUp(Deps(), false, windows), StartOutcome::Running);
  EXPECT_EQ(steps, (std::vector<std::string>{"instance", "jvlink", "cleanup", "main", "progress",
                                             "change", "tray"}));
  EXPECT_FALSE(windows.mainForm->isVisible());
  EXPECT_EQ(static_cast<ScriptedJVLink&>(*windows.jvLink).Count("JVInit"), 1);
  EXPECT_TRUE(desktop.Messages().empty());

  ProgramWindows second;
  steps.clear();
  EXPECT_EQ(StartUp(Deps(), true, second), StartOutcome::AlreadyRunning);
  EXPECT_EQ(steps, std::vector<std::string>{"instance"});
  EXPECT_TRUE(desktop.Messages().empty());
  EXPECT_FALSE(second.mainForm);
}

}  // namespace
}  // namespace tavolen
