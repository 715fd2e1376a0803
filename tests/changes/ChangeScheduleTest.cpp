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
  const std::pair<const char*, int> cases[] = {{"7", 7},  {"07", 7},  {"59", 59},
                                               {"1", 2},  {"0", 2},   {"-5", 2},
                                               {"+3", 3}, {"99", 59}, {"99999999999999", 59},
                                               {"", 2},   {"-", 2},   {"5a", 2}};
  for (const auto& [text, minutes] : cases) EXPECT_EQ(CheckIntervalFromText(text), minutes) << text;
  for (const auto& [stored, minutes] : {std::pair{0, 2}, {60, 59}, {5, 5}})
    EXPECT_EQ(ClampCheckInterval(stored), minutes) << stored;
}

}  // namespace
}  // namespace tavolen
