// Favourites through the main window: marked from the race card's menu and key, written to
// their file and read back, marked on the race list, the card and its copy; a damaged list file
// kept aside; the favourites window; the notification settings window from the menu and the
// tray.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/Main.h"
#include "changes/NotifySettingsForm.h"
#include "racecard/CardPaint.h"
#include "racecard/FavouritesForm.h"
#include "tests/support/Files.h"
#include "tests/support/MainWindow.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

constexpr auto U = testsupport::Q;

using namespace tavolen::testsupport;

class MainFavourites : public MainWindowTest {
 protected:
  MainFavourites()
      : MainWindowTest(
            {"tavolen_mainracecard_tests", "mainracecard", {2005, 1, 8, 9, 0, 0}, false}) {}
  void SetUp() override {
    MainWindowTest::SetUp();
    fs::create_directories(AppDir() / "Data");
    // 2005-01-08 at 中山: 12 races of 16 runners, each horse with its own registration number
    // "200210" + race + horse; jockey 01126 (石田一) rides horse 3 of every race.
    std::vector<std::string> day, entries;
    for (int race = 1; race <= 12; ++race) {
      RaceSpec rs;
      rs.race = race;
      day.push_back(RaRecord(rs));
      for (int h = 1; h <= 16; ++h) {
        RunnerSpec rn;
        rn.horse = h;
        rn.registration = "200210" + TwoDigits(race) + TwoDigits(h);
        if (h == 3) rn.jockey = Sj("石田一");
        std::string se = SeRecord(rs, rn);
        if (h == 3) Put(se, 297, "01126");
        entries.push_back(se);
      }
    }
    WriteFileBytes(AppDir() / "Data" / RaceFileName("20050108", "中山.jvSEr"),
                   EntryFileBytes(entries));
    WriteFileBytes(AppDir() / "Data" / RaceFileName("20050108", ".jvRA"), Concat(day));
  }
  TMainForm& Form() { return form_ ? *form_ : Build(); }
  void Choose() {
    Parts(Form()).DateCombo->setCurrentIndex(0);
    Form().DateComboChange();
  }
  fs::path ListFile() const { return AppDir() / "Favourites.txt"; }
  QTableWidget* Grid() { return Parts(Form()).StringGrid2; }
  // The right-button menu opened on a cell of the card and its item "お気に入りに追加/解除"
  // chosen.
  void MenuOn(int row, int column) {
    const QPoint at = Grid()->visualRect(Grid()->model()->index(row, column)).center();
    emit Grid()->customContextMenuRequested(at);
    auto* item = Part<QAction>(Form(), "FavouriteItem");
    EXPECT_EQ(item->text(), U("お気に入りに追加/解除"));
    item->trigger();
    Parts(Form()).PopupMenu1->hide();
  }
  // Ctrl+D on the card with the current cell at (row, column).
  void KeyOn(int row, int column) {
    Grid()->setCurrentCell(row, column);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_D, Qt::ControlModifier);
    QApplication::sendEvent(Grid(), &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_D, Qt::ControlModifier);
    QApplication::sendEvent(Grid(), &release);
  }
  std::vector<QString> RaceItems() {
    std::vector<QString> out;
    for (int i = 0; i < Parts(Form()).DatList->count(); ++i)
      out.push_back(Parts(Form()).DatList->item(i)->text());
    return out;
  }
};

