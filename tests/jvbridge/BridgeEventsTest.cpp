// The component's events through the bridge client: event frames before an answer and between
// answers reach the listener in their order, only from DeliverEvents; a bridge without events
// says so; a new bridge after a failure gets the watch again; a broken event frame ends the
// bridge like a broken answer.
#include <gtest/gtest.h>

#include "jvbridge/BridgeJVLink.h"
#include "tests/jvbridge/FakeBridge.h"

namespace tavolen::bridge {
namespace {

using testing::Answer;
using testing::FakeBridgeScript;

class Heard final : public JVEventListener {
 public:
  void JVLinkEvent(JVEvent event, const std::u16string& key) override {
    heard.push_back({event, Utf16ToSjis(key)});
  }
  std::vector<std::pair<JVEvent, std::string>> heard;
};

std::string EventFrame(const char16_t* name, const char16_t* key) {
  return EncodeEvent(Event{name, key});
}

class BridgeEvents : public ::testing::Test {
 protected:
  BridgeEvents() {
    Hello h{kProtocolVersion, 64, 932, u"ja-JP", true, 0, u"ok", kView64, u""};
    h.events = true;
    h.eventsText = u"_IJVLinkEvents";
    script.hello = EncodeHello(h);
    script.answer = [this](const Call& c, bool& end) {
      std::string before = std::move(beforeAnswer);
      beforeAnswer.clear();
      return before + Answer(c, 0);
    };
  }
  std::unique_ptr<BridgeJVLink> Make() {
    BridgeOptions o;
    o.factory = testing::FakeFactory(script);
    o.startTimeoutMs = 300;
    o.callTimeoutMs = 300;
    o.dialogTimeoutMs = 300;
    auto link = std::make_unique<BridgeJVLink>(o);
    link->SetEventListener(&listener);
    return link;
  }

