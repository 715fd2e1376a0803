// A second copy of the program brings the running copy's main window forward through the
// socket beside the instance lock.
#include "app/InstanceActivation.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "app/SingleInstance.h"
#include "tests/app/ActivationChecks.h"

namespace tavolen {
namespace {

namespace fs = std::filesystem;

// A short scratch folder: a socket's path is limited to about a hundred bytes.
struct SocketFolder {
  QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/tvl-XXXXXX")};
  fs::path path() const { return dir.path().toStdString(); }
};

using testsupport::RunUntil;

TEST(InstanceActivation, ASecondCopyShowsTheHiddenMainWindowOfTheFirst) {
  SocketFolder folder;
  const fs::path run = folder.path();
  SingleInstance first(kInstanceName, run);
  ASSERT_EQ(first.state(), SingleInstance::State::Acquired);
  const fs::path socket = ActivationSocketPath(first);
  EXPECT_EQ(socket, run / "quorrintavolenhenko.show");

  testsupport::ExpectEveryLaterStartShowsTheWindow(
      socket, kInstanceName, run, [](const fs::path& s) { return AskRunningCopyToShow(s); });
}

TEST(InstanceActivation, NobodyListeningIsNoFailure) {
  SocketFolder folder;
  const fs::path run = folder.path();
  QElapsedTimer t;
  t.start();
  EXPECT_FALSE(AskRunningCopyToShow(run / "quorrintavolenhenko.show", 500));
  EXPECT_FALSE(AskRunningCopyToShow({}));
  EXPECT_LT(t.elapsed(), 2000);
}

// A copy that was killed leaves its socket file; the next copy to hold the lock listens anew.
TEST(InstanceActivation, ASocketLeftByAKilledCopyIsReplaced) {
  SocketFolder folder;
  const fs::path run = folder.path();
  const fs::path socket = run / "quorrintavolenhenko.show";
  {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socket.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);  // the file stays, with nobody behind it
  }
  ASSERT_TRUE(fs::exists(socket));
  EXPECT_FALSE(AskRunningCopyToShow(socket, 500));
  int shows = 0;
  InstanceActivation activation;
  ASSERT_TRUE(activation.Listen(socket, [&] { ++shows; }));
  EXPECT_TRUE(AskRunningCopyToShow(socket));
  EXPECT_TRUE(RunUntil([&] { return shows == 1; }));
}

}  // namespace
}  // namespace tavolen
