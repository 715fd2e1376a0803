// The race card handlers of the main window, offscreen, with a recording desktop, a fixed
// clock and race files written byte by byte.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <cstdlib>
#include <memory>

#include "app/Main.h"
#include "base/Widgets.h"
#include "jvlink/RaceFiles.h"
#include "racecard/CardPaint.h"
#include "racecard/prgrsUnit.h"
#include "standin/DemoDay.h"
#include "tests/support/Files.h"
#include "tests/support/MainWindow.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/Records.h"
#include "tests/support/ScriptedJVLink.h"
#include "tests/support/TestDir.h"

namespace tavolen {
namespace {

constexpr auto U = testsupport::Q;

using namespace tavolen::testsupport;

class MainRaceCardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication("tavolen_mainracecard_tests");
    app_ = TestDir("mainracecard");
    data_ = app_ / "Data";
    fs::create_directories(data_);
    // 2005-01-08: Nakayama and Hanshin, 12 races each, 16 runners; 2005-01-09 only a day file.
    WriteMeeting(data_, "20050108", {{"06", "中山"}, {"09", "阪神"}}, 16);
    RaceSpec other;
    other.date = "20050109";
    WriteFileBytes(data_ / RaceFileName("20050109", ".jvRA"), RaRecord(other));
    WriteFileBytes(data_ / RaceFileName("20050108", "中山.jvSEr.txt"), "not a day file");
  }
  void TearDown() override { form_.reset(); }

  TMainForm& Form() {
    if (!form_) {
      form_ = std::make_unique<TMainForm>(testsupport::TestDeps(app_, desktop_, clock_, jv_));
      form_->PrgrsForm = prgrs_.get();
    }
    return *form_;
  }
  // The user picks a date in the list.
  void Choose(const char* dateUtf8) {
    Form().DateCombo->setCurrentIndex(Form().DateCombo->findText(U(dateUtf8)));
    Form().DateComboChange();
  }

  fs::path app_, data_;
  RecordingDesktop desktop_;
  FakeClock clock_{LocalDateTime{2005, 1, 8, 9, 0, 0}};
  ScriptedJVLink jv_;
  std::unique_ptr<TPrgrsForm> prgrs_ =
      (testsupport::EnsureApplication("tavolen_mainracecard_tests"),
       std::make_unique<TPrgrsForm>());
  std::unique_ptr<TMainForm> form_;
};

TEST_F(MainRaceCardTest, CreationListsDatesNewestFirstWithNoneSelected) {
  TMainForm& f = Form();
  ASSERT_EQ(f.DateCombo->count(), 2);
  EXPECT_EQ(f.DateCombo->itemText(0), U("2005年01月09日"));
  EXPECT_EQ(f.DateCombo->itemText(1), U("2005年01月08日"));
  EXPECT_EQ(f.DateCombo->currentIndex(), -1);
  EXPECT_TRUE(f.DateCombo->currentText().isEmpty());
  EXPECT_TRUE(f.Panel1->isHidden());
  EXPECT_FALSE(f.Timer4->isActive());
  EXPECT_EQ(f.StringGrid2->rowCount(), 1);
  EXPECT_EQ(f.PopupMenu1->actions().value(0)->text(), U("分析表をｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ"));
}

