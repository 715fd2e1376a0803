// The stand-in's change events: every announcement of its feed's change files, when it falls
// due, and the events a feed adds or switches off in its events file. See standin/README.md.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jvlink/JVEvents.h"
#include "jvlink/Sjis.h"
#include "standin/Feed.h"

namespace tavolen {

// One announcement: the change records of one type, day, course and race (WE: of one course)
// that fall due at the same moment, with the records of other types riding with them.
struct StandInAnnouncement {
  std::string due;  // yyyymmddhhnnss: when "0B14" first serves it
  JVEvent event = JVEvent::Weather;
  std::string key;                  // its event key, which "0B16" answers
  std::vector<SjisString> records;  // in feed order, each ending in CR LF
};

// The moment a change record of a feed file falls due: its announcement time (the race day's
// year, the stamp's month, day, hour and minute, 0 seconds) or the file's time stamp, whichever
// is later. A day's initial state ("00000000") falls due with its file.
std::string DueTime(std::string_view record, const std::string& fileStamp);

// Every announcement of these change files, ordered by due time, then key.
std::vector<StandInAnnouncement> ListAnnouncements(const std::vector<FeedFile>& changeFiles);

// The events file of a feed folder.
inline constexpr std::string_view kEventsFileName = "events.txt";

// What an events file says: "off" (the stand-in has no events), and lines
// "yyyymmddhhnnss <event name> [key]" that raise an event at that time besides the ones the
// change files give.
struct EventPlan {
  bool off = false;
  struct Extra {
    std::string due;
    JVEvent event = JVEvent::Pay;
    std::string key;
  };
  std::vector<Extra> extra;
};
EventPlan ParseEventPlan(std::string_view text);

}  // namespace tavolen
