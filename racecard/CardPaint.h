// How each cell of the race card grid is painted, as plain data: the grid's default painting
// of the cell, then the fill, texts and line painted over it. The grid's delegate carries these
// decisions out; tests check them without a display.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "base/Favourites.h"
#include "jvlink/Sjis.h"
#include "racecard/CardChanges.h"
#include "racecard/Meeting.h"

namespace tavolen {

struct PaintColour {
  // System colours are resolved by the painter; Rgb is a fixed colour.
  enum class Role { Rgb, ButtonFace, InfoBackground, Window, WindowText, Highlight, HighlightText };
  Role role = Role::Rgb;
  std::uint8_t r = 0, g = 0, b = 0;

  static constexpr PaintColour Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return {Role::Rgb, r, g, b};
  }
  static constexpr PaintColour Of(Role role) { return {role, 0, 0, 0}; }
  friend bool operator==(const PaintColour&, const PaintColour&) = default;
};

inline constexpr PaintColour kBlack = PaintColour::Rgb(0, 0, 0);
inline constexpr PaintColour kWhite = PaintColour::Rgb(255, 255, 255);
// The grid's lines between columns.
inline constexpr PaintColour kGridLineColour = PaintColour::Rgb(192, 192, 192);

// The grid's font: "ＭＳ ゴシック" with a 12-pixel character height.
inline constexpr int kGridFontPixels = 12;
// The grid's line width; texts are placed relative to it.
inline constexpr int kGridLineWidth = 1;

struct PaintText {
  SjisString text;
  int x = 0, y = 0;  // offset from the cell's left and top edges
  PaintColour colour = PaintColour::Of(PaintColour::Role::WindowText);
  bool bold = false;
  int pointSize = 0;  // 0: the grid's font size (12 pixels)
};

struct CellPaint {
  // The grid's own painting: the background and the cell text at (2, 2) in the grid's font.
  PaintColour background = PaintColour::Of(PaintColour::Role::Window);
  SjisString defaultText;
  PaintColour defaultTextColour = PaintColour::Of(PaintColour::Role::WindowText);
  // Painted over it: a fill of the whole cell, then the texts in order, then the grid line
  // along the cell's right edge and the line along its bottom edge, from its left to its right.
  std::optional<PaintColour> fill;
  std::vector<PaintText> texts;
  PaintColour gridLine = kGridLineColour;
  PaintColour bottomLine = kBlack;
};

// The frame colours of frames 1 to 8 (background, text); nullopt for any other frame.
struct FrameColours {
  PaintColour background, text;
};
std::optional<FrameColours> FrameColoursOf(int frame);

// The runner's age in the viewing year: year - the first four characters of the registration
// number; nullopt when those four characters are not digits.
std::optional<int> AgeInYear(std::string_view registrationNumber, int currentYear);

struct CellToPaint {
  int column = 0;
  int row = 0;
  std::string_view text;                   // the cell's text
  std::string_view horseNumberText;        // the text of column 1 of the same row
  bool selected = false;                   // drawn in the highlight colours by default
  int currentYear = 2000;                  // today's local year
  int headerTextHeight = kGridFontPixels;  // the height of "枠" in the grid's font
  // The day's changes of the race to mark on its runners; null: the runners as entered.
  const RaceChanges* changes = nullptr;
  // The favourites to mark on their runners' rows; null or empty: none.
  const FavouriteList* favourites = nullptr;
};

// The marks of the day's changes: a scratched or excluded runner's row greyed, with 取消 or
// 除外 in red in the blinker column; a new jockey's name in red on a pale yellow cell.
inline constexpr PaintColour kScratchedFill = PaintColour::Rgb(224, 224, 224);
inline constexpr PaintColour kScratchedText = PaintColour::Rgb(128, 128, 128);
inline constexpr PaintColour kChangeText = PaintColour::Rgb(255, 0, 0);
inline constexpr PaintColour kChangedJockeyFill = PaintColour::Rgb(255, 255, 192);

// The marks of a favourite's row: a pale rose background from the horse name to the last
// column, the favourite mark in red before the horse name, a favourite jockey's name in bold.
inline constexpr PaintColour kFavouriteFill = PaintColour::Rgb(255, 228, 236);
inline constexpr PaintColour kFavouriteMarkColour = PaintColour::Rgb(220, 0, 60);

// The painting of one cell, for the race slot at the meeting's selected race index. The runner
// is found by the number in the row's horse-number cell; a number outside 1-18 leaves the
// grid's own painting (and the bottom line) only.
CellPaint DecideCellPaint(const LoadedMeeting& meeting, const CellToPaint& cell);

}  // namespace tavolen
