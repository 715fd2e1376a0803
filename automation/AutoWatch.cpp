#include "automation/AutoWatch.h"

#include <QCoreApplication>
#include <QTimer>
#include <utility>

#include "base/Desktop.h"
#include "base/ErrorLog.h"
#include "base/IniFile.h"
#include "base/SettingsKeys.h"
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
    if (position != position_) owner_.Progressed();
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
      failure_ = OneLineText(text);
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
      reports_(std::make_unique<ReportingDesktop>(desktop)),
      acquireStep_(Sj("レースデータの自動取得"), Sj("レースデータを取得できませんでした"), errorLog,
                   desktop),
      initStep_(Sj("JV-Linkの初期化"), Sj("JV-Linkを初期化できませんでした"), errorLog, desktop) {
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
    acquireStep_.Reset();
    initStep_.Reset();
    if (acquiring_ && session_) {
      // Nobody will carry the session on: it ends now, as a hung one does.
      session_->Abandon();
      if (!session_->Reading()) SessionEnded();
    }
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

bool AutoWatch::Incomplete() const {
  return ini_.Read(Settings::RaceDataIncomplete);
}

SjisString AutoWatch::DayContext() const {
  return Sj("（") + DateKey(clock_.Now()) + Sj("）");
}

void AutoWatch::Tick() {
  if (!enabled_) return;  // off, the watch's ticks look at the date (FollowDate)
  const LocalDateTime now = clock_.Now();
  if (acquiring_) {
    CheckStall(now);
    return;
  }
  if (FollowDate()) return;
  // Each step runs again only at its own time, whatever the timer's period.
  const bool initDue =
      hooks_.initNeeded && hooks_.initNeeded() && initStep_.Due(now) && TodayHasDayFile();
  if (waiting_ || (nextCheck_ && now >= *nextCheck_) || initDue) FollowToday();
}

bool AutoWatch::FollowDate() {
  if (acquiring_) return false;  // the date is looked at again once the session has ended
  const SjisString today = DateKey(clock_.Now());
  if (today == day_) {
    if (!enabled_) AwaitDayByHand(today);
    return false;
  }
  const SjisString ended = std::exchange(day_, today);
  if (!enabled_) {
    // Only a day that was watched as today moves on with the date.
    const bool watched = hooks_.watchedAsToday && hooks_.watchedAsToday(ended);
    followed_ = watched ? ended : SjisString();
    missingSaid_ = false;
    AwaitDayByHand(today);
    return true;
  }
  // Start-up, or the date changed: a new day, whatever was chosen by hand before.
  followed_.clear();
  userChose_ = false;
  waiting_ = false;
  nextCheck_.reset();
  FollowToday();
  return true;
}

void AutoWatch::AwaitDayByHand(const SjisString& today) {
  if (followed_.empty()) return;
  // Another day chosen meanwhile is left as it is.
  if (!hooks_.watchedAsToday || !hooks_.watchedAsToday(followed_)) {
    followed_.clear();
    return;
  }
  // Loaded as choosing it in the date list loads it; the watch starts on it.
  if (TodayHasDayFile() && hooks_.loadDay && hooks_.loadDay(today)) {
    followed_.clear();
    return;
  }
  if (!missingSaid_) {
    missingSaid_ = true;
    emit dayMissing(today);
  }
}

LocalDateTime AutoWatch::InitRetryAt(const LocalDateTime& now) const {
  // With race data to fetch, at its next scheduled check; otherwise at the watch's next check.
  if (!TodayHasDayFile() || Incomplete()) return NextRaceDataCheck(now);
  const int minutes = hooks_.checkIntervalMinutes ? hooks_.checkIntervalMinutes() : 5;
  return now.AddSeconds(std::max(1, minutes) * 60LL);
}

bool AutoWatch::InitJVLink(const LocalDateTime& now) {
  if (!hooks_.ensureInit || jvLink_.Busy()) return true;
  if (hooks_.initNeeded && !hooks_.initNeeded()) return true;
  if (!initStep_.Due(now)) return false;
  SjisString reason;
  try {
    if (const int r = hooks_.ensureInit(); r != 0)
      reason = Sj("JVInitエラー：") + JVResultMessage("JVInit", r);
  } catch (const JVLinkFailure& e) {
    reason = e.message();
  }
  if (reason.empty()) {
    initStep_.Succeeded();
    return true;
  }
  initStep_.Failed(reason, InitRetryAt(now), DayContext());
  return false;
}

void AutoWatch::InitFailedAtStart(const SjisString& reason) {
  const LocalDateTime now = clock_.Now();
  initStep_.Failed(reason, InitRetryAt(now), DayContext());
  SetStatus(initStep_.StatusText());
}

void AutoWatch::FollowToday() {
  const LocalDateTime now = clock_.Now();
  const bool hasDay = TodayHasDayFile();
  // What is stored is loaded first, also when it is incomplete: the watch can start with it.
  if (hasDay) LoadToday();
  if (hasDay && !Incomplete()) {
    nextCheck_.reset();
    waiting_ = false;
    // A program that went straight to the tray was never shown, and a lost component needs
    // it again: the watch's checks need JVInit.
    SetStatus(InitJVLink(now) ? SjisString() : initStep_.StatusText());
    return;
  }
  Acquire();
}

void AutoWatch::LoadToday(bool again) {
  if (!hooks_.loadDay) return;
  const SjisString today = DateKey(clock_.Now());
  const SjisString loaded = hooks_.loadedDay ? hooks_.loadedDay() : SjisString();
  if (userChose_ && loaded != today) {
    // The user looks at another date: it stays on the screen, today is watched behind it.
    if (hooks_.watchDay) hooks_.watchDay(today);
    return;
  }
  if (!again && loaded == today) return;
  if (hooks_.loadDay(today))
    Note(today + (loaded == today ? Sj("の開催を読み直しました") : Sj("の開催を読み込みました")));
}

void AutoWatch::Acquire() {
  const LocalDateTime now = clock_.Now();
  if ((hooks_.jvLinkHeld && hooks_.jvLinkHeld()) || jvLink_.Busy()) {
    // Tried again at the next tick of the timer.
    waiting_ = true;
    SetStatus(Sj("レースデータの取得はJV-Linkが空くのを待っています"));
    return;
  }
  waiting_ = false;
  if (!acquireStep_.Due(now)) return;
  if (!InitJVLink(now)) {
    nextCheck_ = initStep_.RetryAt();
    SetStatus(initStep_.StatusText());
    return;
  }
  acquiring_ = true;
  stalled_ = false;
  ++sessions_;
  lastProgressAt_ = now;
  // Marked before the session, so that a session that never ends (the program killed inside
  // it) leaves the day incomplete too; SessionEnded clears it when the session completes.
  wasIncomplete_ = Incomplete();
  [[maybe_unused]] const FileStatus marked = ini_.Write(Settings::RaceDataIncomplete, true);
  view_->Reset();
  reports_->Clear();
  session_ = std::make_unique<AcquisitionSession>(*view_, *reports_, jvLink_, ini_, clock_,
                                                  dataFolder_, state_);
  session_->SetUser(SessionUser::Automation);
  session_->Create();
  SetStatus(view_->Progress());
  session_->Start();
  if (!statusTimer_->isActive() && !session_->Reading()) SessionEnded();
}

void AutoWatch::StatusTick() {
  if (!session_) {
    statusTimer_->stop();
    return;
  }
  session_->StatusTick();
  if (acquiring_ && !statusTimer_->isActive() && !session_->Reading()) SessionEnded();
}

void AutoWatch::Progressed() {
  lastProgressAt_ = clock_.Now();
}

void AutoWatch::CheckStall(const LocalDateTime& now) {
  // Only the download wait can hang here: the read loop returns with every JVRead.
  if (!session_ || !statusTimer_->isActive() || session_->Reading()) return;
  if (now < lastProgressAt_.AddSeconds(kStallMinutes * 60LL)) return;
  stalled_ = true;
  session_->Abandon();
  if (acquiring_ && !session_->Reading()) SessionEnded();
}

void AutoWatch::SessionEnded() {
  if (!acquiring_) return;
  acquiring_ = false;
  const LocalDateTime now = clock_.Now();
  const SjisString today = DateKey(now);
  const bool completed = reports_->Completed() && !stalled_;
  const bool noData = reports_->NoData() && !stalled_;
  SjisString failure = reports_->Failure();
  if (stalled_)
    failure =
        Sj("ダウンロードが") + std::to_string(kStallMinutes) + Sj("分間進まないため中止しました");
  // Complete only when a session read to its end or found nothing new; a session that never
  // opened leaves the mark as it was.
  const bool incomplete =
      (completed || noData) ? false : (session_->ReadCount() > 0 || wasIncomplete_);
  [[maybe_unused]] const FileStatus marked = ini_.Write(Settings::RaceDataIncomplete, incomplete);
  if (completed && hooks_.rebuildDateList) hooks_.rebuildDateList();
  if (!enabled_) {
    SetStatus({});
    return;
  }
  const SjisString fetched = Sj("レースデータを自動で取得しました");
  const bool hasDay = TodayHasDayFile();
  if (completed && hasDay) Note(fetched);
  if (completed || noData) {
    acquireStep_.Succeeded();
    // A failure after the reading (the start time not saved) costs no data: a line only.
    if (!failure.empty()) LogError(failure);
  } else {
    if (failure.empty()) failure = Sj("取得が途中で終わりました");
    if (hasDay) failure += Sj("。読み込んだレースデータは途中までです");
    acquireStep_.Failed(failure, NextRaceDataCheck(now), DayContext());
  }
  if (hasDay) {
    // The day as stored now: again after a session that completed it.
    LoadToday(completed);
    if (!incomplete) {
      nextCheck_.reset();
      SetStatus(InitJVLink(now) ? SjisString() : initStep_.StatusText());
      return;
    }
  }
  nextCheck_ = NextRaceDataCheck(now);
  if (acquireStep_.Failing()) {
    SetStatus(acquireStep_.StatusText());
    return;
  }
  const SjisString next = Sj("（次の確認 ") + HourMinute(*nextCheck_) + Sj("）");
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
  [[maybe_unused]] const FileStatus st =
      errorLog_.RecordError(acquireStep_.Name() + DayContext() + Sj("：") + reason);
}

void AutoWatch::SetStatus(const SjisString& text) {
  if (text == status_) return;
  status_ = text;
  emit statusChanged(status_);
}

}  // namespace tavolen
