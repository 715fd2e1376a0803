// The change watch: the check timer (Timer4) and the timer that notices a sleep (WakeTimer),
// the day being watched and its move to the next day, the change fetch, the evaluation with
// its renew and memory files, and the last check and its failure. The main window tells it
// the day shown and the JV-Link; it tells what happened by signals and always has a status
// text saying what it does.
//
// CheckNow is the one entry point for "fetch and evaluate now": the check timer calls it, and
// so may anything else that learns of new change information. A call while a check runs does
// nothing.
//
// JV-Link's change events (ChangeEvents) are the watch's too: once today's day is watched,
// each announcement is fetched as it comes and announced through the same evaluation and
// news signal as a check's; the check timer stays the safety net.
#pragma once

#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/AutomaticStep.h"
#include "base/CheckInterval.h"
#include "base/Desktop.h"
#include "base/ErrorLog.h"
#include "base/Favourites.h"
#include "changes/ChangeAnnouncement.h"
#include "changes/ChangeEvents.h"
#include "changes/ChangeFetch.h"
#include "jvlink/ChangeFiles.h"
#include "jvlink/Clock.h"
#include "jvlink/JVLink.h"
#include "jvlink/TextLines.h"
#include "live/LiveWatch.h"

class QTimer;

namespace tavolen {

// The lines of the change window's five lists, in the order WE, AV, JC, TC, CC.
using ChangeLists = std::array<Lines, kChangeTypes>;
// For every line of the five lists: whether it concerns a favourite.
using ChangeMarks = std::array<std::vector<bool>, kChangeTypes>;

// What the main window tells the watch about the day it shows.
struct WatchedDay {
  SjisString dateKey;                  // the date shown in the date list, "" when none
  fs::path raceFile;                   // the loaded meeting's day file (the change files' base)
  std::vector<std::string> raceTable;  // its RA records; the first gives the first post time
  int selectedRace = -1;               // the race on the card (for the fetch's error text)
  int checkInterval = kCheckIntervalDefault;
};

class ChangeWatch : public QObject {
  Q_OBJECT
 public:
  // useEvents false: JV-Link's change events are switched off (the error log says so once).
  ChangeWatch(JVLink& jvLink, fs::path dataFolder, ErrorLog& errorLog, Desktop& desktop,
              const Clock& clock, QObject* parent = nullptr, bool useEvents = true);
  ~ChangeWatch() override;

  // A day was loaded: the check timer restarts with its interval when the day is today and
  // stops otherwise.
  void SetDay(WatchedDay day);
  // The date list's shown date changed without a new load (the list was rebuilt).
  void SetShownDate(const SjisString& dateKey);
  // The check timer stops until the next SetDay (a load that failed).
  void StopChecks();
  void SetSelectedRace(int index);
  // What the favourites are on the watched day (the main window tells it after every load and
  // every change of the list), and which changes ring.
  void SetFavourites(FavouriteDay favourites) { favourites_ = std::move(favourites); }
  const FavouriteDay& Favourites() const { return favourites_; }
  void SetNotifyChoice(const NotifyChoice& choice) { choice_ = choice; }
  const NotifyChoice& Choice() const { return choice_; }
  // The days are chosen and fetched by the program itself (the automation): the status says
  // nothing of choosing a day or of fetching its race data by hand, the automation alone
  // follows the date, and the checks of the schedule and of the change events are an
  // automatic step (base/AutomaticStep.h): a lost JV-Link, a change or renew file that cannot
  // be saved and a failed evaluation show no box but an error line, the status and one
  // notification per run of failures; the next check fetches again.
  void SetDaysChosenByItself(bool on);
  // Something else holds a JV-Link session (the acquisition window's download): ticks wait.
  void SetSessionHeldElsewhere(std::function<bool()> held) { heldElsewhere_ = std::move(held); }
  // The program's one owner of JV-Link's session: the fetches tell it of their sessions.
  void SetSessionOwner(JVSessionOwner* owner) { fetch_->SetSessionOwner(owner); }

  // One tick of the check timer: follows the date, then checks when the schedule says so.
  void Tick();
  // Fetches the day's change records and evaluates them. automatic: run by the schedule (no
  // beep after a good close). False when nothing ran: a check is running already, or there
  // is no day to fetch.
  bool CheckNow(bool automatic);
  // The evaluation alone; false when a change file could not be read (the error box shown,
  // unless automatic while the days are chosen by the program).
  bool Evaluate(bool automatic = false);
  // Every 30 seconds: after a sleep or a clock jump the check runs at once and the check
  // timer starts its period afresh.
  void WakeTick();

