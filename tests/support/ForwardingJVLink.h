// A JV-Link that passes every call on to another: a test double derives from it and overrides
// only the calls it watches or disturbs. Busy and Description stay the defaults; the observers
// of the component's windows are the inner one's.
#pragma once

#include <string>

#include "jvlink/JVLink.h"

namespace tavolen::testsupport {

class ForwardingJVLink : public JVLink {
 public:
  explicit ForwardingJVLink(JVLink& inner) : inner_(inner) {}

  int JVInit(const std::u16string& sid) override { return inner_.JVInit(sid); }
  int JVClose() override { return inner_.JVClose(); }
  int JVSetUIProperties() override { return inner_.JVSetUIProperties(); }
  int JVOpen(const std::u16string& dataspec, const std::u16string& fromtime, int option,
             int& readcount, int& downloadcount, std::u16string& lastfiletimestamp) override {
    return inner_.JVOpen(dataspec, fromtime, option, readcount, downloadcount, lastfiletimestamp);
  }
  int JVStatus() override { return inner_.JVStatus(); }
  int JVRead(std::u16string& buff, int& size, std::u16string& filename) override {
    return inner_.JVRead(buff, size, filename);
  }
  int JVRTOpen(const std::u16string& dataspec, const std::u16string& key) override {
    return inner_.JVRTOpen(dataspec, key);
  }
  void JVCancel() override { inner_.JVCancel(); }
  int AddWindowWaitObserver(WindowWaitObserver observer) override {
    return inner_.AddWindowWaitObserver(std::move(observer));
  }
  void RemoveWindowWaitObserver(int id) override { inner_.RemoveWindowWaitObserver(id); }

 protected:
  JVLink& inner_;
};

// The same, with the inner JV-Link's busy state and change events: the program's listener,
// which is set on this one, is handed to the inner one whenever events are asked for.
class EventForwardingJVLink : public ForwardingJVLink {
 public:
  using ForwardingJVLink::ForwardingJVLink;
  bool Busy() const override { return inner_.Busy(); }
  int JVWatchEvent() override {
    inner_.SetEventListener(eventListener());
    return inner_.JVWatchEvent();
  }
  int JVWatchEventClose() override { return inner_.JVWatchEventClose(); }
  void DeliverEvents() override {
    inner_.SetEventListener(eventListener());
    inner_.DeliverEvents();
  }
};

}  // namespace tavolen::testsupport
