#include "jvlink/ChangeFiles.h"

#include <algorithm>

#include "jvlink/JVData_Structure.h"
#include "jvlink/Sjis.h"
#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

unsigned char FoldCase(unsigned char c) {
  return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

// The identity key of a line of the given type; JC lines are their own key.
std::string IdentityKey(ChangeType type, std::string_view line) {
  switch (type) {
    case ChangeType::WE:
      return Cut(line, WE::Key);
    case ChangeType::AV:
      return Cut(line, Header::RaceKey) + Cut(line, AV::HorseNumber);
    case ChangeType::TC:
    case ChangeType::CC:
      return Cut(line, Header::RaceKey);
    case ChangeType::JC:
      break;
  }
  return std::string(line);
}

// The stored line of a record: the record without its CR LF. Fixed-size types must have
// their exact size, since the change evaluation reads those files as fixed-size records; a WE
// line must at least hold its identity key.
bool LineOf(ChangeType type, std::string_view record, std::string& line) {
  if (record.size() < 2 || record.substr(record.size() - 2) != "\r\n") return false;
  std::string_view body = record.substr(0, record.size() - 2);
  if (HasLineBreak(body)) return false;
  const int size = ChangeRecordSize(type);
  if (size > 0 ? record.size() != static_cast<size_t>(size)
               : body.size() < static_cast<size_t>(WE::Key.pos + WE::Key.len - 1))
    return false;
  line.assign(body);
  return true;
}

void SortLines(Lines& lines) {
  std::stable_sort(lines.begin(), lines.end(),
                   [](const std::string& a, const std::string& b) { return ChangeLineLess(a, b); });
}

void InsertSorted(Lines& lines, std::string line) {
  auto at = std::upper_bound(
      lines.begin(), lines.end(), line,
      [](const std::string& a, const std::string& b) { return ChangeLineLess(a, b); });
  lines.insert(at, std::move(line));
}

}  // namespace

std::optional<ChangeType> ChangeTypeOf(std::string_view record) {
  const std::string_view type = record.substr(0, std::min<size_t>(record.size(), 2));
  if (type == "WE") return ChangeType::WE;
  if (type == "AV") return ChangeType::AV;
  if (type == "JC") return ChangeType::JC;
  if (type == "TC") return ChangeType::TC;
  if (type == "CC") return ChangeType::CC;
  return std::nullopt;
}

int ChangeRecordSize(ChangeType type) {
  switch (type) {
    case ChangeType::AV:
      return AV::kLength;
    case ChangeType::JC:
      return JC::kLength;
    case ChangeType::TC:
      return TC::kLength;
    case ChangeType::CC:
      return CC::kLength;
    case ChangeType::WE:
      break;
  }
  return 0;
}

bool ChangeLineLess(std::string_view a, std::string_view b) {
  // Letters are folded only outside double-byte characters: a trail byte in 0x41-0x7A is
  // part of a kanji or kana, not a letter. Both texts are equal up to the first difference,
  // so their character boundaries agree there.
  const size_t n = std::min(a.size(), b.size());
  bool trail = false;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    const unsigned char fx = trail ? x : FoldCase(x);
    const unsigned char fy = trail ? y : FoldCase(y);
    if (fx != fy) return fx < fy;
    trail = !trail && IsSjisLeadByte(x);
  }
  return a.size() < b.size();
}

StoreResult StoreChangeRecord(const fs::path& dataDir, std::string_view record) {
  const std::optional<ChangeType> type = ChangeTypeOf(record);
  if (!type) return {};
  const SjisString dateKey = RecordDateKey(record);
  if (dateKey.empty()) return {};
  std::string line;
  if (!LineOf(*type, record, line)) return {};

  const fs::path path = dataDir / SjisPath(DateFileName(dateKey, ChangeExtension(*type)));

  StoreResult result;
  Lines lines;
  std::string text;  // the file as it was; stays empty for a new file
  if (!FileExists(path)) {
    lines.push_back(std::move(line));
  } else {
    if (FileStatus st = ReadWholeFile(path, text); !st) {
      result.outcome = StoreResult::Outcome::Failed;
      result.status = st;
      return result;
    }
    lines = SplitLines(text);
    if (*type == ChangeType::JC) {
      SortLines(lines);
      if (std::find(lines.begin(), lines.end(), line) == lines.end())
        InsertSorted(lines, std::move(line));
    } else {
      const std::string key = IdentityKey(*type, line);
      auto same = std::find_if(lines.begin(), lines.end(),
                               [&](const std::string& l) { return IdentityKey(*type, l) == key; });
      if (same != lines.end()) {
        *same = std::move(line);
      } else if (*type == ChangeType::WE) {
        lines.push_back(std::move(line));
      } else {
        SortLines(lines);
        InsertSorted(lines, std::move(line));
      }
    }
    if (*type == ChangeType::WE) SortLines(lines);
  }
  if (*type != ChangeType::WE && !lines.empty() && TrimBlanks(lines.front()).empty())
    lines.erase(lines.begin());

  // The service sends the whole day at every fetch, so most records are already stored as
  // they are: a file that would not change is not written again.
  const std::string merged = JoinLinesCrLf(lines);
  if (!text.empty() && merged == text) {
    result.outcome = StoreResult::Outcome::Stored;
    return result;
  }
  FileStatus st = EnsureFolder(dataDir);
  if (st) st = WriteFileAtomic(path, merged);
  if (!st) {
    result.outcome = StoreResult::Outcome::Failed;
    result.status = st;
    return result;
  }
  result.outcome = StoreResult::Outcome::Stored;
  return result;
}

RenewStamps ReadRenewFile(const fs::path& renewFile) {
  RenewStamps stamps;
  std::string text;
  if (!FileExists(renewFile) || !ReadWholeFile(renewFile, text)) return stamps;
  Lines lines = SplitLines(text);
  if (lines.size() != stamps.size()) return stamps;
  for (size_t i = 0; i < stamps.size(); ++i) stamps[i] = std::move(lines[i]);
  return stamps;
}

FileStatus WriteRenewFile(const fs::path& renewFile, const RenewStamps& stamps) {
  // A stamp with a line break in it would change the number of lines and void the file.
  for (const auto& s : stamps)
    if (HasLineBreak(s)) return FileStatus::Fail(FileError::RenewText, PathText(renewFile));
  return WriteFileAtomic(renewFile, JoinLinesCrLf(Lines(stamps.begin(), stamps.end())));
}

}  // namespace tavolen
