#include "standin/DemoDay.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "jvlink/JVData_Structure.h"
#include "jvlink/Sjis.h"
#include "standin/DemoLive.h"
#include "standin/Feed.h"
#include "standin/RecordWriter.h"

namespace tavolen {
namespace {

constexpr int kWeLength = 42;      // positions 1-40 and CR LF
constexpr char kWeDataKind = '1';  // the data kind of every WE record, initial state or change
constexpr int kRaces = 12;
constexpr int kLastMinute = 23 * 60 + 59;

// A small deterministic generator (splitmix64): the same date gives the same day on every
// platform, which the standard distributions do not promise.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int Below(int n) { return n <= 1 ? 0 : static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  uint64_t state_;
};

std::vector<SjisString> SjList(std::initializer_list<const char*> utf8) {
  std::vector<SjisString> out;
  for (const char* s : utf8) out.push_back(Sj(s));
  return out;
}

struct CourseInfo {
  std::string code;
  bool leftHanded;
  std::vector<int> turf, dirt;  // distances run at the course
};

const CourseInfo& Course(const std::string& code) {
  static const std::vector<CourseInfo> courses = {
      {"01", false, {1200, 1500, 1800, 2000, 2600}, {1000, 1700, 2400}},
      {"02", false, {1200, 1800, 2000, 2600}, {1000, 1700}},
      {"03", false, {1200, 1800, 2000, 2600}, {1150, 1700}},
      {"04", true, {1400, 1600, 1800, 2000, 2200}, {1200, 1800}},
      {"05", true, {1400, 1600, 1800, 2000, 2400}, {1300, 1400, 1600, 2100}},
      {"06", false, {1200, 1600, 1800, 2000, 2200, 2500}, {1200, 1800}},
      {"07", true, {1200, 1400, 1600, 2000, 2200}, {1200, 1400, 1800, 1900}},
      {"08", false, {1200, 1400, 1600, 1800, 2000, 2200, 2400}, {1200, 1400, 1800, 1900}},
      {"09", false, {1200, 1400, 1600, 1800, 2000, 2200, 2400}, {1200, 1400, 1800, 2000}},
      {"10", false, {1200, 1800, 2000, 2600}, {1000, 1700}},
  };
  for (const auto& c : courses)
    if (c.code == code) return c;
  return courses.front();
}

struct Person {
  std::string code;      // five digits
  SjisString fullName;   // surname and given name
  SjisString shortName;  // surname and the first character of the given name
  char apprentice = '0';
};

struct Runner {
  int number = 0, frame = 0;
  SjisString name;
  std::string registration;
  char sex = '1';
  int age = 3;
  const Person* jockey = nullptr;
  const Person* trainer = nullptr;
  int weight = 550;  // tenths of a kilogram
  char blinker = '0';
  char apprentice = '0';
};

struct Race {
  int number = 0;
  SjisString name, shortName;
  char grade = ' ', weightRule = '3';
  std::string condition;
  bool turf = true, special = false;
  int distance = 1600;
  std::string track;
  int post = 600;  // minutes after midnight
  std::vector<Runner> runners;
};

// A weather or going announcement. A weather change has '0' for both goings, a going change
// '0' for the weather and the going of both surfaces (one of them may stay as it was).
struct WeatherChange {
  char kind;  // '2' weather, '3' going
  char weather, turf, dirt, weatherBefore, turfBefore, dirtBefore;
  bool sameMinute = false;  // announced in the same minute as the change before it
};

struct Meeting {
  const CourseInfo* info = nullptr;
  int meeting = 1, dayNumber = 1;
  std::vector<Person> jockeys, trainers;
  std::vector<Race> races;
  char weather = '1', turfGoing = '1', dirtGoing = '1';
  std::vector<WeatherChange> weatherChanges;
};

struct Day {
  LocalDateTime date;
  std::string ymd, createdBefore;  // the day and the day before, yyyymmdd
  std::vector<Meeting> meetings;
};

std::string Ymd(const LocalDateTime& t) {
  return FormatCompactDateTime(t).substr(0, 8);
}
std::string Hhmm(int minutes) {
  return ZeroFilled(minutes / 60, 2) + ZeroFilled(minutes % 60, 2);
}

}  // namespace

int JraFrameNumber(int horse, int runners) {
  if (horse < 1 || horse > runners) return 0;
  if (runners <= 8) return horse;
  const int base = runners / 8, extra = runners % 8;
  int last = 0;
  for (int frame = 1; frame <= 8; ++frame) {
    last += base + (frame > 8 - extra ? 1 : 0);
    if (horse <= last) return frame;
  }
  return 8;
}

