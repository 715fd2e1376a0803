// The race day's live items on the race card: each runner's body weight and change once
// announced, its place and time after the finish, the race's payouts for the panel under the
// card, and the race's state in the race list. Plain data from the day's live files.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "jvlink/LiveFiles.h"
#include "jvlink/Sjis.h"
#include "jvlink/TextLines.h"
#include "racecard/RaceCard.h"

namespace tavolen {

inline constexpr int kLiveColumns = 3;  // "馬体重", "着順", "タイム"
using LiveCells = std::array<SjisString, kLiveColumns>;

struct CardLive {
  bool weights = false;  // the race's weights are announced
  bool result = false;   // its result (with payouts) is confirmed
  // One row per grid row (row 0 the header), matched by the grid's horse numbers; empty when
  // the race has nothing announced yet, so the card keeps its columns.
  std::vector<LiveCells> rows;
  Lines payouts;  // the panel's lines, empty before the payouts
  bool empty() const { return rows.empty() && payouts.empty(); }
};

// The live items of race raceKey (16 bytes) for the rows of grid.
CardLive BuildCardLive(const LiveDay& day, std::string_view raceKey, const CardGrid& grid);

// The payouts' lines: "単勝  ⑤            350円  1人気", … "3連単 ⑤-③-⑫      12,340円 12人気"; a
// bet type with 特払, 不成立 or 返還 is marked after its lines.
Lines PayoutLines(std::string_view hrLine);

// The race list's mark of a race's state: "確" once its result is confirmed, "体" once its
// weights are announced, "" before.
SjisString RaceStateMark(const LiveDay& day, std::string_view raceKey);

// The card's copy with the live items: the grid's text with the three columns added to every
// line when the race has them, then the payouts' lines.
SjisString CardCopyText(const CardGrid& grid, const CardLive& live, std::string_view title);

}  // namespace tavolen
