// The tray icon's state at a glance and its tip, from what the main window, the change watch
// and the automation know (app/TrayState.h).
#include <algorithm>

#include "app/Main.h"
#include "automation/AutoWatch.h"
#include "base/Widgets.h"

namespace tavolen {

SjisString TMainForm::DayTrayTip() const {
  SjisString date = SjisOf(DateCombo->currentText());
  // The automation may watch today while another date is shown: the tip names the day watched.
  if (WatchKeepsToday() && !watch_->WatchedDate().empty()) date = watch_->WatchedDate();
  const SjisString automatic = autoWatch_ ? autoWatch_->Status() : SjisString();
  SjisString tip = date.empty() ? SjisString(kCaption) : MeetingTrayTip(date);
  if (!automatic.empty()) tip += "\n" + automatic;
  if (date.empty()) return tip;
  const SjisString& state = watch_->State();
  const SjisString& detail = watch_->Detail();
  if (!state.empty()) tip += "\n" + state;
  if (!detail.empty()) tip += Sj("　") + detail;
  return tip;
}

void TMainForm::ShowTrayState() {
  if (!watch_) return;
  // The failing steps known today: the change watch's last check, the automation's acquisition
  // of race data and its JVInit, each on its own, the latest to fail shown.
  SjisString checkFailure;
  if (watch_->LastCheckFailed())
    checkFailure = watch_->CheckFailure().empty() ? Sj("変更情報の確認に失敗しました")
                                                  : watch_->CheckFailure();
  trayFailures_.Set("changes", checkFailure);
  auto reason = [](const AutomaticStep& step) {
    return step.Failing() ? step.Reason() : SjisString();
  };
  trayFailures_.Set("racedata", autoWatch_ ? reason(autoWatch_->AcquisitionStep()) : SjisString());
  trayFailures_.Set("jvinit", autoWatch_ ? reason(autoWatch_->InitStep()) : SjisString());

  TrayInputs in;
  in.todayWatched = watch_->CheckTimer()->isActive();
  in.meetingToday = std::any_of(meeting_.raceTable.begin(), meeting_.raceTable.end(),
                                [](const std::string& race) { return !race.empty(); });
  in.waitingOnWindow = waitingOnJVLinkWindow_;
  in.failure = trayFailures_.Current();
  desktop_.SetTrayTip(TrayTip(in, DayTrayTip()));
  const TrayState state = DecideTrayState(in);
  if (trayIconSet_ && state == trayState_) return;
  trayIconSet_ = true;
  trayState_ = state;
  desktop_.SetTrayIcon(TrayIcon(state));
}

}  // namespace tavolen
