// Record layouts of the JV-Data records the program reads: named fields by 1-based byte
// position and length, and the one helper that cuts them.
#pragma once

#include <string>
#include <string_view>

namespace tavolen {

struct FieldDef {
  int pos;  // 1-based byte position
  int len;  // bytes
};

// The bytes of a field. The part of a field that lies beyond the end of the record reads as
// blanks, so a short record never makes a reader index outside its buffer.
std::string Cut(std::string_view record, int pos, int len);
inline std::string Cut(std::string_view record, FieldDef f) {
  return Cut(record, f.pos, f.len);
}
// Cut's bytes appended to out, for a key made of several fields.
void AppendCut(std::string& out, std::string_view record, FieldDef f);
// The bytes of a field in place, for readers of many records that keep nothing of them; empty
// when the record is too short to hold the whole field.
inline std::string_view CutView(std::string_view record, FieldDef f) {
  const auto start = static_cast<size_t>(f.pos - 1), len = static_cast<size_t>(f.len);
  return record.size() >= start + len ? record.substr(start, len) : std::string_view{};
}

// A field read as a number: blanks around it are ignored, an optional sign is allowed, and any
// other text (or a number too large for an int) counts as 0.
int ReadNumber(std::string_view text);

// Header and race key, the same in RA and SE (and positions 12-27 in AV, JC, TC and CC).
namespace Header {
constexpr FieldDef RecordType{1, 2};
constexpr FieldDef DataDivision{3, 1};
constexpr FieldDef CreationDate{4, 8};
constexpr FieldDef Year{12, 4};
constexpr FieldDef Month{16, 2};
constexpr FieldDef Day{18, 2};
constexpr FieldDef MonthDay{16, 4};
constexpr FieldDef Date{12, 8};  // yyyymmdd
constexpr FieldDef CourseCode{20, 2};
constexpr FieldDef MeetingNumber{22, 2};
constexpr FieldDef DayNumber{24, 2};
constexpr FieldDef RaceNumber{26, 2};
constexpr FieldDef RaceKey{12, 16};
}  // namespace Header

// The parts of a race key as the loaded meeting keeps it (positions 12-27 of a record), by
// position within the key: the header's fields moved to the key's start.
namespace RaceKeyPart {
constexpr FieldDef InKey(FieldDef f) {
  return {f.pos - Header::RaceKey.pos + 1, f.len};
}
constexpr FieldDef Year = InKey(Header::Year);
constexpr FieldDef Month = InKey(Header::Month);
constexpr FieldDef Day = InKey(Header::Day);
constexpr FieldDef CourseCode = InKey(Header::CourseCode);
constexpr FieldDef MeetingNumber = InKey(Header::MeetingNumber);
constexpr FieldDef DayNumber = InKey(Header::DayNumber);
constexpr FieldDef RaceNumber = InKey(Header::RaceNumber);
static_assert(Year.pos == 1 && RaceNumber.pos == 15);
}  // namespace RaceKeyPart

namespace RA {
constexpr int kLength = 1272;  // CR LF included
constexpr FieldDef RaceName{33, 60};
constexpr FieldDef ShortRaceName{605, 6};
constexpr FieldDef GradeCode{615, 1};
constexpr FieldDef WeightRuleCode{622, 1};
constexpr FieldDef RaceConditionCode{635, 3};
constexpr FieldDef Distance{698, 4};
constexpr FieldDef TrackCode{706, 2};
constexpr FieldDef PostTime{874, 4};
constexpr FieldDef RunnerCount{882, 2};
// Within the post time (hhmm).
constexpr FieldDef PostHour{1, 2};
constexpr FieldDef PostMinute{3, 2};
}  // namespace RA

namespace SE {
constexpr int kLength = 555;  // CR LF included
constexpr FieldDef FrameNumber{28, 1};
constexpr FieldDef HorseNumber{29, 2};
constexpr FieldDef RegistrationNumber{31, 10};
constexpr FieldDef HorseName{41, 36};
constexpr FieldDef SexCode{79, 1};
constexpr FieldDef Age{83, 2};
constexpr FieldDef TrainerCode{86, 5};
constexpr FieldDef TrainerName{91, 8};
constexpr FieldDef CarriedWeight{289, 3};  // tenths of a kilogram
constexpr FieldDef WeightKilograms{1, 2};  // within the carried weight
constexpr FieldDef WeightTenths{3, 1};
constexpr FieldDef BlinkerFlag{295, 1};
constexpr FieldDef JockeyCode{297, 5};
constexpr FieldDef JockeyName{307, 8};
constexpr FieldDef ApprenticeCode{323, 1};
}  // namespace SE

namespace WE {
constexpr FieldDef DataKind{3, 1};
constexpr FieldDef CourseDay{12, 14};  // year, month, day, course, meeting, day number
constexpr FieldDef Identity{1, 25};    // course and day of a state
constexpr FieldDef Stamp{26, 8};
constexpr FieldDef ChangeKind{34, 1};
constexpr FieldDef Weather{35, 1};
constexpr FieldDef TurfGoing{36, 1};
constexpr FieldDef DirtGoing{37, 1};
constexpr FieldDef WeatherBefore{38, 1};
constexpr FieldDef TurfGoingBefore{39, 1};
constexpr FieldDef DirtGoingBefore{40, 1};
constexpr FieldDef Key{12, 23};  // identity key in the change file
}  // namespace WE

namespace AV {
constexpr int kLength = 78;
constexpr FieldDef Kind{3, 1};
constexpr FieldDef Stamp{28, 8};
constexpr FieldDef HorseNumber{36, 2};
constexpr FieldDef HorseName{38, 36};
constexpr FieldDef ReasonCode{74, 3};
}  // namespace AV

namespace JC {
constexpr int kLength = 161;
constexpr FieldDef Stamp{28, 8};
constexpr FieldDef HorseNumber{36, 2};
constexpr FieldDef HorseName{38, 36};
constexpr FieldDef WeightAfter{74, 3};
constexpr FieldDef JockeyAfter{82, 34};
constexpr FieldDef JockeyBefore{125, 34};
}  // namespace JC

namespace TC {
constexpr int kLength = 45;
constexpr FieldDef Stamp{28, 8};
constexpr FieldDef NewHour{36, 2};
constexpr FieldDef NewMinute{38, 2};
constexpr FieldDef OldHour{40, 2};
constexpr FieldDef OldMinute{42, 2};
}  // namespace TC

namespace CC {
constexpr int kLength = 50;
constexpr FieldDef Stamp{28, 8};
constexpr FieldDef NewDistance{36, 4};
constexpr FieldDef NewTrackCode{40, 2};
constexpr FieldDef OldDistance{42, 4};
constexpr FieldDef OldTrackCode{46, 2};
}  // namespace CC

}  // namespace tavolen
