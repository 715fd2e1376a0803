// What the tray icon says at a glance: watching today, nothing to watch, waiting for an answer in
// JV-Link's own window, or failing. The state is decided from plain inputs, so whoever knows of a
// failure (the change watch's last check, the automation's acquisition, any later automatic
// step) reports it by name to TrayFailures and the tray follows. The icons are the program's
// icon with a badge painted on it, readable at 16 pixels on dark and light panels.
#pragma once

#include <QIcon>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jvlink/Sjis.h"

namespace tavolen {

enum class TrayState {
  Watching,         // today's meeting is watched
  NothingToWatch,   // no meeting today, or no day watched
  WaitingOnWindow,  // a JV-Link call waits for an answer in JV-Link's own window
  Failing,          // an automatic step failed; the reason goes into the tip
};

struct TrayInputs {
  bool todayWatched = false;  // the change watch checks today's day
  bool meetingToday = false;  // that day has races
  bool waitingOnWindow = false;
  SjisString failure;  // the reason of the failure shown, empty when nothing fails
};

// A window waiting for the user comes first (nothing moves until it is answered), then a
// failure, then whether today's meeting is watched.
TrayState DecideTrayState(const TrayInputs& in);

// The tray tip: the state's own line first (the tip is cut at 63 characters), then what the
// main window says of the day (baseTip). Watching and nothing to watch add no line: the day's
// lines say it.
SjisString TrayTip(const TrayInputs& in, const SjisString& baseTip);

// The program's icon for the state, in every size the program icon has; the same object for the
// same state, so a caller may compare cache keys.
QIcon TrayIcon(TrayState state);

// The failures of the automatic steps, each under its step's name: the tray shows the one that
// failed last while any fails.
class TrayFailures {
 public:
  // An empty reason clears the step. A step that fails anew with another reason becomes the one
  // shown; the same reason again keeps the order.
  void Set(std::string_view step, const SjisString& reason);
  void Clear(std::string_view step) { Set(step, {}); }
  SjisString Current() const { return failing_.empty() ? SjisString() : failing_.back().second; }

 private:
  std::vector<std::pair<std::string, SjisString>> failing_;
};

}  // namespace tavolen
