#include "changes/ChangeEvents.h"

#include <algorithm>

#include "jvlink/KeibaFunc.h"

namespace tavolen {
namespace {

const SjisString& TimerGoesOn() {
  static const SjisString text = Sj("変更情報は定時の確認で取得します。");
  return text;
}

}  // namespace

ChangeEvents::ChangeEvents(JVLink& jvlink, ChangeFetch& fetch, ErrorLog& errorLog, bool enabled,
                           ChangeEventHooks hooks)
    : jvlink_(jvlink),
      fetch_(fetch),
      errorLog_(errorLog),
      enabled_(enabled),
      hooks_(std::move(hooks)) {
  jvlink_.SetEventListener(this);
}

ChangeEvents::~ChangeEvents() {
  if (jvlink_.eventListener() == this) jvlink_.SetEventListener(nullptr);
  if (!started_ || jvlink_.Busy()) return;
  try {
    jvlink_.JVWatchEventClose();
  } catch (const JVLinkFailure&) {
    // The program ends; a component that cannot be reached has nothing left to close.
  }
}

void ChangeEvents::LogOnce(bool& told, const SjisString& message) {
  if (told) return;
  told = true;
  errorLog_.RecordError(message);  // a log that cannot be written loses only this line
}

void ChangeEvents::JVLinkEvent(JVEvent event, const std::u16string& key) {
  if (day_.empty()) return;
  const SjisString k = Utf16ToSjis(key);
  if (event == JVEvent::Weight || event == JVEvent::Pay) {
    const std::pair<JVEvent, std::string> item{event, k};
    if (k.size() == 12 && k.starts_with(day_) &&
        std::find(liveQueue_.begin(), liveQueue_.end(), item) == liveQueue_.end())
      liveQueue_.push_back(item);
    return;
  }
  if (!IsChangeEvent(event)) return;
  // A key of another shape cannot tell its day: it is fetched, and its records go to the
  // files of their own day as a check's would.
  if (const auto parsed = ParseChangeEventKey(k); parsed && parsed->date != day_) return;
  if (k.empty() || std::find(queue_.begin(), queue_.end(), k) != queue_.end()) return;
  queue_.push_back(k);
}

void ChangeEvents::Start() {
  if (!enabled_) {
    LogOnce(toldOff_, Sj("変更通知は設定で使わないことになっています。") + TimerGoesOn());
    return;
  }
  if (toldStart_) return;  // tried once: the events stay off for this run
  int rc = 0;
  try {
    rc = jvlink_.JVWatchEvent();
  } catch (const JVLinkFailure& e) {
    LogOnce(toldStart_, Sj("変更通知を開始できませんでした：") + e.message() + TimerGoesOn());
    return;
  }
  if (rc == 0) {
    started_ = true;
    return;
  }
  LogOnce(toldStart_, rc == kJVEventsUnsupported
                          ? Sj("このJV-Linkは変更通知に対応していません。") + TimerGoesOn()
                          : Sj("変更通知を開始できませんでした：") + JVResultMessage("JVOpen", rc) +
                                TimerGoesOn());
}

void ChangeEvents::Poll() {
  if (running_) return;
  const std::string day = hooks_.watchedDay ? hooks_.watchedDay() : std::string();
  if (day != day_) {
    day_ = day;
    dayChecked_ = false;
    queue_.clear();  // what was queued for another day is not fetched
    liveQueue_.clear();
  }
  const bool blocked = jvlink_.Busy() || fetch_.running() || (hooks_.blocked && hooks_.blocked());
  if (!started_) {
    if (day_.empty() || blocked) return;
    Start();
    if (!started_) return;
  }
  // Taken also while a fetch runs or no day is watched: JVLinkEvent queues what the watched
  // day needs and drops the rest.
  if (!jvlink_.Busy()) jvlink_.DeliverEvents();
  if (day_.empty() || blocked) return;
  if (!queue_.empty() && !dayChecked_) {
    // The day's records so far, initial states included, hold every announcement queued.
    dayChecked_ = true;
    if (hooks_.check) {
      queue_.clear();
      running_ = true;
      struct Done {
        bool& flag;
        ~Done() { flag = false; }
      } done{running_};
      hooks_.check();
      return;
    }
  }
  while (!queue_.empty() && !fetch_.running() && !(hooks_.blocked && hooks_.blocked())) {
    const std::string key = queue_.front();
    queue_.pop_front();
    FetchAnnouncement(key);
    if (day_.empty()) break;
  }
  while (!liveQueue_.empty() && hooks_.live && !fetch_.running() &&
         !(hooks_.blocked && hooks_.blocked())) {
    const auto [event, key] = liveQueue_.front();
    liveQueue_.pop_front();
    running_ = true;
    struct Done {
      bool& flag;
      ~Done() { flag = false; }
    } done{running_};
    hooks_.live(event, key);
    if (day_.empty()) break;
  }
}

void ChangeEvents::FetchAnnouncement(const std::string& key) {
  running_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{running_};
  ChangeFetchRequest request;
  request.dateSelected = true;
  request.automaticRun = true;  // no beep, as a timer check
  request.announcementKey = key;
  ChangeFetchOutcome outcome = ChangeFetchOutcome::Failed;
  try {
    outcome = fetch_.Fetch(request);
  } catch (const JVLinkFailure& e) {
    LogOnce(toldLost_, Sj("変更通知の情報を取得できませんでした：") + e.message() + TimerGoesOn());
    return;
  }
  if (outcome == ChangeFetchOutcome::Busy) {
    queue_.push_front(key);  // a check came first: this one waits for it
    return;
  }
  if (outcome != ChangeFetchOutcome::Evaluate) return;
  if (const int rc = fetch_.openResult(); rc != 0) {
    LogOnce(toldKey_, Sj("変更通知の情報を取得できませんでした（キー ") + key + Sj("）：") +
                          JVResultMessage("JVRTOpen", rc) + TimerGoesOn());
    return;
  }
  ++fetched_;
  if (hooks_.evaluate) hooks_.evaluate();
}

}  // namespace tavolen
