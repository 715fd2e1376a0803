// Local date and time, and the clock the program asks for them (a fake one in tests).
#pragma once

#include <string>

#include "jvlink/Sjis.h"

namespace tavolen {

struct LocalDateTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;

  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
  friend auto operator<=>(const LocalDateTime&, const LocalDateTime&) = default;

  LocalDateTime AddSeconds(long long seconds) const;
  LocalDateTime AddDays(int days) const { return AddSeconds(days * 86400LL); }
  bool IsValid() const;
};

// "yyyy年mm月dd日", the date key of every race, change and renew file name.
SjisString DateKey(const LocalDateTime& t);
// "yyyy/mm/dd hh:nn:ss"
std::string FormatSlashDateTime(const LocalDateTime& t);
// "yyyymmddhhnnss"
std::string FormatCompactDateTime(const LocalDateTime& t);
// "hh:nn:ss" and "hhnn"
std::string FormatHms(const LocalDateTime& t);
std::string FormatHhnn(const LocalDateTime& t);
// Parses "yyyy/mm/dd hh:nn:ss" (two-digit fields may be one digit) into t; false if it is not
// a valid date and time.
bool ParseSlashDateTime(std::string_view text, LocalDateTime& t);
// Parses "yyyymmddhhnnss".
bool ParseCompactDateTime(std::string_view text, LocalDateTime& t);

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime Now() const = 0;
};

class SystemClock final : public Clock {
 public:
  LocalDateTime Now() const override;
};

class FakeClock final : public Clock {
 public:
  explicit FakeClock(LocalDateTime t = {}) : now_(t) {}
  LocalDateTime Now() const override { return now_; }
  void Set(const LocalDateTime& t) { now_ = t; }
  void AdvanceSeconds(long long s) { now_ = now_.AddSeconds(s); }
  void AdvanceMinutes(long long m) { now_ = now_.AddSeconds(m * 60); }

 private:
  LocalDateTime now_;
};

}  // namespace tavolen
