// Handlers of the race card viewer: meeting dates, meeting load, race list and race card. Each
// handler reads its controls, calls the race card logic and writes the results back.
#include <QApplication>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <array>
#include <functional>
#include <optional>

#include "app/Main.h"
#include "base/CheckInterval.h"
#include "base/FailureText.h"
#include "base/Widgets.h"
#include "racecard/CardChanges.h"
#include "racecard/RaceCard.h"
#include "racecard/RaceCardDelegate.h"
#include "racecard/prgrsUnit.h"

namespace tavolen {
namespace {

// The look of the ten header labels: font height in pixels, text colour, alignment.
struct HeaderLabelLook {
  int pixels;
  QColor colour;
  Qt::Alignment alignment;
};
const std::array<HeaderLabelLook, kHeaderLabels>& HeaderLabelLooks() {
  static const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
  static const std::array<HeaderLabelLook, kHeaderLabels> looks = {{
      {19, Qt::black, left},             // course
      {24, Qt::white, Qt::AlignCenter},  // race number, white on black
      {15, Qt::black, left},             // date, course, meeting and day
      {15, Qt::black, left},             // race name
      {13, Qt::black, left},             // weight rule
      {13, Qt::black, left},             // race condition
      {13, Qt::black, left},             // track
      {13, Qt::black, left},             // distance
      {13, Qt::blue, left},              // post time
      {13, Qt::black, left},             // runner count
  }};
  return looks;
}

// Calls a handler when a mouse button is released over a widget, after the widget itself has
// handled the release (so a selection the release makes is already there to be cleared).
class MouseUpFilter : public QObject {
 public:
  MouseUpFilter(std::function<void(Qt::MouseButton, QPoint)> onUp, QObject* parent)
      : QObject(parent), onUp_(std::move(onUp)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease) {
      const auto* me = static_cast<QMouseEvent*>(event);
      const Qt::MouseButton button = me->button();
      const QPoint pos = me->position().toPoint();
      QMetaObject::invokeMethod(
          this, [this, button, pos] { onUp_(button, pos); }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void(Qt::MouseButton, QPoint)> onUp_;
};

// Hides a panel; when the keyboard focus was inside it, the focus goes to `keeper` (the race
// list) instead of wandering to the next widget of the window.
void HideKeepingFocus(QWidget* panel, QWidget* keeper) {
  const bool hadFocus = panel->isAncestorOf(QApplication::focusWidget());
  panel->setVisible(false);
  if (hadFocus && keeper->isVisible()) keeper->setFocus(Qt::OtherFocusReason);
}

}  // namespace

// The race card grid, its painting, its right-button menu, and the look of the header labels.
void TMainForm::SetupRaceCardGrid() {
  SetUpRaceCardGrid(*StringGrid2);
  StringGrid2->setItemDelegate(new RaceCardDelegate(meeting_, clock_, StringGrid2));

  PopupMenu1 = new QMenu(StringGrid2);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  N18 = new QAction(Qs(Sj("分析表をｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ")), PopupMenu1);
  N18->setObjectName(QStringLiteral("N18"));
  PopupMenu1->addAction(N18);
  connect(N18, &QAction::triggered, this, [this] { N18Click(); });
  connect(StringGrid2, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    PopupMenu1->popup(StringGrid2->viewport()->mapToGlobal(pos));
  });
  StringGrid2->viewport()->installEventFilter(new MouseUpFilter(
      [this](Qt::MouseButton button, QPoint pos) { StringGrid2MouseUp(button, pos); },
      StringGrid2));

