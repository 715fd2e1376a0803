// One automatic check of a busy race day: the change fetch of a 300-record "0B14" answer served
// by the JV-Link stand-in from its feed folder, every record merged into its change file, then
// the change evaluation of the day and, when it has news, the record of what was announced.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "base/ErrorLog.h"
#include "changes/ChangeEvaluation.h"
#include "changes/ChangeFetch.h"
#include "jvlink/Clock.h"
#include "standin/StandIn.h"
#include "tests/support/Files.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

std::string Two(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

std::string Stamp(int minuteOfDay) {
  return "0105" + Two(minuteOfDay / 60) + Two(minuteOfDay % 60);
}

// A Saturday of three meetings (中山, 京都, 小倉), 12 races each: the initial weather and going
// of each course with a few changes, many scratches and jockey changes, some post-time and
// course changes; 300 records with the service's file switches between them.
std::vector<std::string> DayAnswer() {
  const char* courses[] = {"06", "08", "10"};
  std::vector<std::string> records;
  for (int c = 0; c < 3; ++c) {
    const Day day{"20240105", courses[c], "01", "05"};
    records.push_back(WeRecord(day, "1", "20240104", "00000000", '1', '1', '1', '1'));
    for (int k = 0; k < 4; ++k)
      records.push_back(WeRecord(day, "2", "20240105", Stamp(540 + 70 * k + c), k % 2 ? '3' : '2',
                                 k % 2 ? '0' : '2', k % 2 ? '2' : '0', k % 2 ? '2' : '0'));
  }
  for (int i = 0; i < 90; ++i) {
    const Day day{"20240105", courses[i % 3], "01", "05"};
    records.push_back(AvRecord(day, Two(1 + i / 3 % 12), Stamp(480 + i * 3), Two(1 + i % 18),
                               "サンプルホースネーム", i % 7 ? '1' : '2', i % 5 ? "001" : "002"));
  }
  for (int i = 0; i < 165; ++i) {
    const Day day{"20240105", courses[i % 3], "01", "05"};
    records.push_back(JcRecord(day, Two(1 + i / 3 % 12), Stamp(480 + i * 2), Two(1 + i % 16),
                               "サンプルホース", "5" + Two(40 + i % 20), "騎手後" + Two(i % 50),
                               "騎手前" + Two(i % 40)));
  }
  for (int i = 0; i < 20; ++i) {
    const Day day{"20240105", courses[i % 3], "01", "05"};
    records.push_back(TcRecord(day, Two(1 + i % 12), Stamp(600 + i * 5),
                               "1" + std::to_string(i % 6) + "40",
                               "1" + std::to_string(i % 6) + "30"));
  }
  for (int i = 0; i < 10; ++i) {
    const Day day{"20240105", courses[i % 3], "01", "05"};
    records.push_back(CcRecord(day, Two(1 + i), Stamp(620 + i * 7), "1800", "17", "2000", "11"));
  }
  return records;  // 15 + 90 + 165 + 20 + 10 = 300
}

class Tick : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State&) override {
    app_ = TempDir("bench-tick");
    fs::create_directories(app_ / "Data");
    fs::create_directories(app_ / "feed");
    std::string answer;
    for (const std::string& r : DayAnswer()) answer += r;
    WriteFileAtomic(app_ / "feed" / "20240105000000-0B14-20240105.jvd", answer);
    jv_ = std::make_unique<StandInJVLink>(clock_, StandInOptions{app_ / "standin", 0});
    jv_->StoreSettings({"", app_ / "feed"});
    jv_->JVInit(u"SA418207/SD530946/Tavolen/Ver.1.01");
    log_ = std::make_unique<ErrorLog>(app_, clock_);
    log_->RecordStartup();
    fetch_ = std::make_unique<ChangeFetch>(*jv_, app_ / "Data", *log_, desktop_, nullptr, [] {});
    const Day first{"20240105", "06", "01", "05"};
    races_ = {RaRecord(first, "01", "1005")};
  }
  void TearDown(const benchmark::State&) override { fs::remove_all(app_); }

  // The fetch and the evaluation, as one tick runs them.
  void RunTick(benchmark::State& state) {
    if (fetch_->Fetch({true, races_, 0, true}) != ChangeFetchOutcome::Evaluate ||
        fetch_->storedRecords() != 300) {
      state.SkipWithError(
          ("the fetch stored " + std::to_string(fetch_->storedRecords()) + " records").c_str());
      return;
    }
    const fs::path day = app_ / "Data" / "2024年01月05日.jvRA";
    ChangeEvaluation ev = EvaluateChanges(day);
    // An announcing check also records what it announced (renew file and memory file).
    if (ev.hasNews() && !SaveRenewFile(day, ev))
      state.SkipWithError("the announcement was not saved");
    benchmark::DoNotOptimize(ev);
  }

  fs::path app_;
  FakeClock clock_{LocalDateTime{2024, 1, 5, 17, 0, 0}};  // every change announced
  std::unique_ptr<StandInJVLink> jv_;
  RecordingDesktop desktop_;
  std::unique_ptr<ErrorLog> log_;
  std::unique_ptr<ChangeFetch> fetch_;
  std::vector<std::string> races_;
};

// The first tick of the day: every change file is created and grows record by record.
BENCHMARK_DEFINE_F(Tick, FirstOfTheDay)(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(app_ / "Data");
    fs::create_directories(app_ / "Data");
    state.ResumeTiming();
    RunTick(state);
  }
}
BENCHMARK_REGISTER_F(Tick, FirstOfTheDay)->Unit(benchmark::kMillisecond);

// A later tick: the service sends the day's whole answer again and every record replaces its
// own line in a full change file.
BENCHMARK_DEFINE_F(Tick, Repeat)(benchmark::State& state) {
  RunTick(state);
  for (auto _ : state) RunTick(state);
}
BENCHMARK_REGISTER_F(Tick, Repeat)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavolen

BENCHMARK_MAIN();
