// A JV-Link that passes every call on to another, counts the session calls, and is busy when
// the other one is.
#pragma once

#include "tests/support/ForwardingJVLink.h"

namespace tavolen::testsupport {

class CountingJVLink final : public ForwardingJVLink {
 public:
  using ForwardingJVLink::ForwardingJVLink;
  // rtOpens: the change sessions; liveOpens: those of the weights and results ("0B11", "0B12").
  int inits = 0, opens = 0, rtOpens = 0, liveOpens = 0, closes = 0;

  bool Busy() const override { return inner_.Busy(); }
  int JVInit(const std::u16string& sid) override {
    ++inits;
    return inner_.JVInit(sid);
  }
  int JVClose() override {
    ++closes;
    return inner_.JVClose();
  }
  int JVOpen(const std::u16string& dataspec, const std::u16string& fromtime, int option,
             int& readcount, int& downloadcount, std::u16string& lastfiletimestamp) override {
    ++opens;
    return inner_.JVOpen(dataspec, fromtime, option, readcount, downloadcount, lastfiletimestamp);
  }
  int JVRTOpen(const std::u16string& dataspec, const std::u16string& key) override {
    ++(dataspec == u"0B11" || dataspec == u"0B12" ? liveOpens : rtOpens);
    return inner_.JVRTOpen(dataspec, key);
  }
};

}  // namespace tavolen::testsupport
