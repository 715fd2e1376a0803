#include "live/LivePlan.h"

#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/LiveRecords.h"
#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

// now - hhnn in minutes, on the race day's clock.
int MinutesSince(const LocalDateTime& now, std::string_view hhnn) {
  const int at = ReadNumber(hhnn.substr(0, 2)) * 60 + ReadNumber(hhnn.substr(2));
  return now.hour * 60 + now.minute - at;
}

}  // namespace

bool LiveRaceFinal(const LiveDay& day, std::string_view raceKey) {
  const auto paid = day.payouts.find(raceKey);
  if (paid == day.payouts.end()) return false;
  if (CutView(paid->second, Header::DataDivision) == "9") return true;
  // Runners of a race are keyed by race key and horse number: they follow each other.
  // A stage of 6 or later: 全馬着順＋コーナー通過順, Monday's result, or the race cancelled.
  constexpr size_t kAt = Header::DataDivision.pos - 1;
  for (auto it = day.results.lower_bound(raceKey);
       it != day.results.end() && it->first.starts_with(raceKey); ++it)
    if (const std::string& r = it->second;
        r.size() > kAt && (r[kAt] == '6' || r[kAt] == '7' || r[kAt] == '9'))
      return true;
  return false;
}

LivePlan PlanLiveCheck(const std::vector<std::string>& raceTable, const LiveDay& day,
                       const LocalDateTime& now, bool sweep) {
  struct Race {
    std::string_view key;  // in place in the race table
    int sincePost;
    bool final;
  };
  std::vector<Race> races;
  int earliest = 0, latest = 0;  // minutes since the first and the last post time
  bool open = false;
  for (const std::string& ra : raceTable) {
    const std::string_view post = CutView(ra, RA::PostTime), key = CutView(ra, Header::RaceKey);
    if (!AllDigits(post) || !AllDigits(key)) continue;
    const int since = MinutesSince(now, post);
    if (races.empty() || since > earliest) earliest = since;
    if (races.empty() || since < latest) latest = since;
    // A race not yet run is open whatever is stored for it.
    races.push_back({key, since, since >= 0 && LiveRaceFinal(day, key)});
    if (!races.back().final) open = true;
  }
  LivePlan plan;
  if (races.empty() || !open || earliest < -kLiveLeadMinutes || latest >= kResultGiveUpMinutes)
    return plan;
  const std::string dayKey = Cut(raceTable.front(), Header::Date);
  if (sweep) {
    plan.weightKeys = plan.resultKeys = {dayKey};
    return plan;
  }
  for (const Race& r : races) {
    if (r.sincePost >= -kWeightsDueMinutes && r.sincePost < kWeightsGiveUpMinutes &&
        !day.weights.contains(r.key))
      plan.weightKeys.emplace_back(r.key);
    if (r.sincePost >= 0 && r.sincePost < kResultGiveUpMinutes && !r.final)
      plan.resultKeys.emplace_back(r.key);
  }
  for (std::vector<std::string>* keys : {&plan.weightKeys, &plan.resultKeys})
    if (keys->size() > kLiveMostRaceKeys) *keys = {dayKey};
  return plan;
}

}  // namespace tavolen
