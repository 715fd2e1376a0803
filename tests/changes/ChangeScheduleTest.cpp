#include "changes/ChangeSchedule.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/Files.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

TEST(Schedule, TicksFetchStrictlyAfterOneHourAndOneIntervalBeforeTheFirstRace) {
  EXPECT_EQ(CheckStart("1005", 5), "0900");
  EXPECT_EQ(CheckStart("0950", 10), "0840");
  EXPECT_EQ(DecideTick("0900", "1005", 5, false, false), TickAction::Wait);
  EXPECT_EQ(DecideTick("0859", "1005", 5, false, false), TickAction::Wait);
  EXPECT_EQ(DecideTick("0010", "1005", 5, false, false), TickAction::Wait);
  EXPECT_EQ(DecideTick("0903", "1005", 5, false, false), TickAction::Fetch);
  EXPECT_EQ(DecideTick("1730", "1005", 5, false, false), TickAction::Fetch);
  EXPECT_EQ(DecideTick("0841", "0950", 10, false, false), TickAction::Fetch);
  EXPECT_EQ(DecideTick("0840", "0950", 10, false, false), TickAction::Wait);
}

TEST(Schedule, ABlankPostTimeFetchesOnEveryTick) {
  EXPECT_EQ(CheckStart("    ", 5), "");
  EXPECT_EQ(DecideTick("0000", "    ", 5, false, false), TickAction::Fetch);
  EXPECT_EQ(DecideTick("0010", FirstPostTime({}), 5, false, false), TickAction::Fetch);
}

TEST(Schedule, ATickWhileASessionIsOpenIsSkippedAndTheNextOneChecksAgain) {
  EXPECT_EQ(DecideTick("0903", "1005", 5, true, false), TickAction::SkipFetchRunning);
  EXPECT_EQ(DecideTick("0903", "1005", 5, false, true), TickAction::SkipAcquisitionOpen);
  EXPECT_EQ(DecideTick("0908", "1005", 5, false, false), TickAction::Fetch);
  // Before the start nothing is skipped: there was nothing to do.
  EXPECT_EQ(DecideTick("0800", "1005", 5, true, true), TickAction::Wait);
}

TEST(Schedule, TheFirstPostTimeComesFromTheFirstRace) {
  const Day day{"20240105", "06", "01", "01"};
  std::vector<std::string> races{RaRecord(day, "01", "0950"), RaRecord(day, "02", "0920")};
  EXPECT_EQ(FirstPostTime(races), "0950");
}

TEST(IntervalDialog, EveryTextIsBroughtIntoTwoToFiftyNine) {
  EXPECT_EQ(CheckIntervalFromText("7"), 7);
  EXPECT_EQ(CheckIntervalFromText("07"), 7);
  EXPECT_EQ(CheckIntervalFromText("59"), 59);
  EXPECT_EQ(CheckIntervalFromText("1"), 2);
  EXPECT_EQ(CheckIntervalFromText("0"), 2);
  EXPECT_EQ(CheckIntervalFromText("-5"), 2);
  EXPECT_EQ(CheckIntervalFromText("+3"), 3);
  EXPECT_EQ(CheckIntervalFromText("99"), 59);
  EXPECT_EQ(CheckIntervalFromText("99999999999999"), 59);
  EXPECT_EQ(CheckIntervalFromText(""), 2);
  EXPECT_EQ(CheckIntervalFromText("-"), 2);
  EXPECT_EQ(CheckIntervalFromText("5a"), 2);
  EXPECT_EQ(ClampCheckInterval(0), 2);
  EXPECT_EQ(ClampCheckInterval(60), 59);
  EXPECT_EQ(ClampCheckInterval(5), 5);
}

}  // namespace
}  // namespace tavolen
