// The race day's live items against the same day without them, side by side: loading a day to
// its first card (the meeting, the race list with each race's state, the first card with its
// live columns and payouts) with the day's weights and results stored and without; and one
// check of the afternoon (the change fetch and evaluation, then the day's "0B11" and "0B12"
// with nothing new to store and their evaluation) against the check without the two fetches.
// The stand-in serves its demo day at 14:00 from its feed folder; a second set of checks has
// every answer replayed from memory, so that the program's own cost is seen apart from the
// stand-in's (which lists its feed folder of some two hundred files for every JVRTOpen).
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>

#include "base/ErrorLog.h"
#include "changes/ChangeEvaluation.h"
#include "changes/ChangeFetch.h"
#include "jvlink/Clock.h"
#include "jvlink/DateFiles.h"
#include "jvlink/LiveFiles.h"
#include "jvlink/RaceFiles.h"
#include "live/LiveNews.h"
#include "live/LiveWatch.h"
#include "racecard/CardLive.h"
#include "racecard/Meeting.h"
#include "racecard/RaceCard.h"
#include "standin/DemoDay.h"
#include "standin/Feed.h"
#include "standin/StandIn.h"
#include "tests/support/Files.h"
#include "tests/support/RecordingDesktop.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

const LocalDateTime kDay{2024, 1, 6, 14, 0, 0};

// The stand-in with its real-time answers read once and then, while replay is on, replayed
// from memory, as fast as a JV-Link can answer at all.
class ReplayJVLink : public JVLink {
 public:
  explicit ReplayJVLink(StandInJVLink& jv) : jv_(jv) {}
  bool replay = false;

  int JVRTOpen(const std::u16string& dataspec, const std::u16string& key) override {
    if (!replay) return jv_.JVRTOpen(dataspec, key);
    probe_.assign(dataspec).append(u"/").append(key);
    auto [it, added] = answers_.try_emplace(probe_);
    if (added) {
      it->second.rc = jv_.JVRTOpen(dataspec, key);
      std::u16string buff, name;
      int r = 0;
      while (it->second.rc == 0 && (r = ReadNextRecord(jv_, buff, name)) != 0)
        if (r > 0) it->second.records.push_back(buff);
      jv_.JVClose();
    }
    replaying_ = &it->second;
    next_ = 0;
    return it->second.rc;
  }
  int JVRead(std::u16string& buff, int& size, std::u16string& filename) override {
    if (!replaying_) return jv_.JVRead(buff, size, filename);
    if (next_ >= replaying_->records.size()) return 0;
    buff = replaying_->records[next_++];
    return size = static_cast<int>(buff.size());
  }
  int JVClose() override {
    if (!replaying_) return jv_.JVClose();
    replaying_ = nullptr;
    return 0;
  }
  int JVInit(const std::u16string& sid) override { return jv_.JVInit(sid); }
  int JVSetUIProperties() override { return jv_.JVSetUIProperties(); }
  int JVOpen(const std::u16string& dataspec, const std::u16string& fromtime, int option,
             int& readcount, int& downloadcount, std::u16string& lastfiletimestamp) override {
    return jv_.JVOpen(dataspec, fromtime, option, readcount, downloadcount, lastfiletimestamp);
  }
  int JVStatus() override { return jv_.JVStatus(); }
  void JVCancel() override { jv_.JVCancel(); }

 private:
  struct Answer {
    int rc = 0;
    std::vector<std::u16string> records;
  };
  StandInJVLink& jv_;
  std::map<std::u16string, Answer, std::less<>> answers_;
  std::u16string probe_;  // the key looked up, kept so that a lookup makes no copy
  const Answer* replaying_ = nullptr;
  size_t next_ = 0;
};

