// Writes pictures of the program's windows as a user sees them, as PNG files into the folder
// given as the first argument. Everything shown comes from the real pipeline: the JV-Link
// stand-in serves its demo race day, the acquisition window fetches and stores it, the main
// window loads it, and a change fetch and evaluation fill the change window. Returns non-zero
// when a picture could not be made or does not show what it should.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <string>

#include "acquire/GetDataUnit.h"
#include "app/About.h"
#include "app/Main.h"
#include "app/Translations.h"
#include "app/TrayState.h"
#include "automation/AutoWatch.h"
#include "base/Favourites.h"
#include "base/SettingsKeys.h"
#include "base/Widgets.h"
#include "changes/ChangeWatch.h"
#include "changes/NotifySettingsForm.h"
#include "changes/OzGetTimeUnit.h"
#include "changes/henkoUnit.h"
#include "jvlink/JVData_Structure.h"
#include "racecard/FavouritesForm.h"
#include "racecard/RaceCardDelegate.h"
#include "standin/DemoDay.h"
#include "standin/StandIn.h"
#include "tests/support/DemoFavourite.h"
#include "tests/support/MainParts.h"
#include "tests/support/RecordingDesktop.h"

using namespace tavolen;
using tavolen::testsupport::Parts;

namespace {

// The demo day: a Sunday, the clock ten minutes after the last change was announced.
constexpr LocalDateTime kDemoDate{2024, 6, 2, 0, 0, 0};
// Lines in the acquisition window's list before it is pictured during the reading.
constexpr int kListLinesWhileReading = 40;
constexpr int kStepTimeoutMs = 60000;

QString out;
bool allOk = true;

void Settle(int rounds = 20) {
  for (int i = 0; i < rounds; ++i) QApplication::processEvents();
}

bool Fail(const char* what) {
  std::printf("FAILED %s\n", what);
  allOk = false;
  return false;
}

// Pictures a window that is already shown.
bool Grab(QWidget& w, const char* name) {
  Settle();
  const QString file = out + "/" + QString::fromLatin1(name);
  QFile::remove(file);  // an old picture must not pass for a new one
  const bool ok = w.grab().save(file, "PNG");
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.toLocal8Bit().constData());
  allOk &= ok;
  return ok;
}

bool Show(QWidget& w, const char* name) {
  w.show();
  w.raise();
  return Grab(w, name);
}

// Runs the window messages until done() holds or the step times out.
bool WaitFor(const std::function<bool()>& done, const char* what) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > kStepTimeoutMs) return Fail(what);
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Pictures a window with one of its menus open. The menu is a window of its own, so the
// picture is taken from the screen.
bool GrabWithMenu(QMainWindow& w, QMenu* menu, const char* name) {
  w.show();
  w.raise();
  w.activateWindow();
  Settle();
  w.menuBar()->setActiveAction(menu->menuAction());
  if (!WaitFor([menu] { return menu->isVisible(); }, "the menu did not open")) return false;
  Settle();
  const QRect area = w.frameGeometry().united(menu->geometry());
  const QString file = out + "/" + QString::fromLatin1(name);
  QFile::remove(file);
  const bool ok =
      w.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(file, "PNG");
  menu->hide();
  Settle();
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.toLocal8Bit().constData());
  allOk &= ok;
  return ok;
}

// The acquisition as a user runs it: start, wait for the download, picture the window while
// it reads, and close it, which is carried out once the reading and its close step are over.
void DriveAcquisition(TGetDataForm& form) {
  static const QString reading = Qs(Sj("データ読込み中．．．"));
  form.show();
  Settle();
  bool grabbed = false;
  QTimer watch;
  watch.setInterval(0);
  // The read loop lets window messages run after every record, so this runs inside it.
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (grabbed || !form.session().Reading()) return;
    if (form.ListBox1->count() < kListLinesWhileReading) return;
    if (!form.ProgressLabel->text().startsWith(reading)) return;
    grabbed = true;
    // Between two showings the list's new lines wait unlaid-out with its painting held; the
    // picture wants them, as the window shows them a moment later.
    form.ListBox1->doItemsLayout();
    form.ListBox1->scrollToItem(form.ListBox1->item(form.ListBox1->count() - 1));
    form.ListBox1->viewport()->setUpdatesEnabled(true);
    Grab(form, "acquisition.png");
    form.done(QDialog::Accepted);
  });
  watch.start();
  form.ButtonStartClick();
  WaitFor([&] { return form.isHidden(); }, "the acquisition did not finish");
  watch.stop();
  if (!grabbed) Fail("acquisition.png: the reading was never seen");
}

