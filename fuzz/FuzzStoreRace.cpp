// Fuzzes storing RA and SE records into the race files of a scratch Data folder that may already
// hold malformed day and entry files. Chunks (see FuzzSupport.h):
//   D date8 bytes                           a day file with these bytes
//   d date8 nn offset6 bytes                a day file of nn valid lines, bytes laid over it
//   E date8 c bytes                         an entry file of JRA course c (0-9) with these bytes
//   e date8 c lines3 length3 offset6 bytes  an entry file of that shape, bytes laid over it
//   R bytes / S bytes                       store these bytes as an RA / SE record
//   r bytes / s bytes                       a valid RA / SE record, bytes laid over it from
//                                           position 3 on, stored
//   F                                       the next store meets a full disk
// Checks after each store: a record is stored exactly when it is a whole RA or SE record of a
// stored division with a race (and horse) number in range and a digit date; only its own race
// file changes; that day file is a whole number of 1272-byte lines, sorted, with one line for
// the race and every other line kept; that entry file is 216 lines of 555 bytes with the
// record at its slot and every other runner kept; a failed write changes nothing; nothing is
// written outside the Data folder and no temporary file is left.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "jvlink/FileIO.h"
#include "jvlink/RaceFiles.h"
#include "jvlink/Sjis.h"
#include "tests/support/Records.h"

namespace tavolen::fuzzing {
namespace {

constexpr size_t kRaLength = 1272;
constexpr size_t kSeLength = 555;
constexpr size_t kDayLine = 1270;
constexpr size_t kEntryLine = 553;
constexpr size_t kEntrySlots = 216;

// A number field as the stores read it: blanks around it, an optional sign, digits.
std::optional<int> LooseNumber(std::string_view s) {
  bool neg = false;
  s = WithoutSign(s, neg);
  if (!AllDigits(s)) return s.empty() ? std::optional<int>(0) : std::nullopt;
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return neg ? -v : v;
}

bool InRange(std::string_view field, int lo, int hi) {
  std::optional<int> n = LooseNumber(field);
  return n && *n >= lo && *n <= hi;
}

// Two digits "01" to "hi".
bool StrictNumber(std::string_view field, int hi) {
  return field.size() == 2 && AllDigits(field) && InRange(field, 1, hi);
}

bool NoBreakIn(std::string_view s) {
  return s.find_first_of("\r\n") == std::string_view::npos;
}

bool StoredDivision(std::string_view record) {
  std::string_view d = Field(record, 3, 1);
  return d.size() == 1 && d[0] >= '1' && d[0] <= '6';
}

// A stored race record and runner record of race 11, from the shared record builders.
std::string RaTemplate() {
  return testsupport::MakeRa("20240106", "06", "11", "1", "");
}

std::string SeTemplate() {
  return testsupport::MakeSe("20240106", "06", "11", "05", "1", "");
}

// The stored day line of an RA record: without CR LF, "000000000" over positions 3-11.
std::string DayLineOf(std::string_view record) {
  std::string line(record.substr(0, kDayLine));
  line.replace(2, 9, "000000000");
  return line;
}

std::string DayFileName(std::string_view date8) {
  return "Data/" + DateName(date8) + ".jvRA";
}

std::string BlankEntryFile() {
  std::string text;
  for (size_t i = 0; i < kEntrySlots; ++i) text += std::string(kEntryLine, ' ') + "\r\n";
  return text;
}

// Exactly 216 lines of 553 bytes, each followed by CR LF.
bool IsWholeEntryFile(std::string_view text) {
  if (text.size() != kEntrySlots * kSeLength) return false;
  for (size_t i = 0; i < kEntrySlots; ++i) {
    std::string_view line = text.substr(i * kSeLength, kSeLength);
    if (!NoBreakIn(line.substr(0, kEntryLine)) || line.substr(kEntryLine) != "\r\n") return false;
  }
  return true;
}

void CheckDayFile(const std::optional<std::string>& before, const std::string& after,
                  std::string_view record) {
  FUZZ_CHECK(after.size() % kRaLength == 0);
  std::vector<std::string> lines;
  for (size_t at = 0; at < after.size(); at += kRaLength) {
    std::string_view rec = std::string_view(after).substr(at, kRaLength);
    FUZZ_CHECK(NoBreakIn(rec.substr(0, kDayLine)) && rec.substr(kDayLine) == "\r\n");
    lines.emplace_back(rec.substr(0, kDayLine));
  }
  FUZZ_CHECK(std::is_sorted(lines.begin(), lines.end()));

  // The lines that could be read as records, without the race's old lines, with the new one,
  // sorted, and a blank first line dropped: nothing else may be lost or added.
  const std::string key(record.substr(11, 16));
  std::vector<std::string> expected;
  if (before)
    for (auto& l : TextLinesOf(*before))
      if (l.size() == kDayLine && l.substr(11, 16) != key) expected.push_back(std::move(l));
  expected.push_back(DayLineOf(record));
  std::sort(expected.begin(), expected.end());
  if (IsBlank(expected.front())) expected.erase(expected.begin());
  FUZZ_CHECK(lines == expected);
}

void CheckEntryFile(const std::optional<std::string>& before, const std::string& after,
                    std::string_view record) {
  FUZZ_CHECK(IsWholeEntryFile(after));
  const int race = *LooseNumber(Field(record, 26, 2));
  const int horse = *LooseNumber(Field(record, 29, 2));
  const size_t slot = static_cast<size_t>((race - 1) * 18 + (horse - 1));
  FUZZ_CHECK(std::string_view(after).substr(slot * kSeLength, kEntryLine) ==
             record.substr(0, kEntryLine));

  if (!before || IsWholeEntryFile(*before)) {
    std::string expected = before ? *before : BlankEntryFile();
    expected.replace(slot * kSeLength, kEntryLine, record.substr(0, kEntryLine));
    FUZZ_CHECK(after == expected);
    return;
  }
  // A malformed file: its runner lines of the right length keep their place, and every other
  // line is a blank slot or a runner line from the old file.
  const std::vector<std::string> old = TextLinesOf(*before);
  for (size_t i = 0; i < kEntrySlots; ++i) {
    if (i == slot) continue;
    const std::string line(std::string_view(after).substr(i * kSeLength, kEntryLine));
    if (i < old.size() && old[i].size() == kEntryLine && !IsBlank(old[i])) {
      FUZZ_CHECK(line == old[i]);
    } else {
      FUZZ_CHECK(IsBlank(line) || std::find(old.begin(), old.end(), line) != old.end());
    }
  }
}

struct Harness {
  ScratchApp app{"tavolen-fuzz-store-race"};
  bool faultNext = false;

