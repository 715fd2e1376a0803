// Storing a race day and a fetch of change records through the real store functions, against
// writing the same final bytes the plainest way (one stream write per file per record, no
// temporary file). Files go to a scratch folder under TAVOLEN_BENCH_DIR, else the system's
// temporary folder.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "jvlink/ChangeFiles.h"
#include "jvlink/FileIO.h"
#include "jvlink/RaceFiles.h"
#include "jvlink/Sjis.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

constexpr int kCourses = 3;
constexpr int kRaces = 12;
constexpr int kRunners = 16;
const char* const kCourseCodes[kCourses] = {"05", "06", "09"};

using testsupport::MakeAv;
using testsupport::MakeCc;
using testsupport::MakeJc;
using testsupport::MakeTc;
using testsupport::Rec;
std::string Two(int n) {
  return testsupport::TwoDigits(n);
}

std::string Ra(const char* course, int race) {
  return Rec(1272, {{1, "RA120240105"},
                    {12, std::string("20240106") + course + "0102" + Two(race)},
                    {33, Sj("ベンチマーク記念ステークス")},
                    {605, Sj("ベンチ")},
                    {698, "1800"},
                    {706, "11"},
                    {874, "1" + Two(race) + "0"},
                    {882, Two(kRunners)}});
}

std::string Se(const char* course, int race, int horse) {
  return Rec(555, {{1, "SE120240105"},
                   {12, std::string("20240106") + course + "0102" + Two(race)},
                   {28, std::to_string((horse + 1) / 2 > 8 ? 8 : (horse + 1) / 2)},
                   {29, Two(horse)},
                   {41, Sj("ベンチマークウマ") + Two(horse)},
                   {91, Sj("調教師")},
                   {289, "560"},
                   {307, Sj("騎手名")}});
}

struct RaceDay {
  std::vector<std::string> ra, se;
};

const RaceDay& Day() {
  static const RaceDay day = [] {
    RaceDay d;
    for (const char* c : kCourseCodes)
      for (int r = 1; r <= kRaces; ++r) d.ra.push_back(Ra(c, r));
    for (const char* c : kCourseCodes)
      for (int r = 1; r <= kRaces; ++r)
        for (int h = 1; h <= kRunners; ++h) d.se.push_back(Se(c, r, h));
    return d;
  }();
  return day;
}

fs::path ScratchRoot() {
  const char* base = std::getenv("TAVOLEN_BENCH_DIR");
  static const fs::path root = fs::path(base ? base : fs::temp_directory_path().string()) /
                               ("tavolen-bench-" + std::to_string(getpid()));
  return root;
}