class Live : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State&) override {
    app_ = TempDir("bench-live");
    fs::create_directories(app_ / "Data");
    fs::create_directories(app_ / "feed");
    WriteDemoDay(app_ / "feed", kDay);
    for (const FeedEntry& e : ListFeed(app_ / "feed")) {
      FeedFile f;
      if (!ReadFeedFile(e, f) || f.kind != FeedKind::Race) continue;
      for (const SjisString& r : f.records)
        r.starts_with("RA") ? StoreRaRecord(app_ / "Data", r) : StoreSeRecord(app_ / "Data", r);
    }
    dayFile_ = app_ / "Data" / Utf8Path("2024年01月06日.jvRA");
    ReadDayRecords(dayFile_, races_);
    standin_ = std::make_unique<StandInJVLink>(clock_, StandInOptions{app_ / "standin", 0});
    jv_ = std::make_unique<ReplayJVLink>(*standin_);
    standin_->StoreSettings({"", app_ / "feed"});
    jv_->JVInit(u"SA418207/SD530946/Tavolen/Ver.1.01");
    log_ = std::make_unique<ErrorLog>(app_, clock_);
    fetch_ = std::make_unique<ChangeFetch>(*jv_, app_ / "Data", *log_, desktop_, nullptr, [] {});
    live_ = std::make_unique<LiveWatch>(*jv_, *log_, [] {});
  }
  void TearDown(const benchmark::State&) override { fs::remove_all(app_); }

  void Check(benchmark::State& state, bool withLive, bool replay = false) {
    jv_->replay = replay;
    if (fetch_->Fetch({true, races_, 0, true}) != ChangeFetchOutcome::Evaluate)
      state.SkipWithError("the change fetch failed");
    ChangeEvaluation ev = EvaluateChanges(dayFile_);
    if (ev.hasNews()) SaveRenewFile(dayFile_, ev);
    benchmark::DoNotOptimize(ev);
    if (!withLive) return;
    if (!live_->CheckDay(dayFile_, races_, clock_.Now()) || live_->failed())
      state.SkipWithError("the live fetch did not run");
    FileStatus st;
    benchmark::DoNotOptimize(live_->Evaluate(dayFile_, nullptr, {}, st));
  }

  // The meeting loaded, its race list with each race's state, the first race's card.
  void LoadToFirstCard(benchmark::State& state, const fs::path& dataFolder) {
    auto meeting = std::make_unique<LoadedMeeting>();
    if (LoadMeeting(*meeting, dataFolder, DateKey(kDay)).outcome !=
        MeetingLoadResult::Outcome::Loaded)
      state.SkipWithError("the meeting did not load");
    LiveDay day;
    ReadLiveDay(meeting->selectedRaceFile, day);
    const std::vector<RaceListEntry> list = RaceListItems(*meeting);
    for (const RaceListEntry& e : list)
      benchmark::DoNotOptimize(RaceStateMark(day, meeting->raceSlots[e.slot].raceKey));
    const RaceCard card = BuildRaceCard(*meeting, list.front().slot);
    benchmark::DoNotOptimize(
        BuildCardLive(day, meeting->raceSlots[list.front().slot].raceKey, card.grid));
  }

  // Runs without and with the live items in turns, which of them first changing every round,
  // and reports each one's time and the extra of the second as counters.
  template <typename Run>
  static void InTurns(benchmark::State& state, Run run) {
    using Clock = std::chrono::steady_clock;
    Clock::duration spent[2] = {};  // without, with
    bool withFirst = false;
    for (auto _ : state) {
      for (bool with : {withFirst, !withFirst}) {
        const Clock::time_point start = Clock::now();
        run(with);
        spent[with] += Clock::now() - start;
      }
      withFirst = !withFirst;
    }
    const auto each = [&](bool with) {
      return std::chrono::duration<double, std::micro>(spent[with]).count() /
             static_cast<double>(state.iterations());
    };
    state.counters["without_us"] = each(false);
    state.counters["with_us"] = each(true);
    state.counters["extra_pct"] = 100.0 * (each(true) / each(false) - 1.0);
  }

  fs::path app_, dayFile_;
  FakeClock clock_{kDay};
  std::vector<std::string> races_;
  std::unique_ptr<StandInJVLink> standin_;
  std::unique_ptr<ReplayJVLink> jv_;
  RecordingDesktop desktop_;
  std::unique_ptr<ErrorLog> log_;
  std::unique_ptr<ChangeFetch> fetch_;
  std::unique_ptr<LiveWatch> live_;
};

BENCHMARK_DEFINE_F(Live, FirstCardWithoutLiveItems)(benchmark::State& state) {
  for (auto _ : state) LoadToFirstCard(state, app_ / "Data");
}
BENCHMARK_REGISTER_F(Live, FirstCardWithoutLiveItems)->Unit(benchmark::kMillisecond);

BENCHMARK_DEFINE_F(Live, FirstCardWithWeightsAndResults)(benchmark::State& state) {
  Check(state, true);  // the day's weights and results so far stored
  for (auto _ : state) LoadToFirstCard(state, app_ / "Data");
}
BENCHMARK_REGISTER_F(Live, FirstCardWithWeightsAndResults)->Unit(benchmark::kMillisecond);

