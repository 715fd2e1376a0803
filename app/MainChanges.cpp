// Handlers of the change monitoring: change fetch, evaluation, balloon and the schedule. The
// behaviour lives in changes/ (ChangeFetch, EvaluateChanges, DecideTick); these handlers read
// the window's state, call it and show the results.
#include <QCoreApplication>
#include <QEvent>
#include <chrono>

#include "app/Main.h"
#include "base/FailureText.h"
#include "base/Widgets.h"
#include "changes/ChangeEvaluation.h"
#include "changes/ChangeSchedule.h"
#include "changes/OzGetTimeUnit.h"
#include "changes/henkoUnit.h"
#include "racecard/Meeting.h"

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
  ChangeFetchOutcome outcome = ChangeFetchOutcome::Failed;
  try {
    outcome = fetch.Fetch(request);
  } catch (const JVLinkFailure& e) {
    // JV-Link could not be reached: the fetch has run its close step; no evaluation follows.
    jvSessionOpen = fetch.fetchSessionOpen();
    desktop_.ErrorBox(e.message());
    return;
  }
  jvSessionOpen = fetch.fetchSessionOpen();
  if (outcome == ChangeFetchOutcome::Failed) RecordCheck(false);
  if (outcome != ChangeFetchOutcome::Evaluate) return;
  const bool evaluated = KaisaiReadBtnClick();
  RecordCheck(evaluated && !fetch.failed());
}

bool TMainForm::KaisaiReadBtnClick() {
  const ChangeEvaluation ev = EvaluateChanges(meeting_.selectedRaceFile);
  if (!ev.status) {
    desktop_.ErrorBox(FailureText(ev.status));
    return false;
  }
  if (HenkoForm)
    for (int i = 0; i < kChangeTypes; ++i)
      HenkoForm->SetLines(static_cast<ChangeType>(i), ev.lists[i]);
  if (!ev.hasNews()) return true;

  const FileStatus saved = SaveRenewFile(meeting_.selectedRaceFile, ev);
  balloonText = ev.balloonText;
  balloonDetails = NewChangeDetails(ev.newChanges);
  // The news is announced even when the renew file could not be saved; it is then announced
  // again by the next evaluation.
  ShowBalloon1Click();
  if (!saved) desktop_.ErrorBox(FailureText(saved));
  return true;
}

void TMainForm::ShowBalloon1Click() {
  desktop_.PlaySoundAsync(SoundFile());
  // Where neither the tray nor the notification service can show it, the change window
  // itself comes forward, so the news is not missed.
  if (!desktop_.ShowNotification(Sj("新着開催情報"), balloonText, balloonDetails,
                                 BalloonIcon::Information, 10) &&
      HenkoForm)
    HenkoForm->ShowWindow();
}

