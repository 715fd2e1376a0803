// JV-Data records built byte by byte for the tests, the fuzz targets and the benchmarks.
//
// The positions here are written from the record layouts themselves, apart from the program's
// own layout tables (jvlink/JVData_Structure.h): a wrong position in the program's table makes
// a test that feeds these records fail instead of agreeing with it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jvlink/Sjis.h"

namespace tavolen::testsupport {

// ---- pieces ----

// Texts at 1-based byte positions.
using Fields = std::vector<std::pair<int, std::string>>;

// A record of `length` bytes (CR LF included): blanks with the given texts at their positions.
std::string Rec(int length, const Fields& fields);

// A blank record of the given size (CR LF included) with the type at position 1.
std::string BlankRecord(std::string_view type, size_t size);
inline std::string Blank(size_t length) {
  return BlankRecord("", length);
}

// Writes text over the record from 1-based position pos.
void Put(std::string& record, int pos, std::string_view text);

// A text cut or padded with blanks to width bytes.
std::string Pad(std::string_view text, size_t width);

// Two digits with a leading zero, "07".
std::string TwoDigits(int n);

// Race key (positions 12-27): date, course, meeting "01", day number "02", race.
std::string RaceKey(std::string_view date, std::string_view course, int race);

// The stored day-file line of an RA record: no CR LF, "000000000" over positions 3-11.
std::string DayLine(std::string_view ra);

// A stored change-file line: the record without its CR LF.
std::string Line(std::string_view record);

std::string Concat(const std::vector<std::string>& records);

// "mm/dd hh:nn" of an announcement stamp (month, day, hour, minute), as the change window's
// lines show it; the day's initial state ("00000000") is no time but "初期状態" padded to the
// same width.
std::string ShownStamp(const std::string& stamp);
// The time of a category line of the notification: "初期状態" unpadded for the initial state.
std::string ShownInBalloon(const std::string& stamp);

// ---- race and runner records, short form: meeting "01", day number "02" ----

// An RA record; a division of 1-6 is stored, 7 is rejected. The race name carries the marker
// so versions of one race can be told apart.
std::string MakeRa(std::string_view date, std::string_view course, std::string_view race,
                   std::string_view division = "7", std::string_view marker = "A");
std::string MakeSe(std::string_view date, std::string_view course, std::string_view race,
                   std::string_view horse, std::string_view division = "7",
                   std::string_view marker = "A");
// Division 1, numbered race and horse.
std::string MakeRa(std::string_view date, std::string_view course, int race,
                   std::string_view marker = "A");
std::string MakeSe(std::string_view date, std::string_view course, int race, int horse,
                   std::string_view marker = "A");

// ---- race and runner records with every field the race card shows ----

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

// An RA record as the day file stores it: positions 3-11 are "000000000".
std::string RaRecord(const RaceSpec& s);
// An SE record of the race in the entry-file form (CR LF included).
std::string SeRecord(const RaceSpec& race, const RunnerSpec& s);

// The 216 lines of an entry file: the given records at the slots of their race and horse
// numbers, blank slots elsewhere.
std::string EntryFileBytes(const std::vector<std::string>& seRecords);
// The same from slot numbers (0-215) and records.
std::string EntryFile(const std::vector<std::pair<int, SjisString>>& filled);

// A full meeting in dataDir: 12 races per course (code, UTF-8 course name), `runners` runners
// each, with a day file and one complete entry file per course.
void WriteMeeting(const std::filesystem::path& dataDir, const std::string& date,
                  const std::vector<std::pair<std::string, std::string>>& courses, int runners);

// ---- records as the acquisition reads them: creation date "20231231", meeting "01", day
// number "02" ----

// Positions 1-27: type, division, creation date, date, course, meeting, day number, race.
std::string Header(const std::string& type, char division, const std::string& date,
                   const std::string& course, const std::string& race);
// An RA record whose race name starts with the marker.
SjisString RaRecord(const std::string& date, const std::string& course, const std::string& race,
                    const std::string& marker = "RACE", char division = '2');
// An SE record: frame 1, the horse number, a Japanese horse name.
SjisString SeRecord(const std::string& date, const std::string& course, const std::string& race,
                    const std::string& horse, char division = '2');

// ---- change records ----

// The race identification "yyyymmdd" + course + meeting + day number (14 characters).
struct Day {
  std::string date = "20240105";
  std::string course = "06";
  std::string meeting = "01";
  std::string dayNumber = "01";
  std::string Key() const { return date + course + meeting + dayNumber; }
};

// WE. dataKind and creation date as the service sends them: "1" and the previous day for the
// initial state, "2" and the day itself for changes.
std::string WeRecord(const Day& d, std::string_view dataKind, std::string_view created,
                     std::string_view stamp, char changeKind, char weather, char turf, char dirt,
                     char weatherBefore = '0', char turfBefore = '0', char dirtBefore = '0');
// AV; names are UTF-8 here and below.
std::string AvRecord(const Day& d, std::string_view race, std::string_view stamp,
                     std::string_view horse, std::string_view nameUtf8, char kind = '1',
                     std::string_view reason = "001");
std::string JcRecord(const Day& d, std::string_view race, std::string_view stamp,
                     std::string_view horse, std::string_view nameUtf8, std::string_view weight,
                     std::string_view jockeyAfterUtf8, std::string_view jockeyBeforeUtf8);
std::string TcRecord(const Day& d, std::string_view race, std::string_view stamp,
                     std::string_view newTime, std::string_view oldTime);
std::string CcRecord(const Day& d, std::string_view race, std::string_view stamp,
                     std::string_view newDistance, std::string_view newTrack,
                     std::string_view oldDistance, std::string_view oldTrack);
// RA with the race identification and first post time, as the change schedule reads it.
std::string RaRecord(const Day& d, std::string_view race, std::string_view postTime);

// Short forms from a race key (positions 12-27), kind or division "1" where the record has
// one, creation date "20240105" on WE only.
std::string MakeWe(std::string_view date, std::string_view course, std::string_view stamp,
                   std::string_view kind, std::string_view states = "111000");
std::string MakeAv(std::string_view race, std::string_view stamp, std::string_view horse,
                   std::string_view reason = "001");
std::string MakeJc(std::string_view race, std::string_view stamp, std::string_view horse,
                   std::string_view after, std::string_view before);
std::string MakeTc(std::string_view race, std::string_view stamp, std::string_view newTime,
                   std::string_view oldTime = "1025");
std::string MakeCc(std::string_view race, std::string_view stamp, std::string_view distance,
                   std::string_view track = "17", std::string_view oldDistance = "1600",
                   std::string_view oldTrack = "23");
// The same on RaceKey(date, "06", race).
std::string MakeAv(std::string_view date, int race, int horse, std::string_view stamp);
std::string MakeJc(std::string_view date, int race, int horse, std::string_view stamp,
                   std::string_view after);
std::string MakeTc(std::string_view date, int race, std::string_view stamp,
                   std::string_view newTime);
std::string MakeCc(std::string_view date, int race, std::string_view stamp);

// Change records of a race key (positions 12-27) with the fields the race card reads: an AV of
// the given kind ('1' scratch, '2' exclusion), a JC with the jockey after the change, a TC with
// the new post time, a CC with the new distance and track.
std::string ChangeAv(const std::string& race, const std::string& stamp, const std::string& horse,
                     char kind);
std::string ChangeJc(const std::string& race, const std::string& stamp, const std::string& horse,
                     const SjisString& after);
std::string ChangeTc(const std::string& race, const std::string& stamp, const std::string& newTime);
std::string ChangeCc(const std::string& race, const std::string& stamp, const std::string& distance,
                     const std::string& track);

// Bare forms from a key: the type with its kind digit, the key and the named fields only.
std::string Ra(const std::string& key);                            // key: 16-digit race key
std::string Se(const std::string& key, const std::string& horse);  // horse: two digits
// courseDay: positions 12-25; stamp: month, day, hour, minute.
std::string We(const std::string& courseDay, const std::string& stamp, char kind);
std::string Av(const std::string& key, const std::string& stamp, const std::string& horse);
std::string Tc(const std::string& key, const std::string& stamp);

}  // namespace tavolen::testsupport
