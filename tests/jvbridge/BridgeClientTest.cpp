#include <gtest/gtest.h>

#include "jvbridge/BridgeJVLink.h"
#include "tests/jvbridge/FakeBridge.h"

namespace tavolen::bridge {
namespace {

using testing::Answer;
using testing::FakeBridgeScript;

const SjisString kRecord = "RA1" + Sj("①Ⅱ～－髙") + "\r\n";

class BridgeClient : public ::testing::Test {
 protected:
  BridgeClient() {
    script.answer = [this](const Call& c, bool& end) { return Reply(c, end); };
  }
  std::unique_ptr<BridgeJVLink> Make(int callTimeoutMs = 300) {
    BridgeOptions o;
    o.factory = testing::FakeFactory(script);
    o.startTimeoutMs = 300;
    o.callTimeoutMs = callTimeoutMs;
    o.dialogTimeoutMs = callTimeoutMs;
    return std::make_unique<BridgeJVLink>(o);
  }
  // The good answers of a component; a test replaces single ones through next.
  std::string Reply(const Call& c, bool& end) {
    if (next) {
      auto n = std::move(next);
      next = nullptr;
      return n(c, end);
    }
    switch (c.op) {
      case Op::JVOpen:
        return Answer(c, 0, {}, u"20240105153000", 3, 1);
      case Op::JVRead:
        return Answer(c, static_cast<int>(kRecord.size()), kRecord, u"file.jvd", c.number);
      case Op::JVStatus:
        return Answer(c, 1);
      default:
        return Answer(c, 0);
    }
  }
  // Expects the call to fail with a message that contains part.
  template <typename F>
  void ExpectFailure(F&& call, const char* part) {
    try {
      call();
      ADD_FAILURE() << "no failure";
    } catch (const JVLinkFailure& e) {
      EXPECT_NE(e.message().find(Sj(part)), std::string::npos) << SjisToUtf8(e.message());
    }
  }

