// What every platform's way of bringing the running copy forward must do, whatever carries the
// request (a socket beside the lock file, or the session's named pipe).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <string>

#include "app/InstanceActivation.h"
#include "app/SingleInstance.h"

namespace tavolen::testsupport {

inline bool RunUntil(const std::function<bool()>& done) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < 3000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// The running copy listens at `socket` with its main window hidden, as in the tray; a second
// copy of the instance `name` (lock folder `lockFolder`) finds the lock held and asks through
// `ask`: the window is shown, and every later start asks again.
inline void ExpectEveryLaterStartShowsTheWindow(
    const std::filesystem::path& socket, const std::string& name,
    const std::filesystem::path& lockFolder,
    const std::function<bool(const std::filesystem::path&)>& ask) {
  QWidget mainWindow;
  int shows = 0;
  InstanceActivation activation;
  ASSERT_TRUE(activation.Listen(socket, [&] {
    ++shows;
    mainWindow.show();
  }));

  const SingleInstance later(name, lockFolder);
  ASSERT_TRUE(later.AlreadyRunning());
  EXPECT_EQ(ActivationSocketPath(later), socket);
  EXPECT_TRUE(ask(ActivationSocketPath(later)));
  ASSERT_TRUE(RunUntil([&] { return shows == 1; }));
  EXPECT_TRUE(mainWindow.isVisible());
  EXPECT_TRUE(ask(socket));
  EXPECT_TRUE(RunUntil([&] { return shows == 2; }));
}

}  // namespace tavolen::testsupport
