#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRawFont>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "acquire/GetDataUnit.h"
#include "base/IniFile.h"
#include "tests/acquire/FakeView.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedJVLink.h"

namespace tavolen {
namespace {

using testsupport::Q;

using testsupport::RaRecord;
using testsupport::SeRecord;

class GetDataForm : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication("tavolen_acquire_ui_tests");
    dir = testsupport::FreshTestDir("acquire");
    ini = std::make_unique<IniFile>(dir / "Tavolen.ini");
    form = std::make_unique<TGetDataForm>(jv, desktop, *ini, clock, dir / "Data", state,
                                          [this] { closings.push_back(jv.calls.size()); });
  }

  // Runs the event loop until pred holds or two seconds have passed.
  bool RunUntil(const std::function<bool()>& pred) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < 2000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return pred();
  }

  fs::path dir;
  RecordingDesktop desktop;
  ScriptedJVLink jv;
  FakeClock clock{LocalDateTime{2024, 1, 13, 9, 41, 7}};
  AcquisitionState state;
  std::unique_ptr<IniFile> ini;
  std::vector<size_t> closings;  // JV-Link calls made before each run of the close callback
  std::unique_ptr<TGetDataForm> form;
};

TEST_F(GetDataForm, ShowsItsCaptionsAndStartsIdle) {
  EXPECT_EQ(form->windowTitle(), Q("ＪＶデータ取込"));
  EXPECT_EQ(form->ButtonStart->text(), Q("データ取込み開始"));
  EXPECT_EQ(form->ButtonCancel->text(), Q("データ取込み中止"));
  EXPECT_EQ(form->SpeedButton1->text(), Q("JVLink設定"));
  EXPECT_EQ(form->SpeedButton1->toolTip(),
            Q("JRA-VAN\u3000Data Lab.のサービスキーやデータ保存場所の設定をします"));
  QStringList captions;
  for (QLabel* l : form->findChildren<QLabel*>()) captions << l->text();
  for (const char* c : {"ダウンロード", "読込み", "作成済みデータ", "取得開始日付"})
    EXPECT_TRUE(captions.contains(Q(c))) << c;

  EXPECT_TRUE(form->ProgressLabel->text().isEmpty());
  EXPECT_TRUE(form->ProgressLabel->font().bold());
  EXPECT_TRUE(form->ProgressLabel->font().fixedPitch());
  EXPECT_EQ(form->ProgressLabel->palette().color(QPalette::WindowText), QColor(Qt::blue));
  for (QProgressBar* bar : {form->ProgressBar1, form->ProgressBar2}) {
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
  }
  EXPECT_EQ(form->ListBox1->count(), 0);
  EXPECT_EQ(form->TimerJVStatus->interval(), 10);
  EXPECT_FALSE(form->TimerJVStatus->isActive());
  EXPECT_TRUE(form->DateTimePicker1->calendarPopup());
  EXPECT_EQ(form->DateTimePicker1->date(), QDate(2024, 1, 5));
  EXPECT_FALSE(form->DateTimePicker1->displayFormat().contains('h'));
  EXPECT_TRUE(form->DateTimePicker1->displayFormat().contains(Q("年")));
}

