#include "tests/support/Records.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "tests/support/Files.h"

namespace tavolen::testsupport {

namespace {

// Record lengths, CR LF included.
constexpr int kRa = 1272, kSe = 555, kWe = 42, kAv = 78, kJc = 161, kTc = 45, kCc = 50;

std::string S(std::string_view s) {
  return std::string(s);
}

Fields operator+(Fields a, const Fields& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Positions 1-27 of a race or runner record: type, division, creation date, date, course,
// meeting "01", day number "02", race.
Fields RaceHead(std::string_view type, std::string_view division, std::string_view date,
                std::string_view course, std::string_view race) {
  return {{1, S(type)},    {3, S(division)}, {4, "20240105"}, {12, S(date)},
          {20, S(course)}, {22, "0102"},     {26, S(race)}};
}

// Positions 1-35 of an AV, JC, TC or CC record of a Day: type and kind, creation date, the
// course and day, race, announcement stamp.
Fields DayChangeHead(std::string_view typeAndKind, const Day& d, std::string_view race,
                     std::string_view stamp) {
  return {{1, S(typeAndKind)}, {4, "20240105"}, {12, d.Key()}, {26, S(race)}, {28, S(stamp)}};
}

// The same from a race key, without creation date.
Fields KeyChangeHead(std::string_view typeAndKind, std::string_view race, std::string_view stamp) {
  return {{1, S(typeAndKind)}, {12, S(race)}, {28, S(stamp)}};
}

}  // namespace

std::string Rec(int length, const Fields& fields) {
  std::string r = Blank(static_cast<size_t>(length));
  for (const auto& [pos, text] : fields) Put(r, pos, text);
  return r;
}

std::string BlankRecord(std::string_view type, size_t size) {
  std::string r(size - 2, ' ');
  r += "\r\n";
  r.replace(0, type.size(), type);
  return r;
}

void Put(std::string& record, int pos, std::string_view text) {
  record.replace(static_cast<size_t>(pos - 1), text.size(), text);
}

std::string Pad(std::string_view text, size_t width) {
  std::string s(text.substr(0, std::min(text.size(), width)));
  s.resize(width, ' ');
  return s;
}

std::string TwoDigits(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n % 100);
  return b;
}

std::string RaceKey(std::string_view date, std::string_view course, int race) {
  return S(date) + S(course) + "0102" + TwoDigits(race);
}

std::string DayLine(std::string_view ra) {
  std::string line(ra.substr(0, 1270));
  line.replace(2, 9, "000000000");
  return line;
}

std::string Line(std::string_view record) {
  return S(record.substr(0, record.size() - 2));
}

std::string Concat(const std::vector<std::string>& records) {
  std::string out;
  for (const auto& r : records) out += r;
  return out;
}

std::string ShownStamp(const std::string& stamp) {
  if (stamp == "00000000") return Sj("初期状態   ");
  return stamp.substr(0, 2) + "/" + stamp.substr(2, 2) + " " + stamp.substr(4, 2) + ":" +
         stamp.substr(6, 2);
}

std::string ShownInBalloon(const std::string& stamp) {
  return stamp == "00000000" ? Sj("初期状態") : ShownStamp(stamp);
}

// ---- race and runner records, short form ----

std::string MakeRa(std::string_view date, std::string_view course, std::string_view race,
                   std::string_view division, std::string_view marker) {
  return Rec(
      kRa,
      RaceHead("RA", division, date, course, race) +
          Fields{{33, Sj("テスト記念") + S(marker)}, {874, "1025"}, {882, "16"}, {1268, "END"}});
}

std::string MakeSe(std::string_view date, std::string_view course, std::string_view race,
                   std::string_view horse, std::string_view division, std::string_view marker) {
  return Rec(
      kSe,
      RaceHead("SE", division, date, course, race) +
          Fields{{28, "1"}, {29, S(horse)}, {41, Sj("ウマノナマエ") + S(marker)}, {551, "END"}});
}

std::string MakeRa(std::string_view date, std::string_view course, int race,
                   std::string_view marker) {
  return MakeRa(date, course, TwoDigits(race), "1", marker);
}

std::string MakeSe(std::string_view date, std::string_view course, int race, int horse,
                   std::string_view marker) {
  return MakeSe(date, course, TwoDigits(race), TwoDigits(horse), "1", marker);
}

// ---- race and runner records with every field the race card shows ----

std::string RaRecord(const RaceSpec& s) {
  return Rec(kRa, {{1, "RA000000000"},
                   {12, s.date + s.course + s.meeting + s.day + TwoDigits(s.race)},
                   {33, s.raceName},
                   {605, "ABCDEF"},
                   {615, "C"},
                   {622, s.weightRule},
                   {635, s.condition},
                   {698, s.distance},
                   {706, s.track},
                   {874, s.postTime},
                   {882, s.runnerCount}});
}

std::string SeRecord(const RaceSpec& race, const RunnerSpec& s) {
  const SjisString name = s.name.empty() ? "Horse" + TwoDigits(s.horse) : s.name;
  return Rec(kSe, {{1, "SE1"},
                   {4, "20050101"},
                   {12, race.date + race.course + race.meeting + race.day + TwoDigits(race.race)},
                   {28, s.frame.empty() ? std::to_string((s.horse + 1) / 2) : s.frame},
                   {29, TwoDigits(s.horse) + s.registration},
                   {41, name.substr(0, 36)},
                   {79, s.sex},
                   {83, s.age},
                   {86, "01001"},
                   {91, s.trainer.substr(0, 8)},
                   {289, s.weight},
                   {295, s.blinker},
                   {297, "05001"},
                   {307, s.jockey.substr(0, 8)},
                   {323, s.apprentice}});
}

std::string EntryFileBytes(const std::vector<std::string>& seRecords) {
  std::vector<std::pair<int, SjisString>> filled;
  for (const auto& se : seRecords) {
    const int race = std::atoi(se.substr(25, 2).c_str());
    const int horse = std::atoi(se.substr(28, 2).c_str());
    filled.emplace_back((race - 1) * 18 + (horse - 1), se);
  }
  return EntryFile(filled);
}

std::string EntryFile(const std::vector<std::pair<int, SjisString>>& filled) {
  std::vector<std::string> lines(216, std::string(553, ' '));
  for (const auto& [n, se] : filled) lines[static_cast<size_t>(n)] = se.substr(0, 553);
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

void WriteMeeting(const std::filesystem::path& dataDir, const std::string& date,
                  const std::vector<std::pair<std::string, std::string>>& courses, int runners) {
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
    WriteFileBytes(dataDir / RaceFileName(date, nameUtf8 + ".jvSEr"), EntryFileBytes(entries));
  }
  WriteFileBytes(dataDir / RaceFileName(date, ".jvRA"), Concat(day));
}

// ---- records as the acquisition reads them ----

std::string Header(const std::string& type, char division, const std::string& date,
                   const std::string& course, const std::string& race) {
  return type + std::string(1, division) + "20231231" + date + course + "01" + "02" + race;
}

SjisString RaRecord(const std::string& date, const std::string& course, const std::string& race,
                    const std::string& marker, char division) {
  return Rec(
      kRa, {{1, Header("RA", division, date, course, race) + "00000"}, {33, marker + Sj("特別")}});
}

SjisString SeRecord(const std::string& date, const std::string& course, const std::string& race,
                    const std::string& horse, char division) {
  return Rec(kSe, {{1, Header("SE", division, date, course, race) + "1" + horse + "2019100001"},
                   {41, Sj("サンプルホース")}});
}

// ---- change records ----

std::string WeRecord(const Day& d, std::string_view dataKind, std::string_view created,
                     std::string_view stamp, char changeKind, char weather, char turf, char dirt,
                     char weatherBefore, char turfBefore, char dirtBefore) {
  const std::string codes{changeKind, weather, turf, dirt, weatherBefore, turfBefore, dirtBefore};
  return Rec(
      kWe,
      {{1, "WE"}, {3, S(dataKind)}, {4, S(created)}, {12, d.Key()}, {26, S(stamp)}, {34, codes}});
}

std::string AvRecord(const Day& d, std::string_view race, std::string_view stamp,
                     std::string_view horse, std::string_view nameUtf8, char kind,
                     std::string_view reason) {
  return Rec(kAv, DayChangeHead("AV" + std::string(1, kind), d, race, stamp) +
                      Fields{{36, S(horse)}, {38, Pad(Sj(nameUtf8), 36)}, {74, S(reason)}});
}

std::string JcRecord(const Day& d, std::string_view race, std::string_view stamp,
                     std::string_view horse, std::string_view nameUtf8, std::string_view weight,
                     std::string_view jockeyAfterUtf8, std::string_view jockeyBeforeUtf8) {
  // Jockey codes "00000" after and "11111" before, and the weight before (575): never shown.
  return Rec(kJc,
             DayChangeHead("JC1", d, race, stamp) + Fields{{36, S(horse)},
                                                           {38, Pad(Sj(nameUtf8), 36)},
                                                           {74, S(weight)},
                                                           {77, "00000"},
                                                           {82, Pad(Sj(jockeyAfterUtf8), 34)},
                                                           {116, "575"},
                                                           {120, "11111"},
                                                           {125, Pad(Sj(jockeyBeforeUtf8), 34)}});
}

std::string TcRecord(const Day& d, std::string_view race, std::string_view stamp,
                     std::string_view newTime, std::string_view oldTime) {
  return Rec(kTc,
             DayChangeHead("TC1", d, race, stamp) + Fields{{36, S(newTime)}, {40, S(oldTime)}});
}

std::string CcRecord(const Day& d, std::string_view race, std::string_view stamp,
                     std::string_view newDistance, std::string_view newTrack,
                     std::string_view oldDistance, std::string_view oldTrack) {
  return Rec(
      kCc,
      DayChangeHead("CC1", d, race, stamp) +
          Fields{{36, S(newDistance)}, {40, S(newTrack)}, {42, S(oldDistance)}, {46, S(oldTrack)}});
}

std::string RaRecord(const Day& d, std::string_view race, std::string_view postTime) {
  return Rec(
      kRa,
      {{1, "RA2"}, {4, "20240104"}, {12, d.Key()}, {26, S(race)}, {874, S(postTime)}, {882, "16"}});
}

std::string MakeWe(std::string_view date, std::string_view course, std::string_view stamp,
                   std::string_view kind, std::string_view states) {
  return Rec(kWe, {{1, "WE1"},
                   {4, "20240105"},
                   {12, S(date) + S(course) + "0102"},
                   {26, S(stamp)},
                   {34, S(kind)},
                   {35, S(states)}});
}

std::string MakeAv(std::string_view race, std::string_view stamp, std::string_view horse,
                   std::string_view reason) {
  return Rec(kAv, KeyChangeHead("AV1", race, stamp) +
                      Fields{{36, S(horse)}, {38, Sj("トリケシウマ")}, {74, S(reason)}});
}

std::string MakeJc(std::string_view race, std::string_view stamp, std::string_view horse,
                   std::string_view after, std::string_view before) {
  return Rec(kJc, KeyChangeHead("JC", race, stamp) + Fields{{36, S(horse)},
                                                            {38, Sj("ノリカエウマ")},
                                                            {74, "570"},
                                                            {82, S(after)},
                                                            {125, S(before)}});
}

std::string MakeTc(std::string_view race, std::string_view stamp, std::string_view newTime,
                   std::string_view oldTime) {
  return Rec(kTc, KeyChangeHead("TC", race, stamp) + Fields{{36, S(newTime)}, {40, S(oldTime)}});
}

std::string MakeCc(std::string_view race, std::string_view stamp, std::string_view distance,
                   std::string_view track, std::string_view oldDistance,
                   std::string_view oldTrack) {
  return Rec(
      kCc, KeyChangeHead("CC", race, stamp) +
               Fields{{36, S(distance)}, {40, S(track)}, {42, S(oldDistance)}, {46, S(oldTrack)}});
}

std::string MakeAv(std::string_view date, int race, int horse, std::string_view stamp) {
  return MakeAv(RaceKey(date, "06", race), stamp, TwoDigits(horse));
}

std::string MakeJc(std::string_view date, int race, int horse, std::string_view stamp,
                   std::string_view after) {
  return MakeJc(RaceKey(date, "06", race), stamp, TwoDigits(horse), after, Sj("マエノキシュ"));
}

std::string MakeTc(std::string_view date, int race, std::string_view stamp,
                   std::string_view newTime) {
  return MakeTc(RaceKey(date, "06", race), stamp, newTime, "1530");
}

std::string MakeCc(std::string_view date, int race, std::string_view stamp) {
  return MakeCc(RaceKey(date, "06", race), stamp, "1800", "24", "1600", "24");
}

std::string ChangeAv(const std::string& race, const std::string& stamp, const std::string& horse,
                     char kind) {
  return Rec(kAv, KeyChangeHead("AV" + std::string(1, kind), race, stamp) +
                      Fields{{36, horse}, {38, "Horse"}, {74, "001"}});
}

std::string ChangeJc(const std::string& race, const std::string& stamp, const std::string& horse,
                     const SjisString& after) {
  return Rec(kJc, KeyChangeHead("JC1", race, stamp) +
                      Fields{{36, horse}, {74, "570"}, {82, after}, {125, "Jockey"}});
}

std::string ChangeTc(const std::string& race, const std::string& stamp,
                     const std::string& newTime) {
  return Rec(kTc, KeyChangeHead("TC1", race, stamp) + Fields{{36, newTime}, {40, "0950"}});
}

std::string ChangeCc(const std::string& race, const std::string& stamp, const std::string& distance,
                     const std::string& track) {
  return Rec(kCc, KeyChangeHead("CC1", race, stamp) +
                      Fields{{36, distance}, {40, track}, {42, "1200"}, {46, "17"}});
}

std::string Ra(const std::string& key) {
  return Rec(kRa, {{1, "RA2"}, {12, key}});
}

std::string Se(const std::string& key, const std::string& horse) {
  return Rec(kSe, {{1, "SE2"}, {12, key}, {29, horse}});
}

std::string We(const std::string& courseDay, const std::string& stamp, char kind) {
  return Rec(kWe, {{1, "WE"}, {12, courseDay}, {26, stamp}, {34, std::string(1, kind)}});
}

std::string Av(const std::string& key, const std::string& stamp, const std::string& horse) {
  return Rec(kAv, {{1, "AV1"}, {12, key}, {28, stamp}, {36, horse}});
}

std::string Tc(const std::string& key, const std::string& stamp) {
  return Rec(kTc, {{1, "TC1"}, {12, key}, {28, stamp}, {36, "10401030"}});
}

}  // namespace tavolen::testsupport
