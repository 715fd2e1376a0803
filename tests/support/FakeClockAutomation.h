// The main window's automation driven by a fake clock: the window's own timers, which would tick
// by the real clock, are stopped; the test ticks the automation and waits for its acquisitions.
#pragma once

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <thread>

#include "automation/AutoWatch.h"
#include "tests/support/MainParts.h"

namespace tavolen::testsupport {

// Stops the automation's, the wake-up and the change-event timers; the automation to tick.
inline AutoWatch& AutomationByFakeClock(const QObject& mainWindow) {
  for (const char* timer : {"AutoWatchTimer", "WakeTimer", "ChangeEventTimer"})
    Part<QTimer>(mainWindow, timer)->stop();
  return *Part<AutoWatch>(mainWindow, "AutoWatch");
}

// Runs the events until the automation's acquisition has ended, for about limitMs at most;
// false when it had not ended by then.
inline bool FinishAcquisition(const AutoWatch& automation, int limitMs) {
  QCoreApplication::processEvents();
  for (int i = 0; i < limitMs && automation.Acquiring(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    QCoreApplication::processEvents();
  }
  return !automation.Acquiring();
}

}  // namespace tavolen::testsupport
