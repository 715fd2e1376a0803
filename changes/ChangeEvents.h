// The change events of JV-Link in the change watch: a change is announced within seconds of its
// publication instead of at the next tick of the check timer, which stays the safety net.
//
// While the owner watches today's meeting, ChangeEvents calls JVWatchEvent once. Each change
// event for the watched day is queued; Poll, outside the event's delivery, fetches that one
// announcement with the change fetch (JVRTOpen "0B16" with the event's key, the same read loop
// and close step, the same change files) and then has the owner run the evaluation and
// announcement of a check (the first event of a day runs the owner's whole check instead), so what
// the events and the ticks bring is told once. An event that comes while a fetch, an acquisition or
// another JV-Link call runs waits for it. Weight and payout events (12-character key yyyymmddJJRR)
// go to the live hook the same way. Events of other days are ignored. A JV-Link without events, a
// JVWatchEvent that fails, a key that cannot be fetched and a lost connection are each written to
// the error log once; the timer's checks go on as before.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>

#include "base/ErrorLog.h"
#include "changes/ChangeFetch.h"
#include "jvlink/JVEvents.h"
#include "jvlink/JVLink.h"

namespace tavolen {

struct ChangeEventHooks {
  // The loaded day "yyyymmdd" while the watch runs with today's meeting loaded, else empty.
  std::function<std::string()> watchedDay;
  // True while something else holds JV-Link (an acquisition's session, a call that waits).
  // The change fetch's own running is checked by ChangeEvents.
  std::function<bool()> blocked;
  // The evaluation and announcement that follow a check's fetch.
  std::function<void()> evaluate;
  // The whole check of a timer tick (the day's fetch, then evaluate), run for the first event
  // of a watched day instead of its announcement: a weather change is shown against the
  // course's initial state, which only the day's records bring.
  std::function<void()> check;
  // The fetch of one race's weights (JVEvtWeight) or payouts (JVEvtPay) with the event's key,
  // and its evaluation; run like an announcement's fetch, never beside another session.
  std::function<void(JVEvent event, const std::string& key)> live = {};
};

class ChangeEvents final : public JVEventListener {
 public:
  // How often the owner calls Poll (a timer of the program's thread).
  static constexpr int kPollMs = 200;

  // enabled false: the events are switched off; the error log says so once and JVWatchEvent
  // is never called. Sets itself as the JV-Link's event listener.
  ChangeEvents(JVLink& jvlink, ChangeFetch& fetch, ErrorLog& errorLog, bool enabled,
               ChangeEventHooks hooks);
  ~ChangeEvents() override;
  ChangeEvents(const ChangeEvents&) = delete;
  ChangeEvents& operator=(const ChangeEvents&) = delete;

  // Starts the events once the watch runs, takes the events that have arrived, and fetches
  // and evaluates the queued announcements when nothing else holds JV-Link. Does nothing when
  // called from inside its own fetch.
  void Poll();

  // JVEventListener: notes the event; the work is done by the next Poll.
  void JVLinkEvent(JVEvent event, const std::u16string& key) override;

  bool watching() const { return started_; }
  // Announcements waiting for their fetch.
  size_t queued() const { return queue_.size() + liveQueue_.size(); }
  // Announcements fetched and evaluated so far.
  int fetched() const { return fetched_; }
  bool running() const { return running_; }

 private:
  void Start();
  void FetchAnnouncement(const std::string& key);
  // Writes an error line, once per reason.
  void LogOnce(bool& told, const SjisString& message);

  JVLink& jvlink_;
  ChangeFetch& fetch_;
  ErrorLog& errorLog_;
  bool enabled_;
  ChangeEventHooks hooks_;
  std::string day_;                // the watched day while the watch runs
  bool dayChecked_ = false;        // the first event of day_ ran the whole check
  std::deque<std::string> queue_;  // keys of the watched day's announcements, in arrival order
  std::deque<std::pair<JVEvent, std::string>> liveQueue_;  // weight and payout events
  bool started_ = false;
  bool running_ = false;
  int fetched_ = 0;
  bool toldOff_ = false, toldStart_ = false, toldKey_ = false, toldLost_ = false;
};

}  // namespace tavolen
