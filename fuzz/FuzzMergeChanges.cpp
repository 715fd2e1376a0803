// Fuzzes merging change records into the change files of a scratch Data folder that may
// already hold malformed change files, and reading and writing the renew file. Chunks (see
// FuzzSupport.h):
//   W|A|J|T|C date8 bytes        a change file of that type with these bytes
//   w|a|j|t|c date8 nn offset6 bytes
//                                a change file of nn valid records, bytes laid over it
//   R bytes                      merge these bytes as a delivered record
//   M type bytes                 a valid record of type W, A, J, T or C, bytes laid over it from
//                                position 3 on, merged
//   N date8 bytes                a renew file with these bytes, then read
//   n date8 s1|s2|s3|s4|s5       write these five stamps as the renew file
//   F                            the next write meets a full disk
// Checks: a record is stored exactly when it is a whole record of one of the five types with a
// digit date; only its own change file changes, and it becomes what the merge rules give: the
// record replaces the first line of its identity key in place (WE: then sorted), or is added in
// order (JC: unless the same line is there), a blank first line goes (not in WE); every line
// ends in CR LF; keys stay unique and lines stay sorted when they were; a failed write changes
// nothing; nothing is written outside Data. A renew file reads as its five lines or as five
// empty stamps, and a written one reads back.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "jvlink/ChangeFiles.h"
#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"
#include "tests/support/Records.h"

namespace tavolen::fuzzing {
namespace {

struct TypeInfo {
  char letter;
  std::string_view code;
  std::string_view extension;
  size_t size;  // record size with CR LF; WE has none, its lines are at least 34 bytes
};

constexpr TypeInfo kTypes[] = {
    {'W', "WE", ".jvWE", 0},  {'A', "AV", ".jvAV", 78}, {'J', "JC", ".jvJC", 161},
    {'T', "TC", ".jvTC", 45}, {'C', "CC", ".jvCC", 50},
};

const TypeInfo* TypeOfLetter(char c) {
  for (const auto& t : kTypes)
    if (t.letter == c || t.letter == c - 'a' + 'A') return &t;
  return nullptr;
}

const TypeInfo* TypeOfRecord(std::string_view record) {
  for (const auto& t : kTypes)
    if (record.substr(0, 2) == t.code) return &t;
  return nullptr;
}

// A field cut as the change files compare keys: bytes beyond the line read as blanks.
std::string PaddedField(std::string_view line, size_t pos, size_t len) {
  std::string out(len, ' ');
  for (size_t i = 0; i < len && pos - 1 + i < line.size(); ++i) out[i] = line[pos - 1 + i];
  return out;
}

std::string IdentityKey(const TypeInfo& t, std::string_view line) {
  switch (t.letter) {
    case 'W':
      return PaddedField(line, 12, 23);
    case 'A':
      return PaddedField(line, 12, 16) + PaddedField(line, 36, 2);
    case 'T':
    case 'C':
      return PaddedField(line, 12, 16);
    default:
      return std::string(line);
  }
}

bool LeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

unsigned char Upper(unsigned char c) {
  return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

// Ascending text order without regard to letter case; the second byte of a double-byte
// character is not a letter.
bool TextLess(std::string_view a, std::string_view b) {
  bool trail = false;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const unsigned char x = a[i], y = b[i];
    const unsigned char fx = trail ? x : Upper(x), fy = trail ? y : Upper(y);
    if (fx != fy) return fx < fy;
    trail = !trail && LeadByte(x);
  }
  return a.size() < b.size();
}

bool Sorted(const std::vector<std::string>& lines) {
  for (size_t i = 1; i < lines.size(); ++i)
    if (TextLess(lines[i], lines[i - 1])) return false;
  return true;
}

bool UniqueKeys(const TypeInfo& t, const std::vector<std::string>& lines) {
  std::set<std::string> keys;
  for (const auto& l : lines)
    if (!keys.insert(IdentityKey(t, l)).second) return false;
  return true;
}

void SortStable(std::vector<std::string>& lines) {
  std::stable_sort(lines.begin(), lines.end(),
                   [](const std::string& a, const std::string& b) { return TextLess(a, b); });
}

void InsertInOrder(std::vector<std::string>& lines, std::string line) {
  auto at =
      std::upper_bound(lines.begin(), lines.end(), line,
                       [](const std::string& a, const std::string& b) { return TextLess(a, b); });
  lines.insert(at, std::move(line));
}

// What the change file must hold after merging line into the file's old lines.
std::vector<std::string> Merged(const TypeInfo& t, std::optional<std::vector<std::string>> old,
                                const std::string& line) {
  if (!old) return {line};
  std::vector<std::string> lines = std::move(*old);
  if (t.letter == 'J') {
    SortStable(lines);
    if (std::find(lines.begin(), lines.end(), line) == lines.end()) InsertInOrder(lines, line);
  } else {
    const std::string key = IdentityKey(t, line);
    auto same = std::find_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return IdentityKey(t, l) == key; });
    if (same != lines.end()) {
      *same = line;
    } else if (t.letter == 'W') {
      lines.push_back(line);
    } else {
      SortStable(lines);
      InsertInOrder(lines, line);
    }
    if (t.letter == 'W') SortStable(lines);
  }
  if (t.letter != 'W' && !lines.empty() && IsBlank(lines.front())) lines.erase(lines.begin());
  return lines;
}

