// What the day's check fetches of the live items. A day key brings every race announced so far
// (about a thousand records by the afternoon), a race key only that race; so the check asks by
// race for what is due and still missing, and sweeps the whole day now and then, so that a
// missed event, a sleep or a start in the middle of the day loses nothing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jvlink/Clock.h"
#include "jvlink/LiveFiles.h"

namespace tavolen {

// The live window opens this long before the day's first post time.
inline constexpr int kLiveLeadMinutes = 90;
// A race's weights are asked for from this long before its post time until they are stored
// (announced about 70 minutes before), at most until this long after it.
inline constexpr int kWeightsDueMinutes = 75;
inline constexpr int kWeightsGiveUpMinutes = 30;
// A race's result is asked for from its post time until its final stage and payouts are stored,
// at most until this long after it.
inline constexpr int kResultGiveUpMinutes = 120;
// The whole day is asked for at the first check and then at least this often.
inline constexpr int kLiveSweepMinutes = 30;
// More races than this of one kind are asked for with the day key.
inline constexpr size_t kLiveMostRaceKeys = 4;

struct LivePlan {
  // Keys for "0B11" and "0B12": a day key yyyymmdd or race keys.
  std::vector<std::string> weightKeys, resultKeys;
  bool empty() const { return weightKeys.empty() && resultKeys.empty(); }
};

// Whether the race has its last flash stage (every runner's place and corner order) and its
// payouts, or was cancelled: nothing more comes on the day.
bool LiveRaceFinal(const LiveDay& day, std::string_view raceKey);

// What the check at now fetches for the day of raceTable (its RA records) with day stored.
// sweep: the whole day is asked for both kinds while the window is open. Outside the window
// (before 90 minutes ahead of the first post time, once every race is final, or two hours after
// the last post time) nothing.
LivePlan PlanLiveCheck(const std::vector<std::string>& raceTable, const LiveDay& day,
                       const LocalDateTime& now, bool sweep);

}  // namespace tavolen
