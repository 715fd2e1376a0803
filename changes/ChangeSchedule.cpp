#include "changes/ChangeSchedule.h"

#include <algorithm>

#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/TextLines.h"

namespace tavolen {

SjisString FirstPostTime(std::span<const std::string> raceTable) {
  return Cut(raceTable.empty() ? std::string_view() : raceTable.front(), RA::PostTime);
}

SjisString CheckStart(std::string_view firstPostTime, int intervalMinutes) {
  return AddMinutesHHNN(firstPostTime, -(intervalMinutes + 60));
}

TickAction DecideTick(std::string_view nowHhnn, std::string_view firstPostTime, int intervalMinutes,
                      bool fetchRunning, bool acquisitionSessionOpen) {
  if (!(nowHhnn > std::string_view(CheckStart(firstPostTime, intervalMinutes))))
    return TickAction::Wait;
  if (fetchRunning) return TickAction::SkipFetchRunning;
  if (acquisitionSessionOpen) return TickAction::SkipAcquisitionOpen;
  return TickAction::Fetch;
}

int CheckIntervalFromText(std::string_view text) {
  std::string_view t = TrimBlanks(text);
  bool negative = false;
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  if (t.empty()) return kCheckIntervalMin;
  long long v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return kCheckIntervalMin;
    v = std::min(v * 10 + (c - '0'), 1000LL);  // saturates: any large number is above 59
  }
  return ClampCheckInterval(static_cast<int>(negative ? -v : v));
}

}  // namespace tavolen