TEST_F(GetDataForm, StartButtonRunsASessionToCompletionKeepingThePickersTimeOfDay) {
  jv.readCount = 1;
  jv.QueueRecord(RaRecord("20240106", "06", "11"));
  jv.QueueRecord(SeRecord("20240106", "06", "11", "05"));
  form->show();
  form->DateTimePicker1->setDate(QDate(2024, 1, 3));  // the user picks a date
  form->ButtonStart->click();

  ASSERT_FALSE(jv.calls.empty());
  EXPECT_EQ(jv.calls[0].args[1], "20240103094107");
  EXPECT_EQ(desktop.Messages().back(), Sj("データ作成が完了しました。"));
  EXPECT_EQ(form->ProgressLabel->text(), Q("データ読込み完了(0/1)"));
  ASSERT_EQ(form->ListBox1->count(), 2);
  EXPECT_EQ(form->ListBox1->item(0)->text(), Q("作成済み:11R/2024年01月06日.jvRA"));
  EXPECT_EQ(form->ListBox1->item(1)->text(), Q("作成済み:11R/05番/2024年01月06日中山.jvSEr"));
  EXPECT_EQ(form->ProgressBar1->value(), 0);
  EXPECT_EQ(form->ProgressBar2->value(), 0);
  EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);  // default cursor again
  EXPECT_TRUE(fs::exists(dir / "Data" / fs::path(u8"2024年01月06日.jvRA")));
  EXPECT_TRUE(closings.empty());
}

TEST_F(GetDataForm, StatusTimerCarriesTheDownloadIntoReading) {
  jv.readCount = 1;
  jv.downloadCount = 3;
  jv.statusResults = {0, 1, 2, 3};
  jv.QueueRecord(RaRecord("20240106", "06", "01"));
  form->show();
  form->ButtonStart->click();
  EXPECT_TRUE(form->TimerJVStatus->isActive());
  EXPECT_EQ(form->ProgressLabel->text(), Q("ダウンロード中・・・"));
  EXPECT_EQ(form->ProgressBar1->maximum(), 3);
  EXPECT_EQ(form->cursor().shape(), Qt::BusyCursor);  // busy during the download

  ASSERT_TRUE(RunUntil([&] { return jv.Count("JVClose") == 1; }));
  EXPECT_FALSE(form->TimerJVStatus->isActive());
  EXPECT_EQ(jv.Count("JVStatus"), 4);
  EXPECT_EQ(form->ListBox1->count(), 1);
  EXPECT_EQ(desktop.Messages().back(), Sj("データ作成が完了しました。"));
}

TEST_F(GetDataForm, ClosingDuringReadingWaitsForTheLoopAndItsCloseStep) {
  jv.readCount = 1;
  for (const char* race : {"01", "02", "03"}) jv.QueueRecord(RaRecord("20240106", "06", race));
  jv.onCall = [&](const std::string& op) {
    if (op == "JVRead" && jv.Count("JVRead") == 2) form->close();
  };
  form->show();
  form->ButtonStart->click();

  EXPECT_EQ(jv.Count("JVRead"), 4);  // the loop ran to its end
  ASSERT_EQ(closings.size(), 1u);
  EXPECT_EQ(jv.calls[closings[0] - 1].op, "JVClose");  // the close step ran before closing
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->ListBox1->count(), 3);
}

TEST_F(GetDataForm, ClosingRunsTheCallbackOnceAndStopsTheStatusTimer) {
  jv.readCount = 1;
  jv.downloadCount = 3;
  form->show();
  form->ButtonStart->click();
  EXPECT_TRUE(form->TimerJVStatus->isActive());
  form->reject();  // Escape
  form->close();
  EXPECT_EQ(closings.size(), 1u);
  EXPECT_FALSE(form->TimerJVStatus->isActive());
  // A download left waiting keeps its session open for the next window.
  EXPECT_TRUE(state.sessionOpen);
  EXPECT_EQ(jv.Count("JVClose"), 0);
}

TEST_F(GetDataForm, OpenShowsAModalWindowAndRunsTheCallbackWhenItCloses) {
  form.reset();
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* shown = qobject_cast<TGetDataForm*>(QApplication::activeModalWidget());
    seen = shown != nullptr;
    if (shown) shown->close();
  });
  TGetDataForm::Open(jv, desktop, *ini, clock, dir / "Data", state,
                     [this] { closings.push_back(jv.calls.size()); });
  EXPECT_TRUE(seen);
  EXPECT_EQ(closings.size(), 1u);
}

