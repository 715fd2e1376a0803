// Start at sign-in: the entries' texts and decisions, the menu items with an entry in memory,
// and the start into the tray.
#include "automation/Autostart.h"

#include <gtest/gtest.h>

#include <QMenu>

#include "jvlink/KeibaFunc.h"
#include "tests/support/MainWindow.h"

namespace tavolen {
namespace {

using namespace std::string_literals;
using testsupport::Part;
using testsupport::Parts;
using testsupport::ReadFileBytes;

TEST(Autostart, TheArgumentAndTheDesktopEntryWhichQuotesAnyPathAndReadsItBack) {
  EXPECT_TRUE(StartedAtSignIn({"-unknown", "--autostart"}));
  EXPECT_FALSE(StartedAtSignIn({"--autostart=1", "-autostart", "--AUTOSTART"}));

  // Inside Exec's quotes " ` $ \ take a backslash, doubled again by the string type; % is %%.
  const std::string odd = "/home/u/My $Apps/\"q\"/`b`/a\\b/100%/競馬 ソフト/Tavolen";
  const std::string entry = AutostartDesktopEntry(odd).value_or("");
  EXPECT_NE(entry.find("\nExec=\"/home/u/My \\\\$Apps/\\\\\"q\\\\\"/\\\\`b\\\\`/a\\\\\\\\b/100%%/"
                       "競馬 ソフト/Tavolen\" --autostart\n"),
            std::string::npos);
  EXPECT_EQ(DesktopEntryProgram(entry), odd);
  EXPECT_TRUE(DesktopEntryStarts(entry, odd));
  EXPECT_FALSE(DesktopEntryStarts(entry, odd + "2"));
  // Switched off by the desktop's start-up settings; keys of another group are not the entry's.
  EXPECT_FALSE(DesktopEntryStarts(entry + "Hidden=true\n", odd));
  EXPECT_FALSE(DesktopEntryStarts(
      entry.substr(0, entry.find("X-GNOME")) + "X-GNOME-Autostart-enabled=false\n", odd));
  EXPECT_TRUE(DesktopEntryStarts(entry + "[Desktop Action a]\nHidden=true\n", odd));
  EXPECT_TRUE(
      DesktopEntryStarts("[Desktop Entry]\r\nExec=/opt/T/Tavolen --x\r\n", "/opt/T/Tavolen"));

  for (const char* refused : {"Tavolen", "/a\nb/Tavolen", "/a\x82\xa0/Tavolen"})
    EXPECT_FALSE(AutostartDesktopEntry(refused)) << refused;
}

TEST(Autostart, TheRunValueAndExplorersSwitch) {
  const std::u16string program = u"C:\\Users\\山田\\Tavolen 1.01\\Tavolen.exe";
  EXPECT_EQ(RunValueCommand(program),
            u"\"C:\\Users\\山田\\Tavolen 1.01\\Tavolen.exe\" --autostart");
  // Windows compares paths without regard to letter case or the kind of separator.
  EXPECT_TRUE(RunValueStarts(u"\"c:/users/山田/TAVOLEN 1.01/tavolen.EXE\"", program));
  EXPECT_TRUE(RunValueStarts(u"C:\\T\\Tavolen.exe --autostart", u"C:\\T\\Tavolen.exe"));
  EXPECT_FALSE(RunValueStarts(u"\"C:\\T\\Tavolen.exe.old\"", u"C:\\T\\Tavolen.exe"));
  EXPECT_FALSE(RunValueStarts(u"", program));

  // Task Manager writes 02 (on) or 03 (off) and a time; an odd first byte is off.
  EXPECT_TRUE(StartupApprovedOn(std::nullopt));
  EXPECT_TRUE(StartupApprovedOn(""s));
  EXPECT_TRUE(StartupApprovedOn("\x06\0\0\0"s));
  EXPECT_FALSE(StartupApprovedOn("\x03\0\0\0\x10\x20\x30\x40\x50\x60\x70\x01"s));
  EXPECT_FALSE(StartupApprovedOn("\x07"s));
  EXPECT_EQ(StartupApprovedOnBytes(), "\x02\0\0\0\0\0\0\0\0\0\0\0"s);
}

// An entry in memory that can be told to fail.
struct FakeEntry : AutostartEntry {
  bool on = false, fail = false;
  bool On() const override { return on; }
  AutostartStatus TurnOn() override { return Set(true); }
  AutostartStatus TurnOff() override { return Set(false); }
  AutostartStatus Set(bool value) {
    if (fail) return AutostartStatus::Fail(Sj("書き込みが許可されていません"));
    on = value;
    return {};
  }
};

struct SignIn : testsupport::MainWindowTest {
  SignIn() : MainWindowTest({"tavolen_app_tests", "shell/signin", {2005, 1, 8, 9, 30, 0}, false}) {}
  FakeEntry entry;
  void SetUp() override {
    MainWindowTest::SetUp();
    MainFormDeps d = Deps();
    d.autostart = &entry;
    Build(d);
  }
  QAction* FileItem() { return Part<QAction>(*form_, "SignInItem"); }
  QAction* TrayItem() { return Part<QAction>(*form_, "PopupMenuTrayIcon1SignIn"); }
  static void Open(QMenu* menu) {
    menu->popup(QPoint(0, 0));
    menu->hide();
  }
};

TEST_F(SignIn, TheItemsShowTheEntryAtEachOpeningAndChangeIt) {
  EXPECT_EQ(FileItem()->text(), Qs(Sj("ログイン時に起動する")));
  EXPECT_TRUE(desktop_.trayMenu->actions().contains(TrayItem()));
  entry.on = true;  // switched on or off elsewhere: each opening shows it
  Open(Parts(*form_).FileMenu);
  EXPECT_TRUE(FileItem()->isChecked());
  entry.on = false;
  Open(desktop_.trayMenu);
  EXPECT_FALSE(TrayItem()->isChecked());
  EXPECT_FALSE(fs::exists(IniPath()));

  // Checked: the entry written and the automatic watch turned on; unchecked: the entry removed,
  // the automatic watch left on.
  FileItem()->trigger();
  EXPECT_TRUE(entry.on);
  EXPECT_TRUE(TrayItem()->isChecked());
  EXPECT_EQ(testsupport::IniValue(ReadFileBytes(IniPath()), "Auto", "watch"), "1");
  TrayItem()->trigger();
  EXPECT_FALSE(entry.on);
  EXPECT_FALSE(FileItem()->isChecked());
  EXPECT_EQ(testsupport::IniValue(ReadFileBytes(IniPath()), "Auto", "watch"), "1");
  EXPECT_TRUE(desktop_.Messages().empty());

  // A failure is told, and the items show the entry as it is.
  entry.fail = true;
  FileItem()->trigger();
  EXPECT_FALSE(FileItem()->isChecked());
  entry.on = true;
  Open(desktop_.trayMenu);
  TrayItem()->trigger();
  EXPECT_TRUE(FileItem()->isChecked());
  EXPECT_EQ(
      desktop_.Messages(),
      (std::vector<SjisString>{
          Sj("ログイン時に起動する設定を書き込めませんでした。\n書き込みが許可されていません"),
          Sj("ログイン時に起動する設定を削除できませんでした。\n書き込みが許可されていません")}));
}

// Nobody is at the screen at sign-in: the window stays in the tray (minimised without one),
// JV-Link is initialised, a failing JVInit goes to the error log, the status line and one
// notification, and the end of the log-on is not refused. Once the user brings the window out,
// the boxes and the today test are back.
TEST_F(SignIn, StartedAtSignInNoBoxWaitsAndJVLinkIsInitialised) {
  jv_.initResults = {-301, -301};
  form_->StartInTray();
  EXPECT_FALSE(form_->isVisible());
  ASSERT_EQ(jv_.Ops(), std::vector<std::string>{"JVInit"});
  EXPECT_EQ(jv_.calls[0].args[0], "SA418207/SD530946/Tavolen/Ver.1.01");
  EXPECT_TRUE(form_->QueryEndSession());
  EXPECT_TRUE(desktop_.Messages().empty());
  const SjisString failure = Sj("JVInitエラー：") + JVResultMessage("JVInit", -301);
  EXPECT_NE(ReadFileBytes(dir_ / "ErrorLog.txt").find(Sj("【エラー】09:30:00：") + failure),
            std::string::npos);
  ASSERT_EQ(desktop_.Count("balloon"), 1);
  EXPECT_EQ(desktop_.Of("balloon")[0].text, failure);
  EXPECT_EQ(SjisOf(Parts(*form_).StatusLine->currentMessage()), failure);

  form_->TrayIcon1DblClick();
  EXPECT_EQ(jv_.Count("JVInit"), 2);
  EXPECT_FALSE(form_->QueryEndSession());
  EXPECT_EQ(desktop_.Messages(),
            (std::vector<SjisString>{failure, Sj("本日のデータが選択されていません。")}));

  DestroyWindows();
  desktop_.trayAvailable = false;
  SetUp();
  form_->StartInTray();
  EXPECT_TRUE(form_->isMinimized());
  EXPECT_EQ(jv_.Count("JVInit"), 3);
  EXPECT_TRUE(form_->QueryEndSession());
  EXPECT_EQ(desktop_.Messages().size(), 2u);  // no box about the missing tray either
}

}  // namespace
}  // namespace tavolen
