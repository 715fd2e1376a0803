#include "racecard/RaceCardView.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <functional>

#include "base/Widgets.h"
#include "jvlink/JVData_Structure.h"
#include "racecard/RaceCardDelegate.h"

namespace tavolen {
namespace {

constexpr int kHeaderPanelHeight = 57;  // the tool bar's 61 pixels less its frame

// The look of the ten header labels: font height in pixels, text colour, alignment.
struct HeaderLabelLook {
  const char* name;
  int pixels;
  QColor colour;
  Qt::Alignment alignment;
};
const std::array<HeaderLabelLook, kHeaderLabels>& HeaderLabelLooks() {
  static const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
  static const std::array<HeaderLabelLook, kHeaderLabels> looks = {{
      {"Label3D1", 19, Qt::black, left},             // course
      {"Label3D2", 24, Qt::white, Qt::AlignCenter},  // race number, white on black
      {"Label3D3", 15, Qt::black, left},             // date, course, meeting and day
      {"Label3D4", 15, Qt::black, left},             // race name
      {"Label3D5", 13, Qt::black, left},             // weight rule
      {"Label3D6", 13, Qt::black, left},             // race condition
      {"Label3D7", 13, Qt::black, left},             // track
      {"Label3D8", 13, Qt::black, left},             // distance
      {"Label3D9", 13, Qt::blue, left},              // post time
      {"Label3D10", 13, Qt::black, left},            // runner count
  }};
  return looks;
}
constexpr int kRaceNumberLabel = 1;  // Label3D2
constexpr int kJockeyColumn = 5;
// The key that adds the runner of the current row to the favourites, or removes it.
constexpr QKeyCombination kFavouriteKey(Qt::ControlModifier, Qt::Key_D);
// The race list's item text without its favourite mark.
constexpr int kItemTextRole = Qt::UserRole + 1;
// The race's live state after its text ("体", "確"), set by RefreshLive.
constexpr int kItemStateRole = Qt::UserRole + 2;

// Calls a handler when a mouse button is released over a widget, after the widget itself has
// handled the release (so a selection the release makes is already there to be cleared).
class MouseUpFilter : public QObject {
 public:
  MouseUpFilter(std::function<void()> onUp, QObject* parent)
      : QObject(parent), onUp_(std::move(onUp)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease)
      QMetaObject::invokeMethod(
          this, [this] { onUp_(); }, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> onUp_;
};

// Calls back with the place of a mouse press, before the widget handles it.
class PressFilter : public QObject {
 public:
  PressFilter(std::function<void(const QPoint&)> onPress, QObject* parent)
      : QObject(parent), onPress_(std::move(onPress)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress)
      onPress_(static_cast<QMouseEvent*>(event)->position().toPoint());
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void(const QPoint&)> onPress_;
};

// Takes the favourite key from the grid.
class KeyFilter : public QObject {
 public:
  KeyFilter(std::function<void()> onKey, QObject* parent)
      : QObject(parent), onKey_(std::move(onKey)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (QKeySequence(key->keyCombination()) == QKeySequence(kFavouriteKey)) {
        event->accept();
        if (event->type() == QEvent::KeyPress) onKey_();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> onKey_;
};

}  // namespace

RaceCardView::RaceCardView(LoadedMeeting& meeting, Desktop& desktop, const Clock& clock,
                           QWidget* panelParent)
    : QObject(panelParent), meeting_(meeting), desktop_(desktop) {
  setObjectName(QStringLiteral("RaceCardView"));
  panel2_ = new QFrame(panelParent);
  panel2_->setObjectName(QStringLiteral("Panel2"));
  panel2_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel2_->setAutoFillBackground(true);
  {
    QPalette p = panel2_->palette();
    p.setColor(QPalette::Window, QApplication::palette().color(QPalette::ToolTipBase));
    panel2_->setPalette(p);
  }
  panel2_->setFixedHeight(kHeaderPanelHeight);
  for (size_t i = 0; i < labels_.size(); ++i) {
    labels_[i] = new Label3D(QString(), Label3D::Look::Raised, panel2_);
    labels_[i]->setObjectName(QString::fromLatin1(HeaderLabelLooks()[i].name));
    // A long text is cut at the panel's edge; it never widens the window.
    labels_[i]->setMinimumWidth(1);
  }
  labels_[kRaceNumberLabel]->setFixedSize(36, 30);
  StyleHeaderLabels();
  auto* grid = new QGridLayout(panel2_);
  grid->setContentsMargins(4, 1, 4, 1);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(0);
  grid->addWidget(labels_[0], 0, 0, 2, 1);
  grid->addWidget(labels_[1], 0, 1, 2, 1, Qt::AlignVCenter);
  grid->addWidget(labels_[2], 0, 2);
  grid->addWidget(labels_[3], 1, 2);
  auto* row = new QHBoxLayout;
  row->setSpacing(6);
  for (size_t i = 4; i < labels_.size(); ++i) row->addWidget(labels_[i]);
  row->addStretch(1);
  grid->addLayout(row, 2, 0, 1, 3);
  grid->setColumnStretch(2, 1);

  // The race list stands beside the card area, not inside it: hiding the card (a new race, an
  // incomplete race) leaves the list usable and keeps its keyboard focus.
  panel1_ = new QWidget(panelParent);
  panel1_->setObjectName(QStringLiteral("Panel1"));
  panel5_ = new QWidget(panelParent);
  panel5_->setObjectName(QStringLiteral("Panel5"));
  datList_ = new QListWidget(panel5_);
  datList_->setObjectName(QStringLiteral("DatList"));
  datList_->setFont(GothicFont(12));
  auto* listLayout = new QVBoxLayout(panel5_);
  listLayout->setContentsMargins(0, 0, 0, 0);
  listLayout->addWidget(datList_);
  panel5_->setFixedWidth(90);

  grid_ = new QTableWidget(panel1_);
  grid_->setObjectName(QStringLiteral("StringGrid2"));
  auto* cardLayout = new QVBoxLayout(panel1_);
  cardLayout->setContentsMargins(0, 0, 0, 0);
  cardLayout->addWidget(grid_, 1);
  // The race's payouts under the card, once confirmed.
  payoutPanel_ = new QPlainTextEdit(panel1_);
  payoutPanel_->setObjectName(QStringLiteral("PayoutPanel"));
  payoutPanel_->setReadOnly(true);
  payoutPanel_->setFont(GothicFont(12));
  payoutPanel_->setFixedHeight(150);
  payoutPanel_->setVisible(false);
  cardLayout->addWidget(payoutPanel_);
  // Nothing loaded yet: neither a list nor a card.
  panel1_->setVisible(false);
  panel5_->setVisible(false);

  SetUpRaceCardGrid(*grid_);
  grid_->setItemDelegate(new RaceCardDelegate(meeting_, clock, grid_));
  popupMenu1_ = new QMenu(grid_);
  popupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
  n18_ = new QAction(Qs(Sj("分析表をｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ")), popupMenu1_);
  n18_->setObjectName(QStringLiteral("N18"));
  popupMenu1_->addAction(n18_);
  connect(n18_, &QAction::triggered, this, &RaceCardView::CopyCard);
  favouriteItem_ = new QAction(Qs(Sj("お気に入りに追加/解除")), popupMenu1_);
  favouriteItem_->setObjectName(QStringLiteral("FavouriteItem"));
  // Shown in the menu; the key itself is taken by the grid's key filter.
  favouriteItem_->setShortcut(QKeySequence(kFavouriteKey));
  favouriteItem_->setShortcutContext(Qt::WidgetShortcut);
  popupMenu1_->addAction(favouriteItem_);
  connect(favouriteItem_, &QAction::triggered, this,
          [this] { ToggleFavourite(menuRow_, menuColumn_ == kJockeyColumn); });
  connect(grid_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const QModelIndex at = grid_->indexAt(pos);
    menuRow_ = at.isValid() ? at.row() : -1;
    menuColumn_ = at.isValid() ? at.column() : -1;
    favouriteItem_->setEnabled(menuRow_ > 0);
    popupMenu1_->popup(grid_->viewport()->mapToGlobal(pos));
  });
  grid_->viewport()->installEventFilter(new MouseUpFilter([this] { ClearSelection(); }, grid_));
  grid_->viewport()->installEventFilter(new PressFilter(
      [this](const QPoint& pos) {
        const QModelIndex at = grid_->indexAt(pos);
        if (!at.isValid()) return;
        lastRow_ = at.row();
        lastColumn_ = at.column();
      },
      grid_));
  connect(grid_, &QTableWidget::currentCellChanged, this, [this](int row, int column) {
    if (row < 0) return;
    lastRow_ = row;
    lastColumn_ = column;
  });
  grid_->installEventFilter(new KeyFilter(
      [this] {
        const QModelIndex current = grid_->currentIndex();
        const int row = current.isValid() ? current.row() : lastRow_;
        const int column = current.isValid() ? current.column() : lastColumn_;
        ToggleFavourite(row, column == kJockeyColumn);
      },
      grid_));
  connect(datList_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) emit raceChosen();
  });
}

void RaceCardView::StyleHeaderLabels() {
  for (size_t i = 0; i < labels_.size(); ++i) {
    const HeaderLabelLook& look = HeaderLabelLooks()[i];
    labels_[i]->setFont(GothicFont(look.pixels, true));
    labels_[i]->setAlignment(look.alignment);
    QPalette p = labels_[i]->palette();
    p.setColor(QPalette::WindowText, look.colour);
    // White digits on black; the label is opaque while it shows a race number.
    if (i == kRaceNumberLabel) p.setColor(QPalette::Window, Qt::black);
    labels_[i]->setPalette(p);
  }
}

void RaceCardView::HideCard() {
  const bool hadFocus = panel1_->isAncestorOf(QApplication::focusWidget());
  panel1_->setVisible(false);
  if (hadFocus && datList_->isVisible()) datList_->setFocus(Qt::OtherFocusReason);
}

void RaceCardView::Clear() {
  panel1_->setVisible(false);
  datList_->clear();
  panel5_->setVisible(false);
}

void RaceCardView::ShowRaces(const std::vector<RaceListEntry>& races) {
  {
    const QSignalBlocker block(datList_);
    datList_->clear();
    for (const RaceListEntry& race : races) {
      auto* item = new QListWidgetItem(Qs(race.text), datList_);
      item->setData(Qt::UserRole, race.slot);
      item->setData(kItemTextRole, item->text());
    }
  }
  RefreshFavourites();
  panel5_->setVisible(datList_->count() > 0);
  upDown_ = TUpDown{0, datList_->count() - 1, 0};
  {
    const QSignalBlocker block(datList_);
    datList_->setCurrentRow(datList_->count() > 0 ? 0 : -1);
  }
  RefreshLive();
}

bool RaceCardView::ShowChosenRace(bool hideListAfterChoice) {
  // The card area is hidden until the new card is known to be complete; a complete card
  // replaces the old one in place, so the grid never loses the keyboard focus to a hide.
  const QListWidgetItem* item = datList_->currentItem();
  bool isSlot = false;
  const int slot = item ? item->data(Qt::UserRole).toInt(&isSlot) : -1;
  if (!isSlot || slot < 0 || slot >= kMeetingRaces) {
    // No race chosen (an empty race list): no card, and no header of another race.
    HideCard();
    for (Label3D* label : labels_) label->clear();
    labels_[kRaceNumberLabel]->setAutoFillBackground(false);
    ShowCardInGrid(*grid_, CardGrid{CardHeaderRow()});
    return false;
  }
  meeting_.selectedRaceIndex = slot;
  lastRow_ = lastColumn_ = -1;  // a row of the card before is no row of this one

  RaceCard card = BuildRaceCard(meeting_, slot);
  MarkFavouriteRows(card.grid, meeting_.raceSlots[slot], favourites_);
  if (!card.complete) HideCard();
  for (size_t i = 0; i < labels_.size(); ++i)
    labels_[i]->setText(Qs(SjisString(WithoutTrailingPadding(card.labels[i]))));
  labels_[kRaceNumberLabel]->setAutoFillBackground(true);  // the black behind the white number
  ShowCardInGrid(*grid_, card.grid);

  if (card.complete)
    panel1_->setVisible(true);
  else if (!unattended_)
    desktop_.InformationBox(card.incompleteMessage);

  grid_->selectionModel()->clear();
  upDown_.Position = datList_->currentRow();
  if (hideListAfterChoice) panel5_->setVisible(false);
  RefreshLive();
  return true;
}

bool RaceCardView::StepTo(int position) {
  upDown_.Position = position;
  if (datList_->count() < 2) return false;
  if (position < 0 || position >= datList_->count()) return false;
  const QSignalBlocker block(datList_);  // the card is shown once, by the caller
  datList_->setCurrentRow(position);
  return true;
}

void RaceCardView::ToggleRaceList() {
  // isHidden, not isVisible: the panel's own state, also while the window is hidden.
  panel5_->setVisible(panel5_->isHidden());
}

bool RaceCardView::RaceShown() const {
  const QListWidgetItem* item = datList_->currentItem();
  return item && meeting_.selectedRaceIndex >= 0 && meeting_.selectedRaceIndex < kMeetingRaces &&
         item->data(Qt::UserRole).toInt() == meeting_.selectedRaceIndex;
}

void RaceCardView::RefreshChanges(bool markChanges) {
  auto* delegate = qobject_cast<RaceCardDelegate*>(grid_->itemDelegate());
  if (!delegate) return;
  const bool raceShown = RaceShown();
  std::optional<RaceChanges> changes;
  if (markChanges && raceShown)
    changes = ChangesOfRace(meeting_.SelectedSlot().raceKey,
                            ReadDayChangeLines(meeting_.selectedRaceFile));
  delegate->SetChanges(changes);
  grid_->viewport()->update();
  RefreshLive();
  if (!raceShown) return;

  // The header: the race as entered, with a new post time and a course change in red.
  const ChangedHeader header =
      HeaderWithChanges(RaceHeaderTexts(meeting_.SelectedSlot()), changes.value_or(RaceChanges{}));
  for (size_t i : {6, 7, 8}) {
    labels_[i]->setText(Qs(SjisString(WithoutTrailingPadding(header.labels[i]))));
    QPalette p = labels_[i]->palette();
    p.setColor(QPalette::WindowText,
               header.changed[i] ? QColor(Qt::red) : HeaderLabelLooks()[i].colour);
    labels_[i]->setPalette(p);
  }
}

void RaceCardView::SetFavourites(const FavouriteList* favourites) {
  favourites_ = favourites;
  if (auto* delegate = qobject_cast<RaceCardDelegate*>(grid_->itemDelegate()))
    delegate->SetFavourites(favourites);
  RefreshFavourites();
}

void RaceCardView::RefreshFavourites() {
  static const QColor kFavouriteRace(200, 0, 50);
  static const QString kMark = Qs(Sj("★"));
  for (int i = 0; i < datList_->count(); ++i) {
    QListWidgetItem* item = datList_->item(i);
    bool isSlot = false;
    const int slot = item->data(Qt::UserRole).toInt(&isSlot);
    const bool marked = isSlot && slot >= 0 && slot < kMeetingRaces &&
                        RaceHasFavourite(meeting_.raceSlots[slot], favourites_);
    const QString text =
        item->data(kItemTextRole).toString() + item->data(kItemStateRole).toString();
    item->setText(marked ? text + kMark : text);
    item->setForeground(marked ? QBrush(kFavouriteRace) : QBrush());
  }
  if (RaceShown()) {
    // The marks in the cell texts the copy takes; the painting marks the rows itself.
    RaceCard card = BuildRaceCard(meeting_, meeting_.selectedRaceIndex);
    MarkFavouriteRows(card.grid, meeting_.SelectedSlot(), favourites_);
    for (int r = 1; r < grid_->rowCount() && r < static_cast<int>(card.grid.size()); ++r)
      if (QTableWidgetItem* item = grid_->item(r, 2)) item->setText(Qs(card.grid[r][2]));
  }
  grid_->viewport()->update();
}

void RaceCardView::ToggleFavourite(int row, bool jockey) {
  if (!RaceShown() || row <= 0 || row >= grid_->rowCount()) return;
  const QTableWidgetItem* numberItem = grid_->item(row, 1);
  const int h = numberItem ? ReadNumber(SjisOf(numberItem->text())) : 0;
  if (h < 1 || h > kRunnerPositions) return;
  const RunnerSlot& runner = meeting_.SelectedSlot().runners[h - 1];
  if (jockey)
    emit favouriteToggleRequested(FavouriteKind::Jockey, runner.jockeyCode.str(),
                                  UnpaddedName(runner.jockeyName));
  else
    // The whole name from the runner record; the slot keeps only its first 19 bytes.
    emit favouriteToggleRequested(
        FavouriteKind::Horse, runner.registrationNumber.str(),
        UnpaddedName(Cut(meeting_.runnerTable[meeting_.selectedRaceIndex][h - 1], SE::HorseName)));
}

void RaceCardView::ClearSelection() {
  grid_->selectionModel()->clear();
}

// Copies the whole grid with the title line to the clipboard.
void RaceCardView::CopyCard() {
  const CardGrid cells = CardGridOf(*grid_);
  const SjisString title = CardCopyTitle(SjisOf(labels_[2]->text()), meeting_.SelectedSlot());
  if (RaceShown() && !live_.empty()) {
    desktop_.SetClipboardText(CardCopyText(cells, live_, title));
    return;
  }
  GridRangeToClipboard(desktop_, cells, 0, 0, grid_->columnCount() - 1, grid_->rowCount() - 1,
                       title);
}

}  // namespace tavolen

