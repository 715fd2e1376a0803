#include "jvbridge/BridgeJVLink.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace tavolen::bridge {
namespace {

using Clock = std::chrono::steady_clock;

// A quick answer is awaited without letting window messages run, so that a record costs only
// the round trip; after this the windows get their turn every slice.
constexpr int kQuietMs = 20;
constexpr int kSliceMs = 10;

bool MayShowDialog(Op op) {
  return op == Op::JVOpen || op == Op::JVRTOpen || op == Op::JVSetUIProperties;
}

SjisString Named(const char* text, Op op) {
  return Sj(text) + Sj("（") + OpName(op) + Sj("）");
}

}  // namespace

BridgeJVLink::BridgeJVLink(BridgeOptions options) : options_(std::move(options)) {}

BridgeJVLink::~BridgeJVLink() {
  Stop();
}

void BridgeJVLink::Stop() {
  if (!transport_) return;
  transport_->Write(EncodeQuit());
  transport_.reset();  // waits a moment for the bridge to end, then ends it
  reader_ = FrameReader();
  Discard();
}

void BridgeJVLink::Discard() {
  ahead_.clear();
  aheadOffered_.clear();
  aheadFailure_.clear();
  batch_ = 1;
  sizeOffered_ = 0;
  haveLastRead_ = false;
}

bool BridgeJVLink::Start(SjisString& why) {
  if (transport_) return true;
  // The launches in the order tried: the one that worked last, then the others as given.
  std::vector<const BridgeLaunch*> order;
  order.push_back(&options_.launch);
  for (const BridgeLaunch& l : options_.others) order.push_back(&l);
  if (working_ > 0 && working_ < order.size()) std::swap(order[0], order[working_]);
  std::vector<bool> tried(order.size(), false);
  size_t next = 0;
  SjisString first;
  SjisString passedOver;  // the bitnesses that could not create the component, and why
  for (;;) {
    tried[next] = true;
    const BridgeLaunch& launch = *order[next];
    if (StartOne(launch, why)) {
      for (size_t i = 0; i <= options_.others.size(); ++i)
        if ((i == 0 ? &options_.launch : &options_.others[i - 1]) == &launch) working_ = i;
      if (next != 0 && options_.chosen && hello_.bits != 0)
        options_.chosen(static_cast<int>(hello_.bits));
      startNote_ = passedOver.empty()
                       ? SjisString()
                       : Sj("JV-Linkを") + std::to_string(hello_.bits) +
                             Sj("ビットのブリッジで作成しました（作成できなかったもの：") +
                             passedOver + Sj("）");
      return true;
    }
    if (first.empty()) first = why;
    if (!passedOver.empty()) passedOver += Sj("、");
    // A bridge that did not start or say hello (no 64-bit Wine, a 32-bit Windows, a machine
    // that runs no 32-bit programs): the next, and the log line says why on one line.
    if (!hello_.bits) {
      SjisString line = why;
      std::replace(line.begin(), line.end(), '\n', ' ');
      passedOver +=
          (launch.bits ? std::to_string(launch.bits) + Sj("ビット：") : SjisString()) + line;
      next = static_cast<size_t>(std::find(tried.begin(), tried.end(), false) - tried.begin());
      if (next == order.size()) break;
      continue;
    }
    // The component could not be created in this bitness: the other is tried before anything
    // is told, whatever the registry views say. They only hint at the order: keys left behind
    // by an uninstalled 32-bit JV-Link, or Wine's per-user classes (not redirected between
    // the views), show a class in a view that has no server for it.
    passedOver += std::to_string(hello_.bits) + Sj("ビット：") + Utf16ToSjis(hello_.message);
    const int wanted = hello_.bits == 64 ? 32 : 64;
    next = order.size();
    for (size_t i = 0; i < order.size() && next == order.size(); ++i)
      if (!tried[i] && (order[i]->bits == wanted || order[i]->bits == 0)) next = i;
    if (next == order.size()) break;
  }
  why = first;
  return false;
}

bool BridgeJVLink::StartOne(const BridgeLaunch& launch, SjisString& why) {
  reader_ = FrameReader();
  hello_ = Hello{};
  hello_.version = 0;
  transport_ = options_.factory(launch, why);
  if (!transport_) return false;
  ++starts_;
  Frame frame;
  if (!NextFrame(frame, options_.startTimeoutMs, nullptr, why)) {
    why = Sj("JV-Linkブリッジが起動しませんでした。\n") + why;
    transport_->Kill();
    transport_.reset();
    return false;
  }
  Hello h;
  SjisString error;
  if (frame.kind != Kind::Hello || !DecodeHello(frame.payload, h, error)) {
    why =
        frame.kind != Kind::Hello ? Sj("JV-Linkブリッジから不正なデータを受け取りました。") : error;
    transport_->Kill();
    transport_.reset();
    return false;
  }
  hello_ = h;
  if (!h.created) {
    why = Sj("JV-Linkを作成できませんでした：") + Utf16ToSjis(h.message);
    Stop();
    return false;
  }
  return true;
}

