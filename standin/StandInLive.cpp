// The stand-in's live items: "0B11" serves the WH records and "0B12" the other records (RA, SE
// results, HR) of every live file published by the stand-in's clock, for a day key yyyymmdd or
// a race key yyyymmddJJRR or yyyymmddJJKKHHRR; each live file raises JVEvtWeight (it holds WH)
// or JVEvtPay (it holds HR) with the race's key yyyymmddJJRR when it is published.
#include <set>

#include "jvlink/JVData_Structure.h"
#include "jvlink/TextLines.h"
#include "standin/StandIn.h"

namespace tavolen {
namespace {

constexpr int kBadKey = -114;

// Whether record belongs to key: the day, the race by course and number, or the whole race key.
bool Matches(std::string_view record, std::string_view key) {
  if (key.size() == 8) return Cut(record, Header::Date) == key;
  if (key.size() == 12)
    return Cut(record, Header::Date) + Cut(record, Header::CourseCode) +
               Cut(record, Header::RaceNumber) ==
           key;
  return Cut(record, Header::RaceKey) == key;
}

std::string EventKey(std::string_view record) {
  return Cut(record, Header::Date) + Cut(record, Header::CourseCode) +
         Cut(record, Header::RaceNumber);
}

}  // namespace

int StandInJVLink::OpenLive(const SjisString& dataspec, const SjisString& key) {
  if ((key.size() != 8 && key.size() != 12 && key.size() != 16) || !AllDigits(key)) return kBadKey;
  LocalDateTime day;
  if (!ParseCompactDateTime(key.substr(0, 8) + "000000", day)) return kBadKey;
  if (int st = CheckFeedFolder()) return st;
  const std::string now = FormatCompactDateTime(clock_.Now());
  const bool weights = dataspec == "0B11";
  Session s;
  s.kind = SessionKind::RealTime;
  for (const FeedFile* f : FeedOfKind(FeedKind::Live, {}, now)) {
    SessionFile sf{f->entry.name, {}, {}, false};
    for (const SjisString& r : f->records)
      if (r.starts_with("WH") == weights && Matches(r, key)) sf.records.push_back(r);
    if (!sf.records.empty()) s.files.push_back(std::move(sf));
  }
  if (s.files.empty()) return -1;  // nothing of the key published yet
  session_ = std::move(s);
  faults_.StartSession();
  return 0;
}

std::vector<StandInJVLink::LiveEvent> StandInJVLink::LiveEventsDue(
    const std::string& since, const std::string& now, const std::vector<FeedEntry>& listed) {
  std::vector<LiveEvent> due;
  for (const FeedFile* f : FeedOfKind(FeedKind::Live, since, now, &listed)) {
    std::set<std::pair<JVEvent, std::string>> raised;
    for (const SjisString& r : f->records) {
      const bool weight = r.starts_with("WH");
      if (!weight && !r.starts_with("HR")) continue;
      const std::pair<JVEvent, std::string> e{weight ? JVEvent::Weight : JVEvent::Pay, EventKey(r)};
      if (raised.insert(e).second) due.push_back({f->entry.stamp, e.first, e.second});
    }
  }
  return due;
}

}  // namespace tavolen
