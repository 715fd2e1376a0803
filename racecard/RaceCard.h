// The race card of one race slot: the ten header label texts, the grid's cell texts, whether
// the race is complete, and the tab-separated copy of the grid.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/Desktop.h"
#include "base/Favourites.h"
#include "jvlink/Sjis.h"
#include "racecard/Meeting.h"

namespace tavolen {

inline constexpr int kCardColumns = 9;
inline constexpr int kHeaderLabels = 10;

using CardRow = std::array<SjisString, kCardColumns>;
// The grid's cell texts, row 0 being the header row.
using CardGrid = std::vector<CardRow>;

// "枠", "馬", "馬名", "性齢", "斤量", "騎手", "調教師", "ﾌﾞﾘﾝｶ", "見習".
const CardRow& CardHeaderRow();

// A text without the half-width and full-width blanks that pad it at its end.
std::string_view WithoutTrailingPadding(std::string_view text);

// The texts of Label3D1 .. Label3D10 (index 0 .. 9) for a race slot, the fields as stored (the
// race name keeps its padding; the labels show the texts WithoutTrailingPadding).
std::array<SjisString, kHeaderLabels> RaceHeaderTexts(const RaceSlot& slot);

// The carried weight as shown: "55.0kg" for "550", empty when the field is blank.
SjisString CarriedWeightText(std::string_view weight);
// "ﾌﾞﾘﾝｶ" for blinker flag "1", otherwise empty.
SjisString BlinkerText(std::string_view flag);
// "1kg減", "2kg減", "3kg減" for apprentice codes "1" to "3", otherwise empty.
SjisString ApprenticeText(std::string_view code);

// The nine cell texts of a runner row, from a runner position of the slot and the runner
// record it was filled from (the age is read from the record). A horse name cut inside a
// double-byte character is shown without the cut-off lead byte.
CardRow RunnerRowTexts(const RunnerSlot& runner, std::string_view runnerRecord);

struct RaceCard {
  std::array<SjisString, kHeaderLabels> labels;
  CardGrid grid;  // runner positions + 1 rows, row 0 the header row
  bool complete = true;
  // When not complete: "中山 1Rはデータ作成が未完了です。" for the information box.
  SjisString incompleteMessage;
};

// The race card of race slot `slotIndex` (0..35) of the loaded meeting. An index outside
// 0..35 reads no slot and gives an incomplete card without a message.
RaceCard BuildRaceCard(const LoadedMeeting& meeting, int slotIndex);

// What a runner is to the favourites: a favourite horse, ridden by a favourite jockey, or both.
struct RunnerFavourite {
  bool horse = false;
  bool jockey = false;
  bool any() const { return horse || jockey; }
};
RunnerFavourite RunnerFavouriteOf(const RunnerSlot& runner, const FavouriteList* favourites);
// Whether a favourite horse runs, or a favourite jockey rides, in the race of a slot.
bool RaceHasFavourite(const RaceSlot& slot, const FavouriteList* favourites);
// The mark before a favourite's horse name: "★" for a favourite horse, "☆" for a favourite
// jockey's ride; empty for none.
SjisString FavouriteMark(RunnerFavourite favourite);
// The card's cell texts with the favourites marked: the mark before the horse name of each
// favourite runner's row (the copy to the clipboard carries it).
void MarkFavouriteRows(CardGrid& grid, const RaceSlot& slot, const FavouriteList* favourites);

// The title line of the copy: Label3D3's text + the slot's race number formatted "%2dR".
SjisString CardCopyTitle(std::string_view label3Text, const RaceSlot& slot);

// The text of a cell range: the title and CR LF, then one line per row with the cells joined
// by tabs, each line ended by CR LF. An empty range (right < left, bottom < top, right or
// bottom negative, left or top beyond the grid) gives the empty text; a range reaching beyond
// the grid is cut to it.
SjisString GridRangeText(const CardGrid& grid, int left, int top, int right, int bottom,
                         std::string_view title);

// Puts the text of a cell range on the clipboard, replacing what it held.
void GridRangeToClipboard(Desktop& desktop, const CardGrid& grid, int left, int top, int right,
                          int bottom, std::string_view title);

// The whole grid with its title on the clipboard (the grid's copy command).
void CopyRaceCard(Desktop& desktop, const CardGrid& grid, std::string_view label3Text,
                  const RaceSlot& slot);

}  // namespace tavolen
