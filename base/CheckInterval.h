// The automatic check interval in minutes: its limits, its default and the one clamp every
// reader of the setting uses.
#pragma once

#include <algorithm>

namespace tavolen {

inline constexpr int kCheckIntervalMin = 2;
inline constexpr int kCheckIntervalMax = 59;
inline constexpr int kCheckIntervalDefault = 5;

// A check interval brought into 2-59.
inline int ClampCheckInterval(int minutes) {
  return std::clamp(minutes, kCheckIntervalMin, kCheckIntervalMax);
}

// The check timer's period: the interval x 60000 milliseconds.
inline int CheckTimerMilliseconds(int minutes) {
  return minutes * 60000;
}

}  // namespace tavolen
