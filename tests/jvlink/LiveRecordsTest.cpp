#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jvlink/DateFiles.h"
#include "jvlink/FileIO.h"
#include "jvlink/LiveFiles.h"
#include "jvlink/LiveRecords.h"
#include "tests/support/Records.h"
#include "tests/support/TestDir.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

const std::string kDate = "20241222";
std::string Key(int race) {
  return RaceKey(kDate, "06", race);
}

// A WH record from the layout: slot i at 36 + 45 i: 馬番, 馬名, 馬体重, sign, difference.
std::string Wh(int race, std::string_view announced,
               const std::vector<std::vector<std::string>>& slots) {
  Fields f{{1, "WH"}, {3, "1"}, {12, Key(race)}, {28, std::string(announced)}};
  for (size_t i = 0; i < slots.size(); ++i) {
    const int at = 36 + 45 * static_cast<int>(i);
    f.push_back({at, slots[i][0]});
    f.push_back({at + 38, slots[i][1]});
    f.push_back({at + 41, slots[i][2]});
    f.push_back({at + 42, slots[i][3]});
  }
  return Rec(847, f);
}

std::string SeResult(int race, int horse, std::string_view kubun, std::string_view place,
                     std::string_view abnormal = "0", std::string_view deadHeat = "0") {
  return Rec(555, {{1, "SE"},
                   {3, std::string(kubun)},
                   {12, Key(race)},
                   {29, TwoDigits(horse)},
                   {325, "512+008"},
                   {332, std::string(abnormal)},
                   {333, std::string(place)},
                   {335, std::string(place)},
                   {337, std::string(deadHeat)},
                   {339, "1345"}});
}

std::string Hr(int race, std::string_view kubun, const Fields& more = {}) {
  Fields f{{1, "HR"}, {3, std::string(kubun)}, {12, Key(race)}, {28, "1616"}};
  f.insert(f.end(), more.begin(), more.end());
  return Rec(719, f);
}

TEST(LiveRecords, WeightSlotsAndTheirTexts) {
  const auto wh = ReadWeightRecord(Wh(11, "12221440",
                                      {{"05", "512", "+", "008"},
                                       {"  ", "480", "+", "002"},  // blank slot
                                       {"00", "480", "+", "002"},  // unused slot
                                       {"07", "999", " ", "999"},
                                       {"09", "000", " ", "   "},
                                       {"12", "466", " ", "   "},
                                       {"14", "470", " ", "000"},
                                       {"16", "488", "-", "012"}}));
  ASSERT_TRUE(wh);
  EXPECT_EQ(wh->raceKey, Key(11));
  EXPECT_EQ(wh->announced, "12221440");
  std::vector<std::string> texts;
  std::vector<int> numbers;
  for (const WeightEntry& e : wh->entries) {
    numbers.push_back(e.horseNumber);
    texts.push_back(SjisToUtf8(e.weight.Text()));
  }
  EXPECT_EQ(numbers, (std::vector<int>{5, 7, 9, 12, 14, 16}));
  EXPECT_EQ(texts,
            (std::vector<std::string>{"512(+8)", "計不", "取消", "466(初)", "470(0)", "488(-12)"}));
  EXPECT_EQ(SjisToUtf8(wh->entries[0].weight.NotificationText()), "512kg(+8)");
  EXPECT_EQ(SjisToUtf8(wh->entries[3].weight.NotificationText()), "466kg(初)");
  EXPECT_FALSE(ReadWeightRecord(SeResult(11, 1, "3", "01")));
}