// Both in turns within one run, as the two checks below: the day with its weights and results
// and a copy of its Data folder without them.
BENCHMARK_DEFINE_F(Live, TheTwoFirstCardsInTurns)(benchmark::State& state) {
  Check(state, true);
  const fs::path bare = app_ / "bare";
  fs::copy(app_ / "Data", bare, fs::copy_options::recursive);
  for (std::string_view suffix :
       {kWeightFileSuffix, kResultFileSuffix, kPayoutFileSuffix, kLiveAnnouncedSuffix})
    fs::remove(SiblingDateFile(bare / dayFile_.filename(), suffix));
  InTurns(state, [&](bool with) { LoadToFirstCard(state, with ? app_ / "Data" : bare); });
}
BENCHMARK_REGISTER_F(Live, TheTwoFirstCardsInTurns)->Unit(benchmark::kMillisecond);

// A check with nothing new: the answers are those of the check before.
BENCHMARK_DEFINE_F(Live, CheckWithoutLiveFetches)(benchmark::State& state) {
  Check(state, false);
  for (auto _ : state) Check(state, false);
}
BENCHMARK_REGISTER_F(Live, CheckWithoutLiveFetches)->Unit(benchmark::kMillisecond);

BENCHMARK_DEFINE_F(Live, CheckWithTheTwoLiveFetches)(benchmark::State& state) {
  Check(state, true);
  for (auto _ : state) Check(state, true);
}
BENCHMARK_REGISTER_F(Live, CheckWithTheTwoLiveFetches)->Unit(benchmark::kMillisecond);

// The same two checks with every answer replayed from memory: the program's own cost.
BENCHMARK_DEFINE_F(Live, CheckWithoutLiveFetchesReplayed)(benchmark::State& state) {
  Check(state, false, true);
  for (auto _ : state) Check(state, false, true);
}
BENCHMARK_REGISTER_F(Live, CheckWithoutLiveFetchesReplayed)->Unit(benchmark::kMillisecond);

BENCHMARK_DEFINE_F(Live, CheckWithTheTwoLiveFetchesReplayed)(benchmark::State& state) {
  Check(state, true, true);
  for (auto _ : state) Check(state, true, true);
}
BENCHMARK_REGISTER_F(Live, CheckWithTheTwoLiveFetchesReplayed)->Unit(benchmark::kMillisecond);

// The two checks taken in turns within one run, so that the machine's drift between benchmarks
// does not enter their ratio: through the stand-in, and replayed.
BENCHMARK_DEFINE_F(Live, TheTwoChecksInTurns)(benchmark::State& state) {
  Check(state, true);
  InTurns(state, [&](bool with) { Check(state, with); });
}
BENCHMARK_REGISTER_F(Live, TheTwoChecksInTurns)->Unit(benchmark::kMillisecond);

BENCHMARK_DEFINE_F(Live, TheTwoChecksInTurnsReplayed)(benchmark::State& state) {
  Check(state, true, true);
  InTurns(state, [&](bool with) { Check(state, with, true); });
}
BENCHMARK_REGISTER_F(Live, TheTwoChecksInTurnsReplayed)->Unit(benchmark::kMillisecond);

// The live part of the replayed check alone: the plan, the race's answer converted and compared
// with the stored day, the look at the live files, the evaluation skipped.
BENCHMARK_DEFINE_F(Live, TheLivePartAloneReplayed)(benchmark::State& state) {
  Check(state, true, true);
  for (auto _ : state) {
    if (!live_->CheckDay(dayFile_, races_, clock_.Now()) || live_->failed())
      state.SkipWithError("the live fetch did not run");
    FileStatus st;
    benchmark::DoNotOptimize(live_->Evaluate(dayFile_, nullptr, {}, st));
  }
}
BENCHMARK_REGISTER_F(Live, TheLivePartAloneReplayed)->Unit(benchmark::kMicrosecond);

// The two answers read through the stand-in and dropped: what the JV-Link side of the two
// fetches costs, apart from the program's storing and evaluation.
BENCHMARK_DEFINE_F(Live, TheTwoAnswersReadOnly)(benchmark::State& state) {
  for (auto _ : state)
    for (const char16_t* dataspec : {u"0B11", u"0B12"}) {
      if (jv_->JVRTOpen(dataspec, u"20240106") != 0) state.SkipWithError("nothing served");
      std::u16string buff, name;
      while (ReadNextRecord(*jv_, buff, name) != 0) benchmark::DoNotOptimize(buff);
      jv_->JVClose();
    }
}
BENCHMARK_REGISTER_F(Live, TheTwoAnswersReadOnly)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavolen

BENCHMARK_MAIN();