namespace {

class PeoplePool {
 public:
  explicit PeoplePool(Rng& rng) : rng_(rng) {}
  Person Make(std::string code) {
    static const std::vector<SjisString> surnames =
        SjList({"青山", "赤井", "石田", "上野", "大川", "小野", "加賀", "川口", "北村", "久保",
                "小松", "坂井", "佐野", "島田", "杉本", "高木", "竹内", "田村", "千葉", "土屋",
                "中島", "西田", "野口", "浜田", "平野", "福井", "本田", "松井", "宮本", "長谷川"});
    static const std::vector<SjisString> given =
        SjList({"一郎", "健太", "翔太", "誠",   "大輝", "拓也", "亮",   "隼人", "蓮", "悠真",
                "和也", "直樹", "浩二", "雄一", "光",   "勇気", "俊介", "達也", "剛", "慎吾"});
    const int total = static_cast<int>(surnames.size() * given.size());
    int pick = rng_.Below(total);
    while (used_.count(pick)) pick = (pick + 1) % total;
    used_.insert(pick);
    const SjisString& s = surnames[static_cast<size_t>(pick) / given.size()];
    const SjisString& g = given[static_cast<size_t>(pick) % given.size()];
    return Person{std::move(code), s + g, s + g.substr(0, 2), '0'};
  }

 private:
  Rng& rng_;
  std::set<int> used_;
};

class HorseNames {
 public:
  explicit HorseNames(Rng& rng) : rng_(rng) {}
  SjisString Next() {
    static const std::vector<SjisString> heads = SjList(
        {"アオイ", "アカネ", "アサヒ",   "ウミ",     "カゼ",     "キララ",   "クレナイ", "コハク",
         "シズク", "ソラ",   "タイヨウ", "ツキ",     "ナギ",     "ハナ",     "ヒカリ",   "ホシ",
         "ミナモ", "ユメ",   "ルリ",     "スター",   "ブルー",   "ゴールド", "シルバー", "サニー",
         "ミスト", "ルナ",   "ノーブル", "ワイルド", "ラッキー", "モモ"});
    static const std::vector<SjisString> tails =
        SjList({"ライト",     "ウイング", "ダンサー", "ローズ",     "キング", "クイーン",
                "フラッシュ", "ボーイ",   "ガール",   "ドリーム",   "ソング", "ロード",
                "ハート",     "ブリーズ", "メロディ", "パレード",   "ノヴァ", "ミラー",
                "ラッシュ",   "リズム",   "エース",   "スピリット", "テイル", "ワルツ",
                "アロー",     "ジェム",   "ベル",     "ムーン",     "レイン", "ステップ"});
    const int total = static_cast<int>(heads.size() * tails.size());
    int pick = rng_.Below(total);
    while (used_.count(pick)) pick = (pick + 1) % total;
    used_.insert(pick);
    return heads[static_cast<size_t>(pick) / tails.size()] +
           tails[static_cast<size_t>(pick) % tails.size()];
  }