  FakeBridgeScript script;
  std::function<std::string(const Call&, bool&)> next;
};

TEST_F(BridgeClient, CallsCarryArgumentsAndOutValuesExactly) {
  auto link = Make();
  SjisString why;
  ASSERT_TRUE(link->Start(why)) << SjisToUtf8(why);
  EXPECT_EQ(link->Description(), Sj("JV-Link（ブリッジ 32ビット、コードページ 932、ja-JP）"));
  EXPECT_EQ(link->JVInit(u"SA418207/SD530946/Tavolen/Ver.1.01"), 0);
  int readCount = 0, downloadCount = 0;
  std::u16string stamp;
  EXPECT_EQ(link->JVOpen(u"RACE", u"20240101000000", 2, readCount, downloadCount, stamp), 0);
  EXPECT_EQ(readCount, 3);
  EXPECT_EQ(downloadCount, 1);
  EXPECT_EQ(stamp, u"20240105153000");
  std::u16string buff, name;
  int size = 60000;
  EXPECT_EQ(link->JVRead(buff, size, name), static_cast<int>(kRecord.size()));
  EXPECT_EQ(RecordToSjis(buff), kRecord);  // the code page 932 only characters survive
  EXPECT_EQ(name, u"file.jvd");
  EXPECT_EQ(link->JVStatus(), 1);
  EXPECT_EQ(link->JVRTOpen(u"0B14", u"20240106"), 0);
  link->JVCancel();
  EXPECT_EQ(link->JVClose(), 0);

  ASSERT_EQ(script.calls.size(), 7u);
  EXPECT_EQ(script.calls[0].text1, u"SA418207/SD530946/Tavolen/Ver.1.01");
  EXPECT_EQ(script.calls[1].text2, u"20240101000000");
  EXPECT_EQ(script.calls[1].number, 2);
  EXPECT_EQ(script.calls[2].number, 60000);
  EXPECT_EQ(script.calls[4].text2, u"20240106");
  EXPECT_EQ(script.started, 1);
}

// Every kind of bad answer fails the call with its own message; the next call starts a new
// bridge and gives it the program's identifier again before the call itself.
TEST_F(BridgeClient, BadAnswersFailTheCallAndTheNextCallRestartsTheBridge) {
  struct Case {
    const char* name;
    std::function<std::string(const Call&, bool&)> reply;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"garbage", [](const Call&, bool&) { return std::string("<html>garbage"); }, "不正なデータ"},
      {"wrong length",
       [](const Call& c, bool&) {
         std::string f = Answer(c, 5, "RA\r\n");
         f[4] = static_cast<char>(f[4] + 1);  // one byte more than the fields hold
         return f + "x";
       },
       "長さが不正"},
      {"60000-byte record",
       [](const Call& c, bool&) { return Answer(c, 60000, std::string(60000, 'A'), {}, 60000); },
       "長すぎるレコード"},
      {"non-932 byte",
       [](const Call& c, bool&) { return Answer(c, 4, std::string("RA\x85\x40", 4)); },
       "Shift-JISでない文字"},
      {"half a frame then exit",
       [](const Call& c, bool& end) {
         end = true;
         const std::string f = Answer(c, 4, "RA\r\n");
         return f.substr(0, f.size() / 2);
       },
       "応答の途中で終了"},
      {"exit",
       [](const Call&, bool& end) {
         end = true;
         return std::string();
       },
       "終了しました"},
      {"silence", [](const Call&, bool&) { return std::string(); }, "応答しません"},
      {"failing COM status",
       [](const Call& c, bool&) {
         Result r;
         r.op = c.op;
         r.hresult = static_cast<std::int32_t>(0x80020009u);
         r.hresultText = u"0x80020009 例外が発生しました";
         return EncodeResult(r);
       },
       "例外が発生しました"},
  };
  auto link = Make();
  SjisString why;
  ASSERT_TRUE(link->Start(why));
  ASSERT_EQ(link->JVInit(u"SID"), 0);
  int starts = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    next = c.reply;
    std::u16string buff, name;
    int size = 60000;
    ExpectFailure([&] { link->JVRead(buff, size, name); }, c.message);
    EXPECT_TRUE(buff.empty());  // nothing of a broken answer is handed on
    EXPECT_FALSE(link->Busy());
    const size_t before = script.calls.size();
    size = 60000;
    EXPECT_EQ(link->JVRead(buff, size, name), static_cast<int>(kRecord.size()));
    EXPECT_EQ(script.started, ++starts);
    ASSERT_EQ(script.calls.size(), before + 2);
    EXPECT_EQ(script.calls[before].op, Op::JVInit);
    EXPECT_EQ(script.calls[before].text1, u"SID");
    EXPECT_EQ(script.calls[before + 1].op, Op::JVRead);
  }
}

TEST_F(BridgeClient, CloseAndCancelWithoutABridgeTouchNothing) {
  auto link = Make();
  SjisString why;
  ASSERT_TRUE(link->Start(why));
  next = [](const Call&, bool& end) {
    end = true;
    return std::string();
  };
  ExpectFailure([&] { link->JVStatus(); }, "終了しました");
  // The close step after the failure: no session is open anywhere, so nothing is started.
  EXPECT_EQ(link->JVClose(), 0);
  link->JVCancel();
  EXPECT_EQ(script.started, 1);
}

TEST_F(BridgeClient, StartFailsWhenTheComponentOrTheBridgeIsMissing) {
  {
    script.hello = EncodeHello(Hello{kProtocolVersion, 32, 932, u"ja-JP", false,
                                     static_cast<std::int32_t>(0x800401F3u),
                                     u"0x800401F3 無効なクラス文字列", 0, u""});
    auto link = Make();
    SjisString why;
    EXPECT_FALSE(link->Start(why));
    EXPECT_NE(why.find(Sj("無効なクラス文字列")), std::string::npos);
  }
  {
    script.hello = "MZ\x90";  // not the bridge at all
    auto link = Make();
    SjisString why;
    EXPECT_FALSE(link->Start(why));
  }
  {
    script.hello.clear();  // says nothing
    auto link = Make();
    SjisString why;
    EXPECT_FALSE(link->Start(why));
    EXPECT_NE(why.find(Sj("応答しません")), std::string::npos);
  }
  {
    script.refuseStart = true;
    auto link = Make();
    SjisString why;
    EXPECT_FALSE(link->Start(why));
    ExpectFailure([&] { link->JVInit(u"SID"); }, "起動できませんでした");
  }
}