SjisString BridgeJVLink::Description() const {
  if (hello_.bits == 0) return Sj("JV-Link（ブリッジ）");
  const std::u16string release = ReleaseName(hello_.componentVersion);
  return Sj("JV-Link") + (release.empty() ? SjisString() : Sj(" ") + Utf16ToSjis(release)) +
         Sj("（ブリッジ ") + std::to_string(hello_.bits) + Sj("ビット、コードページ ") +
         std::to_string(hello_.codePage) + Sj("、") + Utf16ToSjis(hello_.locale) + Sj("）");
}

bool BridgeJVLink::NextFrame(Frame& frame, int timeoutMs, const char* what, SjisString& why) {
  const auto start = Clock::now();
  for (;;) {
    switch (reader_.Next(frame)) {
      case FrameReader::State::HaveFrame:
        return true;
      case FrameReader::State::Broken:
        why = reader_.error();
        return false;
      case FrameReader::State::NeedMore:
        break;
    }
    const auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    if (waited >= timeoutMs) {
      why = Sj("JV-Linkブリッジが応答しません") +
            (what ? Sj("（") + what + Sj("、") + std::to_string(timeoutMs / 1000) + Sj("秒）")
                  : SjisString()) +
            Sj("。");
      return false;
    }
    const bool quiet = waited < kQuietMs;
    if (!quiet && pump_) pump_();
    std::string bytes;
    const int slice = static_cast<int>(
        std::min<long long>(quiet ? kQuietMs - waited : kSliceMs, timeoutMs - waited));
    const bool open = transport_->Read(std::max(slice, 1), bytes);
    reader_.Feed(bytes);
    if (!open) {
      // Whatever whole frames arrived before the end still count.
      if (reader_.Next(frame) == FrameReader::State::HaveFrame) return true;
      why = reader_.Partial() ? Sj("JV-Linkブリッジが応答の途中で終了しました。")
                              : Sj("JV-Linkブリッジが終了しました。");
      return false;
    }
  }
}

int BridgeJVLink::AddWindowWaitObserver(WindowWaitObserver observer) {
  const int id = nextObserver_++;
  windowObservers_[id] = std::move(observer);
  return id;
}

void BridgeJVLink::RemoveWindowWaitObserver(int id) {
  windowObservers_.erase(id);
}

void BridgeJVLink::TellWindow(bool waiting) {
  if (windowUp_ == waiting) return;
  windowUp_ = waiting;
  // A copy: an observer may remove itself.
  const auto observers = windowObservers_;
  for (const auto& [id, observer] : observers)
    if (observer) observer(waiting);
}

void BridgeJVLink::Fail(SjisString message) {
  TellWindow(false);
  if (transport_) {
    transport_->Kill();
    transport_.reset();
  }
  reader_ = FrameReader();
  Discard();
  throw JVLinkFailure(std::move(message));
}

Result BridgeJVLink::Exchange(const Call& call) {
  if (!transport_->Write(EncodeCall(call)))
    Fail(Named("JV-Linkブリッジが終了しました", call.op) + Sj("。"));
  Frame frame;
  SjisString why;
  const int timeout = MayShowDialog(call.op) ? options_.dialogTimeoutMs : options_.callTimeoutMs;
  for (;;) {
    // While a window of the component waits for the user, an answer may take as long as the
    // user does; the time limit starts again once it has gone.
    if (!NextFrame(frame, windowUp_ ? std::numeric_limits<int>::max() : timeout, OpName(call.op),
                   why))
      Fail(Named("JV-Linkの呼び出しに失敗しました", call.op) + Sj("。\n") + why);
    // Events the component raised before its answer come as frames of their own: kept for
    // DeliverEvents.
    if (frame.kind == Kind::Event) {
      if (!KeepEvent(frame, why))
        Fail(Named("JV-Linkの呼び出しに失敗しました", call.op) + Sj("。\n") + why);
      continue;
    }
    if (frame.kind != Kind::Window) break;
    bool waiting = false;
    std::u16string title;
    if (!DecodeWindow(frame.payload, waiting, title, why))
      Fail(Named("JV-Linkの呼び出しに失敗しました", call.op) + Sj("。\n") + why);
    TellWindow(waiting);
  }
  TellWindow(false);
  Result result;
  SjisString error;
  if (frame.kind != Kind::Result)
    Fail(Named("JV-Linkの呼び出しに失敗しました", call.op) + Sj("。\n") +
         Sj("JV-Linkブリッジから不正なデータを受け取りました。"));
  if (!DecodeResult(frame.payload, call, result, error))
    Fail(Named("JV-Linkの呼び出しに失敗しました", call.op) + Sj("。\n") + error);
  if (result.hresult < 0)
    Fail(Named("JV-Linkの呼び出しに失敗しました", call.op) + Sj("。\n") +
         Utf16ToSjis(result.hresultText));
  return result;
}