void TMainForm::Timer4Timer() {
  // A tick that comes while a JV-Link call waits for its answer is skipped.
  if (JVLink1.Busy()) return;
  if (!FollowDateChange()) return;
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

namespace tavolen {
namespace {

constexpr int kWakeCheckMs = 30000;
// A difference between the wall clock and the monotonic clock beyond this means the computer
// slept or the clock was set.
constexpr long long kClockJumpSeconds = 90;

long long MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

long long SecondsBetween(const LocalDateTime& a, const LocalDateTime& b) {
  // Whole days and the time of day; enough for the minutes and hours compared here.
  auto days = [](const LocalDateTime& t) {
    const int y = t.month <= 2 ? t.year - 1 : t.year;
    const int m = t.month <= 2 ? t.month + 12 : t.month;
    return 365LL * y + y / 4 - y / 100 + y / 400 + (153 * (m - 3) + 2) / 5 + t.day;
  };
  return (days(b) - days(a)) * 86400 + (b.hour - a.hour) * 3600LL + (b.minute - a.minute) * 60LL +
         (b.second - a.second);
}

// "hh:nn" of a time.
SjisString HourMinute(const LocalDateTime& t) {
  const std::string hhnn = FormatHhnn(t);
  return hhnn.substr(0, 2) + ":" + hhnn.substr(2, 2);
}

}  // namespace

void TMainForm::SetUpWatch() {
  WatchLabel = new QLabel(this);
  WatchLabel->setObjectName(QStringLiteral("WatchLabel"));
  StatusLine->addPermanentWidget(WatchLabel);
  WakeTimer = new QTimer(this);
  WakeTimer->setObjectName(QStringLiteral("WakeTimer"));
  connect(WakeTimer, &QTimer::timeout, this, [this] { WakeTimerTimer(); });
  WakeTimer->start(kWakeCheckMs);
  // JV-Link's change events: each announcement of the watched day is fetched and announced
  // as it comes; the check timer stays the safety net.
  changeEvents_ = std::make_unique<ChangeEvents>(
      JVLink1, ChangeFetcher(), errorLog_, IniGT1.Read(Settings::ChangeEvents, true),
      ChangeEventHooks{[this] {
                         return Timer4->isActive() &&
                                        IsToday(clock_, SjisOf(DateCombo->currentText()))
                                    ? ChangeFetch::RequestKey(meeting_.raceTable)
                                    : std::string();
                       },
                       [this] { return AcquisitionHoldsSession(); },
                       [this] {
                         KaisaiReadBtnClick();
                         RefreshCardChanges();
                       },
                       [this] {
                         const bool wasAutomatic = autoRun;
                         autoRun = true;
                         GetKaisaiBtnClick();
                         autoRun = wasAutomatic;
                         RefreshCardChanges();
                       }});
  auto* eventTimer = new QTimer(this);
  eventTimer->setObjectName(QStringLiteral("ChangeEventTimer"));
  connect(eventTimer, &QTimer::timeout, this, [this] { changeEvents_->Poll(); });
  eventTimer->start(ChangeEvents::kPollMs);
  // A click on a notification opens the change window; one that could not be shown after all
  // brings the change window forward instead.
  desktop_.SetNotificationHandlers([this] { N4Click(); },
                                   [this] {
                                     if (HenkoForm) HenkoForm->ShowWindow();
                                   });
}

void TMainForm::KeepLoadedDaySelected() {
  if (!meeting_.loadSucceeded || !FileExists(meeting_.selectedRaceFile)) return;
  const SjisString date = PathText(meeting_.selectedRaceFile.filename()).substr(0, 14);
  const int at = DateCombo->findText(Qs(date));
  if (at >= 0) DateCombo->setCurrentIndex(at);
}

bool TMainForm::FollowDateChange() {
  const SjisString today = DateKey(clock_.Now());
  const SjisString shown = SjisOf(DateCombo->currentText());
  if (shown == today) {
    watchedDay_ = today;
    return true;
  }
  // Only a day that was being watched as today moves on with the date.
  if (shown.empty() || shown != watchedDay_) return true;
  if (FileExists(DayFilePathFor(DataFolder(), today))) {
    MakeDataListBtnClick();
    const int at = DateCombo->findText(Qs(today));
    if (at >= 0) {
      DateCombo->setCurrentIndex(at);
      DateComboChange();  // loads the day, restarts the check timer, shows its first race
      watchedDay_ = today;
      missingDayTold_.clear();
      ShowWatchStatus();
      return false;
    }
    KeepLoadedDaySelected();
  }
  // The new day has no race data: said once, and the finished day is checked no more.
  if (missingDayTold_ != today) {
    missingDayTold_ = today;
    ShowWatchStatus();
    const SjisString text =
        today + Sj("のレースデータがありません。\r\n「JVデータ取得」でデータを取得すると、"
                   "その日の変更情報の確認を始めます。");
    // The status line says it too, so a notification nobody could show loses nothing.
    desktop_.ShowBalloon(Sj("開催日が変わりました"), text, BalloonIcon::Information, 10);
  }
  return false;
}

void TMainForm::RecordCheck(bool ok) {
  (ok ? lastCheckOk_ : lastCheckFailed_) = HourMinute(clock_.Now());
  if (ok) lastCheckFailed_.clear();
  ShowWatchStatus();
}

SjisString TMainForm::WatchStatus() const {
  if (!missingDayTold_.empty())
    return missingDayTold_ + Sj("のレースデータがありません。「JVデータ取得」で取得してください。");
  SjisString text;
  if (!lastCheckFailed_.empty()) text = Sj("確認失敗 ") + lastCheckFailed_;
  if (!lastCheckOk_.empty())
    text += (text.empty() ? Sj("最終確認 ") : Sj("（最終確認 ")) + lastCheckOk_ +
            (lastCheckFailed_.empty() ? "" : Sj("）"));
  return text;
}

void TMainForm::ShowWatchStatus() {
  const SjisString status = WatchStatus();
  if (WatchLabel) WatchLabel->setText(Qs(status));
  const SjisString date = SjisOf(DateCombo->currentText());
  if (!date.empty())
    desktop_.SetTrayTip(MeetingTrayTip(date) + (status.empty() ? "" : "\n") + status);
}

void TMainForm::WakeTimerTimer() {
  const LocalDateTime wall = clock_.Now();
  const long long mono = MonotonicMs();
  const bool first = wakeMonoMs_ < 0;
  const long long drift = first ? 0 : SecondsBetween(wakeWall_, wall) - (mono - wakeMonoMs_) / 1000;
  wakeWall_ = wall;
  wakeMonoMs_ = mono;
  if (!Timer4->isActive()) return;
  if (SjisOf(DateCombo->currentText()) == DateKey(wall)) watchedDay_ = DateKey(wall);
  if (drift > kClockJumpSeconds || drift < -kClockJumpSeconds) {
    // The check timer counts only the time the computer was awake: check now and count the
    // period from here.
    Timer4->start();
    Timer4Timer();
  }
}

}  // namespace tavolen
