#include "live/LiveWatch.h"

#include "jvlink/DateFiles.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/LiveRecords.h"
#include "jvlink/TextLines.h"

namespace tavolen {

bool LiveFetchDue(const std::vector<std::string>& raceTable, const LiveDay& day,
                  const LocalDateTime& now) {
  std::string first;
  bool allPaid = true;
  for (const std::string& ra : raceTable) {
    const std::string post = Cut(ra, RA::PostTime);
    if (AllDigits(post) && (first.empty() || post < first)) first = post;
    if (!day.payouts.contains(Cut(ra, Header::RaceKey))) allPaid = false;
  }
  if (first.empty() || allPaid) return false;
  return FormatHhnn(now) >= AddMinutesHHNN(first, -90);
}

std::string LiveEventDay(std::string_view key) {
  if (key.size() != 12 || !AllDigits(key)) return {};
  return std::string(key.substr(0, 8));
}

LiveWatch::LiveWatch(JVLink& jvlink, ErrorLog& errorLog, std::function<void()> processEvents)
    : fetch_(jvlink, errorLog, std::move(processEvents)) {}

bool LiveWatch::CheckDay(const fs::path& dayFile, const std::vector<std::string>& raceTable,
                         const LocalDateTime& now) {
  if (raceTable.empty() || dayFile.empty()) return false;
  LiveDay day;
  ReadLiveDay(dayFile, day);  // unreadable: the fetch itself reports it
  if (!LiveFetchDue(raceTable, day, now)) return false;
  const std::string key = Cut(raceTable.front(), Header::Date);
  failed_ = !fetch_.Fetch(kWeightSpec, key, dayFile, raceTable);
  failed_ = !fetch_.Fetch(kResultSpec, key, dayFile, raceTable) || failed_;
  return true;
}

bool LiveWatch::FetchEvent(JVEvent event, const std::string& key, const fs::path& dayFile,
                           const std::vector<std::string>& raceTable) {
  if (dayFile.empty()) return false;
  failed_ =
      !fetch_.Fetch(event == JVEvent::Weight ? kWeightSpec : kResultSpec, key, dayFile, raceTable);
  return true;
}

LiveAnnouncement LiveWatch::Evaluate(const fs::path& dayFile, const FavouriteDay* favourites,
                                     const LiveNotifyChoice& choice, FileStatus& status) {
  status = FileStatus::Ok();
  LiveDay day;
  if (dayFile.empty() || !(status = ReadLiveDay(dayFile, day)) || day.empty()) return {};
  const fs::path memoryFile = SiblingDateFile(dayFile, kLiveAnnouncedSuffix);
  std::string bytes;
  if (FileExists(memoryFile) && !(status = ReadWholeFile(memoryFile, bytes))) return {};
  LiveMemory memory = ParseLiveMemory(bytes);
  const LiveMemory before = memory;
  LiveAnnouncement a = EvaluateLive(day, memory, favourites, choice);
  if (memory != before) status = WriteFileAtomic(memoryFile, LiveMemoryBytes(memory));
  return a;
}

}  // namespace tavolen
