// The guide in the empty main window (app/StartGuide.h) and its button for the automatic way.
#include "app/Main.h"
#include "app/StartGuide.h"
#include "automation/AutoWatch.h"
#include "automation/SignInItems.h"

namespace tavolen {

void TMainForm::UpdateGuide() {
  if (!guide_) return;
  guide_->Show(ChooseGuideStep(autoWatch_ && autoWatch_->Enabled(), DateCombo->count() > 0));
  // A race list without a card (an incomplete race) needs no guide beside it.
  guide_->SetShown(view_->CardArea()->isHidden() && view_->RaceListPanel()->isHidden());
}

void TMainForm::AutoWatchButtonClick() {
  // The entry at sign-in turns the automation on with it; where it cannot be written its box
  // says why, and the automation still starts, as the user asked.
  signInItems_->TurnOn();
  if (AutoWatchItem->isChecked()) return;
  AutoWatchItem->setChecked(true);
  AutoWatchItemClick();  // stores the option, follows today at once
}

}  // namespace tavolen