int RunModal(QDialog& dialog) {
  if (auto* acquisition = qobject_cast<TGetDataForm*>(&dialog)) {
    DriveAcquisition(*acquisition);
  } else if (qobject_cast<TOzGetTimeForm*>(&dialog)) {
    Show(dialog, "interval.png");
  } else if (qobject_cast<TAboutBox*>(&dialog)) {
    Show(dialog, "about.png");
  } else if (qobject_cast<TNotifySettingsForm*>(&dialog)) {
    Show(dialog, "notify-settings.png");
  } else if (auto* favourites = qobject_cast<TFavouritesForm*>(&dialog)) {
    favourites->show();
    favourites->SearchEdit->setText(QStringLiteral("ア"));
    favourites->SearchButton->click();
    Grab(dialog, "favourites.png");
  } else {
    Show(dialog, "unexpected-dialog.png");
    Fail("an unexpected dialog was opened");
  }
  dialog.hide();
  return dialog.result();
}

// Selects the race with 16 to 18 runners, preferring the latest one (the day's main race).
bool ChooseFullRace(TMainForm& form) {
  for (int row = Parts(form).DatList->count() - 1; row >= 0; --row) {
    Parts(form).DatList->setCurrentRow(row);
    form.DatListClick();
    const int runners = Parts(form).StringGrid2->rowCount() - 1;
    if (runners >= 16 && runners <= 18 && Parts(form).Panel1->isVisible()) return true;
  }
  return Fail("main.png: no race with 16 to 18 runners");
}

// Selects a complete race with a scratched or excluded runner or a new jockey, preferring one
// that has both.
bool ChooseRaceWithRunnerChanges(TMainForm& form) {
  auto* delegate = qobject_cast<RaceCardDelegate*>(Parts(form).StringGrid2->itemDelegate());
  int best = -1, bestScore = 0;
  for (int row = 0; delegate && row < Parts(form).DatList->count(); ++row) {
    Parts(form).DatList->setCurrentRow(row);
    if (!Parts(form).Panel1->isVisible() || !delegate->changes()) continue;
    bool scratch = false, jockey = false;
    for (const RunnerChange& r : delegate->changes()->runners) {
      scratch |= r.scratch != Scratch::None;
      jockey |= !r.newJockey.empty();
    }
    const int score = (scratch ? 2 : 0) + (jockey ? 1 : 0);
    if (score > bestScore) {
      best = row;
      bestScore = score;
    }
  }
  if (best < 0) return Fail("main-changes.png: no race with changes of its runners");
  Parts(form).DatList->setCurrentRow(best);
  return true;
}

// Marks the card shown: the horse of the first scratched or excluded runner (else the first
// runner) and the jockey of another runner, each with Ctrl+D on its row. True when both were
// marked.
bool MarkFavourites(TMainForm& form) {
  auto* delegate = qobject_cast<RaceCardDelegate*>(Parts(form).StringGrid2->itemDelegate());
  QTableWidget* grid = Parts(form).StringGrid2;
  int horseRow = 1;
  for (int r = 1; delegate && delegate->changes() && r < grid->rowCount(); ++r) {
    const int h = ReadNumber(SjisOf(grid->item(r, 1)->text()));
    if (h >= 1 && h <= 18 && delegate->changes()->runners[h - 1].scratch != Scratch::None) {
      horseRow = r;
      break;
    }
  }
  const int jockeyRow = horseRow == 1 ? 2 : 1;
  const size_t before = form.Favourites().items().size();
  for (auto [row, column] : {std::pair{horseRow, 2}, std::pair{jockeyRow, 5}}) {
    grid->setCurrentCell(row, column);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_D, Qt::ControlModifier);
    QApplication::sendEvent(grid, &press);
  }
  grid->clearSelection();
  grid->setCurrentIndex({});
  if (form.Favourites().items().size() != before + 2)
    return Fail("main-favourites.png: nothing marked");
  return true;
}

