// Race and runner records built byte by byte from their layouts, and race files written from
// them, for the race card tests and the benchmark.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"

namespace tavolen::testing {

// A record of `length` bytes (CR LF included) that starts with `type`, blank elsewhere.
inline std::string BlankRecord(const char* type, int length) {
  std::string r(static_cast<size_t>(length), ' ');
  r.replace(0, 2, type);
  r[length - 2] = '\r';
  r[length - 1] = '\n';
  return r;
}

// Writes `value` at the 1-based byte position `pos`.
inline void Put(std::string& record, int pos, const std::string& value) {
  record.replace(static_cast<size_t>(pos - 1), value.size(), value);
}

inline std::string TwoDigits(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n);
  return b;
}

struct RaceSpec {
  std::string date = "20050108";  // yyyymmdd
  std::string course = "06";
  std::string meeting = "01";
  std::string day = "01";
  int race = 1;
  std::string runnerCount = "16";
  std::string raceName = "Race";
  std::string postTime = "0950";
  std::string distance = "1200";
  std::string track = "17";
  std::string weightRule = "3";
  std::string condition = "703";
};

// An RA record as the day file stores it: positions 3-11 are "000000000".
inline std::string RaRecord(const RaceSpec& s) {
  std::string r = BlankRecord("RA", 1272);
  Put(r, 3, "000000000");
  Put(r, 12, s.date);
  Put(r, 20, s.course);
  Put(r, 22, s.meeting);
  Put(r, 24, s.day);
  Put(r, 26, TwoDigits(s.race));
  Put(r, 33, s.raceName);
  Put(r, 605, "ABCDEF");
  Put(r, 615, "C");
  Put(r, 622, s.weightRule);
  Put(r, 635, s.condition);
  Put(r, 698, s.distance);
  Put(r, 706, s.track);
  Put(r, 874, s.postTime);
  Put(r, 882, s.runnerCount);
  return r;
}

struct RunnerSpec {
  int horse = 1;
  std::string frame;  // empty: (horse + 1) / 2
  std::string registration = "2002100001";
  SjisString name;  // empty: "Horse" + number
  std::string sex = "1";
  std::string age = "03";
  std::string weight = "550";
  std::string blinker = "0";
  std::string apprentice = "0";
  SjisString jockey = "Jockey";
  SjisString trainer = "Trainer";
};

// An SE record of race `race` in the entry-file form (CR LF included).
inline std::string SeRecord(const RaceSpec& race, const RunnerSpec& s) {
  std::string r = BlankRecord("SE", 555);
  Put(r, 3, "1");
  Put(r, 4, "20050101");
  Put(r, 12, race.date);
  Put(r, 20, race.course);
  Put(r, 22, race.meeting);
  Put(r, 24, race.day);
  Put(r, 26, TwoDigits(race.race));
  Put(r, 28, s.frame.empty() ? std::to_string((s.horse + 1) / 2) : s.frame);
  Put(r, 29, TwoDigits(s.horse));
  Put(r, 31, s.registration);
  SjisString name = s.name.empty() ? "Horse" + TwoDigits(s.horse) : s.name;
  Put(r, 41, name.substr(0, 36));
  Put(r, 79, s.sex);
  Put(r, 83, s.age);
  Put(r, 86, "01001");
  Put(r, 91, s.trainer.substr(0, 8));
  Put(r, 289, s.weight);
  Put(r, 295, s.blinker);
  Put(r, 297, "05001");
  Put(r, 307, s.jockey.substr(0, 8));
  Put(r, 323, s.apprentice);
  return r;
}

inline std::string Concat(const std::vector<std::string>& records) {
  std::string out;
  for (const auto& r : records) out += r;
  return out;
}

// The 216 lines of an entry file: the given records at their slots, blank slots elsewhere.
inline std::string EntryFileBytes(const std::vector<std::string>& seRecords) {
  std::vector<std::string> lines(216, BlankRecord("  ", 555));
  for (const auto& se : seRecords) {
    int race = std::atoi(se.substr(25, 2).c_str());
    int horse = std::atoi(se.substr(28, 2).c_str());
    lines[(race - 1) * 18 + (horse - 1)] = se;
  }
  return Concat(lines);
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline fs::path TempDir(const std::string& name) {
  const char* base = std::getenv("TAVOLEN_TEST_TMP");
  fs::path dir = fs::path(base ? base : fs::temp_directory_path().string()) / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// The file name of a race file, UTF-8 as on disk: "2005年01月08日" + suffix.
inline fs::path RaceFileName(const std::string& date, const std::string& suffixUtf8) {
  return Utf8Path(date.substr(0, 4) + "年" + date.substr(4, 2) + "月" + date.substr(6, 2) + "日" +
                  suffixUtf8);
}

// A full meeting: `races` races of 12 per course over `courses`, `runners` runners each, with
// a day file and one complete entry file per course.
inline void WriteMeeting(const fs::path& dataDir, const std::string& date,
                         const std::vector<std::pair<std::string, std::string>>& courses,
                         int runners) {
  std::vector<std::string> day;
  for (const auto& [code, nameUtf8] : courses) {
    std::vector<std::string> entries;
    for (int race = 1; race <= 12; ++race) {
      RaceSpec rs;
      rs.date = date;
      rs.course = code;
      rs.race = race;
      rs.runnerCount = TwoDigits(runners);
      day.push_back(RaRecord(rs));
      for (int h = 1; h <= runners; ++h) {
        RunnerSpec rn;
        rn.horse = h;
        entries.push_back(SeRecord(rs, rn));
      }
    }
    WriteBytes(dataDir / RaceFileName(date, nameUtf8 + ".jvSEr"), EntryFileBytes(entries));
  }
  WriteBytes(dataDir / RaceFileName(date, ".jvRA"), Concat(day));
}

// Change records of a race (16-character race key) as the service delivers them, CR LF
// included, with the fields the race card reads.
inline std::string ChangeAv(const std::string& race, const std::string& stamp,
                            const std::string& horse, char kind) {
  std::string r = BlankRecord("AV", 78);
  r[2] = kind;
  Put(r, 12, race);
  Put(r, 28, stamp);
  Put(r, 36, horse);
  Put(r, 38, "Horse");
  Put(r, 74, "001");
  return r;
}
inline std::string ChangeJc(const std::string& race, const std::string& stamp,
                            const std::string& horse, const SjisString& after) {
  std::string r = BlankRecord("JC", 161);
  Put(r, 3, "1");
  Put(r, 12, race);
  Put(r, 28, stamp);
  Put(r, 36, horse);
  Put(r, 74, "570");
  Put(r, 82, after);
  Put(r, 125, "Jockey");
  return r;
}
inline std::string ChangeTc(const std::string& race, const std::string& stamp,
                            const std::string& newTime) {
  std::string r = BlankRecord("TC", 45);
  Put(r, 3, "1");
  Put(r, 12, race);
  Put(r, 28, stamp);
  Put(r, 36, newTime);
  Put(r, 40, "0950");
  return r;
}
inline std::string ChangeCc(const std::string& race, const std::string& stamp,
                            const std::string& distance, const std::string& track) {
  std::string r = BlankRecord("CC", 50);
  Put(r, 3, "1");
  Put(r, 12, race);
  Put(r, 28, stamp);
  Put(r, 36, distance);
  Put(r, 40, track);
  Put(r, 42, "1200");
  Put(r, 46, "17");
  return r;
}
}  // namespace tavolen::testing
