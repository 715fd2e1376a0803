#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "jvlink/JVData_Structure.h"
#include "jvlink/LiveRecords.h"
#include "standin/DemoDay.h"
#include "standin/Feed.h"
#include "tests/support/Files.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

bool Digits(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}
int Number(const std::string& s) {
  return Digits(s) ? std::stoi(s) : -1;
}

// Full-width text: the characters, then only full-width blanks. kana: katakana and "ー" only.
void ExpectPaddedFullWidth(const std::string& field, bool kana, int maxChars,
                           const std::string& what) {
  ASSERT_EQ(field.size() % 2, 0u) << what;
  int chars = 0;
  bool padding = false;
  for (size_t i = 0; i < field.size(); i += 2) {
    const auto lead = static_cast<unsigned char>(field[i]);
    const auto trail = static_cast<unsigned char>(field[i + 1]);
    if (lead == 0x81 && trail == 0x40) {
      padding = true;
      continue;
    }
    EXPECT_FALSE(padding) << what << ": text after the padding";
    ++chars;
    if (kana) {
      const bool katakana = lead == 0x83 && trail >= 0x40 && trail <= 0x96;
      EXPECT_TRUE(katakana || (lead == 0x81 && trail == 0x5B)) << what;
    } else {
      EXPECT_TRUE(lead >= 0x81 && lead != 0xA0 && trail >= 0x40 && trail != 0x7F) << what;
    }
  }
  EXPECT_GE(chars, 1) << what;
  EXPECT_LE(chars, maxChars) << what;
}

// Every byte outside the listed fields (and the CR LF) is a blank.
void ExpectBlankElsewhere(const std::string& r, std::vector<FieldDef> used,
                          const std::string& what) {
  std::vector<bool> mask(r.size(), false);
  for (FieldDef f : used)
    for (int i = f.pos - 1; i < f.pos - 1 + f.len; ++i) mask[static_cast<size_t>(i)] = true;
  for (size_t i = 0; i + 2 < r.size(); ++i)
    if (!mask[i]) {
      ASSERT_EQ(r[i], ' ') << what << " position " << i + 1;
    }
  EXPECT_TRUE(r.ends_with("\r\n")) << what;
}

std::map<std::string, std::string> Files(const std::vector<DemoFile>& files) {
  std::map<std::string, std::string> out;
  for (const auto& f : files) out[f.name] = f.bytes;
  return out;
}

std::string Ymd(const LocalDateTime& d) {
  return FormatCompactDateTime(d).substr(0, 8);
}

