#include "changes/ChangeWatch.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>

#include "base/FailureText.h"
#include "changes/ChangeEvaluation.h"
#include "changes/ChangeSchedule.h"
#include "jvlink/DateFiles.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"

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

// "hhnn" as "hh:nn".
SjisString WithColon(std::string_view hhnn) {
  return SjisString(hhnn.substr(0, 2)) + ":" + SjisString(hhnn.substr(2, 2));
}

// A failure's text on one line of the status line.
SjisString OneLine(SjisString text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return SjisString(TrimBlanks(text));
}

}  // namespace

SjisString FirstRaceText(const std::vector<std::string>& raceTable) {
  const SjisString post = FirstPostTime(raceTable);
  if (TrimBlanks(post).empty()) return {};
  const std::string_view race = raceTable.front();
  return CourseName(Cut(race, Header::CourseCode), 2) +
         SjisString(TrimBlanks(PadNumber(Cut(race, Header::RaceNumber)))) + "R " + WithColon(post) +
         Sj("発走");
}

ChangeWatch::ChangeWatch(JVLink& jvLink, fs::path dataFolder, ErrorLog& errorLog, Desktop& desktop,
                         const Clock& clock, QObject* parent, bool useEvents)
    : QObject(parent),
      jvLink_(jvLink),
      dataFolder_(std::move(dataFolder)),
      desktop_(desktop),
      clock_(clock) {
  setObjectName(QStringLiteral("ChangeWatch"));
  checkStep_ = std::make_unique<AutomaticStep>(
      Sj("変更情報の確認"), Sj("変更情報を確認できませんでした"), errorLog, desktop_);
  fetch_ = std::make_unique<ChangeFetch>(
      jvLink_, dataFolder_, errorLog, desktop_,
      [this](const SjisString& status) { emit fetchStatusChanged(status); },
      [] { QCoreApplication::processEvents(); });
  live_ = std::make_unique<LiveWatch>(jvLink_, errorLog, [] { QCoreApplication::processEvents(); });
  checkTimer_ = new QTimer(this);
  checkTimer_->setObjectName(QStringLiteral("Timer4"));
  connect(checkTimer_, &QTimer::timeout, this, &ChangeWatch::Tick);
  wakeTimer_ = new QTimer(this);
  wakeTimer_->setObjectName(QStringLiteral("WakeTimer"));
  connect(wakeTimer_, &QTimer::timeout, this, &ChangeWatch::WakeTick);
  wakeTimer_->start(kWakeCheckMs);
  // JV-Link's change events: each announcement of the watched day is fetched as it comes and
  // goes through the evaluation and announcement of a check.
  events_ = std::make_unique<ChangeEvents>(
      jvLink_, *fetch_, errorLog, useEvents,
      ChangeEventHooks{[this] {
                         return checkTimer_->isActive() && IsToday()
                                    ? ChangeFetch::RequestKey(day_.raceTable)
                                    : std::string();
                       },
                       [this] { return checking_ || (heldElsewhere_ && heldElsewhere_()); },
                       [this] {
                         Evaluate(true);
                         emit checked();
                       },
                       [this] {
                         CheckNow(true);
                         emit checked();
                       },
                       [this](JVEvent event, const std::string& key) {
                         if (checking_) return;
                         checking_ = true;
                         FetchLive(event, key);
                         checking_ = false;
                         emit checked();
                       }});
  eventTimer_ = new QTimer(this);
  eventTimer_->setObjectName(QStringLiteral("ChangeEventTimer"));
  connect(eventTimer_, &QTimer::timeout, this, [this] { events_->Poll(); });
  eventTimer_->start(ChangeEvents::kPollMs);
  UpdateStatus();
}

ChangeWatch::~ChangeWatch() {
  // The events go first: their listener and hooks refer to the rest.
  eventTimer_->stop();
  events_.reset();
}

void ChangeWatch::SetDay(WatchedDay day) {
  checkTimer_->stop();
  if (day.raceFile != day_.raceFile) {
    // Another day: what was said of the last one's checks no longer holds.
    lastCheckOk_.clear();
    lastCheckFailed_.clear();
    failureReason_.clear();
  }
  missingDayTold_.clear();
  day_ = std::move(day);
  checkTimer_->setInterval(CheckTimerMilliseconds(day_.checkInterval));
  if (IsToday()) {
    watchedDay_ = day_.dateKey;
    checkTimer_->start();
  }
  UpdateStatus();
}

void ChangeWatch::StopChecks() {
  // Said by the SetDay that follows; a load that fails says so in its own message.
  checkTimer_->stop();
}

void ChangeWatch::SetShownDate(const SjisString& dateKey) {
  if (dateKey == day_.dateKey) return;
  day_.dateKey = dateKey;
  UpdateStatus();
}

void ChangeWatch::SetSelectedRace(int index) {
  day_.selectedRace = index;
}