TEST_F(MainFavourites, MarkedFromTheCardWrittenReadBackAndMarkedEverywhere) {
  TMainForm& f = Form();
  f.resize(640, 480);
  f.show();
  Choose();
  EXPECT_FALSE(fs::exists(ListFile()));
  EXPECT_EQ(RaceItems().front(), U("中山 1R"));

  MenuOn(5, 2);  // horse 5 of race 1
  EXPECT_EQ(ReadFileBytes(ListFile()), "Tavolen favourites 1\r\nH\t2002100105\tHorse05\r\n");
  // The race list marks race 1 in its own colour, and only race 1.
  EXPECT_EQ(RaceItems()[0], U("中山 1R★"));
  EXPECT_EQ(RaceItems()[1], U("中山 2R"));
  EXPECT_NE(Parts(f).DatList->item(0)->foreground().color(),
            Parts(f).DatList->item(1)->foreground().color());
  // The card: the mark before the name, in the copy too.
  EXPECT_EQ(Grid()->item(5, 2)->text().trimmed(), U("★Horse05"));
  EXPECT_EQ(Grid()->item(4, 2)->text().trimmed(), U("Horse04"));
  f.N18Click();
  const std::vector<std::string> lines = SplitLines(desktop_.clipboard);
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[6], Sj("3\t05\t★Horse05            \t牡 3\t55.0kg\tJockey  \tTrainer \t\t"));
  EXPECT_EQ(lines[5], Sj("2\t04\tHorse04            \t牡 3\t55.0kg\tJockey  \tTrainer \t\t"));
  // The row's background within the card's painting; the frame keeps its colour.
  QApplication::processEvents();
  const QImage image = Grid()->viewport()->grab().toImage();
  auto pixel = [&](int row, int column) {
    const QRect r = Grid()->visualRect(Grid()->model()->index(row, column));
    return image.pixelColor(r.right() - 1, r.bottom() - 2);
  };
  const QColor rose(kFavouriteFill.r, kFavouriteFill.g, kFavouriteFill.b);
  EXPECT_EQ(pixel(5, 4), rose);
  EXPECT_EQ(pixel(5, 8), rose);
  EXPECT_EQ(pixel(4, 4), QColor(Qt::white));
  EXPECT_EQ(pixel(5, 0), QColor(255, 0, 0));  // frame 3

  // The key on the jockey's cell marks the jockey: every race he rides in.
  KeyOn(3, 5);
  EXPECT_EQ(ReadFileBytes(ListFile()),
            "Tavolen favourites 1\r\nH\t2002100105\tHorse05\r\nJ\t01126\t" + Sj("石田一") + "\r\n");
  for (const QString& item : RaceItems()) EXPECT_TRUE(item.endsWith(U("★"))) << item.toStdString();
  EXPECT_EQ(Grid()->item(3, 2)->text().trimmed(), U("☆Horse03"));

  // A new start reads the list back.
  form_.reset();
  Choose();
  EXPECT_EQ(Form().Favourites().items().size(), 2u);
  EXPECT_EQ(Grid()->item(5, 2)->text().trimmed(), U("★Horse05"));
  // The key on the horse's row removes it again.
  KeyOn(5, 2);
  EXPECT_EQ(ReadFileBytes(ListFile()),
            "Tavolen favourites 1\r\nJ\t01126\t" + Sj("石田一") + "\r\n");
  EXPECT_EQ(Grid()->item(5, 2)->text().trimmed(), U("Horse05"));
  EXPECT_TRUE(desktop_.Messages().empty());
}

TEST_F(MainFavourites, ADamagedListFileIsKeptAsideAndSaidAndTheProgramGoesOn) {
  ASSERT_TRUE(WriteFileBytes(ListFile(), "Tavolen favourites 1\r\nH\tnot a number\tX\r\n"));
  TMainForm& f = Form();
  EXPECT_TRUE(f.CreationCompleted());
  EXPECT_TRUE(desktop_.Messages().empty());  // nothing waits on an answer
  EXPECT_TRUE(f.Favourites().empty());
  EXPECT_FALSE(fs::exists(ListFile()));
  const fs::path aside = AppDir() / "Favourites-damaged-20050108090000.txt";
  EXPECT_EQ(ReadFileBytes(aside), "Tavolen favourites 1\r\nH\tnot a number\tX\r\n");
  const std::string log = ReadFileBytes(AppDir() / "ErrorLog.txt");
  EXPECT_NE(log.find(Sj("【エラー】09:00:00：お気に入りファイルが壊れているため、")),
            std::string::npos)
      << SjisToUtf8(log);
  EXPECT_TRUE(Parts(f).StatusLine->currentMessage().contains(U("Favourites-damaged-")));
  // Marking goes on into a new file.
  Choose();
  KeyOn(2, 2);
  EXPECT_EQ(ReadFileBytes(ListFile()), "Tavolen favourites 1\r\nH\t2002100102\tHorse02\r\n");
}

