// The program picks the bridge of the registered component's bitness by itself: under Wine,
// with the COM stand-in registered as JV-Link 5.0.0 is (64-bit only), as JV-Link before it
// (32-bit only), or in both views, both installed bridges and no setting written by hand.
#include <gtest/gtest.h>

#include <iostream>

#include "jvbridge/BridgeJVLink.h"
#include "jvbridge/BridgeSettings.h"
#include "jvlink/FileIO.h"
#include "tests/jvbridge/StandInBridge.h"
#include "tests/jvbridge/WineHarness.h"
#include "tests/support/Files.h"

namespace tavolen {
namespace {

namespace fs = std::filesystem;
using testing::Registration;

struct Reached {
  unsigned bits = 0;     // the bitness of the bridge that created the component
  int starts = 0;        // bridges started for it
  int told = 0;          // the bitness handed to the settings (0: none)
  int firstRecord = 0;   // the first JVRead result of a race-data session
  SjisString why;        // why nothing was reached
  SjisString described;  // the version box's text
  SjisString logged;     // the error log's line when another bitness failed first
};

// Starts the program's JV-Link as main() does, opens a race-data session and reads until the
// first record.
Reached Reach(const std::string& name, int rememberedBits) {
  Reached out;
  const fs::path root = testsupport::TempDir("jvbridge-bits/" + name);
  const fs::path clock = root / "clock.txt";
  EXPECT_TRUE(WriteFileAtomic(clock, "20240106070000"));
  bridge::JVLinkChoice choice;
  choice.bits = rememberedBits;
  bridge::BridgeOptions o = testing::InstalledBridgeOptions(root, choice, root / "standin", clock);
  o.callTimeoutMs = 20000;
  o.chosen = [&out](int bits) { out.told = bits; };
  auto link = bridge::StartBridgeJVLink(o, out.why);
  if (!link) return out;
  out.bits = link->hello().bits;
  out.starts = link->starts();
  out.described = link->Description();
  out.logged = link->StartNote();
  EXPECT_EQ(link->JVInit(u"UNKNOWN"), 0);
  int reads = 0, downloads = 0;
  std::u16string stamp;
  EXPECT_EQ(link->JVOpen(u"RACE", u"20231229000000", 2, reads, downloads, stamp), 0);
  EXPECT_GT(reads, 0);
  std::u16string buff, file;
  int size = 60000;
  for (int i = 0; i < 1000 && out.firstRecord <= 0; ++i) {
    out.firstRecord = link->JVRead(buff, size, file);
    if (out.firstRecord == 0 || out.firstRecord < -3) break;
  }
  EXPECT_EQ(link->JVClose(), 0);
  return out;
}

TEST(BridgeBitness, EachRegistrationIsReachedByItselfAndTheBitnessThatWorkedIsTriedFirst) {
  TAVOLEN_REQUIRE_WINE32();
  std::string why;
  struct Case {
    Registration registration;
    int remembered;
    unsigned bits;
    int starts;
    int told;
  };
  const Case cases[] = {
      // 64-bit first: JV-Link 5.0.0 is reached at once.
      {Registration::Only64, 0, 64, 1, 0},
      // The 64-bit bridge reads the class in the 32-bit view and hands over to the 32-bit one,
      // which is remembered, and then started first.
      {Registration::Only32, 0, 32, 2, 32},
      {Registration::Only32, 32, 32, 1, 0},
      // An update to 5.0.0 after 32 was remembered.
      {Registration::Only64, 32, 64, 2, 64},
      {Registration::Both, 0, 64, 1, 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    ASSERT_TRUE(testing::RegisterStandIn(c.registration, why)) << why;
    const Reached r = Reach("case" + std::to_string(n++), c.remembered);
    ASSERT_EQ(r.bits, c.bits) << SjisToUtf8(r.why);
    EXPECT_EQ(r.starts, c.starts);
    EXPECT_EQ(r.told, c.told);
    EXPECT_GT(r.firstRecord, 0);
    EXPECT_NE(SjisToUtf8(r.described).find(std::to_string(c.bits) + "ビット"), std::string::npos)
        << SjisToUtf8(r.described);
    // The release the component states, by its bitness (the stand-in's defaults).
    EXPECT_NE(SjisToUtf8(r.described).find(c.bits == 64 ? "5.0.0" : "4.9.0"), std::string::npos)
        << SjisToUtf8(r.described);
  }

  // Registered nowhere: both bridges are tried, and the start fails as a missing JV-Link.
  ASSERT_TRUE(testing::RegisterStandIn(Registration::None, why)) << why;
  const Reached none = Reach("none", 0);
  ASSERT_TRUE(testing::RegisterStandIn(Registration::Both, why)) << why;  // for the other tests
  EXPECT_EQ(none.bits, 0u);
  EXPECT_NE(SjisToUtf8(none.why).find("JV-Linkを作成できませんでした"), std::string::npos)
      << SjisToUtf8(none.why);
}

// 32 remembered, then JV-Link 5.0.0 installed: the class shows in both registry views but only
// its 64-bit server exists. Whatever the 32-bit bridge meets (it cannot create the component
// under 32-bit Wine; it cannot start at all without it), the 64-bit one is tried, reached and
// remembered, and the error log says what failed first. Needs only 64-bit Wine.
TEST(BridgeBitness, ThirtyTwoRememberedReachesA64BitOnlyJVLinkByItself) {
  TAVOLEN_REQUIRE_WINE();
  if (testing::BuiltBridge(32).empty()) {
    if (testing::WineRequired()) FAIL() << "the 32-bit bridge was not built";
    GTEST_SKIP() << "the 32-bit bridge was not built";
  }
  std::string why;
  ASSERT_TRUE(testing::RegisterStandIn(Registration::Only64ServerBothViews, why)) << why;
  const Reached r = Reach("only64-both-views", 32);
  ASSERT_TRUE(testing::RegisterStandIn(Registration::Both, why)) << why;  // for the other tests
  ASSERT_EQ(r.bits, 64u) << SjisToUtf8(r.why);
  EXPECT_EQ(r.starts, 2);
  EXPECT_EQ(r.told, 64);
  EXPECT_GT(r.firstRecord, 0);
  const std::string described = SjisToUtf8(r.described);
  EXPECT_NE(described.find("JV-Link 5.0.0（ブリッジ 64ビット"), std::string::npos) << described;
  const std::string logged = SjisToUtf8(r.logged);
  EXPECT_EQ(logged.rfind(
                "JV-Linkを64ビットのブリッジで作成しました（作成できなかったもの：32ビット：", 0),
            0u)
      << logged;
  std::cout << "32 remembered, 5.0.0 installed: " << logged << "\n";
}

}  // namespace
}  // namespace tavolen
