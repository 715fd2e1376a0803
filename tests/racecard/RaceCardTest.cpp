#include <gtest/gtest.h>

#include "base/Favourites.h"

#include "jvlink/TextLines.h"
#include "racecard/CardPaint.h"
#include "racecard/RaceCard.h"
#include "tests/support/Files.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;
using Role = PaintColour::Role;

// A meeting with race 12 of 中山 (key 2005010806010112) in slot 0, loaded from its files.
class RaceCardTest : public ::testing::Test {
 protected:
  void Load(std::vector<RunnerSpec> runners, std::string runnerCount = "16") {
    fs::path dir = TempDir("racecard-card");
    race_.race = 12;
    race_.runnerCount = runnerCount;
    race_.raceName = Sj("テレビ東京杯");
    race_.postTime = "0950";
    race_.distance = "1200";
    race_.track = "17";
    race_.weightRule = "3";
    race_.condition = "005";
    std::vector<std::string> se;
    for (const auto& r : runners) se.push_back(SeRecord(race_, r));
    WriteFileBytes(dir / RaceFileName("20050108", ".jvRA"), RaRecord(race_));
    WriteFileBytes(dir / RaceFileName("20050108", "中山.jvSEr"), EntryFileBytes(se));
    ASSERT_TRUE(LoadMeeting(meeting_, dir, Sj("2005年01月08日")).loaded());
  }

  static std::vector<RunnerSpec> Field(int n) {
    std::vector<RunnerSpec> out;
    for (int h = 1; h <= n; ++h) {
      RunnerSpec r;
      r.horse = h;
      out.push_back(r);
    }
    return out;
  }

  CellPaint Paint(int column, int row, const RaceCard& card, int year = 2005,
                  const RaceChanges* changes = nullptr) {
    CellToPaint cell;
    cell.changes = changes;
    cell.column = column;
    cell.row = row;
    cell.text = card.grid[row][column];
    cell.horseNumberText = card.grid[row][1];
    cell.currentYear = year;
    return DecideCellPaint(meeting_, cell);
  }

  RaceSpec race_;
  LoadedMeeting meeting_;
};

TEST_F(RaceCardTest, HeaderLabels) {
  Load(Field(16));
  RaceCard card = BuildRaceCard(meeting_, 0);
  EXPECT_EQ(card.labels[0], Sj("中山"));
  EXPECT_EQ(card.labels[1], "12");
  EXPECT_EQ(card.labels[2], Sj("2005年 1月 8日 中山 1回 1日"));
  EXPECT_EQ(card.labels[3], Sj("テレビ東京杯") + std::string(60 - 12, ' '));
  EXPECT_EQ(card.labels[4], Sj("馬齢"));
  EXPECT_EQ(card.labels[5], Sj(" 500万下"));
  EXPECT_EQ(card.labels[6], Sj("芝右"));
  EXPECT_EQ(card.labels[7], "1200m");
  EXPECT_EQ(card.labels[8], Sj("09時50分発走"));
  EXPECT_EQ(card.labels[9], Sj("16頭"));
}

TEST_F(RaceCardTest, LabelsShowTodaysClassNamesAndNoPadding) {
  race_.date = "20240106";
  Load(Field(16));
  RaceCard card = BuildRaceCard(meeting_, 0);
  EXPECT_EQ(card.labels[5], Sj("1勝クラス"));
  // The race name as stored, and as shown: padded with full-width blanks to 60 bytes.
  const SjisString padded = Sj("３歳以上１勝クラス　　") + "  ";
  EXPECT_EQ(WithoutTrailingPadding(padded), Sj("３歳以上１勝クラス"));
  EXPECT_EQ(WithoutTrailingPadding(card.labels[3]), Sj("テレビ東京杯"));
  // A blank inside the name stays; a trail byte 0x81 followed by 0x40 is no full-width blank.
  EXPECT_EQ(WithoutTrailingPadding(Sj("有馬 記念　")), Sj("有馬 記念"));
  EXPECT_EQ(WithoutTrailingPadding(Sj("・@")), Sj("・@"));
  const SjisString trailByte81 = "\x88\x81@";
  EXPECT_EQ(WithoutTrailingPadding(trailByte81), trailByte81);
  EXPECT_EQ(WithoutTrailingPadding("      "), "");
}