TEST_F(MainFavourites, TheFavouritesWindowFindsAddsAndRemoves) {
  int shown = 0;
  onModal_ = [&](QDialog& dialog) {
    auto* form = qobject_cast<TFavouritesForm*>(&dialog);
    ASSERT_NE(form, nullptr);
    ++shown;
    // Full-width letters and digits find the half-width name.
    form->SearchEdit->setText(U("ｈｏｒｓｅ１１"));
    form->SearchButton->click();
    ASSERT_EQ(form->FoundList->count(), 12);  // horse 11 of each race
    EXPECT_EQ(form->FoundList->item(0)->text(), U("Horse11 (2002100111) 2005年01月08日"));
    form->AddButton->click();
    ASSERT_EQ(form->FavouriteListBox->count(), 1);
    EXPECT_EQ(form->FavouriteListBox->item(0)->text(), U("馬   Horse11 (2002100111)"));
    EXPECT_EQ(ReadFileBytes(ListFile()), "Tavolen favourites 1\r\nH\t2002100111\tHorse11\r\n");
    form->SearchEdit->setText(U("no such horse"));
    form->SearchButton->click();
    EXPECT_EQ(form->FoundList->count(), 0);
    EXPECT_EQ(form->FoundLabel->text(), U("見つかりません"));
  };
  TMainForm& f = Form();
  Choose();
  Part<QAction>(f, "FavouritesItem")->trigger();
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(RaceItems()[0], U("中山 1R★"));  // marked at once

  onModal_ = [&](QDialog& dialog) {
    auto* form = qobject_cast<TFavouritesForm*>(&dialog);
    ASSERT_NE(form, nullptr);
    form->FavouriteListBox->setCurrentRow(0);
    form->RemoveButton->click();
    EXPECT_EQ(form->FavouriteListBox->count(), 0);
  };
  Part<QAction>(f, "FavouritesItem")->trigger();
  EXPECT_EQ(ReadFileBytes(ListFile()), "Tavolen favourites 1\r\n");
  EXPECT_EQ(RaceItems()[0], U("中山 1R"));
}

TEST_F(MainFavourites, TheSettingsWindowStoresTheSwitchesFromTheMenuAndTheTray) {
  TMainForm& f = Form();
  EXPECT_EQ(Watch(f).Choice(), NotifyChoice{});  // every kind on, not only favourites
  onModal_ = [&](QDialog& dialog) {
    auto* form = qobject_cast<TNotifySettingsForm*>(&dialog);
    ASSERT_NE(form, nullptr);
    for (QCheckBox* box : form->KindBoxes) EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(form->KindBoxes[1]->text(), U("出走取消・競走除外"));
    EXPECT_EQ(form->FavouritesOnlyBox->text(), U("お気に入りに関する変更だけ知らせる"));
    EXPECT_FALSE(form->FavouritesOnlyBox->isChecked());
    form->KindBoxes[1]->setChecked(false);
    form->FavouritesOnlyBox->setChecked(true);
    form->OkButton->click();
  };
  Part<QAction>(f, "NotifySettingsItem")->trigger();
  const std::string ini = ReadFileBytes(IniPath());
  EXPECT_EQ(IniValue(ini, "notify", "scratch"), "0");
  EXPECT_EQ(IniValue(ini, "notify", "weather"), "1");
  EXPECT_EQ(IniValue(ini, "notify", "favouritesonly"), "1");
  NotifyChoice expected;
  expected.kinds[1] = false;
  expected.favouritesOnly = true;
  EXPECT_EQ(Watch(f).Choice(), expected);

  // From the tray: shown as stored; cancelled, nothing changes.
  onModal_ = [&](QDialog& dialog) {
    auto* form = qobject_cast<TNotifySettingsForm*>(&dialog);
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->KindBoxes[1]->isChecked());
    EXPECT_TRUE(form->FavouritesOnlyBox->isChecked());
    form->KindBoxes[0]->setChecked(false);
    form->CancelButton->click();
  };
  Part<QAction>(f, "TrayNotifySettingsItem")->trigger();
  EXPECT_EQ(ReadFileBytes(IniPath()), ini);
  EXPECT_EQ(Watch(f).Choice(), expected);
  // A new start reads them.
  form_.reset();
  EXPECT_EQ(Watch(Form()).Choice(), expected);
}

}  // namespace
}  // namespace tavolen