  std::optional<std::string> Before(const Snapshot& s, const std::string& name) {
    auto it = s.find(name);
    if (it == s.end()) return std::nullopt;
    return it->second;
  }

  void Store(std::string_view record, bool isRa) {
    const Snapshot before = TakeSnapshot(app.root);
    const bool fault = faultNext;
    faultNext = false;
    if (fault) SetWriteFaultForTesting([](const fs::path&) { return true; });
    const StoreResult result =
        isRa ? StoreRaRecord(app.data, record) : StoreSeRecord(app.data, record);
    SetWriteFaultForTesting(nullptr);
    const Snapshot after = TakeSnapshot(app.root);
    CheckOnlyDataFiles(after);
    const std::vector<std::string> changed = Changed(before, after);

    const std::string_view date = Field(record, 12, 8);
    const bool common = record.size() == (isRa ? kRaLength : kSeLength) &&
                        Field(record, 1, 2) == (isRa ? "RA" : "SE") && StoredDivision(record) &&
                        AllDigits(date) && NoBreakIn(record.substr(0, record.size() - 2));
    const std::optional<std::string> course = JraName(Field(record, 20, 2));
    const bool strict = common && StrictNumber(Field(record, 26, 2), 12) &&
                        (isRa || (course && StrictNumber(Field(record, 29, 2), 18)));
    const bool loose = common && InRange(Field(record, 26, 2), 1, 12) &&
                       (isRa || InRange(Field(record, 29, 2), 1, 18));

    if (result.outcome == StoreResult::Outcome::Rejected) {
      FUZZ_CHECK(!strict);
      FUZZ_CHECK(changed.empty());
      return;
    }
    FUZZ_CHECK(loose);
    if (result.failed()) {
      FUZZ_CHECK(fault);
      FUZZ_CHECK(result.status.reason != FileError::None);
      FUZZ_CHECK(changed.empty());
      return;
    }
    FUZZ_CHECK(!fault);
    FUZZ_CHECK(!result.listLine.empty());
    // Only the record's own race file changes (storing what it already holds changes nothing).
    FUZZ_CHECK(changed.size() <= 1);
    const std::string dateKey = DateName(date);
    if (isRa) {
      const std::string name = DayFileName(date);
      FUZZ_CHECK(changed.empty() ? before.count(name) == 1 : changed[0] == name);
      CheckDayFile(Before(before, name), after.at(name), record);
    } else if (course) {
      const std::string name = "Data/" + dateKey + *course + ".jvSEr";
      FUZZ_CHECK(changed.empty() ? before.count(name) == 1 : changed[0] == name);
      CheckEntryFile(Before(before, name), after.at(name), record);
    } else if (!changed.empty()) {
      const std::string& name = changed[0];
      FUZZ_CHECK(name.starts_with("Data/" + dateKey) && name.ends_with(".jvSEr"));
      CheckEntryFile(Before(before, name), after.at(name), record);
    }
  }