// While a call waits, the windows get their turn; a call made from there is refused rather
// than mixed into the waiting one.
TEST_F(BridgeClient, WaitingCallLetsWindowsRunButAdmitsNoSecondCall) {
  auto link = Make(2000);
  SjisString why;
  ASSERT_TRUE(link->Start(why));
  int slow = 0;
  next = [&](const Call&, bool&) { return std::string(); };  // the answer comes late
  int pumps = 0;
  bool refused = false;
  link->SetWaitPump([&] {
    ++pumps;
    EXPECT_TRUE(link->Busy());
    if (pumps == 3) {
      try {
        link->JVStatus();
      } catch (const JVLinkFailure& e) {
        refused = e.message().find(Sj("処理中")) != std::string::npos;
      }
    }
    if (pumps == 5) ++slow;
  });
  ExpectFailure([&] { link->JVRTOpen(u"0B14", u"20240106"); }, "応答しません");
  EXPECT_GT(pumps, 5);
  EXPECT_TRUE(refused);
  EXPECT_EQ(slow, 1);
  // The refused call never reached the bridge.
  for (const Call& c : script.calls) EXPECT_NE(c.op, Op::JVStatus);
}

// The start-up's presence test releases its object and the main window creates its own: both
// use one start of the bridge; objects alive at once have a bridge each.
TEST_F(BridgeClient, StarterHandsAReleasedBridgeToTheNextObject) {
  BridgeOptions o;
  o.factory = testing::FakeFactory(script);
  o.startTimeoutMs = 300;
  int pumps = 0;
  auto starter = std::make_unique<BridgeStarter>(o, [&] { ++pumps; });
  SjisString why;
  ASSERT_NE(starter->Create(why), nullptr);
  std::unique_ptr<JVLink> main = starter->Create(why);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(script.started, 1);
  std::unique_ptr<JVLink> second = starter->Create(why);
  EXPECT_EQ(script.started, 2);
  EXPECT_EQ(main->JVInit(u"SID"), 0);
  EXPECT_EQ(main->Description(), Sj("JV-Link（ブリッジ 32ビット、コードページ 932、ja-JP）"));
  second.reset();
  starter.reset();  // the object outlives its starter and still works
  EXPECT_EQ(main->JVStatus(), 1);
  main.reset();

  script.refuseStart = true;
  BridgeStarter refusing(o);
  EXPECT_EQ(refusing.Create(why), nullptr);
  EXPECT_FALSE(why.empty());
}

// A bridge over a scripted component: each JVRead call is answered as the bridge program
// answers it, by its own loop over the component's reads.
class ReadAhead : public BridgeClient {
 protected:
  struct Step {
    int result;
    std::int32_t hresult = 0;
    bool broken = false;  // a record with a byte that is not code page 932
  };
  ReadAhead() {
    script.answer = [this](const Call& c, bool& end) {
      if (c.op != Op::JVRead) return Reply(c, end);
      return EncodeResult(ReadBatch(c, [this](const Call& one) { return Component(one); }));
    };
  }
  Result Component(const Call& one) {
    Result r;
    r.op = Op::JVRead;
    const Step s = at < steps.size() ? steps[at] : Step{0};
    ++at;
    if (s.hresult < 0) {
      r.hresult = s.hresult;
      r.hresultText = u"0x80020009 例外が発生しました";
      return r;
    }
    r.result = s.result;
    r.count1 = one.number;
    if (s.result > 0) {
      r.record = "RA" + std::to_string(at) + (s.broken ? "\x85\x40" : "\r\n");
      r.result = static_cast<int>(r.record.size());
      if (writesLength) r.count1 = r.result;
    }
    r.text = u"RAVM" + std::u16string(1, static_cast<char16_t>(u'0' + at % 10)) + u".jvd";
    return r;
  }
  struct Seen {
    int result;
    SjisString record;
    int size;
    std::u16string name;
    bool operator==(const Seen&) const = default;
  };
  // The program's read loop: reads until a result ends it, as one call per read would see it.
  std::vector<Seen> ReadAll(JVLink& link, size_t most = 1000) {
    std::vector<Seen> seen;
    int size = 60000;
    while (seen.size() < most) {
      std::u16string buff, name;
      const int r = link.JVRead(buff, size, name);
      seen.push_back({r, Utf16ToSjis(buff), size, name});
      if (r == 0 || r < -3) break;
    }
    return seen;
  }
  // What the component gives one call at a time, for the same steps.
  std::vector<Seen> OneByOne() {
    std::vector<Seen> seen;
    const size_t saved = at;
    at = 0;
    Call one{Op::JVRead, {}, {}, 60000};
    for (;;) {
      const Result r = Component(one);
      seen.push_back({r.result, r.record, r.count1, r.text});
      if (r.result == 0 || r.result < -3) break;
    }
    at = saved;
    return seen;
  }
  std::vector<std::int32_t> Counts() const {
    std::vector<std::int32_t> counts;
    for (const Call& c : script.calls)
      if (c.op == Op::JVRead) counts.push_back(c.count);
    return counts;
  }
  std::vector<Step> steps;
  size_t at = 0;
  bool writesLength = false;  // the component gives back each record's length as the size
};

