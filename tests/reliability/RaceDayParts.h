// The parts of the race-day test: the demo day's records, the race files they must give (built
// from the file layouts here, not by the code under test), what the service has announced by a
// time, and a JV-Link that counts the calls it passes on.
#pragma once

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "jvlink/Clock.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/JVLink.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/Sjis.h"
#include "jvlink/TextLines.h"
#include "standin/DemoDay.h"
#include "standin/DemoLive.h"
#include "tests/support/CountingJVLink.h"

namespace tavolen::reliability {

struct DemoFeed {
  std::vector<std::string> raceRecords;  // RA and SE records of the race data, CR LF
  std::vector<std::string> changes;      // the day's real-time records, CR LF
  std::vector<std::string> published;    // for each change record: its file's "yyyymmddhhnnss"
};

inline DemoFeed DemoFeedOf(const LocalDateTime& day) {
  DemoFeed feed;
  for (const DemoFile& f : GenerateDemoDay(day)) {
    if (IsDemoLiveFile(f.name)) continue;  // the weights and results (LiveDayTest)
    const bool changes = f.name.find("-0B14-") != std::string::npos;
    for (const std::string& line : SplitLines(f.bytes)) {
      (changes ? feed.changes : feed.raceRecords).push_back(line + "\r\n");
      if (changes) feed.published.push_back(f.name.substr(0, 14));
    }
  }
  return feed;
}

// The race files (code page 932 name -> bytes) that RA and SE records give: one day file of
// sorted 1272-byte lines, one per race key with positions 3-11 blotted out, and per course an
// entry file of 216 slotLines of 553 bytes, blank until the runner's record arrives.
inline std::map<std::string, std::string> ExpectedRaceFiles(const std::vector<std::string>& recs) {
  std::map<std::string, std::map<std::string, std::string>> dayLines;  // day file -> key -> line
  std::map<std::string, std::vector<std::string>> entries;             // entry file -> slots
  for (const std::string& r : recs) {
    const int division = r[2] - '0';
    if (division < 1 || division > 6) continue;
    const std::string date =
        r.substr(11, 4) + Sj("年") + r.substr(15, 2) + Sj("月") + r.substr(17, 2) + Sj("日");
    if (r.starts_with("RA")) {
      std::string line = r.substr(0, 1270);
      line.replace(2, 9, "000000000");
      dayLines[date + ".jvRA"][r.substr(11, 16)] = line;
    } else if (r.starts_with("SE")) {
      const int race = std::stoi(r.substr(25, 2));
      const int horse = std::stoi(r.substr(28, 2));
      auto& slotLines = entries[date + CourseName(r.substr(19, 2), 2) + ".jvSEr"];
      if (slotLines.empty()) slotLines.assign(216, std::string(553, ' '));
      slotLines[(race - 1) * 18 + (horse - 1)] = r.substr(0, 553);
    }
  }
  std::map<std::string, std::string> out;
  for (const auto& [name, byKey] : dayLines) {
    std::vector<std::string> lines;
    for (const auto& [key, line] : byKey) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    for (const auto& l : lines) out[name] += l + "\r\n";
  }
  for (const auto& [name, slotLines] : entries)
    for (const auto& s : slotLines) out[name] += s + "\r\n";
  return out;
}

inline int ChangeTypeIndex(std::string_view record) {
  static const char* types[] = {"WE", "AV", "JC", "TC", "CC"};
  for (int i = 0; i < 5; ++i)
    if (record.substr(0, 2) == types[i]) return i;
  return -1;
}

inline std::string ChangeStampOf(std::string_view r) {
  return std::string(ChangeTypeIndex(r) == 0 ? r.substr(25, 8) : r.substr(27, 8));
}

// What the service has announced by a time.
struct Announced {
  std::array<std::string, 5> latest{};               // greatest stamp per category
  std::map<std::string, std::string> courseWeather;  // course code -> latest WE stamp
  std::array<std::set<std::string>, 5> identities;   // one list line each (AV..CC)
  std::array<std::vector<std::string>, 5> records;   // the records (AV..CC)
  std::vector<std::string> served;                   // every change record served, in order
};

inline Announced AnnouncedBy(const std::vector<std::string>& changes, const LocalDateTime& t) {
  char nowText[9];
  std::snprintf(nowText, sizeof nowText, "%02d%02d%02d%02d", t.month, t.day, t.hour, t.minute);
  Announced a;
  for (const std::string& r : changes) {
    const int type = ChangeTypeIndex(r);
    if (type < 0) continue;
    const std::string stamp = ChangeStampOf(r);
    if (stamp != "00000000" && stamp > nowText) continue;
    a.served.push_back(r);
    a.latest[type] = std::max(a.latest[type], stamp);
    if (type == 0) {
      std::string& w = a.courseWeather[r.substr(19, 2)];
      w = std::max(w, stamp);
      continue;
    }
    // A change file keeps one line per scratched runner, per race (post time, course) and per
    // distinct jockey change.
    a.identities[type].insert(type == 1   ? r.substr(11, 16) + r.substr(35, 2)
                              : type == 2 ? r
                                          : r.substr(11, 16));
    a.records[type].push_back(r);
  }
  return a;
}

// What the service has announced by a time, of the records published by then.
inline Announced AnnouncedBy(const DemoFeed& feed, const LocalDateTime& t) {
  std::vector<std::string> made;
  for (size_t i = 0; i < feed.changes.size(); ++i)
    if (feed.published[i] <= FormatCompactDateTime(t)) made.push_back(feed.changes[i]);
  return AnnouncedBy(made, t);
}

using testsupport::CountingJVLink;

}  // namespace tavolen::reliability
