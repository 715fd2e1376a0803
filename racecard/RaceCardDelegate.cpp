#include "racecard/RaceCardDelegate.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QTableWidget>
#include <algorithm>
#include <utility>

namespace tavolen {
namespace {

using Role = PaintColour::Role;

constexpr int kColumnWidths[kCardColumns] = {20, 20, 150, 30, 45, 55, 55, 40, 55};
constexpr int kHeaderRowHeight = 27;
constexpr int kRunnerRowHeight = 15;
// The grid paints its own cell text this far from the cell's left and top edges.
constexpr int kDefaultTextOffset = 2;

QString ToQString(std::string_view sjis) {
  return QString::fromStdU16String(SjisToUtf16(sjis));
}

SjisString ToSjis(const QString& text) {
  return Utf16ToSjis(text.toStdU16String());
}

const QString& GridFontFamily() {
  static const QString family = QString::fromUtf8("ＭＳ ゴシック");
  return family;
}

void DrawTextAt(QPainter& painter, const QRect& cell, int x, int y, const QString& text) {
  painter.drawText(
      QRect(cell.left() + x, cell.top() + y, 4 * cell.width() + 100, 4 * cell.height() + 100),
      Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

}  // namespace

QFont GridFont() {
  static const bool substituted = [] {
    QFont::insertSubstitutions(
        GridFontFamily(), {QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                           QStringLiteral("Noto Sans CJK JP")});
    return true;
  }();
  (void)substituted;
  QFont font(GridFontFamily());
  font.setPixelSize(kGridFontPixels);
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

void SetUpRaceCardGrid(QTableWidget& grid) {
  grid.setFont(GridFont());
  grid.setColumnCount(kCardColumns);
  grid.horizontalHeader()->hide();
  grid.verticalHeader()->hide();
  grid.horizontalHeader()->setMinimumSectionSize(1);
  grid.verticalHeader()->setMinimumSectionSize(1);
  grid.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid.horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  for (int c = 0; c < kCardColumns; ++c) grid.setColumnWidth(c, kColumnWidths[c]);
  // The grid lines are painted with the cells (StringGrid2DrawCell): a line of the grid's own
  // on top of the black rule under each cell would give every row a double rule and take the
  // bottom pixel row of the texts.
  grid.setShowGrid(false);
  grid.setSelectionBehavior(QAbstractItemView::SelectRows);
  grid.setSelectionMode(QAbstractItemView::SingleSelection);
  grid.setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid.setWordWrap(false);
  grid.setContextMenuPolicy(Qt::CustomContextMenu);
  ShowCardInGrid(grid, CardGrid{CardHeaderRow()});
}

void ShowCardInGrid(QTableWidget& grid, const CardGrid& cells) {
  grid.clearSelection();
  grid.setRowCount(static_cast<int>(cells.size()));
  for (int r = 0; r < static_cast<int>(cells.size()); ++r) {
    grid.setRowHeight(r, r == 0 ? kHeaderRowHeight : kRunnerRowHeight);
    for (int c = 0; c < kCardColumns; ++c) {
      QTableWidgetItem* item = grid.item(r, c);
      if (!item) {
        item = new QTableWidgetItem;
        grid.setItem(r, c, item);
      }
      item->setText(ToQString(cells[r][c]));
      Qt::ItemFlags flags = Qt::ItemIsEnabled;
      if (r > 0 && c > 1) flags |= Qt::ItemIsSelectable;  // the fixed cells are never selected
      item->setFlags(flags);
    }
  }
  grid.viewport()->update();
}

CardGrid CardGridOf(const QTableWidget& grid) {
  CardGrid cells(static_cast<std::size_t>(std::max(grid.rowCount(), 0)));
  const int columns = std::min(grid.columnCount(), kCardColumns);
  for (int r = 0; r < static_cast<int>(cells.size()); ++r)
    for (int c = 0; c < columns; ++c)
      if (const QTableWidgetItem* item = grid.item(r, c)) cells[r][c] = ToSjis(item->text());
  return cells;
}

QColor ToQColor(const PaintColour& colour, const QPalette& palette) {
  // The system colours the card names, as the palette's roles.
  static const std::pair<Role, QPalette::ColorRole> kRoles[] = {
      {Role::ButtonFace, QPalette::Button},   {Role::InfoBackground, QPalette::ToolTipBase},
      {Role::Window, QPalette::Base},         {Role::WindowText, QPalette::Text},
      {Role::Highlight, QPalette::Highlight}, {Role::HighlightText, QPalette::HighlightedText}};
  if (colour.role == Role::Rgb) return QColor(colour.r, colour.g, colour.b);
  for (const auto& [role, qtRole] : kRoles)
    if (role == colour.role) return palette.color(qtRole);
  return Qt::black;
}

void PaintCardCell(QPainter& painter, const QRect& rect, const CellPaint& paint,
                   const QPalette& palette, const QFont& gridFont) {
  painter.save();
  painter.setClipRect(rect);

  // The grid's own painting of the cell.
  painter.fillRect(rect, ToQColor(paint.background, palette));
  painter.setFont(gridFont);
  painter.setPen(ToQColor(paint.defaultTextColour, palette));
  DrawTextAt(painter, rect, kDefaultTextOffset, kDefaultTextOffset, ToQString(paint.defaultText));

  // Painted over it.
  if (paint.fill) painter.fillRect(rect, ToQColor(*paint.fill, palette));
  for (const PaintText& t : paint.texts) {
    QFont font = gridFont;
    if (t.pointSize > 0) font.setPointSize(t.pointSize);
    font.setBold(t.bold);
    painter.setFont(font);
    painter.setPen(ToQColor(t.colour, palette));
    DrawTextAt(painter, rect, t.x, t.y, ToQString(t.text));
  }
  // The cell's grid lines: its right edge, then the rule along its bottom edge. Both lie on the
  // cell's last pixel column and row, where a grid draws its lines.
  painter.setPen(ToQColor(paint.gridLine, palette));
  painter.drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
  painter.setPen(ToQColor(paint.bottomLine, palette));
  painter.drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
  painter.restore();
}

void StringGrid2DrawCell(QPainter& painter, const QRect& rect, const LoadedMeeting& meeting,
                         const CellToPaint& cell, const QPalette& palette, const QFont& gridFont) {
  PaintCardCell(painter, rect, DecideCellPaint(meeting, cell), palette, gridFont);
}

RaceCardDelegate::RaceCardDelegate(const LoadedMeeting& meeting, const Clock& clock,
                                   QObject* parent)
    : QStyledItemDelegate(parent), meeting_(meeting), clock_(clock) {}

void RaceCardDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  const QFont gridFont = option.widget ? option.widget->font() : GridFont();
  const SjisString text = ToSjis(index.data(Qt::DisplayRole).toString());
  const SjisString horseNumber =
      ToSjis(index.sibling(index.row(), 1).data(Qt::DisplayRole).toString());

  CellToPaint cell;
  cell.column = index.column();
  cell.row = index.row();
  cell.text = text;
  cell.horseNumberText = horseNumber;
  cell.selected = option.state.testFlag(QStyle::State_Selected);
  cell.currentYear = clock_.Now().year;
  cell.headerTextHeight = QFontMetrics(gridFont).height();
  cell.changes = changes_ ? &*changes_ : nullptr;
  cell.favourites = favourites_;

  StringGrid2DrawCell(*painter, option.rect, meeting_, cell, option.palette, gridFont);
}

}  // namespace tavolen
