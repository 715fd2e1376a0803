#include "live/LiveWatch.h"

#include "jvlink/DateFiles.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/LiveRecords.h"
#include "jvlink/TextLines.h"
#include "live/LivePlan.h"

namespace tavolen {

std::string LiveEventDay(std::string_view key) {
  if (key.size() != 12 || !AllDigits(key)) return {};
  return std::string(key.substr(0, 8));
}

LiveWatch::LiveWatch(JVLink& jvlink, ErrorLog& errorLog, std::function<void()> processEvents)
    : fetch_(jvlink, errorLog, std::move(processEvents)) {}

namespace {

bool SameStamps(const FileStamp* a, const FileStamp* b, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (a[i].size != b[i].size || a[i].modifiedNs != b[i].modifiedNs) return false;
  return true;
}

}  // namespace

LiveWatch::Stamps LiveWatch::StampsOf(const fs::path& dayFile) {
  // The three paths are made once per day: every check looks at them.
  if (stampedFile_ != dayFile) {
    const std::string_view suffixes[] = {kWeightFileSuffix, kResultFileSuffix, kPayoutFileSuffix};
    for (size_t i = 0; i < stampedPaths_.size(); ++i)
      stampedPaths_[i] = SiblingDateFile(dayFile, suffixes[i]);
    stampedFile_ = dayFile;
  }
  Stamps stamps{};
  for (size_t i = 0; i < stamps.size(); ++i)
    StatRegularFile(stampedPaths_[i], stamps[i]);  // missing: zero
  return stamps;
}

LiveDay* LiveWatch::Stored(const fs::path& dayFile, FileStatus& status, const Stamps* given) {
  status = FileStatus::Ok();
  const Stamps stamps = given ? *given : StampsOf(dayFile);
  if (knownFile_ == dayFile && SameStamps(stamps.data(), knownStamps_.data(), stamps.size()))
    return &known_;
  knownFile_.clear();
  if (!(status = ReadLiveDay(dayFile, known_))) return nullptr;
  knownFile_ = dayFile;
  knownStamps_ = stamps;
  return &known_;
}

LiveWatch::Stamps LiveWatch::TakeCheckStamps(const fs::path& dayFile) {
  const bool fresh = !checkStampsFile_.empty() && checkStampsFile_ == dayFile;
  checkStampsFile_.clear();
  return fresh ? checkStamps_ : StampsOf(dayFile);
}

bool LiveWatch::CheckDay(const fs::path& dayFile, const std::vector<std::string>& raceTable,
                         const LocalDateTime& now) {
  if (raceTable.empty() || dayFile.empty()) return false;
  const Stamps stamps = StampsOf(dayFile);
  checkStampsFile_ = dayFile;
  checkStamps_ = stamps;
  FileStatus read;
  LiveDay* stored = Stored(dayFile, read, &stamps);  // unreadable: the fetch itself reports it
  const bool sweep = failed_ || !stored || sweptFile_ != dayFile || now < sweptAt_ ||
                     now >= sweptAt_.AddSeconds(kLiveSweepMinutes * 60LL);
  static const LiveDay kNothingStored;
  const LivePlan plan = PlanLiveCheck(raceTable, stored ? *stored : kNothingStored, now, sweep);
  if (plan.empty()) {
    checkStampsFile_.clear();
    return false;
  }
  if (sweep) {
    sweptFile_ = dayFile;
    sweptAt_ = now;
  }
  std::vector<LiveFetch::Ask> asks;
  for (const std::string& key : plan.weightKeys) asks.push_back({kWeightSpec, key});
  for (const std::string& key : plan.resultKeys) asks.push_back({kResultSpec, key});
  if (!stored) {
    failed_ = !fetch_.Fetch(asks, dayFile, raceTable);
    checkStampsFile_.clear();
    evaluatedFile_.clear();
    return true;
  }
  // The known day goes into the fetch and comes back as the files now hold it; meanwhile (an
  // evaluation while the fetch lets window messages run) the files are read afresh.
  knownFile_.clear();
  failed_ = !fetch_.Fetch(asks, dayFile, raceTable, &known_);
  knownFile_.clear();
  const bool wrote = fetch_.stored() > 0;
  if (wrote) {
    checkStampsFile_.clear();
    evaluatedFile_.clear();  // evaluated anew, whatever the times say
  }
  if (!failed_) {
    knownFile_ = dayFile;
    knownStamps_ = wrote ? StampsOf(dayFile) : stamps;
  }
  return true;
}

bool LiveWatch::FetchEvent(JVEvent event, const std::string& key, const fs::path& dayFile,
                           const std::vector<std::string>& raceTable) {
  if (dayFile.empty()) return false;
  failed_ =
      !fetch_.Fetch(event == JVEvent::Weight ? kWeightSpec : kResultSpec, key, dayFile, raceTable);
  // What this fetch wrote is read and evaluated anew, whatever the files' times say (a file
  // system with coarse times may show two writes of one size as one).
  checkStampsFile_.clear();
  if (fetch_.stored() > 0) {
    knownFile_.clear();
    evaluatedFile_.clear();
  }
  return true;
}

LiveAnnouncement LiveWatch::Evaluate(const fs::path& dayFile, const FavouriteDay* favourites,
                                     const LiveNotifyChoice& choice, FileStatus& status) {
  status = FileStatus::Ok();
  if (dayFile.empty()) return {};
  // Nothing changed since the last evaluation: nothing new.
  const Stamps stamps = TakeCheckStamps(dayFile);
  if (evaluatedFile_ == dayFile &&
      SameStamps(stamps.data(), evaluatedStamps_.data(), evaluatedStamps_.size()))
    return {};
  const LiveDay* stored = Stored(dayFile, status, &stamps);
  if (!stored || stored->empty()) return {};
  const LiveDay& day = *stored;
  const fs::path memoryFile = SiblingDateFile(dayFile, kLiveAnnouncedSuffix);
  std::string bytes;
  if (FileExists(memoryFile) && !(status = ReadWholeFile(memoryFile, bytes))) return {};
  LiveMemory memory = ParseLiveMemory(bytes);
  const LiveMemory before = memory;
  LiveAnnouncement a = EvaluateLive(day, memory, favourites, choice);
  const bool write = memory != before;
  if (write) status = WriteFileAtomic(memoryFile, LiveMemoryBytes(memory));
  evaluatedFile_.clear();
  if (status) {
    evaluatedFile_ = dayFile;
    evaluatedStamps_ = stamps;  // the memory file is this evaluation's own
  }
  return a;
}

}  // namespace tavolen
