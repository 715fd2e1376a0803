// The end of a log-on or a plain kill on Linux: SIGTERM and SIGHUP become a call in the loop.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "app/Startup.h"

namespace tavolen {

namespace {
int terminationPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  // Only async-signal-safe calls here; the loop does the rest.
  [[maybe_unused]] ssize_t n = ::write(terminationPipe[1], &byte, 1);
}
}  // namespace

void InstallTerminationHandler(std::function<void()> onTerminate) {
  static QSocketNotifier* notifier = nullptr;
  static std::function<void()> handler;
  handler = std::move(onTerminate);
  if (notifier) return;
  if (::pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier, &QSocketNotifier::activated, [] {
    char buf[16];
    while (::read(terminationPipe[0], buf, sizeof buf) > 0) {
    }
    if (handler) handler();
  });
  struct sigaction sa {};
  sa.sa_handler = OnTerminationSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGHUP, &sa, nullptr);
}

}  // namespace tavolen
