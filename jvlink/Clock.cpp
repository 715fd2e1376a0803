#include "jvlink/Clock.h"

#include "jvlink/Platform.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace tavolen {
namespace {

using namespace std::chrono;

long long ToSerial(const LocalDateTime& t) {
  sys_days d = year_month_day{year{t.year}, month{static_cast<unsigned>(t.month)},
                              day{static_cast<unsigned>(t.day)}};
  return d.time_since_epoch().count() * 86400LL + t.hour * 3600LL + t.minute * 60LL + t.second;
}

LocalDateTime FromSerial(long long s) {
  long long days = s >= 0 ? s / 86400 : -((-s + 86399) / 86400);
  long long rest = s - days * 86400;
  year_month_day ymd{sys_days{std::chrono::days{days}}};
  LocalDateTime t;
  t.year = static_cast<int>(ymd.year());
  t.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  t.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest % 3600 / 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

bool Digits(std::string_view s, size_t pos, size_t n, int& v) {
  if (pos + n > s.size()) return false;
  v = 0;
  for (size_t i = pos; i < pos + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  return true;
}

}  // namespace

LocalDateTime LocalDateTime::AddSeconds(long long seconds) const {
  return FromSerial(ToSerial(*this) + seconds);
}

bool LocalDateTime::IsValid() const {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return false;
  return year_month_day{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                        std::chrono::day{static_cast<unsigned>(day)}}
      .ok();
}

SjisString DateKey(const LocalDateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d", t.year);
  SjisString out = buf;
  static const SjisString nen = Sj("年"), tsuki = Sj("月"), hi = Sj("日");
  std::snprintf(buf, sizeof buf, "%02d", t.month);
  out += nen + buf;
  std::snprintf(buf, sizeof buf, "%02d", t.day);
  out += tsuki + buf + hi;
  return out;
}

std::string FormatSlashDateTime(const LocalDateTime& t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

std::string FormatCompactDateTime(const LocalDateTime& t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

std::string FormatHms(const LocalDateTime& t) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return buf;
}

std::string FormatHhnn(const LocalDateTime& t) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d%02d", t.hour, t.minute);
  return buf;
}

bool ParseSlashDateTime(std::string_view text, LocalDateTime& out) {
  // Fields separated by '/', ' ' and ':'; each of one or more digits.
  int v[6] = {0, 0, 0, 0, 0, 0};
  const char seps[5] = {'/', '/', ' ', ':', ':'};
  size_t i = 0;
  for (int f = 0; f < 6; ++f) {
    size_t start = i;
    int n = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 4) {
      n = n * 10 + (text[i] - '0');
      ++i;
    }
    if (i == start) return false;
    v[f] = n;
    if (f < 5) {
      if (i >= text.size() || text[i] != seps[f]) return false;
      ++i;
    }
  }
  if (i != text.size()) return false;
  LocalDateTime t{v[0], v[1], v[2], v[3], v[4], v[5]};
  if (!t.IsValid()) return false;
  out = t;
  return true;
}

bool ParseCompactDateTime(std::string_view s, LocalDateTime& out) {
  if (s.size() != 14) return false;
  LocalDateTime t;
  if (!Digits(s, 0, 4, t.year) || !Digits(s, 4, 2, t.month) || !Digits(s, 6, 2, t.day) ||
      !Digits(s, 8, 2, t.hour) || !Digits(s, 10, 2, t.minute) || !Digits(s, 12, 2, t.second))
    return false;
  if (!t.IsValid()) return false;
  out = t;
  return true;
}

LocalDateTime SystemClock::Now() const {
  std::time_t now = std::time(nullptr);
  const std::tm tm = LocalTime(now);
  return LocalDateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                       tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

}  // namespace tavolen
