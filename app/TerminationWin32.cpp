// The end of a log-on on Windows reaches the program as the session-end messages, which Qt
// turns into a close request on the main window (the today test answers it), and a program
// ended from the task manager cannot be asked. A console control event (Ctrl+C, closing the
// console of a program started from one) ends the program as its exit command does.
#include <windows.h>

#include <QCoreApplication>
#include <QMetaObject>

#include "app/Startup.h"

namespace tavolen {

namespace {
std::function<void()> handler;

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  // Called on a thread of its own: the handler runs in the loop.
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(
        app,
        [] {
          if (handler) handler();
        },
        Qt::QueuedConnection);
  return TRUE;
}
}  // namespace

void InstallTerminationHandler(std::function<void()> onTerminate) {
  static bool installed = false;
  handler = std::move(onTerminate);
  if (installed) return;
  installed = SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
}

}  // namespace tavolen
