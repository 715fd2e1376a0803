// The stand-in's feed folder: files of JV-Data records that it serves as JV-Link would serve
// the files of the data service. See standin/README.md for the format.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jvlink/Clock.h"
#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"

namespace tavolen {

// What a feed file is served for: race data ("RACE"), change data ("0B14") or the live items
// ("0B11" its WH records, "0B12" the others).
enum class FeedKind { Other, Race, Change, Live };

// A feed file as listed, before it is read.
struct FeedEntry {
  std::string name;  // file name, as on disk (UTF-8)
  fs::path path;
  std::string stamp;  // "yyyymmddhhnnss"
  unsigned long long size = 0;
  long long modified = 0;  // modification time, nanoseconds

  // Whether the file is the same as when `other` was listed.
  bool SameFile(const FeedEntry& other) const {
    return path == other.path && size == other.size && modified == other.modified;
  }
};

// A feed file as read.
struct FeedFile {
  FeedEntry entry;
  FeedKind kind = FeedKind::Other;
  std::string bytes;                // the file as read
  std::vector<SjisString> records;  // every record, each ending in CR LF
};

// The ending that marks a feed file.
inline constexpr std::string_view kFeedExtension = ".jvd";
// The fault-injection file of a feed folder.
inline constexpr std::string_view kFaultFileName = "faults.txt";

// The first run of exactly 14 digits in a file name that is a valid date and time, or "".
std::string FeedStampFromName(std::string_view name);

// The records of a file's bytes: one per line (CR LF, LF or CR), lines of blanks skipped,
// each returned with CR LF.
std::vector<SjisString> SplitRecords(std::string_view bytes);

bool IsChangeRecord(std::string_view record);  // WE, AV, JC, TC or CC
bool IsRaceRecord(std::string_view record);    // RA or SE
bool IsLiveRecord(std::string_view record);    // WH or HR

// A file holding any change record serves "0B14"; otherwise one holding WH or HR serves "0B11"
// and "0B12"; otherwise one holding RA or SE serves "RACE".
FeedKind ClassifyRecords(const std::vector<SjisString>& records);

// Every "*.jvd" file of the folder, ordered by time stamp and then name. A file's stamp comes
// from its name, or else from its modification time.
std::vector<FeedEntry> ListFeed(const fs::path& folder);

// Reads and classifies one listed file; false when it cannot be read.
bool ReadFeedFile(const FeedEntry& entry, FeedFile& out);

// The eight-digit announcement stamp (month, day, hour, minute) of a change record: WE
// positions 26-33, the other four 28-35.
std::string AnnouncementStamp(std::string_view record);

// Whether a change record has been announced by `now`. "00000000" (a day's initial state) and a
// stamp that is not eight digits count as announced. The stamp's year is the race day's,
// except across a year end (a December stamp for a January day).
bool AnnouncedBy(std::string_view record, const LocalDateTime& now);

}  // namespace tavolen
