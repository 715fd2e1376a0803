// The client's side of the component's events (protocol version 4).
#include "jvbridge/BridgeJVLink.h"
#include "jvlink/JVEvents.h"

namespace tavolen::bridge {

bool BridgeJVLink::KeepEvent(const Frame& frame, SjisString& why) {
  Event e;
  if (!DecodeEvent(frame.payload, e, why)) return false;
  events_.push_back(std::move(e));
  return true;
}

int BridgeJVLink::JVWatchEvent() {
  if (transport_ && !hello_.events) return kJVEventsUnsupported;
  Call c;
  c.op = Op::JVWatchEvent;
  const int rc = Transact(c).result;  // a bridge started now gets JVInit first
  if (!hello_.events) return kJVEventsUnsupported;
  watching_ = rc == 0;
  return rc;
}

int BridgeJVLink::JVWatchEventClose() {
  const bool was = watching_;
  watching_ = false;
  if (!transport_ || !hello_.events) return was ? 0 : kJVEventsUnsupported;
  Call c;
  c.op = Op::JVWatchEventClose;
  return Transact(c).result;
}

void BridgeJVLink::DeliverEvents() {
  // While a call waits, its own read takes the frames; the events it kept come next time.
  if (!busy_ && transport_) {
    std::string bytes;
    const bool open = transport_->Read(0, bytes);
    reader_.Feed(bytes);
    Frame frame;
    SjisString why;
    for (;;) {
      const FrameReader::State st = reader_.Next(frame);
      if (st == FrameReader::State::NeedMore) break;
      // Anything but an event between answers is a broken bridge: the next call starts anew.
      if (st == FrameReader::State::Broken || frame.kind != Kind::Event || !KeepEvent(frame, why)) {
        transport_->Kill();
        transport_.reset();
        reader_ = FrameReader();
        Discard();
        break;
      }
    }
    if (!open && transport_ && !reader_.Partial()) {
      transport_.reset();  // the bridge ended; the next call starts a new one
      reader_ = FrameReader();
      Discard();
    }
  }
  while (!events_.empty()) {
    const Event e = std::move(events_.front());
    events_.pop_front();
    if (const auto event = JVEventByName(Utf16ToSjis(e.name))) RaiseEvent(*event, e.key);
  }
}

}  // namespace tavolen::bridge
