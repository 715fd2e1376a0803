// The automatic check schedule: whether a tick of the check timer runs the change fetch, and
// the check interval the interval dialog stores.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "base/CheckInterval.h"
#include "jvlink/Sjis.h"

namespace tavolen {

// The first post time "hhnn" of the loaded meeting (RA position 874 of the first record);
// blanks for an empty table.
SjisString FirstPostTime(std::span<const std::string> raceTable);

// The first minute after which ticks fetch: one hour plus one interval before the first post
// time, as "hhnn". A blank post time gives an empty start.
SjisString CheckStart(std::string_view firstPostTime, int intervalMinutes);

enum class TickAction {
  Wait,                 // before the start: nothing to do
  Fetch,                // run the change fetch as an automatic run
  SkipFetchRunning,     // a fetch is running (this tick came from its read loop)
  SkipAcquisitionOpen,  // the acquisition window has its session open; next tick checks again
};

// One tick: fetches when now ("hhnn") is later than the start, compared as plain text, and no
// JV-Link session is open.
TickAction DecideTick(std::string_view nowHhnn, std::string_view firstPostTime, int intervalMinutes,
                      bool fetchRunning, bool acquisitionSessionOpen);

// The interval dialog's field text as the interval to store: a whole number brought into
// 2-59, the minimum when the text is not a number.
int CheckIntervalFromText(std::string_view text);

}  // namespace tavolen