TEST_F(RaceCardTest, SixteenRunnersGiveSeventeenRows) {
  auto field = Field(16);
  field[4].weight = "575";
  field[5].weight = "   ";
  field[1].apprentice = "2";
  field[2].apprentice = "3";
  field[3].apprentice = " ";
  field[6].blinker = "1";
  field[7].sex = "2";
  field[7].age = "10";
  Load(field);
  RaceCard card = BuildRaceCard(meeting_, 0);
  EXPECT_TRUE(card.complete);
  EXPECT_TRUE(card.incompleteMessage.empty());
  ASSERT_EQ(card.grid.size(), 17u);
  EXPECT_EQ(card.grid[0], CardHeaderRow());
  EXPECT_EQ(card.grid[5][1], "05");
  EXPECT_EQ(card.grid[5][0], "3");
  EXPECT_EQ(card.grid[5][2], "Horse05" + std::string(12, ' '));
  EXPECT_EQ(card.grid[1][3], Sj("牡 3"));
  EXPECT_EQ(card.grid[8][3], Sj("牝10"));
  EXPECT_EQ(card.grid[1][4], "55.0kg");
  EXPECT_EQ(card.grid[5][4], "57.5kg");
  EXPECT_EQ(card.grid[6][4], "");
  EXPECT_EQ(card.grid[1][5], "Jockey  ");
  EXPECT_EQ(card.grid[1][6], "Trainer ");
  EXPECT_EQ(card.grid[7][7], Sj("ﾌﾞﾘﾝｶ"));
  EXPECT_EQ(card.grid[1][7], "");
  EXPECT_EQ(card.grid[2][8], Sj("2kg減"));
  EXPECT_EQ(card.grid[3][8], Sj("3kg減"));
  EXPECT_EQ(card.grid[1][8], "");
  EXPECT_EQ(card.grid[4][8], "");
}

TEST_F(RaceCardTest, BlankRunnersMakeTheRaceIncomplete) {
  auto field = Field(16);
  field[9].frame = " ";
  Load(field);
  RaceCard card = BuildRaceCard(meeting_, 0);
  EXPECT_FALSE(card.complete);
  EXPECT_EQ(card.incompleteMessage, Sj("中山12Rはデータ作成が未完了です。"));
  EXPECT_EQ(card.grid.size(), 17u);  // the cells are filled all the same

  // No entry file at all: race 1 of the day.
  fs::path dir = TempDir("racecard-card-noentry");
  RaceSpec rs;
  WriteFileBytes(dir / RaceFileName("20050108", ".jvRA"), RaRecord(rs));
  ASSERT_TRUE(LoadMeeting(meeting_, dir, Sj("2005年01月08日")).loaded());
  card = BuildRaceCard(meeting_, 0);
  EXPECT_FALSE(card.complete);
  EXPECT_EQ(card.incompleteMessage, Sj("中山 1Rはデータ作成が未完了です。"));
}

TEST_F(RaceCardTest, SelectionOutsideTheSlotsShowsNothing) {
  Load(Field(3));
  for (int index : {-1, 36, 1000}) {
    RaceCard card = BuildRaceCard(meeting_, index);
    EXPECT_FALSE(card.complete);
    EXPECT_TRUE(card.incompleteMessage.empty());
    EXPECT_EQ(card.grid.size(), 1u);
  }
}

TEST_F(RaceCardTest, RunnerCountAboveEighteenStopsAtEighteenRows) {
  Load(Field(18), "25");
  RaceCard card = BuildRaceCard(meeting_, 0);
  EXPECT_EQ(card.grid.size(), 19u);
  EXPECT_EQ(card.labels[9], Sj("25頭"));
  Load(Field(2), "X1");
  EXPECT_EQ(BuildRaceCard(meeting_, 0).grid.size(), 1u);
}

