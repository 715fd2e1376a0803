// The demo race day: a complete, valid and deterministic JRA race day written as feed files
// (race records, runner records and the day's change records), so that the program can be
// run and shown without the data service.
#pragma once

#include <string>
#include <vector>

#include "jvlink/Clock.h"
#include "jvlink/FileIO.h"

namespace tavolen {

struct DemoFile {
  std::string name;   // feed file name
  std::string bytes;  // code page 932 records, CR LF
};

struct DemoDayOptions {
  // The announcement times of the day's changes are spread from the first to the last
  // minute of the day given here (minutes after midnight, 0..1439).
  int firstChangeMinute = 8 * 60 + 40;
  int lastChangeMinute = 16 * 60 + 20;
  // The first post time of the first course (minutes after midnight); the other courses start
  // ten and twenty minutes later.
  int firstPostMinute = 9 * 60 + 50;
};

// Changes that start three minutes after `now` and are spread over the following four hours
// (ending by 23:59), so that someone who starts the program sees them arrive; before 08:50 the
// races start an hour after `now` instead of at 09:50, so that the automatic check (from one
// hour plus one interval before the first race) begins at once.
DemoDayOptions DemoOptionsFrom(const LocalDateTime& now);

// The race day of date (its time of day is not used). The race data is the same for a date
// every time; only the change times follow the options. Files: per course one of RA records
// (1272 bytes) and one of SE records (555 bytes), stamped 17:00 of the previous day, the files
// of change records published after their announcement (named after the minute they are
// made), and last one file of the day's change records (WE, AV, JC, TC, CC, with an updated RA
// after a course change).
std::vector<DemoFile> GenerateDemoDay(const LocalDateTime& date,
                                      const DemoDayOptions& options = {});

// The frame (1-8) of a horse number in a field of `runners`, as JRA assigns frames: with up to
// eight runners each has its own frame; with more, the higher frames take the extra horses.
int JraFrameNumber(int horse, int runners);

// The name of the demo day's change file, which is written last: its presence marks a
// complete demo day in a feed folder.
std::string DemoChangeFileName(const LocalDateTime& date);
bool HasDemoDay(const fs::path& feedFolder, const LocalDateTime& date);

// Writes the demo day into feedFolder (which must exist), each file atomically, the change
// file last.
FileStatus WriteDemoDay(const fs::path& feedFolder, const LocalDateTime& date,
                        const DemoDayOptions& options = {});

}  // namespace tavolen