Result BridgeJVLink::Transact(const Call& call) {
  if (busy_) throw JVLinkFailure(Named("JV-Linkは前の呼び出しを処理中です", call.op) + Sj("。"));
  busy_ = true;
  struct Done {
    bool& busy;
    ~Done() { busy = false; }
  } done{busy_};
  if (!transport_) {
    SjisString why;
    if (!Start(why))
      Fail(Named("JV-Linkブリッジを起動できませんでした", call.op) + Sj("。\n") + why);
    // A new bridge holds a new component: it gets the identifier the program gave last.
    if (haveSid_ && call.op != Op::JVInit) {
      Call init;
      init.op = Op::JVInit;
      init.text1 = sid_;
      Exchange(init);
    }
    // ... and the watch of the events, when it was on.
    if (watching_ && hello_.events && call.op != Op::JVWatchEvent) {
      Call watch;
      watch.op = Op::JVWatchEvent;
      watching_ = Exchange(watch).result == 0;
    }
  }
  return Exchange(call);
}

int BridgeJVLink::JVInit(const std::u16string& sid) {
  Discard();
  sid_ = sid;
  haveSid_ = true;
  Call c;
  c.op = Op::JVInit;
  c.text1 = sid;
  return Transact(c).result;
}

int BridgeJVLink::JVClose() {
  Discard();
  // No bridge runs after a failure: no session is open anywhere, so there is nothing to close.
  if (!transport_ && !busy_) return 0;
  Call c;
  c.op = Op::JVClose;
  return Transact(c).result;
}

int BridgeJVLink::JVSetUIProperties() {
  Call c;
  c.op = Op::JVSetUIProperties;
  return Transact(c).result;
}

int BridgeJVLink::JVOpen(const std::u16string& dataspec, const std::u16string& fromtime, int option,
                         int& readcount, int& downloadcount, std::u16string& lastfiletimestamp) {
  Discard();
  Call c;
  c.op = Op::JVOpen;
  c.text1 = dataspec;
  c.text2 = fromtime;
  c.number = option;
  const Result r = Transact(c);
  readcount = r.count1;
  downloadcount = r.count2;
  lastfiletimestamp = r.text;
  return r.result;
}

int BridgeJVLink::JVStatus() {
  Call c;
  c.op = Op::JVStatus;
  return Transact(c).result;
}

int BridgeJVLink::JVRead(std::u16string& buff, int& size, std::u16string& filename) {
  if (busy_) throw JVLinkFailure(Named("JV-Linkは前の呼び出しを処理中です", Op::JVRead) + Sj("。"));
  if (ahead_.empty() && !aheadFailure_.empty()) Fail(aheadFailure_);
  // What the program passes now, against the read before: the size that read gave back, or the
  // size the program passed to it.
  if (haveLastRead_) {
    const bool follows = size == lastGiven_;
    const bool fixed = size == lastPassed_;
    if (follows != fixed) habit_ = follows ? SizeHabit::Follows : SizeHabit::Fixed;
    if (!follows && !fixed) habit_ = SizeHabit::Unpredictable;
  }
  // A read made ahead with another size than the program passes now has been made; it is
  // served, and the reads from here on are made one by one until the habit is clear again.
  if (!aheadOffered_.empty() && aheadOffered_.front() != size) batch_ = 1;
  sizeOffered_ = std::max(sizeOffered_, size);
  if (ahead_.empty()) {
    Call c;
    c.op = Op::JVRead;
    c.number = size;
    c.count = habit_ == SizeHabit::Unpredictable ? 1 : batch_;
    c.fixedSize = habit_ == SizeHabit::Fixed ? 1 : 0;
    c.recordLimit = sizeOffered_;
    Result r = Transact(c);
    ahead_.push_back(ReadEntry{r.result, r.count1, std::move(r.record), std::move(r.text)});
    for (ReadEntry& e : r.more) ahead_.push_back(std::move(e));
    // The size each read was offered, as the bridge offered it.
    std::int32_t offered = size;
    for (const ReadEntry& e : ahead_) {
      aheadOffered_.push_back(offered);
      offered = c.fixedSize ? size : e.size;
    }
    // A later read's failure comes when the program reaches it, after the reads before it.
    if (!r.laterError.empty())
      aheadFailure_ =
          Named("JV-Linkの呼び出しに失敗しました", Op::JVRead) + Sj("。\n") + r.laterError;
    else if (r.laterHresult < 0)
      aheadFailure_ = Named("JV-Linkの呼び出しに失敗しました", Op::JVRead) + Sj("。\n") +
                      Utf16ToSjis(r.laterHresultText);
    // Records keep coming (a new file is part of the stream): ask for more next time. Still
    // downloading, the end or a failure: start small again.
    const std::int32_t last = ahead_.back().result;
    batch_ = last > 0 || last == -1 ? std::min(batch_ * 2, kMaxReadAhead) : 1;
  }
  // Every record was checked against the largest size offered, which only grows.
  ReadEntry a = std::move(ahead_.front());
  ahead_.pop_front();
  aheadOffered_.pop_front();
  haveLastRead_ = true;
  lastPassed_ = size;
  lastGiven_ = a.size;
  buff = SjisToUtf16(a.record);
  size = a.size;
  filename = std::move(a.filename);
  return a.result;
}

