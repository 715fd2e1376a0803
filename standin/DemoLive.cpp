#include "standin/DemoLive.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include "jvlink/JVData_Structure.h"
#include "jvlink/LiveRecords.h"
#include "jvlink/TextLines.h"
#include "standin/RecordWriter.h"

namespace tavolen {
namespace {

// splitmix64, seeded by the race key: the same race gives the same weights and result.
class Rng {
 public:
  explicit Rng(std::string_view seed) {
    for (char c : seed) state_ = state_ * 131 + static_cast<unsigned char>(c);
  }
  int Below(int n) {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return n <= 1 ? 0 : static_cast<int>(z % static_cast<uint64_t>(n));
  }
  int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }

 private:
  uint64_t state_ = 17;
};

struct Starter {
  SjisString entry;  // its SE record
  int number = 0, frame = 0;
  bool scratched = false;
  int popularity = 0;
};

std::string Z(long long v, int width) {
  return ZeroFilled(v, width);
}

int Minutes(std::string_view hhmm) {
  return ReadNumber(hhmm.substr(0, 2)) * 60 + ReadNumber(hhmm.substr(2, 2));
}

std::string Stamp(std::string_view ymd, int minute) {
  minute = std::clamp(minute, 0, 23 * 60 + 59);
  return std::string(ymd) + Z(minute / 60, 2) + Z(minute % 60, 2) + "00";
}

SjisString DemoWeights(std::string_view ra, const std::vector<Starter>& starters,
                       std::string_view announced, Rng& rng) {
  RecordWriter w(WH::kLength);
  w.Put(Header::RecordType, "WH")
      .Put(Header::DataDivision, "1")
      .Put(Header::CreationDate, Cut(ra, Header::Date))
      .Put(Header::RaceKey, Cut(ra, Header::RaceKey))
      .Put(WH::Announced, announced);
  for (size_t i = 0; i < starters.size() && i < WH::kSlots; ++i) {
    const Starter& s = starters[i];
    const int at = WH::kFirstSlot + WH::kSlotSize * static_cast<int>(i);
    w.PutNumber(at, 2, s.number).Put(at + 2, 18, Cut(s.entry, SE::HorseName.pos, 18));
    const int weight = rng.Between(420, 530);
    const int change = rng.Between(-6, 6) * 2;
    const bool first = rng.Below(12) == 0;
    if (s.scratched) {
      w.Put(at + 38, 3, "000");
    } else {
      w.PutNumber(at + 38, 3, weight);
      if (!first)
        w.Put(at + 41, 1,
              change < 0   ? "-"
              : change > 0 ? "+"
                           : " ")
            .PutNumber(at + 42, 3, std::abs(change));
    }
  }
  return w.Bytes();
}

// The payout blocks of one bet type: position, count and field widths.
struct Block {
  int pos, comboLen, popularityLen;
};
constexpr Block kWin{103, 2, 2}, kPlace{142, 2, 2}, kBracket{207, 2, 2}, kQuinella{246, 4, 3},
    kWide{294, 4, 3}, kExacta{454, 4, 3}, kTrio{550, 6, 3}, kTrifecta{604, 6, 4};

void PutPayout(RecordWriter& w, const Block& b, int index, const std::string& combo, long long yen,
               int popularity) {
  const int at = b.pos + (b.comboLen + 9 + b.popularityLen) * index;
  w.Put(at, b.comboLen, combo).PutNumber(at + b.comboLen, 9, yen);
  w.PutNumber(at + b.comboLen + 9, b.popularityLen, popularity);
}

std::string Combo(std::vector<int> numbers, bool ordered) {
  if (!ordered) std::sort(numbers.begin(), numbers.end());
  std::string s;
  for (int n : numbers) s += Z(n, 2);
  return s;
}

// Rounded down to ten yen, never below 100.
long long Yen(double v) {
  return std::max(100LL, static_cast<long long>(v) / 10 * 10);
}

SjisString DemoPayouts(std::string_view ra, const std::vector<Starter>& starters,
                       const std::vector<const Starter*>& order) {
  RecordWriter w(HR::kLength);
  const int running = static_cast<int>(order.size());
  w.Put(Header::RecordType, "HR")
      .Put(Header::DataDivision, "1")
      .Put(Header::CreationDate, Cut(ra, Header::Date))
      .Put(Header::RaceKey, Cut(ra, Header::RaceKey))
      .PutNumber(HR::Registered, static_cast<int>(starters.size()))
      .PutNumber(HR::Runners, running);
  bool refund = false;
  for (const Starter& s : starters)
    if (s.scratched) {
      refund = true;
      w.Put(HR::RefundHorses.pos + s.number - 1, 1, "1");
    }
  for (int t = 0; t < kBetTypes; ++t) {
    w.Put(HR::kNotSold + t, 1, "0").Put(HR::kSpecial + t, 1, "0");
    w.Put(HR::kRefund + t, 1, refund && t != static_cast<int>(BetType::Reserved) ? "1" : "0");
  }
  const Starter &a = *order[0], &b = *order[1], &c = *order[2];
  const double pa = a.popularity, pb = b.popularity, pc = c.popularity;
  const long long win = Yen(100 + 90 * pa * pa / 2 + 60 * pa);
  PutPayout(w, kWin, 0, Z(a.number, 2), win, a.popularity);
  const int places = running >= 8 ? 3 : 2;
  for (int i = 0; i < places; ++i) {
    const double p = order[static_cast<size_t>(i)]->popularity;
    PutPayout(w, kPlace, i, Z(order[static_cast<size_t>(i)]->number, 2), Yen(100 + 20 * p * p / 2),
              order[static_cast<size_t>(i)]->popularity);
  }
  const int pair = static_cast<int>(pa * pb);
  if (running > 8)
    PutPayout(w, kBracket, 0, Combo({a.frame, b.frame}, false), Yen(150 + 45 * pa * pb),
              std::max(1, pair / 2));
  PutPayout(w, kQuinella, 0, Combo({a.number, b.number}, false), Yen(200 + 120 * pa * pb), pair);
  const std::vector<std::pair<const Starter*, const Starter*>> wides = {
      {&a, &b}, {&a, &c}, {&b, &c}};
  for (int i = 0; i < 3; ++i) {
    const auto [x, y] = wides[static_cast<size_t>(i)];
    PutPayout(w, kWide, i, Combo({x->number, y->number}, false),
              Yen(110 + 40 * x->popularity * y->popularity), x->popularity * y->popularity);
  }
  PutPayout(w, kExacta, 0, Combo({a.number, b.number}, true), Yen(300 + 230 * pa * pb), pair * 2);
  const int triple = static_cast<int>(pa * pb * pc);
  PutPayout(w, kTrio, 0, Combo({a.number, b.number, c.number}, false),
            Yen(300 + 180 * pa * pb * pc), std::min(triple, 999));
  PutPayout(w, kTrifecta, 0, Combo({a.number, b.number, c.number}, true),
            Yen(1000 + 1100 * pa * pb * pc), std::min(triple * 5, 4896));
  return w.Bytes();
}

SjisString ResultRecord(const Starter& s, int stage, int place, int time, int odds) {
  SjisString r = s.entry;
  const auto put = [&r](FieldDef f, std::string_view text) {
    r.replace(static_cast<size_t>(f.pos - 1), static_cast<size_t>(f.len), text);
  };
  put(Header::DataDivision, std::to_string(stage));
  put(SEResult::Abnormal, s.scratched ? "1" : "0");
  put(SEResult::WinPopularity, s.scratched ? "  " : Z(s.popularity, 2));
  put(SEResult::WinOdds, s.scratched ? "    " : Z(odds, 4));
  if (s.scratched) return r;
  put(SEResult::Arrival, Z(place, 2));
  put(SEResult::Place, Z(place, 2));
  put(SEResult::DeadHeat, "0");
  put(SEResult::Time, Z(time / 600, 1) + Z(time % 600, 3));
  return r;
}

}  // namespace