// The tray icon in its four states as a panel shows it: at 16 and 24 pixels on a light and on a
// dark panel, with what each state means.
void GrabTrayStates() {
  QWidget sheet;
  sheet.setWindowTitle(QStringLiteral("Tavolen"));
  auto* grid = new QGridLayout(&sheet);
  grid->setContentsMargins(10, 10, 10, 10);
  grid->setHorizontalSpacing(0);
  grid->setVerticalSpacing(4);
  const struct {
    TrayState state;
    const char* meaning;
  } rows[] = {
      {TrayState::Watching, "今日の開催を監視しています"},
      {TrayState::NothingToWatch, "監視するものがありません（本日の開催なし・日付が未選択）"},
      {TrayState::WaitingOnWindow, "JV-Linkの画面で応答を待っています"},
      {TrayState::Failing, "エラー（理由はトレイのヒントとステータスバーに表示）"},
  };
  int row = 0;
  for (const auto& r : rows) {
    int column = 0;
    for (const char* panel : {"#f0f0f0", "#2b2b2b"}) {
      for (int size : {16, 24}) {
        auto* icon = new QLabel(&sheet);
        icon->setPixmap(TrayIcon(r.state).pixmap(QSize(size, size), 1.0));
        icon->setAlignment(Qt::AlignCenter);
        icon->setFixedSize(34, 30);
        icon->setStyleSheet(QStringLiteral("QLabel { background: %1; }").arg(panel));
        grid->addWidget(icon, row, column++);
      }
    }
    auto* text = new QLabel(Qs(Sj(r.meaning)), &sheet);
    text->setContentsMargins(10, 0, 0, 0);
    grid->addWidget(text, row++, column);
  }
  Show(sheet, "tray-states.png");
}

// The favourite's race on the card: its weights, places and times, the payouts under it.
bool ChooseRace(TMainForm& form, const std::string& raceKey) {
  QListWidget* list = Parts(form).DatList;
  for (int i = 0; i < list->count(); ++i)
    if (form.meeting().raceSlots[list->item(i)->data(Qt::UserRole).toInt()].raceKey.str() ==
        raceKey) {
      list->setCurrentRow(i);
      auto* payouts = form.findChild<QPlainTextEdit*>(QStringLiteral("PayoutPanel"));
      if (!payouts || !payouts->isVisible()) return Fail("main-live.png: no payouts shown");
      return true;
    }
  return Fail("main-live.png: the favourite's race is not in the list");
}

// A notification as the desktop shows it, drawn from what the program handed to it: its title
// and text (the notification itself is the desktop's and cannot be pictured on this display).
void GrabNotification(const RecordingDesktop& desktop, const SjisString& mark, const char* name) {
  const RecordingDesktop::Event* shown = nullptr;
  for (const auto& e : desktop.events)
    if (e.kind == "balloon" && e.text.find(mark) != std::string::npos) shown = &e;
  if (!shown) {
    Fail(name);
    return;
  }
  QWidget sheet;
  sheet.setWindowTitle(QStringLiteral("Tavolen"));
  sheet.setStyleSheet(QStringLiteral("QWidget { background: #fbfbfb; }"));
  auto* grid = new QGridLayout(&sheet);
  grid->setContentsMargins(14, 12, 18, 14);
  grid->setHorizontalSpacing(12);
  auto* icon = new QLabel(&sheet);
  icon->setPixmap(TrayIcon(TrayState::Watching).pixmap(QSize(32, 32), 1.0));
  icon->setAlignment(Qt::AlignTop);
  grid->addWidget(icon, 0, 0, 2, 1);
  auto* title = new QLabel(QStringLiteral("<b>%1</b>").arg(Qs(shown->title).toHtmlEscaped()));
  grid->addWidget(title, 0, 1);
  grid->addWidget(new QLabel(Qs(shown->text), &sheet), 1, 1);
  Show(sheet, name);
}

