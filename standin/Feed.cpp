#include "standin/Feed.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

#include "jvlink/JVData_Structure.h"
#include "jvlink/Platform.h"
#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

std::string StampFromModificationTime(std::time_t seconds) {
  const std::tm tm = LocalTime(seconds);
  LocalDateTime t{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  return FormatCompactDateTime(t);
}

bool HasFeedExtension(const std::string& name) {
  if (name.size() <= kFeedExtension.size()) return false;
  std::string ext = name.substr(name.size() - kFeedExtension.size());
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == kFeedExtension;
}

}  // namespace

std::string FeedStampFromName(std::string_view name) {
  size_t i = 0;
  while (i < name.size()) {
    if (name[i] < '0' || name[i] > '9') {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < name.size() && name[j] >= '0' && name[j] <= '9') ++j;
    if (j - i == 14) {
      LocalDateTime t;
      if (ParseCompactDateTime(name.substr(i, 14), t)) return std::string(name.substr(i, 14));
    }
    i = j;
  }
  return {};
}

std::vector<SjisString> SplitRecords(std::string_view bytes) {
  std::vector<SjisString> out;
  for (auto& line : SplitLines(bytes)) {
    if (TrimBlanks(line).empty()) continue;
    out.push_back(line + "\r\n");
  }
  return out;
}

bool IsChangeRecord(std::string_view r) {
  std::string_view t = r.substr(0, 2);
  return t == "WE" || t == "AV" || t == "JC" || t == "TC" || t == "CC";
}

bool IsRaceRecord(std::string_view r) {
  std::string_view t = r.substr(0, 2);
  return t == "RA" || t == "SE";
}

bool IsLiveRecord(std::string_view r) {
  std::string_view t = r.substr(0, 2);
  return t == "WH" || t == "HR";
}

FeedKind ClassifyRecords(const std::vector<SjisString>& records) {
  bool race = false, live = false;
  for (const auto& r : records) {
    if (IsChangeRecord(r)) return FeedKind::Change;
    race = race || IsRaceRecord(r);
    live = live || IsLiveRecord(r);
  }
  return live ? FeedKind::Live : race ? FeedKind::Race : FeedKind::Other;
}

std::vector<FeedEntry> ListFeed(const fs::path& folder) {
  std::vector<FeedEntry> entries;
  std::error_code ec;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    FeedEntry e;
    e.name = Utf8Text(it->path().filename());
    if (!HasFeedExtension(e.name)) continue;
    FileStamp st;
    if (!StatRegularFile(it->path(), st)) continue;
    e.path = it->path();
    e.size = st.size;
    e.modified = st.modifiedNs;
    e.stamp = FeedStampFromName(e.name);
    if (e.stamp.empty()) e.stamp = StampFromModificationTime(st.modifiedSec);
    entries.push_back(std::move(e));
  }
  std::sort(entries.begin(), entries.end(), [](const FeedEntry& a, const FeedEntry& b) {
    return a.stamp != b.stamp ? a.stamp < b.stamp : a.name < b.name;
  });
  return entries;
}

bool ReadFeedFile(const FeedEntry& entry, FeedFile& out) {
  out = FeedFile{};
  out.entry = entry;
  if (!ReadWholeFile(entry.path, out.bytes)) return false;
  out.records = SplitRecords(out.bytes);
  out.kind = ClassifyRecords(out.records);
  return true;
}

std::string AnnouncementStamp(std::string_view record) {
  if (!IsChangeRecord(record)) return {};
  return record.substr(0, 2) == "WE" ? Cut(record, 26, 8) : Cut(record, 28, 8);
}

bool AnnouncedBy(std::string_view record, const LocalDateTime& now) {
  const std::string stamp = AnnouncementStamp(record);
  if (!AllDigits(stamp) || stamp == "00000000") return true;
  const std::string yearText = Cut(record, 12, 4), monthText = Cut(record, 16, 2);
  if (!AllDigits(yearText) || !AllDigits(monthText)) return true;
  int year = ReadNumber(yearText);
  const int raceMonth = ReadNumber(monthText), stampMonth = ReadNumber(stamp.substr(0, 2));
  if (stampMonth > raceMonth + 6) --year;
  if (stampMonth + 6 < raceMonth) ++year;
  char nowText[16];
  std::snprintf(nowText, sizeof nowText, "%02d%02d%02d%02d", now.month, now.day, now.hour,
                now.minute);
  if (year != now.year) return year < now.year;
  return stamp <= nowText;
}

}  // namespace tavolen
