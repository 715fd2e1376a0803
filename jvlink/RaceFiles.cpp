#include "jvlink/RaceFiles.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "jvlink/DateFiles.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

constexpr size_t kDayLine = kDayLineLength;
constexpr size_t kEntryLine = kEntryLineLength;
constexpr size_t kEntryRecord = kEntryLineLength + 2;
constexpr int kRacesPerCourse = 12;
constexpr int kHorsesPerRace = 18;

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

// The data division read as a number must be 1 to 6.
bool AcceptedDivision(std::string_view record) {
  const int k = ReadNumber(Cut(record, Header::DataDivision));
  return k >= 1 && k <= 6;
}

// A delivered record of the exact length, whose stored form (without CR LF) holds no line
// break that would split it when the file is loaded again.
bool WholeRecord(std::string_view record, int length) {
  return record.size() == static_cast<size_t>(length) &&
         !HasLineBreak(record.substr(0, record.size() - 2));
}

StoreResult Rejected() {
  return {};
}

StoreResult Failed(FileStatus why) {
  StoreResult r;
  r.outcome = StoreResult::Outcome::Failed;
  r.status = std::move(why);
  return r;
}

StoreResult Stored(SjisString listLine) {
  StoreResult r;
  r.outcome = StoreResult::Outcome::Stored;
  r.listLine = std::move(listLine);
  return r;
}

FileStatus Save(const fs::path& dataDir, const fs::path& path, std::string_view bytes) {
  if (FileStatus st = EnsureFolder(dataDir); !st) return st;
  return WriteFileAtomic(path, bytes);
}

// True when the text is exactly 216 lines of 553 bytes, each ended by CR LF.
bool IsWellFormedEntryFile(std::string_view text) {
  if (text.size() != kEntryLines * kEntryRecord) return false;
  for (size_t i = 0; i < static_cast<size_t>(kEntryLines); ++i) {
    const char* line = text.data() + i * kEntryRecord;
    if (line[kEntryLine] != '\r' || line[kEntryLine + 1] != '\n') return false;
    if (std::memchr(line, '\r', kEntryLine) || std::memchr(line, '\n', kEntryLine)) return false;
  }
  return true;
}

// An entry file that lost its shape (edited by hand, cut short, lines of the wrong length):
// lines 0-215 of the right length keep their place, every other place becomes a blank slot.
// A runner line beyond line 215 moves to its own slot when that slot is blank, so no runner
// line that can be read is lost.
std::string RepairedEntryFile(std::string_view text) {
  const Lines loaded = SplitLines(text);
  const std::string blankSlot(kEntryLine, ' ');
  Lines lines(kEntryLines, blankSlot);
  for (size_t i = 0; i < loaded.size() && i < lines.size(); ++i)
    if (loaded[i].size() == kEntryLine) lines[i] = loaded[i];
  for (size_t i = lines.size(); i < loaded.size(); ++i) {
    const std::string& line = loaded[i];
    if (line.size() != kEntryLine || Cut(line, Header::RecordType) != "SE") continue;
    const int r = ReadNumber(Cut(line, Header::RaceNumber));
    const int h = ReadNumber(Cut(line, SE::HorseNumber));
    if (r < 1 || r > kRacesPerCourse || h < 1 || h > kHorsesPerRace) continue;
    std::string& slot = lines[static_cast<size_t>((r - 1) * kHorsesPerRace + (h - 1))];
    if (TrimBlanks(slot).empty()) slot = line;
  }
  return JoinLinesCrLf(lines);
}

std::string NewEntryFile() {
  std::string line(kEntryLine, ' ');
  line += "\r\n";
  std::string text;
  text.reserve(kEntryLines * kEntryRecord);
  for (int i = 0; i < kEntryLines; ++i) text += line;
  return text;
}

}  // namespace

SjisString DayFileName(std::string_view record) {
  const SjisString key = RecordDateKey(record);
  if (key.empty()) return {};
  return DateFileName(key, kDayFileSuffix);
}

SjisString EntryFileName(std::string_view record) {
  const SjisString key = RecordDateKey(record);
  if (key.empty()) return {};
  const SjisString course = CourseName(Cut(record, Header::CourseCode), 2);
  if (course.empty()) return {};
  return DateFileName(key, course + std::string(kEntryFileSuffix));
}

