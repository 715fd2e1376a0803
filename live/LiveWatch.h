// The live items of the watched day: what the day's check also fetches of them (LivePlan.h), the
// fetch of one race for a JVEvtWeight or JVEvtPay event, and the evaluation of what is new with
// the day's memory. The day's live files are read again only when they changed, and a day whose
// files are as at the last evaluation is not evaluated again: a check with nothing new costs
// little more than one without the live items.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "base/ErrorLog.h"
#include "base/Favourites.h"
#include "jvlink/Clock.h"
#include "jvlink/JVLink.h"
#include "jvlink/Platform.h"
#include "live/LiveFetch.h"
#include "live/LiveNews.h"

namespace tavolen {

// The 12-character key of a weight or payout event (yyyymmddJJRR); "" for another shape.
std::string LiveEventDay(std::string_view key);

class LiveWatch {
 public:
  LiveWatch(JVLink& jvlink, ErrorLog& errorLog, std::function<void()> processEvents);

  // The check's fetch of what is due (LivePlan.h): the whole day at the first check, after a
  // failed fetch, after the clock went back and every 30 minutes; otherwise the races whose
  // items are due and missing. False when nothing was fetched.
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
  // The size and time of the live files beside dayFile. The memory file is left out: only the
  // evaluation writes it, and one that could not be written is evaluated again anyway.
  using Stamps = std::array<FileStamp, 3>;
  Stamps StampsOf(const fs::path& dayFile);
  // What the live files beside dayFile hold, read again only when they changed (by stamps, taken
  // now unless given); null (and status) when they cannot be read.
  LiveDay* Stored(const fs::path& dayFile, FileStatus& status, const Stamps* stamps = nullptr);
  // The stamps the check took of dayFile when nothing was written since, else taken now. Used
  // once: a check with nothing new looks at the files once, not three times.
  Stamps TakeCheckStamps(const fs::path& dayFile);

  LiveFetch fetch_;
  bool failed_ = false;
  fs::path knownFile_;
  Stamps knownStamps_{};
  LiveDay known_;
  fs::path sweptFile_;
  LocalDateTime sweptAt_;
  fs::path evaluatedFile_;
  Stamps evaluatedStamps_{};
  fs::path checkStampsFile_;
  Stamps checkStamps_{};
  fs::path stampedFile_;  // the day whose live files' paths these are
  std::array<fs::path, 3> stampedPaths_;
};

}  // namespace tavolen