 private:
  Rng& rng_;
  std::set<int> used_;
};

std::vector<std::string> CourseCodes(const LocalDateTime& date, Rng& rng) {
  // Candidates for the eastern, western and local meeting of the season.
  std::vector<std::vector<std::string>> slots;
  if (date.month <= 3) {
    slots = {{"06"}, {"08"}, {"07", "10"}};
  } else if (date.month <= 6) {
    slots = {{"05"}, {"08", "09"}, {"03", "07"}};
  } else if (date.month <= 8) {
    slots = {{"04"}, {"10"}, {"01", "02"}};
  } else {
    slots = {{"06", "05"}, {"09", "08"}, {"07", "03"}};
  }
  const int count = rng.Chance(60) ? 3 : 2;
  std::vector<std::string> codes;
  for (int i = 0; i < count; ++i)
    codes.push_back(slots[static_cast<size_t>(i)][static_cast<size_t>(
        rng.Below(static_cast<int>(slots[static_cast<size_t>(i)].size())))]);
  std::sort(codes.begin(), codes.end());
  return codes;
}

int Nearest(const std::vector<int>& distances, int wanted) {
  int best = distances.front();
  for (int d : distances)
    if (std::abs(d - wanted) < std::abs(best - wanted)) best = d;
  return best;
}

void PlanRaces(Day& day, Meeting& m, int courseIndex, int firstPostMinute, Rng& rng,
               HorseNames& names, std::vector<SjisString>& specialWords, int& serial) {
  const int month = day.date.month;
  const int young = month >= 6 ? 2 : 3;  // two-year-olds race from June
  const int oldest = young == 2 ? 7 : 8;
  const SjisString youngText = young == 2 ? Sj("２歳") : Sj("３歳");
  const SjisString openText = young == 2 ? Sj("３歳以上") : Sj("４歳以上");
  const int firstPost = firstPostMinute + 10 * courseIndex;

  for (int r = 1; r <= kRaces; ++r) {
    Race race;
    race.number = r;
    bool youngRace = r <= 5;
    switch (r) {
      case 1:
      case 2:
      case 3:
      case 5:
        race.condition = "703";
        race.turf = r == 3 || r == 5;
        break;
      case 4:
        race.condition = month <= 3 || month >= 6 ? "701" : "703";
        race.turf = true;
        break;
      case 6:
      case 7:
      case 9:
        race.condition = "005";
        race.turf = r != 6;
        break;
      case 8:
      case 12:
        race.condition = "010";
        race.turf = false;
        break;
      case 10:
        race.condition = "016";
        race.turf = false;
        break;
      default:
        race.condition = "999";
        race.turf = true;
    }
    race.special = r >= 9 && r <= 11;
    race.weightRule = youngRace ? '3'
                      : r == 10 ? '1'
                      : r == 11 ? (rng.Chance(50) ? '2' : '1')
                                : '4';

    if (race.special) {
      const SjisString word = specialWords.back();
      specialWords.pop_back();
      if (r == 11) {
        const int g = rng.Below(10);
        race.grade = g < 3 ? 'C' : g < 6 ? 'L' : 'E';
        race.name = word + (race.grade == 'C' ? Sj("カップ") : Sj("ステークス"));
      } else {
        race.grade = 'E';
        race.name = word + (r == 9 ? Sj("特別") : Sj("賞"));
      }
      race.shortName = PadFullWidth(word, 6);
    } else if (race.condition == "701" || race.condition == "703") {
      const bool newcomer = race.condition == "701";
      race.name = youngText + (newcomer ? Sj("新馬") : Sj("未勝利"));
      race.shortName = newcomer ? Sj("新馬") : Sj("未勝利");
    } else {
      const bool second = race.condition == "010";
      race.name = openText + (second ? Sj("２勝クラス") : Sj("１勝クラス"));
      race.shortName = second ? Sj("２勝Ｃ") : Sj("１勝Ｃ");
    }

    const CourseInfo& c = *m.info;
    std::vector<int> choices = race.turf ? c.turf : c.dirt;
    if (youngRace) {
      std::erase_if(choices, [](int d) { return d > 1800; });
      if (choices.empty()) choices = {race.turf ? c.turf.front() : c.dirt.front()};
    }
    race.distance = choices[static_cast<size_t>(rng.Below(static_cast<int>(choices.size())))];
    race.track = race.turf ? (c.leftHanded ? "11" : "17") : (c.leftHanded ? "23" : "24");
    race.post = firstPost + 30 * (r - 1) + (r >= 5 ? 20 : 0) + (r == 12 ? 10 : 0);

    const int count = r == 11 ? rng.Between(12, 18) : rng.Between(8, 18);
    std::vector<int> jockeyOrder(m.jockeys.size());
    for (size_t i = 0; i < jockeyOrder.size(); ++i) jockeyOrder[i] = static_cast<int>(i);
    for (size_t i = jockeyOrder.size(); i > 1; --i)
      std::swap(jockeyOrder[i - 1],
                jockeyOrder[static_cast<size_t>(rng.Below(static_cast<int>(i)))]);

    for (int h = 1; h <= count; ++h) {
      Runner ru;
      ru.number = h;
      ru.frame = JraFrameNumber(h, count);
      ru.name = names.Next();
      ru.age = youngRace ? young : std::min(oldest, young + 1 + rng.Below(3) * rng.Below(3));
      const int s = rng.Below(100);
      ru.sex = s < 60 ? '1' : s < 95 || ru.age <= 3 ? '2' : '3';
      ru.registration = std::to_string(day.date.year - ru.age) + "10" + ZeroFilled(serial++, 4);
      ru.jockey = &m.jockeys[static_cast<size_t>(jockeyOrder[static_cast<size_t>(h - 1)])];
      ru.trainer = &m.trainers[static_cast<size_t>(rng.Below(static_cast<int>(m.trainers.size())))];
      const bool filly = ru.sex == '2';
      int weight;
      if (youngRace) {
        weight = young == 2 ? (filly ? 540 : 550) : (filly ? 550 : 570);
      } else {
        const bool youngest = ru.age == young + 1 && young == 2;
        weight = youngest ? (filly ? 530 : 550) : (filly ? 550 : 570);
      }
      if (race.weightRule == '2') weight += 10 * rng.Below(3);
      if (race.weightRule == '1') weight = 490 + 5 * rng.Below(19);
      ru.apprentice = race.special ? '0' : ru.jockey->apprentice;
      weight -= 10 * (ru.apprentice - '0');
      ru.weight = weight;
      ru.blinker = rng.Chance(15) ? '1' : '0';
      race.runners.push_back(std::move(ru));
    }
    m.races.push_back(std::move(race));
  }
}

Day PlanDay(const LocalDateTime& date, int firstPostMinute) {
  Day day;
  day.date = LocalDateTime{date.year, date.month, date.day, 0, 0, 0};
  day.ymd = Ymd(day.date);
  day.createdBefore = Ymd(day.date.AddDays(-1));
  Rng rng(static_cast<uint64_t>(date.year) * 10000 + date.month * 100 + date.day);
  PeoplePool people(rng);
  HorseNames names(rng);
  std::vector<SjisString> specialWords =
      SjList({"さくら",   "ひまわり", "あじさい", "すずらん", "もみじ", "つばき",   "すみれ",
              "なでしこ", "ききょう", "あさがお", "あさひ",   "みなと", "やまびこ", "はやて",
              "そよかぜ", "ほしぞら", "にじいろ", "しおかぜ", "こがね", "しろがね"});
  for (size_t i = specialWords.size(); i > 1; --i)
    std::swap(specialWords[i - 1],
              specialWords[static_cast<size_t>(rng.Below(static_cast<int>(i)))]);

  // The day's weather stories: one course turns wet, the others clear up, stay wet or stay fair.
  // The course that turns wet has its rain and its going change announced in one minute.
  const std::vector<std::vector<WeatherChange>> stories = {
      {{'2', '2', '0', '0', '1', '0', '0'},
       {'2', '4', '0', '0', '2', '0', '0'},
       {'3', '0', '2', '2', '0', '1', '1', true}},
      {{'2', '1', '0', '0', '2', '0', '0'}},
      {{'2', '4', '0', '0', '3', '0', '0'}, {'3', '0', '2', '2', '0', '2', '3', true}},
      {},
  };
  const char initial[4][3] = {{'1', '1', '1'}, {'2', '1', '1'}, {'3', '2', '3'}, {'1', '1', '1'}};
  std::vector<int> others = {1, 2, 3};
  for (size_t i = others.size(); i > 1; --i)
    std::swap(others[i - 1], others[static_cast<size_t>(rng.Below(static_cast<int>(i)))]);

  int serial = 1000;
  const std::vector<std::string> codes = CourseCodes(day.date, rng);
  for (size_t ci = 0; ci < codes.size(); ++ci) {
    Meeting m;
    m.info = &Course(codes[ci]);
    m.meeting = rng.Between(1, 5);
    m.dayNumber = rng.Between(1, 8);
    for (int j = 0; j < 22; ++j) {
      m.jockeys.push_back(people.Make(ZeroFilled(1000 + 100 * static_cast<int>(ci) + j, 5)));
      if (j >= 19) m.jockeys.back().apprentice = static_cast<char>('1' + (j - 19));
    }
    for (int j = 0; j < 16; ++j)
      m.trainers.push_back(people.Make(ZeroFilled(100 + 100 * static_cast<int>(ci) + j, 5)));
    const int story = ci == 0 ? 0 : others[ci - 1];
    m.weather = initial[story][0];
    m.turfGoing = initial[story][1];
    m.dirtGoing = initial[story][2];
    m.weatherChanges = stories[static_cast<size_t>(story)];
    day.meetings.push_back(std::move(m));
  }
  for (size_t ci = 0; ci < day.meetings.size(); ++ci)
    PlanRaces(day, day.meetings[ci], static_cast<int>(ci), firstPostMinute, rng, names,
              specialWords, serial);
  return day;
}

std::string CourseDayKey(const Day& day, const Meeting& m) {
  return day.ymd + m.info->code + ZeroFilled(m.meeting, 2) + ZeroFilled(m.dayNumber, 2);
}

std::string RaceKey(const Day& day, const Meeting& m, const Race& r) {
  return CourseDayKey(day, m) + ZeroFilled(r.number, 2);
}

// A change record of one race as the service sends it on the day: its type, created that day,
// the race's key and the announcement stamp; the caller writes the data division and the rest.
RecordWriter RaceChangeRecord(int length, const char* type, FieldDef stampField,
                              const std::string& stamp, const Day& day, const Meeting& m,
                              const Race& r) {
  RecordWriter w(length);
  w.Put(Header::RecordType, type)
      .Put(Header::CreationDate, day.ymd)
      .Put(Header::RaceKey, RaceKey(day, m, r))
      .Put(stampField, stamp);
  return w;
}

SjisString RaRecord(const Day& day, const Meeting& m, const Race& r, const std::string& created) {
  RecordWriter w(RA::kLength);
  w.Put(Header::RecordType, "RA")
      .Put(Header::DataDivision, "2")
      .Put(Header::CreationDate, created)
      .Put(Header::RaceKey, RaceKey(day, m, r))
      .Put(RA::RaceName, PadFullWidth(r.name, RA::RaceName.len))
      .Put(RA::ShortRaceName, PadFullWidth(r.shortName, RA::ShortRaceName.len))
      .Put(RA::GradeCode, std::string(1, r.grade))
      .Put(RA::WeightRuleCode, std::string(1, r.weightRule))
      .Put(RA::RaceConditionCode, r.condition)
      .PutNumber(RA::Distance, r.distance)
      .Put(RA::TrackCode, r.track)
      .Put(RA::PostTime, Hhmm(r.post))
      .PutNumber(RA::RunnerCount, static_cast<long long>(r.runners.size()));
  return w.Bytes();
}

SjisString SeRecord(const Day& day, const Meeting& m, const Race& r, const Runner& ru) {
  RecordWriter w(SE::kLength);
  w.Put(Header::RecordType, "SE")
      .Put(Header::DataDivision, "2")
      .Put(Header::CreationDate, day.createdBefore)
      .Put(Header::RaceKey, RaceKey(day, m, r))
      .PutNumber(SE::FrameNumber, ru.frame)
      .PutNumber(SE::HorseNumber, ru.number)
      .Put(SE::RegistrationNumber, ru.registration)
      .Put(SE::HorseName, PadFullWidth(ru.name, SE::HorseName.len))
      .Put(SE::SexCode, std::string(1, ru.sex))
      .PutNumber(SE::Age, ru.age)
      .Put(SE::TrainerCode, ru.trainer->code)
      .Put(SE::TrainerName, PadFullWidth(ru.trainer->shortName, SE::TrainerName.len))
      .PutNumber(SE::CarriedWeight, ru.weight)
      .Put(SE::BlinkerFlag, std::string(1, ru.blinker))
      .Put(SE::JockeyCode, ru.jockey->code)
      .Put(SE::JockeyName, PadFullWidth(ru.jockey->shortName, SE::JockeyName.len))
      .Put(SE::ApprenticeCode, std::string(1, ru.apprentice));
  return w.Bytes();
}

SjisString WeRecord(const Day& day, const Meeting& m, char dataKind, const std::string& created,
                    const std::string& stamp, char changeKind, const char codes[6]) {
  RecordWriter w(kWeLength);
  w.Put(Header::RecordType, "WE")
      .Put(WE::DataKind, std::string(1, dataKind))
      .Put(Header::CreationDate, created)
      .Put(WE::CourseDay, CourseDayKey(day, m))
      .Put(WE::Stamp, stamp)
      .Put(WE::ChangeKind, std::string(1, changeKind))
      .Put(35, 6, std::string(codes, 6));
  return w.Bytes();
}

// A change of the day: its records for a given announcement stamp.
struct Event {
  int weatherCourse = -1;  // for weather changes: the course, whose changes keep their order
  int storyStep = 0;
  std::function<std::vector<SjisString>(const std::string& stamp)> records;
};

std::vector<Event> PlanEvents(const Day& day, Rng& rng) {
  std::vector<Event> events;
  const int courses = static_cast<int>(day.meetings.size());
  for (int ci = 0; ci < courses; ++ci) {
    const Meeting& m = day.meetings[static_cast<size_t>(ci)];
    // One event per announcement minute; the service sends the initial state and the changes
    // with one data kind.
    int step = 0;
    for (size_t k = 0; k < m.weatherChanges.size(); ++k) {
      std::vector<WeatherChange> minute{m.weatherChanges[k]};
      while (k + 1 < m.weatherChanges.size() && m.weatherChanges[k + 1].sameMinute)
        minute.push_back(m.weatherChanges[++k]);
      events.push_back({ci, step++, [&day, &m, minute](const std::string& stamp) {
                          std::vector<SjisString> records;
                          for (const WeatherChange& c : minute) {
                            const char codes[6] = {c.weather,       c.turf,       c.dirt,
                                                   c.weatherBefore, c.turfBefore, c.dirtBefore};
                            records.push_back(
                                WeRecord(day, m, kWeDataKind, day.ymd, stamp, c.kind, codes));
                          }
                          return records;
                        }});
    }
  }

  std::set<std::tuple<int, int, int>> touched;  // course, race, horse
  auto pickRunner = [&](int& ci, int& ri, int& hi) {
    do {
      ci = rng.Below(courses);
      ri = rng.Below(kRaces);
      const auto& runners =
          day.meetings[static_cast<size_t>(ci)].races[static_cast<size_t>(ri)].runners;
      hi = rng.Below(static_cast<int>(runners.size()));
    } while (touched.count({ci, ri, hi}));
    touched.insert({ci, ri, hi});
  };

  const int scratches = rng.Between(3, 5);
  for (int i = 0; i < scratches; ++i) {
    int ci, ri, hi;
    pickRunner(ci, ri, hi);
    const bool excluded = i == scratches - 1;
    const std::string reason = excluded ? "003" : rng.Chance(70) ? "001" : "002";
    events.push_back({-1, 0, [&day, ci, ri, hi, excluded, reason](const std::string& stamp) {
                        const Meeting& m = day.meetings[static_cast<size_t>(ci)];
                        const Race& r = m.races[static_cast<size_t>(ri)];
                        const Runner& ru = r.runners[static_cast<size_t>(hi)];
                        RecordWriter w =
                            RaceChangeRecord(AV::kLength, "AV", AV::Stamp, stamp, day, m, r);
                        w.Put(AV::Kind, excluded ? "2" : "1")
                            .PutNumber(AV::HorseNumber, ru.number)
                            .Put(AV::HorseName, PadFullWidth(ru.name, AV::HorseName.len))
                            .Put(AV::ReasonCode, reason);
                        return std::vector<SjisString>{w.Bytes()};
                      }});
  }

  const int jockeyChanges = rng.Between(2, 3);
  for (int i = 0; i < jockeyChanges; ++i) {
    int ci, ri, hi;
    pickRunner(ci, ri, hi);
    const Meeting& m = day.meetings[static_cast<size_t>(ci)];
    const Race& r = m.races[static_cast<size_t>(ri)];
    std::vector<const Person*> free;
    for (const Person& p : m.jockeys) {
      bool rides = false;
      for (const Runner& ru : r.runners) rides = rides || ru.jockey == &p;
      if (!rides) free.push_back(&p);
    }
    const Runner& ru = r.runners[static_cast<size_t>(hi)];
    const Person* after = free.empty()
                              ? ru.jockey
                              : free[static_cast<size_t>(rng.Below(static_cast<int>(free.size())))];
    const int base = ru.weight + 10 * (ru.apprentice - '0');
    const int weightAfter = base - (r.special ? 0 : 10 * (after->apprentice - '0'));
    events.push_back(
        {-1, 0, [&day, &m, &r, &ru, after, weightAfter](const std::string& stamp) {
           RecordWriter w = RaceChangeRecord(JC::kLength, "JC", JC::Stamp, stamp, day, m, r);
           w.Put(Header::DataDivision, "1")
               .PutNumber(JC::HorseNumber, ru.number)
               .Put(JC::HorseName, PadFullWidth(ru.name, JC::HorseName.len))
               .PutNumber(JC::WeightAfter, weightAfter)
               .Put(JC::JockeyAfter, PadFullWidth(after->fullName, JC::JockeyAfter.len))
               .Put(JC::JockeyBefore, PadFullWidth(ru.jockey->fullName, JC::JockeyBefore.len));
           return std::vector<SjisString>{w.Bytes()};
         }});
  }

  const int postCourse = rng.Below(courses), postRace = rng.Between(5, 10) - 1;
  events.push_back({-1, 0, [&day, postCourse, postRace](const std::string& stamp) {
                      const Meeting& m = day.meetings[static_cast<size_t>(postCourse)];
                      const Race& r = m.races[static_cast<size_t>(postRace)];
                      const int later = r.post + 10;
                      RecordWriter w =
                          RaceChangeRecord(TC::kLength, "TC", TC::Stamp, stamp, day, m, r);
                      w.Put(Header::DataDivision, "1")
                          .PutNumber(TC::NewHour, later / 60)
                          .PutNumber(TC::NewMinute, later % 60)
                          .PutNumber(TC::OldHour, r.post / 60)
                          .PutNumber(TC::OldMinute, r.post % 60);
                      return std::vector<SjisString>{w.Bytes()};
                    }});

  // A turf race moved to the dirt course; the race record follows with its new course.
  const int courseCourse = rng.Below(courses);
  const int courseRace = std::vector<int>{2, 4, 6}[static_cast<size_t>(rng.Below(3))];
  events.push_back({-1, 0, [&day, courseCourse, courseRace](const std::string& stamp) {
                      const Meeting& m = day.meetings[static_cast<size_t>(courseCourse)];
                      Race moved = m.races[static_cast<size_t>(courseRace)];
                      const Race& r = m.races[static_cast<size_t>(courseRace)];
                      moved.distance = Nearest(m.info->dirt, r.distance);
                      moved.track = m.info->leftHanded ? "23" : "24";
                      RecordWriter w =
                          RaceChangeRecord(CC::kLength, "CC", CC::Stamp, stamp, day, m, r);
                      w.Put(Header::DataDivision, "1")
                          .PutNumber(CC::NewDistance, moved.distance)
                          .Put(CC::NewTrackCode, moved.track)
                          .PutNumber(CC::OldDistance, r.distance)
                          .Put(CC::OldTrackCode, r.track);
                      return std::vector<SjisString>{w.Bytes(), RaRecord(day, m, moved, day.ymd)};
                    }});

  // Mix the kinds, keeping each course's weather story in its order.
  for (size_t i = events.size(); i > 1; --i)
    std::swap(events[i - 1], events[static_cast<size_t>(rng.Below(static_cast<int>(i)))]);
  for (int ci = 0; ci < courses; ++ci) {
    std::vector<size_t> places;
    std::vector<Event> story;
    for (size_t i = 0; i < events.size(); ++i) {
      if (events[i].weatherCourse != ci) continue;
      places.push_back(i);
      story.push_back(events[i]);
    }
    std::sort(story.begin(), story.end(),
              [](const Event& a, const Event& b) { return a.storyStep < b.storyStep; });
    for (size_t k = 0; k < places.size(); ++k) events[places[k]] = story[k];
  }
  return events;
}

}  // namespace

