#include "jvlink/JVEvents.h"

#include <array>

#include "jvlink/Clock.h"

namespace tavolen {
namespace {

struct EventRow {
  JVEvent event;
  const char* name;
  const char* recordType;
};

constexpr std::array<EventRow, 7> kEvents = {{
    {JVEvent::JockeyChange, "JVEvtJockeyChange", "JC"},
    {JVEvent::Weather, "JVEvtWeather", "WE"},
    {JVEvent::CourseChange, "JVEvtCourseChange", "CC"},
    {JVEvent::Avoid, "JVEvtAvoid", "AV"},
    {JVEvent::TimeChange, "JVEvtTimeChange", "TC"},
    {JVEvent::Pay, "JVEvtPay", ""},
    {JVEvent::Weight, "JVEvtWeight", ""},
}};

const EventRow& Row(JVEvent event) {
  for (const EventRow& r : kEvents)
    if (r.event == event) return r;
  return kEvents.back();
}

bool Digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

bool Upper(std::string_view s) {
  for (char c : s)
    if (c < 'A' || c > 'Z') return false;
  return true;
}

}  // namespace

const char* JVEventName(JVEvent event) {
  return Row(event).name;
}

std::optional<JVEvent> JVEventByName(std::string_view name) {
  for (const EventRow& r : kEvents)
    if (name == r.name) return r.event;
  return std::nullopt;
}

bool IsChangeEvent(JVEvent event) {
  return *Row(event).recordType != '\0';
}

std::string_view ChangeEventRecordType(JVEvent event) {
  return Row(event).recordType;
}

std::optional<ChangeEventKey> ParseChangeEventKey(std::string_view key) {
  if (key.size() != kChangeEventKeySize) return std::nullopt;
  ChangeEventKey k{std::string(key.substr(0, 2)), std::string(key.substr(2, 8)),
                   std::string(key.substr(10, 2)), std::string(key.substr(12, 2)),
                   std::string(key.substr(14, 14))};
  LocalDateTime t;
  if (!Upper(k.recordType) || !Digits(key.substr(2)) ||
      !ParseCompactDateTime(k.date + "000000", t) || !ParseCompactDateTime(k.sent, t))
    return std::nullopt;
  return k;
}

std::string FormatChangeEventKey(const ChangeEventKey& key) {
  return key.recordType + key.date + key.course + key.race + key.sent;
}

}  // namespace tavolen