// A valid record of the type for 6 January 2024 at Nakayama, race 11, from the shared record
// builders.
std::string Template(const TypeInfo& t) {
  using namespace testsupport;
  const Day day{"20240106", "06", "01", "02"};
  switch (t.letter) {
    case 'W':
      return WeRecord(day, "1", "20240105", "01060930", '1', '1', '1', '1', '0', '0', '0');
    case 'A':
      return AvRecord(day, "11", "01061230", "05", "ウマノナマエ", '1', "001");
    case 'J':
      return JcRecord(day, "11", "01061230", "05", "ウマノナマエ", "550", "キシュアト",
                      "キシュマエ");
    case 'T':
      return TcRecord(day, "11", "01061230", "1545", "1530");
    default:
      return CcRecord(day, "11", "01061230", "1800", "24", "1600", "24");
  }
}

std::string FileName(const TypeInfo& t, std::string_view date8) {
  return "Data/" + DateName(date8) + std::string(t.extension);
}

struct Harness {
  ScratchApp app{"tavolen-fuzz-merge-changes"};
  bool faultNext = false;

  bool TakeFault() {
    const bool f = faultNext;
    faultNext = false;
    if (f) SetWriteFaultForTesting([](const fs::path&) { return true; });
    return f;
  }

  void Merge(std::string_view record) {
    const Snapshot before = TakeSnapshot(app.root);
    const bool fault = TakeFault();
    const StoreResult result = StoreChangeRecord(app.data, record);
    SetWriteFaultForTesting(nullptr);
    const Snapshot after = TakeSnapshot(app.root);
    CheckOnlyDataFiles(after);
    const std::vector<std::string> changed = Changed(before, after);

    const TypeInfo* t = TypeOfRecord(record);
    const std::string_view body =
        record.size() >= 2 ? record.substr(0, record.size() - 2) : std::string_view();
    const bool valid = t && record.size() >= 2 && record.substr(record.size() - 2) == "\r\n" &&
                       body.find_first_of("\r\n") == std::string_view::npos &&
                       (t->size ? record.size() == t->size : body.size() >= 34) &&
                       AllDigits(Field(record, 12, 8));
    if (!valid) {
      FUZZ_CHECK(result.outcome == StoreResult::Outcome::Rejected);
      FUZZ_CHECK(changed.empty());
      return;
    }
    if (fault) {
      // A refused write fails; a merge that changes nothing writes nothing and is stored.
      FUZZ_CHECK(result.failed() ? result.status.reason != FileError::None : result.stored());
      FUZZ_CHECK(changed.empty());
      return;
    }
    FUZZ_CHECK(result.stored());
    const std::string name = FileName(*t, Field(record, 12, 8));
    FUZZ_CHECK(changed.size() == 1 || (changed.empty() && before.count(name)));
    if (!changed.empty()) FUZZ_CHECK(changed[0] == name);

    std::optional<std::vector<std::string>> old;
    if (auto it = before.find(name); it != before.end()) old = TextLinesOf(it->second);
    const std::string& text = after.at(name);
    const std::vector<std::string> lines = TextLinesOf(text);
    FUZZ_CHECK(IsCrLfText(text, lines));
    const std::string line(body);
    FUZZ_CHECK(std::find(lines.begin(), lines.end(), line) != lines.end());

    // Order and identity: a WE or JC file, and a file that got a new line, is in order (a line
    // that replaced another in an AV, TC or CC file keeps that line's place); keys that were
    // unique stay unique.
    const bool added =
        !old || (t->letter == 'J' ? std::find(old->begin(), old->end(), line) == old->end()
                                  : std::none_of(old->begin(), old->end(), [&](const auto& l) {
                                      return IdentityKey(*t, l) == IdentityKey(*t, line);
                                    }));
    if (t->letter == 'W' || t->letter == 'J' || added) FUZZ_CHECK(Sorted(lines));
    if (!old || UniqueKeys(*t, *old)) FUZZ_CHECK(UniqueKeys(*t, lines));
    if (t->size && old && std::all_of(old->begin(), old->end(), [&](const auto& l) {
          return l.size() == t->size - 2;
        }))
      FUZZ_CHECK(text.size() % t->size == 0);

    FUZZ_CHECK(lines == Merged(*t, old, line));
  }

