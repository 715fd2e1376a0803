// The JV-Link contract: the operations of the data service's client component that the program
// calls, with their argument directions. Strings cross it as UTF-16, as they cross the real
// component; callers turn a delivered record into code page 932 bytes with RecordToSjis.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "jvlink/Sjis.h"

namespace tavolen {

// A failing COM status of a call, or a component that can no longer be reached (the bridge
// died or stopped answering). The caller shows the general error box with message and ends
// only the running action; result codes stay the ordinary outcome of a call.
class JVLinkFailure : public std::runtime_error {
 public:
  explicit JVLinkFailure(SjisString message)
      : std::runtime_error(SjisToUtf8(message)), message_(std::move(message)) {}
  const SjisString& message() const { return message_; }

 private:
  SjisString message_;
};

// The events JV-Link raises on its source interface after JVWatchEvent, each with one string:
// for the five change events a key for JVRTOpen("0B16", key), which answers the records of that
// one announcement (JVEvents.h has the names and the key's parts).
enum class JVEvent { JockeyChange, Weather, CourseChange, Avoid, TimeChange, Pay, Weight };

// Receives the events of a JV-Link on the program's own thread, from JVLink::DeliverEvents.
// A listener must not call the JV-Link from inside: it notes the event and acts later.
class JVEventListener {
 public:
  virtual ~JVEventListener() = default;
  virtual void JVLinkEvent(JVEvent event, const std::u16string& key) = 0;
};

// JVWatchEvent's result of a JV-Link that has no events.
inline constexpr int kJVEventsUnsupported = -9001;

class JVLink {
 public:
  virtual ~JVLink() = default;

  // The event mechanism: JVWatchEvent starts it, JVWatchEventClose ends it (0 = done). Events
  // reach the listener set here only from DeliverEvents, which the owner calls often (a short
  // timer) while it watches; it hands over what has arrived and returns at once. A JV-Link
  // without events answers kJVEventsUnsupported and never delivers any.
  virtual int JVWatchEvent() { return kJVEventsUnsupported; }
  virtual int JVWatchEventClose() { return kJVEventsUnsupported; }
  virtual void DeliverEvents() {}
  void SetEventListener(JVEventListener* listener) { eventListener_ = listener; }
  JVEventListener* eventListener() const { return eventListener_; }

  // True while a call waits for its answer and lets window messages run: a timer tick that
  // would make another call is skipped then.
  virtual bool Busy() const { return false; }
  // Which JV-Link this is, for the version box and the status line (code page 932).
  virtual SjisString Description() const { return {}; }
  // What the error log should know about how this JV-Link was reached (a bitness that could
  // not create the component before the one in use); empty when nothing.
  virtual SjisString StartNote() const { return {}; }
  // Told true when a call waits on a window of the component that the user answers there (its
  // setup dialog, a notice, its update question), false once that is over. Observers are
  // called while the call waits and must not call the JV-Link; the id removes one again.
  using WindowWaitObserver = std::function<void(bool waiting)>;
  virtual int AddWindowWaitObserver(WindowWaitObserver observer) { return 0; }
  virtual void RemoveWindowWaitObserver(int id) {}

  virtual int JVInit(const std::u16string& sid) = 0;
  virtual int JVClose() = 0;
  virtual int JVSetUIProperties() = 0;
  virtual int JVOpen(const std::u16string& dataspec, const std::u16string& fromtime, int option,
                     int& readcount, int& downloadcount, std::u16string& lastfiletimestamp) = 0;
  virtual int JVStatus() = 0;
  // buff receives one record; size is the buffer size (in/out); filename receives the name of
  // the file being read.
  virtual int JVRead(std::u16string& buff, int& size, std::u16string& filename) = 0;
  virtual int JVRTOpen(const std::u16string& dataspec, const std::u16string& key) = 0;
  virtual void JVCancel() = 0;

 protected:
  // Hands one event to the listener, if any.
  void RaiseEvent(JVEvent event, const std::u16string& key) {
    if (eventListener_) eventListener_->JVLinkEvent(event, key);
  }

 private:
  JVEventListener* eventListener_ = nullptr;
};

// A delivered record as the code page 932 bytes whose positions the record layouts give.
inline SjisString RecordToSjis(const std::u16string& record) {
  return Utf16ToSjis(record);
}

// The next record of a read session into cleared buffers, through the whole buffer every time:
// a component that writes a record's length back into size must not cut the next, longer
// record to it. Returns JVRead's result.
inline int ReadNextRecord(JVLink& jv, std::u16string& buff, std::u16string& filename) {
  constexpr int kReadBufferSize = 60000;
  buff.clear();
  filename.clear();
  int size = kReadBufferSize;
  return jv.JVRead(buff, size, filename);
}

// UTF-16 from ASCII or code page 932 text, for the arguments the program passes.
inline std::u16string Wide(std::string_view sjis) {
  return SjisToUtf16(sjis);
}

// Creation of a JV-Link object by ProgID, as COM creates the installed component.
class JVLinkRegistry {
 public:
  using Factory = std::function<std::unique_ptr<JVLink>()>;

  static JVLinkRegistry& Instance();

  void Register(const std::string& progId, Factory factory);
  void Unregister(const std::string& progId);
  // nullptr when nothing is installed under progId or its creation fails.
  std::unique_ptr<JVLink> Create(const std::string& progId) const;

 private:
  std::map<std::string, Factory> factories_;
};

inline constexpr const char* kJVLinkProgId = "JVDTLab.JVLink";

}  // namespace tavolen
