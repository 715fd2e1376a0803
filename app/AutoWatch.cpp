#include "app/AutoWatch.h"

#include <QCoreApplication>
#include <QTimer>

#include "base/Desktop.h"
#include "base/ErrorLog.h"
#include "base/IniFile.h"
#include "jvlink/DateFiles.h"
#include "jvlink/JVLink.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

constexpr int kFirstCheckMinute = 7 * 60;
constexpr int kLastCheckMinute = 12 * 60;
constexpr int kCheckStepMinutes = 30;

// "hh:nn"
SjisString HourMinute(const LocalDateTime& t) {
  const std::string hhnn = FormatHhnn(t);
  return hhnn.substr(0, 2) + ":" + hhnn.substr(2, 2);
}

SjisString OneLine(SjisString text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return SjisString(TrimBlanks(text));
}

}  // namespace

LocalDateTime NextRaceDataCheck(const LocalDateTime& now) {
  const int minute = now.hour * 60 + now.minute;
  int next = kFirstCheckMinute;
  while (next <= minute && next <= kLastCheckMinute) next += kCheckStepMinutes;
  if (next <= kLastCheckMinute)
    return LocalDateTime{now.year, now.month, now.day, next / 60, next % 60, 0};
  const LocalDateTime tomorrow = now.AddDays(1);
  return LocalDateTime{tomorrow.year, tomorrow.month, tomorrow.day, 0, 0, 0};
}

// The session's window, with nothing on screen: the progress becomes the status text
// "レースデータ取得中 (3/12)" (files downloaded, then files read), and the wait on JV-Link's own
// window says so. The status timer is the automation's.
class AutoWatch::SilentView final : public AcquireView {
 public:
  explicit SilentView(AutoWatch& owner) : owner_(owner) {}

  void Reset() {
    phase_ = Phase::Opening;
    waitingOnWindow_ = false;
    position_ = max_ = 0;
  }
  SjisString Progress() const {
    if (waitingOnWindow_) return Sj(kWaitingOnJVLinkWindow);
    SjisString text = Sj("レースデータ取得中");
    if (phase_ != Phase::Opening)
      text += " (" + std::to_string(position_) + "/" + std::to_string(max_) + ")";
    return text;
  }

  void SetProgressLabel(const SjisString& text) override {
    waitingOnWindow_ = text == Sj(kWaitingOnJVLinkWindow);
    Show();
  }
  void SetDownloadMax(int max) override {
    if (phase_ == Phase::Downloading) max_ = max;
    downloadMax_ = max;
  }
  void SetDownloadPosition(int position) override {
    if (phase_ != Phase::Downloading) return;
    position_ = position;
    Show();
  }
  void SetReadMax(int max) override {
    phase_ = Phase::Reading;
    max_ = max;
    position_ = 0;
    Show();
  }
  void SetReadPosition(int position) override {
    if (phase_ != Phase::Reading) return;
    position_ = position;
    Show();
  }
  void AddListLine(const SjisString&) override {}
  void ClearList() override {}
  void SetBusyCursor(bool) override {}
  void StartStatusTimer() override {
    if (phase_ == Phase::Opening) {
      phase_ = Phase::Downloading;
      max_ = downloadMax_;
      position_ = 0;
      Show();
    }
    owner_.statusTimer_->start();
  }
  void StopStatusTimer() override { owner_.statusTimer_->stop(); }
  void ProcessPendingEvents() override { QCoreApplication::processEvents(); }
  LocalDateTime PickerDateTime() const override { return picker_; }
  void SetPickerDateTime(const LocalDateTime& t) override { picker_ = t; }

 private:
  enum class Phase { Opening, Downloading, Reading };
  void Show() { owner_.SetStatus(Progress()); }

  AutoWatch& owner_;
  Phase phase_ = Phase::Opening;
  bool waitingOnWindow_ = false;
  int position_ = 0, max_ = 0, downloadMax_ = 0;
  LocalDateTime picker_;
};

// The session's desktop: its boxes are kept as reports instead of shown, its beeps stay
// silent; nobody may be there to answer.
class AutoWatch::ReportingDesktop final : public Desktop {
 public:
  explicit ReportingDesktop(Desktop& desktop) : desktop_(desktop) {}

  void Clear() {
    completed_ = noData_ = false;
    failure_.clear();
  }
  bool Completed() const { return completed_; }
  bool NoData() const { return noData_; }
  // The first report that is no notice: a failed call, a failed store, a lost JV-Link.
  const SjisString& Failure() const { return failure_; }

