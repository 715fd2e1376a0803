// Race files in the Data folder: one day file of RA records per date and one entry file of SE
// records per date and course, and the two store operations that write them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"

namespace tavolen {

inline constexpr int kDayLineLength = 1270;   // an RA record without CR LF
inline constexpr int kEntryLineLength = 553;  // an SE record without CR LF
inline constexpr int kEntryLines = 216;       // 12 races x 18 horse numbers
inline constexpr int kMaxRacesPerDay = 36;

// The outcome of storing one record.
struct StoreResult {
  enum class Outcome { Stored, Rejected, Failed };
  Outcome outcome = Outcome::Rejected;
  SjisString listLine;  // Stored: the "作成済み:..." line for the list of stored records
  FileStatus status;    // Failed: why, for the general error box

  bool stored() const { return outcome == Outcome::Stored; }
  bool failed() const { return outcome == Outcome::Failed; }
};

// The day-file name "yyyy年mm月dd日.jvRA" of an RA or SE record; empty when positions 12-19
// are not all digits (such a record is never stored).
SjisString DayFileName(std::string_view record);
// The entry-file name "yyyy年mm月dd日" + course name + ".jvSEr"; empty when the date is not
// digits or the course code is unknown.
SjisString EntryFileName(std::string_view record);

// Store one delivered record (CR LF included) into the race files under dataDir. A record of
// another type, a data division outside 1-6 or a race/horse number outside the file's range
// is Rejected; a file that cannot be written is Failed and every file stays as it was.
StoreResult StoreRaRecord(const fs::path& dataDir, std::string_view record);
StoreResult StoreSeRecord(const fs::path& dataDir, std::string_view record);

// The whole 1272-byte records (CR LF included) of a day file, at most maxRecords; a trailing
// part shorter than a record is ignored.
FileStatus ReadDayRecords(const fs::path& dayFile, std::vector<std::string>& records,
                          int maxRecords = kMaxRacesPerDay);
// The 555-byte record at slot n of an entry file; false when the file has no whole record
// there.
bool ReadEntryRecord(const fs::path& entryFile, int slot, std::string& record);

}  // namespace tavolen
