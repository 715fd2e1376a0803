// Fuzzes loading a meeting, with its race list and race cards, from arbitrary day and entry
// files in a scratch Data folder. Chunks (see FuzzSupport.h):
//   D bytes                            the day file of 6 January 2024 with these bytes
//   d nn offset6 bytes                 that day file with nn valid lines, bytes laid over it
//   E c bytes                          the entry file of JRA course c (0-9) with these bytes
//   e c lines3 length3 offset6 bytes   an entry file of that shape, bytes laid over it
//   N name                             an empty file name + ".jvRA" in the Data folder
//   L [date text]                      load that date (default the day above) and check
//   G l t r b                          copy the cell range l..r, t..b (bytes - '0') of each card
// Checks after each load: nothing is written; the race table holds the day file's whole
// records (at most 36) and blanks after them; each runner record is the entry file's record at
// its slot or blanks; runner positions stay within 18; the race list names loaded records only;
// race cards and copies stay within the grid; the date list has one entry per day file.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "jvlink/Sjis.h"
#include "racecard/Meeting.h"
#include "racecard/RaceCard.h"

namespace tavolen::fuzzing {
namespace {

constexpr size_t kRaLength = 1272;
constexpr size_t kSeLength = 555;
constexpr size_t kEntrySlots = 216;
constexpr std::string_view kDate = "20240106";

// A two-byte number field as the loader reads it: blanks around, an optional sign, digits.
int NumberOf(std::string_view s) {
  bool neg = false;
  s = WithoutSign(s, neg);
  if (!AllDigits(s)) return 0;
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return neg ? -v : v;
}

std::string RaLine(size_t i) {
  static const std::string_view courses[] = {"06", "09", "05", "08"};
  std::string r(kRaLength - 2, ' ');
  r += "\r\n";
  Overlay(r, 1, "RA000000000", kRaLength);
  Overlay(r, 12, kDate, kRaLength);
  Overlay(r, 20, courses[(i / 12) % 4], kRaLength);
  Overlay(r, 22, "0102", kRaLength);
  Overlay(r, 26, std::to_string(101 + i % 12).substr(1), kRaLength);
  Overlay(r, 33, Sj("テスト記念競走"), kRaLength);
  Overlay(r, 874, "1025", kRaLength);
  // Runner counts from 0 to 19, so some races claim more runners than a race can have.
  Overlay(r, 882, std::to_string(100 + i % 20).substr(1), kRaLength);
  return r;
}

std::string SeLine(unsigned course, size_t slot) {
  std::string r(kSeLength - 2, ' ');
  r += "\r\n";
  Overlay(r, 1, "SE7", kSeLength);
  Overlay(r, 12, kDate, kSeLength);
  Overlay(r, 20, kJraCodes[course], kSeLength);
  Overlay(r, 22, "0102", kSeLength);
  Overlay(r, 26, std::to_string(101 + slot / 18).substr(1), kSeLength);
  Overlay(r, 28, slot % 7 ? "3" : " ", kSeLength);  // a blank frame number now and then
  Overlay(r, 29, std::to_string(101 + slot % 18).substr(1), kSeLength);
  // A 36-byte name of full-width characters, so the 19-byte cut ends inside one.
  Overlay(r, 41, Sj("ウマノナマエハナガイナマエ") + Sj("ダヨ"), kSeLength);
  Overlay(r, 79, "1", kSeLength);
  Overlay(r, 83, "03", kSeLength);
  Overlay(r, 91, Sj("チョウキ"), kSeLength);
  Overlay(r, 289, slot % 5 ? "550" : "   ", kSeLength);
  Overlay(r, 295, "1", kSeLength);
  Overlay(r, 307, Sj("キシュ"), kSeLength);
  Overlay(r, 323, std::to_string(slot % 4), kSeLength);
  return r;
}

struct Harness {
  ScratchApp app{"tavolen-fuzz-meeting-load"};
  LoadedMeeting meeting;
  int copyLeft = 0, copyTop = 0, copyRight = kCardColumns - 1, copyBottom = 18;

  fs::path DayFile() const { return app.data / (DateName(kDate) + ".jvRA"); }

