// Handlers of the change monitoring: change fetch, evaluation, balloon and the schedule.
#include "app/Main.h"
#include "changes/henkoUnit.h"

namespace tavolen {

void TMainForm::GetKaisaiBtnClick() {}
void TMainForm::ReadChangeRecords() {}
void TMainForm::CloseChangeSession() {}
void TMainForm::KaisaiReadBtnClick() {}

void TMainForm::ShowBalloon1Click() {
  desktop_.PlaySoundAsync(appFolder_ / "notify.wav");
  // Where neither the tray nor the notification service can show it, the change window
  // itself comes forward, so the news is not missed.
  if (!desktop_.ShowBalloon(Sj("新着開催情報"), balloonText_, BalloonIcon::Information, 10) &&
      HenkoForm)
    HenkoForm->ShowWindow();
}

void TMainForm::Timer4Timer() {}
void TMainForm::N2Click() {}

}  // namespace tavolen
