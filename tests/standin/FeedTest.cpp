#include <gtest/gtest.h>

#include "standin/Faults.h"
#include "standin/Feed.h"
#include "tests/support/Files.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using testsupport::Av;
using testsupport::Ra;
using testsupport::Se;
using testsupport::We;

TEST(FeedFiles, StampIsTheFirstValidRunOfFourteenDigits) {
  EXPECT_EQ(FeedStampFromName("20240105170000-RA-20240106-06.jvd"), "20240105170000");
  EXPECT_EQ(FeedStampFromName("RA_20240106_20240105093000.jvd"), "20240105093000");
  EXPECT_EQ(FeedStampFromName("2024010517000.jvd"), "");    // 13 digits
  EXPECT_EQ(FeedStampFromName("202401051700001.jvd"), "");  // 15 digits
  EXPECT_EQ(FeedStampFromName("20241305170000-20240105170000.jvd"), "20240105170000");
  EXPECT_EQ(FeedStampFromName("race.jvd"), "");
}

TEST(FeedFiles, RecordsAreLinesWithCrLfAndBlankLinesAreSkipped) {
  EXPECT_EQ(SplitRecords("RA1\r\nSE2\n\n   \r\nWE3"),
            (std::vector<SjisString>{"RA1\r\n", "SE2\r\n", "WE3\r\n"}));
  EXPECT_TRUE(SplitRecords("").empty());
}

TEST(FeedFiles, AnyChangeRecordMakesAChangeFile) {
  EXPECT_EQ(ClassifyRecords({Ra("2024010606010101"), Se("2024010606010101", "01")}),
            FeedKind::Race);
  EXPECT_EQ(ClassifyRecords({Ra("2024010606010101"), Av("2024010606010101", "01061000", "03")}),
            FeedKind::Change);
  EXPECT_EQ(ClassifyRecords({"UM1\r\n"}), FeedKind::Other);
}

TEST(FeedFiles, ListingSortsByStampThenNameAndSkipsOtherFiles) {
  const fs::path dir = testsupport::TempDir("standin/listing");
  ASSERT_TRUE(testsupport::WriteFileBytes(dir / "b-20240102000000.jvd", Ra("2024010606010101")));
  ASSERT_TRUE(testsupport::WriteFileBytes(dir / "a-20240102000000.JVD", Ra("2024010606010102")));
  ASSERT_TRUE(testsupport::WriteFileBytes(dir / "c-20240101000000.jvd", Ra("2024010606010103")));
  ASSERT_TRUE(testsupport::WriteFileBytes(dir / "faults.txt", "JVOpen -504\n"));
  ASSERT_TRUE(testsupport::WriteFileBytes(dir / "nostamp.jvd", Ra("2024010606010104")));
  fs::create_directory(dir / "folder.jvd");
  std::vector<std::string> names;
  for (const FeedEntry& e : ListFeed(dir)) names.push_back(e.name);
  // The file without a stamp in its name carries its modification time, which is today.
  EXPECT_EQ(names, (std::vector<std::string>{"c-20240101000000.jvd", "a-20240102000000.JVD",
                                             "b-20240102000000.jvd", "nostamp.jvd"}));
}

TEST(Announcement, StampPositionsAndClock) {
  const std::string we = We("20240106060101", "01061030", '2');
  const std::string av = Av("2024010606010105", "01061031", "03");
  EXPECT_EQ(AnnouncementStamp(we), "01061030");
  EXPECT_EQ(AnnouncementStamp(av), "01061031");
  EXPECT_EQ(AnnouncementStamp(Ra("2024010606010101")), "");
  const LocalDateTime at1030{2024, 1, 6, 10, 30, 59};
  EXPECT_TRUE(AnnouncedBy(we, at1030));
  EXPECT_FALSE(AnnouncedBy(av, at1030));
  EXPECT_TRUE(AnnouncedBy(av, at1030.AddSeconds(60)));
  // The initial state is there from the start; a past day is announced in full.
  EXPECT_TRUE(AnnouncedBy(We("20240106060101", "00000000", '1'), {2024, 1, 1, 0, 0, 0}));
  EXPECT_TRUE(AnnouncedBy(av, {2024, 2, 1, 0, 0, 0}));
  EXPECT_FALSE(AnnouncedBy(av, {2023, 12, 31, 23, 59, 0}));
  // A stamp of 31 December for a race on 2 January belongs to the year before.
  const std::string early = Av("2025010206010101", "12311500", "01");
  EXPECT_TRUE(AnnouncedBy(early, {2025, 1, 1, 9, 0, 0}));
  EXPECT_FALSE(AnnouncedBy(early, {2024, 12, 31, 14, 59, 0}));
}

TEST(FaultFile, ReadsOperationsCodesAndConditions) {
  auto rules = ParseFaults(
      "# faults\r\nJVOpen -504\nJVRead -402 after 10\nJVStatus -502 after 3 times 2\n"
      "JVOpen 5\nJVFoo -1\nJVRead -402 after x\nJVClose -1 before 2\nJVClose\n  JVRTOpen  -301  "
      "\n");
  ASSERT_EQ(rules.size(), 4u);
  EXPECT_EQ(rules[0].operation, "JVOpen");
  EXPECT_EQ(rules[0].code, -504);
  EXPECT_EQ(rules[1].after, 10);
  EXPECT_EQ(rules[2].after, 3);
  EXPECT_EQ(rules[2].times, 2);
  EXPECT_EQ(rules[3].operation, "JVRTOpen");
  EXPECT_EQ(rules[3].code, -301);
}

TEST(FaultFile, CountsCallsSinceTheFileChanged) {
  const fs::path dir = testsupport::TempDir("standin/faultplan");
  const fs::path file = dir / "faults.txt";
  FaultPlan plan;
  plan.Refresh(file);
  EXPECT_EQ(plan.OnCall("JVOpen"), 0);
  ASSERT_TRUE(testsupport::WriteFileBytes(file, "JVOpen -504 after 1 times 1\n"));
  plan.Refresh(file);
  EXPECT_EQ(plan.OnCall("JVOpen"), 0);
  EXPECT_EQ(plan.OnCall("JVOpen"), -504);
  EXPECT_EQ(plan.OnCall("JVOpen"), 0);
  plan.Refresh(file);  // unchanged: the fault stays spent
  EXPECT_EQ(plan.OnCall("JVOpen"), 0);
  ASSERT_TRUE(testsupport::WriteFileBytes(
      file, "JVOpen -504 after 1 times 1\nJVRead -402 after 2 times 1\n"));
  plan.Refresh(file);
  EXPECT_EQ(plan.OnCall("JVOpen"), 0);
  EXPECT_EQ(plan.OnCall("JVOpen"), -504);
  EXPECT_EQ(plan.OnSessionCall("JVRead", 1), 0);
  EXPECT_EQ(plan.OnSessionCall("JVRead", 2), -402);
  EXPECT_EQ(plan.OnSessionCall("JVRead", 2), 0);
  plan.StartSession();
  EXPECT_EQ(plan.OnSessionCall("JVRead", 5), -402);
  fs::remove(file);
  plan.Refresh(file);
  EXPECT_EQ(plan.OnCall("JVOpen"), 0);
  EXPECT_EQ(plan.OnCall("JVOpen"), 0);
}

}  // namespace
}  // namespace tavolen
