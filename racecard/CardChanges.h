// The day's changes marked on the race card (an option; off, the card shows the runners as
// entered): scratched and excluded runners, jockey changes, a new post time and a course
// change of the race shown, read from the day's change files. Pure C++.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"
#include "racecard/Meeting.h"
#include "racecard/RaceCard.h"

namespace tavolen {

// The lines of a day's scratch, jockey, post-time and course change files.
struct DayChangeLines {
  std::vector<std::string> scratches, jockeys, postTimes, courses;
};

// The change files of the day of a race file: its path with ".jvAV", ".jvJC", ".jvTC" and
// ".jvCC" in place of its extension. A missing or unreadable file gives no lines.
DayChangeLines ReadDayChangeLines(const fs::path& selectedRaceFile);

enum class Scratch { None, Scratched, Excluded };  // 出走取消, 競争除外

struct RunnerChange {
  Scratch scratch = Scratch::None;
  SjisString newJockey;  // the jockey after the latest change, as shown; empty: no change
};

struct RaceChanges {
  std::array<RunnerChange, kRunnerPositions> runners;  // by horse number - 1
  SjisString newPostTime;                              // "hhmm"; empty: no change
  SjisString newDistance;                              // metres, 4 digits; empty: no change
  SjisString newTrackCode;                             // empty: no change

  bool Any() const;
};

// The changes of the race with the 16-character race key. Where a runner or race has several
// records, the one announced last counts (the later line on equal stamps); records of other
// races, and horse numbers outside 1-18, are left out.
RaceChanges ChangesOfRace(std::string_view raceKey, const DayChangeLines& day);

// "取消" or "除外", the mark of a scratched or excluded runner; empty for none.
SjisString ScratchMark(Scratch scratch);

// The header labels with the race's changes: a new post time in Label3D9, a course change in
// Label3D7 (track) and Label3D8 (distance). changed[i] tells which labels now differ from the
// race as entered.
struct ChangedHeader {
  std::array<SjisString, kHeaderLabels> labels;
  std::array<bool, kHeaderLabels> changed{};
};
ChangedHeader HeaderWithChanges(const std::array<SjisString, kHeaderLabels>& labels,
                                const RaceChanges& changes);

}  // namespace tavolen
