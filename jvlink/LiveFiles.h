// The day's live items in the Data folder, beside its day file and change files: the latest
// body weights of each race (".jvWH", one merged WH record per race), the latest result stage
// of each runner (".jvRS", one SE record per runner) and the payouts of each race (".jvHR", one
// HR record per race). Code page 932, CR LF, lines in race-key order; every file is written
// whole through WriteFileAtomic and only when it changes.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"

namespace tavolen {

inline constexpr std::string_view kWeightFileSuffix = ".jvWH";
inline constexpr std::string_view kResultFileSuffix = ".jvRS";
inline constexpr std::string_view kPayoutFileSuffix = ".jvHR";

// The stored live items of a day: lines without CR LF, by race key (16 bytes, positions
// 12-27) and, for results, race key and horse number (2 digits).
// Found by a key in place (std::less<>): a check looks up hundreds of keys it never keeps.
using LiveLines = std::map<std::string, std::string, std::less<>>;
struct LiveDay {
  LiveLines weights;
  LiveLines results;
  LiveLines payouts;
  bool empty() const { return weights.empty() && results.empty() && payouts.empty(); }
};

// The live files beside dayFile. A missing file is empty; a file that exists but cannot be read
// is a failure, so that it is never written over.
FileStatus ReadLiveDay(const std::filesystem::path& dayFile, LiveDay& day);

// A day's live files while records come in: the records are merged in memory, Save writes the
// files that changed.
class LiveStore {
 public:
  // raceTable: the day's RA records; only their races are stored.
  LiveStore(std::filesystem::path dayFile, const std::vector<std::string>& raceTable);

  // Reads what is stored; false (with the status) when a file cannot be read.
  FileStatus Load();
  // Takes stored as what the files hold (read a moment ago by the caller).
  void Load(LiveDay stored);
  // Gives the merged day away; the store is empty after it.
  LiveDay Release() { return std::move(day_); }
  enum class Take { Stored, Ignored, Skipped };
  // Merges one delivered record (CR LF included). Ignored: a record this store does not keep
  // (another type, an entry-stage SE). Skipped: a record of another day, of a race the day
  // does not have, or malformed; why says so for the error log.
  Take Add(std::string_view record, SjisString& why);
  // Writes the files that changed since Load.
  FileStatus Save();
  const LiveDay& day() const { return day_; }
  // Records merged into the stored day since Load (an unchanged record does not count).
  int changed() const { return changed_; }

 private:
  std::filesystem::path dayFile_;
  using RaceKeyBytes = std::array<char, 16>;
  bool HasRace(std::string_view raceKey) const;

  std::string date_;                 // yyyymmdd
  std::vector<RaceKeyBytes> races_;  // race keys of the day, sorted
  LiveDay day_;
  std::array<bool, 3> dirty_{};  // weights, results, payouts changed since Load or Save
  int changed_ = 0;
};

// Merges a newer WH line into a stored one of the same race: each horse number takes the slot
// of the later announcement (the newer on equal time), horses the newer leaves out keep theirs;
// the slots are ordered by horse number. Either may be empty.
std::string MergeWeightLines(std::string_view stored, std::string_view incoming);

}  // namespace tavolen
