#include "racecard/CardLive.h"

#include <map>

#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/LiveRecords.h"

namespace tavolen {
namespace {

SjisString Yen(long long yen) {
  SjisString digits = std::to_string(yen);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, ",");
  return digits + Sj("円");
}

// "⑤-③-⑫" (ordered bets) or "③-⑤-⑫"; the numbers two digits each.
SjisString Combination(std::string_view combo) {
  SjisString text;
  for (size_t i = 0; i + 1 < combo.size(); i += 2)
    text += (text.empty() ? "" : "-") + CircledNumber(combo.substr(i, 2));
  return text;
}

SjisString PadTo(SjisString text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

Lines PayoutLines(std::string_view hrLine) {
  Lines lines;
  const auto hr = ReadPayoutRecord(hrLine);
  if (!hr) return lines;
  if (hr->kubun == "9") {
    lines.push_back(Sj("レース中止"));
    return lines;
  }
  for (int t = 0; t < kBetTypes; ++t) {
    const BetType type = static_cast<BetType>(t);
    if (type == BetType::Reserved) continue;
    const BetPayouts& bet = hr->Bet(type);
    for (const Payout& p : bet.payouts) {
      SjisString line = PadTo(BetTypeName(type), 6) +
                        PadTo(p.Zero() ? SjisString() : Combination(p.combination), 20) +
                        PadTo(Yen(p.yen), 12);
      if (!p.popularity.empty()) line += std::to_string(ReadNumber(p.popularity)) + Sj("人気");
      lines.push_back(std::move(line));
    }
    SjisString marks;
    if (bet.special) marks += Sj(" 特払");
    if (bet.notSold) marks += Sj(" 不成立");
    if (bet.refund) marks += Sj(" 返還あり");
    if (!marks.empty()) lines.push_back(BetTypeName(type) + marks);
  }
  return lines;
}

CardLive BuildCardLive(const LiveDay& day, std::string_view raceKey, const CardGrid& grid) {
  CardLive live;
  const std::string race(raceKey);
  std::map<int, LiveCells> byHorse;
  if (auto it = day.weights.find(race); it != day.weights.end())
    if (const auto wh = ReadWeightRecord(it->second)) {
      live.weights = !wh->entries.empty();
      for (const WeightEntry& e : wh->entries) byHorse[e.horseNumber][0] = e.weight.Text();
    }
  for (auto it = day.results.lower_bound(race); it != day.results.end(); ++it) {
    if (!it->first.starts_with(race)) break;
    const auto r = ReadRunnerResult(it->second);
    if (!r) continue;
    LiveCells& cells = byHorse[r->horseNumber];
    if (cells[0].empty()) cells[0] = r->weight.Text();
    cells[1] = r->PlaceText();
    cells[2] = r->TimeText();
  }
  if (auto it = day.payouts.find(race); it != day.payouts.end()) {
    live.payouts = PayoutLines(it->second);
    live.result = !live.payouts.empty();
  }
  if (byHorse.empty()) return live;
  live.rows.resize(grid.size());
  if (!live.rows.empty()) live.rows[0] = {Sj("馬体重"), Sj("着順"), Sj("タイム")};
  for (size_t r = 1; r < grid.size(); ++r)
    if (auto it = byHorse.find(ReadNumber(grid[r][1])); it != byHorse.end())
      live.rows[r] = it->second;
  return live;
}

SjisString RaceStateMark(const LiveDay& day, std::string_view raceKey) {
  const std::string race(raceKey);
  if (auto it = day.payouts.find(race); it != day.payouts.end()) {
    const auto hr = ReadPayoutRecord(it->second);
    if (hr && (hr->kubun == "1" || hr->kubun == "2")) return Sj("確");
  }
  if (day.weights.contains(race)) return Sj("体");
  return {};
}

SjisString CardCopyText(const CardGrid& grid, const CardLive& live, std::string_view title) {
  if (grid.empty()) return {};
  SjisString text =
      GridRangeText(grid, 0, 0, kCardColumns - 1, static_cast<int>(grid.size()) - 1, title);
  if (live.rows.size() == grid.size()) {
    // The same lines with the live cells after a tab each.
    Lines lines = SplitLines(text);
    for (size_t r = 0; r < grid.size() && r + 1 < lines.size(); ++r)
      for (const SjisString& cell : live.rows[r]) lines[r + 1] += "\t" + cell;
    text = JoinLinesCrLf(lines);
  }
  for (const SjisString& line : live.payouts) text += line + "\r\n";
  return text;
}

}  // namespace tavolen