TEST_F(RaceCardTest, CutHorseNameShownWithoutItsLeadByte) {
  auto field = Field(2);
  field[0].name = Sj("ウオッカ　　　　　　　　　　");  // 8 + 28 bytes
  Load(field);
  const SjisString shown = Sj("ウオッカ　　　　　");  // 18 bytes
  ASSERT_EQ(meeting_.raceSlots[0].runners[0].horseName.str(), shown + "\x81");
  RaceCard card = BuildRaceCard(meeting_, 0);
  EXPECT_EQ(card.grid[1][2], shown);
  RecordingDesktop desktop;
  CopyRaceCard(desktop, card.grid, card.labels[2], meeting_.raceSlots[0]);
  EXPECT_NE(desktop.clipboard.find(shown + "\t"), std::string::npos);
  EXPECT_EQ(SjisToUtf16(desktop.clipboard).find(u'\uFFFD'), std::u16string::npos);
  meeting_.selectedRaceIndex = 0;
  EXPECT_EQ(Paint(2, 1, card).texts.at(0).text, shown);
}

TEST_F(RaceCardTest, CopyOfSixteenRunners) {
  Load(Field(16));
  RaceCard card = BuildRaceCard(meeting_, 0);
  RecordingDesktop desktop;
  desktop.clipboard = "old";
  CopyRaceCard(desktop, card.grid, card.labels[2], meeting_.raceSlots[0]);
  const std::string& text = desktop.clipboard;
  ASSERT_TRUE(text.ends_with("\r\n"));
  Lines lines = SplitLines(text);
  ASSERT_EQ(lines.size(), 18u);
  size_t crlf = 0;
  for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++crlf;
  EXPECT_EQ(crlf, 18u);
  EXPECT_EQ(lines[0], Sj("2005年 1月 8日 中山 1回 1日12R"));
  EXPECT_EQ(lines[1], Sj("枠\t馬\t馬名\t性齢\t斤量\t騎手\t調教師\tﾌﾞﾘﾝｶ\t見習"));
  EXPECT_EQ(lines[8], "4\t07\tHorse07" + std::string(12, ' ') + "\t" + Sj("牡 3") +
                          "\t55.0kg\tJockey  \tTrainer \t\t");
  for (size_t i = 1; i < lines.size(); ++i)
    EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), '\t'), 8) << i;
}

TEST(GridRange, RangeChecksAndClamping) {
  CardGrid grid(3);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < kCardColumns; ++c) grid[r][c] = std::to_string(r) + std::to_string(c);
  EXPECT_EQ(GridRangeText(grid, 3, 0, 2, 2, "T"), "");
  EXPECT_EQ(GridRangeText(grid, 0, 2, 8, 1, "T"), "");
  EXPECT_EQ(GridRangeText(grid, -3, 0, -1, 2, "T"), "");
  EXPECT_EQ(GridRangeText(grid, 0, -3, 8, -1, "T"), "");
  EXPECT_EQ(GridRangeText(grid, 9, 0, 12, 2, "T"), "");
  EXPECT_EQ(GridRangeText(grid, 0, 3, 8, 5, "T"), "");
  EXPECT_EQ(GridRangeText(grid, 7, 1, 1000, 1000, "T"), "T\r\n17\t18\r\n27\t28\r\n");
  EXPECT_EQ(GridRangeText(grid, -5, -5, 0, 0, "T"), "T\r\n00\r\n");

  RecordingDesktop desktop;
  desktop.clipboard = "old";
  GridRangeToClipboard(desktop, grid, 2, 0, 1, 2, "T");
  EXPECT_EQ(desktop.clipboard, "");
  EXPECT_EQ(desktop.Count("clipboard"), 1);
}

