#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTableWidget>
#include <memory>

#include "racecard/RaceCardDelegate.h"
#include "tests/support/Files.h"
#include "tests/support/QtApp.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

class RaceCardGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication("tavolen_racecard_grid_tests");
    fs::path dir = TempDir("racecard-grid");
    RaceSpec rs;
    rs.runnerCount = "16";
    std::vector<std::string> se;
    for (int h = 1; h <= 16; ++h) {
      RunnerSpec r;
      r.horse = h;
      se.push_back(SeRecord(rs, r));  // frames 1,1,2,2,...,8,8
    }
    WriteFileBytes(dir / RaceFileName("20050108", ".jvRA"), RaRecord(rs));
    WriteFileBytes(dir / RaceFileName("20050108", "中山.jvSEr"), EntryFileBytes(se));
    ASSERT_TRUE(LoadMeeting(meeting_, dir, Sj("2005年01月08日")).loaded());
    meeting_.selectedRaceIndex = 0;
    card_ = BuildRaceCard(meeting_, 0);

    SetUpRaceCardGrid(grid_);
    grid_.setItemDelegate(new RaceCardDelegate(meeting_, clock_, gridWidget_.get()));
    ShowCardInGrid(grid_, card_.grid);
    grid_.resize(520, 320);
    image_ = QImage(grid_.viewport()->size(), QImage::Format_RGB32);
    image_.fill(Qt::black);
    grid_.viewport()->render(&image_);
  }

  QColor Pixel(int row, int column, int dx, int dy) const {
    QRect r = grid_.visualRect(grid_.model()->index(row, column));
    return image_.pixelColor(dx >= 0 ? r.left() + dx : r.right() + dx + 1,
                             dy >= 0 ? r.top() + dy : r.bottom() + dy + 1);
  }

  LoadedMeeting meeting_;
  RaceCard card_;
  FakeClock clock_{LocalDateTime{2005, 1, 8, 9, 0, 0}};
  std::unique_ptr<QTableWidget> gridWidget_ =
      (testsupport::EnsureApplication("tavolen_racecard_grid_tests"),
       std::make_unique<QTableWidget>());
  QTableWidget& grid_ = *gridWidget_;
  QImage image_;
};

TEST_F(RaceCardGridTest, SetUpLikeTheOriginalGrid) {
  EXPECT_EQ(grid_.columnCount(), 9);
  EXPECT_EQ(grid_.rowCount(), 17);
  const int widths[] = {20, 20, 150, 30, 45, 55, 55, 40, 55};
  for (int c = 0; c < 9; ++c) EXPECT_EQ(grid_.columnWidth(c), widths[c]) << c;
  EXPECT_EQ(grid_.rowHeight(0), 27);
  EXPECT_EQ(grid_.rowHeight(1), 15);
  EXPECT_EQ(grid_.item(0, 7)->text(), QString::fromUtf8("ﾌﾞﾘﾝｶ"));
  EXPECT_EQ(grid_.item(7, 1)->text(), "07");
  EXPECT_EQ(grid_.font().pixelSize(), 12);
}

TEST_F(RaceCardGridTest, PaintsFrameColoursAndLines) {
  const QColor yellow(255, 255, 0), grey(128, 128, 128), red(255, 0, 0), magenta(255, 0, 255);
  EXPECT_EQ(Pixel(9, 0, -2, -3), yellow);    // horse 9, frame 5
  EXPECT_EQ(Pixel(3, 0, -2, -3), grey);      // horse 3, frame 2
  EXPECT_EQ(Pixel(5, 0, -2, -3), red);       // horse 5, frame 3
  EXPECT_EQ(Pixel(16, 0, -2, -3), magenta);  // horse 16, frame 8
  EXPECT_EQ(Pixel(1, 0, -2, -3), QColor(Qt::white));
  EXPECT_EQ(Pixel(7, 1, -2, -3), grid_.palette().color(QPalette::ToolTipBase));
  EXPECT_EQ(Pixel(7, 2, -2, -3), QColor(Qt::white));
  EXPECT_EQ(Pixel(0, 0, -2, -3), grid_.palette().color(QPalette::Button));
  // The black line under every cell, header included.
  for (int row : {0, 1, 9})
    for (int col : {0, 2, 8}) EXPECT_EQ(Pixel(row, col, 5, -1), QColor(Qt::black)) << row << col;
  // Frame 5's digit is black on yellow, frame 2's white on grey.
  auto hasColour = [&](int row, const QColor& want) {
    QRect r = grid_.visualRect(grid_.model()->index(row, 0));
    for (int y = r.top(); y < r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        if (image_.pixelColor(x, y) == want) return true;
    return false;
  };
  EXPECT_TRUE(hasColour(9, Qt::black));
  EXPECT_TRUE(hasColour(3, Qt::white));
}

// Dark pixels of an image within a rectangle.
int Ink(const QImage& image, const QRect& area) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (qGray(image.pixel(x, y)) < 160) ++n;
  return n;
}

