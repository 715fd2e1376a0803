#include "racecard/CardPaint.h"

#include <cstdio>
#include <string>

#include "jvlink/JVData_Structure.h"
#include "racecard/RaceCard.h"

namespace tavolen {
namespace {

using Role = PaintColour::Role;

constexpr int w = kGridLineWidth;
constexpr int kBoldPoints = 10;
constexpr int kPlainPoints = 9;
// The width of one full-width character of the horse name's font (10 points, bold).
constexpr int kMarkWidth = 14;

SjisString Format(const char* format, int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, format, value);
  return buf;
}

SjisString SexWord(std::string_view code) {
  static const SjisString male = Sj("牡"), female = Sj("牝"), gelding = Sj("ｾﾝ");
  if (code == "1") return male;
  if (code == "2") return female;
  if (code == "3") return gelding;
  return "  ";
}

// "枠" above "番", or "馬" above "番", on the button face.
void PaintHeaderPair(CellPaint& paint, const SjisString& upper, int textHeight) {
  static const SjisString ban = Sj("番");
  paint.fill = PaintColour::Of(Role::ButtonFace);
  paint.texts.push_back({upper, w + 1, w + 1});
  paint.texts.push_back({ban, w + 1, w + 1 + textHeight});
}

PaintText Plain(SjisString text) {
  PaintText t{std::move(text), w + 1, w + 1};
  t.pointSize = kPlainPoints;
  return t;
}

// Marks the day's change of runner on the painting of one of its cells.
void MarkChange(CellPaint& paint, int column, const RunnerChange& change) {
  if (change.scratch != Scratch::None) {
    if (column == 0) return;  // the frame keeps its colours
    paint.fill = kScratchedFill;
    for (PaintText& t : paint.texts) t.colour = kScratchedText;
    if (column == 7) {
      PaintText mark = Plain(ScratchMark(change.scratch));
      mark.colour = kChangeText;
      mark.bold = true;
      paint.texts = {std::move(mark)};
    }
    return;
  }
  if (column == 5 && !change.newJockey.empty()) {
    paint.fill = kChangedJockeyFill;
    PaintText name = Plain(change.newJockey);
    name.colour = kChangeText;
    name.bold = true;
    paint.texts = {std::move(name)};
  }
}

// Marks a favourite runner's row on the painting of one of its cells.
void MarkFavourite(CellPaint& paint, int column, RunnerFavourite favourite) {
  if (!favourite.any() || column < 2) return;  // the frame and horse number keep their colours
  paint.fill = kFavouriteFill;
  if (paint.texts.empty() && !paint.defaultText.empty()) {
    // A cell the grid draws alone (the live columns): its text goes over the fill, which
    // would hide it otherwise.
    PaintText text{paint.defaultText, 2, 2};
    text.colour = paint.defaultTextColour;
    paint.texts.push_back(std::move(text));
  }
  if (column == 2 && !paint.texts.empty()) {
    // The mark in the name's place, the name moved right by one full-width character.
    PaintText mark = paint.texts.front();
    mark.text = FavouriteMark(favourite);
    mark.colour = kFavouriteMarkColour;
    paint.texts.front().x += kMarkWidth;
    paint.texts.insert(paint.texts.begin(), std::move(mark));
  }
  if (column == 5 && favourite.jockey)
    for (PaintText& t : paint.texts) t.bold = true;
}

}  // namespace

std::optional<FrameColours> FrameColoursOf(int frame) {
  static constexpr FrameColours table[8] = {
      {kWhite, kBlack},
      {PaintColour::Rgb(128, 128, 128), kWhite},
      {PaintColour::Rgb(255, 0, 0), kWhite},
      {PaintColour::Rgb(0, 0, 255), kWhite},
      {PaintColour::Rgb(255, 255, 0), kBlack},
      {PaintColour::Rgb(0, 255, 0), kWhite},
      {PaintColour::Rgb(255, 128, 0), kWhite},
      {PaintColour::Rgb(255, 0, 255), kWhite},
  };
  if (frame < 1 || frame > 8) return std::nullopt;
  return table[frame - 1];
}

