// A scripted JV-Link that raises change events: queued events are raised at DeliverEvents, as a
// component does while its thread pumps.
#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/ScriptedJVLink.h"

namespace tavolen::testsupport {

class EventingJVLink final : public ScriptedJVLink {
 public:
  std::deque<int> watchResults;  // JVWatchEvent's answers in turn, then defaultWatch
  int defaultWatch = 0;
  std::vector<std::pair<JVEvent, std::string>> pending;

  int JVWatchEvent() override {
    calls.push_back({"JVWatchEvent", {}});
    if (onCall) onCall("JVWatchEvent");
    if (watchResults.empty()) return defaultWatch;
    const int r = watchResults.front();
    watchResults.pop_front();
    return r;
  }
  int JVWatchEventClose() override {
    calls.push_back({"JVWatchEventClose", {}});
    return 0;
  }
  void DeliverEvents() override {
    auto now = std::move(pending);
    pending.clear();
    for (const auto& [event, key] : now) RaiseEvent(event, Wide(key));
  }
  // The keys of the "0B16" opens so far.
  std::vector<std::string> Announcements() const {
    std::vector<std::string> out;
    for (const auto& c : calls)
      if (c.op == "JVRTOpen" && c.args[0] == "0B16") out.push_back(c.args[1]);
    return out;
  }
};

}  // namespace tavolen::testsupport
