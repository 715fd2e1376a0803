#include "jvlink/LiveFiles.h"

#include <algorithm>
#include <cstring>

#include "jvlink/DateFiles.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/LiveRecords.h"
#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

using Files = LiveLines LiveDay::*;

struct LiveFile {
  std::string_view suffix;
  Files lines;
  bool runner;  // keyed by race and horse number
};
constexpr LiveFile kFiles[] = {{kWeightFileSuffix, &LiveDay::weights, false},
                               {kResultFileSuffix, &LiveDay::results, true},
                               {kPayoutFileSuffix, &LiveDay::payouts, false}};

// The race key and, for a runner, its horse number; a line too short reads as blanks there.
std::string KeyOf(std::string_view line, bool runner) {
  std::string key;
  key.reserve(Header::RaceKey.len + SE::HorseNumber.len);
  AppendCut(key, line, Header::RaceKey);
  if (runner) AppendCut(key, line, SE::HorseNumber);
  return key;
}

// The order of a result stage or payout kind: a later stage replaces an earlier one, never the
// other way round; a race cancelled (9) stays cancelled.
int Rank(std::string_view kubun) {
  if (kubun == "9") return 10;
  return AllDigits(kubun) ? kubun[0] - '0' : -1;
}

// Race keys in byte order, compared whole rather than character by character.
bool KeyBefore(const std::array<char, 16>& a, const std::array<char, 16>& b) {
  return std::memcmp(a.data(), b.data(), a.size()) < 0;
}

std::string Slot(std::string_view line, int i) {
  return Cut(line, WH::kFirstSlot + WH::kSlotSize * i, WH::kSlotSize);
}

}  // namespace

std::string MergeWeightLines(std::string_view stored, std::string_view incoming) {
  if (stored.empty()) stored = incoming;
  if (incoming.empty()) incoming = stored;
  const bool newer = Cut(incoming, WH::Announced) >= Cut(stored, WH::Announced);
  std::string_view later = newer ? incoming : stored, earlier = newer ? stored : incoming;
  std::map<int, std::string> slots;
  for (std::string_view line : {earlier, later})
    for (int i = 0; i < WH::kSlots; ++i) {
      std::string slot = Slot(line, i);
      const std::string number = Cut(slot, WH::HorseNumber);
      if (AllDigits(number) && ReadNumber(number) > 0) slots[ReadNumber(number)] = std::move(slot);
    }
  std::string merged = Cut(later, 1, WH::kFirstSlot - 1);
  for (const auto& [number, slot] : slots) merged += slot;
  merged.resize(WH::kLength - 2, ' ');
  return merged;
}

FileStatus ReadLiveDay(const std::filesystem::path& dayFile, LiveDay& day) {
  day = {};
  for (const LiveFile& f : kFiles) {
    const auto path = SiblingDateFile(dayFile, f.suffix);
    if (path.empty() || !FileExists(path)) continue;
    std::string text;
    if (FileStatus st = ReadWholeFile(path, text); !st) return st;
    // The files are written in key order: each line goes in at the end, a repeated key's later
    // line replaces the earlier one.
    LiveLines& lines = day.*f.lines;
    ForEachLine(text, [&](std::string_view line) {
      if (!TrimBlanks(line).empty())
        lines.insert_or_assign(lines.end(), KeyOf(line, f.runner), std::string(line));
    });
  }
  return FileStatus::Ok();
}

LiveStore::LiveStore(std::filesystem::path dayFile, const std::vector<std::string>& raceTable)
    : dayFile_(std::move(dayFile)) {
  races_.reserve(raceTable.size());
  for (const std::string& ra : raceTable) {
    const std::string_view key = CutView(ra, Header::RaceKey);
    if (key.size() != RaceKeyBytes{}.size() || !AllDigits(key)) continue;
    std::copy(key.begin(), key.end(), races_.emplace_back().begin());
  }
  std::sort(races_.begin(), races_.end(), KeyBefore);
  if (!raceTable.empty()) date_ = Cut(raceTable.front(), Header::Date);
}

FileStatus LiveStore::Load() {
  changed_ = 0;
  dirty_ = {};
  return ReadLiveDay(dayFile_, day_);
}

void LiveStore::Load(LiveDay stored) {
  changed_ = 0;
  dirty_ = {};
  day_ = std::move(stored);
}

