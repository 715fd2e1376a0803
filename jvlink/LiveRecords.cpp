#include "jvlink/LiveRecords.h"

#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

bool IsBlank(std::string_view s) {
  return TrimBlanks(s).empty();
}

// A field of digits as a number; 0 for blanks or any other text.
int Number(std::string_view s) {
  return AllDigits(s) ? ReadNumber(s) : 0;
}

std::string Digits(std::string_view s) {
  return AllDigits(s) ? std::string(s) : std::string();
}

// The payout blocks of one bet type: where they start, how many, and the field widths.
struct BlockLayout {
  int pos, count, comboLen, yenLen, popularityLen;
};
constexpr std::array<BlockLayout, kBetTypes> kBlocks = {{
    {103, 3, 2, 9, 2},   // 単勝
    {142, 5, 2, 9, 2},   // 複勝
    {207, 3, 2, 9, 2},   // 枠連
    {246, 3, 4, 9, 3},   // 馬連
    {294, 7, 4, 9, 3},   // ワイド
    {406, 0, 16, 0, 0},  // 予備
    {454, 6, 4, 9, 3},   // 馬単
    {550, 3, 6, 9, 3},   // 3連複
    {604, 6, 6, 9, 4},   // 3連単
}};

}  // namespace

bool BodyWeight::empty() const {
  return IsBlank(weight);
}

SjisString BodyWeight::Text() const {
  if (empty()) return {};
  if (weight == "999") return Sj("計不");
  if (weight == "000") return Sj("取消");
  SjisString text = std::to_string(Number(weight));
  if (IsBlank(difference)) return text + Sj("(初)");
  if (difference == "999" || !AllDigits(difference)) return text;
  const int d = Number(difference);
  return text + "(" + (d == 0 ? "0" : (sign == "-" ? "-" : "+") + std::to_string(d)) + ")";
}

SjisString BodyWeight::NotificationText() const {
  if (empty() || weight == "999" || weight == "000") return Text();
  SjisString text = Text();
  const size_t open = text.find('(');
  const SjisString kg = "kg";
  return open == SjisString::npos ? text + kg : text.insert(open, kg);
}

std::optional<WeightRecord> ReadWeightRecord(std::string_view record) {
  if (Cut(record, Header::RecordType) != "WH") return std::nullopt;
  WeightRecord r;
  r.raceKey = Cut(record, Header::RaceKey);
  r.announced = Cut(record, WH::Announced);
  for (int i = 0; i < WH::kSlots; ++i) {
    const int at = WH::kFirstSlot + WH::kSlotSize * i;
    const auto field = [&](FieldDef f) { return Cut(record, at + f.pos - 1, f.len); };
    const int horse = Number(field(WH::HorseNumber));
    if (horse <= 0) continue;
    r.entries.push_back({horse, {field(WH::Weight), field(WH::Sign), field(WH::Difference)}});
  }
  return r;
}

SjisString BetTypeName(BetType type) {
  static const char* const kNames[kBetTypes] = {"単勝", "複勝", "枠連",  "馬連", "ワイド",
                                                "",     "馬単", "3連複", "3連単"};
  return Sj(kNames[static_cast<size_t>(type)]);
}

bool Payout::Zero() const {
  return combination.find_first_not_of('0') == std::string::npos;
}

std::optional<PayoutRecord> ReadPayoutRecord(std::string_view record) {
  if (Cut(record, Header::RecordType) != "HR") return std::nullopt;
  PayoutRecord r;
  r.raceKey = Cut(record, Header::RaceKey);
  r.kubun = Cut(record, Header::DataDivision);
  r.registered = Number(Cut(record, HR::Registered));
  r.runners = Number(Cut(record, HR::Runners));
  for (int t = 0; t < kBetTypes; ++t) {
    BetPayouts& bet = r.bets[static_cast<size_t>(t)];
    bet.notSold = Cut(record, HR::kNotSold + t, 1) == "1";
    bet.special = Cut(record, HR::kSpecial + t, 1) == "1";
    bet.refund = Cut(record, HR::kRefund + t, 1) == "1";
    const BlockLayout& b = kBlocks[static_cast<size_t>(t)];
    const int size = b.comboLen + b.yenLen + b.popularityLen;
    for (int i = 0; i < b.count; ++i) {
      const int at = b.pos + size * i;
      const std::string combo = Cut(record, at, b.comboLen);
      const std::string yen = Cut(record, at + b.comboLen, b.yenLen);
      if (!AllDigits(combo) || !AllDigits(yen)) continue;
      Payout p{combo, 0, Digits(Cut(record, at + b.comboLen + b.yenLen, b.popularityLen))};
      for (char c : yen) p.yen = p.yen * 10 + (c - '0');
      if (p.yen == 0 && p.Zero()) continue;  // an unused block
      bet.payouts.push_back(std::move(p));
    }
  }
  const std::string horses = Cut(record, HR::RefundHorses);
  for (size_t i = 0; i < horses.size(); ++i)
    if (horses[i] == '1') r.refundedHorses.push_back(static_cast<int>(i) + 1);
  const std::string frames = Cut(record, HR::RefundFrames);
  for (size_t i = 0; i < frames.size(); ++i)
    if (frames[i] == '1') r.refundedFrames.push_back(static_cast<int>(i) + 1);
  return r;
}

SjisString RunnerResult::TimeText() const {
  if (!AllDigits(time) || time.size() != 4 || Number(time) == 0) return {};
  return time.substr(0, 1) + ":" + time.substr(1, 2) + "." + time.substr(3, 1);
}

SjisString RunnerResult::PlaceText() const {
  switch (abnormal) {
    case '1':
      return Sj("取消");
    case '2':
    case '3':
      return Sj("除外");
    case '4':
      return Sj("中止");
    case '5':
      return Sj("失格");
    default:
      break;
  }
  if (place <= 0) return {};
  return std::to_string(place) + (deadHeat ? Sj("同") : SjisString());
}

std::optional<RunnerResult> ReadRunnerResult(std::string_view record) {
  if (Cut(record, Header::RecordType) != "SE") return std::nullopt;
  const std::string kubun = Cut(record, Header::DataDivision);
  if (kubun.size() != 1 || kubun.find_first_of("0345679") == std::string::npos) return std::nullopt;
  RunnerResult r;
  r.raceKey = Cut(record, Header::RaceKey);
  r.stage = kubun[0] - '0';
  r.horseNumber = Number(Cut(record, SE::HorseNumber));
  r.weight = {Cut(record, SEResult::Weight), Cut(record, SEResult::Sign),
              Cut(record, SEResult::Difference)};
  r.abnormal = Cut(record, SEResult::Abnormal)[0];
  r.arrival = Number(Cut(record, SEResult::Arrival));
  r.place = Number(Cut(record, SEResult::Place));
  const std::string deadHeat = Cut(record, SEResult::DeadHeat);
  r.deadHeat = deadHeat == "1";
  r.deadHeatCount = Number(Cut(record, SEResult::DeadHeatCount));
  r.time = Cut(record, SEResult::Time);
  r.winOdds = Cut(record, SEResult::WinOdds);
  r.winPopularity = Digits(Cut(record, SEResult::WinPopularity));
  return r;
}

}  // namespace tavolen