TEST_F(MainRaceCardTest, TodayStartsTheTimerListsRacesAndShowsTheFirstCard) {
  Choose("2005年01月08日");
  TMainForm& f = Form();
  EXPECT_TRUE(f.Timer4->isActive());
  EXPECT_EQ(f.Timer4->interval(), 300000);
  EXPECT_EQ(f.meeting().checkInterval, 5);
  EXPECT_EQ(desktop_.trayTip, Sj("開催日：2005年01月08日"));
  EXPECT_EQ(prgrs_->Text(), Sj("2005年01月08日"));
  EXPECT_EQ(f.meeting().selectedRaceFile, data_ / RaceFileName("20050108", ".jvRA"));
  ASSERT_EQ(f.DatList->count(), 24);
  EXPECT_EQ(f.DatList->item(0)->text(), U("中山 1R"));
  EXPECT_EQ(f.DatList->item(23)->text(), U("阪神12R"));
  EXPECT_EQ(f.UpDown1.Max, 23);
  EXPECT_EQ(f.DatList->currentRow(), 0);
  EXPECT_FALSE(f.Panel1->isHidden());
  EXPECT_EQ(f.Label3D3->text(), U("2005年 1月 8日 中山 1回 1日"));
  EXPECT_EQ(f.Label3D2->text(), "1");
  EXPECT_TRUE(f.Label3D2->autoFillBackground());
  EXPECT_EQ(f.Label3D2->palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(f.Label3D2->palette().color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(f.Label3D9->palette().color(QPalette::WindowText), QColor(Qt::blue));
  EXPECT_EQ(f.Label3D1->font().pixelSize(), 19);
  EXPECT_TRUE(f.Label3D10->font().bold());
  EXPECT_EQ(f.Label3D9->text(), U("09時50分発走"));
  EXPECT_EQ(f.StringGrid2->rowCount(), 17);
  EXPECT_EQ(f.StringGrid2->item(5, 1)->text(), "05");
  EXPECT_TRUE(desktop_.Messages().empty());

  // Stepping with the up-down control and a selection in the list each show their race once.
  f.UpDown1.Position = 13;
  f.UpDown1Click();
  EXPECT_EQ(f.meeting().selectedRaceIndex, 13);
  EXPECT_EQ(f.Label3D1->text(), U("阪神"));
  EXPECT_EQ(f.Label3D2->text(), "2");
  f.DatList->setCurrentRow(4);  // mouse or keyboard
  EXPECT_EQ(f.meeting().selectedRaceIndex, 4);
  EXPECT_EQ(f.UpDown1.Position, 4);
  EXPECT_EQ(f.Label3D2->text(), "5");
}

TEST_F(MainRaceCardTest, AnotherDayStopsTheTimerWithTheStoredInterval) {
  ASSERT_TRUE(Form().IniGT1.WriteInteger("Time", "AutoRdataGet", 12).ok);
  Choose("2005年01月08日");
  ASSERT_TRUE(Form().Timer4->isActive());
  Choose("2005年01月09日");
  EXPECT_FALSE(Form().Timer4->isActive());
  EXPECT_EQ(Form().Timer4->interval(), 12 * 60000);
  EXPECT_EQ(desktop_.trayTip, Sj("開催日：2005年01月09日"));
  // The 09th has no entry file: its race is incomplete and the card area stays hidden.
  EXPECT_EQ(desktop_.Messages(), std::vector<SjisString>{Sj("中山 1Rはデータ作成が未完了です。")});
  EXPECT_TRUE(Form().Panel1->isHidden());
  EXPECT_EQ(Form().Label3D3->text(), U("2005年 1月 9日 中山 1回 1日"));
}

TEST_F(MainRaceCardTest, MissingDayFileKeepsTheTimerStoppedAndTheHeader) {
  Choose("2005年01月08日");
  desktop_.Clear();
  fs::remove(data_ / RaceFileName("20050108", ".jvRA"));
  Choose("2005年01月08日");
  ASSERT_EQ(desktop_.events.size(), 2u);
  EXPECT_EQ(desktop_.events[0].kind, "beep");
  EXPECT_EQ(desktop_.events[1].text, Sj("データ作成が未完了のようです。"));
  EXPECT_FALSE(Form().Timer4->isActive());
  EXPECT_EQ(Form().DatList->count(), 0);
  EXPECT_TRUE(Form().Panel1->isHidden());
  EXPECT_EQ(Form().Label3D3->text(), U("2005年 1月 8日 中山 1回 1日"));
}

TEST_F(MainRaceCardTest, UnreadableOrEmptyDayFileShowsNoCard) {
  Choose("2005年01月08日");
  desktop_.Clear();
  // A day file that opens but cannot be read.
  std::error_code ec;
  fs::create_symlink("/proc/self/mem", data_ / RaceFileName("20050110", ".jvRA"), ec);
  if (ec) GTEST_SKIP() << "no symbolic link";
  Form().DateCombo->addItem(U("2005年01月10日"));
  Choose("2005年01月10日");
  EXPECT_EQ(desktop_.Count("error"), 1);
  EXPECT_FALSE(Form().Timer4->isActive());
  EXPECT_EQ(Form().DatList->count(), 0);
  EXPECT_TRUE(Form().Panel1->isHidden());

  WriteFileBytes(data_ / RaceFileName("20050108", ".jvRA"), "");
  desktop_.Clear();
  Choose("2005年01月08日");
  EXPECT_EQ(Form().DatList->count(), 0);
  EXPECT_TRUE(Form().Panel1->isHidden());
  EXPECT_EQ(Form().StringGrid2->rowCount(), 1);
  EXPECT_TRUE(Form().Label3D3->text().isEmpty());
  EXPECT_EQ(desktop_.Count("info"), 1);
  Form().UpDown1Click();  // fewer than two races: nothing happens
}

TEST_F(MainRaceCardTest, CopyGivesTitleHeaderAndOneLinePerRunner) {
  Choose("2005年01月08日");
  Form().N18Click();
  const std::vector<std::string> lines = SplitLines(desktop_.clipboard);
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[0], Sj("2005年 1月 8日 中山 1回 1日 1R"));
  EXPECT_EQ(lines[1], Sj("枠\t馬\t馬名\t性齢\t斤量\t騎手\t調教師\tﾌﾞﾘﾝｶ\t見習"));
  // Horse 5 in frame 3; names keep their stored widths (19, 8 and 8 bytes).
  EXPECT_EQ(lines[6], Sj("3\t05\tHorse05            \t牡 3\t55.0kg\tJockey  \tTrainer \t\t"));
  EXPECT_TRUE(desktop_.clipboard.ends_with("\r\n"));
}

TEST_F(MainRaceCardTest, HideListOptionIsStoredAndApplied) {
  Form().N5Click();
  EXPECT_TRUE(Form().N5->isChecked());
  std::string ini;
  ASSERT_TRUE(ReadWholeFile(SettingsFilePath(app_, "Tavolen"), ini).ok);
  EXPECT_NE(ini.find("[datalist]\r\nclose=1\r\n"), std::string::npos) << ini;
  Choose("2005年01月08日");
  EXPECT_TRUE(Form().Panel5->isHidden());
  Form().SpeedButton8Click();
  EXPECT_FALSE(Form().Panel5->isHidden());
  Form().N5Click();
  form_.reset();
  EXPECT_FALSE(Form().N5->isChecked());
}

TEST_F(MainRaceCardTest, GridIsPaintedInFrameColoursAndAClickLeavesNoSelection) {
  TMainForm& f = Form();
  f.resize(640, 480);
  f.show();
  Choose("2005年01月08日");
  QApplication::processEvents();
  const QImage image = f.StringGrid2->viewport()->grab().toImage();
  auto pixel = [&](int row, int column) {
    const QRect r = f.StringGrid2->visualRect(f.StringGrid2->model()->index(row, column));
    return image.pixelColor(r.right() - 1, r.bottom() - 2);
  };
  EXPECT_EQ(pixel(9, 0), QColor(255, 255, 0));  // horse 9, frame 5
  EXPECT_EQ(pixel(3, 0), QColor(128, 128, 128));
  EXPECT_EQ(pixel(16, 0), QColor(255, 0, 255));
  EXPECT_EQ(pixel(4, 2), QColor(Qt::white));

  QWidget* vp = f.StringGrid2->viewport();
  const QPoint at = f.StringGrid2->visualRect(f.StringGrid2->model()->index(3, 4)).center();
  QMouseEvent press(QEvent::MouseButtonPress, at, vp->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(vp, &press);
  ASSERT_FALSE(f.StringGrid2->selectionModel()->selectedIndexes().isEmpty());
  QMouseEvent release(QEvent::MouseButtonRelease, at, vp->mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(vp, &release);
  QApplication::processEvents();
  EXPECT_TRUE(f.StringGrid2->selectionModel()->selectedIndexes().isEmpty());
}

// The stand-in's demo day stored as the acquisition stores it, then chosen and shown: the
// first race is complete and painted in its frame colours. With TAVOLEN_SCREENSHOT_DIR set,
// the window is saved there as racecard.png.
TEST_F(MainRaceCardTest, DemoDayShowsAFullRaceCard) {
  const LocalDateTime day{2005, 1, 8, 9, 0, 0};
  fs::remove_all(data_);
  fs::create_directories(data_);
  int stored = 0;
  for (const DemoFile& file : GenerateDemoDay(day))
    if (file.name != DemoChangeFileName(day))
      for (const std::string& line : SplitLines(file.bytes)) {
        const std::string record = line + "\r\n";
        if (record.starts_with("RA")) stored += StoreRaRecord(data_, record).stored();
        if (record.starts_with("SE")) stored += StoreSeRecord(data_, record).stored();
      }
  ASSERT_GT(stored, 24);
  TMainForm& f = Form();
  f.show();  // at the default place and size
  Choose("2005年01月08日");
  QApplication::processEvents();
  ASSERT_TRUE(desktop_.Messages().empty()) << SjisToUtf8(desktop_.Messages()[0]);
  ASSERT_FALSE(f.Panel1->isHidden());
  const int runners = f.StringGrid2->rowCount() - 1;
  ASSERT_GT(runners, 8);
  const QImage grid = f.StringGrid2->viewport()->grab().toImage();
  for (int row = 1; row <= runners; ++row) {
    const QRect r = f.StringGrid2->visualRect(f.StringGrid2->model()->index(row, 0));
    if (r.bottom() >= grid.height()) break;
    const auto colours = FrameColoursOf(f.StringGrid2->item(row, 0)->text().toInt());
    ASSERT_TRUE(colours.has_value()) << row;
    EXPECT_EQ(grid.pixelColor(r.right() - 1, r.bottom() - 2),
              QColor(colours->background.r, colours->background.g, colours->background.b))
        << row;
  }
  if (const char* dir = std::getenv("TAVOLEN_SCREENSHOT_DIR")) {
    EXPECT_TRUE(f.grab().save(QString::fromLocal8Bit(dir) + "/racecard.png"));
  }
}

}  // namespace
}  // namespace tavolen