int BridgeJVLink::JVRTOpen(const std::u16string& dataspec, const std::u16string& key) {
  Discard();
  Call c;
  c.op = Op::JVRTOpen;
  c.text1 = dataspec;
  c.text2 = key;
  return Transact(c).result;
}

void BridgeJVLink::JVCancel() {
  Discard();
  if (!transport_ && !busy_) return;  // nothing is open without a bridge
  Call c;
  c.op = Op::JVCancel;
  Transact(c);
}

std::unique_ptr<BridgeJVLink> StartBridgeJVLink(BridgeOptions options, SjisString& why) {
  auto link = std::make_unique<BridgeJVLink>(std::move(options));
  if (!link->Start(why)) return nullptr;
  return link;
}

namespace {

// A JV-Link over a bridge that goes back to its starter's pool when released.
class PooledJVLink final : public JVLink {
 public:
  PooledJVLink(std::unique_ptr<BridgeJVLink> inner, std::weak_ptr<void> pool,
               std::unique_ptr<BridgeJVLink>* slot)
      : inner_(std::move(inner)), pool_(std::move(pool)), slot_(slot) {}
  ~PooledJVLink() override {
    if (auto alive = pool_.lock(); alive && !*slot_) *slot_ = std::move(inner_);
  }
  bool Busy() const override { return inner_->Busy(); }
  SjisString Description() const override { return inner_->Description(); }
  SjisString StartNote() const override { return inner_->StartNote(); }
  int AddWindowWaitObserver(WindowWaitObserver observer) override {
    return inner_->AddWindowWaitObserver(std::move(observer));
  }
  void RemoveWindowWaitObserver(int id) override { inner_->RemoveWindowWaitObserver(id); }
  int JVInit(const std::u16string& sid) override { return inner_->JVInit(sid); }
  int JVClose() override { return inner_->JVClose(); }
  int JVSetUIProperties() override { return inner_->JVSetUIProperties(); }
  int JVOpen(const std::u16string& dataspec, const std::u16string& fromtime, int option,
             int& readcount, int& downloadcount, std::u16string& lastfiletimestamp) override {
    return inner_->JVOpen(dataspec, fromtime, option, readcount, downloadcount, lastfiletimestamp);
  }
  int JVStatus() override { return inner_->JVStatus(); }
  int JVRead(std::u16string& buff, int& size, std::u16string& filename) override {
    return inner_->JVRead(buff, size, filename);
  }
  int JVRTOpen(const std::u16string& dataspec, const std::u16string& key) override {
    return inner_->JVRTOpen(dataspec, key);
  }
  void JVCancel() override { inner_->JVCancel(); }
  int JVWatchEvent() override { return inner_->JVWatchEvent(); }
  int JVWatchEventClose() override { return inner_->JVWatchEventClose(); }
  void DeliverEvents() override {
    inner_->SetEventListener(eventListener());
    inner_->DeliverEvents();
  }

 private:
  std::unique_ptr<BridgeJVLink> inner_;
  std::weak_ptr<void> pool_;
  std::unique_ptr<BridgeJVLink>* slot_;
};

}  // namespace

BridgeStarter::BridgeStarter(BridgeOptions options, std::function<void()> waitPump)
    : options_(std::move(options)),
      waitPump_(std::move(waitPump)),
      pool_(std::make_shared<Pool>()) {}

BridgeStarter::~BridgeStarter() = default;

std::unique_ptr<JVLink> BridgeStarter::Create(SjisString& why) {
  std::unique_ptr<BridgeJVLink> link = std::move(pool_->spare);
  if (!link) {
    link = StartBridgeJVLink(options_, why);
    if (!link) return nullptr;
    if (waitPump_) link->SetWaitPump(waitPump_);
  }
  return std::make_unique<PooledJVLink>(std::move(link), std::weak_ptr<void>(pool_), &pool_->spare);
}

}  // namespace tavolen::bridge
