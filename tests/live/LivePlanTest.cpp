#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jvlink/Clock.h"
#include "jvlink/LiveFiles.h"
#include "live/LivePlan.h"
#include "live/LiveWatch.h"
#include "tests/support/Records.h"
#include "tests/support/ScriptedJVLink.h"
#include "tests/support/TestDir.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;
using Keys = std::vector<std::string>;

const std::string kDate = "20241222";

std::string Key(int race) {
  return RaceKey(kDate, "06", race);
}
// Races 1.. with their post times.
std::vector<std::string> Table(const std::vector<std::string>& posts) {
  std::vector<std::string> table;
  for (size_t i = 0; i < posts.size(); ++i) {
    std::string ra = Line(MakeRa(kDate, "06", static_cast<int>(i) + 1));
    Put(ra, 874, posts[i]);
    table.push_back(ra);
  }
  return table;
}
LocalDateTime At(int hour, int minute) {
  return {2024, 12, 22, hour, minute, 0};
}
std::string Result(int race, std::string_view stage) {
  return Line(Rec(
      555,
      {{1, "SE"}, {3, std::string(stage)}, {12, Key(race)}, {29, "05"}, {333, "01"}, {335, "01"}}));
}
std::string Payout(int race, std::string_view kubun) {
  return Line(Rec(719, {{1, "HR"}, {3, std::string(kubun)}, {12, Key(race)}}));
}

TEST(LivePlan, AsksByRaceForWhatIsDueAndMissingSweepsTheDayAndClosesWhenAllIsFinal) {
  const auto table = Table({"1000", "1030", "1100", "1130", "1200", "1230"});
  LiveDay day;
  // Before the window nothing, a sweep included; from 90 minutes ahead the sweep asks the day.
  EXPECT_TRUE(PlanLiveCheck(table, day, At(8, 29), true).empty());
  LivePlan p = PlanLiveCheck(table, day, At(8, 30), true);
  EXPECT_EQ(p.weightKeys, Keys{kDate});
  EXPECT_EQ(p.resultKeys, Keys{kDate});
  // Weights from 75 minutes before the post time, results from the post time.
  EXPECT_TRUE(PlanLiveCheck(table, day, At(8, 44), false).empty());
  p = PlanLiveCheck(table, day, At(9, 20), false);
  EXPECT_EQ(p.weightKeys, (Keys{Key(1), Key(2)}));
  EXPECT_TRUE(p.resultKeys.empty());
  day.weights[Key(1)] = "WH";
  p = PlanLiveCheck(table, day, At(10, 0), false);
  EXPECT_EQ(p.weightKeys, (Keys{Key(2), Key(3)}));
  EXPECT_EQ(p.resultKeys, Keys{Key(1)});
  // An early stage or payouts alone are not final; the last stage with payouts or a race
  // cancelled is.
  day.results[Key(1) + "05"] = Result(1, "3");
  day.payouts[Key(1)] = Payout(1, "1");
  EXPECT_EQ(PlanLiveCheck(table, day, At(10, 5), false).resultKeys, Keys{Key(1)});
  day.results[Key(1) + "05"] = Result(1, "6");
  EXPECT_TRUE(LiveRaceFinal(day, Key(1)));
  day.payouts[Key(2)] = Payout(2, "9");
  EXPECT_TRUE(LiveRaceFinal(day, Key(2)));
  p = PlanLiveCheck(table, day, At(10, 40), false);
  EXPECT_TRUE(p.resultKeys.empty());
  // More than four races of a kind: the day key once instead.
  EXPECT_EQ(PlanLiveCheck(table, day, At(11, 15), false).weightKeys.size(), 4u);
  EXPECT_EQ(PlanLiveCheck(Table({"1100", "1100", "1100", "1100", "1100"}), {}, At(10, 0), false)
                .weightKeys,
            Keys{kDate});
  // Weights missing 30 minutes after the post time, results two hours after it: given up.
  p = PlanLiveCheck(table, LiveDay{}, At(12, 31), false);
  EXPECT_EQ(p.weightKeys, Keys{Key(6)});
  EXPECT_EQ(PlanLiveCheck(Table({"1000"}), LiveDay{}, At(10, 30), false).weightKeys, Keys{});
  EXPECT_EQ(PlanLiveCheck(Table({"1000"}), LiveDay{}, At(11, 59), false).resultKeys, Keys{Key(1)});
  // Closed two hours after the last post time, or once every race is final, sweep or not.
  EXPECT_TRUE(PlanLiveCheck(Table({"1000"}), LiveDay{}, At(12, 0), true).empty());
  EXPECT_TRUE(PlanLiveCheck(Table({"1000", "1030"}), day, At(10, 40), true).empty());
}

// The watch's checks over a scripted JV-Link: the day swept at the first check, then only the
// races due, the day again after a failed fetch and after 30 minutes.
TEST(LivePlan, TheWatchSweepsAtTheFirstCheckAfterAFailureAndEveryHalfHour) {
  const fs::path app = FreshTestDir("live-plan");
  const fs::path dayFile = app / Utf8Path("2024年12月22日.jvRA");
  const auto table = Table({"1000", "1030"});
  FakeClock clock(At(9, 0));
  ErrorLog log(app, clock);
  ScriptedJVLink jv;
  jv.scriptLive = true;
  jv.defaultRtOpen = -1;  // nothing announced
  LiveWatch watch(jv, log, {});
  auto asked = [&](const LocalDateTime& now) {
    jv.calls.clear();
    clock.Set(now);
    watch.CheckDay(dayFile, table, now);
    std::vector<std::string> keys;
    for (const auto& c : jv.calls)
      if (c.op == "JVRTOpen") keys.push_back(c.args[0] + ":" + c.args[1]);
    return keys;
  };
  EXPECT_EQ(asked(At(9, 0)), (Keys{"0B11:" + kDate, "0B12:" + kDate}));
  EXPECT_EQ(asked(At(9, 5)), (Keys{"0B11:" + Key(1)}));
  jv.rtOpenResults.push_back(-502);  // the service down: swept again at the next check
  EXPECT_EQ(asked(At(9, 10)), (Keys{"0B11:" + Key(1)}));
  EXPECT_TRUE(watch.failed());
  EXPECT_EQ(asked(At(9, 15)), (Keys{"0B11:" + kDate, "0B12:" + kDate}));
  EXPECT_EQ(asked(At(9, 44)), (Keys{"0B11:" + Key(1), "0B11:" + Key(2)}));
  EXPECT_EQ(asked(At(9, 45)), (Keys{"0B11:" + kDate, "0B12:" + kDate}));
  EXPECT_EQ(asked(At(9, 40)), (Keys{"0B11:" + kDate, "0B12:" + kDate}));  // the clock went back
}

}  // namespace
}  // namespace tavolen