bool IsDemoLiveFile(std::string_view name) {
  return name.find("-WH-") != std::string_view::npos ||
         (name.find("-SE") != std::string_view::npos &&
          name.find("-SE-") == std::string_view::npos);
}

std::vector<DemoFile> DemoLiveFiles(const std::vector<SjisString>& raceRecords,
                                    const std::vector<SjisString>& runnerRecords,
                                    const std::set<std::string>& scratched) {
  std::map<std::string, std::vector<Starter>> byRace;
  for (const SjisString& se : runnerRecords) {
    Starter s;
    s.entry = se;
    s.number = ReadNumber(Cut(se, SE::HorseNumber));
    s.frame = ReadNumber(Cut(se, SE::FrameNumber));
    const std::string race = Cut(se, Header::RaceKey);
    s.scratched = scratched.contains(race + Cut(se, SE::HorseNumber));
    byRace[race].push_back(std::move(s));
  }
  std::vector<DemoFile> files;
  for (const SjisString& ra : raceRecords) {
    const std::string race = Cut(ra, Header::RaceKey);
    std::vector<Starter>& starters = byRace[race];
    if (starters.size() < 3) continue;
    std::sort(starters.begin(), starters.end(),
              [](const Starter& x, const Starter& y) { return x.number < y.number; });
    Rng rng(race);
    const std::string ymd = Cut(ra, Header::Date);
    const int post = Minutes(Cut(ra, RA::PostTime));
    const std::string name = "-" + Cut(ra, Header::CourseCode) + Cut(ra, Header::RaceNumber);

    const std::string weighed = Stamp(ymd, post - kDemoWeightLead);
    files.push_back({weighed + "-WH-" + ymd + name + ".jvd",
                     DemoWeights(ra, starters, weighed.substr(4, 8), rng)});

    // The popularity and the finishing order: the favourites win more often.
    std::vector<Starter*> running;
    for (Starter& s : starters)
      if (!s.scratched) running.push_back(&s);
    if (running.size() < 3) continue;
    for (size_t i = running.size(); i > 1; --i)
      std::swap(running[i - 1], running[static_cast<size_t>(rng.Below(static_cast<int>(i)))]);
    for (size_t i = 0; i < running.size(); ++i) running[i]->popularity = static_cast<int>(i) + 1;
    std::vector<const Starter*> order(running.begin(), running.end());
    for (size_t i = 0; i + 1 < order.size(); ++i)
      if (rng.Below(100) < 45) std::swap(order[i], order[i + 1]);
    const int distance = ReadNumber(Cut(ra, RA::Distance));
    std::vector<int> times;  // tenths of a second
    for (size_t i = 0; i < order.size(); ++i)
      times.push_back(i == 0 ? distance * 6 / 10 + rng.Between(0, 30)
                             : times.back() + rng.Between(0, 4));
    const SjisString payouts = DemoPayouts(ra, starters, order);
    const int shown[4] = {3, 5, static_cast<int>(order.size()), static_cast<int>(order.size())};
    for (int stage = 3; stage <= 6; ++stage) {
      SjisString bytes;
      for (size_t i = 0; i < order.size() && static_cast<int>(i) < shown[stage - 3]; ++i)
        bytes += ResultRecord(*order[i], stage, static_cast<int>(i) + 1, times[i],
                              10 + order[i]->popularity * order[i]->popularity * 12);
      if (stage >= 5)
        for (const Starter& s : starters)
          if (s.scratched) bytes += ResultRecord(s, stage, 0, 0, 0);
      bytes += payouts;
      const std::string at = Stamp(ymd, post + kDemoResultDelays[stage - 3]);
      files.push_back({at + "-SE" + std::to_string(stage) + "-" + ymd + name + ".jvd", bytes});
    }
  }
  return files;
}

}  // namespace tavolen