TEST_F(RaceCardTest, PaintsHeaderAndFrameCells) {
  auto field = Field(16);
  field[8].frame = "5";  // horse 9
  field[2].frame = "2";  // horse 3
  Load(field);
  meeting_.selectedRaceIndex = 0;
  RaceCard card = BuildRaceCard(meeting_, 0);

  CellPaint waku = Paint(0, 0, card);
  EXPECT_EQ(waku.fill, PaintColour::Of(Role::ButtonFace));
  ASSERT_EQ(waku.texts.size(), 2u);
  EXPECT_EQ(waku.texts[0].text, Sj("枠"));
  EXPECT_EQ(waku.texts[1].text, Sj("番"));
  EXPECT_EQ(waku.texts[1].y, waku.texts[0].y + kGridFontPixels);
  EXPECT_EQ(Paint(1, 0, card).texts.at(0).text, Sj("馬"));
  CellPaint name = Paint(2, 0, card);
  EXPECT_FALSE(name.fill);
  EXPECT_TRUE(name.texts.empty());
  EXPECT_EQ(name.defaultText, Sj("馬名"));
  EXPECT_EQ(name.background, PaintColour::Of(Role::ButtonFace));
  EXPECT_EQ(name.bottomLine, kBlack);

  CellPaint yellow = Paint(0, 9, card);
  EXPECT_EQ(yellow.fill, PaintColour::Rgb(255, 255, 0));
  EXPECT_EQ(yellow.texts.at(0).text, "5");
  EXPECT_EQ(yellow.texts[0].colour, kBlack);
  EXPECT_TRUE(yellow.texts[0].bold);
  EXPECT_EQ(yellow.texts[0].x, 6);
  CellPaint grey = Paint(0, 3, card);
  EXPECT_EQ(grey.fill, PaintColour::Rgb(128, 128, 128));
  EXPECT_EQ(grey.texts.at(0).text, "2");
  EXPECT_EQ(grey.texts[0].colour, kWhite);
  EXPECT_EQ(Paint(0, 1, card).fill, kWhite);
  EXPECT_EQ(Paint(0, 1, card).texts.at(0).colour, kBlack);
}

TEST_F(RaceCardTest, PaintsRunnerCells) {
  auto field = Field(16);
  auto& seventh = field[6];
  seventh.registration = "2002104321";
  seventh.sex = "3";
  seventh.apprentice = "3";
  seventh.blinker = "0";
  field[7].registration = "ABCD000001";
  field[8].sex = "9";
  Load(field);
  meeting_.selectedRaceIndex = 0;
  RaceCard card = BuildRaceCard(meeting_, 0);

  CellPaint number = Paint(1, 7, card);
  EXPECT_EQ(number.fill, PaintColour::Of(Role::InfoBackground));
  EXPECT_EQ(number.texts.at(0).text, " 7");
  EXPECT_TRUE(number.texts[0].bold);
  EXPECT_EQ(number.texts[0].pointSize, 10);
  EXPECT_EQ(number.texts[0].colour, kBlack);
  EXPECT_EQ(card.grid[7][1], "07");

  CellPaint name = Paint(2, 7, card);
  EXPECT_EQ(name.fill, kWhite);
  EXPECT_TRUE(name.texts.at(0).bold);
  EXPECT_EQ(name.texts[0].y, 0);

  CellPaint age = Paint(3, 7, card, 2005);
  EXPECT_EQ(age.texts.at(0).text, Sj("ｾﾝ3"));
  EXPECT_FALSE(age.texts[0].bold);
  EXPECT_EQ(age.texts[0].pointSize, 9);
  EXPECT_EQ(Paint(3, 7, card, 2011).texts.at(0).text, Sj("ｾﾝ9"));
  EXPECT_EQ(Paint(3, 8, card).texts.at(0).text, Sj("牡"));  // registration not a number
  EXPECT_EQ(Paint(3, 9, card).texts.at(0).text, "  3");     // unknown sex code
  EXPECT_EQ(Paint(4, 7, card).texts.at(0).text, "55.0kg");
  EXPECT_EQ(Paint(5, 7, card).texts.at(0).text, "Jockey  ");
  EXPECT_EQ(Paint(7, 7, card).texts.at(0).text, " ");
  EXPECT_EQ(Paint(8, 7, card).texts.at(0).text, Sj("3kg減"));
  EXPECT_EQ(Paint(8, 1, card).texts.at(0).text, " ");
}

