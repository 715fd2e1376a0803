// The favourites list and its file, and which runners, races and changes of a day concern a
// favourite.
#include "base/Favourites.h"

#include <gtest/gtest.h>

#include "tests/support/Files.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

const Day kDay{"20240105", "06", "01", "01"};

// A runner of race 1 or 2 of kDay with its registration number and jockey.
std::string Runner(int race, int horse, const std::string& registration, const char* nameUtf8,
                   const std::string& jockeyCode, const char* jockeyUtf8) {
  RaceSpec r;
  r.date = kDay.date;
  r.race = race;
  RunnerSpec s;
  s.horse = horse;
  s.registration = registration;
  s.name = Sj(nameUtf8);
  s.jockey = Sj(jockeyUtf8);
  std::string se = SeRecord(r, s);
  Put(se, 297, jockeyCode);
  return se;
}

TEST(Favourites, TheFileIsWrittenInCodePage932WithCrLfAndReadBack) {
  FavouriteList list;
  EXPECT_TRUE(list.Add(FavouriteKind::Horse, "2019104567", Sj("アオノブラック　　　")));
  EXPECT_TRUE(list.Add(FavouriteKind::Jockey, "01126", Sj("石田一  ")));
  EXPECT_FALSE(list.Add(FavouriteKind::Horse, "2019104567", Sj("別名")));  // listed already
  EXPECT_FALSE(list.Add(FavouriteKind::Horse, "201910456", "short"));      // not 10 digits
  EXPECT_FALSE(list.Add(FavouriteKind::Jockey, "0112A", "x"));
  const std::string bytes = FavouritesBytes(list);
  EXPECT_EQ(bytes, "Tavolen favourites 1\r\nH\t2019104567\t" + Sj("アオノブラック") +
                       "\r\nJ\t01126\t" + Sj("石田一") + "\r\n");
  const auto back = ParseFavourites(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->items(), list.items());

  // A name with a tab or a line break keeps to its field and reads back the same.
  FavouriteList odd;
  odd.Add(FavouriteKind::Horse, "2019100001", "A\tB\r\n\t");
  EXPECT_EQ(odd.items()[0].name, "A B");
  EXPECT_EQ(ParseFavourites(FavouritesBytes(odd))->items(), odd.items());

  // Toggle removes a listed favourite and adds it again.
  EXPECT_FALSE(list.Toggle(FavouriteKind::Jockey, "01126", Sj("石田一")));
  EXPECT_FALSE(list.Contains(FavouriteKind::Jockey, "01126"));
  EXPECT_TRUE(list.Toggle(FavouriteKind::Jockey, "01126", Sj("石田一")));
  EXPECT_TRUE(list.Contains(FavouriteKind::Jockey, "01126"));
}

TEST(Favourites, ADamagedFileIsNoList) {
  const std::string good = "Tavolen favourites 1\r\nH\t2019104567\tA\r\n";
  EXPECT_TRUE(ParseFavourites(good));
  EXPECT_TRUE(ParseFavourites("Tavolen favourites 1\r\n"));  // an empty list
  for (const std::string& bad :
       {std::string(), std::string("H\t2019104567\tA\r\n"), good + "X\t2019104567\tB\r\n",
        good + "H\t20191045\tB\r\n", good + "J\t0112\tB\r\n", good + "H 2019104567 B\r\n",
        std::string("Tavolen favourites 2\r\n")})
    EXPECT_FALSE(ParseFavourites(bad)) << bad;
}

TEST(Favourites, ADamagedFileIsKeptAsideAndTheListStartsEmpty) {
  const fs::path dir = TempDir("favourites-store");
  const fs::path file = dir / kFavouritesFileName;
  const LocalDateTime now{2024, 1, 5, 9, 3, 7};
  FavouritesStore store(file);
  EXPECT_TRUE(store.Load(now).empty());  // no file: nothing to say
  EXPECT_TRUE(store.list().empty());

  store.list().Add(FavouriteKind::Horse, "2019104567", "A");
  ASSERT_TRUE(store.Save());
  FavouritesStore again(file);
  EXPECT_TRUE(again.Load(now).empty());
  EXPECT_EQ(again.list().items(), store.list().items());

  ASSERT_TRUE(WriteFileBytes(file, "garbage\r\n"));
  const SjisString said = again.Load(now);
  EXPECT_NE(said.find(Sj("壊れている")), std::string::npos) << SjisToUtf8(said);
  EXPECT_TRUE(again.list().empty());
  EXPECT_FALSE(fs::exists(file));
  const fs::path aside = dir / "Favourites-damaged-20240105090307.txt";
  EXPECT_EQ(ReadFileBytes(aside), "garbage\r\n");
  EXPECT_NE(said.find(PathText(aside.filename())), std::string::npos);
  // A second damaged file of the same second is not put over the first.
  ASSERT_TRUE(WriteFileBytes(file, "more garbage"));
  again.Load(now);
  EXPECT_EQ(ReadFileBytes(aside), "garbage\r\n");
  EXPECT_EQ(ReadFileBytes(dir / "Favourites-damaged-20240105090307-2.txt"), "more garbage");
  // The program goes on: a new list is saved in the file's place.
  again.list().Add(FavouriteKind::Jockey, "01126", "B");
  ASSERT_TRUE(again.Save());
  EXPECT_EQ(ReadFileBytes(file), "Tavolen favourites 1\r\nJ\t01126\tB\r\n");
}

class FavouriteDayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list_.Add(FavouriteKind::Horse, "2019104567", Sj("アオノブラック"));
    list_.Add(FavouriteKind::Jockey, "01126", Sj("石田一"));
    runners_ = {Runner(1, 5, "2019104567", "アオノブラック", "05001", "赤井健"),
                Runner(1, 6, "2019100001", "ベツノウマ", "05002", "上野翔"),
                Runner(2, 3, "2019100002", "ソノホカ", "01126", "石田一"),
                Runner(3, 1, "2019100003", "ダレモイナイ", "05003", "大川誠")};
  }
  FavouriteList list_;
  std::vector<std::string> runners_;
};

TEST_F(FavouriteDayTest, RacesAndChangesAboutAFavourite) {
  const FavouriteDay day(list_, runners_);
  EXPECT_TRUE(day.RaceHasFavourite(kDay.Key() + "01"));   // the horse
  EXPECT_TRUE(day.RaceHasFavourite(kDay.Key() + "02"));   // the jockey
  EXPECT_FALSE(day.RaceHasFavourite(kDay.Key() + "03"));  // neither
  EXPECT_FALSE(day.RaceHasFavourite(kDay.Key() + "04"));  // no runners

  // Scratches: the favourite horse by its registration number, even under another name.
  EXPECT_EQ(day.Concerned(ChangeType::AV, AvRecord(kDay, "01", "01050930", "05", "アオノブラック")),
            Sj("アオノブラック"));
  EXPECT_EQ(day.Concerned(ChangeType::AV, AvRecord(kDay, "01", "01050930", "05", "シンメイ")),
            Sj("シンメイ"));
  EXPECT_EQ(day.Concerned(ChangeType::AV, AvRecord(kDay, "01", "01050930", "06", "ベツノウマ")),
            "");
  // The favourite jockey's horse scratched is no change about a favourite horse.
  EXPECT_EQ(day.Concerned(ChangeType::AV, AvRecord(kDay, "02", "01050930", "03", "ソノホカ")), "");
  // A race without runner records: the name the horse was marked with.
  EXPECT_EQ(day.Concerned(ChangeType::AV, AvRecord(kDay, "05", "01050930", "02", "アオノブラック")),
            Sj("アオノブラック"));

  // Jockey changes: of the favourite horse, from the favourite jockey entered, and to or from
  // the favourite jockey named in full.
  EXPECT_EQ(day.Concerned(ChangeType::JC, JcRecord(kDay, "01", "01051000", "05", "アオノブラック",
                                                   "570", "大川誠", "赤井健太")),
            Sj("アオノブラック"));
  EXPECT_EQ(day.Concerned(ChangeType::JC, JcRecord(kDay, "02", "01051000", "03", "ソノホカ", "570",
                                                   "大川誠", "石田一郎")),
            Sj("石田一"));
  EXPECT_EQ(day.Concerned(ChangeType::JC, JcRecord(kDay, "01", "01051000", "06", "ベツノウマ",
                                                   "570", "石田一郎", "上野翔太")),
            Sj("石田一"));
  EXPECT_EQ(day.Concerned(ChangeType::JC, JcRecord(kDay, "01", "01051000", "06", "ベツノウマ",
                                                   "570", "大川誠", "上野翔太")),
            "");
  // Post-time and course changes of a race a favourite runs in.
  EXPECT_EQ(day.Concerned(ChangeType::TC, TcRecord(kDay, "01", "01051000", "1010", "1005")),
            Sj("アオノブラック"));
  EXPECT_EQ(
      day.Concerned(ChangeType::CC, CcRecord(kDay, "02", "01051000", "1400", "23", "1600", "23")),
      Sj("石田一"));
  EXPECT_EQ(day.Concerned(ChangeType::TC, TcRecord(kDay, "03", "01051000", "1010", "1005")), "");
  // Weather and going concern no favourite.
  EXPECT_EQ(day.Concerned(ChangeType::WE,
                          WeRecord(kDay, "2", "20240105", "01050930", '2', '2', '1', '1')),
            "");

  // Without favourites nothing concerns one.
  const FavouriteDay none(FavouriteList{}, runners_);
  EXPECT_FALSE(none.RaceHasFavourite(kDay.Key() + "01"));
  EXPECT_EQ(
      none.Concerned(ChangeType::AV, AvRecord(kDay, "01", "01050930", "05", "アオノブラック")), "");
}

}  // namespace
}  // namespace tavolen
