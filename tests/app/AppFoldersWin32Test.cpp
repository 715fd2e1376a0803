// The folder choice of the Windows program (under Wine, the throwaway prefix's): the installer's
// marker beside Tavolen.exe, the user's files in %LOCALAPPDATA%\Tavolen, everything beside the
// program for the zip.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "app/AppFolders.h"
#include "app/Startup.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/TestDir.h"

namespace tavolen {
namespace {

using testsupport::WriteFileBytes;

// Sets an environment variable for one test and puts the old value back.
struct EnvVar {
  std::wstring name;
  std::optional<std::wstring> old;
  EnvVar(std::wstring n, const std::wstring& value) : name(std::move(n)) {
    if (const wchar_t* v = _wgetenv(name.c_str())) old = v;
    _wputenv_s(name.c_str(), value.c_str());  // an empty value removes the variable
  }
  ~EnvVar() { _wputenv_s(name.c_str(), old ? old->c_str() : L""); }
};

struct WindowsFolders : ::testing::Test {
  fs::path dir, program, local, profile;
  fs::path oldCwd = fs::current_path();
  std::optional<EnvVar> localAppData, userProfile;
  RecordingDesktop desktop;

  void SetUp() override {
    dir = testsupport::TestDir("shell/windows-folders");
    program = dir / "Local" / "Programs" / "Tavolen";
    local = dir / "Local";
    profile = dir / "Profile";
    fs::create_directories(program);
    WriteFileBytes(program / "notify.wav", "RIFF");
    localAppData.emplace(L"LOCALAPPDATA", local.wstring());
    userProfile.emplace(L"USERPROFILE", profile.wstring());
  }
  void TearDown() override { fs::current_path(oldCwd); }
  // A folder as compared here: normal and ending in a separator, as the program's own folder
  // (its folder joined with ".") does when made normal.
  static fs::path Dir(const fs::path& p) { return (p / "").lexically_normal(); }
  static fs::path Norm(const fs::path& p) { return p.lexically_normal(); }
};

TEST_F(WindowsFolders, TheUnpackedZipKeepsEverythingBesideTheProgram) {
  const LayoutInputs in = ReadLayoutInputs(program, ".");
  EXPECT_EQ(in.rules, FolderRules::Windows);
  EXPECT_EQ(Dir(in.shareFolder), Dir(program));
  EXPECT_TRUE(in.exeFolderWritable);
  EXPECT_FALSE(in.installedMarker);
  const std::optional<AppFolders> f = SetUpAppFolders(program, ".", desktop);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->layout, FolderLayout::Portable);
  EXPECT_EQ(Dir(fs::current_path()), Dir(program));
  EXPECT_FALSE(fs::exists(local / "Tavolen"));
}

TEST_F(WindowsFolders, TheInstallersMarkerPutsTheUsersFilesIntoLocalAppData) {
  WriteFileBytes(program / kInstalledMarker, "installed\r\n");
  const std::optional<AppFolders> f = SetUpAppFolders(program, ".", desktop);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->layout, FolderLayout::Installed);
  EXPECT_EQ(Dir(f->appFolder), Dir(local / "Tavolen"));
  EXPECT_TRUE(fs::is_directory(local / "Tavolen"));
  EXPECT_EQ(Dir(fs::current_path()), Dir(local / "Tavolen"));
  // The program's own sound from its folder; a sound the user put into the folder wins.
  EXPECT_EQ(Norm(ResourceFile(*f, "notify.wav")), Norm(program / "notify.wav"));
  WriteFileBytes(local / "Tavolen" / "notify.wav", "RIFF");
  EXPECT_EQ(Norm(ResourceFile(*f, "notify.wav")), Norm(local / "Tavolen" / "notify.wav"));
  EXPECT_TRUE(desktop.Messages().empty());

  // Without %LOCALAPPDATA% the profile's local folder.
  EnvVar noLocal(L"LOCALAPPDATA", L"");
  EXPECT_EQ(Dir(ChooseAppFolders(ReadLayoutInputs(program, "."))->appFolder),
            Dir(profile / "AppData" / "Local" / "Tavolen"));
}

}  // namespace
}  // namespace tavolen
