// The live items of the demo race day: each race's body weights, announced 70 minutes before its
// post time, and its result in four stages with the payouts from 5 minutes after it. Made from
// the day's own RA and SE records, deterministic by race; a scratched runner weighs "000" and
// has no place.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "jvlink/Sjis.h"
#include "standin/DemoDay.h"

namespace tavolen {

// The minutes after the post time at which the four result stages (3着まで, 5着まで, 全馬,
// 全馬＋コーナー) are published, and before it at which the weights are.
inline constexpr int kDemoWeightLead = 70;
inline constexpr int kDemoResultDelays[4] = {5, 7, 9, 11};

// raceRecords: the day's RA records; runnerRecords: its SE records (entry stage); scratched:
// race key (16) + horse number (2) of every runner scratched or excluded during the day. One
// weight file per race and one file per race and stage (its SE records and the HR record).
// Whether a demo file's name is that of a weight or result file.
bool IsDemoLiveFile(std::string_view name);

std::vector<DemoFile> DemoLiveFiles(const std::vector<SjisString>& raceRecords,
                                    const std::vector<SjisString>& runnerRecords,
                                    const std::set<std::string>& scratched);

}  // namespace tavolen