TEST_F(GetDataForm, SettingsButtonCallsJVLinksDialog) {
  jv.uiResults = {-100};
  form->SpeedButton1->click();
  EXPECT_EQ(jv.Ops(), (std::vector<std::string>{"JVSetUIProperties"}));
  EXPECT_EQ(desktop.Messages().size(), 1u);
}

// The list of stored records as the screen shows it while the records are read: each line
// appears as its record is stored, not only after the completion message.
TEST_F(GetDataForm, StoredLinesAppearOnScreenWhileTheRecordsAreRead) {
  jv.readCount = 1;
  for (const char* course : {"05", "06"})
    for (const char* race : {"01", "02", "03", "04", "05", "06", "07", "08", "09", "10", "11"})
      jv.QueueRecord(RaRecord("20240106", course, race));
  // The screen is looked at before each read from the third on: the list's area must show
  // lines nearly every time.
  int looks = 0, shown = 0;
  jv.onCall = [&](const std::string& op) {
    if (op != "JVRead" || jv.Count("JVRead") < 3) return;
    // What the window last painted: its picture on the (offscreen) screen.
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(form->winId()).toImage();
    QWidget* vp = form->ListBox1->viewport();
    const QRect area(vp->mapTo(form.get(), QPoint(0, 0)), vp->size());
    int ink = 0;
    for (int y = area.top(); y <= area.bottom() && y < shot.height(); ++y)
      for (int x = area.left(); x <= area.right() && x < shot.width(); ++x)
        if (qGray(shot.pixel(x, y)) < 128) ++ink;
    ++looks;
    if (ink > 50) ++shown;
  };
  form->show();
  QApplication::processEvents();
  form->ButtonStart->click();
  ASSERT_EQ(form->ListBox1->count(), 22);
  ASSERT_EQ(looks, 21);
  EXPECT_GE(shown, 18) << "the list was blank " << looks - shown << " times of " << looks;
  // Soon after the records are read, the list shows its newest line.
  QListWidget* list = form->ListBox1;
  ASSERT_TRUE(RunUntil([&] { return list->viewport()->updatesEnabled(); }));
  EXPECT_TRUE(list->viewport()->rect().intersects(list->visualItemRect(list->item(21))));
}

// A start that finds nothing does not leave the last session's status standing.
TEST_F(GetDataForm, NextStartClearsTheLastStatus) {
  jv.readCount = 1;
  jv.QueueRecord(RaRecord("20240106", "06", "11"));
  form->ButtonStart->click();
  ASSERT_EQ(form->ProgressLabel->text(), Q("データ読込み完了(0/1)"));
  jv.openResults = {-1};
  form->ButtonStart->click();
  EXPECT_EQ(desktop.Messages().back(), Sj("最新のデータがありません。"));
  EXPECT_TRUE(form->ProgressLabel->text().isEmpty()) << form->ProgressLabel->text().toStdString();
}

// The list's lines mix digits, letters and kanji: one Japanese font draws them all, so the
// digits never come from another fallback face.
TEST_F(GetDataForm, ListDrawsDigitsAndKanjiInOneFont) {
  const QRawFont kanji = QRawFont::fromFont(form->ListBox1->font(), QFontDatabase::Japanese);
  const QRawFont digits = QRawFont::fromFont(form->ListBox1->font(), QFontDatabase::Latin);
  ASSERT_TRUE(kanji.isValid());
  ASSERT_TRUE(digits.isValid());
  EXPECT_EQ(digits.familyName(), kanji.familyName());
  for (char16_t c : std::u16string(u"作成済み:11R/05番/2024年01月06日中山.jvSEr"))
    EXPECT_TRUE(kanji.supportsCharacter(QChar(c))) << static_cast<int>(c);
  EXPECT_EQ(QRawFont::fromFont(form->ProgressLabel->font(), QFontDatabase::Latin).familyName(),
            kanji.familyName());
}

}  // namespace
}  // namespace tavolen