DemoDayOptions DemoOptionsFrom(const LocalDateTime& now) {
  DemoDayOptions o;
  o.firstChangeMinute = std::min(kLastMinute, now.hour * 60 + now.minute + 3);
  o.lastChangeMinute = std::min(kLastMinute, o.firstChangeMinute + 4 * 60);
  // The watch checks from one hour plus one interval before the first post time: an hour
  // after now, on a five-minute mark, lets the first check come at the first tick.
  const int anHourOn = (now.hour * 60 + now.minute + 60 + 4) / 5 * 5;
  o.firstPostMinute = std::min(o.firstPostMinute, anHourOn);
  return o;
}

std::string DemoChangeFileName(const LocalDateTime& date) {
  const std::string ymd = Ymd(date);
  return ymd + "000000-0B14-" + ymd + ".jvd";
}

bool HasDemoDay(const fs::path& feedFolder, const LocalDateTime& date) {
  return FileExists(feedFolder / DemoChangeFileName(date));
}

std::vector<DemoFile> GenerateDemoDay(const LocalDateTime& date, const DemoDayOptions& options) {
  const Day day = PlanDay(date, options.firstPostMinute);
  const std::string stamp = day.createdBefore + "170000";
  std::vector<DemoFile> files;
  for (const Meeting& m : day.meetings) {
    DemoFile ra{stamp + "-RA-" + day.ymd + "-" + m.info->code + ".jvd", {}};
    DemoFile se{stamp + "-SE-" + day.ymd + "-" + m.info->code + ".jvd", {}};
    for (const Race& r : m.races) {
      ra.bytes += RaRecord(day, m, r, day.createdBefore);
      for (const Runner& ru : r.runners) se.bytes += SeRecord(day, m, r, ru);
    }
    files.push_back(std::move(ra));
    files.push_back(std::move(se));
  }

  DemoFile changes{DemoChangeFileName(day.date), {}};
  for (const Meeting& m : day.meetings) {
    const char codes[6] = {m.weather, m.turfGoing, m.dirtGoing, '0', '0', '0'};
    changes.bytes += WeRecord(day, m, kWeDataKind, day.createdBefore, "00000000", '1', codes);
  }
  Rng rng(static_cast<uint64_t>(date.year) * 10000 + date.month * 100 + date.day + 7);
  std::vector<Event> events = PlanEvents(day, rng);
  const int first = std::clamp(options.firstChangeMinute, 0, kLastMinute);
  const int last = std::clamp(options.lastChangeMinute, first, kLastMinute);
  const int n = static_cast<int>(events.size());
  int previous = first;
  std::vector<int> minutes;
  std::vector<std::vector<SjisString>> records;
  for (int i = 0; i < n; ++i) {
    const int spacing = n > 1 ? (last - first) / (n - 1) : 0;
    int minute = first + (n > 1 ? (last - first) * i / (n - 1) : 0);
    if (i > 0 && i < n - 1 && spacing >= 8) minute += rng.Between(-2, 2);
    minute = std::clamp(minute, previous, last);
    previous = minute;
    minutes.push_back(minute);
    const std::string when =
        ZeroFilled(day.date.month, 2) + ZeroFilled(day.date.day, 2) + Hhmm(minute);
    records.push_back(events[static_cast<size_t>(i)].records(when));
  }

  // As on the service, some records are published after their announcement time, in a file of
  // their own: the second change of a weather minute five minutes later, and the first scratch
  // only after a later scratch has been published.
  std::vector<int> published(static_cast<size_t>(n), -1);  // -1: with the day's change file
  std::vector<int> scratches;
  for (int i = 0; i < n; ++i)
    if (records[static_cast<size_t>(i)].front().starts_with("AV")) scratches.push_back(i);
  if (scratches.size() >= 2)
    published[static_cast<size_t>(scratches[0])] = minutes[static_cast<size_t>(scratches[1])] + 5;
  std::map<int, std::string> lateFiles;  // publication minute -> records
  for (int i = 0; i < n; ++i) {
    const auto& recs = records[static_cast<size_t>(i)];
    const int minute = minutes[static_cast<size_t>(i)];
    for (size_t k = 0; k < recs.size(); ++k) {
      int publish = published[static_cast<size_t>(i)];
      if (events[static_cast<size_t>(i)].weatherCourse >= 0 && k > 0) publish = minute + 5;
      publish = std::min(publish, kLastMinute);
      if (publish > minute)
        lateFiles[publish] += recs[k];
      else
        changes.bytes += recs[k];
    }
  }
  for (const auto& [minute, bytes] : lateFiles)
    files.push_back(
        {day.ymd + Hhmm(minute) + "00-0B14-" + day.ymd + "-" + Hhmm(minute) + ".jvd", bytes});
  // The weights and results of every race, made from the day's records; the scratched runners
  // are the day's AV records.
  std::vector<SjisString> raceRecords, runnerRecords;
  for (const DemoFile& f : files)
    for (SjisString& r : SplitRecords(f.bytes)) {
      if (r.starts_with("RA"))
        raceRecords.push_back(std::move(r));
      else if (r.starts_with("SE"))
        runnerRecords.push_back(std::move(r));
    }
  std::set<std::string> scratched;
  for (const auto& recs : records)
    for (const SjisString& r : recs)
      if (r.starts_with("AV")) scratched.insert(Cut(r, Header::RaceKey) + Cut(r, AV::HorseNumber));
  for (DemoFile& f : DemoLiveFiles(raceRecords, runnerRecords, scratched))
    files.push_back(std::move(f));
  files.push_back(std::move(changes));
  return files;
}

FileStatus WriteDemoDay(const fs::path& feedFolder, const LocalDateTime& date,
                        const DemoDayOptions& options) {
  for (const DemoFile& f : GenerateDemoDay(date, options))
    if (FileStatus st = WriteFileAtomic(feedFolder / f.name, f.bytes); !st) return st;
  return FileStatus::Ok();
}

}  // namespace tavolen