bool ChangeWatch::IsToday() const {
  return !day_.dateKey.empty() && day_.dateKey == DateKey(clock_.Now());
}

void ChangeWatch::Tick() {
  // A tick that comes while a JV-Link call waits for its answer is skipped.
  if (!jvLink_.Busy()) {
    emit tickStarted();
    if (IsToday()) {
      watchedDay_ = day_.dateKey;
      const TickAction action =
          DecideTick(FormatHhnn(clock_.Now()), FirstPostTime(day_.raceTable), day_.checkInterval,
                     checking_ || fetch_->running(), heldElsewhere_ && heldElsewhere_());
      if (action == TickAction::Fetch) {
        CheckNow(true);
      } else {
        UpdateStatus();
      }
    } else {
      UpdateStatus();  // a day that has ended is checked no more
    }
  }
  emit checked();
}

bool ChangeWatch::CheckNow(bool automatic) {
  if (checking_ || fetch_->running()) return false;
  checking_ = true;
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{checking_};
  // Nobody may be at the screen to answer a box of an automatic check of the automation.
  const bool unattended = automatic && daysByItself_;
  // The day may be replaced while the fetch lets window messages run; this check keeps its own.
  const std::vector<std::string> table = day_.raceTable;
  const ChangeFetchRequest request{!day_.dateKey.empty(), table, day_.selectedRace, automatic};
  ChangeFetchOutcome outcome = ChangeFetchOutcome::Failed;
  try {
    outcome = fetch_->Fetch(request);
  } catch (const JVLinkFailure& e) {
    // JV-Link could not be reached: the fetch has run its close step; no evaluation follows.
    RecordCheck(false, e.message());
    if (!unattended) {
      desktop_.ErrorBox(e.message());
      return true;
    }
    StepOutcome(false, e.message(), false);
    emit jvLinkLost();
    return true;
  }
  switch (outcome) {
    case ChangeFetchOutcome::NothingToFetch:
    case ChangeFetchOutcome::Busy:
      UpdateStatus();
      return false;
    case ChangeFetchOutcome::Failed:
      RecordCheck(false, fetch_->failureText());
      if (unattended) StepOutcome(false, fetch_->failureText(), false);
      return true;
    case ChangeFetchOutcome::Evaluate:
      break;
  }
  if (!Evaluate(automatic)) {
    RecordCheck(false, evaluationError_);
    if (unattended) StepOutcome(false, evaluationError_, false);
  } else {
    RecordCheck(!fetch_->failed(), fetch_->failureText());
    if (unattended) {
      if (fetch_->failed())
        StepOutcome(false, fetch_->failureText(), true);
      else if (!unsavedRenew_.empty())
        StepOutcome(false, unsavedRenew_, false);
      else
        StepOutcome(true, {}, false);
    }
  }
  FetchLive(JVEvent::Weight, {});
  return true;
}

void ChangeWatch::FetchLive(JVEvent event, const std::string& eventKey) {
  // The day may be replaced while the fetch lets window messages run.
  const std::vector<std::string> table = day_.raceTable;
  const fs::path dayFile = day_.raceFile;
  const bool fetched = eventKey.empty() ? IsToday() && live_->CheckDay(dayFile, table, clock_.Now())
                                        : live_->FetchEvent(event, eventKey, dayFile, table);
  if (!fetched) return;
  FileStatus saved;
  const LiveAnnouncement a = live_->Evaluate(dayFile, &favourites_, choice_.live, saved);
  if (!a.empty()) emit news(a.text, a.details, a.favourite);
  if (saved) return;
  // With nobody at the screen the memory that could not be saved is a failed step, no box.
  if (daysByItself_)
    StepOutcome(false, FailureText(saved), false);
  else
    desktop_.ErrorBox(FailureText(saved));
}

void ChangeWatch::StepOutcome(bool ok, const SjisString& reason, bool logged) {
  if (ok) {
    checkStep_->Succeeded();
    return;
  }
  // Tried again by the check timer, one interval from now.
  checkStep_->Failed(reason, clock_.Now().AddSeconds(day_.checkInterval * 60LL), {}, logged);
}

bool ChangeWatch::Evaluate(bool automatic) {
  const bool unattended = automatic && daysByItself_;
  unsavedRenew_.clear();
  const ChangeEvaluation ev = EvaluateChanges(day_.raceFile, &favourites_);
  if (!ev.status) {
    evaluationError_ = FailureText(ev.status);
    if (!unattended) desktop_.ErrorBox(evaluationError_);
    return false;
  }
  emit listsChanged(ev.lists);
  emit marksChanged(ev.favouriteLines);
  if (!ev.hasNews()) return true;
  const FileStatus saved = SaveRenewFile(day_.raceFile, ev);
  // The news is announced even when the renew file could not be saved; it is then announced
  // again by the next evaluation. What does not ring is remembered all the same.
  const Announcement announcement = Announce(ev.newChanges, choice_);
  if (!announcement.empty())
    emit news(announcement.text, announcement.details, announcement.favourite);
  if (!saved) {
    if (unattended)
      unsavedRenew_ = FailureText(saved);
    else
      desktop_.ErrorBox(FailureText(saved));
  }
  return true;
}

