#include "changes/henkoUnit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QScrollBar>

#include "base/Widgets.h"
#include "tests/support/MainWindow.h"

namespace tavolen {
namespace {

using testsupport::IniValue;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

struct HenkoForm : ::testing::Test {
  fs::path dir;
  fs::path ini;
  RecordingDesktop desktop;
  void SetUp() override {
    dir = testsupport::TestDir("shell/henko");
    ini = dir / "Tavolen.ini";
  }
};

TEST_F(HenkoForm, HasTheFixedLayoutAndHeadings) {
  THenkoForm f(ini, &desktop);
  EXPECT_EQ(f.size(), QSize(413, 328));
  EXPECT_EQ(f.windowTitle(), Qs(Sj("変更情報")));
  EXPECT_TRUE(f.windowFlags() & Qt::WindowStaysOnTopHint);
  const char* headings[5] = {"天候馬場", "出走取消・競争除外", "騎手変更", "発走時刻変更",
                             "コース変更"};
  const int tops[5] = {16, 78, 140, 202, 264};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(f.Headings[i]->text(), Qs(Sj(headings[i])));
    EXPECT_EQ(f.Headings[i]->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(f.List(i + 1)->geometry(), QRect(6, tops[i], 400, 45));
    EXPECT_EQ(f.List(i + 1)->frameShape(), QFrame::NoFrame);
  }
  // The columns of the display lines line up only where a full-width character is exactly two
  // half-width ones wide, and every half-width one as wide as the next.
  QFontInfo info(f.ListBox1->font());
  EXPECT_EQ(info.pixelSize(), 12);
  const QFontMetrics m(f.ListBox1->font());
  const int half = m.horizontalAdvance(QLatin1Char('1'));
  EXPECT_GT(half, 0);
  EXPECT_EQ(m.horizontalAdvance(QStringLiteral("i")), half) << info.family().toStdString();
  EXPECT_EQ(m.horizontalAdvance(QStringLiteral("W")), half);
  EXPECT_EQ(m.horizontalAdvance(QString::fromUtf8("ｱ")), half);
  EXPECT_EQ(m.horizontalAdvance(QString::fromUtf8("中")), 2 * half);
  EXPECT_EQ(m.horizontalAdvance(QString::fromUtf8("⇒")), 2 * half);
}

TEST_F(HenkoForm, HeadingsStandAtTheirPlacesAboveTheirLists) {
  THenkoForm f(ini, &desktop);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(f.Headings[i]->pos(), QPoint(6, 4 + 62 * i)) << i;
    // A heading ends where its list begins.
    EXPECT_LE(f.Headings[i]->geometry().bottom(), f.List(i + 1)->geometry().top() - 1) << i;
  }
}

TEST_F(HenkoForm, PositionIsRestoredAndStoredWhenClosed) {
  {
    THenkoForm f(ini, &desktop);
    EXPECT_EQ(f.pos(), QPoint(10, 10));
    f.ShowWindow();
    f.move(210, 160);
    f.close();
    EXPECT_FALSE(f.isVisible());
  }
  const std::string text = ReadFileBytes(ini);
  EXPECT_EQ(IniValue(text, "Henkolocate", "top"), "160");
  EXPECT_EQ(IniValue(text, "Henkolocate", "left"), "210");
  THenkoForm again(ini, &desktop);
  EXPECT_EQ(again.pos(), QPoint(210, 160));
  EXPECT_TRUE(desktop.Messages().empty());
}

TEST_F(HenkoForm, ClosingOnlyHidesAndTheListsKeepTheirLines) {
  THenkoForm f(ini, &desktop);
  f.SetLines(ChangeType::JC, {Sj("中山 1R 01/08 09:10 騎手Ａ⇒騎手Ｂ")});
  f.ShowWindow();
  f.close();
  EXPECT_FALSE(f.isVisible());
  f.ShowWindow();
  EXPECT_TRUE(f.isVisible());
  EXPECT_EQ(f.Lines(3), std::vector<SjisString>{Sj("中山 1R 01/08 09:10 騎手Ａ⇒騎手Ｂ")});
}

TEST_F(HenkoForm, SetLinesFillsScrollsToTheEndAndSelectsNothing) {
  THenkoForm f(ini, &desktop);
  f.show();
  std::vector<SjisString> lines;
  for (int i = 1; i <= 7; ++i) lines.push_back(Sj("中山") + std::to_string(i) + "R");
  f.SetLines(ChangeType::AV, lines);
  EXPECT_EQ(f.Lines(2), lines);
  EXPECT_EQ(f.ListBox2->currentRow(), -1);
  EXPECT_TRUE(f.ListBox2->selectedItems().isEmpty());
  QApplication::processEvents();
  // Twelve-pixel lines: three show at a time and the last one is in view.
  EXPECT_EQ(f.ListBox2->visualItemRect(f.ListBox2->item(0)).height(), 12);
  const QRect last = f.ListBox2->visualItemRect(f.ListBox2->item(6));
  EXPECT_TRUE(f.ListBox2->viewport()->rect().contains(last)) << last.y();
  EXPECT_FALSE(
      f.ListBox2->viewport()->rect().contains(f.ListBox2->visualItemRect(f.ListBox2->item(0))));

  // A click leaves no line selected.
  const QPoint at = f.ListBox2->visualItemRect(f.ListBox2->item(6)).center();
  QMouseEvent press(QEvent::MouseButtonPress, at, f.ListBox2->viewport()->mapToGlobal(at),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, f.ListBox2->viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(f.ListBox2->viewport(), &press);
  QApplication::sendEvent(f.ListBox2->viewport(), &release);
  EXPECT_TRUE(f.ListBox2->selectedItems().isEmpty());
  EXPECT_EQ(f.ListBox2->currentRow(), -1);

  // Replacing the lines replaces them all; other lists and bad numbers are left alone.
  f.SetLines(ChangeType::AV, {Sj("阪神11R")});
  EXPECT_EQ(f.Lines(2), std::vector<SjisString>{Sj("阪神11R")});
  f.SetLines(static_cast<ChangeType>(-1), {"x"});
  f.SetLines(static_cast<ChangeType>(5), {"x"});
  for (int i : {1, 3, 4, 5}) EXPECT_TRUE(f.Lines(i).empty());
}

TEST_F(HenkoForm, ACutDoubleByteCharacterIsNotShown) {
  THenkoForm f(ini, &desktop);
  // "ア" followed by the lead byte of a cut character, then a blank.
  f.SetLines(ChangeType::WE, {std::string("\x83\x41\x83 ", 4)});
  EXPECT_EQ(f.ListBox1->item(0)->text(), QString::fromUtf8("ア "));
}

}  // namespace
}  // namespace tavolen