TEST_F(RaceCardTest, PaintFindsTheRunnerByItsHorseNumberCell) {
  Load(Field(16));
  meeting_.selectedRaceIndex = 0;
  RaceCard card = BuildRaceCard(meeting_, 0);
  card.grid[2][1] = "05";
  EXPECT_EQ(Paint(1, 2, card).texts.at(0).text, " 5");

  for (const char* outside : {"19", "99", "-1"}) {
    card.grid[2][1] = outside;
    CellPaint p = Paint(2, 2, card);
    EXPECT_FALSE(p.fill) << outside;
    EXPECT_TRUE(p.texts.empty()) << outside;
    EXPECT_EQ(p.defaultText, card.grid[2][2]);
    EXPECT_EQ(p.bottomLine, kBlack);
  }
  // A blank horse-number cell paints like the header row.
  card.grid[2][1] = "  ";
  EXPECT_EQ(Paint(0, 2, card).texts.at(0).text, Sj("枠"));
  EXPECT_TRUE(Paint(4, 2, card).texts.empty());

  meeting_.selectedRaceIndex = 40;
  card.grid[2][1] = "02";
  EXPECT_TRUE(Paint(2, 2, card).texts.empty());
}

// The day's changes on the card: a scratched or excluded runner's row greyed with its mark in
// the blinker column, a new jockey's name in red; the other runners and the cell texts as
// entered.
TEST_F(RaceCardTest, PaintsTheDaysChangesWhenGivenThem) {
  Load(Field(16));
  meeting_.selectedRaceIndex = 0;
  const RaceCard card = BuildRaceCard(meeting_, 0);
  RaceChanges changes;
  changes.runners[2].scratch = Scratch::Scratched;  // horse 3
  changes.runners[6].scratch = Scratch::Excluded;   // horse 7
  changes.runners[4].newJockey = Sj("新騎手");      // horse 5

  const CellPaint mark = Paint(7, 3, card, 2005, &changes);
  ASSERT_EQ(mark.texts.size(), 1u);
  EXPECT_EQ(mark.texts[0].text, Sj("取消"));
  EXPECT_EQ(mark.texts[0].colour, kChangeText);
  EXPECT_TRUE(mark.texts[0].bold);
  EXPECT_EQ(mark.fill, kScratchedFill);
  EXPECT_EQ(Paint(7, 7, card, 2005, &changes).texts.at(0).text, Sj("除外"));
  for (int column = 1; column <= 6; ++column) {
    const CellPaint greyed = Paint(column, 3, card, 2005, &changes);
    EXPECT_EQ(greyed.fill, kScratchedFill) << column;
    ASSERT_FALSE(greyed.texts.empty()) << column;
    EXPECT_EQ(greyed.texts[0].colour, kScratchedText) << column;
    EXPECT_EQ(greyed.texts[0].text, Paint(column, 3, card).texts.at(0).text) << column;
  }
  // The frame keeps its colours.
  EXPECT_EQ(Paint(0, 3, card, 2005, &changes).fill, Paint(0, 3, card).fill);

  const CellPaint jockey = Paint(5, 5, card, 2005, &changes);
  EXPECT_EQ(jockey.texts.at(0).text, Sj("新騎手"));
  EXPECT_EQ(jockey.texts[0].colour, kChangeText);
  EXPECT_EQ(jockey.fill, kChangedJockeyFill);
  EXPECT_EQ(jockey.defaultText, card.grid[5][5]);  // the cell keeps the entered name
  EXPECT_EQ(Paint(6, 5, card, 2005, &changes).fill, kWhite);

  // No changes at all: painted as entered.
  const RaceChanges none;
  EXPECT_EQ(Paint(7, 3, card, 2005, &none).texts.at(0).text, " ");
  EXPECT_EQ(Paint(5, 5, card, 2005, &none).texts.at(0).text, "Jockey  ");
}

