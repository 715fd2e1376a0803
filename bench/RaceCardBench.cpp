// Meeting load, race list and race cards of a full 36-race meeting (three courses, 18 runners
// per race): the work a date change does before its first card is on screen.
#include <benchmark/benchmark.h>

#include "racecard/CardPaint.h"
#include "racecard/Meeting.h"
#include "racecard/RaceCard.h"
#include "tests/support/Files.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

const fs::path& MeetingDir() {
  static const fs::path dir = [] {
    fs::path d = TempDir("tavolen-bench-racecard");
    WriteMeeting(d, "20050108", {{"05", "東京"}, {"06", "中山"}, {"09", "阪神"}}, 18);
    return d;
  }();
  return dir;
}

const SjisString& Date() {
  static const SjisString date = Sj("2005年01月08日");
  return date;
}

void BM_LoadMeeting(benchmark::State& state) {
  auto meeting = std::make_unique<LoadedMeeting>();
  for (auto _ : state) {
    auto r = LoadMeeting(*meeting, MeetingDir(), Date());
    if (!r.loaded() || meeting->loadedRaceCount != 36) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(meeting->raceSlots[35].runners[17].horseName.str().data());
  }
}
BENCHMARK(BM_LoadMeeting)->Unit(benchmark::kMillisecond);

void BM_RaceList(benchmark::State& state) {
  auto meeting = std::make_unique<LoadedMeeting>();
  LoadMeeting(*meeting, MeetingDir(), Date());
  for (auto _ : state) benchmark::DoNotOptimize(RaceListItems(*meeting));
}
BENCHMARK(BM_RaceList)->Unit(benchmark::kMicrosecond);

void BM_RaceCard(benchmark::State& state) {
  auto meeting = std::make_unique<LoadedMeeting>();
  LoadMeeting(*meeting, MeetingDir(), Date());
  int slot = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(BuildRaceCard(*meeting, slot));
    slot = (slot + 1) % kMeetingRaces;
  }
}
BENCHMARK(BM_RaceCard)->Unit(benchmark::kMicrosecond);

void BM_AllCardsAndTheirPainting(benchmark::State& state) {
  auto meeting = std::make_unique<LoadedMeeting>();
  LoadMeeting(*meeting, MeetingDir(), Date());
  for (auto _ : state) {
    for (int slot = 0; slot < kMeetingRaces; ++slot) {
      RaceCard card = BuildRaceCard(*meeting, slot);
      meeting->selectedRaceIndex = slot;
      for (int row = 0; row < static_cast<int>(card.grid.size()); ++row)
        for (int col = 0; col < kCardColumns; ++col) {
          CellToPaint cell;
          cell.column = col;
          cell.row = row;
          cell.text = card.grid[row][col];
          cell.horseNumberText = card.grid[row][1];
          cell.currentYear = 2005;
          benchmark::DoNotOptimize(DecideCellPaint(*meeting, cell));
        }
    }
  }
}
BENCHMARK(BM_AllCardsAndTheirPainting)->Unit(benchmark::kMicrosecond);

// A date change up to its first card: load, race list, card of item 0.
void BM_DateChangeToFirstCard(benchmark::State& state) {
  auto meeting = std::make_unique<LoadedMeeting>();
  for (auto _ : state) {
    LoadMeeting(*meeting, MeetingDir(), Date());
    auto items = RaceListItems(*meeting);
    benchmark::DoNotOptimize(BuildRaceCard(*meeting, items.front().slot));
  }
}
BENCHMARK(BM_DateChangeToFirstCard)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavolen

BENCHMARK_MAIN();