TEST(LiveRecords, PayoutsWithBlankPopularitySpecialNotMadeAndRefund) {
  const auto hr =
      ReadPayoutRecord(Hr(11, "1",
                          {{32 + 7, "1"},                    // 3連複 不成立
                           {41 + 0, "1"},                    // 単勝 特払
                           {50 + 8, "1"},                    // 3連単 返還
                           {59 + 8, "1"},                    // horse 9 refunded
                           {87 + 2, "1"},                    // frame 3 refunded
                           {103, "05000000350  "},           // 単勝 ⑤ 350円, 人気 blank
                           {116, "00000000070  "},           // 特払 70円 with a zero combination
                           {550, "000000000001230   "},      // 3連複 不成立 amount
                           {604, "0503120000123400012"},     // 3連単 5-3-12
                           {623, "0503120000123400012"}}));  // 同着: a second 3連単 block
  ASSERT_TRUE(hr);
  const BetPayouts& win = hr->Bet(BetType::Win);
  EXPECT_TRUE(win.special);
  EXPECT_FALSE(win.notSold);
  ASSERT_EQ(win.payouts.size(), 2u);
  EXPECT_EQ(win.payouts[0].combination, "05");
  EXPECT_EQ(win.payouts[0].yen, 350);
  EXPECT_EQ(win.payouts[0].popularity, "");
  EXPECT_TRUE(win.payouts[1].Zero());
  EXPECT_EQ(win.payouts[1].yen, 70);
  EXPECT_TRUE(hr->Bet(BetType::Trio).notSold);
  EXPECT_EQ(hr->Bet(BetType::Trio).payouts.at(0).yen, 1230);
  const BetPayouts& trifecta = hr->Bet(BetType::Trifecta);
  EXPECT_TRUE(trifecta.refund);
  ASSERT_EQ(trifecta.payouts.size(), 2u);
  EXPECT_EQ(trifecta.payouts[0].combination, "050312");
  EXPECT_EQ(trifecta.payouts[0].yen, 12340);
  EXPECT_EQ(trifecta.payouts[0].popularity, "0012");
  EXPECT_TRUE(hr->Bet(BetType::Place).payouts.empty());
  EXPECT_EQ(hr->refundedHorses, std::vector<int>{9});
  EXPECT_EQ(hr->refundedFrames, std::vector<int>{3});
}

TEST(LiveRecords, RunnerResultsPlacesDeadHeatsAndAbnormalEnds) {
  const auto first = ReadRunnerResult(SeResult(11, 5, "3", "01", "0", "1"));
  ASSERT_TRUE(first);
  EXPECT_EQ(first->stage, 3);
  EXPECT_EQ(first->horseNumber, 5);
  EXPECT_EQ(SjisToUtf8(first->PlaceText()), "1同");
  EXPECT_EQ(SjisToUtf8(first->TimeText()), "1:34.5");
  EXPECT_EQ(SjisToUtf8(first->weight.Text()), "512(+8)");
  const char* abnormal[][2] = {
      {"1", "取消"}, {"2", "除外"}, {"3", "除外"}, {"4", "中止"}, {"5", "失格"}};
  for (const auto& [code, text] : abnormal)
    EXPECT_EQ(SjisToUtf8(ReadRunnerResult(SeResult(11, 5, "5", "00", code))->PlaceText()), text);
  // An entry-stage record is no result; a pending place reads as none.
  EXPECT_FALSE(ReadRunnerResult(SeResult(11, 5, "2", "00")));
  EXPECT_EQ(ReadRunnerResult(SeResult(11, 5, "3", "  "))->PlaceText(), "");
}

TEST(LiveRecords, ShortRecordsReadAsBlanks) {
  for (size_t n : {0u, 2u, 12u, 40u, 100u, 110u}) {
    const std::string wh = Wh(11, "12221440", {{"05", "512", "+", "008"}}).substr(0, n);
    const std::string hr = Hr(11, "1", {{103, "05000000350  "}}).substr(0, n);
    const std::string se = SeResult(11, 5, "3", "01").substr(0, n);
    if (const auto w = ReadWeightRecord(wh)) {
      EXPECT_LE(w->entries.size(), 1u);
    }
    if (const auto h = ReadPayoutRecord(hr)) {
      EXPECT_TRUE(h->Bet(BetType::Win).payouts.empty());
    }
    if (const auto s = ReadRunnerResult(se)) {
      EXPECT_EQ(s->place, 0);
    }
  }
  // What lies inside a short record is read; the rest is blank.
  EXPECT_EQ(ReadPayoutRecord(Hr(11, "1", {{103, "05000000350  "}}).substr(0, 300))
                ->Bet(BetType::Win)
                .payouts.size(),
            1u);
  EXPECT_EQ(SjisToUtf8(ReadRunnerResult(SeResult(11, 5, "3", "01").substr(0, 328))->weight.Text()),
            "512(初)");
  const auto w = ReadWeightRecord(Wh(11, "12221440", {{"05", "512", "+", "008"}}).substr(0, 40));
  ASSERT_TRUE(w);
  EXPECT_EQ(w->entries.size(), 1u);
  EXPECT_TRUE(w->entries[0].weight.empty());
}

class LiveStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = FreshTestDir("live-store");
    dayFile_ = data_ / Utf8Path("2024年12月22日.jvRA");
    for (int race : {10, 11}) races_.push_back(MakeRa(kDate, "06", race));
  }
  std::string Read(std::string_view suffix) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(SiblingDateFile(dayFile_, suffix), bytes));
    return bytes;
  }
  fs::path data_, dayFile_;
  std::vector<std::string> races_;
};

TEST_F(LiveStoreTest, SkipsOtherDaysUnknownRacesMalformedAndDeletionsAndKeepsTheLaterStage) {
  LiveStore store(dayFile_, races_);
  ASSERT_TRUE(store.Load());
  SjisString why;
  std::string otherDay = SeResult(11, 5, "3", "01");
  Put(otherDay, 12, "20241221");
  EXPECT_EQ(store.Add(otherDay, why), LiveStore::Take::Skipped);
  EXPECT_NE(SjisToUtf8(why).find("別の開催日"), std::string::npos);
  EXPECT_EQ(store.Add(SeResult(3, 5, "3", "01"), why), LiveStore::Take::Skipped);
  EXPECT_EQ(store.Add(SeResult(11, 5, "3", "01").substr(0, 300) + "\r\n", why),
            LiveStore::Take::Skipped);
  EXPECT_EQ(store.Add(Hr(11, "0"), why), LiveStore::Take::Skipped);
  // Cut short anywhere: never stored, never read past the end.
  for (size_t n : {0, 2, 3, 20, 29})
    EXPECT_NE(store.Add(SeResult(11, 5, "3", "01").substr(0, n), why), LiveStore::Take::Stored);
  EXPECT_EQ(store.Add(SeResult(11, 5, "1", "00"), why), LiveStore::Take::Ignored);
  EXPECT_EQ(store.Add(SeResult(11, 5, "5", "02"), why), LiveStore::Take::Stored);
  EXPECT_EQ(store.Add(SeResult(11, 5, "3", "01"), why), LiveStore::Take::Stored);  // earlier
  EXPECT_EQ(store.Add(Hr(11, "1"), why), LiveStore::Take::Stored);
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(Read(kResultFileSuffix), Line(SeResult(11, 5, "5", "02")) + "\r\n");
  EXPECT_EQ(Read(kPayoutFileSuffix), Line(Hr(11, "1")) + "\r\n");
  EXPECT_FALSE(FileExists(SiblingDateFile(dayFile_, kWeightFileSuffix)));

  // A deletion or an earlier stage in a later fetch loses nothing stored.
  LiveStore again(dayFile_, races_);
  ASSERT_TRUE(again.Load());
  again.Add(Hr(11, "0"), why);
  again.Add(SeResult(11, 5, "4", "03"), why);
  ASSERT_TRUE(again.Save());
  EXPECT_EQ(again.changed(), 0);
  EXPECT_EQ(Read(kResultFileSuffix), Line(SeResult(11, 5, "5", "02")) + "\r\n");
}

TEST_F(LiveStoreTest, ASecondWeightRecordOfARaceIsMergedByHorseNumber) {
  LiveStore store(dayFile_, races_);
  ASSERT_TRUE(store.Load());
  SjisString why;
  // Slots in any order; the later announcement wins for the horses it carries.
  store.Add(Wh(11, "12221440", {{"07", "470", "+", "002"}, {"03", "500", "-", "004"}}), why);
  store.Add(Wh(11, "12221450", {{"07", "472", "+", "004"}, {"09", "000", " ", "   "}}), why);
  store.Add(Wh(11, "12221430", {{"03", "498", "-", "006"}, {"11", "450", " ", "   "}}), why);
  ASSERT_TRUE(store.Save());
  const auto wh = ReadWeightRecord(Read(kWeightFileSuffix));
  ASSERT_TRUE(wh);
  EXPECT_EQ(wh->announced, "12221450");
  std::vector<std::string> shown;
  for (const WeightEntry& e : wh->entries)
    shown.push_back(std::to_string(e.horseNumber) + ":" + SjisToUtf8(e.weight.Text()));
  EXPECT_EQ(shown, (std::vector<std::string>{"3:500(-4)", "7:472(+4)", "9:取消", "11:450(初)"}));
  EXPECT_EQ(Read(kWeightFileSuffix).size(), 847u);
}

}  // namespace
}  // namespace tavolen