// One rule per row: from the top of a row to the top of the next, a column shows the black
// rule and nothing else of a line; the rows keep their heights of 27 and 15 pixels.
TEST_F(RaceCardGridTest, EveryRowEndsInOneBlackRule) {
  for (int row : {0, 1, 2, 9}) {
    const QRect r = grid_.visualRect(grid_.model()->index(row, 2));
    const int nextTop = grid_.visualRect(grid_.model()->index(row + 1, 2)).top();
    EXPECT_EQ(nextTop - r.top(), row == 0 ? 27 : 15);
    const int x = r.right() - 4;  // beyond the text
    std::vector<int> ruled;
    for (int y = r.top(); y < nextTop; ++y)
      if (image_.pixelColor(x, y) != QColor(Qt::white) &&
          image_.pixelColor(x, y) != grid_.palette().color(QPalette::Button))
        ruled.push_back(y);
    ASSERT_EQ(ruled.size(), 1u) << "row " << row;
    EXPECT_EQ(ruled[0], nextTop - 1);
    EXPECT_EQ(image_.pixelColor(x, ruled[0]), QColor(Qt::black));
  }
}

// The 9-point texts are whole above the rule: the weight "55.0kg" in a cell shows as many dark
// pixels as the same text painted with room to spare.
TEST_F(RaceCardGridTest, NinePointTextsKeepTheirBottomRow) {
  const QRect cell = grid_.visualRect(grid_.model()->index(1, 4));
  ASSERT_EQ(grid_.item(1, 4)->text(), QStringLiteral("55.0kg"));
  const int inCell = Ink(image_, cell.adjusted(0, 0, -1, -1));  // without the cell's lines

  // The same cell painted by the grid's painting, in a rectangle with room below the text.
  CellToPaint same;
  same.column = 4;
  same.row = 1;
  const std::string text = "55.0kg", horse = "01";
  same.text = text;
  same.horseNumberText = horse;
  same.currentYear = 2005;
  QImage roomy(200, 60, QImage::Format_RGB32);
  roomy.fill(Qt::white);
  {
    QPainter p(&roomy);
    StringGrid2DrawCell(p, QRect(0, 0, 200, 60), meeting_, same, grid_.palette(), grid_.font());
  }
  const int whole = Ink(roomy, QRect(0, 0, 199, 59));
  EXPECT_GT(whole, 20);
  EXPECT_EQ(inCell, whole);
}

// With the day's changes given to the grid, the scratched runner's row is painted grey with
// 取消 in red, the new jockey's cell pale yellow with the name in red; the other rows and the
// cell texts stay as they were.
TEST_F(RaceCardGridTest, PaintsTheDaysChangesOnTheRunners) {
  auto render = [&] {
    QImage image(grid_.viewport()->size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    grid_.viewport()->render(&image);
    return image;
  };
  const QImage before = render();
  auto* delegate = qobject_cast<RaceCardDelegate*>(grid_.itemDelegate());
  ASSERT_NE(delegate, nullptr);
  RaceChanges changes;
  changes.runners[2].scratch = Scratch::Scratched;  // horse 3
  changes.runners[4].newJockey = Sj("新騎手");      // horse 5
  delegate->SetChanges(changes);
  const QImage after = render();

  auto at = [&](const QImage& image, int row, int column, int dx, int dy) {
    const QRect r = grid_.visualRect(grid_.model()->index(row, column));
    return image.pixelColor(dx >= 0 ? r.left() + dx : r.right() + dx + 1,
                            dy >= 0 ? r.top() + dy : r.bottom() + dy + 1);
  };
  auto redPixels = [&](const QImage& image, int row, int column) {
    const QRect r = grid_.visualRect(grid_.model()->index(row, column));
    int n = 0;
    for (int y = r.top(); y < r.bottom(); ++y)
      for (int x = r.left(); x < r.right(); ++x) {
        const QColor c = image.pixelColor(x, y);
        if (c.red() > 180 && c.green() < 100 && c.blue() < 100) ++n;
      }
    return n;
  };
  const QColor scratched(224, 224, 224), paleYellow(255, 255, 192);
  for (int column = 2; column <= 8; ++column) {
    EXPECT_EQ(at(after, 3, column, -2, -3), scratched) << column;
    EXPECT_EQ(at(before, 3, column, -2, -3), QColor(Qt::white)) << column;
  }
  EXPECT_EQ(at(after, 3, 0, -2, -3), QColor(128, 128, 128));  // frame 2 keeps its grey
  EXPECT_GT(redPixels(after, 3, 7), 10);                      // 取消
  EXPECT_EQ(redPixels(before, 3, 7), 0);
  EXPECT_EQ(at(after, 5, 5, -2, -3), paleYellow);
  EXPECT_GT(redPixels(after, 5, 5), 10);
  EXPECT_EQ(redPixels(before, 5, 5), 0);
  // The black rule under the marked rows, and the rows without changes, as before.
  EXPECT_EQ(at(after, 3, 4, 5, -1), QColor(Qt::black));
  for (int row : {1, 4, 9})
    for (int column = 0; column < 9; ++column)
      EXPECT_EQ(at(after, row, column, -2, -3), at(before, row, column, -2, -3)) << row << column;
  EXPECT_EQ(grid_.item(3, 7)->text(), QString());
  EXPECT_EQ(grid_.item(5, 5)->text(), QStringLiteral("Jockey  "));

  delegate->SetChanges(std::nullopt);
  // Without changes again, the cells are painted as before.
  const QRect cells = grid_.visualRect(grid_.model()->index(0, 0))
                          .united(grid_.visualRect(grid_.model()->index(16, 8)));
  EXPECT_EQ(render().copy(cells), before.copy(cells));
}

}  // namespace
}  // namespace tavolen
