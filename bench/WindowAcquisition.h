// One acquisition through the acquisition window, as the benchmarks time it: the window shown
// and painting its progress, from ButtonStart to the completion message.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <string>

#include "acquire/GetDataUnit.h"
#include "base/IniFile.h"
#include "tests/support/RecordingDesktop.h"

namespace tavolen {

struct WindowAcquisition {
  double ms = -1;  // -1: not complete within a minute
  int listed = 0;  // the lines of the window's list: the records stored
};

// Acquires everything since 2024-01-01 into the folder data (made when missing); watcher, when
// given, filters the events of every widget of the shown window until the end.
inline WindowAcquisition AcquireThroughWindow(JVLink& link, const Clock& clock, IniFile& ini,
                                              const fs::path& data, AcquisitionState& state,
                                              QObject* watcher = nullptr) {
  fs::create_directories(data);
  ini.WriteString("JvDataGet", "LastTime", "2024/01/01 00:00:00");
  const SjisString completed = Sj("データ作成が完了しました。");
  RecordingDesktop desktop;
  QElapsedTimer timer;
  WindowAcquisition out;
  desktop.duringBox = [&] {
    if (out.ms < 0 && !desktop.events.empty() && desktop.events.back().text == completed)
      out.ms = timer.nsecsElapsed() / 1e6;
  };
  TGetDataForm form(link, desktop, ini, clock, data, state, nullptr);
  form.show();
  QApplication::processEvents();
  if (watcher)
    for (QWidget* w : form.findChildren<QWidget*>()) w->installEventFilter(watcher);
  timer.start();
  form.ButtonStart->click();
  // A first run downloads into the stand-in's cache; the status timer then carries it on.
  while (out.ms < 0 && timer.elapsed() < 60000)
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  out.listed = form.ListBox1->count();
  return out;
}

}  // namespace tavolen
