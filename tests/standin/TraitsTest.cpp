#include <gtest/gtest.h>

#include "standin/Traits.h"

namespace tavolen {
namespace {

TEST(StandInTraits, TheFileSwitchesEachTraitAndIgnoresWhatItCannotRead) {
  EXPECT_EQ(ParseTraits(""), StandInTraits{});
  const StandInTraits t = ParseTraits(
      "# the component of the report\r\nsize cut\r\ndownloading 3\r\nupdate box 45  # s\r\n"
      "update box -2\r\nsize sideways\r\ndownloading x\r\n");
  EXPECT_TRUE(t.sizeBack);  // cutting writes the length back too
  EXPECT_TRUE(t.sizeCut);
  EXPECT_EQ(t.downloadingReads, 3);
  EXPECT_EQ(t.updateBoxSeconds, 45);
  const StandInTraits back = ParseTraits("size back\n");
  EXPECT_TRUE(back.sizeBack);
  EXPECT_FALSE(back.sizeCut);
  EXPECT_EQ(back.updateBoxSeconds, -1);
  // The version the component states, or none at all.
  EXPECT_EQ(ParseTraits("version 0492\n").version, "0492");
  EXPECT_FALSE(ParseTraits("version 0492\n").noVersion);
  EXPECT_TRUE(ParseTraits("version none\n").noVersion);
  EXPECT_EQ(ParseTraits("version\n"), StandInTraits{});
}

// A record is cut to size - 1 bytes, never through a character.
TEST(StandInTraits, ACutRecordEndsOnAWholeCharacter) {
  const SjisString record = "RA" + Sj("中山記念") + "\r\n";  // 2 + 8 + 2 bytes
  EXPECT_EQ(CutRecord(record, 13), record);
  EXPECT_EQ(CutRecord(record, 12), "RA" + Sj("中山記念") + "\r");
  EXPECT_EQ(CutRecord(record, 6), "RA" + Sj("中"));
  EXPECT_EQ(CutRecord(record, 5), "RA" + Sj("中"));  // the next character would be cut in two
  EXPECT_EQ(CutRecord(record, 1), "");
  EXPECT_EQ(CutRecord(record, 0), "");
}

}  // namespace
}  // namespace tavolen
