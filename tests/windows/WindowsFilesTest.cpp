// The Windows build of the stores writes the same files as the Linux build: the demo race day
// run through the program's acquisition and change checks by this process and by the Windows
// program under Wine, every race, change and renew file and the settings compared byte for byte.
#include <gtest/gtest.h>

#include "tests/jvbridge/WineHarness.h"
#include "tests/reliability/ReliabilityFiles.h"
#include "tests/support/Files.h"
#include "tests/windows/DemoDayFiles.h"

namespace tavolen {
namespace {

using testing::TheWine;

fs::path Scratch(const std::string& name) {
  return testsupport::TempDir("windows/" + name);
}

// The program's files of an application folder: the Data folder and the settings file.
testsupport::Snapshot ProgramFiles(const fs::path& app) {
  testsupport::Snapshot files = testsupport::TakeSnapshot(app / "Data");
  files["Tavolen.ini"] = testsupport::ReadFileBytes(app / "Tavolen.ini");
  return files;
}

TEST(WindowsFiles, DemoDayFilesAreByteIdenticalToTheLinuxBuild) {
  TAVOLEN_REQUIRE_WINE();
  const fs::path exe = TheWine().Built("tests/windows/tavolen_demoday_files.exe");
  ASSERT_FALSE(exe.empty()) << "the cross build has no tavolen_demoday_files.exe";

  const fs::path linuxApp = Scratch("linux");
  ASSERT_TRUE(testing::WriteDemoDayThroughTheProgram(linuxApp));
  const fs::path windowsApp = Scratch("windows");
  std::string log;
  ASSERT_EQ(TheWine().Run({testing::WindowsPath(exe), testing::WindowsPath(windowsApp)}, &log), 0)
      << log;

  const reliability::Snapshot linux = ProgramFiles(linuxApp);
  const reliability::Snapshot windows = ProgramFiles(windowsApp);
  // The day is really there: a day file, entry files, every kind of change file, the renew file.
  size_t races = 0, entries = 0, changes = 0, renews = 0;
  for (const auto& [name, bytes] : linux) {
    races += name.ends_with(".jvRA");
    entries += name.ends_with(".jvSEr");
    changes += name.ends_with(".jvWE") || name.ends_with(".jvAV") || name.ends_with(".jvJC") ||
               name.ends_with(".jvTC") || name.ends_with(".jvCC");
    renews += name.ends_with(".renew");
  }
  EXPECT_EQ(races, 1u);
  EXPECT_GE(entries, 2u);
  EXPECT_EQ(changes, 5u);
  EXPECT_EQ(renews, 1u);
  EXPECT_NE(linux.at("Tavolen.ini"), "<missing>");

  std::vector<std::string> linuxNames, windowsNames;
  for (const auto& [name, bytes] : linux) linuxNames.push_back(name);
  for (const auto& [name, bytes] : windows) windowsNames.push_back(name);
  ASSERT_EQ(windowsNames, linuxNames);
  for (const auto& [name, bytes] : linux) {
    const std::string& other = windows.at(name);
    size_t at = 0;
    while (at < bytes.size() && at < other.size() && bytes[at] == other[at]) ++at;
    EXPECT_TRUE(other == bytes) << name << ": " << other.size() << " bytes on Windows, "
                                << bytes.size() << " on Linux, first difference at byte " << at;
  }
}

}  // namespace
}  // namespace tavolen
