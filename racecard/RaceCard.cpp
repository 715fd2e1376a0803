#include "racecard/RaceCard.h"

#include <algorithm>
#include <cstdio>

#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

SjisString Shown(std::string_view field) {
  return SjisString(DropCutLeadByte(field));
}

}  // namespace

std::string_view WithoutTrailingPadding(std::string_view text) {
  std::size_t end = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t len = IsSjisLeadByte(b) && i + 1 < text.size() ? 2 : 1;
    const bool blank = (len == 1 && (b == ' ' || b == '\0')) ||
                       (len == 2 && b == 0x81 && static_cast<unsigned char>(text[i + 1]) == 0x40);
    i += len;
    if (!blank) end = i;
  }
  return text.substr(0, end);
}

const CardRow& CardHeaderRow() {
  static const CardRow row = {Sj("枠"),   Sj("馬"),     Sj("馬名"),  Sj("性齢"), Sj("斤量"),
                              Sj("騎手"), Sj("調教師"), Sj("ﾌﾞﾘﾝｶ"), Sj("見習")};
  return row;
}

std::array<SjisString, kHeaderLabels> RaceHeaderTexts(const RaceSlot& slot) {
  static const SjisString year = Sj("年"), month = Sj("月"), dayBlank = Sj("日 "), kai = Sj("回 "),
                          day = Sj("日"), hour = Sj("時"), postTime = Sj("分発走"),
                          heads = Sj("頭");
  const std::string_view key = slot.raceKey;
  const SjisString course = CourseName(Cut(key, RaceKeyPart::CourseCode), 2);
  const std::string_view post = slot.postTime;

  std::array<SjisString, kHeaderLabels> labels;
  labels[0] = course;
  labels[1] = SjisString(TrimBlanks(PadNumber(Cut(key, RaceKeyPart::RaceNumber))));
  labels[2] = Cut(key, RaceKeyPart::Year) + year + PadNumber(Cut(key, RaceKeyPart::Month)) + month +
              PadNumber(Cut(key, RaceKeyPart::Day)) + dayBlank + course + " " +
              Cut(key, RaceKeyPart::MeetingNumber).substr(1) + kai +
              Cut(key, RaceKeyPart::DayNumber).substr(1) + day;
  labels[3] = Shown(slot.raceName);
  labels[4] = WeightRuleName(slot.weightRuleCode);
  labels[5] = RaceConditionNameOn(slot.raceConditionCode, Cut(key, 1, 8));
  labels[6] = TrackName(slot.trackCode);
  labels[7] = PadNumber(slot.distance) + "m";
  labels[8] = Cut(post, RA::PostHour) + hour + Cut(post, RA::PostMinute) + postTime;
  labels[9] = PadNumber(slot.runnerCount) + heads;
  return labels;
}

SjisString CarriedWeightText(std::string_view weight) {
  if (TrimBlanks(weight).empty()) return {};
  return Cut(weight, SE::WeightKilograms) + "." + Cut(weight, SE::WeightTenths) + "kg";
}

SjisString BlinkerText(std::string_view flag) {
  static const SjisString blinker = Sj("ﾌﾞﾘﾝｶ");
  return flag == "1" ? blinker : SjisString();
}

SjisString ApprenticeText(std::string_view code) {
  static const SjisString less = Sj("kg減");
  if (code == "1" || code == "2" || code == "3") return SjisString(code) + less;
  return {};
}

CardRow RunnerRowTexts(const RunnerSlot& runner, std::string_view runnerRecord) {
  CardRow row;
  row[0] = runner.frameNumber.str();
  row[1] = runner.horseNumber.str();
  row[2] = Shown(runner.horseName);
  row[3] = SexName(runner.sexCode) + PadNumber(Cut(runnerRecord, SE::Age));
  row[4] = CarriedWeightText(runner.carriedWeight);
  row[5] = Shown(runner.jockeyName);
  row[6] = Shown(runner.trainerName);
  row[7] = BlinkerText(runner.blinkerFlag);
  row[8] = ApprenticeText(runner.apprenticeCode);
  return row;
}

