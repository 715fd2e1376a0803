// The stand-in's change events over the demo race day: one event per announcement when it falls
// due by the stand-in's clock, "0B16" answering exactly that announcement's records, and the
// events file switching them off or adding others.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "jvlink/JVData_Structure.h"
#include "jvlink/JVEvents.h"
#include "standin/DemoDay.h"
#include "standin/StandIn.h"
#include "tests/support/Files.h"
#include "tests/support/TestDir.h"

namespace tavolen {
namespace {

struct Raised {
  JVEvent event;
  std::string key;
  LocalDateTime at;
};

class Collector final : public JVEventListener {
 public:
  explicit Collector(const Clock& clock) : clock_(clock) {}
  void JVLinkEvent(JVEvent event, const std::u16string& key) override {
    raised.push_back({event, Utf16ToSjis(key), clock_.Now()});
  }
  std::vector<Raised> raised;

 private:
  const Clock& clock_;
};

class StandInEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testsupport::TestDir("standin-events");
    feed_ = root_ / "feed";
    fs::create_directories(feed_);
    ASSERT_TRUE(WriteDemoDay(feed_, kDay));
    link_ = std::make_unique<StandInJVLink>(clock_, StandInOptions{root_ / "own", 0});
    ASSERT_EQ(link_->StoreSettings({"KEY", feed_}), 0);
    link_->SetEventListener(&events_);
  }
  // Every record of a real-time session, or the failing open's code as the only entry.
  std::vector<SjisString> Session(std::u16string spec, const std::string& key, int* rc = nullptr) {
    std::vector<SjisString> out;
    const int open = link_->JVRTOpen(spec, Wide(key));
    if (rc) *rc = open;
    if (open != 0) return out;
    for (int guard = 0; guard < 100000; ++guard) {
      std::u16string buff, name;
      int size = 60000;
      const int r = link_->JVRead(buff, size, name);
      if (r > 0) out.push_back(RecordToSjis(buff));
      if (r == 0 || r < -3) break;
    }
    EXPECT_EQ(link_->JVClose(), 0);
    return out;
  }

  const LocalDateTime kDay{2024, 1, 6, 7, 0, 0};
  FakeClock clock_{kDay};
  Collector events_{clock_};
  fs::path root_, feed_;
  std::unique_ptr<StandInJVLink> link_;
};

TEST_F(StandInEvents, EachAnnouncementOfTheDayRaisesOneEventAsItFallsDueAnd0B16AnswersIt) {
  EXPECT_EQ(link_->JVWatchEvent(), -201) << "before JVInit";
  ASSERT_EQ(link_->JVInit(u"TEST"), 0);
  const std::vector<SjisString> atStart = Session(u"0B14", "20240106");
  ASSERT_EQ(link_->JVWatchEvent(), 0);
  link_->DeliverEvents();
  EXPECT_TRUE(events_.raised.empty()) << "what was due before the watch began raises nothing";

  std::multiset<SjisString> byEvents;
  std::vector<SjisString> futureKeys;
  int weightEvents = 0, payEvents = 0;
  for (LocalDateTime t = kDay; t.hour < 24 && t.day == 6; t = t.AddSeconds(20)) {
    clock_.Set(t);
    const size_t before = events_.raised.size();
    link_->DeliverEvents();
    for (size_t i = before; i < events_.raised.size(); ++i) {
      const Raised& e = events_.raised[i];
      if (e.event == JVEvent::Weight || e.event == JVEvent::Pay) {
        // A race's weights or payouts: the race key yyyymmddJJRR, served by "0B11"/"0B12".
        ASSERT_EQ(e.key.size(), 12u) << e.key;
        EXPECT_TRUE(e.key.starts_with("20240106"));
        const bool weight = e.event == JVEvent::Weight;
        weight ? ++weightEvents : ++payEvents;
        const std::vector<SjisString> records = Session(weight ? u"0B11" : u"0B12", e.key);
        ASSERT_FALSE(records.empty()) << e.key;
        for (const SjisString& r : records) {
          EXPECT_EQ(Cut(r, Header::Date) + Cut(r, Header::CourseCode) + Cut(r, Header::RaceNumber),
                    e.key);
          EXPECT_EQ(r.starts_with("WH"), weight);
        }
        continue;
      }
      const auto key = ParseChangeEventKey(e.key);
      ASSERT_TRUE(key) << e.key;
      EXPECT_EQ(key->date, "20240106");
      EXPECT_EQ(key->recordType, ChangeEventRecordType(e.event));
      // Raised at the first delivery at or after the moment it fell due.
      LocalDateTime sent;
      ASSERT_TRUE(ParseCompactDateTime(key->sent, sent));
      EXPECT_LE(sent, t);
      EXPECT_GT(sent.AddSeconds(20), t) << e.key;
      int rc = 0;
      const std::vector<SjisString> records = Session(u"0B16", e.key, &rc);
      ASSERT_EQ(rc, 0) << e.key;
      ASSERT_FALSE(records.empty());
      for (const SjisString& r : records) {
        byEvents.insert(r);
        if (r.starts_with("RA")) continue;  // rides with the course change before it
        EXPECT_EQ(r.substr(0, 2), key->recordType);
        EXPECT_EQ(Cut(r, Header::CourseCode), key->course);
        if (key->recordType != "WE") {
          EXPECT_EQ(Cut(r, Header::RaceNumber), key->race);
        }
      }
    }
  }
  ASSERT_GE(events_.raised.size(), 10u);
  // Every race's weights once, its payouts with each of its four result stages.
  const size_t races = Session(u"0B11", "20240106").size();
  EXPECT_GE(races, 24u);
  EXPECT_EQ(weightEvents, static_cast<int>(races));
  EXPECT_EQ(payEvents, 4 * static_cast<int>(races));
  // Together the announcements are exactly what the day's "0B14" answer gained since the
  // start: every record once.
  std::multiset<SjisString> expected;
  for (const SjisString& r : Session(u"0B14", "20240106")) expected.insert(r);
  for (const SjisString& r : atStart) expected.erase(expected.find(r));
  EXPECT_TRUE(byEvents == expected) << byEvents.size() << " vs " << expected.size();

  // A key of the right shape that names nothing, and one of another shape.
  EXPECT_EQ(link_->JVRTOpen(u"0B16", u"AV2024010606112024010623590000"), -114);
  EXPECT_EQ(link_->JVRTOpen(u"0B16", u"AV20240106061120240106235900"), -1);
  EXPECT_EQ(link_->JVClose(), 0);
  // Closed: nothing more is raised.
  EXPECT_EQ(link_->JVWatchEventClose(), 0);
  const size_t count = events_.raised.size();
  ASSERT_TRUE(testsupport::WriteFileBytes(
      feed_ / "events.txt", "20240107000500 JVEvtPay 2024010706011120240107000500\n"));
  clock_.Set({2024, 1, 7, 1, 0, 0});
  link_->DeliverEvents();
  EXPECT_EQ(events_.raised.size(), count);
}

