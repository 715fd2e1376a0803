// A second copy of the program brings the running copy's main window forward through the named
// pipe of the log-on session (Windows, where the instance lock is a named mutex with no file).
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/InstanceActivation.h"
#include "app/SingleInstance.h"

namespace tavolen {
namespace {

namespace fs = std::filesystem;

bool RunUntil(const std::function<bool()>& done) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < 3000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// A second copy is another process: it asks from a thread of its own while this thread serves
// the pipe, as the running copy's loop does (a pipe write waits for its reader).
bool AskFromAnotherCopy(const fs::path& socket) {
  std::atomic<int> answer{-1};
  std::thread asker([&] { answer = AskRunningCopyToShow(socket) ? 1 : 0; });
  RunUntil([&] { return answer >= 0; });
  asker.join();
  return answer == 1;
}

TEST(InstanceActivationWin32, ASecondCopyShowsTheHiddenMainWindowOfTheFirst) {
  // A name of this test's own, so that a program running beside the test is not disturbed.
  const std::string name = "quorrintavolenhenko-test";
  SingleInstance first(name);
  ASSERT_EQ(first.state(), SingleInstance::State::Acquired);
  EXPECT_TRUE(first.lockFile().empty());
  const fs::path socket = ActivationSocketPath(first);
  // The pipe is named after the instance and the session, not after a file.
  ASSERT_FALSE(socket.empty());
  EXPECT_FALSE(socket.has_parent_path()) << socket.string();
  EXPECT_NE(socket.string().find(name + "-"), std::string::npos) << socket.string();
  EXPECT_EQ(ActivationSocketPath(first), SessionSocketName(name));
  EXPECT_NE(SessionSocketName(kInstanceName), socket);

  QWidget mainWindow;  // hidden, as in the tray
  int shows = 0;
  InstanceActivation activation;
  ASSERT_TRUE(activation.Listen(socket, [&] {
    ++shows;
    mainWindow.show();
  }));

  SingleInstance second(name);
  ASSERT_TRUE(second.AlreadyRunning());
  EXPECT_EQ(ActivationSocketPath(second), socket);
  EXPECT_TRUE(AskFromAnotherCopy(ActivationSocketPath(second)));
  ASSERT_TRUE(RunUntil([&] { return shows == 1; }));
  EXPECT_TRUE(mainWindow.isVisible());
  // Every later start asks again.
  EXPECT_TRUE(AskFromAnotherCopy(socket));
  EXPECT_TRUE(RunUntil([&] { return shows == 2; }));
}

TEST(InstanceActivationWin32, NobodyListeningIsNoFailure) {
  QElapsedTimer t;
  t.start();
  EXPECT_FALSE(AskRunningCopyToShow(SessionSocketName("quorrintavolenhenko-nobody"), 500));
  EXPECT_FALSE(AskRunningCopyToShow({}));
  EXPECT_LT(t.elapsed(), 2000);
}

// A copy that ended lets the next copy to hold the lock listen on the same pipe.
TEST(InstanceActivationWin32, TheNextCopyListensAfterTheFirstEnded) {
  const std::string name = "quorrintavolenhenko-again";
  fs::path socket;
  {
    SingleInstance first(name);
    ASSERT_EQ(first.state(), SingleInstance::State::Acquired);
    socket = ActivationSocketPath(first);
    InstanceActivation activation;
    ASSERT_TRUE(activation.Listen(socket, [] {}));
  }
  SingleInstance next(name);
  ASSERT_EQ(next.state(), SingleInstance::State::Acquired);
  int shows = 0;
  InstanceActivation activation;
  ASSERT_TRUE(activation.Listen(ActivationSocketPath(next), [&] { ++shows; }));
  EXPECT_TRUE(AskFromAnotherCopy(socket));
  EXPECT_TRUE(RunUntil([&] { return shows == 1; }));
}

}  // namespace
}  // namespace tavolen
