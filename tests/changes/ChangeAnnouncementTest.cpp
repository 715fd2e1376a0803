// Which new changes ring and what the notification says: the favourites' lines lead within the
// balloon's 255 bytes, a kind switched off or a change not about a favourite under the
// "favourites only" option makes no notification, and without favourites and with every kind
// on the announcement is the evaluation's own.
#include "changes/ChangeAnnouncement.h"

#include <gtest/gtest.h>

#include "tests/changes/ChangeDay.h"
#include "tests/support/Files.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

class Announcing : public ChangeDayTest {
 protected:
  Announcing() : ChangeDayTest("announcing") {}
  void SetUp() override {
    ChangeDayTest::SetUp();
    // Race 1 of 中山: horse 5 is the favourite.
    RaceSpec race;
    race.date = "20240105";
    RunnerSpec favourite;
    favourite.horse = 5;
    favourite.registration = "2019104567";
    favourite.name = Sj("アオノブラック");
    RunnerSpec other;
    other.horse = 7;
    other.registration = "2019100007";
    runners_ = {SeRecord(race, favourite), SeRecord(race, other)};
    list_.Add(FavouriteKind::Horse, "2019104567", Sj("アオノブラック"));
    // Every kind of change, the favourite's scratch not the newest.
    Write(".jvWE", WeRecord(kNakayama, "1", "20240104", "00000000", '1', '1', '1', '1') +
                       WeRecord(kNakayama, "2", "20240105", "01050940", '2', '2', '1', '1'));
    Write(".jvAV", AvRecord(kNakayama, "01", "01050930", "05", "アオノブラック") +
                       AvRecord(kNakayama, "02", "01050945", "07", "ソノホカ"));
    Write(".jvJC",
          JcRecord(kNakayama, "03", "01050950", "02", "ベツノウマ", "570", "大川誠", "赤井健太"));
    Write(".jvTC", TcRecord(kNakayama, "04", "01050955", "1230", "1225"));
    Write(".jvCC", CcRecord(kNakayama, "05", "01051000", "1400", "23", "1600", "23"));
  }
  FavouriteList list_;
  std::vector<std::string> runners_;
};

TEST_F(Announcing, WithoutFavouritesAndEveryKindOnTheAnnouncementIsTheEvaluations) {
  const ChangeEvaluation ev = EvaluateChanges(raceFile_);
  ASSERT_TRUE(ev.hasNews());
  const Announcement a = Announce(ev.newChanges, NotifyChoice{});
  EXPECT_EQ(a.text, ev.balloonText);
  EXPECT_EQ(a.details, NewChangeDetails(ev.newChanges));
  EXPECT_FALSE(a.favourite);
  // Favourites that run on no race of these changes change nothing either.
  FavouriteList elsewhere;
  elsewhere.Add(FavouriteKind::Horse, "2000000000", "X");
  const FavouriteDay none(elsewhere, runners_);
  const ChangeEvaluation same = EvaluateChanges(raceFile_, &none);
  EXPECT_EQ(same.lists, ev.lists);
  EXPECT_EQ(same.stamps, ev.stamps);
  EXPECT_EQ(same.balloonText, ev.balloonText);
  EXPECT_EQ(Announce(same.newChanges, NotifyChoice{}).text, ev.balloonText);
}

TEST_F(Announcing, TheFavouritesScratchLeadsTheNotificationAndItsDetails) {
  const FavouriteDay day(list_, runners_);
  const ChangeEvaluation ev = EvaluateChanges(raceFile_, &day);
  // The lists and the evaluation's own text stay as they are; the marks say which line.
  EXPECT_EQ(ev.lists, EvaluateChanges(raceFile_).lists);
  EXPECT_EQ(ev.favouriteLines[1], (std::vector<bool>{true, false}));
  EXPECT_EQ(ev.favouriteLines[3], (std::vector<bool>{false}));  // race 4: no favourite runs
  const Announcement a = Announce(ev.newChanges, NotifyChoice{});
  EXPECT_TRUE(a.favourite);
  EXPECT_EQ(a.text, Sj("★アオノブラック 中山1R 出走取消\r\n") + ev.balloonText);
  EXPECT_LE(a.text.size(), kNotificationTextBytes);
  ASSERT_FALSE(a.details.empty());
  EXPECT_EQ(a.details.front(), Sj("★") + ev.lists[1][0]);
  EXPECT_EQ(a.details.size(), ev.newChanges.size());
}

TEST_F(Announcing, KindsSwitchedOffAndFavouritesOnlyRingNothingElse) {
  const FavouriteDay day(list_, runners_);
  const ChangeEvaluation ev = EvaluateChanges(raceFile_, &day);
  NotifyChoice noScratches;
  noScratches.kinds[1] = false;
  const Announcement a = Announce(ev.newChanges, noScratches);
  EXPECT_FALSE(a.favourite);
  EXPECT_EQ(a.text.find(Sj("[取消除外]")), std::string::npos);
  EXPECT_NE(a.text.find(Sj("[騎手変更]")), std::string::npos);
  for (const SjisString& line : a.details) EXPECT_EQ(line.find(Sj("出走取消")), std::string::npos);

  NotifyChoice onlyFavourites;
  onlyFavourites.favouritesOnly = true;
  const Announcement f = Announce(ev.newChanges, onlyFavourites);
  EXPECT_EQ(f.text, Sj("★アオノブラック 中山1R 出走取消\r\n本日の開催で変更情報が発生しました。\r\n"
                       "[取消除外]更新時刻：01/05 09:30\r\n"));
  EXPECT_EQ(f.details, (Lines{Sj("★") + ev.lists[1][0]}));

  NotifyChoice nothing;
  nothing.kinds = {false, false, false, false, false};
  EXPECT_TRUE(Announce(ev.newChanges, nothing).empty());
  // Favourites only, and the favourite's kind off: nothing rings.
  onlyFavourites.kinds[1] = false;
  EXPECT_TRUE(Announce(ev.newChanges, onlyFavourites).empty());
}

TEST_F(Announcing, FavouriteLinesStayWithinTheBalloonsLimit) {
  // Five categories of news and three favourites with the longest names.
  std::vector<NewChange> changes;
  const std::string longName = Sj("ロンゲストネームホース");  // 22 bytes, shown as 18
  for (int i = 0; i < 3; ++i)
    changes.push_back({ChangeType::AV, "01050930", "line", longName,
                       AvRecord(kNakayama, "12", "01050930", "18", "x", '2')});
  changes.push_back({ChangeType::WE, "01050930", "we", {}, {}});
  changes.push_back({ChangeType::JC, "01050930", "jc", {}, {}});
  changes.push_back({ChangeType::TC, "01050930", "tc", {}, {}});
  changes.push_back({ChangeType::CC, "01050930", "cc", {}, {}});
  const Announcement a = Announce(changes, NotifyChoice{});
  EXPECT_LE(a.text.size(), kNotificationTextBytes);
  EXPECT_EQ(a.text.rfind(Sj("★"), 0), 0u);                      // a favourite leads
  EXPECT_NE(a.text.find(Sj("[ｺｰｽ 変更]")), std::string::npos);  // every category is said
  const SjisString first = a.text.substr(0, a.text.find("\r\n"));
  EXPECT_EQ(first, Sj("★ロンゲストネームホ 中山12R 競争除外"));
  EXPECT_EQ(a.text.find(Sj("★"), 2), std::string::npos);  // a second would pass the limit
}

}  // namespace
}  // namespace tavolen
