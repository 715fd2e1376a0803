#include "app/Startup.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <csignal>

#include "app/Main.h"
#include "changes/henkoUnit.h"
#include "racecard/prgrsUnit.h"
#include "tests/support/MainWindow.h"

namespace tavolen {
namespace {

using testsupport::Names;
using testsupport::WriteFileBytes;

struct Startup : ::testing::Test {
  fs::path dir;
  RecordingDesktop desktop;
  FakeClock clock{LocalDateTime{2005, 1, 8, 9, 30, 0}};
  std::vector<std::string> steps;
  int created = 0;
  ScriptedJVLink* hosted = nullptr;  // the instance the main window hosts
  bool installed = true;
  ProgramWindows windows;

  void SetUp() override { dir = testsupport::TestDir("shell/startup"); }
  void TearDown() override { windows.Destroy(); }

  StartupDeps Deps() {
    StartupDeps d{desktop, clock, dir, "Tavolen"};
    d.createJVLink = [this]() -> std::unique_ptr<JVLink> {
      ++created;
      if (!installed) return nullptr;
      auto jv = std::make_unique<ScriptedJVLink>();
      hosted = jv.get();
      return jv;
    };
    d.trace = [this](const char* s) { steps.push_back(s); };
    d.quit = [] {};
    d.runModal = [](QDialog&) { return 0; };
    return d;
  }
};

TEST_F(Startup, RunsItsStepsInOrderAndShowsTheMainWindow) {
  WriteFileBytes(dir / "Tavolen.ini", "[Henkolocate]\r\ntop=120\r\nleft=230\r\n");
  ASSERT_EQ(StartUp(Deps(), false, windows), StartOutcome::Running);
  EXPECT_EQ(steps, (std::vector<std::string>{"instance", "jvlink", "cleanup", "main", "progress",
                                             "change", "show"}));
  // One object for the presence test, released at once, and one the main window hosts.
  EXPECT_EQ(created, 2);
  ASSERT_TRUE(windows.mainForm);
  EXPECT_EQ(&windows.mainForm->JVLinkControl(), windows.jvLink.get());
  EXPECT_TRUE(windows.mainForm->isVisible());
  EXPECT_FALSE(windows.prgrsForm->isVisible());
  EXPECT_FALSE(windows.henkoForm->isVisible());
  EXPECT_EQ(windows.henkoForm->pos(), QPoint(230, 120));
  EXPECT_EQ(windows.mainForm->ChangeWindow(), windows.henkoForm.get());
  EXPECT_EQ(windows.mainForm->ProgressWindow(), windows.prgrsForm.get());
  ASSERT_EQ(hosted->Ops(), std::vector<std::string>{"JVInit"});
  EXPECT_EQ(hosted->calls[0].args[0], "SA418207/SD530946/Tavolen/Ver.1.01");
  EXPECT_TRUE(desktop.Messages().empty());
}

TEST_F(Startup, ASecondCopySaysSoAndTouchesNothing) {
  EXPECT_EQ(StartUp(Deps(), true, windows), StartOutcome::AlreadyRunning);
  EXPECT_EQ(desktop.Messages(), std::vector<SjisString>{Sj("本ソフトはすでに起動しています。")});
  EXPECT_EQ(desktop.Count("plain"), 1);
  EXPECT_EQ(steps, std::vector<std::string>{"instance"});
  EXPECT_EQ(created, 0);
  EXPECT_FALSE(windows.mainForm);
  EXPECT_TRUE(Names(dir).empty());
}

TEST_F(Startup, WithoutJVLinkItBeepsSaysWhereToGetItAndWritesNothing) {
  installed = false;
  WriteFileBytes(dir / ("ErrorLog.txt.1-0" + std::string(kTempSuffix)), "stale");
  EXPECT_EQ(StartUp(Deps(), false, windows), StartOutcome::NoJVLink);
  std::vector<std::string> kinds;
  for (const auto& e : desktop.events) kinds.push_back(e.kind);
  EXPECT_EQ(kinds, (std::vector<std::string>{"beep", "info"}));
  EXPECT_EQ(desktop.Messages(),
            std::vector<SjisString>{
                Sj("JRA-VANのホームページより【JV-Link】を入手し、インストールしてください。")});
  EXPECT_FALSE(windows.mainForm);
  // Not even a stale temporary file is removed: the folder is as it was.
  EXPECT_EQ(Names(dir), std::vector<std::string>{"ErrorLog.txt.1-0" + std::string(kTempSuffix)});
}

TEST_F(Startup, TheRegistryIsAskedForTheJVLinkProgId) {
  StartupDeps d = Deps();
  d.createJVLink = {};  // the default: the registry
  JVLinkRegistry::Instance().Unregister(kJVLinkProgId);
  EXPECT_EQ(StartUp(d, false, windows), StartOutcome::NoJVLink);
  EXPECT_TRUE(Names(dir).empty());

  int made = 0;
  JVLinkRegistry::Instance().Register(kJVLinkProgId, [&made]() -> std::unique_ptr<JVLink> {
    ++made;
    return std::make_unique<ScriptedJVLink>();
  });
  desktop.Clear();
  EXPECT_EQ(StartUp(d, false, windows), StartOutcome::Running);
  EXPECT_EQ(made, 2);
  windows.Destroy();
  JVLinkRegistry::Instance().Unregister(kJVLinkProgId);
}

TEST_F(Startup, StaleTemporaryFilesOfTheAtomicWriterAreRemoved) {
  fs::create_directories(dir / "Data");
  const std::string stale = "x.jvRA.77-3" + std::string(kTempSuffix);
  WriteFileBytes(dir / "Data" / stale, "half");
  WriteFileBytes(dir / ("Tavolen.ini.5-0" + std::string(kTempSuffix)), "half");
  WriteFileBytes(dir / "Data" / "keep.jvRA", "whole");
  ASSERT_EQ(StartUp(Deps(), false, windows), StartOutcome::Running);
  EXPECT_EQ(Names(dir / "Data"), std::vector<std::string>{"keep.jvRA"});
  EXPECT_EQ(Names(dir), (std::vector<std::string>{"Data", "ErrorLog.txt"}));
}

#if !defined(_WIN32)  // Windows ends a log-on with the main window's close request, no signal
TEST(Termination, ASignalEndsTheProgramThroughItsMessageLoop) {
  int ends = 0;
  InstallTerminationHandler([&ends] { ++ends; });
  ASSERT_EQ(::raise(SIGTERM), 0);  // the process goes on
  for (int i = 0; i < 50 && ends == 0; ++i)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(ends, 1);
  InstallTerminationHandler({});
  ::raise(SIGHUP);
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(ends, 1);
}
#endif

}  // namespace
}  // namespace tavolen