LiveStore::Take LiveStore::Add(std::string_view record, SjisString& why) {
  why.clear();
  // Read in place: every check brings the same records again, and most are kept as they are.
  const std::string_view type = CutView(record, Header::RecordType);
  const std::string_view kubun = CutView(record, Header::DataDivision);
  size_t length = 0;
  if (type == "WH") {
    length = WH::kLength;
  } else if (type == "HR") {
    length = HR::kLength;
  } else if (type == "SE") {
    if (kubun == "1" || kubun == "2") return Take::Ignored;  // the runners before the race
    length = SE::kLength;
  } else {
    return Take::Ignored;
  }
  const std::string_view raceKey = CutView(record, Header::RaceKey);
  // Named only in the log line of a record skipped.
  const auto what = [&] {
    return std::string(type) + Sj("レコード（") + Cut(record, Header::RaceKey) + Sj("）");
  };
  if (record.size() != length || !record.ends_with("\r\n") ||
      record.substr(0, length - 2).find('\r') != std::string_view::npos ||
      record.substr(0, length - 2).find('\n') != std::string_view::npos || !AllDigits(raceKey) ||
      !AllDigits(kubun)) {
    why = what() + Sj("の形式が正しくないため保存しませんでした。");
    return Take::Skipped;
  }
  if (CutView(record, Header::Date) != date_) {
    why = what() + Sj("は別の開催日のため保存しませんでした。");
    return Take::Skipped;
  }
  if (!HasRace(raceKey)) {
    why = what() + Sj("のレースはこの開催日にないため保存しませんでした。");
    return Take::Skipped;
  }
  if (kubun == "0") {
    // A deletion would take away what was shown: the stored record stays.
    why = what() + Sj("の削除は保存済みの内容を残すため反映しませんでした。");
    return Take::Skipped;
  }
  const std::string_view line = record.substr(0, length - 2);
  if (type == "WH") {
    auto it = day_.weights.find(raceKey);
    std::string merged = MergeWeightLines(it == day_.weights.end() ? "" : it->second, line);
    if (it != day_.weights.end() && merged == it->second) return Take::Stored;
    day_.weights.insert_or_assign(std::string(raceKey), std::move(merged));
  } else {
    // A runner's key: the race key and its horse number, side by side.
    char runner[Header::RaceKey.len + SE::HorseNumber.len];
    const std::string_view horse = CutView(record, SE::HorseNumber);
    std::copy(raceKey.begin(), raceKey.end(), runner);
    std::copy(horse.begin(), horse.end(), runner + raceKey.size());
    const bool paid = type == "HR";
    const std::string_view key = paid ? raceKey : std::string_view(runner, sizeof runner);
    LiveLines& lines = paid ? day_.payouts : day_.results;
    auto it = lines.find(key);
    if (it != lines.end()) {
      const std::string& stored = it->second;
      // An earlier stage, or the same again.
      if (Rank(kubun) < Rank(CutView(stored, Header::DataDivision)) || stored == line)
        return Take::Stored;
      it->second.assign(line);
    } else {
      lines.emplace(std::string(key), std::string(line));
    }
  }
  ++changed_;
  dirty_[type == "WH" ? 0 : type == "SE" ? 1 : 2] = true;
  return Take::Stored;
}

bool LiveStore::HasRace(std::string_view raceKey) const {
  RaceKeyBytes key;
  if (raceKey.size() != key.size()) return false;
  std::copy(raceKey.begin(), raceKey.end(), key.begin());
  return std::binary_search(races_.begin(), races_.end(), key, KeyBefore);
}

FileStatus LiveStore::Save() {
  if (dayFile_.empty()) return FileStatus::Ok();
  for (size_t i = 0; i < std::size(kFiles); ++i) {
    const LiveFile& f = kFiles[i];
    if (!dirty_[i]) continue;
    const auto& lines = day_.*f.lines;
    Lines out;
    out.reserve(lines.size());
    for (const auto& [key, line] : lines) out.push_back(line);
    if (FileStatus st = WriteFileAtomic(SiblingDateFile(dayFile_, f.suffix), JoinLinesCrLf(out));
        !st)
      return st;
    dirty_[i] = false;
  }
  return FileStatus::Ok();
}

}  // namespace tavolen