  FakeBridgeScript script;
  std::string beforeAnswer;
  Heard listener;
};

TEST_F(BridgeEvents, EventsBeforeAnAnswerAndBetweenAnswersArriveInOrderFromDeliverEvents) {
  auto link = Make();
  EXPECT_EQ(link->JVInit(u"SID"), 0);
  EXPECT_TRUE(link->EventsAvailable());
  EXPECT_EQ(link->JVWatchEvent(), 0);
  // Two events come before the answer of a read: the answer is the read's, the events wait.
  beforeAnswer = EventFrame(u"JVEvtAvoid", u"AV20240106061120240106101500") +
                 EventFrame(u"JVEvtPay", u"PAYKEY");
  EXPECT_EQ(link->JVRTOpen(u"0B14", u"20240106"), 0);
  EXPECT_TRUE(listener.heard.empty()) << "never inside a call";
  // One more comes while no call runs, and one with a name the program does not know.
  script.idle = EventFrame(u"JVEvtWeather", u"WE20240106060020240106101600") +
                EventFrame(u"JVEvtSomethingNew", u"X");
  link->DeliverEvents();
  ASSERT_EQ(listener.heard.size(), 3u);
  EXPECT_EQ(listener.heard[0],
            (std::pair{JVEvent::Avoid, std::string("AV20240106061120240106101500")}));
  EXPECT_EQ(listener.heard[1].first, JVEvent::Pay);
  EXPECT_EQ(listener.heard[2],
            (std::pair{JVEvent::Weather, std::string("WE20240106060020240106101600")}));
  link->DeliverEvents();
  EXPECT_EQ(listener.heard.size(), 3u);
  ASSERT_EQ(script.calls.size(), 3u);
  EXPECT_EQ(script.calls[1].op, Op::JVWatchEvent);
  EXPECT_EQ(link->JVWatchEventClose(), 0);
  EXPECT_EQ(script.calls.back().op, Op::JVWatchEventClose);
}

TEST_F(BridgeEvents, EventsAmongTheWindowFramesOfACallAreKeptAndTheWindowIsTold) {
  auto link = Make();
  std::vector<bool> told;
  const int id = link->AddWindowWaitObserver([&](bool waiting) { told.push_back(waiting); });
  EXPECT_EQ(link->JVInit(u"SID"), 0);
  EXPECT_EQ(link->JVWatchEvent(), 0);
  // The update question of an open, an event while it waits, the question gone, the answer.
  beforeAnswer = EncodeWindow(true, u"JV-Link") +
                 EventFrame(u"JVEvtAvoid", u"AV20240106061120240106101500") +
                 EncodeWindow(false, u"") + EventFrame(u"JVEvtWeather", u"WE");
  EXPECT_EQ(link->JVRTOpen(u"0B14", u"20240106"), 0);
  EXPECT_EQ(told, (std::vector<bool>{true, false}));
  EXPECT_FALSE(link->WaitingOnWindow());
  EXPECT_TRUE(listener.heard.empty()) << "never inside a call";
  link->DeliverEvents();
  ASSERT_EQ(listener.heard.size(), 2u);
  EXPECT_EQ(listener.heard[0],
            (std::pair{JVEvent::Avoid, std::string("AV20240106061120240106101500")}));
  EXPECT_EQ(listener.heard[1].first, JVEvent::Weather);
  link->RemoveWindowWaitObserver(id);
}

TEST_F(BridgeEvents, ABridgeWithoutEventsSaysSoWithoutACall) {
  script.hello =
      EncodeHello(Hello{kProtocolVersion, 32, 932, u"ja-JP", true, 0, u"ok", kView32, u""});
  auto link = Make();
  EXPECT_EQ(link->JVInit(u"SID"), 0);
  EXPECT_EQ(link->JVWatchEvent(), kJVEventsUnsupported);
  EXPECT_EQ(script.calls.size(), 1u);
}

TEST_F(BridgeEvents, ANewBridgeGetsTheWatchAgainAndABrokenEventFrameEndsTheBridge) {
  auto link = Make();
  EXPECT_EQ(link->JVInit(u"SID"), 0);
  EXPECT_EQ(link->JVWatchEvent(), 0);
  // A broken event frame between answers: the bridge is ended, nothing is heard.
  std::string broken = EventFrame(u"JVEvtAvoid", u"K");
  broken[4] = static_cast<char>(broken[4] + 2);  // longer than its fields
  script.idle = broken + "xx";
  link->DeliverEvents();
  EXPECT_TRUE(listener.heard.empty());
  // The next call starts a new bridge: JVInit with the identifier, the watch, then the call.
  EXPECT_EQ(link->JVRTOpen(u"0B14", u"20240106"), 0);
  EXPECT_EQ(script.started, 2);
  ASSERT_EQ(script.calls.size(), 5u);
  EXPECT_EQ(script.calls[2].op, Op::JVInit);
  EXPECT_EQ(script.calls[2].text1, u"SID");
  EXPECT_EQ(script.calls[3].op, Op::JVWatchEvent);
  EXPECT_EQ(script.calls[4].op, Op::JVRTOpen);
  // A broken event before an answer fails that call.
  beforeAnswer = broken;
  try {
    link->JVStatus();
    ADD_FAILURE() << "no failure";
  } catch (const JVLinkFailure& e) {
    EXPECT_NE(e.message().find(Sj("長さが不正")), std::string::npos) << SjisToUtf8(e.message());
  }
}

TEST(BridgeEventsProtocol, EventFramesAndTheHellosEventsRoundTrip) {
  FrameReader reader;
  reader.Feed(EncodeEvent(Event{u"JVEvtJockeyChange", u"JC20240106060520240106101500"}));
  Frame f;
  ASSERT_EQ(reader.Next(f), FrameReader::State::HaveFrame);
  EXPECT_EQ(f.kind, Kind::Event);
  Event e;
  SjisString error;
  ASSERT_TRUE(DecodeEvent(f.payload, e, error));
  EXPECT_EQ(e.name, u"JVEvtJockeyChange");
  EXPECT_EQ(e.key, u"JC20240106060520240106101500");
  EXPECT_FALSE(DecodeEvent(f.payload.substr(0, f.payload.size() - 1), e, error));
  Hello h{kProtocolVersion, 64, 932, u"ja-JP", true, 0, u"ok", kView64, u""};
  h.events = true;
  h.eventsText = u"_IJVLinkEvents";
  reader.Feed(EncodeHello(h));
  ASSERT_EQ(reader.Next(f), FrameReader::State::HaveFrame);
  Hello back;
  ASSERT_TRUE(DecodeHello(f.payload, back, error));
  EXPECT_TRUE(back.events);
  EXPECT_EQ(back.eventsText, u"_IJVLinkEvents");
}

TEST(BridgeEventsProtocol, TheHelloCarriesTheViewsTheVersionAndTheEventsTogether) {
  Hello h{kProtocolVersion, 32, 932, u"ja-JP", true, 0, u"ok", kView32 | kView64, u"4.9"};
  h.events = true;
  h.eventsText = u"_IJVLinkEvents {iid}";
  Hello back;
  SjisString error;
  ASSERT_TRUE(DecodeHello(testing::OneFrame(EncodeHello(h)).payload, back, error)) << error;
  EXPECT_EQ(back.version, 4u);
  EXPECT_EQ(back.views, kView32 | kView64);
  EXPECT_EQ(back.componentVersion, u"4.9");
  EXPECT_TRUE(back.events);
  EXPECT_EQ(back.eventsText, u"_IJVLinkEvents {iid}");
  // An events flag other than 0 or 1 is broken, as a views field out of range is.
  Hello bad = h;
  bad.views = 8;
  EXPECT_FALSE(DecodeHello(testing::OneFrame(EncodeHello(bad)).payload, back, error));
  // A bridge of protocol 3 (either branch's) is refused, naming the version needed.
  h.version = 3;
  EXPECT_FALSE(DecodeHello(testing::OneFrame(EncodeHello(h)).payload, back, error));
  EXPECT_NE(error.find(Sj("必要なのは 4")), std::string::npos);
}

TEST(BridgeEventsProtocol, EventAndWindowFramesComeThroughTheReaderInTheirOrder) {
  FrameReader reader;
  reader.Feed(EncodeWindow(true, u"JV-Link") + EncodeEvent(Event{u"JVEvtAvoid", u"AV"}) +
              EncodeWindow(false, u""));
  Frame f;
  ASSERT_EQ(reader.Next(f), FrameReader::State::HaveFrame);
  EXPECT_EQ(f.kind, Kind::Window);
  ASSERT_EQ(reader.Next(f), FrameReader::State::HaveFrame);
  EXPECT_EQ(f.kind, Kind::Event);
  ASSERT_EQ(reader.Next(f), FrameReader::State::HaveFrame);
  EXPECT_EQ(f.kind, Kind::Window);
}

}  // namespace
}  // namespace tavolen::bridge