namespace tavolen {

void RaceCardView::RefreshLive() {
  LiveDay day;
  ReadLiveDay(meeting_.selectedRaceFile, day);  // an unreadable file shows nothing new
  for (int i = 0; i < datList_->count(); ++i) {
    QListWidgetItem* item = datList_->item(i);
    bool isSlot = false;
    const int slot = item->data(Qt::UserRole).toInt(&isSlot);
    const SjisString mark = isSlot && slot >= 0 && slot < kMeetingRaces
                                ? RaceStateMark(day, meeting_.raceSlots[slot].raceKey)
                                : SjisString();
    item->setData(kItemStateRole, mark.empty() ? QString() : Qs(" " + mark));
  }
  RefreshFavourites();
  live_ = {};
  if (RaceShown()) live_ = BuildCardLive(day, meeting_.SelectedSlot().raceKey, CardGridOf(*grid_));
  const int columns = kCardColumns + (live_.rows.empty() ? 0 : kLiveColumns);
  if (grid_->columnCount() != columns) {
    grid_->setColumnCount(columns);
    for (int c = kCardColumns; c < columns; ++c)
      grid_->setColumnWidth(c, c == kCardColumns ? 60 : 45);
  }
  for (size_t r = 0; r < live_.rows.size() && static_cast<int>(r) < grid_->rowCount(); ++r)
    for (int c = 0; c < kLiveColumns; ++c) {
      QTableWidgetItem* item = grid_->item(static_cast<int>(r), kCardColumns + c);
      if (!item) {
        item = new QTableWidgetItem;
        grid_->setItem(static_cast<int>(r), kCardColumns + c, item);
      }
      item->setText(Qs(live_.rows[r][static_cast<size_t>(c)]));
      item->setFlags(r > 0 ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled);
    }
  payoutPanel_->setPlainText(Qs(JoinLinesCrLf(live_.payouts)).trimmed());
  payoutPanel_->setVisible(!live_.payouts.empty());
}

}  // namespace tavolen
