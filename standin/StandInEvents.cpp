#include "standin/StandInEvents.h"

#include <algorithm>
#include <map>

#include "jvlink/Clock.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/TextLines.h"
#include "standin/StandIn.h"

namespace tavolen {
namespace {

JVEvent EventOfType(std::string_view type) {
  if (type == "JC") return JVEvent::JockeyChange;
  if (type == "CC") return JVEvent::CourseChange;
  if (type == "AV") return JVEvent::Avoid;
  if (type == "TC") return JVEvent::TimeChange;
  return JVEvent::Weather;
}

// Result codes, as the JV-Link contract words them.
constexpr int kNotInitialised = -201;
constexpr int kBadKey = -114;

}  // namespace

std::string DueTime(std::string_view record, const std::string& fileStamp) {
  const std::string stamp = AnnouncementStamp(record);
  const std::string yearText = Cut(record, 12, 4), monthText = Cut(record, 16, 2);
  if (!AllDigits(stamp) || stamp == "00000000" || !AllDigits(yearText) || !AllDigits(monthText))
    return fileStamp;
  int year = ReadNumber(yearText);
  const int raceMonth = ReadNumber(monthText), stampMonth = ReadNumber(stamp.substr(0, 2));
  // Across a year end, as AnnouncedBy reads it.
  if (stampMonth > raceMonth + 6) --year;
  if (stampMonth + 6 < raceMonth) ++year;
  const std::string announced = std::to_string(year) + stamp + "00";
  LocalDateTime t;
  if (!ParseCompactDateTime(announced, t)) return fileStamp;
  return std::max(announced, fileStamp);
}

std::vector<StandInAnnouncement> ListAnnouncements(const std::vector<FeedFile>& changeFiles) {
  std::map<std::pair<std::string, std::string>, StandInAnnouncement> byKey;  // (due, key)
  for (const FeedFile& f : changeFiles) {
    StandInAnnouncement* current = nullptr;  // another record type rides with the change before
    for (const SjisString& r : f.records) {
      if (!IsChangeRecord(r)) {
        if (current) current->records.push_back(r);
        continue;
      }
      const std::string type = r.substr(0, 2);
      ChangeEventKey k{type, Cut(r, Header::Date), Cut(r, Header::CourseCode),
                       type == "WE" ? std::string("00") : Cut(r, Header::RaceNumber),
                       DueTime(r, f.entry.stamp)};
      StandInAnnouncement& a = byKey[{k.sent, FormatChangeEventKey(k)}];
      if (a.key.empty()) {
        a.due = k.sent;
        a.event = EventOfType(type);
        a.key = FormatChangeEventKey(k);
      }
      a.records.push_back(r);
      current = &a;
    }
  }
  std::vector<StandInAnnouncement> out;
  out.reserve(byKey.size());
  for (auto& [at, a] : byKey) out.push_back(std::move(a));
  return out;
}

EventPlan ParseEventPlan(std::string_view text) {
  EventPlan plan;
  for (const std::string& raw : SplitLines(text)) {
    const std::string line(TrimBlanks(raw.substr(0, raw.find('#'))));
    if (line.empty()) continue;
    if (line == "off") {
      plan.off = true;
      continue;
    }
    const size_t a = line.find(' ');
    if (a == std::string::npos) continue;
    const std::string due = line.substr(0, a);
    std::string rest(TrimBlanks(std::string_view(line).substr(a + 1)));
    const size_t b = rest.find(' ');
    const std::string name = rest.substr(0, b);
    const std::string key =
        b == std::string::npos ? std::string() : std::string(TrimBlanks(rest.substr(b + 1)));
    LocalDateTime t;
    const auto event = JVEventByName(name);
    if (due.size() != 14 || !ParseCompactDateTime(due, t) || !event) continue;
    plan.extra.push_back({due, *event, key});
  }
  return plan;
}

// ---- The stand-in's event calls ----

EventPlan StandInJVLink::ReadEventPlan() const {
  std::string text;
  const fs::path file = FeedFolder() / kEventsFileName;
  if (!FileExists(file) || !ReadWholeFile(file, text)) return {};
  return ParseEventPlan(text);
}

const std::vector<StandInAnnouncement>& StandInJVLink::Announcements(
    std::vector<FeedEntry> entries) {
  // Listed at every delivery, read again only when a file of the feed changed.
  const bool same =
      entries.size() == announcedFrom_.size() &&
      std::equal(entries.begin(), entries.end(), announcedFrom_.begin(),
                 [](const FeedEntry& a, const FeedEntry& b) { return a.SameFile(b); });
  if (!same) {
    announcements_ = ListAnnouncements(ReadFeedOfKind(FeedKind::Change, {}, {}, &entries));
    announcedFrom_ = std::move(entries);
  }
  return announcements_;
}

int StandInJVLink::JVWatchEvent() {
  RefreshFaults();
  if (int fault = faults_.OnCall("JVWatchEvent")) return fault;
  if (!initialised_) return kNotInitialised;
  if (ReadEventPlan().off) return kJVEventsUnsupported;
  if (!watching_) {
    watching_ = true;
    eventsUntil_ = FormatCompactDateTime(clock_.Now());
  }
  return 0;
}

int StandInJVLink::JVWatchEventClose() {
  RefreshFaults();
  if (int fault = faults_.OnCall("JVWatchEventClose")) return fault;
  watching_ = false;
  return 0;
}

void StandInJVLink::DeliverEvents() {
  if (!watching_) return;
  const std::string now = FormatCompactDateTime(clock_.Now());
  if (now <= eventsUntil_) return;
  const std::string since = eventsUntil_;
  eventsUntil_ = now;
  const EventPlan plan = ReadEventPlan();
  if (plan.off) return;
  if (ServesDemo() && !PrepareDemo()) return;
  struct Due {
    std::string due;
    JVEvent event;
    std::string key;
  };
  std::vector<Due> due;
  std::vector<FeedEntry> listed = ListFeed(FeedFolder());  // once for both kinds
  std::vector<LiveEvent> live = LiveEventsDue(since, now, listed);
  for (const StandInAnnouncement& a : Announcements(std::move(listed)))
    if (a.due > since && a.due <= now) due.push_back({a.due, a.event, a.key});
  for (LiveEvent& e : live) due.push_back({e.due, e.event, e.key});
  for (const EventPlan::Extra& e : plan.extra)
    if (e.due > since && e.due <= now) due.push_back({e.due, e.event, e.key});
  std::stable_sort(due.begin(), due.end(),
                   [](const Due& a, const Due& b) { return a.due < b.due; });
  for (const Due& d : due) RaiseEvent(d.event, Wide(d.key));
}

int StandInJVLink::OpenAnnouncement(const SjisString& key) {
  if (!ParseChangeEventKey(key)) return kBadKey;
  if (int st = CheckFeedFolder()) return st;
  const std::string now = FormatCompactDateTime(clock_.Now());
  for (const StandInAnnouncement& a : Announcements()) {
    if (a.key != key || a.due > now) continue;
    Session s;
    s.kind = SessionKind::RealTime;
    s.files.push_back(SessionFile{key + ".jvd", {}, a.records, false});
    session_ = std::move(s);
    faults_.StartSession();
    return 0;
  }
  return -1;  // nothing announced under this key (yet)
}

}  // namespace tavolen