  void PutDayFile(std::string_view payload, bool generated) {
    std::string bytes;
    if (generated) {
      const size_t n = TakeNumber(payload, 2);
      const size_t offset = TakeNumber(payload, 6);
      for (size_t i = 0; i < n; ++i) bytes += RaLine(i);
      if (offset < bytes.size()) Overlay(bytes, offset + 1, payload, bytes.size());
    } else {
      bytes.assign(payload);
    }
    PutFile(DayFile(), bytes);
  }

  void PutEntryFile(std::string_view payload, bool generated) {
    if (payload.empty()) return;
    const unsigned c = CourseIndex(payload[0]);
    payload.remove_prefix(1);
    std::string bytes;
    if (generated) {
      bytes = GeneratedLines(payload, [&](size_t i, size_t length) {
        return SeLine(c, i % kEntrySlots).substr(0, std::min(length, kSeLength - 2));
      });
    } else {
      bytes.assign(payload);
    }
    PutFile(app.data / (DateName(kDate) + std::string(kJraNames[c]) + ".jvSEr"), bytes);
  }

  void PutOtherName(std::string_view name) {
    std::string clean;
    for (char ch : name.substr(0, 60))
      if (ch != '/' && ch != '\0') clean += ch;
    if (clean.empty() || clean == "." || clean == "..") return;
    PutFile(app.data / (clean + ".jvRA"), "");
  }

  void CheckRunners(int r, const std::string& ra) {
    const std::string blank(kSeLength, ' ');
    const std::optional<std::string> course = JraName(Field(ra, 20, 2));
    // A course outside the JRA ten may share an entry file name with one of them.
    if (!course) return;
    const std::string dayName = meeting.selectedRaceFile.filename().string();
    const std::string dayUtf8Prefix = SjisToUtf8(Utf8ToSjis(dayName).substr(0, 14));
    const fs::path entry =
        meeting.selectedRaceFile.parent_path() / (dayUtf8Prefix + *course + ".jvSEr");
    std::error_code ec;
    const bool exists = fs::is_regular_file(entry, ec);
    const std::string bytes = exists ? ReadFileBytes(entry) : std::string();
    const int count = std::clamp(NumberOf(Field(ra, 882, 2)), 0, 18);
    const int race = NumberOf(Field(ra, 26, 2));
    for (int i = 0; i < 18; ++i) {
      const std::string& got = meeting.runnerTable[r][i];
      std::string expected = blank;
      if (exists && i < count && race >= 1 && race <= 12) {
        const size_t at = static_cast<size_t>((race - 1) * 18 + i) * kSeLength;
        if (at + kSeLength <= bytes.size()) expected = bytes.substr(at, kSeLength);
      }
      FUZZ_CHECK(got == expected);
    }
  }

  void CheckCard(int slotIndex) {
    const RaceCard card = BuildRaceCard(meeting, slotIndex);
    FUZZ_CHECK(!card.grid.empty() && card.grid.size() <= 19);
    if (slotIndex >= 0 && slotIndex < kMeetingRaces) {
      const RaceSlot& slot = meeting.raceSlots[slotIndex];
      FUZZ_CHECK(card.grid.size() == static_cast<size_t>(RunnerPositionsOf(slot)) + 1);
      FUZZ_CHECK(card.complete == card.incompleteMessage.empty());
    } else {
      FUZZ_CHECK(!card.complete && card.grid.size() == 1);
    }
    // What the screen and the clipboard would get: decoding never fails.
    for (const auto& label : card.labels) SjisToUtf16(label);
    for (const auto& row : card.grid)
      for (const auto& cell : row) SjisToUtf16(cell);
    const RaceSlot& slot = meeting.raceSlots[std::clamp(slotIndex, 0, kMeetingRaces - 1)];
    const SjisString title = CardCopyTitle(card.labels[2], slot);
    const SjisString whole = GridRangeText(card.grid, 0, 0, kCardColumns - 1,
                                           static_cast<int>(card.grid.size()) - 1, title);
    SjisString expected = title + "\r\n";
    for (const auto& row : card.grid) {
      for (size_t c = 0; c < row.size(); ++c) expected += (c ? "\t" : "") + row[c];
      expected += "\r\n";
    }
    FUZZ_CHECK(whole == expected);
    const SjisString part =
        GridRangeText(card.grid, copyLeft, copyTop, copyRight, copyBottom, title);
    if (copyRight < copyLeft || copyBottom < copyTop) FUZZ_CHECK(part.empty());
    FUZZ_CHECK(part.size() <= whole.size());
  }

