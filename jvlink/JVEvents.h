// JV-Link's change events by name, and the key a change event carries: the record type (2
// characters), the race day yyyymmdd, the course code, the race number (yyyymmddJJRR) and the
// 14-digit time the announcement was sent. JVRTOpen("0B16", key) answers that announcement's
// records.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "jvlink/JVLink.h"

namespace tavolen {

// The names on the component's source interface ("JVEvtJockeyChange" ...).
const char* JVEventName(JVEvent event);
std::optional<JVEvent> JVEventByName(std::string_view name);
// The five events that announce a change; JVEvtPay and JVEvtWeight are not.
bool IsChangeEvent(JVEvent event);
// The record type a change event's announcement holds ("JC", "WE", "CC", "AV", "TC"), or "".
std::string_view ChangeEventRecordType(JVEvent event);

// The real-time data kind ("dataspec") that fetches one announcement.
inline constexpr std::string_view kAnnouncementSpec = "0B16";
inline constexpr std::string_view kEventSourceInterface = "_IJVLinkEvents";

struct ChangeEventKey {
  std::string recordType;  // "WE", "AV", ...
  std::string date;        // yyyymmdd
  std::string course;      // JJ
  std::string race;        // RR
  std::string sent;        // yyyymmddhhnnss
};
inline constexpr size_t kChangeEventKeySize = 2 + 12 + 14;

// The parts of a key of that shape, or none when the key has another shape (letters for the
// type, digits and a valid date elsewhere).
std::optional<ChangeEventKey> ParseChangeEventKey(std::string_view key);
std::string FormatChangeEventKey(const ChangeEventKey& key);

}  // namespace tavolen