  void DayFile(std::string_view payload, bool generated) {
    std::string_view date = payload.substr(0, std::min<size_t>(8, payload.size()));
    if (!AllDigits(date) || date.size() != 8) return;
    payload.remove_prefix(8);
    std::string bytes;
    if (generated) {
      const size_t n = TakeNumber(payload, 2);
      const size_t offset = TakeNumber(payload, 6);
      static const std::string_view courses[] = {"06", "09", "05", "08"};
      for (size_t i = 0; i < n; ++i) {
        std::string r = RaTemplate();
        Overlay(r, 12, date, kRaLength);
        Overlay(r, 20, courses[(i / 12) % 4], kRaLength);
        const std::string race = std::to_string(101 + i % 12).substr(1);
        Overlay(r, 26, race, kRaLength);
        bytes += DayLineOf(r) + "\r\n";
      }
      if (offset < bytes.size()) Overlay(bytes, offset + 1, payload, bytes.size());
    } else {
      bytes.assign(payload);
    }
    PutFile(app.root / DayFileName(date), bytes);
  }

  void EntryFile(std::string_view payload, bool generated) {
    if (payload.size() < 9 || !AllDigits(payload.substr(0, 8))) return;
    const std::string_view date = payload.substr(0, 8);
    const unsigned c = CourseIndex(payload[8]);
    payload.remove_prefix(9);
    std::string bytes;
    if (generated) {
      // Every fifth line a runner of its slot (lines past 216 name slots from the start).
      bytes = GeneratedLines(payload, [&](size_t i, size_t length) {
        if (i % 5 != 0) return std::string();
        std::string r = SeTemplate();
        Overlay(r, 12, date, kSeLength);
        Overlay(r, 20, kJraCodes[c], kSeLength);
        const size_t slot = i % kEntrySlots;
        Overlay(r, 26, std::to_string(101 + slot / 18).substr(1), kSeLength);
        Overlay(r, 29, std::to_string(101 + slot % 18).substr(1), kSeLength);
        return r.substr(0, std::min(length, kEntryLine));
      });
    } else {
      bytes.assign(payload);
    }
    PutFile(app.data / (DateName(date) + std::string(kJraNames[c]) + ".jvSEr"), bytes);
  }

  void Run(std::string_view input) {
    app.Reset();
    faultNext = false;
    ForEachChunk(input, [&](const char kind, std::string_view payload) {
      switch (kind) {
        case 'D':
        case 'd':
          DayFile(payload, kind == 'd');
          break;
        case 'E':
        case 'e':
          EntryFile(payload, kind == 'e');
          break;
        case 'R':
          Store(payload, true);
          break;
        case 'S':
          Store(payload, false);
          break;
        case 'r': {
          std::string r = RaTemplate();
          Overlay(r, 3, payload, kRaLength - 2);
          Store(r, true);
          break;
        }
        case 's': {
          std::string r = SeTemplate();
          Overlay(r, 3, payload, kSeLength - 2);
          Store(r, false);
          break;
        }
        case 'F':
          faultNext = true;
          break;
        default:
          break;
      }
    });
  }
};

}  // namespace
}  // namespace tavolen::fuzzing

TAVOLEN_FUZZ_ENTRY(tavolen::fuzzing::Harness)