void ChangeWatch::SetDayMissing(const SjisString& dateKey) {
  missingDayTold_ = dateKey;
  UpdateStatus();
}

void ChangeWatch::SetDaysChosenByItself(bool on) {
  daysByItself_ = on;
  fetch_->SetUnattended(on);
  if (!on) checkStep_->Reset();
  UpdateStatus();
}

void ChangeWatch::RecordCheck(bool ok, const SjisString& reason) {
  (ok ? lastCheckOk_ : lastCheckFailed_) = WithColon(FormatHhnn(clock_.Now()));
  if (ok) {
    lastCheckFailed_.clear();
    failureReason_.clear();
  } else {
    failureReason_ = OneLine(reason);
  }
  UpdateStatus();
}

SjisString ChangeWatch::NextCheckText() const {
  if (!checkTimer_->isActive() || !IsToday()) return {};
  // To the nearest minute: a coarse timer may report a little more than its period.
  const int remaining = checkTimer_->remainingTime();
  const long long seconds =
      remaining >= 0 ? (remaining + 30000) / 60000 * 60 : day_.checkInterval * 60LL;
  return WithColon(FormatHhnn(clock_.Now().AddSeconds(seconds)));
}

void ChangeWatch::UpdateStatus() {
  SjisString state, detail;
  const SjisString next = NextCheckText();
  if (!missingDayTold_.empty()) {
    if (!daysByItself_)
      state =
          missingDayTold_ + Sj("のレースデータがありません。「JVデータ取得」で取得してください。");
  } else if (day_.dateKey.empty()) {
    if (!daysByItself_) state = Sj("本日の開催日を選ぶと変更情報の確認を始めます");
  } else if (!IsToday() && day_.dateKey != watchedDay_) {
    state = day_.dateKey + Sj("は本日ではないため、変更情報は確認しません");
  } else if (!IsToday() && daysByItself_) {
    // The watched day has ended: the automation moves the watch to the new day.
  } else if (ReadNumber(ChangeFetch::RequestKey(day_.raceTable)) <= 0) {
    state = Sj("この開催日にはレースがないため、変更情報は確認しません");
  } else if (!lastCheckOk_.empty() || !lastCheckFailed_.empty()) {
    if (!lastCheckFailed_.empty()) state = Sj("確認失敗 ") + lastCheckFailed_;
    if (!lastCheckOk_.empty())
      state += (state.empty() ? Sj("最終確認 ") : Sj("（最終確認 ")) + lastCheckOk_ +
               (lastCheckFailed_.empty() ? "" : Sj("）"));
    if (!failureReason_.empty()) detail = failureReason_;
    if (!next.empty()) detail += (detail.empty() ? "" : Sj("　")) + Sj("次回 ") + next;
  } else {
    // Before the first check: when it begins, and why then.
    const SjisString post = FirstPostTime(day_.raceTable);
    const SjisString start = CheckStart(post, day_.checkInterval);
    const bool started = TrimBlanks(post).empty() || FormatHhnn(clock_.Now()) > start;
    if (!started)
      state = Sj("変更情報の確認は ") + WithColon(start) + Sj(" から（") +
              FirstRaceText(day_.raceTable) + Sj("）");
    else if (!next.empty())
      state = Sj("変更情報の確認は ") + next + Sj(" から");
    else
      state = Sj("変更情報の確認を待っています");
  }
  if (state == state_ && detail == detail_) return;
  state_ = state;
  detail_ = detail;
  emit statusChanged(state_, detail_);
}

void ChangeWatch::WakeTick() {
  const LocalDateTime wall = clock_.Now();
  const long long mono = MonotonicMs();
  bool jumped = false;
  if (wakeMonoMs_ >= 0) {
    // Where the wall clock would be had the computer been awake and the clock left alone.
    const LocalDateTime expected = wakeWall_.AddSeconds((mono - wakeMonoMs_) / 1000);
    jumped = wall > expected.AddSeconds(kClockJumpSeconds) ||
             wall < expected.AddSeconds(-kClockJumpSeconds);
  }
  wakeWall_ = wall;
  wakeMonoMs_ = mono;
  if (!checkTimer_->isActive()) return;
  if (IsToday()) watchedDay_ = day_.dateKey;
  if (jumped) {
    // The check timer counts only the time the computer was awake: check now and count the
    // period from here.
    checkTimer_->start();
    Tick();
  }
}

void ChangeWatch::RunWhenSessionClosed(std::function<void()> action) {
  if (live_->Fetcher().sessionOpen())
    live_->Fetcher().RunWhenSessionClosed(std::move(action));
  else
    fetch_->RunWhenSessionClosed(std::move(action));
}

}  // namespace tavolen
