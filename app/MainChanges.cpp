// Handlers of the change monitoring: change fetch, evaluation, balloon and the schedule. The
// behaviour lives in changes/ (ChangeFetch, EvaluateChanges, DecideTick); these handlers read
// the window's state, call it and show the results.
#include <QCoreApplication>
#include <QEvent>

#include "app/Main.h"
#include "base/Widgets.h"
#include "changes/ChangeEvaluation.h"
#include "changes/ChangeSchedule.h"
#include "changes/OzGetTimeUnit.h"
#include "changes/henkoUnit.h"

namespace tavolen {
namespace {

// A showing of the main window while a change fetch has its session open skips its JVInit
// (FormShow); this watcher has the showing's steps run again right after the session's
// JVClose, once however often the window was shown meanwhile.
class DeferredJVInit : public QObject {
 public:
  explicit DeferredJVInit(TMainForm& form) : QObject(&form), form_(form) {
    form.installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &form_ && event->type() == QEvent::Show && !event->spontaneous() &&
        form_.ChangeFetcher().fetchSessionOpen() && !pending_) {
      pending_ = true;
      form_.ChangeFetcher().RunWhenSessionClosed([this] {
        pending_ = false;
        if (form_.isVisible()) form_.FormShow();
      });
    }
    return false;
  }

 private:
  TMainForm& form_;
  bool pending_ = false;
};

}  // namespace

ChangeFetch& TMainForm::ChangeFetcher() {
  if (!changeFetch_) {
    changeFetch_ = std::make_unique<ChangeFetch>(
        JVLink1, DataFolder(), errorLog_, desktop_,
        [this](const SjisString& status) {
          if (DLlabel) DLlabel->setText(Qs(status));
        },
        [] { QCoreApplication::processEvents(); });
    changeFetch_->SetSessionClosedHook([this] { jvSessionOpen = false; });
    new DeferredJVInit(*this);
  }
  return *changeFetch_;
}

void TMainForm::GetKaisaiBtnClick() {
  ChangeFetch& fetch = ChangeFetcher();
  const ChangeFetchRequest request{DateCombo->currentIndex() >= 0, meeting_.raceTable,
                                   meeting_.selectedRaceIndex, autoRun};
  jvSessionOpen = true;  // before the fetch lets window messages run
  const ChangeFetchOutcome outcome = fetch.Fetch(request);
  jvSessionOpen = fetch.fetchSessionOpen();
  if (outcome == ChangeFetchOutcome::Evaluate) KaisaiReadBtnClick();
}

void TMainForm::KaisaiReadBtnClick() {
  const ChangeEvaluation ev = EvaluateChanges(meeting_.selectedRaceFile);
  if (!ev.status) {
    desktop_.ErrorBox(ev.status.message);
    return;
  }
  if (HenkoForm)
    for (int i = 0; i < kChangeTypes; ++i) HenkoForm->SetLines(i + 1, ev.lists[i]);
  if (!ev.hasNews()) return;

  const FileStatus saved = SaveRenewFile(meeting_.selectedRaceFile, ev);
  balloonText = ev.balloonText;
  // The news is announced even when the renew file could not be saved; it is then announced
  // again by the next evaluation.
  ShowBalloon1Click();
  if (!saved) desktop_.ErrorBox(saved.message);
}

void TMainForm::ShowBalloon1Click() {
  desktop_.PlaySoundAsync(appFolder_ / "notify.wav");
  // Where neither the tray nor the notification service can show it, the change window
  // itself comes forward, so the news is not missed.
  if (!desktop_.ShowBalloon(Sj("新着開催情報"), balloonText, BalloonIcon::Information, 10) &&
      HenkoForm)
    HenkoForm->ShowWindow();
}

void TMainForm::Timer4Timer() {
  const bool acquisitionOpen = AcquisitionHoldsSession();
  const TickAction action =
      DecideTick(FormatHhnn(clock_.Now()), FirstPostTime(meeting_.raceTable),
                 meeting_.checkInterval, ChangeFetcher().running(), acquisitionOpen);
  if (action != TickAction::Fetch) return;
  struct AutomaticRun {
    bool& flag;
    explicit AutomaticRun(bool& f) : flag(f) { flag = true; }
    ~AutomaticRun() { flag = false; }
  } automatic{autoRun};
  GetKaisaiBtnClick();
}

void TMainForm::N2Click() {
  TOzGetTimeForm form(IniGT1, desktop_, this);
  form.SetInterval(IniGT1.Read(Settings::CheckInterval, kCheckIntervalDefault));
  RunModal(form);
}

}  // namespace tavolen