  void InformationBox(const SjisString& text) override { Report(text); }
  void PlainBox(const SjisString& text) override { Report(text); }
  void ErrorBox(const SjisString& text) override { Report(text); }
  bool AskYesNo(const SjisString& text) override {
    Report(text);
    return false;
  }
  void Beep() override {}
  void PlaySoundAsync(const std::filesystem::path&) override {}
  void SetClipboardText(const SjisString&) override {}
  bool OpenHelpContents(const std::filesystem::path&) override { return false; }
  bool OpenAddress(const std::string&) override { return false; }
  bool TrayAvailable() const override { return desktop_.TrayAvailable(); }
  void SetTrayVisible(bool) override {}
  void SetTrayTip(const SjisString&) override {}
  void SetTrayMenu(QMenu*) override {}
  bool ShowBalloon(const SjisString&, const SjisString&, BalloonIcon, int) override {
    return false;
  }

 private:
  void Report(const SjisString& text) {
    if (text == Sj(kAcquisitionCompleted)) {
      completed_ = true;
    } else if (text == Sj(kNoNewRaceData)) {
      noData_ = true;
    } else if (!text.ends_with(Sj(kAcquisitionStartNotice)) && failure_.empty()) {
      failure_ = OneLine(text);
    }
  }

  Desktop& desktop_;
  bool completed_ = false, noData_ = false;
  SjisString failure_;
};

AutoWatch::AutoWatch(JVLink& jvLink, Desktop& desktop, IniFile& ini, ErrorLog& errorLog,
                     const Clock& clock, fs::path dataFolder, AcquisitionState& state,
                     AutoWatchHooks hooks, QObject* parent)
    : QObject(parent),
      jvLink_(jvLink),
      desktop_(desktop),
      ini_(ini),
      errorLog_(errorLog),
      clock_(clock),
      dataFolder_(std::move(dataFolder)),
      state_(state),
      hooks_(std::move(hooks)),
      view_(std::make_unique<SilentView>(*this)),
      reports_(std::make_unique<ReportingDesktop>(desktop)) {
  setObjectName(QStringLiteral("AutoWatch"));
  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("AutoWatchTimer"));
  timer_->setInterval(kTickMs);
  connect(timer_, &QTimer::timeout, this, &AutoWatch::Tick);
  statusTimer_ = new QTimer(this);
  statusTimer_->setObjectName(QStringLiteral("AutoStatusTimer"));
  statusTimer_->setInterval(10);
  connect(statusTimer_, &QTimer::timeout, this, &AutoWatch::StatusTick);
}

AutoWatch::~AutoWatch() {
  statusTimer_->stop();
  timer_->stop();
}

void AutoWatch::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  emit enabledChanged(on);
  if (!on) {
    timer_->stop();
    nextCheck_.reset();
    waiting_ = false;
    failure_.clear();
    if (!acquiring_) SetStatus({});
    return;
  }
  // Today is looked at afresh, as at start-up.
  day_.clear();
  timer_->start();
  QTimer::singleShot(0, this, &AutoWatch::Tick);
}

bool AutoWatch::TodayHasDayFile() const {
  return FileExists(dataFolder_ / SjisPath(DateFileName(DateKey(clock_.Now()), kDayFileSuffix)));
}

void AutoWatch::Tick() {
  if (!enabled_ || acquiring_) return;
  const LocalDateTime now = clock_.Now();
  const SjisString today = DateKey(now);
  if (today != day_) {
    // Start-up, or the date changed: a new day, whatever was chosen by hand before.
    day_ = today;
    userChose_ = false;
    failureNotified_ = false;
    failure_.clear();
    waiting_ = false;
    nextCheck_.reset();
    FollowToday();
    return;
  }
  if (waiting_ || (nextCheck_ && now >= *nextCheck_)) FollowToday();
}

void AutoWatch::FollowToday() {
  if (TodayHasDayFile()) {
    nextCheck_.reset();
    waiting_ = false;
    // A program that went straight to the tray was never shown: the watch's checks need the
    // JVInit of a showing. Its failure shows in the watch's own checks.
    if (hooks_.ensureInit && !jvLink_.Busy()) {
      try {
        [[maybe_unused]] const int r = hooks_.ensureInit();
      } catch (const JVLinkFailure&) {
      }
    }
    LoadToday();
    SetStatus({});
    return;
  }
  Acquire();
}

