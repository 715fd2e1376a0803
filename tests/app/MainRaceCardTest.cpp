// The race card handlers of the main window, offscreen, with a recording desktop, a fixed
// clock and race files written byte by byte.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolButton>
#include <cstdlib>
#include <memory>

#include "app/Main.h"
#include "base/Widgets.h"
#include "jvlink/ChangeFiles.h"
#include "jvlink/RaceFiles.h"
#include "racecard/CardPaint.h"
#include "racecard/RaceCardDelegate.h"
#include "racecard/prgrsUnit.h"
#include "standin/DemoDay.h"
#include "standin/DemoLive.h"
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

class MainRaceCardTest : public MainWindowTest {
 protected:
  MainRaceCardTest()
      : MainWindowTest(
            {"tavolen_mainracecard_tests", "mainracecard", {2005, 1, 8, 9, 0, 0}, false}) {}
  void SetUp() override {
    MainWindowTest::SetUp();
    onModal_ = [this](QDialog&) { ++modals_; };
    app_ = AppDir();
    data_ = app_ / "Data";
    fs::create_directories(data_);
    // 2005-01-08: Nakayama and Hanshin, 12 races each, 16 runners; 2005-01-09 only a day file.
    WriteMeeting(data_, "20050108", {{"06", "中山"}, {"09", "阪神"}}, 16);
    RaceSpec other;
    other.date = "20050109";
    WriteFileBytes(data_ / RaceFileName("20050109", ".jvRA"), RaRecord(other));
    WriteFileBytes(data_ / RaceFileName("20050108", "中山.jvSEr.txt"), "not a day file");
  }
  TMainForm& Form() { return form_ ? *form_ : Build(); }
  // The user picks a date in the list.
  void Choose(const char* dateUtf8) {
    Parts(Form()).DateCombo->setCurrentIndex(Parts(Form()).DateCombo->findText(U(dateUtf8)));
    Form().DateComboChange();
  }

  // Shows the form on the screen as the active window, as a user meets it.
  TMainForm& ShowActive() {
    TMainForm& f = Form();
    f.show();
    f.activateWindow();
    QApplication::setActiveWindow(&f);
    for (int i = 0; i < 50 && QApplication::activeWindow() != &f; ++i)
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    return f;
  }
  // A key pressed and released on the keyboard: it goes to the widget with the focus.
  static void Key(int key, const QString& text = {}) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(QApplication::focusWidget(), &release);
    QApplication::processEvents();
  }
  // A click with the left button on a row of the race list.
  void ClickRace(int row) {
    QListWidget* list = Parts(Form()).DatList;
    QWidget* vp = list->viewport();
    const QPoint at = list->visualItemRect(list->item(row)).center();
    // The press gives the keyboard focus to the widget clicked, as the window system's press
    // does.
    for (QWidget* w = vp; w; w = w->isWindow() ? nullptr : w->parentWidget())
      if (w->isEnabled() && (w->focusPolicy() & Qt::ClickFocus)) {
        w->setFocus(Qt::MouseFocusReason);
        break;
      }
    QMouseEvent press(QEvent::MouseButtonPress, at, vp->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, vp->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &release);
    QApplication::processEvents();
  }

  fs::path app_, data_;
  int modals_ = 0;  // modal windows opened
};

TEST_F(MainRaceCardTest, CreationListsDatesNewestFirstWithNoneSelected) {
  TMainForm& f = Form();
  ASSERT_EQ(Parts(f).DateCombo->count(), 2);
  EXPECT_EQ(Parts(f).DateCombo->itemText(0), U("2005年01月09日"));
  EXPECT_EQ(Parts(f).DateCombo->itemText(1), U("2005年01月08日"));
  EXPECT_EQ(Parts(f).DateCombo->currentIndex(), -1);
  EXPECT_TRUE(Parts(f).DateCombo->currentText().isEmpty());
  EXPECT_TRUE(Parts(f).Panel1->isHidden());
  EXPECT_FALSE(CheckTimer(f)->isActive());
  EXPECT_EQ(Parts(f).StringGrid2->rowCount(), 1);
  EXPECT_EQ(Parts(f).PopupMenu1->actions().value(0)->text(), U("分析表をｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ"));
}

