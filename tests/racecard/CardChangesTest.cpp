// The day's changes of one race, as the race card marks them, read from the change files.
#include "racecard/CardChanges.h"

#include <gtest/gtest.h>

#include "jvlink/ChangeFiles.h"
#include "jvlink/TextLines.h"
#include "tests/support/Files.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

// Race key 2005010806010101: 中山, 1回 1日, race 1 (the race of RaceSpec's defaults).
const std::string kRace1 = "2005010806010101";
const std::string kRace2 = "2005010806010102";

// A change-file line: the record without its CR LF.
std::string L(const std::string& record) {
  return record.substr(0, record.size() - 2);
}

TEST(CardChanges, OnlyTheRacesOwnRecordsCountAndTheLatestAnnouncementWins) {
  DayChangeLines day;
  day.scratches = {L(ChangeAv(kRace1, "01081000", "03", '1')),
                   L(ChangeAv(kRace1, "01081005", "07", '2')),
                   L(ChangeAv(kRace2, "01081000", "04", '1'))};
  // Two changes of horse 5, the later one listed first; one of another race.
  day.jockeys = {L(ChangeJc(kRace1, "01081130", "05", Sj("新騎手"))),
                 L(ChangeJc(kRace1, "01081100", "05", Sj("旧騎手"))),
                 L(ChangeJc(kRace2, "01081200", "06", Sj("他騎手")))};
  day.postTimes = {L(ChangeTc(kRace1, "01080900", "1005")),
                   L(ChangeTc(kRace2, "01080900", "1100"))};
  day.courses = {L(ChangeCc(kRace1, "01080800", "1800", "24"))};

  const RaceChanges c = ChangesOfRace(kRace1, day);
  EXPECT_TRUE(c.Any());
  EXPECT_EQ(c.runners[2].scratch, Scratch::Scratched);
  EXPECT_EQ(c.runners[6].scratch, Scratch::Excluded);
  EXPECT_EQ(c.runners[3].scratch, Scratch::None);  // horse 4 is scratched in race 2 only
  EXPECT_EQ(c.runners[4].newJockey, Sj("新騎手"));
  EXPECT_TRUE(c.runners[5].newJockey.empty());
  EXPECT_EQ(c.newPostTime, "1005");
  EXPECT_EQ(c.newDistance, "1800");
  EXPECT_EQ(c.newTrackCode, "24");

  const RaceChanges other = ChangesOfRace(kRace2, day);
  EXPECT_EQ(other.runners[3].scratch, Scratch::Scratched);
  EXPECT_EQ(other.runners[5].newJockey, Sj("他騎手"));
  EXPECT_EQ(other.newPostTime, "1100");
  EXPECT_TRUE(other.newDistance.empty());

  EXPECT_FALSE(ChangesOfRace("2005010806010103", day).Any());
  EXPECT_FALSE(ChangesOfRace("", day).Any());
}

TEST(CardChanges, EachRunnerKeepsItsLatestAnnouncementOfEachKind) {
  DayChangeLines day;
  // Horse 3: excluded at 10:05; an older scratch listed after it changes nothing. Horse 8: two
  // announcements of the same minute, the later line wins.
  day.scratches = {
      L(ChangeAv(kRace1, "01081005", "03", '2')), L(ChangeAv(kRace1, "01081000", "03", '1')),
      L(ChangeAv(kRace1, "01081000", "08", '1')), L(ChangeAv(kRace1, "01081000", "08", '2'))};
  // Older than horse 3's exclusion, yet a jockey change is weighed only against jockey changes.
  day.jockeys = {L(ChangeJc(kRace1, "01080900", "03", Sj("騎手甲"))),
                 L(ChangeJc(kRace1, "01080900", "08", Sj("騎手乙"))),
                 L(ChangeJc(kRace1, "01080900", "08", Sj("騎手丙")))};
  const RaceChanges c = ChangesOfRace(kRace1, day);
  EXPECT_EQ(c.runners[2].scratch, Scratch::Excluded);
  EXPECT_EQ(c.runners[7].scratch, Scratch::Excluded);
  EXPECT_EQ(c.runners[2].newJockey, Sj("騎手甲"));
  EXPECT_EQ(c.runners[7].newJockey, Sj("騎手丙"));
}

