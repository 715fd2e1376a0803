// Handlers of the race card viewer: meeting dates, meeting load, race list and race card. Each
// handler reads its controls, calls the race card logic and the race card view, and writes the
// results back.
#include <QApplication>

#include "app/Main.h"
#include "base/CheckInterval.h"
#include "base/FailureText.h"
#include "base/Widgets.h"
#include "racecard/RaceCard.h"
#include "racecard/prgrsUnit.h"

namespace tavolen {

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
    TellLoadProblem(MissingDayFileMessage(), false);
    view_->Clear();
    return;
  }
  if (result.outcome == MeetingLoadResult::Outcome::Failed) {
    // The load stopped part-way: the date change stops too, and the old race list, which
    // would now point at cleared slots, goes.
    meeting_.loadSucceeded = false;
    view_->Clear();
    TellLoadProblem(FailureText(result.status), true);
    return;
  }
  view_->HideCard();
}

// The user chose a date: load it, list its races, switch the check timer, show the first race.
void TMainForm::DateComboChange() {
  // Another date shown while the automation watches today: today's checks go on.
  if (!WatchKeepsToday() || SjisOf(DateCombo->currentText()) == watch_->WatchedDate())
    watch_->StopChecks();
  meeting_.loadSucceeded = true;
  ReadBtnClick();
  if (!meeting_.loadSucceeded) return;

  const std::vector<RaceListEntry> races = RaceListItems(meeting_);
  view_->ShowRaces(races);
  setEnabled(true);

  meeting_.checkInterval = ClampCheckInterval(IniGT1.Read(Settings::CheckInterval));
  // The watch restarts its check timer when the date is today, and its status names the day
  // in the tray tip.
  TellWatchTheDay();

  DatListClick();
  if (races.empty()) TellLoadProblem(Sj("この開催日のレースデータがありません。"), false);
}

void TMainForm::TellLoadProblem(const SjisString& text, bool errorBox) {
  // A load the program made by itself (a new day, the automation) has nobody to answer a box.
  if (loadingByItself_) {
    [[maybe_unused]] const FileStatus st =
        errorLog_.RecordError(SjisOf(DateCombo->currentText()) + Sj("：") + text);
    return;
  }
  if (errorBox) {
    desktop_.ErrorBox(text);
    return;
  }
  desktop_.Beep();
  desktop_.InformationBox(text);
}

void TMainForm::UpDown1Click() {
  UpDown1Click(view_->UpDown().Position);
}

void TMainForm::UpDown1Click(int position) {
  if (view_->StepTo(position)) DatListClick();
}

void TMainForm::N5Click() {
  N5->setChecked(!N5->isChecked());
  if (FileStatus st = IniGT1.Write(Settings::DateListClose, N5->isChecked()); !st)
    desktop_.ErrorBox(FailureText(st));
}

void TMainForm::SpeedButton8Click() {
  view_->ToggleRaceList();
}

// Shows the race card of the race list's selected item.
void TMainForm::DatListClick() {
  if (view_->ShowChosenRace(N5->isChecked())) watch_->SetSelectedRace(meeting_.selectedRaceIndex);
  RefreshCardChanges();
}

void TMainForm::CardChangesItemClick() {
  if (FileStatus st = IniGT1.Write(Settings::RaceCardChanges, CardChangesItem->isChecked()); !st)
    desktop_.ErrorBox(FailureText(st));
  RefreshCardChanges();
}

void TMainForm::RefreshCardChanges() {
  view_->RefreshChanges(CardChangesItem->isChecked());
}

void TMainForm::StringGrid2MouseUp(Qt::MouseButton, const QPoint&) {
  view_->ClearSelection();
}

// Copies the whole grid with the title line to the clipboard.
void TMainForm::N18Click() {
  view_->CopyCard();
}

}  // namespace tavolen