void AutoWatch::LoadToday() {
  if (userChose_ || !hooks_.loadDay) return;
  const SjisString today = DateKey(clock_.Now());
  if (hooks_.loadedDay && hooks_.loadedDay() == today) return;
  if (hooks_.loadDay(today)) Note(today + Sj("の開催を読み込みました"));
}

void AutoWatch::Acquire() {
  if ((hooks_.jvLinkHeld && hooks_.jvLinkHeld()) || jvLink_.Busy()) {
    // Tried again at the next tick of the timer.
    waiting_ = true;
    SetStatus(Sj("レースデータの取得はJV-Linkが空くのを待っています"));
    return;
  }
  waiting_ = false;
  acquiring_ = true;
  ++sessions_;
  if (hooks_.ensureInit) {
    int r = 0;
    try {
      r = hooks_.ensureInit();
    } catch (const JVLinkFailure& e) {
      acquiring_ = false;
      Fail(OneLine(e.message()));
      return;
    }
    if (r != 0) {
      acquiring_ = false;
      Fail(Sj("JVInitエラー：") + JVResultMessage("JVInit", r));
      return;
    }
  }
  view_->Reset();
  reports_->Clear();
  session_ = std::make_unique<AcquisitionSession>(*view_, *reports_, jvLink_, ini_, clock_,
                                                  dataFolder_, state_);
  session_->Create();
  SetStatus(view_->Progress());
  session_->Start();
  if (!statusTimer_->isActive()) SessionEnded();
}

void AutoWatch::StatusTick() {
  if (!session_) {
    statusTimer_->stop();
    return;
  }
  session_->StatusTick();
  if (!statusTimer_->isActive() && !session_->Reading()) SessionEnded();
}

void AutoWatch::SessionEnded() {
  acquiring_ = false;
  const SjisString today = DateKey(clock_.Now());
  const bool completed = reports_->Completed();
  const SjisString failure = reports_->Failure();
  if (completed && hooks_.rebuildDateList) hooks_.rebuildDateList();
  if (!enabled_) {
    SetStatus({});
    return;
  }
  const SjisString fetched = Sj("レースデータを自動で取得しました");
  if (TodayHasDayFile()) {
    nextCheck_.reset();
    failureNotified_ = false;
    failure_.clear();
    if (completed) Note(fetched);
    if (!failure.empty()) LogError(failure);
    LoadToday();
    SetStatus({});
    return;
  }
  nextCheck_ = NextRaceDataCheck(clock_.Now());
  if (!failure.empty()) {
    if (completed) Note(fetched);
    Fail(failure);
    return;
  }
  failureNotified_ = false;
  failure_.clear();
  const SjisString next = Sj("（次の確認 ") + NextCheckText() + Sj("）");
  // Said once a day unless something was fetched: the morning's checks find the same.
  if (completed || noMeetingNoted_ != today)
    Note((completed ? fetched + Sj("。") : SjisString()) + today + Sj("の開催はありません") + next);
  noMeetingNoted_ = today;
  SetStatus(Sj("本日の開催はありません") + next);
}

void AutoWatch::Note(const SjisString& text) {
  // A log that cannot be written costs the line only: no box on this path.
  [[maybe_unused]] const FileStatus st = errorLog_.RecordNote(text);
}

void AutoWatch::LogError(const SjisString& reason) {
  // Error lines carry the time only; the automation's can come on any day of a long run.
  [[maybe_unused]] const FileStatus st = errorLog_.RecordError(
      Sj("レースデータの自動取得（") + DateKey(clock_.Now()) + Sj("）：") + reason);
}

void AutoWatch::Fail(const SjisString& reason) {
  failure_ = reason;
  if (!nextCheck_) nextCheck_ = NextRaceDataCheck(clock_.Now());
  const SjisString next = Sj("（次の確認 ") + NextCheckText() + Sj("）");
  LogError(reason + next);
  SetStatus(Sj("レースデータを取得できませんでした：") + reason + next);
  // Once per run of failures: the next failures of the morning say it in the status line and
  // the error log only.
  if (failureNotified_) return;
  failureNotified_ = true;
  desktop_.ShowStatusNotification(Sj("レースデータの自動取得"),
                                  Sj("レースデータを取得できませんでした。\r\n") + reason + next,
                                  10);
}

SjisString AutoWatch::NextCheckText() const {
  return nextCheck_ ? HourMinute(*nextCheck_) : SjisString();
}

void AutoWatch::SetStatus(const SjisString& text) {
  if (text == status_) return;
  status_ = text;
  emit statusChanged(status_);
}

}  // namespace tavolen