StoreResult StoreRaRecord(const fs::path& dataDir, std::string_view record) {
  if (Cut(record, Header::RecordType) != "RA" || !AcceptedDivision(record)) return Rejected();
  const int race = ReadNumber(Cut(record, Header::RaceNumber));
  // A race beyond the twelfth has no runner slots and would crowd out a real race from the
  // 36 records the meeting load reads.
  if (race < 1 || race > kRacesPerCourse) return Rejected();
  if (!WholeRecord(record, RA::kLength)) return Rejected();
  const SjisString name = DayFileName(record);
  if (name.empty()) return Rejected();

  const SjisString line = OverwriteAt(record.substr(0, kDayLine), "000000000", 3);
  const std::string raceKey = Cut(record, Header::RaceKey);
  const fs::path path = dataDir / SjisPath(name);

  Lines lines;
  if (FileExists(path)) {
    std::string text;
    if (FileStatus st = ReadWholeFile(path, text); !st) return Failed(st);
    // Only lines of the record length can be read back as records; any other line would
    // shift every record after it, so it is left out.
    for (auto& l : SplitLines(text))
      if (l.size() == kDayLine) lines.push_back(std::move(l));
  }
  auto sameRace = [&](const std::string& l) { return Cut(l, Header::RaceKey) == raceKey; };
  auto same = std::find_if(lines.begin(), lines.end(), sameRace);
  if (same != lines.end()) {
    *same = line;
    // A file that came to hold more than one line of the race keeps only the new one.
    lines.erase(std::remove_if(std::next(same), lines.end(), sameRace), lines.end());
  } else {
    lines.push_back(line);
  }
  std::stable_sort(lines.begin(), lines.end());
  if (!lines.empty() && TrimBlanks(lines.front()).empty()) lines.erase(lines.begin());

  if (FileStatus st = Save(dataDir, path, JoinLinesCrLf(lines)); !st) return Failed(st);
  static const SjisString made = Sj("作成済み:");
  return Stored(made + Cut(record, Header::RaceNumber) + "R/" + name);
}

StoreResult StoreSeRecord(const fs::path& dataDir, std::string_view record) {
  if (Cut(record, Header::RecordType) != "SE" || !AcceptedDivision(record)) return Rejected();
  const SjisString name = EntryFileName(record);
  if (name.empty()) return Rejected();
  const int race = ReadNumber(Cut(record, Header::RaceNumber));
  const int horse = ReadNumber(Cut(record, SE::HorseNumber));
  if (race < 1 || race > kRacesPerCourse || horse < 1 || horse > kHorsesPerRace) return Rejected();
  if (!WholeRecord(record, SE::kLength)) return Rejected();

  const fs::path path = dataDir / SjisPath(name);
  std::string text;
  if (FileExists(path)) {
    if (FileStatus st = ReadWholeFile(path, text); !st) return Failed(st);
    if (!IsWellFormedEntryFile(text)) text = RepairedEntryFile(text);
  } else {
    text = NewEntryFile();
  }
  const size_t slot = static_cast<size_t>((race - 1) * kHorsesPerRace + (horse - 1));
  text.replace(slot * kEntryRecord, kEntryLine, record.substr(0, kEntryLine));

  if (FileStatus st = Save(dataDir, path, text); !st) return Failed(st);
  static const SjisString made = Sj("作成済み:"), number = Sj("番/");
  return Stored(made + Cut(record, Header::RaceNumber) + "R/" + Cut(record, SE::HorseNumber) +
                number + name);
}

FileStatus ReadDayRecords(const fs::path& dayFile, std::vector<std::string>& records,
                          int maxRecords) {
  records.clear();
  std::string text;
  if (FileStatus st = ReadWholeFile(dayFile, text); !st) return st;
  const size_t size = static_cast<size_t>(RA::kLength);
  const size_t count = std::min(text.size() / size, static_cast<size_t>(std::max(maxRecords, 0)));
  records.reserve(count);
  for (size_t i = 0; i < count; ++i) records.push_back(text.substr(i * size, size));
  return FileStatus::Ok();
}

bool ReadEntryRecord(const fs::path& entryFile, int slot, std::string& record) {
  record.clear();
  if (slot < 0 || slot >= kEntryLines) return false;
  std::ifstream in(entryFile, std::ios::binary);
  if (!in) return false;
  std::string buf(kEntryRecord, '\0');
  in.seekg(static_cast<std::streamoff>(slot) * static_cast<std::streamoff>(kEntryRecord));
  if (!in || !in.read(buf.data(), static_cast<std::streamsize>(buf.size()))) return false;
  record = std::move(buf);
  return true;
}

}  // namespace tavolen
