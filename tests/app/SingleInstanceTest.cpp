#include "app/SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <cstdlib>

#include "tests/support/MainWindow.h"

namespace tavolen {
namespace {

using testsupport::Names;

TEST(SingleInstance, OnlyOneHolderAtATimeAndTheLockEndsWithIt) {
  const fs::path run = testsupport::TestDir("shell/instance");
  auto first = std::make_unique<SingleInstance>(kInstanceName, run);
  EXPECT_EQ(first->state(), SingleInstance::State::Acquired);
  EXPECT_EQ(first->lockFile(), run / "quorrintavolenhenko");
  {
    SingleInstance second(kInstanceName, run);
    EXPECT_TRUE(second.AlreadyRunning());
  }
  // Another name is another program.
  EXPECT_EQ(SingleInstance("another", run).state(), SingleInstance::State::Acquired);
  first.reset();
  EXPECT_EQ(SingleInstance(kInstanceName, run).state(), SingleInstance::State::Acquired);
}

TEST(SingleInstance, LockFolderIsTheRuntimeFolderOrAPrivateOneUnderTmp) {
  const fs::path run = testsupport::TestDir("shell/instance");
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old ? old : "";
  setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
  EXPECT_EQ(SingleInstance::DefaultLockFolder(), run);
  setenv("XDG_RUNTIME_DIR", (run / "missing").c_str(), 1);
  const fs::path fallback = SingleInstance::DefaultLockFolder();
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(SingleInstance::DefaultLockFolder(), fallback);
  if (old) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  EXPECT_EQ(fallback, fs::path("/tmp/tavolen-" + std::to_string(getuid())));
  struct stat st {};
  ASSERT_EQ(lstat(fallback.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// The real program, copied into a folder of its own so that its files can be watched.
struct RealProgram : ::testing::Test {
  fs::path appDir, runDir;
  void SetUp() override {
    const fs::path base = testsupport::TestDir("shell/real");
    appDir = base / "app";
    runDir = base / "run";
    fs::create_directories(appDir);
    fs::create_directories(runDir);
    fs::permissions(runDir, fs::perms::owner_all);
    fs::copy_file(TAVOLEN_EXE, appDir / "Tavolen");
  }
  void Start(QProcess& p) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runDir.string()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QString::fromStdString(runDir.string()));
    p.start(QString::fromStdString((appDir / "Tavolen").string()), {});
    ASSERT_TRUE(p.waitForStarted(10000));
  }
  static std::string Err(QProcess& p) { return p.readAllStandardError().toStdString(); }
};

TEST_F(RealProgram, SecondCopyRefusesAtOnceAndTouchesNoFile) {
  SingleInstance held(kInstanceName, runDir);  // the first copy
  ASSERT_EQ(held.state(), SingleInstance::State::Acquired);
  QProcess second;
  Start(second);
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitCode(), 1);
  EXPECT_NE(Err(second).find("本ソフトはすでに起動しています。"), std::string::npos);
  EXPECT_EQ(Names(appDir), std::vector<std::string>{"Tavolen"});
}

TEST_F(RealProgram, StartedTwiceTheSecondRefusesAndTheFirstRunsOn) {
  QProcess first;
  Start(first);
  // The first is in operation once its main window has written the start lines; without a
  // JV-Link it ends before that.
  for (int i = 0;
       i < 200 && first.state() == QProcess::Running && !fs::exists(appDir / "ErrorLog.txt"); ++i)
    first.waitForFinished(50);
  if (first.state() != QProcess::Running) {
    // No JV-Link is registered in this build: the first copy ends with its message and
    // writes nothing.
    EXPECT_EQ(first.exitCode(), 1);
    EXPECT_NE(Err(first).find("【JV-Link】"), std::string::npos);
    EXPECT_EQ(Names(appDir), std::vector<std::string>{"Tavolen"});
    GTEST_SKIP() << "the program has no JV-Link to run with";
  }
  ASSERT_TRUE(fs::exists(appDir / "ErrorLog.txt"));
  EXPECT_TRUE(SingleInstance(kInstanceName, runDir).AlreadyRunning());
  const std::string logBefore = testsupport::ReadFileBytes(appDir / "ErrorLog.txt");
  QProcess second;
  Start(second);
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitCode(), 1);
  EXPECT_NE(Err(second).find("本ソフトはすでに起動しています。"), std::string::npos);
  EXPECT_EQ(first.state(), QProcess::Running);
  EXPECT_EQ(testsupport::ReadFileBytes(appDir / "ErrorLog.txt"), logBefore);
  first.terminate();
  if (!first.waitForFinished(5000)) {
    first.kill();
    first.waitForFinished(5000);
  }
}

}  // namespace
}  // namespace tavolen