  void ChangeFile(const TypeInfo& t, std::string_view payload, bool generated) {
    if (payload.size() < 8 || !AllDigits(payload.substr(0, 8))) return;
    const std::string_view date = payload.substr(0, 8);
    payload.remove_prefix(8);
    std::string bytes;
    if (generated) {
      const size_t n = TakeNumber(payload, 2);
      const size_t offset = TakeNumber(payload, 6);
      std::vector<std::string> lines;
      for (size_t i = 0; i < n; ++i) {
        std::string r = Template(t);
        Overlay(r, 12, date, r.size());
        const std::string two = std::to_string(100 + i % 100).substr(1);
        if (t.letter == 'W') {
          Overlay(r, 32, two, r.size());  // announcement minute
          Overlay(r, 34, i % 3 == 0 ? "1" : i % 3 == 1 ? "2" : "3", r.size());
        } else if (t.letter == 'A' || t.letter == 'J') {
          Overlay(r, 26, std::to_string(101 + i / 18 % 12).substr(1), r.size());
          Overlay(r, 36, std::to_string(101 + i % 18).substr(1), r.size());
        } else {
          Overlay(r, 20, i / 12 % 2 ? "09" : "06", r.size());
          Overlay(r, 26, std::to_string(101 + i % 12).substr(1), r.size());
        }
        lines.push_back(r.substr(0, r.size() - 2));
      }
      SortStable(lines);
      for (const auto& l : lines) bytes += l + "\r\n";
      if (offset < bytes.size()) Overlay(bytes, offset + 1, payload, bytes.size());
    } else {
      bytes.assign(payload);
    }
    PutFile(app.root / FileName(t, date), bytes);
  }

  void RenewRead(std::string_view payload) {
    if (payload.size() < 8 || !AllDigits(payload.substr(0, 8))) return;
    const fs::path path = app.data / (DateName(payload.substr(0, 8)) + ".renew");
    payload.remove_prefix(8);
    PutFile(path, payload);
    const RenewStamps stamps = ReadRenewFile(path);
    const std::vector<std::string> lines = TextLinesOf(payload);
    for (size_t i = 0; i < stamps.size(); ++i)
      FUZZ_CHECK(stamps[i] == (lines.size() == 5 ? lines[i] : std::string()));
  }

  void RenewWrite(std::string_view payload) {
    if (payload.size() < 8 || !AllDigits(payload.substr(0, 8))) return;
    const std::string name = "Data/" + DateName(payload.substr(0, 8)) + ".renew";
    payload.remove_prefix(8);
    RenewStamps stamps;
    for (auto& s : stamps) {
      const size_t bar = payload.find('|');
      s.assign(payload.substr(0, bar));
      payload = bar == std::string_view::npos ? std::string_view() : payload.substr(bar + 1);
    }
    const Snapshot before = TakeSnapshot(app.root);
    const bool fault = TakeFault();
    const FileStatus st = WriteRenewFile(app.root / name, stamps);
    SetWriteFaultForTesting(nullptr);
    const Snapshot after = TakeSnapshot(app.root);
    CheckOnlyDataFiles(after);
    const bool writable = std::none_of(stamps.begin(), stamps.end(), [](const std::string& s) {
      return s.find_first_of("\r\n") != std::string::npos;
    });
    if (fault || !writable) {
      FUZZ_CHECK(!st.ok && st.reason == (writable ? FileError::Write : FileError::RenewText));
      FUZZ_CHECK(Changed(before, after).empty());
      return;
    }
    FUZZ_CHECK(st.ok);
    std::string expected;
    for (const auto& s : stamps) expected += s + "\r\n";
    FUZZ_CHECK(after.at(name) == expected);
    const std::vector<std::string> changed = Changed(before, after);
    FUZZ_CHECK(changed.empty() || (changed.size() == 1 && changed[0] == name));
    FUZZ_CHECK(ReadRenewFile(app.root / name) == stamps);
  }

  void Run(std::string_view input) {
    app.Reset();
    faultNext = false;
    ForEachChunk(input, [&](const char kind, std::string_view payload) {
      if (kind == 'R') {
        Merge(payload);
      } else if (kind == 'M') {
        if (payload.empty()) return;
        const TypeInfo* t = TypeOfLetter(payload[0]);
        if (!t) return;
        std::string r = Template(*t);
        Overlay(r, 3, payload.substr(1), r.size() - 2);
        Merge(r);
      } else if (kind == 'N') {
        RenewRead(payload);
      } else if (kind == 'n') {
        RenewWrite(payload);
      } else if (kind == 'F') {
        faultNext = true;
      } else if (const TypeInfo* t = TypeOfLetter(kind)) {
        ChangeFile(*t, payload, kind >= 'a');
      }
    });
  }
};

}  // namespace
}  // namespace tavolen::fuzzing

TAVOLEN_FUZZ_ENTRY(tavolen::fuzzing::Harness)
