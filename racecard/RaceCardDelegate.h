// The race card grid StringGrid2 on screen: its set-up at window creation, its cell texts, and
// the item delegate that paints every cell from the painting decisions of CardPaint.
#pragma once

#include <QFont>
#include <QPalette>
#include <QStyledItemDelegate>
#include <optional>

#include "jvlink/Clock.h"
#include "racecard/CardPaint.h"
#include "racecard/Meeting.h"
#include "racecard/RaceCard.h"

class QTableWidget;

namespace tavolen {

// "ＭＳ ゴシック" with a 12-pixel character height, falling back to a Japanese gothic font
// where it is not installed.
QFont GridFont();

// Sets up the grid once: 9 columns, the first two painted as fixed cells, row 0 the header
// row (27 pixels; runner rows 15), column widths 20, 20, 150, 30, 45, 55, 55, 40, 55, grid
// lines (painted by StringGrid2DrawCell), whole-row selection, not editable, and the header
// texts in row 0.
void SetUpRaceCardGrid(QTableWidget& grid);

// Puts a card's cell texts into the grid: one table row per card row, row 0 the header row.
void ShowCardInGrid(QTableWidget& grid, const CardGrid& cells);

// The grid's cell texts, row by row, as code page 932 (what the copy command copies).
CardGrid CardGridOf(const QTableWidget& grid);

// A painting colour in the palette's system colours.
QColor ToQColor(const PaintColour& colour, const QPalette& palette);

// Carries out the painting of one cell within rect.
void PaintCardCell(QPainter& painter, const QRect& rect, const CellPaint& paint,
                   const QPalette& palette, const QFont& gridFont);

// The grid's painting of one cell: the cell of `cell` within rect (the whole cell, its grid
// lines on its last pixel column and row), for the meeting's selected race slot.
void StringGrid2DrawCell(QPainter& painter, const QRect& rect, const LoadedMeeting& meeting,
                         const CellToPaint& cell, const QPalette& palette, const QFont& gridFont);

// Paints every cell of StringGrid2 from the loaded meeting's selected race slot and the
// clock's year.
class RaceCardDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  RaceCardDelegate(const LoadedMeeting& meeting, const Clock& clock, QObject* parent = nullptr);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

  // The day's changes of the race shown, marked on its runners; nullopt: none are marked.
  void SetChanges(std::optional<RaceChanges> changes) { changes_ = std::move(changes); }
  const std::optional<RaceChanges>& changes() const { return changes_; }
  // The favourites marked on their runners' rows (null: none).
  void SetFavourites(const FavouriteList* favourites) { favourites_ = favourites; }

 private:
  const LoadedMeeting& meeting_;
  const Clock& clock_;
  std::optional<RaceChanges> changes_;
  const FavouriteList* favourites_ = nullptr;
};

}  // namespace tavolen