TEST_F(ReadAhead, TheProgramSeesEveryReadInOrderWithFewerExchanges) {
  for (int i = 0; i < 40; ++i) steps.push_back({1});
  steps.push_back({-1});
  for (int i = 0; i < 5; ++i) steps.push_back({1});
  steps.push_back({-3});
  steps.push_back({-3});
  for (int i = 0; i < 100; ++i) steps.push_back({1});
  steps.push_back({0});
  auto link = Make();
  ASSERT_EQ(link->JVInit(u"SID"), 0);
  EXPECT_EQ(link->JVRTOpen(u"0B14", u"20240106"), 0);
  const std::vector<Seen> seen = ReadAll(*link);
  EXPECT_EQ(seen, OneByOne());
  EXPECT_EQ(seen.size(), steps.size());
  EXPECT_EQ(at, steps.size());  // nothing was read beyond the end
  // The batch grows from one while records come, over a file end too, and starts again at
  // one after the download waits.
  EXPECT_EQ(Counts(),
            (std::vector<std::int32_t>{1, 2, 4, 8, 16, 32, 64, 1, 1, 2, 4, 8, 16, 32, 64}));
}

TEST_F(ReadAhead, AFailureAheadComesAfterTheReadsBeforeIt) {
  // Batches of 1, 2 and 4: the third holds the fourth read, then its next read fails.
  for (const Step& failing : {Step{1, static_cast<std::int32_t>(0x80020009u)}, Step{1, 0, true}}) {
    SCOPED_TRACE(failing.broken ? "broken record" : "COM failure");
    steps = {{1}, {1}, {1}, {1}, failing, {1}};
    at = 0;
    script.calls.clear();
    script.started = 0;
    auto link = Make();
    ASSERT_EQ(link->JVInit(u"SID"), 0);
    const std::vector<Seen> seen = ReadAll(*link, 4);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[3].record, "RA4\r\n");
    EXPECT_EQ(Counts(), (std::vector<std::int32_t>{1, 2, 4}));
    std::u16string buff, name;
    int size = 60000;
    ExpectFailure(
        [&] { link->JVRead(buff, size, name); },
        failing.broken
            ? "JV-Linkの呼び出しに失敗しました（JVRead）。\nJV-"
              "Linkブリッジから受け取ったレコードにShift-JISでない文字があります。"
            : "JV-Linkの呼び出しに失敗しました（JVRead）。\n0x80020009 例外が発生しました");
    EXPECT_EQ(script.started, 1);  // delivered from what was read ahead, without a new exchange
    // The next read starts a new bridge with an empty queue and the identifier again (the
    // scripted component goes on where it was; the reads the bridge made after a broken
    // record are gone with it).
    const size_t before = script.calls.size();
    const int r = link->JVRead(buff, size, name);
    EXPECT_EQ(RecordToSjis(buff), failing.broken ? "" : "RA6\r\n");
    EXPECT_EQ(r, failing.broken ? 0 : 5);
    EXPECT_EQ(script.started, 2);
    ASSERT_EQ(script.calls.size(), before + 2);
    EXPECT_EQ(script.calls[before].op, Op::JVInit);
    EXPECT_EQ(script.calls[before + 1].count, 1);
  }
}

