// The race day by itself: with the option "開催日を自動で監視する" on, today's meeting is loaded
// and watched without a click, and when today has no race data yet the program fetches it in
// the background with the acquisition window's own session (acquire/AcquisitionSession.h).
//
// At start-up (or when switched on) and at every date change, a today with a day file is loaded
// as choosing it in the date list loads it; a date the user chooses by hand stays on the screen
// while the change watch watches today behind it. A today without one, or whose last automatic
// session broke off (Settings::RaceDataIncomplete), starts an acquisition then, and again at
// the scheduled checks (NextRaceDataCheck) until a session completes; what was stored is loaded
// meanwhile so the watch can start. Nothing on this path opens a window or a message box of
// ours: JVInit and the acquisition are automatic steps (base/AutomaticStep.h) whose failures
// become the status text (status line, tray tip), one error line per try and one notification
// per run of failures and one when it works again; JV-Link's own windows are shown and waited
// on. A download whose JVStatus does not move for kStallMinutes is ended (JVCancel, JVClose)
// and tried again at the next check. It never runs while another JV-Link session is open, and
// never twice.
//
// It is the one detector of the date change (FollowDate), on and off: on, by its own timer;
// off, at each tick of the change watch, where a day that was watched as today moves on to the
// new day once that day's race data is there, and the user is told once while it is missing.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

#include "acquire/AcquisitionSession.h"
#include "base/AutomaticStep.h"
#include "jvlink/Clock.h"
#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"

class QTimer;

namespace tavolen {

class Desktop;
class ErrorLog;
class IniFile;
class JVLink;

// What the automation asks of the main window.
struct AutoWatchHooks {
  // Loads a date exactly as choosing it in the date list does (the list rebuilt first); true
  // when the meeting was loaded.
  std::function<bool(const SjisString& dateKey)> loadDay;
  // The date key of the meeting loaded, "" when none.
  std::function<SjisString()> loadedDay;
  // True while the acquisition window is open or a change check holds JV-Link.
  std::function<bool()> jvLinkHeld;
  // After a session that stored race data: the date list rebuilt, the loaded day kept selected.
  std::function<void()> rebuildDateList;
  // JVInit, when the main window has not initialised JV-Link yet (a start into the tray) or the
  // component was lost since; its result. Called before an automatic acquisition and before a
  // day is loaded and watched.
  std::function<int()> ensureInit;
  // True while JV-Link needs that JVInit.
  std::function<bool()> initNeeded;
  // The change watch's check interval in minutes: when a failed JVInit of a day that has its
  // race data is tried again.
  std::function<int()> checkIntervalMinutes;
  // Has the change watch watch a day's meeting without showing it (the user looks at another
  // date); true when it does.
  std::function<bool(const SjisString& dateKey)> watchDay;
  // True when the change watch watches dateKey and watched it as today.
  std::function<bool(const SjisString& dateKey)> watchedAsToday;
};

// After the check at the date change, a day without race data is checked at 07:00 and every 30
// minutes until 12:00: race data comes out on the days before a meeting, so these checks only
// catch a late publication, a service that was down at midnight or a computer that was off;
// the first race starts about 09:50, and a day with no race data by noon has no meeting. The
// next such moment after now, or the next date change (tomorrow 00:00).
LocalDateTime NextRaceDataCheck(const LocalDateTime& now);

class AutoWatch : public QObject {
  Q_OBJECT
 public:
  // The timer that looks at the date and the schedule, every this many milliseconds.
  static constexpr int kTickMs = 30000;
  // A download whose JVStatus stays the same this long is taken as hung. A race day's data is
  // a few megabytes that come within a minute or two even on a slow line, and JVStatus moves
  // with every file; ten minutes leaves room for the service's busiest mornings and still lets
  // the next scheduled check (30 minutes apart) start afresh.
  static constexpr int kStallMinutes = 10;

