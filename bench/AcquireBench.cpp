// Times the acquisition of a demo race day through the JV-Link stand-in, from ButtonStart to
// the completion message, with the window shown and painting its progress (the read loop runs
// the window's events once per record). Runs offscreen unless a platform is chosen.
//
//   tavolen_bench_acquire [runs]
#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/IniFile.h"
#include "bench/WindowAcquisition.h"
#include "standin/StandIn.h"

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

  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    PaintCounter counter;
    const WindowAcquisition a = AcquireThroughWindow(
        standIn, clock, ini, root / ("Data" + std::to_string(run)), state, &counter);
    if (a.ms < 0) {
      std::fprintf(stderr, "run %d did not complete\n", run);
      return 1;
    }
    std::printf("run %d: %.1f ms, %d records stored, %d paint events%s\n", run, a.ms, a.listed,
                counter.paints, run == 0 ? " (with download)" : "");
    times.push_back(a.ms);
  }
  std::sort(times.begin(), times.end());
  std::printf("demo day, ButtonStart to completion: min %.1f ms, median %.1f ms, max %.1f ms\n",
              times.front(), times[times.size() / 2], times.back());
  fs::remove_all(root, ec);
  return 0;
}
