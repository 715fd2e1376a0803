// Handlers of the favourites and the notification settings: the list file, the marks on the
// race list, the race card and the change window, and which changes ring.
#include <QMenu>

#include "app/Main.h"
#include "base/FailureText.h"
#include "base/Widgets.h"
#include "changes/NotifySettingsForm.h"
#include "racecard/FavouritesForm.h"

namespace tavolen {

void TMainForm::AddFavouriteMenuItems(QMenu* optionMenu) {
  optionMenu->addSeparator();
  FavouritesItem = new QAction(Qs(Sj("お気に入り(&F)...")), this);
  FavouritesItem->setObjectName(QStringLiteral("FavouritesItem"));
  FavouritesItem->setStatusTip(Qs(Sj("お気に入りの馬と騎手を表示、追加、解除します")));
  connect(FavouritesItem, &QAction::triggered, this, &TMainForm::FavouritesItemClick);
  optionMenu->addAction(FavouritesItem);
  NotifySettingsItem = new QAction(Qs(Sj("通知の設定(&N)...")), this);
  NotifySettingsItem->setObjectName(QStringLiteral("NotifySettingsItem"));
  NotifySettingsItem->setStatusTip(Qs(Sj("どの変更をバルーンと音で知らせるかを選びます")));
  connect(NotifySettingsItem, &QAction::triggered, this, &TMainForm::NotifySettingsItemClick);
  optionMenu->addAction(NotifySettingsItem);

  view_->SetFavourites(&favourites_.list());
  connect(view_, &RaceCardView::favouriteToggleRequested, this, &TMainForm::ToggleFavourite);
}

void TMainForm::LoadFavourites() {
  const SjisString problem = favourites_.Load(clock_.Now());
  if (!problem.empty()) {
    // Said, never asked (no box waits for an answer): the program goes on with an empty list.
    // The status line says it also when the error log cannot take the line.
    errorLog_.RecordError(problem);
    StatusLine->showMessage(Qs(problem));
  }
  MarkFavourites();
}

namespace {

std::vector<std::string> RunnersOf(const LoadedMeeting& meeting) {
  std::vector<std::string> runners;
  for (int r = 0; r < meeting.loadedRaceCount && r < kMeetingRaces; ++r)
    for (const std::string& se : meeting.runnerTable[static_cast<size_t>(r)])
      if (!TrimBlanks(se).empty()) runners.push_back(se);
  return runners;
}

}  // namespace

void TMainForm::MarkFavourites() {
  view_->RefreshFavourites();
  // The announcements mark the favourites of the watched day, which the automation keeps on
  // today while another date is shown.
  const SjisString watched = watch_->WatchedDate();
  if (WatchKeepsToday() && SjisOf(DateCombo->currentText()) != watched) {
    LoadedMeeting day;
    if (LoadMeeting(day, DataFolder(), watched).loaded()) {
      MarkWatchedFavourites(day);
      return;
    }
  }
  MarkWatchedFavourites(meeting_);
}

void TMainForm::MarkWatchedFavourites(const LoadedMeeting& day) {
  watch_->SetFavourites(FavouriteDay(favourites_.list(), RunnersOf(day)));
}

void TMainForm::ToggleFavourite(FavouriteKind kind, const SjisString& code,
                                const SjisString& name) {
  const FavouriteList before = favourites_.list();
  favourites_.list().Toggle(kind, code, name);
  if (FileStatus st = favourites_.Save(); !st) {
    // Nothing changes that could not be kept.
    favourites_.list() = before;
    desktop_.ErrorBox(Sj("お気に入りを保存できません。\n") + FailureText(st));
    return;
  }
  MarkFavourites();
}

void TMainForm::FavouritesItemClick() {
  FavouriteList before = favourites_.list();
  TFavouritesForm form(
      favourites_.list(), DataFolder(),
      [this, &before] {
        if (FileStatus st = favourites_.Save(); !st) {
          favourites_.list() = before;
          desktop_.ErrorBox(Sj("お気に入りを保存できません。\n") + FailureText(st));
        } else {
          before = favourites_.list();
        }
        MarkFavourites();
      },
      this);
  RunModal(form);
}

void TMainForm::NotifySettingsItemClick() {
  TNotifySettingsForm form(IniGT1, desktop_, this);
  if (RunModal(form) == QDialog::Accepted) watch_->SetNotifyChoice(ReadNotifyChoice(IniGT1));
}

fs::path TMainForm::FavouriteSoundFile() const {
  const fs::path own = ResourceFile(folders_, "favourite.wav");
  return FileExists(own) ? own : SoundFile();
}

}  // namespace tavolen
