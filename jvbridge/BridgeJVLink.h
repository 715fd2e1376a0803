// The JV-Link of the program when the real component is used: every call goes to the bridge
// program that hosts the component, one call at a time. JVRead reads ahead: one exchange
// fetches several reads, and the following JVRead calls are answered from them; a call that
// starts or ends a session drops what is left. The bridge is started once and kept;
// after a failure (a failing COM status, a bridge that died, stopped answering or sent a
// broken answer) the call throws JVLinkFailure and the next call starts a new bridge and
// repeats JVInit with the identifier last given.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "jvbridge/BridgeProcess.h"
#include "jvbridge/Protocol.h"
#include "jvlink/JVLink.h"

namespace tavolen::bridge {

struct BridgeOptions {
  BridgeLaunch launch;
  // Bridges of the other bitness, tried in order when the one started cannot create the
  // component, whatever the registry views it reports.
  std::vector<BridgeLaunch> others;
  // Told the bitness of a bridge that created the component after the first one could not, so
  // that the next start tries it first.
  std::function<void(int bits)> chosen;
  TransportFactory factory = StartBridgeProcess;
  int startTimeoutMs = 60000;     // until the bridge has said hello
  int callTimeoutMs = 60000;      // JVInit, JVClose, JVStatus, JVRead, JVCancel
  int dialogTimeoutMs = 1800000;  // JVOpen, JVRTOpen, JVSetUIProperties: may wait for a dialog
};

class BridgeJVLink final : public JVLink {
 public:
  explicit BridgeJVLink(BridgeOptions options);
  ~BridgeJVLink() override;
  BridgeJVLink(const BridgeJVLink&) = delete;
  BridgeJVLink& operator=(const BridgeJVLink&) = delete;

  // Starts the bridge unless it runs, and reads what it says on start. False with a Japanese
  // reason when it cannot be started or cannot create the component.
  bool Start(SjisString& why);
  // Called about every 10 ms while a call waits for its answer, so the windows can repaint.
  void SetWaitPump(std::function<void()> pump) { pump_ = std::move(pump); }

  bool Busy() const override { return busy_; }
  SjisString Description() const override;
  // Set by a start that created the component only after another bitness could not: the
  // bitness in use and what failed before it.
  SjisString StartNote() const override { return startNote_; }
  int AddWindowWaitObserver(WindowWaitObserver observer) override;
  void RemoveWindowWaitObserver(int id) override;
  // True while a window of the component waits for the user during a call.
  bool WaitingOnWindow() const { return windowUp_; }
  const Hello& hello() const { return hello_; }
  long ProcessId() const { return transport_ ? transport_->ProcessId() : 0; }
  // How many bridges were started so far.
  int starts() const { return starts_; }
  // How many reads the next read-ahead asks for.
  int readAhead() const { return batch_; }

  int JVInit(const std::u16string& sid) override;
  int JVClose() override;
  int JVSetUIProperties() override;
  int JVOpen(const std::u16string& dataspec, const std::u16string& fromtime, int option,
             int& readcount, int& downloadcount, std::u16string& lastfiletimestamp) override;
  int JVStatus() override;
  int JVRead(std::u16string& buff, int& size, std::u16string& filename) override;
  int JVRTOpen(const std::u16string& dataspec, const std::u16string& key) override;
  void JVCancel() override;
  // Events (BridgeEvents.cpp): the bridge forwards the component's events as frames of their
  // own between answers. Those read with an answer are kept; DeliverEvents takes the ones that
  // came while no call ran and hands every kept one to the listener, in order. A bridge whose
  // hello says it has no events answers JVWatchEvent with kJVEventsUnsupported. A bridge
  // started anew after a failure gets JVWatchEvent again when the watch was on.
  int JVWatchEvent() override;
  int JVWatchEventClose() override;
  void DeliverEvents() override;
  bool EventsAvailable() const { return hello_.events; }

 private:
  // Keeps an event frame read while waiting for an answer; false when it is not well formed.
  bool KeepEvent(const Frame& frame, SjisString& why);
  bool StartOne(const BridgeLaunch& launch, SjisString& why);
  Result Transact(const Call& call);
  Result Exchange(const Call& call);
  bool NextFrame(Frame& frame, int timeoutMs, const char* what, SjisString& why);
  [[noreturn]] void Fail(SjisString message);
  void TellWindow(bool waiting);
  void Stop();
  void Discard();

  BridgeOptions options_;
  // The launch that last created the component (0: options_.launch, else others[n - 1]).
  size_t working_ = 0;
  std::unique_ptr<BridgeTransport> transport_;
  FrameReader reader_;
  Hello hello_;
  std::function<void()> pump_;
  std::map<int, WindowWaitObserver> windowObservers_;
  int nextObserver_ = 1;
  // A window of the component is up during the call: its answer timeout is suspended.
  bool windowUp_ = false;
  bool busy_ = false;
  bool haveSid_ = false;
  std::u16string sid_;
  int starts_ = 0;
  SjisString startNote_;
  std::deque<ReadEntry> ahead_;
  // The failure of the read after the last one fetched ahead, thrown when the program gets
  // there.
  SjisString aheadFailure_;
  // Reads per read-ahead: 1 after an open, doubled after each batch of records up to
  // kMaxReadAhead, so a check of a few records reads little ahead.
  int batch_ = 1;
  // The largest size the program offered JVRead since the session began: its records must be
  // shorter, whatever size a read gave back.
  std::int32_t sizeOffered_ = 0;
  std::deque<Event> events_;  // read, not yet delivered
  bool watching_ = false;     // JVWatchEvent succeeded on the running component
  // How the program passes JVRead's size, learnt from its calls, so that every read made ahead
  // is offered what the program would pass on that call: the size the read before gave back
  // (one variable, as the contract's loops do), the same size every time, or neither (then
  // nothing is read ahead).
  enum class SizeHabit { Follows, Fixed, Unpredictable };
  SizeHabit habit_ = SizeHabit::Follows;
  bool haveLastRead_ = false;
  std::int32_t lastPassed_ = 0, lastGiven_ = 0;
  // The size each read kept ahead was offered, in the order of ahead_.
  std::deque<std::int32_t> aheadOffered_;
};

// A started bridge whose component was created, as a JV-Link of the program; nullptr with a
// Japanese reason when the bridge cannot be started or the component cannot be created.
std::unique_ptr<BridgeJVLink> StartBridgeJVLink(BridgeOptions options, SjisString& why);

// Creates the program's JV-Links over one bridge: an object that is released leaves its
// started bridge to the next one created, so the start-up's presence test and the main
// window's instance share one start of the bridge.
class BridgeStarter {
 public:
  explicit BridgeStarter(BridgeOptions options, std::function<void()> waitPump = {});
  ~BridgeStarter();
  // A JV-Link whose bridge runs and whose component was created; nullptr with a Japanese
  // reason otherwise.
  std::unique_ptr<JVLink> Create(SjisString& why);

 private:
  struct Pool {
    std::unique_ptr<BridgeJVLink> spare;
  };
  BridgeOptions options_;
  std::function<void()> waitPump_;
  std::shared_ptr<Pool> pool_;
};

}  // namespace tavolen::bridge
