// The program's layout tables against records built from the record layouts by the test
// support: every named field reads back what was written at its position.
#include <gtest/gtest.h>

#include <initializer_list>

#include "jvlink/JVData_Structure.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

// The named fields of a text, cut one after another and joined with "|", blanks at either end
// of a field left out.
std::string Cuts(std::string_view text, std::initializer_list<FieldDef> fields) {
  std::string out;
  for (const FieldDef& f : fields) {
    const std::string cut = Cut(text, f);
    const size_t b = cut.find_first_not_of(' '), e = cut.find_last_not_of(' ');
    if (&f != fields.begin()) out += "|";
    if (b != std::string::npos) out += cut.substr(b, e - b + 1);
  }
  return out;
}

TEST(Layout, RaceAndRunnerFieldsReadBackWhatWasWritten) {
  const RaceSpec race{"20240106",    "09",   "03",   "07", 11,  "14",
                      "Arima Kinen", "1525", "2500", "10", "4", "999"};
  const std::string ra = RaRecord(race);
  ASSERT_EQ(static_cast<int>(ra.size()), RA::kLength);
  EXPECT_EQ(Cuts(ra, {Header::RecordType, Header::Year, Header::Month, Header::Day,
                      Header::MonthDay, Header::Date, Header::CourseCode, Header::MeetingNumber,
                      Header::DayNumber, Header::RaceNumber, Header::RaceKey}),
            "RA|2024|01|06|0106|20240106|09|03|07|11|2024010609030711");
  EXPECT_EQ(
      Cuts(ra, {RA::RaceName, RA::ShortRaceName, RA::GradeCode, RA::WeightRuleCode,
                RA::RaceConditionCode, RA::Distance, RA::TrackCode, RA::PostTime, RA::RunnerCount}),
      "Arima Kinen|ABCDEF|C|4|999|2500|10|1525|14");
  const std::string key = Cut(ra, Header::RaceKey);
  EXPECT_EQ(
      Cuts(key, {RaceKeyPart::Year, RaceKeyPart::Month, RaceKeyPart::Day, RaceKeyPart::CourseCode,
                 RaceKeyPart::MeetingNumber, RaceKeyPart::DayNumber, RaceKeyPart::RaceNumber}),
      "2024|01|06|09|03|07|11");
  EXPECT_EQ(Cuts(Cut(ra, RA::PostTime), {RA::PostHour, RA::PostMinute}), "15|25");

  RunnerSpec runner;
  runner.horse = 13;
  runner.frame = "7";
  runner.registration = "2019105432";
  runner.name = "Kitasan Black";
  runner.sex = "2";
  runner.age = "05";
  runner.weight = "575";
  runner.blinker = "1";
  runner.apprentice = "3";
  runner.jockey = "Take";
  runner.trainer = "Shimizu";
  const std::string se = SeRecord(race, runner);
  ASSERT_EQ(static_cast<int>(se.size()), SE::kLength);
  EXPECT_EQ(Cut(se, Header::RaceKey), "2024010609030711");
  EXPECT_EQ(Cuts(se, {SE::FrameNumber, SE::HorseNumber, SE::RegistrationNumber, SE::HorseName,
                      SE::SexCode, SE::Age, SE::TrainerCode, SE::TrainerName, SE::CarriedWeight,
                      SE::BlinkerFlag, SE::JockeyCode, SE::JockeyName, SE::ApprenticeCode}),
            "7|13|2019105432|Kitasan Black|2|05|01001|Shimizu|575|1|05001|Take|3");
  EXPECT_EQ(Cuts(Cut(se, SE::CarriedWeight), {SE::WeightKilograms, SE::WeightTenths}), "57|5");
}

TEST(Layout, ChangeFieldsReadBackWhatWasWritten) {
  const Day day{"20240106", "06", "01", "02"};
  const std::string we =
      WeRecord(day, "2", "20240106", "01061015", '3', '1', '2', '4', '5', '6', '7');
  EXPECT_EQ(
      Cuts(we, {WE::DataKind, WE::CourseDay, WE::Stamp, WE::ChangeKind, WE::Weather, WE::TurfGoing,
                WE::DirtGoing, WE::WeatherBefore, WE::TurfGoingBefore, WE::DirtGoingBefore}),
      "2|20240106060102|01061015|3|1|2|4|5|6|7");

  const std::string av = AvRecord(day, "05", "01060930", "12", "Uma", '2', "003");
  ASSERT_EQ(static_cast<int>(av.size()), AV::kLength);
  EXPECT_EQ(Cuts(av, {Header::RaceKey, AV::Kind, AV::Stamp, AV::HorseNumber, AV::HorseName,
                      AV::ReasonCode}),
            "2024010606010205|2|01060930|12|Uma|003");

  const std::string jc = JcRecord(day, "06", "01061100", "03", "Uma", "560", "After", "Before");
  ASSERT_EQ(static_cast<int>(jc.size()), JC::kLength);
  EXPECT_EQ(Cuts(jc, {JC::Stamp, JC::HorseNumber, JC::HorseName, JC::WeightAfter, JC::JockeyAfter,
                      JC::JockeyBefore}),
            "01061100|03|Uma|560|After|Before");

  const std::string tc = TcRecord(day, "07", "01061200", "1540", "1525");
  ASSERT_EQ(static_cast<int>(tc.size()), TC::kLength);
  EXPECT_EQ(Cuts(tc, {TC::Stamp, TC::NewHour, TC::NewMinute, TC::OldHour, TC::OldMinute}),
            "01061200|15|40|15|25");

  const std::string cc = CcRecord(day, "08", "01061300", "1800", "24", "1600", "23");
  ASSERT_EQ(static_cast<int>(cc.size()), CC::kLength);
  EXPECT_EQ(
      Cuts(cc, {CC::Stamp, CC::NewDistance, CC::NewTrackCode, CC::OldDistance, CC::OldTrackCode}),
      "01061300|1800|24|1600|23");
}

}  // namespace
}  // namespace tavolen