  void Load(std::string_view dateText) {
    const Snapshot before = TakeSnapshot(app.root);
    const SjisString date = dateText.empty() ? Sj(DateName(kDate)) : SjisString(dateText);
    const MeetingLoadResult result = LoadMeeting(meeting, app.data, date);
    FUZZ_CHECK(Changed(before, TakeSnapshot(app.root)).empty());

    const fs::path& dayFile = meeting.selectedRaceFile;
    std::error_code ec;
    if (!fs::is_regular_file(dayFile, ec)) {
      FUZZ_CHECK(result.outcome == MeetingLoadResult::Outcome::DayFileMissing);
      FUZZ_CHECK(!meeting.loadSucceeded);
      return;
    }
    FUZZ_CHECK(result.loaded() && meeting.loadSucceeded);
    const std::string bytes = ReadFileBytes(dayFile);
    const int count = static_cast<int>(std::min<size_t>(bytes.size() / kRaLength, 36));
    FUZZ_CHECK(meeting.loadedRaceCount == count);
    int listed = 0;
    for (int r = 0; r < kMeetingRaces; ++r) {
      const std::string& ra = meeting.raceTable[r];
      if (r < count)
        FUZZ_CHECK(ra == bytes.substr(static_cast<size_t>(r) * kRaLength, kRaLength));
      else
        FUZZ_CHECK(ra == std::string(kRaLength, ' '));
      if (!IsBlank(Field(ra, 12, 4))) ++listed;
      CheckRunners(r, ra);
      const RaceSlot& slot = meeting.raceSlots[r];
      const int positions = RunnerPositionsOf(slot);
      FUZZ_CHECK(positions >= 0 && positions <= 18);
      if (r < count)
        FUZZ_CHECK(slot.raceKey.str() == std::string(Field(ra, 12, 16)));
      else
        FUZZ_CHECK(slot.raceKey.empty() && positions == 0);
    }
    const std::vector<RaceListEntry> items = RaceListItems(meeting);
    FUZZ_CHECK(static_cast<int>(items.size()) == listed);
    for (size_t i = 0; i < items.size(); ++i) {
      FUZZ_CHECK(items[i].slot >= 0 && items[i].slot < count);
      FUZZ_CHECK(i == 0 || items[i].slot > items[i - 1].slot);
      FUZZ_CHECK(items[i].text.ends_with("R"));
      CheckCard(items[i].slot);
    }
    CheckCard(-1);
    CheckCard(kMeetingRaces);

    size_t dayFiles = 0;
    for (const auto& entry : fs::directory_iterator(app.data))
      if (entry.is_regular_file() && entry.path().filename().string().ends_with(".jvRA"))
        ++dayFiles;
    const std::vector<SjisString> dates = MakeDateList(app.data);
    FUZZ_CHECK(dates.size() == dayFiles);
    for (const auto& d : dates) FUZZ_CHECK(d.size() <= 14);
  }

  void Run(std::string_view input) {
    app.Reset();
    meeting = LoadedMeeting{};
    copyLeft = 0, copyTop = 0, copyRight = kCardColumns - 1, copyBottom = 18;
    ForEachChunk(input, [&](const char kind, std::string_view payload) {
      if (kind == 'D' || kind == 'd') {
        PutDayFile(payload, kind == 'd');
      } else if (kind == 'E' || kind == 'e') {
        PutEntryFile(payload, kind == 'e');
      } else if (kind == 'N') {
        PutOtherName(payload);
      } else if (kind == 'L') {
        Load(payload);
      } else if (kind == 'G' && payload.size() >= 4) {
        copyLeft = payload[0] - '0', copyTop = payload[1] - '0';
        copyRight = payload[2] - '0', copyBottom = payload[3] - '0';
      }
    });
  }
};

}  // namespace
}  // namespace tavolen::fuzzing

TAVOLEN_FUZZ_ENTRY(tavolen::fuzzing::Harness)