// Every message box the program showed, so a run that went wrong says why.
void ReportBoxes(const RecordingDesktop& desktop) {
  for (const auto& e : desktop.events) {
    if (e.kind != "info" && e.kind != "plain" && e.kind != "error" && e.kind != "ask") continue;
    std::printf("  [%s] %s\n", e.kind.c_str(), Qs(e.text).simplified().toLocal8Bit().constData());
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  InstallFontSubstitutions();
  InstallJapaneseQtTranslations(app);
  out = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots"))
            .absolutePath();
  if (!QDir().mkpath(out)) {
    std::printf("FAILED cannot make the folder %s\n", out.toLocal8Bit().constData());
    return 1;
  }
  QTemporaryDir scratch;
  if (!scratch.isValid()) {
    std::printf("FAILED cannot make a scratch folder\n");
    return 1;
  }
  const fs::path root = scratch.path().toStdString();
  const fs::path appFolder = root / "app";
  const fs::path standInFolder = root / "jvlink-standin";
#if !defined(_WIN32)
  // The entry that starts the program at sign-in is written into the scratch folder.
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((root / "config").string()));
#endif
  fs::create_directories(appFolder);
  fs::create_directories(standInFolder / kStandInDemoFolderName);

  // The demo day with its changes announced over the day, the clock after the last of them.
  const DemoDayOptions demo;
  const int clockMinute = demo.lastChangeMinute + 10;
  FakeClock clock{LocalDateTime{kDemoDate.year, kDemoDate.month, kDemoDate.day, clockMinute / 60,
                                clockMinute % 60, 0}};
  if (!WriteDemoDay(standInFolder / kStandInDemoFolderName, kDemoDate, demo)) {
    std::printf("FAILED cannot write the demo day\n");
    return 1;
  }
  // A favourite horse whose weight and result the day's fetch announces.
  // The winner of the day's first race: its weight and result are out by the pictures' clock.
  const testsupport::DemoFavourite favourite =
      testsupport::DemoRaceWinner(GenerateDemoDay(kDemoDate, demo), 0);
  if (!WriteFileAtomic(appFolder / kFavouritesFileName, std::string(kFavouritesHeader) + "\r\n" +
                                                            favourite.FavouritesLine() + "\r\n"))
    Fail("main-live.png: no favourite for the live pictures");
  StandInJVLink jv(clock, StandInOptions{standInFolder});
  RecordingDesktop desktop;
  MainFormDeps deps{appFolder, "Tavolen", desktop, clock, jv, RunModal, [] {}};

  TMainForm form(deps);
  THenkoForm henko(form.SettingsFile(), &desktop);
  form.SetChangeWindow(&henko);
  Show(form, "main-start.png");
  if (!form.findChild<QPushButton*>(QStringLiteral("AutoWatchButton"))->isVisible())
    Fail("main-start.png: the guide does not offer the automatic way");

  form.J1Click();
  if (Parts(form).DateCombo->count() == 0) Fail("the acquisition stored no race day");

  static const QString demoDate = Qs(Sj("2024年06月02日"));
  const int dateRow = Parts(form).DateCombo->findText(demoDate);
  if (dateRow < 0) {
    Fail("the demo date is not in the date list");
  } else {
    Parts(form).DateCombo->setCurrentIndex(dateRow);
    form.DateComboChange();
    form.findChild<QTimer*>(QStringLiteral("Timer4"))
        ->stop();  // the automatic check would fetch again while the pictures are made
    if (ChooseFullRace(form)) Grab(form, "main.png");

    form.GetKaisaiBtnClick();
    if (form.findChild<ChangeWatch*>()->Fetcher().storedRecords() == 0)
      Fail("changes.png: the fetch stored nothing");
    form.N4Click();
    for (int list = 1; list <= 5; ++list)
      if (henko.Lines(list).empty()) Fail("changes.png: a change list is empty");
    Grab(henko, "changes.png");
    henko.hide();
    // The same fetch brought the day's weights and results: the favourite's notification and
    // its race's card with the payouts.
    GrabNotification(desktop, Sj("馬体重"), "notification-live.png");
    if (ChooseRace(form, favourite.race)) {
      // Wide enough for the card's three live columns.
      const QSize size = form.size();
      form.resize(size.width() + 160, size.height() + 60);
      Grab(form, "main-live.png");
      form.resize(size);
      Parts(form).StringGrid2->scrollToTop();
    }

    // The day's changes on the race card (the option of the ｵﾌﾟｼｮﾝ menu).
    Parts(form).CardChangesItem->trigger();
    if (ChooseRaceWithRunnerChanges(form)) Grab(form, "main-changes.png");
    // Favourites marked on that card: the race list, the card, then the change window.
    if (MarkFavourites(form)) {
      Parts(form).CardChangesItem->trigger();
      Grab(form, "main-favourites.png");
      form.KaisaiReadBtnClick();
      form.N4Click();
      bool marked = false;
      for (int list = 2; list <= 5; ++list)
        for (const SjisString& line : henko.Lines(list)) marked |= line.starts_with(Sj("★"));
      if (!marked) Fail("changes-favourites.png: no line is marked");
      Grab(henko, "changes-favourites.png");
      henko.hide();
    } else {
      Parts(form).CardChangesItem->trigger();
    }
    form.FavouritesItemClick();
  }
  form.NotifySettingsItemClick();

  form.N2Click();
  form.SpeedButton6Click();

  // A program started with "開催日を自動で監視する" on, on a race day whose race data it has not
  // got: the status line during its own acquisition, while the stand-in downloads.
  {
    const fs::path autoFolder = root / "auto";
    const fs::path autoStandIn = root / "auto-jvlink-standin";
    fs::create_directories(autoFolder);
    fs::create_directories(autoStandIn / kStandInDemoFolderName);
    FakeClock morning{LocalDateTime{kDemoDate.year, kDemoDate.month, kDemoDate.day, 7, 0, 0}};
    if (!WriteDemoDay(autoStandIn / kStandInDemoFolderName, kDemoDate, demo) ||
        !IniFile(SettingsFilePath(autoFolder, "Tavolen")).Write(Settings::AutoWatch, true)) {
      Fail("main-auto.png: cannot prepare its folders");
    } else {
      StandInJVLink autoJv(morning, StandInOptions{autoStandIn});
      RecordingDesktop autoDesktop;
      TMainForm autoForm(
          MainFormDeps{autoFolder, "Tavolen", autoDesktop, morning, autoJv, RunModal, [] {}});
      autoForm.show();
      auto* label = autoForm.findChild<QLabel*>(QStringLiteral("AutoWatchLabel"));
      const QString fetching = Qs(Sj("レースデータ取得中 ("));
      if (WaitFor([&] { return label->text().startsWith(fetching); },
                  "main-auto.png: the automatic acquisition was never seen"))
        Grab(autoForm, "main-auto.png");
      auto* automation = autoForm.findChild<AutoWatch*>();
      WaitFor([&] { return !automation->Acquiring(); }, "the automatic acquisition did not end");
      if (autoDesktop.Count("info") + autoDesktop.Count("error") > 0)
        Fail("main-auto.png: the automatic acquisition showed a box");
    }
  }

  // The File menu with "ログイン時に起動する" checked: the entry is written, pictured, removed.
  QAction* signIn = form.findChild<QAction*>(QStringLiteral("SignInItem"));
  if (!signIn) {
    Fail("signin-menu.png: the File menu has no sign-in item");
  } else {
    signIn->trigger();
    if (!signIn->isChecked()) Fail("signin-menu.png: the entry could not be written");
    GrabWithMenu(form, Parts(form).FileMenu, "signin-menu.png");
    if (!signIn->isChecked()) Fail("signin-menu.png: the opened menu did not show the entry");
    signIn->trigger();
    if (signIn->isChecked()) Fail("signin-menu.png: the entry could not be removed");
  }

  GrabTrayStates();

  if (desktop.Count("error") > 0) Fail("the program showed an error box");
  if (!allOk) ReportBoxes(desktop);
  return allOk ? 0 : 1;
}
