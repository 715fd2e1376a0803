#include "app/AppFolders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "app/About.h"
#include "app/ProgramIcon.h"
#include "app/Startup.h"
#include "changes/henkoUnit.h"
#include "racecard/prgrsUnit.h"
#include "tests/support/MainWindow.h"

namespace tavolen {
namespace {

using testsupport::Parts;

using testsupport::Names;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

LayoutInputs Inputs(bool writable, bool marker, std::string xdg, std::string home) {
  LayoutInputs in;
  in.rules = FolderRules::Xdg;
  in.exeFolder = "/opt/tavolen/bin";
  in.shareFolder = "/opt/tavolen/share/tavolen";
  in.exeFolderWritable = writable;
  in.installedMarker = marker;
  in.dataHome = std::move(xdg);
  in.home = std::move(home);
  return in;
}

// The layout chosen for the inputs, where it keeps the program's files and reads its resources.
void ExpectLayout(const LayoutInputs& in, FolderLayout layout, const fs::path& appFolder,
                  const fs::path& resourceFolder) {
  auto f = ChooseAppFolders(in);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->layout, layout);
  EXPECT_EQ(f->appFolder, appFolder);
  EXPECT_EQ(f->resourceFolder, resourceFolder);
}

TEST(FolderLayoutChoice, AWritableUnmarkedFolderKeepsEverythingBesideTheProgram) {
  ExpectLayout(Inputs(true, false, "/x/data", "/home/u"), FolderLayout::Portable,
               "/opt/tavolen/bin", "/opt/tavolen/bin");
}

TEST(FolderLayoutChoice, AnInstalledProgramUsesThePerUserFolderAndReadsFromTheInstall) {
  // Not writable (an ordinary user), or marked by the install rules (root may write anywhere).
  for (auto [writable, marker] : {std::pair{false, false}, {false, true}, {true, true}}) {
    SCOPED_TRACE(::testing::Message() << "writable " << writable << ", marker " << marker);
    ExpectLayout(Inputs(writable, marker, "/x/data", "/home/u"), FolderLayout::Installed,
                 "/x/data/tavolen", "/opt/tavolen/share/tavolen");
  }
}

TEST(FolderLayoutChoice, WithoutAUsableXdgDataHomeTheHomeFolderDecides) {
  EXPECT_EQ(ChooseAppFolders(Inputs(false, true, "", "/home/u"))->appFolder,
            "/home/u/.local/share/tavolen");
  // A relative XDG_DATA_HOME is not valid and is ignored.
  EXPECT_EQ(ChooseAppFolders(Inputs(false, true, "rel/data", "/home/u"))->appFolder,
            "/home/u/.local/share/tavolen");
  EXPECT_EQ(ChooseAppFolders(Inputs(false, true, "/x/data/", "/home/u"))->appFolder,
            "/x/data/tavolen");
  // Nowhere to keep the user's files: no folder at all, never the install.
  EXPECT_FALSE(ChooseAppFolders(Inputs(false, true, "", "")));
  EXPECT_FALSE(ChooseAppFolders(Inputs(false, false, "rel", "also/relative")));
  // A portable program needs neither.
  EXPECT_TRUE(ChooseAppFolders(Inputs(true, false, "", "")));
}

// The Windows rules, decided here with the paths of this system: the installer's marker lies
// beside Tavolen.exe (its share folder is its own folder), the user's files go to
// %LOCALAPPDATA%\Tavolen. The same decision runs in the Windows program (AppFoldersWin32Test).
LayoutInputs WindowsInputs(bool writable, bool marker, std::string localAppData,
                           std::string profile) {
  LayoutInputs in;
  in.rules = FolderRules::Windows;
  in.exeFolder = "/Users/u/AppData/Local/Programs/Tavolen";
  in.shareFolder = in.exeFolder;
  in.exeFolderWritable = writable;
  in.installedMarker = marker;
  in.dataHome = std::move(localAppData);
  in.home = std::move(profile);
  return in;
}

TEST(FolderLayoutChoice, OnWindowsTheInstallersMarkerOrAFolderNotWritableMeansLocalAppData) {
  const fs::path program = "/Users/u/AppData/Local/Programs/Tavolen";
  // The zip unpacked anywhere the user may write: everything beside Tavolen.exe.
  ExpectLayout(WindowsInputs(true, false, "/Users/u/AppData/Local", "/Users/u"),
               FolderLayout::Portable, program, program);
  // Installed by the installer (the folder is the user's own, so writable), or unpacked under
  // Program Files: the per-user folder, and the program's own files from its folder.
  for (auto [writable, marker] : {std::pair{true, true}, {false, false}, {false, true}}) {
    SCOPED_TRACE(::testing::Message() << "writable " << writable << ", marker " << marker);
    ExpectLayout(WindowsInputs(writable, marker, "/Users/u/AppData/Local", "/Users/u"),
                 FolderLayout::Installed, "/Users/u/AppData/Local/Tavolen", program);
  }
  // Without %LOCALAPPDATA% the profile's own local folder; never the XDG places.
  EXPECT_EQ(ChooseAppFolders(WindowsInputs(true, true, "", "/Users/u"))->appFolder,
            "/Users/u/AppData/Local/Tavolen");
  EXPECT_EQ(ChooseAppFolders(WindowsInputs(true, true, "relative", "/Users/u"))->appFolder,
            "/Users/u/AppData/Local/Tavolen");
  EXPECT_FALSE(ChooseAppFolders(WindowsInputs(true, true, "", "")));
  // The message names the variables of the system that lacks them.
  EXPECT_NE(NoUserFolderText(FolderRules::Windows).find("LOCALAPPDATA"), std::string::npos);
  EXPECT_NE(NoUserFolderText(FolderRules::Xdg).find("XDG_DATA_HOME"), std::string::npos);
}

// Sets an environment variable for one test and puts the old value back.
struct EnvVar {
  std::string name;
  std::optional<std::string> old;
  EnvVar(std::string n, const char* value) : name(std::move(n)) {
    if (const char* v = std::getenv(name.c_str())) old = v;
    if (value)
      setenv(name.c_str(), value, 1);
    else
      unsetenv(name.c_str());
  }
  ~EnvVar() {
    if (old)
      setenv(name.c_str(), old->c_str(), 1);
    else
      unsetenv(name.c_str());
  }
};

TEST(FolderLayoutInputs, AreReadFromTheInstallTreeAndTheEnvironment) {
  const fs::path prefix = testsupport::TestDir("shell/folders");
  fs::create_directories(prefix / "bin");
  fs::create_directories(prefix / "share" / "tavolen");
  EnvVar xdg("XDG_DATA_HOME", (prefix / "user").c_str());

  LayoutInputs in = ReadLayoutInputs(prefix / "bin", "../share/tavolen");
  EXPECT_EQ(in.shareFolder, prefix / "share" / "tavolen");
  EXPECT_FALSE(in.installedMarker);
  EXPECT_TRUE(in.exeFolderWritable);
  EXPECT_EQ(in.dataHome, (prefix / "user").string());
  EXPECT_EQ(ChooseAppFolders(in)->layout, FolderLayout::Portable);

  WriteFileBytes(prefix / "share" / "tavolen" / kInstalledMarker, "installed\n");
  in = ReadLayoutInputs(prefix / "bin", "../share/tavolen");
  EXPECT_TRUE(in.installedMarker);
  EXPECT_EQ(ChooseAppFolders(in)->appFolder, prefix / "user" / "tavolen");

  {
    // Without HOME the account's home folder is taken.
    EnvVar home("HOME", nullptr);
    EXPECT_FALSE(ReadLayoutInputs(prefix / "bin", "../share/tavolen").home.empty());
  }
  // Permission bits stop a write only for an ordinary user; root writes anyway.
  if (::geteuid() != 0) {
    fs::permissions(prefix / "bin", fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(ReadLayoutInputs(prefix / "bin", "../share/tavolen").exeFolderWritable);
    fs::permissions(prefix / "bin", fs::perms::owner_write, fs::perm_options::add);
  }
}

TEST(FolderLayoutEntry, CreatesTheMissingPerUserFolderAndMakesItCurrent) {
  const fs::path dir = testsupport::TestDir("shell/folders");
  const fs::path old = fs::current_path();
  AppFolders f{FolderLayout::Installed, dir / "home" / ".local" / "share" / "tavolen", dir};
  ASSERT_TRUE(EnterAppFolder(f).ok);
  EXPECT_TRUE(fs::is_directory(f.appFolder));
  EXPECT_EQ(fs::current_path(), f.appFolder);
  fs::current_path(old);

  // A file where the folder should be: a message, and the current folder stays.
  WriteFileBytes(dir / "blocked", "x");
  FileStatus st = EnterAppFolder({FolderLayout::Installed, dir / "blocked" / "tavolen", dir});
  EXPECT_FALSE(st.ok);
  EXPECT_EQ(st.reason, FileError::AppFolderCreate);
  EXPECT_EQ(st.detail, PathText(dir / "blocked" / "tavolen"));
  EXPECT_EQ(fs::current_path(), old);
  EXPECT_EQ(EnterAppFolder({}).reason, FileError::AppFolderMissing);
}

TEST(FolderLayoutResources, TheUsersOwnCopyWinsOverTheInstalledOne) {
  const fs::path dir = testsupport::TestDir("shell/folders");
  fs::create_directories(dir / "user");
  fs::create_directories(dir / "share");
  AppFolders installed{FolderLayout::Installed, dir / "user", dir / "share"};
  EXPECT_EQ(ResourceFile(installed, "notify.wav"), dir / "share" / "notify.wav");
  WriteFileBytes(dir / "user" / "notify.wav", "RIFF");
  EXPECT_EQ(ResourceFile(installed, "notify.wav"), dir / "user" / "notify.wav");
  EXPECT_EQ(ResourceFile(installed, fs::path("help") / "index.html"),
            dir / "share" / "help" / "index.html");
  // Portable: always beside the program, as before.
  AppFolders portable{FolderLayout::Portable, dir / "user", dir / "user"};
  EXPECT_EQ(ResourceFile(portable, "Tavolen.CHM"), dir / "user" / "Tavolen.CHM");
}

// An installed tree: <prefix>/bin holds the program, <prefix>/share/tavolen its read-only
// files and the marker; the user's data home is elsewhere.
struct InstalledTree : ::testing::Test {
  fs::path dir, bin, share, dataHome, user;
  fs::path oldCwd = fs::current_path();
  std::optional<EnvVar> xdg;
  RecordingDesktop desktop;
  FakeClock clock{LocalDateTime{2005, 1, 8, 9, 30, 0}};

  void SetUp() override {
    dir = testsupport::TestDir("shell/installed");
    bin = dir / "usr" / "bin";
    share = dir / "usr" / "share" / "tavolen";
    dataHome = dir / "home" / ".local" / "share";
    user = dataHome / "tavolen";
    fs::create_directories(bin);
    fs::create_directories(share / "help");
    WriteFileBytes(share / kInstalledMarker, "installed\n");
    WriteFileBytes(share / "notify.wav", "RIFF");
    WriteFileBytes(share / "help" / "index.html", "<html></html>");
    xdg.emplace("XDG_DATA_HOME", dataHome.c_str());
  }
  void TearDown() override {
    fs::current_path(oldCwd);
    std::error_code ec;
    fs::permissions(bin, fs::perms::owner_all, fs::perm_options::add, ec);
  }
  // Every file below a folder, as relative paths.
  static std::vector<std::string> Tree(const fs::path& root) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root))
      out.push_back(fs::relative(e.path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
  }
};

TEST_F(InstalledTree, StartsInThePerUserFolderAndNeverWritesIntoTheInstall) {
  const auto installBefore = Tree(dir / "usr");
  std::optional<AppFolders> folders = SetUpAppFolders(bin, "../share/tavolen", desktop);
  ASSERT_TRUE(folders);
  EXPECT_EQ(folders->layout, FolderLayout::Installed);
  EXPECT_EQ(folders->appFolder, user);
  EXPECT_EQ(fs::current_path(), user);

  StartupDeps deps{desktop, clock, folders->appFolder, "Tavolen"};
  deps.createJVLink = [] { return std::make_unique<ScriptedJVLink>(); };
  deps.quit = [] {};
  deps.runModal = [](QDialog&) { return 0; };
  deps.layout = folders->layout;
  deps.resourceFolder = folders->resourceFolder;
  ProgramWindows windows;
  ASSERT_EQ(StartUp(deps, false, windows), StartOutcome::Running);
  ASSERT_TRUE(windows.mainForm->CreationCompleted());
  EXPECT_TRUE(desktop.Messages().empty());
  // The start lines name the per-user folder; the data folder is there.
  const std::string log = ReadFileBytes(user / "ErrorLog.txt");
  EXPECT_NE(log.find(Sj("ソフト起動：")), std::string::npos);
  EXPECT_NE(log.find("\r\n" + user.string() + "\r\n"), std::string::npos);
  EXPECT_TRUE(fs::is_directory(user / "Data"));

  // Help and sound come from the install.
  windows.mainForm->HelpContentsItemClick();
  ASSERT_EQ(desktop.Count("help"), 1);
  EXPECT_EQ(desktop.helpPaths.at(0), share / "help" / "index.html");
  windows.mainForm->ShowBalloon1Click(Sj("本日の開催で変更情報が発生しました。\r\n"));
  ASSERT_EQ(desktop.Count("sound"), 1);
  EXPECT_EQ(desktop.soundPaths.at(0), share / "notify.wav");

  windows.Destroy();  // stores the window place
  EXPECT_TRUE(fs::exists(user / "Tavolen.ini"));
  EXPECT_EQ(Tree(dir / "usr"), installBefore);
}

TEST_F(InstalledTree, AReadOnlyFolderWithoutTheMarkerIsInstalledToo) {
  fs::remove(share / kInstalledMarker);
  std::optional<AppFolders> writable = SetUpAppFolders(bin, "../share/tavolen", desktop);
  ASSERT_TRUE(writable);
  EXPECT_EQ(writable->layout, FolderLayout::Portable);  // a writable folder is portable
  EXPECT_EQ(writable->appFolder, bin);
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into a read-only folder";
  fs::permissions(bin, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  std::optional<AppFolders> readOnly = SetUpAppFolders(bin, "../share/tavolen", desktop);
  ASSERT_TRUE(readOnly);
  EXPECT_EQ(readOnly->layout, FolderLayout::Installed);
  EXPECT_EQ(readOnly->appFolder, user);
}

TEST_F(InstalledTree, WithNowhereToKeepTheFilesItSaysSoAndStops) {
  EnvVar noXdg("XDG_DATA_HOME", "relative/data");
  EnvVar badHome("HOME", "relative/home");
  EXPECT_FALSE(SetUpAppFolders(bin, "../share/tavolen", desktop));
  ASSERT_EQ(desktop.Count("error"), 1);
  EXPECT_NE(desktop.Of("error")[0].text.find(Sj("データを置くフォルダが決められません。")),
            std::string::npos);
  // A per-user folder that cannot be made: the reason, and nothing in the install.
  EnvVar blocked("XDG_DATA_HOME", (dir / "file").c_str());
  WriteFileBytes(dir / "file", "x");
  desktop.Clear();
  EXPECT_FALSE(SetUpAppFolders(bin, "../share/tavolen", desktop));
  ASSERT_EQ(desktop.Count("error"), 1);
  EXPECT_NE(desktop.Of("error")[0].text.find(Sj("アプリケーションフォルダを作成できません。")),
            std::string::npos);
  EXPECT_TRUE(Names(bin).empty());
}

// The help commands of a main window in either layout.
struct HelpCommands : testsupport::MainWindowTest {
  HelpCommands()
      : MainWindowTest({"tavolen_app_tests", "shell/main", {2005, 1, 8, 9, 30, 0}, false}) {}
  fs::path share;
  void Build(FolderLayout layout) {
    share = dir_ / "install";
    fs::create_directories(share / "help");
    MainFormDeps d = Deps();
    d.layout = layout;
    d.resourceFolder = share;
    MainWindowTest::Build(d);
  }
};

TEST_F(HelpCommands, TheGuideOpensWhenNoChmIsThereAndAUsersChmComesFirst) {
  Build(FolderLayout::Installed);
  WriteFileBytes(share / "help" / "index.html", "<html></html>");
  for (QAction* command : {Parts(*form_).HelpContentsItem, Parts(*form_).utorial1})
    command->trigger();
  Parts(*form_).SpeedButton5->click();
  ASSERT_EQ(desktop_.Count("help"), 3);
  for (const auto& p : desktop_.helpPaths) EXPECT_EQ(p, share / "help" / "index.html");
  EXPECT_TRUE(desktop_.Messages().empty());

  // A Tavolen.CHM in the install, then one the user puts into the per-user folder.
  WriteFileBytes(share / "Tavolen.CHM", "ITSF");
  Build(FolderLayout::Installed);
  desktop_.Clear();
  form_->HelpContentsItemClick();
  EXPECT_EQ(desktop_.helpPaths.at(0), share / "Tavolen.CHM");
  WriteFileBytes(dir_ / "Tavolen.CHM", "ITSF");
  Build(FolderLayout::Installed);
  desktop_.Clear();
  form_->HelpContentsItemClick();
  EXPECT_EQ(desktop_.helpPaths.at(0), dir_ / "Tavolen.CHM");
  EXPECT_TRUE(desktop_.Messages().empty());
}

TEST_F(HelpCommands, WhatCannotBeOpenedIsSaidPlainly) {
  Build(FolderLayout::Installed);
  form_->HelpContentsItemClick();  // neither a CHM nor the guide
  EXPECT_EQ(desktop_.Count("help"), 0);
  ASSERT_EQ(desktop_.Count("info"), 1);
  const SjisString missing = desktop_.Of("info")[0].text;
  EXPECT_EQ(missing.rfind(Sj("ヘルプファイルが見つかりません。"), 0), 0u);
  EXPECT_NE(missing.find("index.html"), std::string::npos);

  // The guide is there but nothing opens it.
  WriteFileBytes(share / "help" / "index.html", "<html></html>");
  desktop_.openSucceeds = false;
  desktop_.Clear();
  form_->HelpContentsItemClick();
  ASSERT_EQ(desktop_.Count("info"), 1);
  EXPECT_EQ(desktop_.Of("info")[0].text.rfind(Sj("使い方を表示できませんでした。"), 0), 0u);

  // A CHM nothing can show: the guide is tried next, then the CHM's message.
  WriteFileBytes(dir_ / "Tavolen.CHM", "ITSF");
  desktop_.Clear();
  form_->HelpContentsItemClick();
  ASSERT_EQ(desktop_.Count("help"), 2);
  EXPECT_EQ(desktop_.helpPaths.at(0), dir_ / "Tavolen.CHM");
  EXPECT_EQ(desktop_.helpPaths.at(1), share / "help" / "index.html");
  ASSERT_EQ(desktop_.Count("info"), 1);
  EXPECT_NE(desktop_.Of("info")[0].text.find("xCHM"), std::string::npos);
}

TEST_F(HelpCommands, APortableFolderOpensTheGuideBesideTheProgram) {
  Build(FolderLayout::Portable);
  WriteFileBytes(share / "help" / "index.html",
                 "<html></html>");  // an install elsewhere is ignored
  form_->HelpContentsItemClick();
  EXPECT_EQ(desktop_.Count("help"), 0);
  fs::create_directories(dir_ / "help");
  WriteFileBytes(dir_ / "help" / "index.html", "<html></html>");
  desktop_.Clear();
  form_->HelpContentsItemClick();
  ASSERT_EQ(desktop_.Count("help"), 1);
  EXPECT_EQ(desktop_.helpPaths.at(0), dir_ / "help" / "index.html");
}

TEST_F(HelpCommands, TheVersionBoxShowsTheFolderInUse) {
  for (FolderLayout layout : {FolderLayout::Portable, FolderLayout::Installed}) {
    Build(layout);
    QString shown, tip;
    onModal_ = [&](QDialog& d) {
      auto* box = qobject_cast<TAboutBox*>(&d);
      ASSERT_NE(box, nullptr);
      EXPECT_FALSE(box->FolderLabel->isHidden());
      shown = box->FolderLabel->text();
      tip = box->FolderLabel->toolTip();
    };
    Parts(*form_).HelpAboutItem->trigger();
    EXPECT_TRUE(shown.contains(QString::fromStdString(FolderLayoutName(layout))))
        << shown.toStdString();
    EXPECT_EQ(tip, QString::fromStdString(dir_.string()));
    // A long path is cut at its start, never at its end.
    const QString path = QString::fromStdString(dir_.string());
    const QString rest = shown.mid(shown.indexOf(QStringLiteral(": ")) + 2);
    ASSERT_FALSE(rest.isEmpty());
    EXPECT_TRUE(rest == path || (rest.startsWith(QChar(0x2026)) && path.endsWith(rest.mid(1))))
        << shown.toStdString();
  }
}

TEST_F(HelpCommands, TheEmptyWindowSaysWhatToDoFirst) {
  Build(FolderLayout::Portable);
  ASSERT_TRUE(Parts(*form_).Panel1->isHidden());
  EXPECT_FALSE(Parts(*form_).GuideLabel->isHidden());
  EXPECT_TRUE(Parts(*form_).GuideLabel->text().startsWith(
      QString::fromUtf8("まだレースデータがありません")));
  EXPECT_TRUE(Parts(*form_).GuideLabel->text().contains(QString::fromUtf8("JVデータ取得")));

  // Dates to choose from: the guide says so.
  Parts(*form_).DateCombo->addItem(Qs(Sj("2005年01月08日")));
  EXPECT_TRUE(Parts(*form_).GuideLabel->text().startsWith(QString::fromUtf8("左上の日付リスト")));
  EXPECT_FALSE(Parts(*form_).GuideLabel->isHidden());

  // The race card takes the place; when it goes, the guide comes back.
  Parts(*form_).Panel1->setVisible(true);
  EXPECT_TRUE(Parts(*form_).GuideLabel->isHidden());
  Parts(*form_).Panel1->setVisible(false);
  EXPECT_FALSE(Parts(*form_).GuideLabel->isHidden());
  Parts(*form_).DateCombo->clear();
  EXPECT_TRUE(Parts(*form_).GuideLabel->text().startsWith(
      QString::fromUtf8("まだレースデータがありません")));
}

TEST_F(HelpCommands, TheWindowAndTheTrayShowTheProgramsIcon) {
  // Built into the program, so a portable folder has it without an installed theme icon.
  for (int size : {16, 32, 48, 256}) {
    const QPixmap p = ProgramIcon().pixmap(size, size);
    ASSERT_FALSE(p.isNull()) << size;
    EXPECT_EQ(p.width(), size);
  }
  Build(FolderLayout::Portable);
  EXPECT_EQ(form_->windowIcon().cacheKey(), ProgramIcon().cacheKey());
}

}  // namespace
}  // namespace tavolen
