// Times the JV-Link bridge under Wine with the COM stand-in (64-bit cross build): the start of
// a bridge (with and without a running wineserver), one JVRead round trip, and the demo day's
// acquisition through the acquisition window over the bridge against the in-process stand-in,
// both in this run. Runs offscreen unless a platform is chosen.
//
//   tavolen_bench_bridge [runs]      (TAVOLEN_WIN64_BUILD, TAVOLEN_WINE as for the tests)
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/IniFile.h"
#include "bench/WindowAcquisition.h"
#include "jvbridge/BridgeJVLink.h"
#include "standin/StandIn.h"
#include "tests/jvbridge/StandInBridge.h"
#include "tests/jvbridge/WineHarness.h"

using namespace tavolen;
using testing::TheWine;
using testing::WindowsPath;

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[static_cast<size_t>(p * (v.size() - 1))];
}

// Start of a bridge up to an answered JVInit, in ms.
double TimeStart(const bridge::BridgeOptions& o) {
  const auto t0 = std::chrono::steady_clock::now();
  SjisString why;
  auto link = bridge::StartBridgeJVLink(o, why);
  if (!link || link->JVInit(u"SA418207/SD530946/Tavolen/Ver.1.01") != 0) {
    std::fprintf(stderr, "bridge did not start: %s\n", SjisToUtf8(why).c_str());
    std::exit(1);
  }
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// One acquisition of the demo day through the window: ButtonStart to the completion box, ms.
double Acquire(JVLink& link, const Clock& clock, const fs::path& root, int run) {
  IniFile ini(root / "bench.ini");
  AcquisitionState state;
  return AcquireThroughWindow(link, clock, ini, root / ("Data" + std::to_string(run)), state).ms;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  if (!TheWine().usable()) {
    std::fprintf(stderr, "no Wine: %s\n", TheWine().why.c_str());
    return 1;
  }
  const fs::path dll = TheWine().Built("standin/tavolen-jvlink-standin.dll");
  if (dll.empty() || TheWine().Run({"regsvr32", "/s", WindowsPath(dll)}) != 0) {
    std::fprintf(stderr, "cannot register the COM stand-in\n");
    return 1;
  }
  const fs::path root = TheWine().prefix.parent_path() / "bench-bridge";
  std::error_code ec;
  fs::remove_all(root, ec);
  fs::create_directories(root);
  const LocalDateTime now{2024, 1, 13, 8, 30, 0};  // three courses, 36 races, 487 runners
  FakeClock clock(now);
  WriteFileAtomic(root / "clock.txt", FormatCompactDateTime(now));
  const bridge::BridgeOptions options =
      testing::StandInBridgeOptions(root / "standin-bridge", root / "clock.txt", 0);

  // Start-up: with the run's wineserver, then with none running.
  std::vector<double> warm;
  for (int i = 0; i < runs; ++i) warm.push_back(TimeStart(options));
  std::vector<double> cold;
  for (int i = 0; i < std::min(runs, 3); ++i) {
    TheWine().EndServer();
    cold.push_back(TimeStart(options));
  }
  TheWine().KeepServer();
  std::printf(
      "bridge start to answered JVInit: median %.0f ms with a running wineserver, "
      "%.0f ms without\n",
      Median(warm), Median(cold));

  // JVRead over a whole race session, per call of the program (most are served from the
  // reads made ahead, the others pay a round trip).
  SjisString why;
  auto link = bridge::StartBridgeJVLink(options, why);
  if (!link) return 1;
  link->JVInit(u"SA418207/SD530946/Tavolen/Ver.1.01");
  int readCount = 0, downloadCount = 0;
  std::u16string stamp;
  link->JVOpen(u"RACE", u"20240101000000", 2, readCount, downloadCount, stamp);
  for (int i = 0; i < 1000 && downloadCount > 0 && link->JVStatus() < downloadCount; ++i) {
  }
  std::vector<double> reads;
  int fileChanges = 0;  // each ends a batch of reads made ahead
  for (;;) {
    std::u16string buff, name;
    int size = 60000;
    const auto t0 = std::chrono::steady_clock::now();
    const int r = link->JVRead(buff, size, name);
    reads.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    if (r == -1) ++fileChanges;
    if (r == 0 || r < -3) break;
  }
  link->JVClose();
  double total = 0;
  for (double r : reads) total += r;
  std::printf(
      "JVRead round trip over %zu calls: median %.1f us, 90th percentile %.1f us, "
      "mean %.1f us (%d file changes)\n",
      reads.size(), Median(reads), Percentile(reads, 0.9),
      reads.empty() ? 0 : total / static_cast<double>(reads.size()), fileChanges);

  // The demo day's acquisition, over the bridge and in-process, alternating.
  link->SetWaitPump([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
  StandInJVLink local(clock, StandInOptions{root / "standin-local", 0});
  local.JVInit(u"SA418207/SD530946/Tavolen/Ver.1.01");
  std::vector<double> over, in;
  for (int run = 0; run <= runs; ++run) {
    const double b = Acquire(*link, clock, root / "bridge", run);
    const double l = Acquire(local, clock, root / "local", run);
    if (b < 0 || l < 0) {
      std::fprintf(stderr, "run %d did not complete\n", run);
      return 1;
    }
    std::printf("run %d: bridge %.1f ms, in-process %.1f ms%s\n", run, b, l,
                run == 0 ? " (with download, not counted)" : "");
    if (run > 0) {
      over.push_back(b);
      in.push_back(l);
    }
  }
  std::printf(
      "demo day acquisition: median %.1f ms over the bridge, %.1f ms in-process, "
      "ratio %.2f\n",
      Median(over), Median(in), Median(over) / Median(in));
  link.reset();
  fs::remove_all(root, ec);
  return 0;
}