TEST(CardChanges, BrokenRecordsMarkNothing) {
  DayChangeLines day;
  day.scratches = {L(ChangeAv(kRace1, "01081000", "00", '1')),
                   L(ChangeAv(kRace1, "01081000", "19", '1')),
                   L(ChangeAv(kRace1, "01081000", "  ", '1')), "AV", ""};
  day.jockeys = {L(ChangeJc(kRace1, "01081000", "99", Sj("騎手"))), kRace1};
  day.postTimes = {L(ChangeTc(kRace1, "01081000", "  "))};
  day.courses = {L(ChangeCc(kRace1, "01081000", "    ", "  "))};
  EXPECT_FALSE(ChangesOfRace(kRace1, day).Any());
  // A jockey name cut inside a double-byte character shows without the cut-off lead byte.
  day.jockeys = {L(ChangeJc(kRace1, "01081000", "01", Sj("ああああ") + "\x82"))};
  EXPECT_EQ(ChangesOfRace(kRace1, day).runners[0].newJockey, Sj("ああああ"));
  day.jockeys = {L(ChangeJc(kRace1, "01081000", "01", Sj("あああ") + "A" + Sj("い")))};
  EXPECT_EQ(ChangesOfRace(kRace1, day).runners[0].newJockey, Sj("あああ") + "A");
}

TEST(CardChanges, ReadsTheChangeFilesBesideTheDayFile) {
  const fs::path dir = TempDir("card-changes");
  const fs::path dayFile = dir / RaceFileName("20050108", ".jvRA");
  EXPECT_FALSE(ChangesOfRace(kRace1, ReadDayChangeLines(dayFile)).Any());  // no change files
  for (const std::string& record :
       {ChangeAv(kRace1, "01081000", "03", '1'), ChangeJc(kRace1, "01081000", "05", Sj("新騎手")),
        ChangeTc(kRace1, "01081000", "1005"), ChangeCc(kRace1, "01081000", "1800", "24")})
    ASSERT_TRUE(StoreChangeRecord(dir, record).stored());
  const RaceChanges c = ChangesOfRace(kRace1, ReadDayChangeLines(dayFile));
  EXPECT_EQ(c.runners[2].scratch, Scratch::Scratched);
  EXPECT_EQ(c.runners[4].newJockey, Sj("新騎手"));
  EXPECT_EQ(c.newPostTime, "1005");
  EXPECT_EQ(c.newDistance, "1800");
  // Another day's files are not this day's.
  EXPECT_FALSE(
      ChangesOfRace(kRace1, ReadDayChangeLines(dir / RaceFileName("20050109", ".jvRA"))).Any());
  EXPECT_FALSE(ChangesOfRace(kRace1, ReadDayChangeLines({})).Any());
}

TEST(CardChanges, HeaderShowsTheNewPostTimeAndCourse) {
  std::array<SjisString, kHeaderLabels> labels;
  labels[6] = Sj("芝右");
  labels[7] = "1200m";
  labels[8] = Sj("09時50分発走");
  labels[9] = Sj("16頭");

  ChangedHeader none = HeaderWithChanges(labels, RaceChanges{});
  EXPECT_EQ(none.labels, labels);
  EXPECT_EQ(none.changed, (std::array<bool, kHeaderLabels>{}));

  RaceChanges c;
  c.newPostTime = "1005";
  c.newDistance = "1800";
  c.newTrackCode = "24";
  ChangedHeader h = HeaderWithChanges(labels, c);
  EXPECT_EQ(h.labels[6], Sj("ﾀﾞ右"));
  EXPECT_EQ(h.labels[7], "1800m");
  EXPECT_EQ(h.labels[8], Sj("10時05分発走"));
  EXPECT_EQ(h.labels[9], Sj("16頭"));
  EXPECT_TRUE(h.changed[6] && h.changed[7] && h.changed[8]);
  EXPECT_FALSE(h.changed[9]);

  // A course change that keeps the distance changes the track only.
  c.newPostTime.clear();
  c.newDistance = "1200";
  h = HeaderWithChanges(labels, c);
  EXPECT_TRUE(h.changed[6]);
  EXPECT_FALSE(h.changed[7] || h.changed[8]);
}

}  // namespace
}  // namespace tavolen