TEST_F(StandInEvents, AnAnnouncementIsNotServedBeforeItFallsDue) {
  ASSERT_EQ(link_->JVInit(u"TEST"), 0);
  ASSERT_EQ(link_->JVWatchEvent(), 0);
  clock_.Set({2024, 1, 6, 23, 59, 0});
  link_->DeliverEvents();
  ASSERT_FALSE(events_.raised.empty());
  const Raised last = events_.raised.back();
  // A second object at an earlier time finds the key not announced yet.
  FakeClock early({2024, 1, 6, 8, 0, 0});
  StandInJVLink other(early, StandInOptions{root_ / "own", 0});
  ASSERT_EQ(other.JVInit(u"TEST"), 0);
  EXPECT_EQ(other.JVRTOpen(u"0B16", Wide(last.key)), -1);
  EXPECT_EQ(other.JVRTOpen(u"0B15", Wide(last.key)), -111);
}

TEST_F(StandInEvents, TheEventsFileAddsEventsOrSwitchesThemOff) {
  ASSERT_TRUE(
      testsupport::WriteFileBytes(feed_ / "events.txt",
                                  "# extra events\n"
                                  "20240106073000 JVEvtPay 2024010606011120240106073000\n"
                                  "20240106074000 JVEvtAvoid broken-key\n"
                                  "2024010607 JVEvtWeight x\n"          // not a time: ignored
                                  "20240106074500 JVEvtNothing x\n"));  // not an event: ignored
  ASSERT_EQ(link_->JVInit(u"TEST"), 0);
  ASSERT_EQ(link_->JVWatchEvent(), 0);
  clock_.Set({2024, 1, 6, 7, 50, 0});
  link_->DeliverEvents();
  ASSERT_EQ(events_.raised.size(), 2u);
  EXPECT_EQ(events_.raised[0].event, JVEvent::Pay);
  EXPECT_EQ(events_.raised[1].event, JVEvent::Avoid);
  EXPECT_EQ(events_.raised[1].key, "broken-key");
  EXPECT_EQ(link_->JVRTOpen(u"0B16", u"broken-key"), -114);

  ASSERT_TRUE(testsupport::WriteFileBytes(feed_ / "events.txt", "off\n"));
  clock_.Set({2024, 1, 6, 23, 0, 0});
  link_->DeliverEvents();
  EXPECT_EQ(events_.raised.size(), 2u);
  StandInJVLink other(clock_, StandInOptions{root_ / "own", 0});
  ASSERT_EQ(other.JVInit(u"TEST"), 0);
  EXPECT_EQ(other.JVWatchEvent(), kJVEventsUnsupported);

  ASSERT_TRUE(testsupport::WriteFileBytes(feed_ / "events.txt", ""));
  ASSERT_TRUE(testsupport::WriteFileBytes(feed_ / "faults.txt", "JVWatchEvent -301\n"));
  EXPECT_EQ(other.JVWatchEvent(), -301);
}

TEST(JVEventsKey, PartsAndShape) {
  const auto k = ParseChangeEventKey("TC2024010606112024010610150000");
  ASSERT_FALSE(k);  // 30 characters
  const auto ok = ParseChangeEventKey("TC20240106061120240106101500");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->recordType, "TC");
  EXPECT_EQ(ok->date, "20240106");
  EXPECT_EQ(ok->course, "06");
  EXPECT_EQ(ok->race, "11");
  EXPECT_EQ(ok->sent, "20240106101500");
  EXPECT_EQ(FormatChangeEventKey(*ok), "TC20240106061120240106101500");
  EXPECT_FALSE(ParseChangeEventKey("TC20241306061120240106101500"));  // month 13
  EXPECT_FALSE(ParseChangeEventKey("tc20240106061120240106101500"));
  EXPECT_FALSE(ParseChangeEventKey("TC2024010606112024010610150X"));
  for (JVEvent e : {JVEvent::JockeyChange, JVEvent::Weather, JVEvent::CourseChange, JVEvent::Avoid,
                    JVEvent::TimeChange, JVEvent::Pay, JVEvent::Weight}) {
    EXPECT_EQ(JVEventByName(JVEventName(e)), e);
    EXPECT_EQ(IsChangeEvent(e), e != JVEvent::Pay && e != JVEvent::Weight);
  }
  EXPECT_FALSE(JVEventByName("JVEvtNothing"));
}

}  // namespace
}  // namespace tavolen