RaceCard BuildRaceCard(const LoadedMeeting& meeting, int slotIndex) {
  RaceCard card;
  if (slotIndex < 0 || slotIndex >= kMeetingRaces) {
    // No race: nothing to show, and no message either.
    card.grid.push_back(CardHeaderRow());
    card.complete = false;
    return card;
  }
  const RaceSlot& slot = meeting.raceSlots[slotIndex];
  const int n = RunnerPositionsOf(slot);
  card.labels = RaceHeaderTexts(slot);
  card.grid.reserve(n + 1);
  card.grid.push_back(CardHeaderRow());
  for (int k = 1; k <= n; ++k) {
    const RunnerSlot& runner = slot.runners[k - 1];
    if (ReadNumber(runner.frameNumber) <= 0) card.complete = false;
    card.grid.push_back(RunnerRowTexts(runner, meeting.runnerTable[slotIndex][k - 1]));
  }
  if (!card.complete) {
    static const SjisString incomplete = Sj("Rはデータ作成が未完了です。");
    const std::string& ra = meeting.raceTable[slotIndex];
    card.incompleteMessage = CourseName(Cut(ra, Header::CourseCode), 2) +
                             PadNumber(Cut(ra, Header::RaceNumber)) + incomplete;
  }
  return card;
}

RunnerFavourite RunnerFavouriteOf(const RunnerSlot& runner, const FavouriteList* favourites) {
  if (!favourites || favourites->empty()) return {};
  return {favourites->Contains(FavouriteKind::Horse, runner.registrationNumber),
          favourites->Contains(FavouriteKind::Jockey, runner.jockeyCode)};
}

bool RaceHasFavourite(const RaceSlot& slot, const FavouriteList* favourites) {
  const int n = RunnerPositionsOf(slot);
  for (int k = 0; k < n; ++k)
    if (RunnerFavouriteOf(slot.runners[k], favourites).any()) return true;
  return false;
}

SjisString FavouriteMark(RunnerFavourite favourite) {
  static const SjisString horse = Sj("★"), jockey = Sj("☆");
  if (favourite.horse) return horse;
  if (favourite.jockey) return jockey;
  return {};
}

void MarkFavouriteRows(CardGrid& grid, const RaceSlot& slot, const FavouriteList* favourites) {
  const int n = std::min(RunnerPositionsOf(slot), static_cast<int>(grid.size()) - 1);
  for (int k = 1; k <= n; ++k) {
    const SjisString mark = FavouriteMark(RunnerFavouriteOf(slot.runners[k - 1], favourites));
    if (!mark.empty()) grid[k][2] = mark + grid[k][2];
  }
}

SjisString CardCopyTitle(std::string_view label3Text, const RaceSlot& slot) {
  char number[16];
  std::snprintf(number, sizeof number, "%2dR",
                ReadNumber(Cut(slot.raceKey, RaceKeyPart::RaceNumber)));
  return SjisString(label3Text) + number;
}

SjisString GridRangeText(const CardGrid& grid, int left, int top, int right, int bottom,
                         std::string_view title) {
  const int columns = kCardColumns;
  const int rows = static_cast<int>(grid.size());
  if (right < left || bottom < top || right < 0 || bottom < 0 || left >= columns || top >= rows)
    return {};
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, columns - 1);
  bottom = std::min(bottom, rows - 1);

  SjisString text(title);
  text += "\r\n";
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c < right; ++c) {
      text += grid[r][c];
      text += '\t';
    }
    text += grid[r][right];
    text += "\r\n";
  }
  return text;
}

void GridRangeToClipboard(Desktop& desktop, const CardGrid& grid, int left, int top, int right,
                          int bottom, std::string_view title) {
  desktop.SetClipboardText(GridRangeText(grid, left, top, right, bottom, title));
}

void CopyRaceCard(Desktop& desktop, const CardGrid& grid, std::string_view label3Text,
                  const RaceSlot& slot) {
  GridRangeToClipboard(desktop, grid, 0, 0, kCardColumns - 1, static_cast<int>(grid.size()) - 1,
                       CardCopyTitle(label3Text, slot));
}

}  // namespace tavolen