fs::path FreshData(const char* name) {
  fs::path dir = ScratchRoot() / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// The store path: every record through StoreRaRecord / StoreSeRecord.
bool StoreDay(const fs::path& data) {
  bool ok = true;
  for (const auto& r : Day().ra) ok &= StoreRaRecord(data, r).stored();
  for (const auto& r : Day().se) ok &= StoreSeRecord(data, r).stored();
  return ok;
}

void PlainWrite(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The plain path: the files kept in memory, each written whole with one stream write after
// each record, to the same names and with the same final bytes.
void PlainDay(const fs::path& data) {
  std::map<std::string, std::string> dayLines;  // race key -> stored line
  const fs::path dayFile = data / SjisPath(DayFileName(Day().ra.front()));
  for (const auto& r : Day().ra) {
    std::string line = r.substr(0, 1270);
    line.replace(2, 9, "000000000");
    dayLines[r.substr(11, 16)] = std::move(line);
    std::string bytes;
    for (const auto& [key, l] : dayLines) bytes += l + "\r\n";
    PlainWrite(dayFile, bytes);
  }
  std::map<std::string, std::string> entries;  // file name -> bytes
  const std::string blank = std::string(553, ' ') + "\r\n";
  for (const auto& r : Day().se) {
    const std::string name = EntryFileName(r);
    auto [it, created] = entries.try_emplace(name);
    if (created)
      for (int i = 0; i < kEntryLines; ++i) it->second += blank;
    const int race = std::stoi(r.substr(25, 2)), horse = std::stoi(r.substr(28, 2));
    it->second.replace(static_cast<size_t>((race - 1) * 18 + (horse - 1)) * 555, 553, r, 0, 553);
    PlainWrite(data / SjisPath(name), it->second);
  }
}

bool SameFiles(const fs::path& a, const fs::path& b) {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(a)) {
    std::string x, y;
    if (!ReadWholeFile(e.path(), x) || !ReadWholeFile(b / e.path().filename(), y) || x != y)
      return false;
    ++n;
  }
  return n == static_cast<size_t>(std::distance(fs::directory_iterator(b), {}));
}

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Both paths in one run, on fresh folders each iteration; the counters give records per
// second of each path and how many times slower the store path is.
void BM_RaceDay_StoreVsPlain(benchmark::State& state) {
  const double records = static_cast<double>(Day().ra.size() + Day().se.size());
  double storeTime = 0, plainTime = 0;
  fs::path storeDir, plainDir;
  for (auto _ : state) {
    state.PauseTiming();
    storeDir = FreshData("store");
    plainDir = FreshData("plain");
    state.ResumeTiming();
    auto t0 = Clock::now();
    if (!StoreDay(storeDir)) state.SkipWithError("a record was not stored");
    auto t1 = Clock::now();
    PlainDay(plainDir);
    auto t2 = Clock::now();
    storeTime += Seconds(t1 - t0);
    plainTime += Seconds(t2 - t1);
  }
  if (!SameFiles(storeDir, plainDir)) state.SkipWithError("the two paths wrote different bytes");
  const double n = static_cast<double>(state.iterations());
  state.counters["store_records_per_s"] = records * n / storeTime;
  state.counters["plain_records_per_s"] = records * n / plainTime;
  state.counters["store_over_plain"] = storeTime / plainTime;
  state.counters["records"] = records;
}
BENCHMARK(BM_RaceDay_StoreVsPlain)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_RaceDay_Store(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    fs::path dir = FreshData("store-only");
    state.ResumeTiming();
    if (!StoreDay(dir)) state.SkipWithError("a record was not stored");
  }
  state.counters["records_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * (Day().ra.size() + Day().se.size())),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RaceDay_Store)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RaceDay_Plain(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    fs::path dir = FreshData("plain-only");
    state.ResumeTiming();
    PlainDay(dir);
  }
  state.counters["records_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * (Day().ra.size() + Day().se.size())),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RaceDay_Plain)->Unit(benchmark::kMillisecond)->UseRealTime();

// 200 change records of a busy day: weather/going of three courses, scratches, jockey
// changes, post-time and course changes, in a mixed arrival order, some of them repeated.
std::vector<std::string> ChangeRecords() {
  std::vector<std::string> out;
  auto race = [](int c, int r) {
    return std::string("20240106") + kCourseCodes[c] + "0102" + Two(r);
  };
  int i = 0;
  while (out.size() < 200) {
    const int c = i % kCourses, r = 1 + (i / kCourses) % kRaces;
    const std::string stamp = "0106" + Two(9 + i / 60) + Two(i % 60);
    switch (i % 7) {
      case 0:
        out.push_back(Rec(42, {{1, "WE1"},
                               {12, std::string("20240106") + kCourseCodes[c] + "0102"},
                               {26, stamp},
                               {34, std::to_string(1 + i % 3)},
                               {35, "121000"}}));
        break;
      case 1:
      case 4:
        out.push_back(MakeAv(race(c, r), stamp, Two(1 + i % 16)));
        break;
      case 2:
      case 5:
        out.push_back(MakeJc(race(c, r), stamp, Two(1 + i % 16), Sj("新騎手"), Sj("旧騎手")));
        break;
      case 3:
        out.push_back(MakeTc(race(c, r), stamp, "1" + Two(r) + "5", "1" + Two(r) + "0"));
        break;
      case 6:
        out.push_back(MakeCc(race(c, r), stamp, "1600", "17", "1800", "11"));
        break;
    }
    if (i % 10 == 9 && out.size() < 200) out.push_back(out[out.size() / 2]);  // a repeat
    ++i;
  }
  return out;
}

void BM_ChangeMerge200(benchmark::State& state) {
  static const std::vector<std::string> records = ChangeRecords();
  for (auto _ : state) {
    state.PauseTiming();
    fs::path dir = FreshData("changes");
    state.ResumeTiming();
    for (const auto& r : records)
      if (!StoreChangeRecord(dir, r).stored()) state.SkipWithError("a change was not stored");
  }
  state.counters["records_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * records.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ChangeMerge200)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tavolen

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(tavolen::ScratchRoot(), ec);
  return 0;
}
