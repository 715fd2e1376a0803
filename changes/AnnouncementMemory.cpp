#include "changes/AnnouncementMemory.h"

#include <algorithm>

#include "jvlink/JVData_Structure.h"

namespace tavolen {
namespace {

// Positions 12-40 of a WE record: everything from the course and day to the codes before.
constexpr FieldDef kWeatherIdentity{
    WE::CourseDay.pos, WE::DirtGoingBefore.pos + WE::DirtGoingBefore.len - WE::CourseDay.pos};

bool IsChangeTypeTag(std::string_view s) {
  return s.size() >= 2 && ChangeTypeOf(s.substr(0, 2)).has_value();
}

}  // namespace

std::string ChangeIdentity(ChangeType type, std::string_view record) {
  if (record.ends_with("\r\n")) record.remove_suffix(2);
  // The type comes from the file the record was read from: a damaged record whose own type
  // bytes are no type would otherwise make the whole memory file unreadable, and every change
  // would be announced again at every check.
  static constexpr const char* kTags[] = {"WE", "AV", "JC", "TC", "CC"};
  std::string id = kTags[static_cast<int>(type)];
  if (type == ChangeType::WE) {
    id += Cut(record, kWeatherIdentity);
  } else {
    id += Cut(record, Header::DataDivision);
    const size_t from = static_cast<size_t>(Header::RaceKey.pos - 1);
    if (record.size() > from) id.append(record.substr(from));
  }
  // A line break inside a damaged record would split the memory file's line.
  std::replace_if(
      id.begin(), id.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return id;
}

std::optional<std::unordered_set<std::string>> ParseAnnouncedFile(std::string_view bytes) {
  const Lines lines = SplitLines(bytes);
  if (lines.empty() || lines.front() != kAnnouncedHeader) return std::nullopt;
  std::unordered_set<std::string> ids;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (!IsChangeTypeTag(lines[i])) return std::nullopt;
    ids.insert(lines[i]);
  }
  return ids;
}

std::string AnnouncedFileBytes(const Lines& identities) {
  Lines lines;
  lines.reserve(identities.size() + 1);
  lines.emplace_back(kAnnouncedHeader);
  lines.insert(lines.end(), identities.begin(), identities.end());
  return JoinLinesCrLf(lines);
}

}  // namespace tavolen
