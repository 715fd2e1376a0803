// The loaded meeting: the race and runner records of one date read from its race files, the
// race slots filled from them, and the list of dates and races the main window offers.
// Pure C++; the main window's handlers call these operations and show the results.
#pragma once

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/CheckInterval.h"
#include "jvlink/Clock.h"
#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"

namespace tavolen {

inline constexpr int kMeetingRaces = 36;     // three courses of twelve races
inline constexpr int kRunnerPositions = 18;  // horse numbers 1 to 18

// A text field of a race slot with a fixed capacity in bytes: a longer text is cut to the
// capacity. The cut may end inside a double-byte character; the bytes are kept as they are.
template <std::size_t Capacity>
class SlotText {
 public:
  static constexpr std::size_t kCapacity = Capacity;

  SlotText& operator=(std::string_view s) {
    text_.assign(s.substr(0, std::min(s.size(), Capacity)));
    return *this;
  }
  const SjisString& str() const { return text_; }
  operator std::string_view() const { return text_; }
  bool empty() const { return text_.empty(); }
  void clear() { text_.clear(); }

 private:
  SjisString text_;
};

// One runner position of a race slot.
struct RunnerSlot {
  SlotText<3> horseNumber;
  SlotText<2> frameNumber;
  SlotText<11> registrationNumber;
  SlotText<19> horseName;  // the first 19 bytes of the 36-byte name
  SlotText<2> sexCode;
  SlotText<4> carriedWeight;  // tenths of a kilogram, three digits
  SlotText<6> jockeyCode;
  SlotText<9> jockeyName;
  SlotText<6> trainerCode;
  SlotText<9> trainerName;
  SlotText<2> blinkerFlag;
  SlotText<2> apprenticeCode;
};

// The fields of one loaded race and its runner positions 1..18 (index 0..17).
struct RaceSlot {
  SlotText<17> raceKey;  // year, month-day, course, meeting, day number, race number
  SlotText<61> raceName;
  SlotText<7> shortRaceName;
  SlotText<2> gradeCode;
  SlotText<2> weightRuleCode;
  SlotText<4> raceConditionCode;
  SlotText<5> distance;
  SlotText<3> trackCode;
  SlotText<5> postTime;  // hhmm
  SlotText<3> runnerCount;
  std::array<RunnerSlot, kRunnerPositions> runners;
};

// The number of runner positions of a slot that hold runners: its runner count read as a
// number, kept within 0..18 so that a count above 18 or one that is not a number never
// reaches beyond the last runner position.
int RunnerPositionsOf(const RaceSlot& slot);

// The date chosen in the main window, in memory; replaced wholesale by every load.
struct LoadedMeeting {
  // Data folder + date text + ".jvRA"; set by every load, also when the file is missing.
  fs::path selectedRaceFile;
  // 1272-byte RA records as stored in the day file, CR LF included; empty before any load,
  // blank-filled by a load that finds its day file. A blank year field marks an empty record.
  std::array<std::string, kMeetingRaces> raceTable;
  // 555-byte SE records; runnerTable[r][i] holds horse number i + 1 of race record r.
  std::array<std::array<std::string, kRunnerPositions>, kMeetingRaces> runnerTable;
  int loadedRaceCount = 0;
  std::array<RaceSlot, kMeetingRaces> raceSlots;
  int selectedRaceIndex = 0;  // always within 0..35
  bool loadSucceeded = false;
  int checkInterval = kCheckIntervalDefault;

  // The slot at the selected race index.
  const RaceSlot& SelectedSlot() const { return raceSlots[std::clamp(selectedRaceIndex, 0, 35)]; }
};

// The date list: the first 14 bytes (the date key) of the name of every "*.jvRA" file in the
// data folder, newest first (names sorted ascending, listed from the last one). A missing
// folder gives an empty list.
std::vector<SjisString> MakeDateList(const fs::path& dataDir);

// The race slots cleared: every field of the 36 slots empty.
void ClearRaceSlots(LoadedMeeting& meeting);

// Data folder + date text + ".jvRA".
fs::path DayFilePathFor(const fs::path& dataDir, std::string_view dateText);

// The entry file of a race record: the folder of the day file + the first 14 bytes of the
// day file's name + the course name of the record's course code + ".jvSEr".
fs::path EntryFilePathFor(const fs::path& dayFile, std::string_view raRecord);

struct MeetingLoadResult {
  enum class Outcome { Loaded, DayFileMissing, Failed };
  Outcome outcome = Outcome::Loaded;
  FileStatus status;  // Failed: why, for the general error box

  bool loaded() const { return outcome == Outcome::Loaded; }
};

// Loads the meeting of a date, the one path of the program: clear the race slots and name the
// selected race file; run beforeRead (the window shows its progress text and lets pending
// messages run); then blank-fill the tables, read at most 36 race records and the runner
// records of each race from its course's entry file, and fill the race slots. A missing day
// file leaves the tables as they were and clears the load-succeeded flag; a missing entry file
// leaves its races' runners blank.
MeetingLoadResult LoadMeeting(LoadedMeeting& meeting, const fs::path& dataDir,
                              std::string_view dateText,
                              const std::function<void()>& beforeRead = {});

// Fills one race slot from a race record and the runner records of that race.
void FillRaceSlot(RaceSlot& slot, std::string_view raRecord,
                  const std::array<std::string, kRunnerPositions>& runnerRecords);

// A race list item: course name, the race number formatted "%2d", "R" (中山 1R, 東京11R).
SjisString RaceListItem(std::string_view raceKey);

struct RaceListEntry {
  int slot = 0;     // the race slot the item shows
  SjisString text;  // the item text
};

// The race list of the loaded meeting: one item per race record with a non-blank year, in slot
// order. Each item names its slot, so an empty record in the middle of a day file never makes
// an item show another race's card.
std::vector<RaceListEntry> RaceListItems(const LoadedMeeting& meeting);

// "データ作成が未完了のようです。": the chosen date has no day file.
const SjisString& MissingDayFileMessage();

// Whether the date text is today's date key by the clock.
bool IsToday(const Clock& clock, std::string_view dateText);

// The tray icon's tip while a date is shown: "開催日：" + the date text.
SjisString MeetingTrayTip(std::string_view dateText);

}  // namespace tavolen
