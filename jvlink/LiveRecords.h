// The records of the race day's live items: the horses' body weights (WH), the payouts (HR) and
// the result fields of a runner record (SE of a result stage). Layouts by 1-based byte position;
// the readers cut through Cut, so a short record reads as blanks and no reader indexes outside
// its buffer.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jvlink/JVData_Structure.h"
#include "jvlink/Sjis.h"

namespace tavolen {

namespace WH {
constexpr int kLength = 847;          // CR LF included
constexpr FieldDef Announced{28, 8};  // MMDDhhmm
constexpr int kSlots = 18;
constexpr int kFirstSlot = 36;
constexpr int kSlotSize = 45;
// Within a slot (0-based offsets + 1).
constexpr FieldDef HorseNumber{1, 2};
constexpr FieldDef HorseName{3, 36};
constexpr FieldDef Weight{39, 3};
constexpr FieldDef Sign{42, 1};
constexpr FieldDef Difference{43, 3};
}  // namespace WH

namespace HR {
constexpr int kLength = 719;
constexpr FieldDef Registered{28, 2};
constexpr FieldDef Runners{30, 2};
constexpr int kNotSold = 32, kSpecial = 41, kRefund = 50;  // one flag byte per bet type
constexpr FieldDef RefundHorses{59, 28};
constexpr FieldDef RefundFrames{87, 8};
constexpr FieldDef RefundSameFrame{95, 8};
}  // namespace HR

// The result fields of an SE record.
namespace SEResult {
constexpr FieldDef Weight{325, 3};
constexpr FieldDef Sign{328, 1};
constexpr FieldDef Difference{329, 3};
constexpr FieldDef Abnormal{332, 1};
constexpr FieldDef Arrival{333, 2};
constexpr FieldDef Place{335, 2};
constexpr FieldDef DeadHeat{337, 1};
constexpr FieldDef DeadHeatCount{338, 1};
constexpr FieldDef Time{339, 4};
constexpr FieldDef WinOdds{360, 4};
constexpr FieldDef WinPopularity{364, 2};
}  // namespace SEResult

// A runner's body weight as announced: the three fields as the record gives them.
struct BodyWeight {
  std::string weight;      // "002".."998", "999" not weighed, "000" scratched, blanks: none
  std::string sign;        // "+", "-" or " "
  std::string difference;  // "000" no change, "999" not weighed, blanks: first run or scratched

  bool empty() const;
  // "512(+8)", "512(0)", "512(初)", "計不", "取消"; "" when nothing was announced.
  SjisString Text() const;
  // "512kg(+8)" for the notification; "計不" and "取消" as Text.
  SjisString NotificationText() const;
  friend bool operator==(const BodyWeight&, const BodyWeight&) = default;
};

struct WeightEntry {
  int horseNumber = 0;
  BodyWeight weight;
};

struct WeightRecord {
  std::string raceKey;               // positions 12-27
  std::string announced;             // MMDDhhmm
  std::vector<WeightEntry> entries;  // the used slots, in the record's order
};

// A WH record; none for another record type. Slots with blanks or "00" as horse number are
// skipped, wherever they lie.
std::optional<WeightRecord> ReadWeightRecord(std::string_view record);

// The nine bet types of HR, in the record's order (kReserved is not sold).
enum class BetType { Win, Place, Bracket, Quinella, Wide, Reserved, Exacta, Trio, Trifecta };
inline constexpr int kBetTypes = 9;
// "単勝" ... "3連単" ("" for the reserved one).
SjisString BetTypeName(BetType type);

struct Payout {
  std::string combination;  // digits: horse (or frame) numbers, two per runner
  long long yen = 0;
  std::string popularity;  // digits; empty when the record leaves it blank
  bool Zero() const;       // a combination of zeros: not sold, special payout or not made
};

struct BetPayouts {
  bool notSold = false;         // 不成立
  bool special = false;         // 特払
  bool refund = false;          // 返還
  std::vector<Payout> payouts;  // the filled blocks, in the record's order
};

struct PayoutRecord {
  std::string raceKey;
  std::string kubun;  // "1" flash, "2" Monday, "9" race cancelled, "0" deleted
  int registered = 0, runners = 0;
  std::array<BetPayouts, kBetTypes> bets;
  std::vector<int> refundedHorses;  // the horse numbers whose flag is set
  std::vector<int> refundedFrames;
  const BetPayouts& Bet(BetType type) const { return bets[static_cast<size_t>(type)]; }
};

// An HR record; none for another record type. A block with a blank or zero amount and a blank
// combination is not listed.
std::optional<PayoutRecord> ReadPayoutRecord(std::string_view record);

struct RunnerResult {
  std::string raceKey;
  int horseNumber = 0;
  int stage = 0;  // the data kubun: 3..6 flash stages, 7 Monday, 9 cancelled, 0 deleted
  BodyWeight weight;
  char abnormal = ' ';  // 異常区分: '0' or ' ' none, '1' 取消, '2' 除外, '3'/'4' 中止, '5' 失格 ...
  int arrival = 0, place = 0;  // 0: none
  bool deadHeat = false;
  int deadHeatCount = 0;
  std::string time;  // "mss" and tenths, blanks or zeros when none
  std::string winOdds, winPopularity;
  // "1:34.5"; "" when there is no time.
  SjisString TimeText() const;
  // "2", "2同" for a dead heat, "取消", "除外", "中止", "失格"; "" while no place is known.
  SjisString PlaceText() const;
};

// The result fields of an SE record of a result stage (kubun 3-7 or 9); none for another type
// or an entry stage.
std::optional<RunnerResult> ReadRunnerResult(std::string_view record);

}  // namespace tavolen
