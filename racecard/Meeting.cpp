#include "racecard/Meeting.h"

#include <cstdio>
#include <fstream>
#include <map>

#include "jvlink/DateFiles.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/RaceFiles.h"
#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

const std::string& BlankRace() {
  static const std::string blank(RA::kLength, ' ');
  return blank;
}

const std::string& BlankRunner() {
  static const std::string blank(SE::kLength, ' ');
  return blank;
}

void FillRunnerSlot(RunnerSlot& runner, std::string_view se) {
  runner.horseNumber = Cut(se, SE::HorseNumber);
  runner.frameNumber = Cut(se, SE::FrameNumber);
  runner.registrationNumber = Cut(se, SE::RegistrationNumber);
  runner.horseName = Cut(se, SE::HorseName);
  runner.sexCode = Cut(se, SE::SexCode);
  runner.carriedWeight = Cut(se, SE::CarriedWeight);
  runner.jockeyCode = Cut(se, SE::JockeyCode);
  runner.jockeyName = Cut(se, SE::JockeyName);
  runner.trainerCode = Cut(se, SE::TrainerCode);
  runner.trainerName = Cut(se, SE::TrainerName);
  runner.blinkerFlag = Cut(se, SE::BlinkerFlag);
  runner.apprenticeCode = Cut(se, SE::ApprenticeCode);
}

// Whether an existing file can be opened for reading; the entry-file reader only says whether
// a record was there, so an unreadable file is found here and reported.
bool CanOpen(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return static_cast<bool>(in);
}

}  // namespace

int RunnerPositionsOf(const RaceSlot& slot) {
  return std::clamp(ReadNumber(slot.runnerCount), 0, kRunnerPositions);
}