TEST_F(RaceCardTest, MarksFavouriteRowsInThePaintingAndTheCopy) {
  std::vector<RunnerSpec> field = Field(16);
  for (RunnerSpec& r : field) r.registration = "20021000" + TwoDigits(r.horse);
  Load(field);
  meeting_.selectedRaceIndex = 0;
  RaceCard card = BuildRaceCard(meeting_, 0);
  FavouriteList favourites;
  favourites.Add(FavouriteKind::Horse, "2002100004", "Horse04");
  const RaceCard asEntered = card;
  MarkFavouriteRows(card.grid, meeting_.raceSlots[0], &favourites);
  EXPECT_EQ(card.grid[4][2], Sj("★") + asEntered.grid[4][2]);
  for (int row = 1; row <= 16; ++row)
    if (row != 4) {
      EXPECT_EQ(card.grid[row], asEntered.grid[row]) << row;
    }
  EXPECT_TRUE(RaceHasFavourite(meeting_.raceSlots[0], &favourites));
  EXPECT_FALSE(RaceHasFavourite(meeting_.raceSlots[0], nullptr));

  auto paint = [&](int column, int row) {
    CellToPaint cell;
    cell.column = column;
    cell.row = row;
    cell.text = card.grid[row][column];
    cell.horseNumberText = card.grid[row][1];
    cell.currentYear = 2005;
    cell.favourites = &favourites;
    return DecideCellPaint(meeting_, cell);
  };
  // The name cell: the red mark, then the name moved right by one character.
  const CellPaint name = paint(2, 4);
  ASSERT_EQ(name.texts.size(), 2u);
  EXPECT_EQ(name.texts[0].text, Sj("★"));
  EXPECT_EQ(name.texts[0].colour, kFavouriteMarkColour);
  EXPECT_EQ(name.texts[1].text, Paint(2, 4, asEntered).texts.at(0).text);
  EXPECT_EQ(name.texts[1].x, name.texts[0].x + 14);
  for (int column = 2; column <= 8; ++column) EXPECT_EQ(paint(column, 4).fill, kFavouriteFill);
  EXPECT_EQ(paint(0, 4).fill, Paint(0, 4, asEntered).fill);  // the frame keeps its colours
  EXPECT_EQ(paint(1, 4).fill, Paint(1, 4, asEntered).fill);
  EXPECT_EQ(paint(4, 5).fill, kWhite);
  // A cell the grid draws alone (a live column's weight): its text stays over the fill.
  CellToPaint weight;
  weight.column = kCardColumns;
  weight.row = 4;
  weight.text = "512(+8)";
  weight.horseNumberText = card.grid[4][1];
  weight.favourites = &favourites;
  const CellPaint live = DecideCellPaint(meeting_, weight);
  EXPECT_EQ(live.fill, kFavouriteFill);
  ASSERT_EQ(live.texts.size(), 1u);
  EXPECT_EQ(live.texts[0].text, "512(+8)");

  // A favourite jockey: every ride marked with "☆" and the jockey in bold.
  favourites.Add(FavouriteKind::Jockey, "05001", "Jockey");
  EXPECT_EQ(paint(2, 5).texts.at(0).text, Sj("☆"));
  EXPECT_TRUE(paint(5, 5).texts.at(0).bold);
  EXPECT_FALSE(Paint(5, 5, asEntered).texts.at(0).bold);
  EXPECT_EQ(paint(2, 4).texts.at(0).text, Sj("★"));  // the horse's own mark wins
}

}  // namespace
}  // namespace tavolen
