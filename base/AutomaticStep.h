// The one failure policy of the program's automatic steps (the race-data acquisition, JVInit,
// the change check, a change event's fetch): nobody may be at the screen, so a failed step never
// shows a box. Each failure writes one error line; its reason and the time of the next try go
// to the status line and the tray tip; the first failure of a run of failures is notified, and
// so is the first run that works again ("…は復旧しました"). The retry time is given by the step
// (its next scheduled check) and kept: the step asks Due() before it runs again, so a timer that
// ticks faster than the schedule does not make it run, or log, any more often.
#pragma once

#include <optional>

#include "jvlink/Clock.h"
#include "jvlink/Sjis.h"

namespace tavolen {

class Desktop;
class ErrorLog;

class AutomaticStep {
 public:
  // name: what the step is, the notification's title and the head of its error lines
  // ("レースデータの自動取得"); headline: what a failure means to the user ("レースデータを
  // 取得できませんでした"), the head of the status text and the notification.
  AutomaticStep(SjisString name, SjisString headline, ErrorLog& errorLog, Desktop& desktop);

  // A run that failed: one error line "name[context]：reason（次の確認 hh:nn）" (none when the
  // step has written its own line for it already), the status text, and the notification when
  // the step was not failing already. retryAt is the moment the step may run again.
  void Failed(const SjisString& reason, const LocalDateTime& retryAt,
              const SjisString& context = {}, bool logged = false);
  // A run that worked: after a run of failures, one note and one notification that it works
  // again. The retry time is cleared.
  void Succeeded();
  // The run of failures ends without a word (the option was switched off).
  void Reset();

  // True when the step may run at now: it is not failing, or its retry time has come.
  bool Due(const LocalDateTime& now) const { return !retryAt_ || now >= *retryAt_; }
  bool Failing() const { return failing_; }
  const std::optional<LocalDateTime>& RetryAt() const { return retryAt_; }
  const SjisString& Reason() const { return reason_; }
  // "headline：reason（次の確認 hh:nn）" while failing, else empty.
  SjisString StatusText() const;
  // "（次の確認 hh:nn）", empty without a retry time.
  SjisString NextText() const;
  const SjisString& Name() const { return name_; }

  // Figures of the run so far: failed runs, recoveries, notifications shown.
  int failures() const { return failures_; }
  int recoveries() const { return recoveries_; }
  int notifications() const { return notifications_; }

 private:
  SjisString name_, headline_;
  ErrorLog& errorLog_;
  Desktop& desktop_;
  bool failing_ = false;
  SjisString reason_;
  std::optional<LocalDateTime> retryAt_;
  int failures_ = 0, recoveries_ = 0, notifications_ = 0;
};

// A failure's text on one line (the status line, the tray tip, one error line).
SjisString OneLineText(SjisString text);

}  // namespace tavolen