TEST_F(MainRaceCardTest, TodayStartsTheTimerListsRacesAndShowsTheFirstCard) {
  Choose("2005年01月08日");
  TMainForm& f = Form();
  EXPECT_TRUE(CheckTimer(f)->isActive());
  EXPECT_EQ(CheckTimer(f)->interval(), 300000);
  EXPECT_EQ(f.meeting().checkInterval, 5);
  // The tray tip names the day and says when the watch checks (the first race at 09:50: from
  // 08:45, passed; so at the first tick).
  EXPECT_EQ(desktop_.trayTip, Sj("開催日：2005年01月08日\n変更情報の確認は 09:05 から"));
  EXPECT_EQ(prgrs_->Text(), Sj("2005年01月08日"));
  EXPECT_EQ(f.meeting().selectedRaceFile, data_ / RaceFileName("20050108", ".jvRA"));
  ASSERT_EQ(Parts(f).DatList->count(), 24);
  EXPECT_EQ(Parts(f).DatList->item(0)->text(), U("中山 1R"));
  EXPECT_EQ(Parts(f).DatList->item(23)->text(), U("阪神12R"));
  EXPECT_EQ(f.UpDown1State().Max, 23);
  EXPECT_EQ(Parts(f).DatList->currentRow(), 0);
  EXPECT_FALSE(Parts(f).Panel1->isHidden());
  EXPECT_EQ(Parts(f).Label3D3->text(), U("2005年 1月 8日 中山 1回 1日"));
  EXPECT_EQ(Parts(f).Label3D2->text(), "1");
  EXPECT_TRUE(Parts(f).Label3D2->autoFillBackground());
  EXPECT_EQ(Parts(f).Label3D2->palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(Parts(f).Label3D2->palette().color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(Parts(f).Label3D9->palette().color(QPalette::WindowText), QColor(Qt::blue));
  EXPECT_EQ(Parts(f).Label3D1->font().pixelSize(), 19);
  EXPECT_TRUE(Parts(f).Label3D10->font().bold());
  EXPECT_EQ(Parts(f).Label3D9->text(), U("09時50分発走"));
  EXPECT_EQ(Parts(f).StringGrid2->rowCount(), 17);
  EXPECT_EQ(Parts(f).StringGrid2->item(5, 1)->text(), "05");
  EXPECT_TRUE(desktop_.Messages().empty());

  // Stepping with the up-down control and a selection in the list each show their race once.
  f.UpDown1Click(13);
  EXPECT_EQ(f.meeting().selectedRaceIndex, 13);
  EXPECT_EQ(Parts(f).Label3D1->text(), U("阪神"));
  EXPECT_EQ(Parts(f).Label3D2->text(), "2");
  Parts(f).DatList->setCurrentRow(4);  // mouse or keyboard
  EXPECT_EQ(f.meeting().selectedRaceIndex, 4);
  EXPECT_EQ(f.UpDown1State().Position, 4);
  EXPECT_EQ(Parts(f).Label3D2->text(), "5");
}

TEST_F(MainRaceCardTest, AnotherDayStopsTheTimerWithTheStoredInterval) {
  ASSERT_TRUE(IniFile(Form().SettingsFile()).WriteInteger("Time", "AutoRdataGet", 12).ok);
  Choose("2005年01月08日");
  ASSERT_TRUE(CheckTimer(Form())->isActive());
  Choose("2005年01月09日");
  EXPECT_FALSE(CheckTimer(Form())->isActive());
  EXPECT_EQ(CheckTimer(Form())->interval(), 12 * 60000);
  EXPECT_EQ(desktop_.trayTip,
            Sj("開催日：2005年01月09日\n2005年01月09日は本日ではないため、変更情報は確認しません"));
  // The 09th has no entry file: its race is incomplete and the card area stays hidden.
  EXPECT_EQ(desktop_.Messages(), std::vector<SjisString>{Sj("中山 1Rはデータ作成が未完了です。")});
  EXPECT_TRUE(Parts(Form()).Panel1->isHidden());
  EXPECT_EQ(Parts(Form()).Label3D3->text(), U("2005年 1月 9日 中山 1回 1日"));
}

TEST_F(MainRaceCardTest, MissingDayFileKeepsTheTimerStoppedAndTheHeader) {
  Choose("2005年01月08日");
  desktop_.Clear();
  fs::remove(data_ / RaceFileName("20050108", ".jvRA"));
  Choose("2005年01月08日");
  ASSERT_EQ(desktop_.events.size(), 2u);
  EXPECT_EQ(desktop_.events[0].kind, "beep");
  EXPECT_EQ(desktop_.events[1].text, Sj("データ作成が未完了のようです。"));
  EXPECT_FALSE(CheckTimer(Form())->isActive());
  EXPECT_EQ(Parts(Form()).DatList->count(), 0);
  EXPECT_TRUE(Parts(Form()).Panel1->isHidden());
  EXPECT_EQ(Parts(Form()).Label3D3->text(), U("2005年 1月 8日 中山 1回 1日"));
}

TEST_F(MainRaceCardTest, UnreadableOrEmptyDayFileShowsNoCard) {
  Choose("2005年01月08日");
  desktop_.Clear();
  // A day file that opens but cannot be read.
  std::error_code ec;
  fs::create_symlink("/proc/self/mem", data_ / RaceFileName("20050110", ".jvRA"), ec);
  if (ec) GTEST_SKIP() << "no symbolic link";
  Parts(Form()).DateCombo->addItem(U("2005年01月10日"));
  Choose("2005年01月10日");
  EXPECT_EQ(desktop_.Count("error"), 1);
  EXPECT_FALSE(CheckTimer(Form())->isActive());
  EXPECT_EQ(Parts(Form()).DatList->count(), 0);
  EXPECT_TRUE(Parts(Form()).Panel1->isHidden());

  WriteFileBytes(data_ / RaceFileName("20050108", ".jvRA"), "");
  desktop_.Clear();
  Choose("2005年01月08日");
  EXPECT_EQ(Parts(Form()).DatList->count(), 0);
  EXPECT_TRUE(Parts(Form()).Panel1->isHidden());
  EXPECT_EQ(Parts(Form()).StringGrid2->rowCount(), 1);
  EXPECT_TRUE(Parts(Form()).Label3D3->text().isEmpty());
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
  EXPECT_TRUE(Parts(Form()).N5->isChecked());
  std::string ini;
  ASSERT_TRUE(ReadWholeFile(SettingsFilePath(app_, "Tavolen"), ini).ok);
  EXPECT_NE(ini.find("[datalist]\r\nclose=1\r\n"), std::string::npos) << ini;
  Choose("2005年01月08日");
  EXPECT_TRUE(Parts(Form()).Panel5->isHidden());
  Form().SpeedButton8Click();
  EXPECT_FALSE(Parts(Form()).Panel5->isHidden());
  Form().N5Click();
  form_.reset();
  EXPECT_FALSE(Parts(Form()).N5->isChecked());
}

TEST_F(MainRaceCardTest, GridIsPaintedInFrameColoursAndAClickLeavesNoSelection) {
  TMainForm& f = Form();
  f.resize(640, 480);
  f.show();
  Choose("2005年01月08日");
  QApplication::processEvents();
  const QImage image = Parts(f).StringGrid2->viewport()->grab().toImage();
  auto pixel = [&](int row, int column) {
    const QRect r =
        Parts(f).StringGrid2->visualRect(Parts(f).StringGrid2->model()->index(row, column));
    return image.pixelColor(r.right() - 1, r.bottom() - 2);
  };
  EXPECT_EQ(pixel(9, 0), QColor(255, 255, 0));  // horse 9, frame 5
  EXPECT_EQ(pixel(3, 0), QColor(128, 128, 128));
  EXPECT_EQ(pixel(16, 0), QColor(255, 0, 255));
  EXPECT_EQ(pixel(4, 2), QColor(Qt::white));

  QWidget* vp = Parts(f).StringGrid2->viewport();
  const QPoint at =
      Parts(f).StringGrid2->visualRect(Parts(f).StringGrid2->model()->index(3, 4)).center();
  QMouseEvent press(QEvent::MouseButtonPress, at, vp->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(vp, &press);
  ASSERT_FALSE(Parts(f).StringGrid2->selectionModel()->selectedIndexes().isEmpty());
  QMouseEvent release(QEvent::MouseButtonRelease, at, vp->mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(vp, &release);
  QApplication::processEvents();
  EXPECT_TRUE(Parts(f).StringGrid2->selectionModel()->selectedIndexes().isEmpty());
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
    if (file.name != DemoChangeFileName(day) && !IsDemoLiveFile(file.name))
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
  ASSERT_FALSE(Parts(f).Panel1->isHidden());
  const int runners = Parts(f).StringGrid2->rowCount() - 1;
  ASSERT_GT(runners, 8);
  const QImage grid = Parts(f).StringGrid2->viewport()->grab().toImage();
  for (int row = 1; row <= runners; ++row) {
    const QRect r = Parts(f).StringGrid2->visualRect(Parts(f).StringGrid2->model()->index(row, 0));
    if (r.bottom() >= grid.height()) break;
    const auto colours = FrameColoursOf(Parts(f).StringGrid2->item(row, 0)->text().toInt());
    ASSERT_TRUE(colours.has_value()) << row;
    EXPECT_EQ(grid.pixelColor(r.right() - 1, r.bottom() - 2),
              QColor(colours->background.r, colours->background.g, colours->background.b))
        << row;
  }
  if (const char* dir = std::getenv("TAVOLEN_SCREENSHOT_DIR")) {
    EXPECT_TRUE(f.grab().save(QString::fromLocal8Bit(dir) + "/racecard.png"));
  }
}

// Stepping through the races by keyboard: the race list keeps the focus through every card,
// and no key typed there reaches a tool-bar button (Space once pressed 終了).
TEST_F(MainRaceCardTest, RaceListKeepsTheKeyboardFocusFromCardToCard) {
  TMainForm& f = ShowActive();
  Choose("2005年01月08日");
  ClickRace(2);
  EXPECT_EQ(f.meeting().selectedRaceIndex, 2);
  EXPECT_EQ(QApplication::focusWidget(), Parts(f).DatList)
      << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString()
                                      : "none")
      << " active " << (QApplication::activeWindow() == &f);
  Key(Qt::Key_Down);
  EXPECT_EQ(f.meeting().selectedRaceIndex, 3);
  EXPECT_EQ(Parts(f).Label3D2->text(), "4");
  EXPECT_EQ(QApplication::focusWidget(), Parts(f).DatList);
  Key(Qt::Key_Space, QStringLiteral(" "));
  Key(Qt::Key_Return, QStringLiteral("\r"));
  EXPECT_EQ(quits_, 0);
  EXPECT_EQ(modals_, 0);
  EXPECT_TRUE(f.isVisible());
  EXPECT_EQ(QApplication::focusWidget(), Parts(f).DatList);
  // Tabbing away from the list never lands on a tool-bar button.
  for (int i = 0; i < 8; ++i) {
    Key(Qt::Key_Tab);
    EXPECT_EQ(qobject_cast<QToolButton*>(QApplication::focusWidget()), nullptr) << i;
  }
  for (QToolButton* b : Parts(f).ToolBar1->findChildren<QToolButton*>())
    EXPECT_EQ(b->focusPolicy(), Qt::NoFocus) << b->objectName().toStdString();
}

// A race whose runners are not all there hides only the card: the race list stays, so the
// user can go on to the next race by keyboard.
TEST_F(MainRaceCardTest, IncompleteRaceLeavesTheRaceListUsable) {
  RaceSpec first, second;
  first.date = second.date = "20050110";
  second.race = 2;
  std::vector<std::string> entries;
  for (int h = 1; h <= 16; ++h) {
    RunnerSpec r;
    r.horse = h;
    entries.push_back(SeRecord(second, r));  // race 1 has no runner records
  }
  WriteFileBytes(data_ / RaceFileName("20050110", ".jvRA"), RaRecord(first) + RaRecord(second));
  WriteFileBytes(data_ / RaceFileName("20050110", "中山.jvSEr"), EntryFileBytes(entries));
  TMainForm& f = ShowActive();
  f.MakeDataListBtnClick();
  Choose("2005年01月10日");
  EXPECT_EQ(desktop_.Messages(), std::vector<SjisString>{Sj("中山 1Rはデータ作成が未完了です。")});
  EXPECT_TRUE(Parts(f).Panel1->isHidden());
  ASSERT_TRUE(Parts(f).DatList->isVisible());
  ASSERT_EQ(Parts(f).DatList->count(), 2);
  ClickRace(0);
  EXPECT_EQ(QApplication::focusWidget(), Parts(f).DatList);
  Key(Qt::Key_Down);
  EXPECT_EQ(f.meeting().selectedRaceIndex, 1);
  EXPECT_TRUE(Parts(f).Panel1->isVisible());
  EXPECT_EQ(Parts(f).StringGrid2->rowCount(), 17);
  EXPECT_EQ(QApplication::focusWidget(), Parts(f).DatList);
}

// The race name's padding (full-width blanks to 60 bytes) is not shown, and a long header never
// widens the window: it keeps its 630-pixel default, can be made as narrow as before the first
// card, and stores the width it has.
TEST_F(MainRaceCardTest, HeaderTextsNeverWidenTheWindow) {
  RaceSpec race;
  race.date = "20050110";
  SjisString name = Sj("３歳以上１勝クラス");
  while (name.size() < 60) name += Sj("　");
  race.raceName = name;
  std::vector<std::string> entries;
  for (int h = 1; h <= 16; ++h) {
    RunnerSpec r;
    r.horse = h;
    entries.push_back(SeRecord(race, r));
  }
  WriteFileBytes(data_ / RaceFileName("20050110", ".jvRA"), RaRecord(race));
  WriteFileBytes(data_ / RaceFileName("20050110", "中山.jvSEr"), EntryFileBytes(entries));
  TMainForm& f = ShowActive();
  f.MakeDataListBtnClick();
  QApplication::processEvents();
  ASSERT_EQ(f.width(), 630);
  const int narrowest = f.minimumSizeHint().width();
  Choose("2005年01月10日");
  QApplication::processEvents();
  ASSERT_FALSE(Parts(f).Panel1->isHidden());
  EXPECT_EQ(Parts(f).Label3D4->text(), U("３歳以上１勝クラス"));
  EXPECT_EQ(f.width(), 630);
  EXPECT_LE(f.minimumSizeHint().width(), narrowest);
  EXPECT_LE(f.minimumWidth(), narrowest);
  f.resize(narrowest, 450);
  QApplication::processEvents();
  EXPECT_EQ(f.width(), narrowest);
  f.resize(630, 450);
  QApplication::processEvents();
  form_.reset();
  std::string ini;
  ASSERT_TRUE(ReadWholeFile(SettingsFilePath(app_, "Tavolen"), ini).ok);
  EXPECT_NE(ini.find("width=630\r\n"), std::string::npos) << ini;
}

// The option of the ｵﾌﾟｼｮﾝ menu that marks the day's changes on the card: off by default, stored
// in the settings file, marking the post time and the course in the header and the runners in
// the grid, while the copy keeps the cell texts as entered.
TEST_F(MainRaceCardTest, ChangesOptionMarksTheDaysChangesOnTheCard) {
  const std::string race1 = "2005010806010101";
  for (const std::string& record :
       {ChangeAv(race1, "01081000", "02", '1'), ChangeJc(race1, "01081000", "05", Sj("新騎手")),
        ChangeTc(race1, "01081000", "1005"), ChangeCc(race1, "01081000", "1800", "24")})
    ASSERT_TRUE(StoreChangeRecord(data_, record).stored());
  TMainForm& f = Form();
  ASSERT_TRUE(Parts(f).OptionMenu->actions().contains(Parts(f).CardChangesItem));
  EXPECT_TRUE(Parts(f).CardChangesItem->isVisible());
  EXPECT_EQ(Parts(f).CardChangesItem->text(), U("変更情報を出馬表に表示"));
  EXPECT_FALSE(Parts(f).CardChangesItem->isChecked());  // the card as entered, by default
  Choose("2005年01月08日");
  auto* delegate = qobject_cast<RaceCardDelegate*>(Parts(f).StringGrid2->itemDelegate());
  ASSERT_NE(delegate, nullptr);
  EXPECT_FALSE(delegate->changes().has_value());
  EXPECT_EQ(Parts(f).Label3D9->text(), U("09時50分発走"));
  f.N18Click();
  const SjisString copyAsEntered = desktop_.clipboard;

  Parts(f).CardChangesItem->trigger();  // the user chooses the menu item
  ASSERT_TRUE(Parts(f).CardChangesItem->isChecked());
  std::string ini;
  ASSERT_TRUE(ReadWholeFile(SettingsFilePath(app_, "Tavolen"), ini).ok);
  EXPECT_NE(ini.find("[racecard]\r\nchanges=1\r\n"), std::string::npos) << ini;
  ASSERT_TRUE(delegate->changes().has_value());
  EXPECT_EQ(delegate->changes()->runners[1].scratch, Scratch::Scratched);
  EXPECT_EQ(delegate->changes()->runners[4].newJockey, Sj("新騎手"));
  EXPECT_EQ(Parts(f).Label3D9->text(), U("10時05分発走"));
  EXPECT_EQ(Parts(f).Label3D9->palette().color(QPalette::WindowText), QColor(Qt::red));
  EXPECT_EQ(Parts(f).Label3D7->text(), U("ﾀﾞ右"));
  EXPECT_EQ(Parts(f).Label3D8->text(), U("1800m"));
  EXPECT_EQ(Parts(f).Label3D10->text(), U("16頭"));
  f.N18Click();
  EXPECT_EQ(desktop_.clipboard, copyAsEntered);

  // Another race of the day has no changes; the option stays on through a new start.
  Parts(f).DatList->setCurrentRow(1);
  ASSERT_TRUE(delegate->changes().has_value());
  EXPECT_FALSE(delegate->changes()->Any());
  EXPECT_EQ(Parts(f).Label3D9->palette().color(QPalette::WindowText), QColor(Qt::blue));
  form_.reset();
  EXPECT_TRUE(Parts(Form()).CardChangesItem->isChecked());
  Choose("2005年01月08日");
  EXPECT_EQ(Parts(Form()).Label3D9->text(), U("10時05分発走"));

  Parts(Form()).CardChangesItem->trigger();  // off again: the card as entered
  EXPECT_EQ(Parts(Form()).Label3D9->text(), U("09時50分発走"));
  EXPECT_EQ(Parts(Form()).Label3D9->palette().color(QPalette::WindowText), QColor(Qt::blue));
  EXPECT_EQ(Parts(Form()).Label3D7->text(), U("芝右"));
  EXPECT_FALSE(qobject_cast<RaceCardDelegate*>(Parts(Form()).StringGrid2->itemDelegate())
                   ->changes()
                   .has_value());
}

}  // namespace
}  // namespace tavolen