TEST(DemoDay, FramesAsJraAssignsThem) {
  using V = std::vector<int>;
  auto frames = [](int n) {
    V out;
    for (int h = 1; h <= n; ++h) out.push_back(JraFrameNumber(h, n));
    return out;
  };
  EXPECT_EQ(frames(5), (V{1, 2, 3, 4, 5}));
  EXPECT_EQ(frames(8), (V{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(frames(9), (V{1, 2, 3, 4, 5, 6, 7, 8, 8}));
  EXPECT_EQ(frames(10), (V{1, 2, 3, 4, 5, 6, 7, 7, 8, 8}));
  EXPECT_EQ(frames(16), (V{1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8}));
  EXPECT_EQ(frames(17), (V{1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 8}));
  EXPECT_EQ(frames(18), (V{1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 7, 8, 8, 8}));
  EXPECT_EQ(JraFrameNumber(0, 10), 0);
  EXPECT_EQ(JraFrameNumber(11, 10), 0);
}

// Checks one generated day record by record through the layouts.
void CheckDay(const LocalDateTime& date, const DemoDayOptions& options) {
  SCOPED_TRACE(FormatCompactDateTime(date));
  const std::string ymd = Ymd(date), before = Ymd(date.AddDays(-1));
  const std::vector<DemoFile> files = GenerateDemoDay(date, options);
  // Race files per course, files of changes published late, the day's change file.
  // The weights and results of the races, checked by LiveFilesAgree.
  const auto live = [](const DemoFile& f) {
    return f.name.find("-WH-") != std::string::npos ||
           (f.name.find("-SE") != std::string::npos && f.name.find("-SE-") == std::string::npos);
  };
  std::vector<const DemoFile*> lateFiles;
  size_t liveFiles = 0;
  for (const DemoFile& f : files) {
    if (live(f))
      ++liveFiles;
    else if (f.name.find("-0B14-") != std::string::npos && f.name != DemoChangeFileName(date))
      lateFiles.push_back(&f);
  }
  const size_t main = files.size() - lateFiles.size() - liveFiles;
  ASSERT_TRUE(main == 5 || main == 7) << files.size();
  const int courses = static_cast<int>(main - 1) / 2;

  std::map<std::string, std::string> races;                   // race key -> RA
  std::map<std::string, std::map<int, std::string>> runners;  // race key -> horse -> SE
  std::set<std::string> courseCodes, courseDays, registrations;
  for (const DemoFile& f : files) {
    if (f.name.find("-0B14-") != std::string::npos || live(f)) continue;
    EXPECT_EQ(FeedStampFromName(f.name), before + "170000");
    const std::vector<SjisString> records = SplitRecords(f.bytes);
    EXPECT_EQ(f.bytes.size(),
              records.size() * (f.name.find("-RA-") != std::string::npos ? 1272 : 555));
    for (const SjisString& r : records) {
      const std::string key = Cut(r, Header::RaceKey);
      ASSERT_TRUE(Digits(key));
      EXPECT_EQ(Cut(r, Header::Date), ymd);
      const int division = Number(Cut(r, Header::DataDivision));
      EXPECT_TRUE(division >= 1 && division <= 6);
      EXPECT_EQ(Cut(r, Header::CreationDate), before);
      const int course = Number(Cut(r, Header::CourseCode));
      EXPECT_TRUE(course >= 1 && course <= 10);
      EXPECT_GE(Number(Cut(r, Header::MeetingNumber)), 1);
      EXPECT_GE(Number(Cut(r, Header::DayNumber)), 1);
      courseCodes.insert(Cut(r, Header::CourseCode));
      courseDays.insert(Cut(r, 12, 14));
      if (r.starts_with("RA")) {
        ASSERT_EQ(r.size(), 1272u);
        EXPECT_TRUE(races.emplace(key, r).second);
      } else {
        ASSERT_TRUE(r.starts_with("SE"));
        ASSERT_EQ(r.size(), 555u);
        EXPECT_TRUE(runners[key].emplace(Number(Cut(r, SE::HorseNumber)), r).second);
      }
    }
  }
  EXPECT_EQ(static_cast<int>(courseCodes.size()), courses);
  EXPECT_EQ(static_cast<int>(courseDays.size()), courses);
  ASSERT_EQ(races.size(), 12u * courses);

  const std::set<std::string> conditions = {"701", "703", "005", "010", "016", "999"};
  std::string previousCourse;
  int previousPost = 0;
  for (const auto& [key, ra] : races) {
    SCOPED_TRACE(key);
    const int race = Number(key.substr(14, 2));
    EXPECT_TRUE(race >= 1 && race <= 12);
    ExpectBlankElsewhere(
        ra,
        {Header::RecordType, Header::DataDivision, Header::CreationDate, Header::RaceKey,
         RA::RaceName, RA::ShortRaceName, RA::GradeCode, RA::WeightRuleCode, RA::RaceConditionCode,
         RA::Distance, RA::TrackCode, RA::PostTime, RA::RunnerCount},
        "RA");
    ExpectPaddedFullWidth(Cut(ra, RA::RaceName), false, 30, "race name");
    ExpectPaddedFullWidth(Cut(ra, RA::ShortRaceName), false, 3, "short name");
    EXPECT_NE(std::string(" ABCDEFGHL").find(Cut(ra, RA::GradeCode)), std::string::npos);
    const int rule = Number(Cut(ra, RA::WeightRuleCode));
    EXPECT_TRUE(rule >= 1 && rule <= 4);
    EXPECT_TRUE(conditions.count(Cut(ra, RA::RaceConditionCode)));
    const int distance = Number(Cut(ra, RA::Distance));
    EXPECT_TRUE(distance >= 1000 && distance <= 3600 && distance % 50 == 0) << distance;
    const int track = Number(Cut(ra, RA::TrackCode));
    EXPECT_TRUE((track >= 11 && track <= 24) || track == 29) << track;
    const std::string post = Cut(ra, RA::PostTime);
    ASSERT_TRUE(Digits(post));
    const int minutes = Number(post.substr(0, 2)) * 60 + Number(post.substr(2, 2));
    EXPECT_LT(Number(post.substr(2, 2)), 60);
    if (race == 1) {
      EXPECT_TRUE(minutes >= 9 * 60 + 30 && minutes <= 10 * 60 + 30) << post;
    } else {
      EXPECT_EQ(key.substr(0, 14), previousCourse);
      EXPECT_GE(minutes - previousPost, 20);
      EXPECT_LE(minutes - previousPost, 60);
    }
    previousCourse = key.substr(0, 14);
    previousPost = minutes;

    const int count = Number(Cut(ra, RA::RunnerCount));
    EXPECT_TRUE(count >= 8 && count <= 18) << count;
    const auto& field = runners[key];
    ASSERT_EQ(static_cast<int>(field.size()), count);
    std::vector<int> perFrame(9, 0);
    std::set<std::string> jockeys;
    int lastFrame = 1;
    for (const auto& [horse, se] : field) {
      SCOPED_TRACE(horse);
      ASSERT_TRUE(horse >= 1 && horse <= count);
      ExpectBlankElsewhere(
          se,
          {Header::RecordType, Header::DataDivision, Header::CreationDate, Header::RaceKey,
           SE::FrameNumber, SE::HorseNumber, SE::RegistrationNumber, SE::HorseName, SE::SexCode,
           SE::Age, SE::TrainerCode, SE::TrainerName, SE::CarriedWeight, SE::BlinkerFlag,
           SE::JockeyCode, SE::JockeyName, SE::ApprenticeCode},
          "SE");
      const int frame = Number(Cut(se, SE::FrameNumber));
      if (count <= 8) {
        EXPECT_EQ(frame, horse);
      } else {
        EXPECT_TRUE(frame == lastFrame || frame == lastFrame + 1) << "frames in order";
        ++perFrame[static_cast<size_t>(frame)];
        lastFrame = frame;
      }
      const std::string reg = Cut(se, SE::RegistrationNumber);
      ASSERT_TRUE(Digits(reg));
      EXPECT_TRUE(registrations.insert(reg).second) << "one horse, one registration";
      const int age = Number(Cut(se, SE::Age));
      EXPECT_TRUE(age >= 2 && age <= 8);
      EXPECT_EQ(date.year - Number(reg.substr(0, 4)), age);
      ExpectPaddedFullWidth(Cut(se, SE::HorseName), true, 9, "horse name");
      const int sex = Number(Cut(se, SE::SexCode));
      EXPECT_TRUE(sex >= 1 && sex <= 3);
      EXPECT_TRUE(Digits(Cut(se, SE::TrainerCode)));
      ExpectPaddedFullWidth(Cut(se, SE::TrainerName), false, 4, "trainer");
      const int weight = Number(Cut(se, SE::CarriedWeight));
      EXPECT_TRUE(weight >= 480 && weight <= 600) << weight;
      EXPECT_NE(std::string("01").find(Cut(se, SE::BlinkerFlag)), std::string::npos);
      EXPECT_TRUE(Digits(Cut(se, SE::JockeyCode)));
      EXPECT_TRUE(jockeys.insert(Cut(se, SE::JockeyCode)).second) << "one ride per jockey";
      ExpectPaddedFullWidth(Cut(se, SE::JockeyName), false, 4, "jockey");
      EXPECT_NE(std::string("0123").find(Cut(se, SE::ApprenticeCode)), std::string::npos);
    }
    if (count > 8) {
      EXPECT_EQ(lastFrame, 8);
      for (int f = 1; f <= 8; ++f) {
        EXPECT_GE(perFrame[static_cast<size_t>(f)], 1);
        if (f > 1) {
          EXPECT_GE(perFrame[static_cast<size_t>(f)], perFrame[static_cast<size_t>(f - 1)]);
        }
      }
      EXPECT_LE(perFrame[8] - perFrame[1], 1);
    }
  }

  // The change records of the day.
  const DemoFile& changeFile = files.back();
  EXPECT_EQ(changeFile.name, DemoChangeFileName(date));
  const std::vector<SjisString> changes = SplitRecords(changeFile.bytes);
  const std::string monthDay = ymd.substr(4, 4);
  auto checkStamp = [&](const std::string& stamp, std::string& previous) {
    ASSERT_TRUE(Digits(stamp));
    EXPECT_EQ(stamp.substr(0, 4), monthDay);
    const int minute = Number(stamp.substr(4, 2)) * 60 + Number(stamp.substr(6, 2));
    EXPECT_LT(Number(stamp.substr(6, 2)), 60);
    EXPECT_GE(minute, options.firstChangeMinute);
    EXPECT_LE(minute, std::max(options.firstChangeMinute, options.lastChangeMinute));
    EXPECT_GE(stamp, previous) << "in announcement order";
    previous = stamp;
  };
  auto runnerOf = [&](const SjisString& r, FieldDef horseField) -> const std::string* {
    auto race = runners.find(Cut(r, Header::RaceKey));
    if (race == runners.end()) return nullptr;
    auto se = race->second.find(Number(Cut(r, horseField)));
    return se == race->second.end() ? nullptr : &se->second;
  };

  std::map<std::string, std::string> state;        // course day -> weather, turf, dirt
  std::map<std::string, std::string> minuteKinds;  // course day and stamp -> change kinds
  std::string previous = "00000000";
  std::map<std::string, int> kinds;
  for (size_t i = 0; i < changes.size(); ++i) {
    const SjisString& r = changes[i];
    const std::string type = r.substr(0, 2);
    SCOPED_TRACE(r);
    ++kinds[type];
    if (type != "WE" && type != "RA") {
      EXPECT_EQ(Cut(r, Header::CreationDate), ymd);
      EXPECT_TRUE(races.count(Cut(r, Header::RaceKey))) << "a change of a race of the day";
    }
    if (type == "WE") {
      ASSERT_EQ(r.size(), 42u);
      const std::string courseDay = Cut(r, WE::CourseDay);
      EXPECT_TRUE(courseDays.count(courseDay));
      const std::string codes = Cut(r, 35, 6);
      ASSERT_TRUE(Digits(codes));
      if (static_cast<int>(i) < courses) {
        EXPECT_EQ(Cut(r, WE::DataKind), "1");
        EXPECT_EQ(Cut(r, Header::CreationDate), before);
        EXPECT_EQ(Cut(r, WE::Stamp), "00000000");
        EXPECT_EQ(Cut(r, WE::ChangeKind), "1");
        EXPECT_TRUE(codes[0] >= '1' && codes[0] <= '6');
        EXPECT_TRUE(codes[1] >= '1' && codes[1] <= '4' && codes[2] >= '1' && codes[2] <= '4');
        EXPECT_EQ(codes.substr(3), "000");
        EXPECT_TRUE(state.emplace(courseDay, codes.substr(0, 3)).second);
        continue;
      }
      EXPECT_EQ(Cut(r, WE::DataKind), "1") << "one data kind for the state and its changes";
      EXPECT_EQ(Cut(r, Header::CreationDate), ymd);
      checkStamp(Cut(r, WE::Stamp), previous);
      ASSERT_TRUE(state.count(courseDay)) << "a change after the course's initial state";
      std::string& now = state[courseDay];
      const std::string kind = Cut(r, WE::ChangeKind);
      minuteKinds[courseDay + Cut(r, WE::Stamp)] += kind;
      if (kind == "2") {
        EXPECT_TRUE(codes[0] >= '1' && codes[0] <= '6');
        EXPECT_EQ(codes[3], now[0]) << "changes from the weather it was";
        EXPECT_NE(codes[0], codes[3]);
        EXPECT_EQ(codes.substr(1, 2) + codes.substr(4, 2), "0000");
        now[0] = codes[0];
      } else {
        ASSERT_EQ(kind, "3");
        EXPECT_EQ(std::string() + codes[0] + codes[3], "00");
        for (int s = 1; s <= 2; ++s) {
          EXPECT_TRUE(codes[s] >= '1' && codes[s] <= '4') << "both surfaces' going";
          EXPECT_EQ(codes[s + 3], now[s]) << "changes from the going it was";
        }
        EXPECT_NE(codes.substr(1, 2), codes.substr(4, 2)) << "some going changes";
        now[1] = codes[1];
        now[2] = codes[2];
      }
    } else if (type == "AV") {
      ASSERT_EQ(r.size(), 78u);
      EXPECT_NE(std::string("12").find(Cut(r, AV::Kind)), std::string::npos);
      checkStamp(Cut(r, AV::Stamp), previous);
      const std::string* se = runnerOf(r, AV::HorseNumber);
      ASSERT_NE(se, nullptr);
      EXPECT_EQ(Cut(r, AV::HorseName), Cut(*se, SE::HorseName));
      EXPECT_TRUE(Digits(Cut(r, AV::ReasonCode)));
    } else if (type == "JC") {
      ASSERT_EQ(r.size(), 161u);
      checkStamp(Cut(r, JC::Stamp), previous);
      const std::string* se = runnerOf(r, JC::HorseNumber);
      ASSERT_NE(se, nullptr);
      EXPECT_EQ(Cut(r, JC::HorseName), Cut(*se, SE::HorseName));
      const int weight = Number(Cut(r, JC::WeightAfter));
      EXPECT_TRUE(weight >= 480 && weight <= 600);
      ExpectPaddedFullWidth(Cut(r, JC::JockeyAfter), false, 17, "jockey after");
      ExpectPaddedFullWidth(Cut(r, JC::JockeyBefore), false, 17, "jockey before");
      EXPECT_NE(Cut(r, JC::JockeyAfter), Cut(r, JC::JockeyBefore));
      // The short name on the card is the start of the full name.
      EXPECT_TRUE(Cut(r, JC::JockeyBefore).starts_with(Cut(*se, SE::JockeyName).substr(0, 4)));
    } else if (type == "TC") {
      ASSERT_EQ(r.size(), 45u);
      checkStamp(Cut(r, TC::Stamp), previous);
      const std::string& ra = races.at(Cut(r, Header::RaceKey));
      EXPECT_EQ(Cut(r, TC::OldHour) + Cut(r, TC::OldMinute), Cut(ra, RA::PostTime));
      const std::string next = Cut(r, TC::NewHour) + Cut(r, TC::NewMinute);
      ASSERT_TRUE(Digits(next));
      EXPECT_LT(Number(Cut(r, TC::NewMinute)), 60);
      EXPECT_GT(next, Cut(ra, RA::PostTime));
    } else if (type == "CC") {
      ASSERT_EQ(r.size(), 50u);
      checkStamp(Cut(r, CC::Stamp), previous);
      const std::string& ra = races.at(Cut(r, Header::RaceKey));
      EXPECT_EQ(Cut(r, CC::OldDistance), Cut(ra, RA::Distance));
      EXPECT_EQ(Cut(r, CC::OldTrackCode), Cut(ra, RA::TrackCode));
      const int track = Number(Cut(r, CC::NewTrackCode));
      EXPECT_TRUE(track == 23 || track == 24) << "moved to the dirt";
      ASSERT_LT(i + 1, changes.size());
      const SjisString& moved = changes[i + 1];
      EXPECT_TRUE(moved.starts_with("RA"));
      EXPECT_EQ(moved.size(), 1272u);
      EXPECT_EQ(Cut(moved, Header::RaceKey), Cut(r, Header::RaceKey));
      EXPECT_EQ(Cut(moved, RA::Distance), Cut(r, CC::NewDistance));
      EXPECT_EQ(Cut(moved, RA::TrackCode), Cut(r, CC::NewTrackCode));
    } else {
      EXPECT_EQ(type, "RA");
      EXPECT_TRUE(i > 0 && changes[i - 1].starts_with("CC"));
    }
  }
  // Records published after their announcement, each in a file made later than it was
  // announced: a weather minute's second change and an early scratch.
  for (const DemoFile* f : lateFiles) {
    const std::string made = FeedStampFromName(f->name);
    ASSERT_EQ(made.substr(0, 8), ymd) << f->name;
    for (const SjisString& r : SplitRecords(f->bytes)) {
      const std::string type = r.substr(0, 2);
      ++kinds[type];
      const std::string stamp = type == "WE" ? Cut(r, WE::Stamp) : Cut(r, AV::Stamp);
      EXPECT_TRUE(type == "WE" || type == "AV") << type;
      EXPECT_LT(stamp.substr(4), made.substr(8, 4)) << "published after its announcement";
      if (type == "WE") minuteKinds[Cut(r, WE::CourseDay) + stamp] += Cut(r, WE::ChangeKind);
    }
  }
  EXPECT_GE(kinds["WE"], courses + 1);
  // A weather change and a going change of one course share a minute, as on the service.
  EXPECT_TRUE(std::any_of(minuteKinds.begin(), minuteKinds.end(),
                          [](const auto& m) { return m.second == "23"; }));
  EXPECT_GE(kinds["AV"], 3);
  EXPECT_GE(kinds["JC"], 2);
  EXPECT_EQ(kinds["TC"], 1);
  EXPECT_EQ(kinds["CC"], 1);
}

TEST(DemoDay, EveryMonthGivesAValidDay) {
  for (int month = 1; month <= 12; ++month) CheckDay({2024, month, 6 + month, 0, 0, 0}, {});
  CheckDay({2025, 1, 1, 0, 0, 0}, DemoOptionsFrom({2025, 1, 1, 22, 30, 0}));
  CheckDay({2024, 2, 29, 0, 0, 0}, DemoOptionsFrom({2024, 2, 29, 23, 58, 0}));
}

// Each race's weights come 70 minutes before its post time, scratched runners weighing "000";
// its four result stages from 5 minutes after it, the order of the places agreeing with the
// payouts' combinations. Read through the program's own readers.
TEST(DemoDay, TheRacesWeightsAndResultsAgreeWithTheDay) {
  const LocalDateTime date{2024, 3, 9, 0, 0, 0};
  std::map<std::string, std::string> post;  // race key -> hhmm
  std::set<std::string> scratched;          // race key + horse number
  std::map<std::string, std::vector<std::string>> stamps;
  std::map<std::string, std::map<int, int>> places;  // race key -> place -> horse
  std::map<std::string, std::string> payouts;
  const std::vector<DemoFile> files = GenerateDemoDay(date);
  for (const DemoFile& f : files)
    for (const SjisString& r : SplitRecords(f.bytes))
      if (r.starts_with("AV")) scratched.insert(Cut(r, Header::RaceKey) + Cut(r, AV::HorseNumber));
  for (const DemoFile& f : files)
    for (const SjisString& r : SplitRecords(f.bytes)) {
      const std::string race = Cut(r, Header::RaceKey);
      if (r.starts_with("RA")) post[race] = Cut(r, RA::PostTime);
      if (r.starts_with("WH") || r.starts_with("HR"))
        stamps[race].push_back(FeedStampFromName(f.name));
      if (r.starts_with("HR")) payouts[race] = r;
      if (const auto se = ReadRunnerResult(r); se && se->stage == 6 && se->place > 0)
        places[race][se->place] = se->horseNumber;
      if (const auto wh = ReadWeightRecord(r)) {
        ASSERT_EQ(r.size(), 847u);
        for (const WeightEntry& e : wh->entries) {
          const bool gone = scratched.contains(race + testsupport::TwoDigits(e.horseNumber));
          EXPECT_EQ(e.weight.weight == "000", gone) << race << " " << e.horseNumber;
        }
      }
    }
  ASSERT_EQ(payouts.size(), post.size());
  for (const auto& [race, hhmm] : post) {
    SCOPED_TRACE(race);
    const int minute = Number(hhmm.substr(0, 2)) * 60 + Number(hhmm.substr(2, 2));
    const auto at = [&](int m) {
      return Ymd(date) + testsupport::TwoDigits(m / 60) + testsupport::TwoDigits(m % 60) + "00";
    };
    ASSERT_EQ(stamps[race].size(), 5u);
    EXPECT_EQ(stamps[race].front(), at(minute - 70));
    EXPECT_EQ(stamps[race][1], at(minute + 5));
    const auto hr = ReadPayoutRecord(payouts[race]);
    ASSERT_TRUE(hr);
    auto& order = places[race];
    ASSERT_GE(order.size(), 3u);
    EXPECT_EQ(hr->Bet(BetType::Win).payouts.at(0).combination, testsupport::TwoDigits(order[1]));
    EXPECT_EQ(hr->Bet(BetType::Exacta).payouts.at(0).combination,
              testsupport::TwoDigits(order[1]) + testsupport::TwoDigits(order[2]));
    EXPECT_EQ(hr->Bet(BetType::Trifecta).payouts.at(0).combination,
              testsupport::TwoDigits(order[1]) + testsupport::TwoDigits(order[2]) +
                  testsupport::TwoDigits(order[3]));
    EXPECT_GT(hr->Bet(BetType::Trifecta).payouts[0].yen, hr->Bet(BetType::Win).payouts[0].yen);
    for (const auto& [p, horse] : order)
      EXPECT_FALSE(scratched.contains(race + testsupport::TwoDigits(horse)))
          << "a scratched runner placed";
  }
}

TEST(DemoDay, SameDateSameRaceDataWhateverTheChangeTimes) {
  const LocalDateTime date{2024, 6, 1, 0, 0, 0};
  auto a = Files(GenerateDemoDay(date));
  EXPECT_EQ(a, Files(GenerateDemoDay({2024, 6, 1, 15, 30, 0})));
  auto b = Files(GenerateDemoDay(date, DemoOptionsFrom({2024, 6, 1, 13, 0, 0})));
  ASSERT_EQ(a.size(), b.size());
  // The change files (named after their publication) differ only in their times.
  size_t changesA = 0, changesB = 0;
  for (const auto& [name, bytes] : a) {
    if (name.find("-0B14-") != std::string::npos) {
      changesA += bytes.size();
      if (name == DemoChangeFileName(date)) {
        EXPECT_NE(bytes, b[name]);
      }
    } else {
      EXPECT_EQ(bytes, b[name]) << name;
    }
  }
  for (const auto& [name, bytes] : b)
    if (name.find("-0B14-") != std::string::npos) changesB += bytes.size();
  EXPECT_EQ(changesA, changesB);
  EXPECT_NE(a, Files(GenerateDemoDay({2024, 6, 2, 0, 0, 0})));
}

TEST(DemoDay, ChangeTimesFollowTheMomentOfGeneration) {
  DemoDayOptions o = DemoOptionsFrom({2024, 6, 1, 12, 0, 0});
  EXPECT_EQ(o.firstChangeMinute, 12 * 60 + 3);
  EXPECT_EQ(o.lastChangeMinute, 16 * 60 + 3);
  o = DemoOptionsFrom({2024, 6, 1, 21, 0, 0});
  EXPECT_EQ(o.lastChangeMinute, 23 * 60 + 59);
  o = DemoOptionsFrom({2024, 6, 1, 23, 58, 0});
  EXPECT_EQ(o.firstChangeMinute, 23 * 60 + 59);
  EXPECT_EQ(o.lastChangeMinute, 23 * 60 + 59);
}

// Started at night or early in the morning, the races start an hour later, so that the watch
// (checking from one hour plus one interval before the first race) begins at the first tick.
TEST(DemoDay, TheRacesOfAnEarlyStartBeginAnHourLater) {
  EXPECT_EQ(DemoOptionsFrom({2024, 6, 1, 2, 10, 0}).firstPostMinute, 3 * 60 + 10);
  EXPECT_EQ(DemoOptionsFrom({2024, 6, 1, 8, 0, 0}).firstPostMinute, 9 * 60);
  EXPECT_EQ(DemoOptionsFrom({2024, 6, 1, 8, 1, 0}).firstPostMinute, 9 * 60 + 5);
  EXPECT_EQ(DemoOptionsFrom({2024, 6, 1, 21, 0, 0}).firstPostMinute, 9 * 60 + 50);
  const LocalDateTime date{2024, 6, 1, 0, 0, 0};
  for (const DemoFile& f : GenerateDemoDay(date, DemoOptionsFrom({2024, 6, 1, 2, 10, 0}))) {
    if (f.name.find("-RA-") == std::string::npos) continue;
    const std::string first = f.bytes.substr(0, 1272);
    EXPECT_GE(Cut(first, RA::PostTime), std::string("0310")) << f.name;
    EXPECT_LT(Cut(first, RA::PostTime), std::string("0400")) << f.name;
  }
}

TEST(DemoDay, WritesTheChangeFileLast) {
  const fs::path dir = testsupport::TempDir("standin/demowrite");
  const LocalDateTime date{2024, 6, 1, 0, 0, 0};
  SetWriteFaultForTesting(
      [](const fs::path& p) { return p.filename().string().find("-0B14-") != std::string::npos; });
  EXPECT_FALSE(WriteDemoDay(dir, date));
  SetWriteFaultForTesting(nullptr);
  EXPECT_FALSE(HasDemoDay(dir, date)) << "an unfinished day does not count";
  ASSERT_TRUE(WriteDemoDay(dir, date));
  EXPECT_TRUE(HasDemoDay(dir, date));
  for (const DemoFile& f : GenerateDemoDay(date)) {
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(dir / f.name, bytes));
    EXPECT_EQ(bytes, f.bytes);
  }
}

}  // namespace
}  // namespace tavolen
