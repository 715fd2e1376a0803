// The live items of the watched day: when the day's check also fetches them (from an hour and
// a half before the first post time until every race has its payouts), the fetch of one race
// for a JVEvtWeight or JVEvtPay event, and the evaluation of what is new with the day's memory.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/ErrorLog.h"
#include "base/Favourites.h"
#include "jvlink/Clock.h"
#include "jvlink/JVLink.h"
#include "live/LiveFetch.h"
#include "live/LiveNews.h"

namespace tavolen {

// Whether the day's check fetches the live items at now: from 90 minutes before the first post
// time of raceTable until every race has payouts stored.
bool LiveFetchDue(const std::vector<std::string>& raceTable, const LiveDay& day,
                  const LocalDateTime& now);

// The 12-character key of a weight or payout event (yyyymmddJJRR); "" for another shape.
std::string LiveEventDay(std::string_view key);

class LiveWatch {
 public:
  LiveWatch(JVLink& jvlink, ErrorLog& errorLog, std::function<void()> processEvents);

  // The day's fetch of both kinds when it is due; false when nothing was fetched.
  bool CheckDay(const fs::path& dayFile, const std::vector<std::string>& raceTable,
                const LocalDateTime& now);
  // The race of an event: "0B11" for JVEvtWeight, "0B12" for JVEvtPay, with the event's key.
  bool FetchEvent(JVEvent event, const std::string& key, const fs::path& dayFile,
                  const std::vector<std::string>& raceTable);
  // What is new since the last evaluation and what of it rings; the memory file is updated.
  // A memory file that cannot be written is reported in status (and the news rings again
  // next time).
  LiveAnnouncement Evaluate(const fs::path& dayFile, const FavouriteDay* favourites,
                            const LiveNotifyChoice& choice, FileStatus& status);

  LiveFetch& Fetcher() { return fetch_; }
  const LiveFetch& Fetcher() const { return fetch_; }
  // True when the last fetch failed; its reason.
  bool failed() const { return failed_; }

 private:
  LiveFetch fetch_;
  bool failed_ = false;
};

}  // namespace tavolen
