// Times the acquisition of a demo race day through the JV-Link stand-in, from ButtonStart to
// the completion message, with the window shown and painting its progress (the read loop runs
// the window's events once per record). Runs offscreen unless a platform is chosen.
//
//   tavolen_bench_acquire [runs]
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "acquire/GetDataUnit.h"
#include "base/IniFile.h"
#include "standin/StandIn.h"
#include "tests/support/RecordingDesktop.h"

using namespace tavolen;

namespace {

// Counts the paint events of a window's widgets, to show that the window really paints.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

  std::error_code ec;
  const fs::path root = fs::temp_directory_path() / "tavolen-bench-acquire";
  fs::remove_all(root, ec);
  fs::create_directories(root);

  // 13 January 2024: a demo day of three courses, 36 races and 487 runners.
  FakeClock clock(LocalDateTime{2024, 1, 13, 8, 30, 0});
  StandInJVLink standIn(clock, StandInOptions{root / "standin", 0});
  if (standIn.JVInit(u"UNKNOWN") != 0) {
    std::fprintf(stderr, "JVInit failed\n");
    return 1;
  }
  IniFile ini(root / "bench.ini");
  AcquisitionState state;
  const SjisString completed = Sj("データ作成が完了しました。");

  std::vector<double> times;
  int stored = 0;
  for (int run = 0; run < runs; ++run) {
    const fs::path data = root / ("Data" + std::to_string(run));
    fs::create_directories(data);
    ini.WriteString("JvDataGet", "LastTime", "2024/01/01 00:00:00");

    RecordingDesktop desktop;
    QElapsedTimer timer;
    double elapsed = -1;
    desktop.duringBox = [&] {
      if (elapsed < 0 && !desktop.events.empty() && desktop.events.back().text == completed)
        elapsed = timer.nsecsElapsed() / 1e6;
    };
    TGetDataForm form(standIn, desktop, ini, clock, data, state, nullptr);
    form.show();
    QApplication::processEvents();
    PaintCounter counter;
    for (QWidget* w : form.findChildren<QWidget*>()) w->installEventFilter(&counter);

    timer.start();
    form.ButtonStart->click();
    // A first run downloads into the stand-in's cache; the status timer then carries it on.
    while (elapsed < 0 && timer.elapsed() < 60000)
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    if (elapsed < 0) {
      std::fprintf(stderr, "run %d did not complete\n", run);
      return 1;
    }
    stored = form.ListBox1->count();
    std::printf("run %d: %.1f ms, %d records stored, %d paint events%s\n", run, elapsed, stored,
                counter.paints, run == 0 ? " (with download)" : "");
    times.push_back(elapsed);
  }
  std::sort(times.begin(), times.end());
  std::printf("demo day, ButtonStart to completion: min %.1f ms, median %.1f ms, max %.1f ms\n",
              times.front(), times[times.size() / 2], times.back());
  fs::remove_all(root, ec);
  return 0;
}
