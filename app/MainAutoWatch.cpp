// The automation's wiring in the main window: what it may ask of the window, its status in the
// status line and the tray tip, and its menu item.
#include "app/Main.h"
#include "automation/AutoWatch.h"
#include "base/CheckInterval.h"
#include "base/FailureText.h"
#include "base/SettingsKeys.h"
#include "base/Widgets.h"
#include "jvlink/DateFiles.h"

namespace tavolen {

void TMainForm::SetUpAutoWatch() {
  AutoWatchHooks hooks;
  hooks.loadDay = [this](const SjisString& day) { return LoadDayByItself(day); };
  hooks.loadedDay = [this]() -> SjisString {
    if (!meeting_.loadSucceeded || meeting_.selectedRaceFile.empty()) return {};
    return PathText(meeting_.selectedRaceFile.filename()).substr(0, 14);
  };
  hooks.jvLinkHeld = [this] {
    if (acquisitionWindowOpen_) return true;
    EndLeftAcquisitionSession();  // not overlapped: ended first
    return sessionOwner_.Open() || watch_->SessionOpen() || watch_->Fetcher().running();
  };
  hooks.rebuildDateList = [this] {
    MakeDataListBtnClick();
    KeepLoadedDaySelected();
  };
  hooks.initNeeded = [this] { return !jvInitDone_; };
  hooks.checkIntervalMinutes = [this] {
    return ClampCheckInterval(IniGT1.Read(Settings::CheckInterval));
  };
  hooks.watchDay = [this](const SjisString& day) { return WatchDayBehindView(day); };
  hooks.watchedAsToday = [this](const SjisString& day) { return watch_->WatchedAsToday(day); };
  hooks.ensureInit = [this] {
    if (jvInitDone_) return 0;
    const int r = JVLink1.JVInit(Wide(std::string(kSoftwareIdPrefix) + kVersion));
    jvInitDone_ = r == 0;
    return r;
  };
  autoWatch_ = new AutoWatch(JVLink1, desktop_, IniGT1, errorLog_, clock_, DataFolder(),
                             acquisition_, std::move(hooks), this);
  AutoWatchLabel = new QLabel(this);
  AutoWatchLabel->setObjectName(QStringLiteral("AutoWatchLabel"));
  AutoWatchLabel->setVisible(false);
  StatusLine->addPermanentWidget(AutoWatchLabel);
  // The watch's own hints to choose or fetch a day by hand give way to the automation's text.
  connect(autoWatch_, &AutoWatch::enabledChanged, watch_, &ChangeWatch::SetDaysChosenByItself);
  // Off, the date is looked at by the watch's ticks; on, by the automation's own timer.
  connect(watch_, &ChangeWatch::tickStarted, autoWatch_, [this] {
    if (!autoWatch_->Enabled()) autoWatch_->FollowDate();
  });
  connect(autoWatch_, &AutoWatch::dayMissing, this, [this](const SjisString& day) {
    watch_->SetDayMissing(day);
    const SjisString text =
        day + Sj("のレースデータがありません。\r\n「JVデータ取得」でデータを取得すると、"
                 "その日の変更情報の確認を始めます。");
    // The status line says it too, so a notification nobody could show loses nothing.
    desktop_.ShowStatusNotification(Sj("開催日が変わりました"), text, 10);
  });
  connect(autoWatch_, &AutoWatch::statusChanged, this, [this](const SjisString& text) {
    AutoWatchLabel->setText(Qs(text));
    AutoWatchLabel->setVisible(!text.empty());
    ShowWatchStatus(watch_->State(), watch_->Detail());  // the tray tip
  });
}

bool TMainForm::WatchKeepsToday() const {
  return autoWatch_ && autoWatch_->Enabled() && watch_->WatchedDate() == DateKey(clock_.Now());
}

bool TMainForm::WatchDayBehindView(const SjisString& dateKey) {
  LoadedMeeting day;
  if (!LoadMeeting(day, DataFolder(), dateKey).loaded()) return false;
  WatchedDay watched;
  watched.dateKey = dateKey;
  watched.raceFile = day.selectedRaceFile;
  watched.raceTable.assign(day.raceTable.begin(), day.raceTable.end());
  watched.selectedRace = -1;  // no card of it is shown
  watched.checkInterval = ClampCheckInterval(IniGT1.Read(Settings::CheckInterval));
  watch_->SetDay(std::move(watched));
  MarkWatchedFavourites(day);
  ShowWatchStatus(watch_->State(), watch_->Detail());
  return true;
}

void TMainForm::EndLeftAcquisitionSession() {
  // The session state is shared with the automation's acquisition, which is never ended here.
  const bool automation = autoWatch_ && autoWatch_->Acquiring();
  const bool left = sessionOwner_.OpenBy(SessionUser::AcquisitionWindow) ||
                    (acquisition_.sessionOpen && !automation);
  if (acquisitionWindowOpen_ || !left) return;
  // JVCancel ends a download still running in JV-Link; JVClose ends the session. A JV-Link
  // that cannot be reached holds no session either.
  try {
    JVLink1.JVCancel();
    [[maybe_unused]] const int rc = JVLink1.JVClose();
  } catch (const JVLinkFailure&) {
  }
  acquisition_.sessionOpen = false;
  sessionOwner_.Closed(SessionUser::AcquisitionWindow);
}

void TMainForm::AutoWatchItemClick() {
  if (FileStatus st = IniGT1.Write(Settings::AutoWatch, AutoWatchItem->isChecked()); !st)
    desktop_.ErrorBox(FailureText(st));
  autoWatch_->SetEnabled(AutoWatchItem->isChecked());
  UpdateGuide();
}

}  // namespace tavolen