std::optional<int> AgeInYear(std::string_view registrationNumber, int currentYear) {
  if (registrationNumber.size() < 4) return std::nullopt;
  int year = 0;
  for (char c : registrationNumber.substr(0, 4)) {
    if (c < '0' || c > '9') return std::nullopt;
    year = year * 10 + (c - '0');
  }
  return currentYear - year;
}

CellPaint DecideCellPaint(const LoadedMeeting& meeting, const CellToPaint& cell) {
  static const SjisString waku = Sj("枠"), uma = Sj("馬");
  CellPaint paint;
  const bool fixed = cell.row == 0 || cell.column <= 1;
  if (fixed) {
    paint.background = PaintColour::Of(Role::ButtonFace);
  } else if (cell.selected) {
    paint.background = PaintColour::Of(Role::Highlight);
    paint.defaultTextColour = PaintColour::Of(Role::HighlightText);
  }
  paint.defaultText = SjisString(cell.text);

  const int h = cell.row == 0 ? 0 : ReadNumber(cell.horseNumberText);
  if (h == 0) {
    if (cell.column == 0) PaintHeaderPair(paint, waku, cell.headerTextHeight);
    if (cell.column == 1) PaintHeaderPair(paint, uma, cell.headerTextHeight);
    return paint;
  }
  // A horse number outside the 18 runner positions, or no race selected: nothing to paint
  // over the grid's own painting.
  if (h < 1 || h > kRunnerPositions || meeting.selectedRaceIndex < 0 ||
      meeting.selectedRaceIndex >= kMeetingRaces)
    return paint;
  const RunnerSlot& runner = meeting.raceSlots[meeting.selectedRaceIndex].runners[h - 1];

  switch (cell.column) {
    case 0: {
      const int frame = ReadNumber(runner.frameNumber);
      const auto colours = FrameColoursOf(frame);
      if (colours) paint.fill = colours->background;
      PaintText t{Format("%1d", frame), w + 5, w + 1};
      if (colours) t.colour = colours->text;
      t.bold = true;
      t.pointSize = kBoldPoints;
      paint.texts.push_back(std::move(t));
      break;
    }
    case 1: {
      paint.fill = PaintColour::Of(Role::InfoBackground);
      PaintText t{
          Format("%2d", ReadNumber(runner.horseNumber)), w + 1, w + 1, kBlack, true, kBoldPoints};
      paint.texts.push_back(std::move(t));
      break;
    }
    case 2: {
      paint.fill = kWhite;
      PaintText t{SjisString(DropCutLeadByte(runner.horseName)), w + 1, w - 1};
      t.bold = true;
      t.pointSize = kBoldPoints;
      paint.texts.push_back(std::move(t));
      break;
    }
    case 3: {
      paint.fill = kWhite;
      SjisString text = SexWord(runner.sexCode);
      if (auto age = AgeInYear(runner.registrationNumber, cell.currentYear))
        text += std::to_string(*age);
      paint.texts.push_back(Plain(std::move(text)));
      break;
    }
    case 4:
      paint.fill = kWhite;
      paint.texts.push_back(Plain(CarriedWeightText(runner.carriedWeight)));
      break;
    case 5:
      paint.fill = kWhite;
      paint.texts.push_back(Plain(SjisString(DropCutLeadByte(runner.jockeyName))));
      break;
    case 6:
      paint.fill = kWhite;
      paint.texts.push_back(Plain(SjisString(DropCutLeadByte(runner.trainerName))));
      break;
    case 7: {
      paint.fill = kWhite;
      SjisString text = BlinkerText(runner.blinkerFlag);
      paint.texts.push_back(Plain(text.empty() ? " " : text));
      break;
    }
    case 8: {
      paint.fill = kWhite;
      SjisString text = ApprenticeText(runner.apprenticeCode);
      paint.texts.push_back(Plain(text.empty() ? " " : text));
      break;
    }
    default:
      break;
  }
  MarkFavourite(paint, cell.column, RunnerFavouriteOf(runner, cell.favourites));
  if (cell.changes) MarkChange(paint, cell.column, cell.changes->runners[h - 1]);
  return paint;
}

}  // namespace tavolen
