// The automation's wiring in the main window: what it may ask of the window, its status in the
// status line and the tray tip, and its menu item.
#include "app/AutoWatch.h"
#include "app/Main.h"
#include "base/FailureText.h"
#include "base/Widgets.h"

namespace tavolen {

void TMainForm::SetUpAutoWatch() {
  AutoWatchHooks hooks;
  hooks.loadDay = [this](const SjisString& day) { return LoadDayByItself(day); };
  hooks.loadedDay = [this]() -> SjisString {
    if (!meeting_.loadSucceeded || meeting_.selectedRaceFile.empty()) return {};
    return PathText(meeting_.selectedRaceFile.filename()).substr(0, 14);
  };
  hooks.jvLinkHeld = [this] {
    return acquisitionWindowOpen_ || watch_->SessionOpen() || watch_->Fetcher().running();
  };
  hooks.rebuildDateList = [this] {
    MakeDataListBtnClick();
    KeepLoadedDaySelected();
  };
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
  connect(autoWatch_, &AutoWatch::statusChanged, this, [this](const SjisString& text) {
    AutoWatchLabel->setText(Qs(text));
    AutoWatchLabel->setVisible(!text.empty());
    ShowWatchStatus(watch_->State(), watch_->Detail());  // the tray tip
  });
}

void TMainForm::AutoWatchItemClick() {
  if (FileStatus st = IniGT1.Write(Settings::AutoWatch, AutoWatchItem->isChecked()); !st)
    desktop_.ErrorBox(FailureText(st));
  autoWatch_->SetEnabled(AutoWatchItem->isChecked());
  UpdateGuide();
}

}  // namespace tavolen
