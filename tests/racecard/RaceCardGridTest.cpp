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

}  // namespace
}  // namespace tavolen
