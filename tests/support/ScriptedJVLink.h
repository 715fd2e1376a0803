// A JV-Link for unit tests: results and records are queued per operation, and every call is
// recorded with its arguments, so a test can assert call orders ("JVClose follows every open").
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "jvlink/JVLink.h"

namespace tavolen {

class ScriptedJVLink : public JVLink {
 public:
  struct Call {
    std::string op;                 // "JVInit", "JVOpen", ...
    std::vector<std::string> args;  // the arguments as code page 932 / decimal texts
  };
  struct ReadResult {
    int code;           // > 0: a record is delivered (the code is replaced by its length)
    SjisString record;  // code page 932 bytes, CR LF included, for code > 0
  };

  std::vector<Call> calls;

  // Queued results; an empty queue answers with the default.
  std::deque<int> initResults, closeResults, uiResults, openResults, statusResults, rtOpenResults;
  int defaultInit = 0, defaultClose = 0, defaultUi = 0, defaultOpen = 0, defaultStatus = 0,
      defaultRtOpen = 0;
  // What a successful JVOpen reports.
  int readCount = 0, downloadCount = 0;
  std::u16string lastFileTimestamp;
  // JVRead answers, in order; when empty, JVRead returns 0 (end of data).
  std::deque<ReadResult> reads;
  // Called at the start of every call, for tests that act in the middle of a session (it may
  // throw JVLinkFailure, as a JV-Link that can no longer be reached does).
  std::function<void(const std::string& op)> onCall;
  // What Busy() answers: true as while a call through the bridge waits for its answer.
  bool busy = false;
  // What StartNote() answers (a bridge that had to try the other bitness first).
  SjisString startNote;
  // JVRead writes the record's length back into size (the contract leaves it open).
  bool writeBackSize = false;
  // The sessions of the day's weights and results ("0B11", "0B12") that a change check runs
  // after the change fetch: by default answered "nothing announced yet" and left out of the
  // calls, so a test of the change sessions sees only those; true records and scripts them too.
  bool scriptLive = false;
  bool Busy() const override { return busy; }
  SjisString StartNote() const override { return startNote; }

  void QueueRecord(const SjisString& record) { reads.push_back({1, record}); }
  void QueueRead(int code) { reads.push_back({code, {}}); }

  // The operation names in call order.
  std::vector<std::string> Ops() const {
    std::vector<std::string> out;
    for (const auto& c : calls) out.push_back(c.op);
    return out;
  }
  int Count(const std::string& op) const {
    int n = 0;
    for (const auto& c : calls) n += c.op == op;
    return n;
  }

  int JVInit(const std::u16string& sid) override {
    Record("JVInit", {Utf16ToSjis(sid)});
    return Next(initResults, defaultInit);
  }
  int JVClose() override {
    if (liveSession_) {
      liveSession_ = false;
      return 0;
    }
    Record("JVClose", {});
    return Next(closeResults, defaultClose);
  }
  int JVSetUIProperties() override {
    Record("JVSetUIProperties", {});
    return Next(uiResults, defaultUi);
  }
  int JVOpen(const std::u16string& dataspec, const std::u16string& fromtime, int option,
             int& readcount, int& downloadcount, std::u16string& lastfiletimestamp) override {
    Record("JVOpen", {Utf16ToSjis(dataspec), Utf16ToSjis(fromtime), std::to_string(option)});
    int r = Next(openResults, defaultOpen);
    readcount = readCount;
    downloadcount = downloadCount;
    lastfiletimestamp = lastFileTimestamp;
    return r;
  }
  int JVStatus() override {
    Record("JVStatus", {});
    return Next(statusResults, defaultStatus);
  }
  int JVRead(std::u16string& buff, int& size, std::u16string& filename) override {
    Record("JVRead", {std::to_string(size)});
    if (reads.empty()) return 0;
    ReadResult r = reads.front();
    reads.pop_front();
    if (r.code > 0) {
      buff = SjisToUtf16(r.record);
      filename = u"SCRIPTED.jvd";
      if (writeBackSize) size = static_cast<int>(r.record.size());
      return static_cast<int>(r.record.size());
    }
    return r.code;
  }
  int JVRTOpen(const std::u16string& dataspec, const std::u16string& key) override {
    if (!scriptLive && (dataspec == u"0B11" || dataspec == u"0B12")) {
      liveSession_ = true;
      return -1;
    }
    Record("JVRTOpen", {Utf16ToSjis(dataspec), Utf16ToSjis(key)});
    return Next(rtOpenResults, defaultRtOpen);
  }
  void JVCancel() override { Record("JVCancel", {}); }

 private:
  bool liveSession_ = false;
  void Record(const std::string& op, std::vector<std::string> args) {
    calls.push_back({op, std::move(args)});
    if (onCall) onCall(op);
  }
  static int Next(std::deque<int>& q, int def) {
    if (q.empty()) return def;
    int r = q.front();
    q.pop_front();
    return r;
  }
};

}  // namespace tavolen