// A call that starts or ends a session drops what was read ahead of it; the queries in between
// (the download status, the settings dialog) keep it, since the component has already read
// those records and would not give them again.
TEST_F(ReadAhead, SessionCallsDropWhatWasReadAheadAndQueriesKeepIt) {
  struct Case {
    const char* op;
    std::function<void(BridgeJVLink&)> call;
    bool drops;
  };
  const std::vector<Case> cases = {
      {"JVInit", [](BridgeJVLink& l) { l.JVInit(u"SID"); }, true},
      {"JVClose", [](BridgeJVLink& l) { l.JVClose(); }, true},
      {"JVOpen",
       [](BridgeJVLink& l) {
         int rc = 0, dc = 0;
         std::u16string stamp;
         l.JVOpen(u"RACE", u"20240101000000", 2, rc, dc, stamp);
       },
       true},
      {"JVRTOpen", [](BridgeJVLink& l) { l.JVRTOpen(u"0B14", u"20240106"); }, true},
      {"JVCancel", [](BridgeJVLink& l) { l.JVCancel(); }, true},
      {"JVSetUIProperties", [](BridgeJVLink& l) { l.JVSetUIProperties(); }, false},
      {"JVStatus", [](BridgeJVLink& l) { l.JVStatus(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    steps.assign(10, Step{1});
    at = 0;
    script.calls.clear();
    auto link = Make();
    ASSERT_EQ(link->JVInit(u"SID"), 0);
    ReadAll(*link, 2);  // the second read fetched the third
    EXPECT_EQ(at, 3u);
    c.call(*link);
    if (c.drops) {
      EXPECT_EQ(link->readAhead(), 1);
    }
    const std::vector<Seen> seen = ReadAll(*link, 1);
    if (c.drops) {
      EXPECT_EQ(seen[0].record, "RA4\r\n");  // the component's next read, not the dropped one
      EXPECT_EQ(Counts().back(), 1);
    } else {
      EXPECT_EQ(seen[0].record, "RA3\r\n");  // the record read ahead, not lost
      EXPECT_EQ(at, 3u);
    }
  }
}

// A program that passes another buffer size than the one its read was made with still gets
// nothing that does not fit its buffer.
// The size is in/out: a component that gives back each record's length makes the program pass
// a smaller size next. A longer record after a shorter one still fits the buffer the program
// set up, so it passes, read ahead or not; a record that does not fit that buffer is refused.
TEST_F(ReadAhead, RecordsMustFitTheBufferTheProgramSetUp) {
  writesLength = true;
  steps.assign(12, Step{1});  // "RA1\r\n" to "RA9\r\n" are 5 bytes, "RA10\r\n" on 6
  auto link = Make();
  ASSERT_EQ(link->JVInit(u"SID"), 0);
  const std::vector<Seen> seen = ReadAll(*link);
  ASSERT_EQ(seen.size(), 13u);
  EXPECT_EQ(seen[8].size, 5);
  EXPECT_EQ(seen[9].record, "RA10\r\n");
  EXPECT_EQ(seen[9].size, 6);

  at = 0;
  ASSERT_EQ(link->JVInit(u"SID"), 0);
  std::u16string buff, name;
  int size = 6;  // a buffer too small for "RA10\r\n"
  for (int i = 0; i < 9; ++i) ASSERT_EQ(link->JVRead(buff, size, name), 5);
  ExpectFailure([&] { link->JVRead(buff, size, name); }, "長すぎるレコード");
}

// When the first bridge cannot create the component, the bridge of the other bitness is
// started, whatever registry views the first reports (they are only a hint: keys left behind
// by an uninstalled 32-bit JV-Link, or Wine's unredirected per-user classes, show a class
// with no server of that bitness). The one that worked starts first after, and the error log
// is told which bitness is in use and what failed before it.
TEST_F(BridgeClient, TheOtherBitnessIsStartedWheneverTheFirstCannotCreateTheComponent) {
  const auto hello = [](std::uint32_t bits, bool created, std::uint32_t hr, std::uint32_t views) {
    return EncodeHello(Hello{kProtocolVersion, bits, 932, u"ja-JP", created,
                             static_cast<std::int32_t>(hr), created ? u"ok" : u"failed", views,
                             created ? u"0492" : u""});
  };
  struct Case {
    std::uint32_t hr, views;
    bool secondCreates;
  };
  for (const Case& c : {Case{0x80040152u, kView32, true}, Case{0x80040154u, kViewsUnread, true},
                        Case{0x800401F3u, kViewsUnread, true}, Case{0x8007007Eu, kView64, true},
                        Case{0x80040152u, kView32 | kView64, true}, Case{0x800401F3u, 0, false},
                        Case{0x8007007Eu, kViewsUnread, false}}) {
    SCOPED_TRACE(c.hr);
    script = FakeBridgeScript{};
    script.answer = [this](const Call& call, bool& end) { return Reply(call, end); };
    script.helloFor = [&](const BridgeLaunch& l) {
      return l.bits == 64 ? hello(64, false, c.hr, c.views)
                          : hello(32, c.secondCreates, c.secondCreates ? 0 : c.hr, c.views);
    };
    BridgeOptions o;
    o.factory = testing::FakeFactory(script);
    o.startTimeoutMs = o.callTimeoutMs = 300;
    o.launch.bits = 64;
    o.others.push_back(BridgeLaunch{{"bridge32"}, {}, 32});
    int told = 0;
    o.chosen = [&told](int bits) { told = bits; };
    BridgeJVLink link(o);
    SjisString why;
    EXPECT_EQ(link.Start(why), c.secondCreates) << SjisToUtf8(why);
    const SjisString logged = link.StartNote();
    EXPECT_EQ(script.launchedBits, (std::vector<int>{64, 32}));
    EXPECT_EQ(told, c.secondCreates ? 32 : 0);
    if (!c.secondCreates) {
      EXPECT_NE(why.find(Sj("JV-Linkを作成できませんでした")), std::string::npos);
      EXPECT_TRUE(logged.empty());
      continue;
    }
    // The version box names the bitness and the release the component states.
    EXPECT_EQ(link.Description(),
              Sj("JV-Link 4.9.2（ブリッジ 32ビット、コードページ 932、ja-JP）"));
    EXPECT_EQ(logged,
              Sj("JV-Linkを32ビットのブリッジで作成しました（作成できなかったもの：64ビット："
                 "failed）"));
    // A bridge that died is replaced by one of the bitness that worked.
    next = [](const Call&, bool& end) {
      end = true;
      return std::string();
    };
    ExpectFailure([&] { link.JVStatus(); }, "終了しました");
    EXPECT_EQ(link.JVStatus(), 1);
    EXPECT_EQ(script.launchedBits, (std::vector<int>{64, 32, 32}));
  }

  // A 64-bit bridge that cannot run at all (no 64-bit Wine, a 32-bit Windows) says no hello:
  // the 32-bit one is started.
  script = FakeBridgeScript{};
  script.answer = [this](const Call& call, bool& end) { return Reply(call, end); };
  script.helloFor = [&](const BridgeLaunch& l) {
    return l.bits == 64 ? std::string() : hello(32, true, 0, kView32);
  };
  BridgeOptions o;
  o.factory = testing::FakeFactory(script);
  o.startTimeoutMs = 300;
  o.launch.bits = 64;
  o.others.push_back(BridgeLaunch{{"bridge32"}, {}, 32});
  int told = 0;
  o.chosen = [&told](int bits) { told = bits; };
  BridgeJVLink link(o);
  SjisString why;
  EXPECT_TRUE(link.Start(why)) << SjisToUtf8(why);
  EXPECT_EQ(script.launchedBits, (std::vector<int>{64, 32}));
  EXPECT_EQ(told, 32);
  // The error log's line says which bridge could not start, on one line.
  const std::string logged = SjisToUtf8(link.StartNote());
  EXPECT_EQ(
      logged.rfind("JV-Linkを32ビットのブリッジで作成しました（作成できなかったもの：64ビット："
                   "JV-Linkブリッジが起動しませんでした。",
                   0),
      0u)
      << logged;
  EXPECT_EQ(logged.find('\n'), std::string::npos) << logged;
}

// Every read made ahead is offered what the program passes on its own call: the size the read
// before gave back when the program passes the variable back, the same size when it passes
// that again each time, and nothing is read ahead when it does neither.
TEST_F(BridgeClient, ReadAheadOffersWhatTheProgramPassesOnEachCall) {
  // A component that writes each record's length back into size.
  script.answer = [this](const Call& c, bool& end) {
    if (c.op != Op::JVRead) return Reply(c, end);
    Result r;
    r.op = Op::JVRead;
    r.result = static_cast<int>(kRecord.size());
    r.record = kRecord;
    r.count1 = r.result;
    for (int i = 1; i < std::max(c.count, 1); ++i)
      r.more.push_back(ReadEntry{r.result, r.result, kRecord, u"f"});
    return EncodeResult(r);
  };
  struct Pattern {
    const char* name;
    // The size the program passes on call i after the read before gave back given.
    std::function<int(int given, int i)> pass;
    std::int32_t fixed;  // the calls' fixedSize once learnt
    bool ahead;          // reads are made ahead at all
  };
  for (const Pattern& p :
       {Pattern{"follows", [](int given, int) { return given; }, 0, true},
        Pattern{"fixed", [](int, int) { return 60000; }, 1, true},
        Pattern{"neither", [](int given, int i) { return given + 100 + i; }, 0, false}}) {
    SCOPED_TRACE(p.name);
    script.calls.clear();
    auto link = Make();
    int rc = 0, dc = 0;
    std::u16string stamp, buff, name;
    link->JVOpen(u"RACE", u"20240101000000", 2, rc, dc, stamp);
    int size = 60000;
    std::vector<int> passed;
    for (int i = 0; i < 20; ++i) {
      passed.push_back(size);
      ASSERT_EQ(link->JVRead(buff, size, name), static_cast<int>(kRecord.size()));
      EXPECT_EQ(RecordToSjis(buff), kRecord);
      EXPECT_EQ(size, static_cast<int>(kRecord.size()));
      size = p.pass(size, i);
    }
    int reads = 0, asked = 0;
    for (const Call& c : script.calls) {
      if (c.op != Op::JVRead) continue;
      ++reads;
      asked += std::max(c.count, 1);
      if (reads > 1) {
        EXPECT_EQ(c.fixedSize, p.fixed) << reads;
      }
      // Each exchange offers the size the program passes on the call it answers.
      if (p.ahead) {
        EXPECT_EQ(c.number, reads == 1 ? 60000 : p.pass(static_cast<int>(kRecord.size()), 0));
      } else {
        EXPECT_EQ(c.number, passed[static_cast<size_t>(reads - 1)]) << reads;
        EXPECT_LE(c.count, 1);
      }
    }
    if (p.ahead) {
      EXPECT_LT(reads, 10);
    } else {
      EXPECT_EQ(reads, 20);
    }
    EXPECT_GE(asked, 20);
  }
}

// A window of the component that waits for the user suspends the answer's time limit, however
// long the user takes; the limit starts again once the window has gone. The observers hear of
// both, and a broken window frame fails the call as any broken answer does.
TEST_F(BridgeClient, AWindowOfTheComponentSuspendsTheTimeLimit) {
  auto link = Make(200);
  std::vector<bool> told;
  const int id = link->AddWindowWaitObserver([&](bool waiting) { told.push_back(waiting); });
  const auto late = [this](const Call& c, std::string frames) {
    script.delayed = Answer(c, 0);
    script.delayedAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
    return frames;
  };
  next = [&](const Call& c, bool&) { return late(c, EncodeWindow(true, u"JV-Link")); };
  EXPECT_EQ(link->JVRTOpen(u"0B14", u"20240106"), 0);
  EXPECT_EQ(told, (std::vector<bool>{true, false}));
  EXPECT_FALSE(link->WaitingOnWindow());
  // Without a version in the type information the version box names none.
  EXPECT_EQ(link->Description(), Sj("JV-Link（ブリッジ 32ビット、コードページ 932、ja-JP）"));

  told.clear();
  next = [&](const Call& c, bool&) {
    return late(c, EncodeWindow(true, u"JV-Link") + EncodeWindow(false, u""));
  };
  int reads = 0, downloads = 0;
  std::u16string stamp;
  ExpectFailure([&] { link->JVOpen(u"RACE", u"20240101000000", 2, reads, downloads, stamp); },
                "応答しません");
  EXPECT_EQ(told, (std::vector<bool>{true, false}));

  told.clear();
  link->RemoveWindowWaitObserver(id);
  next = [](const Call& c, bool&) {
    std::string broken = EncodeWindow(true, u"x");
    broken[kHeaderSize] = 7;  // neither shown nor gone
    return broken + Answer(c, 0);
  };
  ExpectFailure([&] { link->JVSetUIProperties(); }, "不正なデータ");
  EXPECT_TRUE(told.empty());
}

}  // namespace
}  // namespace tavolen::bridge