std::vector<SjisString> MakeDateList(const fs::path& dataDir) {
  std::vector<SjisString> names;
  std::error_code ec;
  for (auto it = fs::directory_iterator(dataDir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code typeEc;
    if (!it->is_regular_file(typeEc)) continue;
    const std::string name = Utf8Text(it->path().filename());
    if (!MatchesExtension(name, kDayFileSuffix)) continue;
    names.push_back(Utf8ToSjis(name));
  }
  std::sort(names.begin(), names.end());
  std::vector<SjisString> dates;
  dates.reserve(names.size());
  for (auto it = names.rbegin(); it != names.rend(); ++it)
    dates.push_back(it->substr(0, std::min(it->size(), kDateKeyLength)));
  return dates;
}

void ClearRaceSlots(LoadedMeeting& meeting) {
  for (auto& slot : meeting.raceSlots) slot = RaceSlot{};
}

fs::path DayFilePathFor(const fs::path& dataDir, std::string_view dateText) {
  return dataDir / SjisPath(DateFileName(dateText, kDayFileSuffix));
}

fs::path EntryFilePathFor(const fs::path& dayFile, std::string_view raRecord) {
  const SjisString course = CourseName(Cut(raRecord, Header::CourseCode), 2);
  return dayFile.parent_path() /
         SjisPath(DateFileName(FileDateKey(dayFile), course + std::string(kEntryFileSuffix)));
}

namespace {

MeetingLoadResult ReadSelectedMeeting(LoadedMeeting& meeting) {
  meeting.loadSucceeded = true;
  const fs::path& dayFile = meeting.selectedRaceFile;
  if (!FileExists(dayFile)) {
    meeting.loadSucceeded = false;
    return {MeetingLoadResult::Outcome::DayFileMissing, {}};
  }

  for (auto& race : meeting.raceTable) race = BlankRace();
  for (auto& runners : meeting.runnerTable)
    for (auto& runner : runners) runner = BlankRunner();

  std::vector<std::string> records;
  if (FileStatus st = ReadDayRecords(dayFile, records, kMeetingRaces); !st) {
    meeting.loadedRaceCount = 0;
    return {MeetingLoadResult::Outcome::Failed, st};
  }
  const int count = std::min(static_cast<int>(records.size()), kMeetingRaces);

  // Whether each course's entry file exists, looked up once per load.
  std::map<fs::path, bool> entryFiles;
  for (int r = 0; r < count; ++r) {
    meeting.raceTable[r] = std::move(records[r]);
    const std::string& ra = meeting.raceTable[r];
    const fs::path entryFile = EntryFilePathFor(dayFile, ra);
    auto [known, inserted] = entryFiles.try_emplace(entryFile, false);
    if (inserted) {
      known->second = FileExists(entryFile);
      if (known->second && !CanOpen(entryFile)) {
        meeting.loadedRaceCount = r;
        return {MeetingLoadResult::Outcome::Failed,
                FileStatus::Fail(FileError::Open, PathText(entryFile))};
      }
    }
    if (!known->second) continue;
    // Only races 1 to 12 and horse numbers 1 to 18 have lines in an entry file.
    const int runners = std::clamp(ReadNumber(Cut(ra, RA::RunnerCount)), 0, kRunnerPositions);
    const int race = ReadNumber(Cut(ra, Header::RaceNumber));
    if (race < 1 || race > kEntryLines / kRunnerPositions) continue;
    for (int i = 0; i < runners; ++i) {
      std::string se;
      if (ReadEntryRecord(entryFile, (race - 1) * kRunnerPositions + i, se))
        meeting.runnerTable[r][i] = std::move(se);
    }
  }
  meeting.loadedRaceCount = count;

  for (int r = 0; r < count; ++r)
    FillRaceSlot(meeting.raceSlots[r], meeting.raceTable[r], meeting.runnerTable[r]);
  return {};
}

}  // namespace

MeetingLoadResult LoadMeeting(LoadedMeeting& meeting, const fs::path& dataDir,
                              std::string_view dateText, const std::function<void()>& beforeRead) {
  ClearRaceSlots(meeting);
  meeting.selectedRaceFile = DayFilePathFor(dataDir, dateText);
  if (beforeRead) beforeRead();
  return ReadSelectedMeeting(meeting);
}

void FillRaceSlot(RaceSlot& slot, std::string_view ra,
                  const std::array<std::string, kRunnerPositions>& runnerRecords) {
  slot.raceKey = Cut(ra, Header::Year) + Cut(ra, Header::MonthDay) + Cut(ra, Header::CourseCode) +
                 Cut(ra, Header::MeetingNumber) + Cut(ra, Header::DayNumber) +
                 Cut(ra, Header::RaceNumber);
  slot.raceName = Cut(ra, RA::RaceName);
  slot.shortRaceName = Cut(ra, RA::ShortRaceName);
  slot.gradeCode = Cut(ra, RA::GradeCode);
  slot.weightRuleCode = Cut(ra, RA::WeightRuleCode);
  slot.raceConditionCode = Cut(ra, RA::RaceConditionCode);
  slot.distance = Cut(ra, RA::Distance);
  slot.trackCode = Cut(ra, RA::TrackCode);
  slot.postTime = Cut(ra, RA::PostTime);
  slot.runnerCount = Cut(ra, RA::RunnerCount);
  const int n = RunnerPositionsOf(slot);
  for (int i = 0; i < n; ++i) FillRunnerSlot(slot.runners[i], runnerRecords[i]);
}

SjisString RaceListItem(std::string_view raceKey) {
  char number[16];
  std::snprintf(number, sizeof number, "%2d", ReadNumber(Cut(raceKey, RaceKeyPart::RaceNumber)));
  return CourseName(Cut(raceKey, RaceKeyPart::CourseCode), 2) + number + "R";
}

std::vector<RaceListEntry> RaceListItems(const LoadedMeeting& meeting) {
  std::vector<RaceListEntry> items;
  for (int r = 0; r < kMeetingRaces; ++r) {
    if (TrimBlanks(Cut(meeting.raceTable[r], Header::Year)).empty()) continue;
    items.push_back({r, RaceListItem(meeting.raceSlots[r].raceKey)});
  }
  return items;
}

const SjisString& MissingDayFileMessage() {
  static const SjisString message = Sj("データ作成が未完了のようです。");
  return message;
}

bool IsToday(const Clock& clock, std::string_view dateText) {
  return DateKey(clock.Now()) == dateText;
}

SjisString MeetingTrayTip(std::string_view dateText) {
  static const SjisString prefix = Sj("開催日：");
  return prefix + SjisString(dateText);
}

}  // namespace tavolen