  Label3D* labels[kHeaderLabels] = {Label3D1, Label3D2, Label3D3, Label3D4, Label3D5,
                                    Label3D6, Label3D7, Label3D8, Label3D9, Label3D10};
  for (int i = 0; i < kHeaderLabels; ++i) {
    const HeaderLabelLook& look = HeaderLabelLooks()[i];
    labels[i]->setLook(Label3D::Look::Raised);
    labels[i]->setFont(GothicFont(look.pixels, true));
    labels[i]->setAlignment(look.alignment);
    QPalette p = labels[i]->palette();
    p.setColor(QPalette::WindowText, look.colour);
    if (labels[i] == Label3D2) p.setColor(QPalette::Window, Qt::black);
    labels[i]->setPalette(p);
  }
}

// The dates of the day files in the data folder, newest first; nothing selected.
void TMainForm::MakeDataListBtnClick() {
  const std::vector<SjisString> dates = MakeDateList(DataFolder());
  DateCombo->clear();
  for (const SjisString& date : dates) DateCombo->addItem(Qs(date));
  DateCombo->setCurrentIndex(-1);
}

void TMainForm::IniBtnClick() {
  ClearRaceSlots(meeting_);
}

// Loads the meeting of DateCombo's date into the loaded meeting.
void TMainForm::ReadBtnClick() {
  IniBtnClick();
  const SjisString date = SjisOf(DateCombo->currentText());
  const MeetingLoadResult result = LoadMeeting(meeting_, DataFolder(), date, [&] {
    if (PrgrsForm) PrgrsForm->SetText(date);
    QCoreApplication::processEvents();
  });
  if (result.outcome == MeetingLoadResult::Outcome::DayFileMissing) {
    desktop_.Beep();
    desktop_.InformationBox(MissingDayFileMessage());
    Panel1->setVisible(false);
    DatList->clear();
    Panel5->setVisible(false);
    return;
  }
  if (result.outcome == MeetingLoadResult::Outcome::Failed) {
    // The load stopped part-way: the date change stops too, and the old race list, which
    // would now point at cleared slots, goes.
    meeting_.loadSucceeded = false;
    Panel1->setVisible(false);
    DatList->clear();
    Panel5->setVisible(false);
    desktop_.ErrorBox(FailureText(result.status));
    return;
  }
  HideKeepingFocus(Panel1, DatList);
}

// The user chose a date: load it, list its races, switch the check timer, show the first race.
void TMainForm::DateComboChange() {
  watch_->StopChecks();
  meeting_.loadSucceeded = true;
  ReadBtnClick();
  if (!meeting_.loadSucceeded) return;

  const std::vector<RaceListEntry> races = RaceListItems(meeting_);
  {
    const QSignalBlocker block(DatList);
    DatList->clear();
    for (const RaceListEntry& race : races) {
      auto* item = new QListWidgetItem(Qs(race.text), DatList);
      item->setData(Qt::UserRole, race.slot);
    }
  }
  Panel5->setVisible(DatList->count() > 0);
  UpDown1.Min = 0;
  UpDown1.Max = DatList->count() - 1;
  UpDown1.Position = 0;
  setEnabled(true);

  meeting_.checkInterval = ClampCheckInterval(IniGT1.Read(Settings::CheckInterval));
  // The watch restarts its check timer when the date is today, and its status names the day
  // in the tray tip.
  TellWatchTheDay();

  {
    const QSignalBlocker block(DatList);
    DatList->setCurrentRow(DatList->count() > 0 ? 0 : -1);
  }
  DatListClick();
  if (DatList->count() == 0) {
    desktop_.Beep();
    desktop_.InformationBox(Sj("この開催日のレースデータがありません。"));
  }
}

void TMainForm::UpDown1Click() {
  if (DatList->count() < 2) return;
  if (UpDown1.Position < 0 || UpDown1.Position >= DatList->count()) return;
  {
    const QSignalBlocker block(DatList);  // the card is shown once, below
    DatList->setCurrentRow(UpDown1.Position);
  }
  DatListClick();
}

void TMainForm::UpDown1Click(int position) {
  UpDown1.Position = position;
  UpDown1Click();
}

void TMainForm::N5Click() {
  N5->setChecked(!N5->isChecked());
  if (FileStatus st = IniGT1.Write(Settings::DateListClose, N5->isChecked()); !st)
    desktop_.ErrorBox(FailureText(st));
}

// isHidden, not isVisible: the panel's own state, also while the window or Panel1 is hidden.
void TMainForm::SpeedButton8Click() {
  Panel5->setVisible(Panel5->isHidden());
}

// Shows the race card of the race list's selected item.
void TMainForm::DatListClick() {
  // The card area is hidden until the new card is known to be complete; a complete card
  // replaces the old one in place, so the grid never loses the keyboard focus to a hide.
  const QListWidgetItem* item = DatList->currentItem();
  bool isSlot = false;
  const int slot = item ? item->data(Qt::UserRole).toInt(&isSlot) : -1;
  Label3D* labels[kHeaderLabels] = {Label3D1, Label3D2, Label3D3, Label3D4, Label3D5,
                                    Label3D6, Label3D7, Label3D8, Label3D9, Label3D10};
  if (!isSlot || slot < 0 || slot >= kMeetingRaces) {
    // No race chosen (an empty race list): no card, and no header of another race.
    HideKeepingFocus(Panel1, DatList);
    for (Label3D* label : labels) label->clear();
    Label3D2->setAutoFillBackground(false);
    ShowCardInGrid(*StringGrid2, CardGrid{CardHeaderRow()});
    RefreshCardChanges();
    return;
  }
  meeting_.selectedRaceIndex = slot;
  watch_->SetSelectedRace(slot);

  const RaceCard card = BuildRaceCard(meeting_, slot);
  if (!card.complete) HideKeepingFocus(Panel1, DatList);
  for (int i = 0; i < kHeaderLabels; ++i)
    labels[i]->setText(Qs(SjisString(WithoutTrailingPadding(card.labels[i]))));
  Label3D2->setAutoFillBackground(true);  // opaque: the black shows behind the white number
  ShowCardInGrid(*StringGrid2, card.grid);

  if (card.complete)
    Panel1->setVisible(true);
  else
    desktop_.InformationBox(card.incompleteMessage);

  StringGrid2->selectionModel()->clear();
  RefreshCardChanges();
  UpDown1.Position = DatList->currentRow();
  if (N5->isChecked()) Panel5->setVisible(false);
}

void TMainForm::CardChangesItemClick() {
  if (FileStatus st = IniGT1.Write(Settings::RaceCardChanges, CardChangesItem->isChecked()); !st)
    desktop_.ErrorBox(FailureText(st));
  RefreshCardChanges();
}

void TMainForm::RefreshCardChanges() {
  auto* delegate = qobject_cast<RaceCardDelegate*>(StringGrid2->itemDelegate());
  if (!delegate) return;
  const QListWidgetItem* item = DatList->currentItem();
  const bool raceShown = item && meeting_.selectedRaceIndex >= 0 &&
                         meeting_.selectedRaceIndex < kMeetingRaces &&
                         item->data(Qt::UserRole).toInt() == meeting_.selectedRaceIndex;
  std::optional<RaceChanges> changes;
  if (CardChangesItem->isChecked() && raceShown)
    changes = ChangesOfRace(meeting_.SelectedSlot().raceKey,
                            ReadDayChangeLines(meeting_.selectedRaceFile));
  delegate->SetChanges(changes);
  StringGrid2->viewport()->update();
  if (!raceShown) return;

  // The header: the race as entered, with a new post time and a course change in red.
  const ChangedHeader header =
      HeaderWithChanges(RaceHeaderTexts(meeting_.SelectedSlot()), changes.value_or(RaceChanges{}));
  Label3D* labels[kHeaderLabels] = {Label3D1, Label3D2, Label3D3, Label3D4, Label3D5,
                                    Label3D6, Label3D7, Label3D8, Label3D9, Label3D10};
  for (int i : {6, 7, 8}) {
    labels[i]->setText(Qs(SjisString(WithoutTrailingPadding(header.labels[i]))));
    QPalette p = labels[i]->palette();
    p.setColor(QPalette::WindowText,
               header.changed[i] ? QColor(Qt::red) : HeaderLabelLooks()[i].colour);
    labels[i]->setPalette(p);
  }
}

void TMainForm::StringGrid2MouseUp(Qt::MouseButton, const QPoint&) {
  StringGrid2->selectionModel()->clear();
}

// Copies the whole grid with the title line to the clipboard.
void TMainForm::N18Click() {
  const CardGrid cells = CardGridOf(*StringGrid2);
  GridRangeToClipboard(desktop_, cells, 0, 0, StringGrid2->columnCount() - 1,
                       StringGrid2->rowCount() - 1,
                       CardCopyTitle(SjisOf(Label3D3->text()), meeting_.SelectedSlot()));
}

}  // namespace tavolen