  // True while a fetch has its JV-Link session open: no other JV-Link call may run then.
  bool SessionOpen() const { return fetch_->fetchSessionOpen() || live_->Fetcher().sessionOpen(); }
  // Runs action now, or right after the open session's JVClose.
  void RunWhenSessionClosed(std::function<void()> action);
  const ChangeFetch& Fetcher() const { return *fetch_; }
  // The automatic check as a step of the failure policy, for its figures.
  const AutomaticStep& CheckStep() const { return *checkStep_; }
  // The date key of the day watched ("" when none): today behind another date on the screen
  // while the automation runs, else the date shown.
  const SjisString& WatchedDate() const { return day_.dateKey; }
  // True when dateKey is the day watched and it was watched as today (it may have ended since).
  bool WatchedAsToday(const SjisString& dateKey) const {
    return !dateKey.empty() && day_.dateKey == dateKey && watchedDay_ == dateKey;
  }
  // The watched day has ended and the new day (dateKey) has no race data: the status says so
  // until another day is set.
  void SetDayMissing(const SjisString& dateKey);

  // What the watch does now: the state ("最終確認 09:03", "変更情報の確認は 08:45 から…") and
  // its detail (the next check, a failure's reason); either may be empty.
  const SjisString& State() const { return state_; }
  const SjisString& Detail() const { return detail_; }
  // Whether the last check failed, and its reason; both clear once a check works or another
  // day is loaded.
  bool LastCheckFailed() const { return !lastCheckFailed_.empty(); }
  const SjisString& CheckFailure() const { return failureReason_; }
  QTimer* CheckTimer() const { return checkTimer_; }
  // The change events, polled by the timer "ChangeEventTimer" every ChangeEvents::kPollMs.
  ChangeEvents& Events() const { return *events_; }
  // The day's horse weights, results and payouts (live/).
  const LiveWatch& Live() const { return *live_; }

 signals:
  // The evaluation's five lists, after every evaluation; then which of their lines concern a
  // favourite.
  void listsChanged(const tavolen::ChangeLists& lists);
  void marksChanged(const tavolen::ChangeMarks& marks);
  // Something new that rings was found: the balloon text and the new changes' lines (those
  // about a favourite first, then newest first), and whether a favourite's change is among them.
  // New changes that do not ring are remembered as announced without it.
  void news(const tavolen::SjisString& text, const tavolen::Lines& details, bool favourite);
  void statusChanged(const tavolen::SjisString& state, const tavolen::SjisString& detail);
  // The fetch's own status text (the hidden DLlabel; error-log lines quote it).
  void fetchStatusChanged(const tavolen::SjisString& text);
  // A tick of the check timer begins (JV-Link not busy): the date follow (automation/) may move
  // the watch to a new day before the tick decides whether to check.
  void tickStarted();
  // A check ran (its changes may concern the race on the card).
  void checked();
  // An automatic check could not reach JV-Link (the component or its bridge was lost): it
  // needs its JVInit again before the next check.
  void jvLinkLost();

 private:
  void RecordCheck(bool ok, const SjisString& reason = {});
  // The outcome of an automatic check for the failure policy; logged: the fetch has written
  // the error line already.
  void StepOutcome(bool ok, const SjisString& reason, bool logged);
  void UpdateStatus();
  SjisString NextCheckText() const;
  bool IsToday() const;
  // The live items: with an empty key the day's (when due, after a check's change fetch),
  // otherwise the race of a weight or payout event; then their evaluation and news.
  void FetchLive(JVEvent event, const std::string& eventKey);

  JVLink& jvLink_;
  fs::path dataFolder_;
  Desktop& desktop_;
  const Clock& clock_;
  std::unique_ptr<ChangeFetch> fetch_;
  std::unique_ptr<LiveWatch> live_;
  QTimer* checkTimer_ = nullptr;
  bool daysByItself_ = false;
  QTimer* wakeTimer_ = nullptr;
  std::function<bool()> heldElsewhere_;
  WatchedDay day_;
  FavouriteDay favourites_;
  NotifyChoice choice_;
  bool checking_ = false;
  // The day last seen as today, the times ("hh:nn") of the last good and failed checks and
  // the failure's reason, the new day already told to have no race data.
  SjisString watchedDay_, lastCheckOk_, lastCheckFailed_, failureReason_, missingDayTold_;
  SjisString evaluationError_;
  SjisString unsavedRenew_;  // why the last unattended evaluation could not save the renew file
  std::unique_ptr<AutomaticStep> checkStep_;
  SjisString state_, detail_;
  LocalDateTime wakeWall_;
  long long wakeMonoMs_ = -1;
  // Last: it refers to the fetch, the day and the timers above.
  std::unique_ptr<ChangeEvents> events_;
  QTimer* eventTimer_ = nullptr;
};

// The first post time of a race table as "hh:nn" with its race ("福島1R 09:50発走"); empty for
// a table without a post time.
SjisString FirstRaceText(const std::vector<std::string>& raceTable);

}  // namespace tavolen