  AutoWatch(JVLink& jvLink, Desktop& desktop, IniFile& ini, ErrorLog& errorLog, const Clock& clock,
            fs::path dataFolder, AcquisitionState& state, AutoWatchHooks hooks,
            QObject* parent = nullptr);
  ~AutoWatch() override;

  // On: follows today from the next turn of the message loop (as at start-up), then by its
  // timer. Off: nothing more is started; a running acquisition is ended (JVCancel, JVClose).
  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }
  // The timer "AutoWatchTimer": a date change, a due check, an acquisition that waited.
  void Tick();
  // Looks at the date; true when it changed since the last look (or this is the first look) and
  // the new day was taken up. Off, it also loads the new day of a watched day that ended once
  // its race data has come. Not while an acquisition runs.
  bool FollowDate();
  // The user chose a date in the date list: it stays on the screen until the next date change,
  // while today is watched behind it.
  void UserChoseDate() { userChose_ = true; }
  // JVInit failed where the program started by itself (at sign-in): a failed run of the
  // automation's own JVInit step, tried again at its time, not at once.
  void InitFailedAtStart(const SjisString& reason);

  // True from the start of an automatic acquisition until its session has ended.
  bool Acquiring() const { return acquiring_; }
  // What the automation does, for the status line and the tray tip; empty when nothing.
  const SjisString& Status() const { return status_; }
  // The next scheduled check for race data, when today has none.
  std::optional<LocalDateTime> NextCheck() const { return nextCheck_; }
  int SessionsStarted() const { return sessions_; }
  // The two automatic steps, for their figures.
  const AutomaticStep& AcquisitionStep() const { return acquireStep_; }
  const AutomaticStep& InitStep() const { return initStep_; }

 signals:
  void statusChanged(const tavolen::SjisString& text);
  // Off: the watched day has ended and the new day has no race data; said once per day.
  void dayMissing(const tavolen::SjisString& dateKey);
  // Switched on or off.
  void enabledChanged(bool on);

 private:
  class SilentView;
  class ReportingDesktop;

  void FollowToday();
  void AwaitDayByHand(const SjisString& today);
  // JVInit when it is needed and due; false when JV-Link is not initialised.
  bool InitJVLink(const LocalDateTime& now);
  LocalDateTime InitRetryAt(const LocalDateTime& now) const;
  void Acquire();
  void StatusTick();
  void Progressed();
  void CheckStall(const LocalDateTime& now);
  void SessionEnded();
  void LoadToday(bool again = false);
  void Note(const SjisString& text);
  void LogError(const SjisString& reason);
  void SetStatus(const SjisString& text);
  bool TodayHasDayFile() const;
  bool Incomplete() const;
  SjisString DayContext() const;

  JVLink& jvLink_;
  Desktop& desktop_;
  IniFile& ini_;
  ErrorLog& errorLog_;
  const Clock& clock_;
  fs::path dataFolder_;
  AcquisitionState& state_;
  AutoWatchHooks hooks_;
  std::unique_ptr<SilentView> view_;
  std::unique_ptr<ReportingDesktop> reports_;
  std::unique_ptr<AcquisitionSession> session_;
  QTimer* timer_ = nullptr;
  QTimer* statusTimer_ = nullptr;
  bool enabled_ = false;
  bool acquiring_ = false;
  bool waiting_ = false;  // an acquisition is due but JV-Link is held elsewhere
  bool userChose_ = false;
  bool stalled_ = false;
  bool wasIncomplete_ = false;  // the mark before the running session began
  int sessions_ = 0;
  LocalDateTime lastProgressAt_;  // when the running download last moved
  SjisString day_;                // today's date key as last seen
  SjisString noMeetingNoted_;     // the day the error log was told it has no meeting
  SjisString followed_;           // off: the watched day that ended, until the new one is loaded
  bool missingSaid_ = false;      // off: the new day was said to have no race data
  std::optional<LocalDateTime> nextCheck_;
  SjisString status_;
  AutomaticStep acquireStep_;
  AutomaticStep initStep_;
};

}  // namespace tavolen
