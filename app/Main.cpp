#include "app/Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QMenuBar>
#include <QScreen>
#include <QSessionManager>
#include <QStatusTipEvent>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#include <array>

#include "app/About.h"
#include "app/ProgramIcon.h"
#include "app/StartGuide.h"
#include "automation/AutoWatch.h"
#include "automation/SignInItems.h"
#include "base/DesktopEvents.h"
#include "base/FailureText.h"
#include "base/Widgets.h"
#include "changes/OzGetTimeUnit.h"
#include "changes/henkoUnit.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/Platform.h"
#include "racecard/prgrsUnit.h"

namespace tavolen {
namespace {

constexpr int kToolBarHeight = 61;

// A tool-bar button whose click runs the window's handler.
QToolButton* MakeButton(QWidget* parent, const char* name, const char* caption, const char* hint,
                        Glyph glyph, TMainForm* form, void (TMainForm::*handler)()) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(Qs(Sj(caption)));
  b->setIcon(DrawGlyph(glyph, 32));
  // Caption under the glyph: narrow buttons leave the header labels room in a 630-pixel window.
  b->setIconSize(QSize(14, 14));
  b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  b->setAutoRaise(true);
  b->setFixedHeight(32);
  // Tool-bar buttons never take the keyboard focus: a key meant for the race list must never
  // press 終了 or open a window.
  b->setFocusPolicy(Qt::NoFocus);
  if (hint) {
    b->setStatusTip(Qs(Sj(hint)));
    b->setToolTip(Qs(Sj(hint)));
  }
  QObject::connect(b, &QToolButton::clicked, form, handler);
  return b;
}

// Calls back when the watched widget is shown or hidden, also while its window is not on
// screen.
class VisibilityWatch : public QObject {
 public:
  VisibilityWatch(QObject* parent, std::function<void()> changed)
      : QObject(parent), changed_(std::move(changed)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::ShowToParent || e->type() == QEvent::HideToParent) changed_();
    return QObject::eventFilter(watched, e);
  }

 private:
  std::function<void()> changed_;
};

// A showing of the main window while a change fetch has its session open skips its JVInit
// (FormShow); this watcher has the showing's steps run again right after the session's
// JVClose, once however often the window was shown meanwhile.
class DeferredJVInit : public QObject {
 public:
  DeferredJVInit(TMainForm& form, ChangeWatch& watch) : QObject(&form), form_(form), watch_(watch) {
    form.installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &form_ && event->type() == QEvent::Show && !event->spontaneous() &&
        watch_.SessionOpen() && !pending_) {
      pending_ = true;
      watch_.RunWhenSessionClosed([this] {
        pending_ = false;
        if (form_.isVisible()) form_.FormShow();
      });
    }
    return false;
  }

 private:
  TMainForm& form_;
  ChangeWatch& watch_;
  bool pending_ = false;
};

QAction* MakeAction(QObject* parent, const char* name, const char* caption,
                    const char* hint = nullptr) {
  auto* a = new QAction(Qs(Sj(caption)), parent);
  a->setObjectName(QString::fromLatin1(name));
  if (hint) a->setStatusTip(Qs(Sj(hint)));
  return a;
}

// A menu item whose choice runs the window's handler.
QAction* MakeAction(TMainForm* form, const char* name, const char* caption, const char* hint,
                    void (TMainForm::*handler)()) {
  QAction* a = MakeAction(form, name, caption, hint);
  QObject::connect(a, &QAction::triggered, form, handler);
  return a;
}

}  // namespace

TMainForm::TMainForm(const MainFormDeps& deps, QWidget* parent)
    : QMainWindow(parent),
      JVLink1(deps.jvLink),
      IniGT1(SettingsFilePath(deps.appFolder, deps.executableName)),
      desktop_(deps.desktop),
      clock_(deps.clock),
      appFolder_(deps.appFolder),
      folders_{deps.layout, deps.appFolder,
               deps.resourceFolder.empty() ? deps.appFolder : deps.resourceFolder},
      runModal_(deps.runModal),
      quit_(deps.quit),
      errorLog_(deps.appFolder, deps.clock),
      favourites_(deps.appFolder / kFavouritesFileName) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QString::fromLatin1(kCaption));
  setWindowIcon(ProgramIcon());
  // The designed place; creation replaces it with the stored one.
  move(Settings::MainLeft.def, Settings::MainTop.def);
  resize(Settings::MainWidth.def, Settings::MainHeight.def);

  auto* central = new QWidget(this);
  auto* v = new QVBoxLayout(central);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(0);
  v->addWidget(BuildToolBar());
  v->addWidget(BuildClientArea(), 1);
  setCentralWidget(central);
  AutostartEntry* autostart = deps.autostart;
  if (!autostart) {
    ownAutostart_ = SystemAutostartEntry(ProgramFilePath());
    autostart = ownAutostart_.get();
  }
  signInItems_ = new SignInItems(*autostart, IniGT1.path(), desktop_, this);
  // Started at sign-in, the program watches the meeting day by itself from now on too.
  connect(signInItems_, &SignInItems::autoWatchTurnedOn, this, [this] {
    AutoWatchItem->setChecked(true);
    autoWatch_->SetEnabled(true);
    UpdateGuide();
  });
  BuildMenus();
  BuildTrayMenu();

  StatusLine = statusBar();
  StatusLine->setObjectName(QStringLiteral("StatusLine"));
  StatusLine->setSizeGripEnabled(true);
  jvLinkWindowHook_ = JVLink1.AddWindowWaitObserver([this](bool waiting) {
    if (waiting)
      StatusLine->showMessage(Qs(Sj(kWaitingOnJVLinkWindow)));
    else
      StatusLine->clearMessage();
    waitingOnJVLinkWindow_ = waiting;
    ShowTrayState();
  });

  SetUpWatch();
  SetUpAutoWatch();

  if (qApp) {
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
      const bool mayAsk = manager.allowsInteraction();
      if (!QueryEndSession()) manager.cancel();
      if (mayAsk) manager.release();
    });
  }

  FormCreate();
}

TMainForm::~TMainForm() {
  JVLink1.RemoveWindowWaitObserver(jvLinkWindowHook_);
  FormDestroy();
}

QWidget* TMainForm::BuildToolBar() {
  auto* toolBar = new QWidget(this);
  toolBar->setObjectName(QStringLiteral("ToolBar1"));
  toolBar->setFixedHeight(kToolBarHeight);

  auto* left = new QWidget(toolBar);
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->setSpacing(1);
  const std::array<QToolButton*, 6> tools = {
      MakeButton(left, "JVBtn", "JVデータ取得", nullptr, Glyph::Acquire, this, &TMainForm::J1Click),
      MakeButton(left, "SpeedButton4", "終了", "ソフトを終了します", Glyph::Exit, this,
                 &TMainForm::SpeedButton4Click),
      MakeButton(left, "SpeedButton5", "ﾍﾙﾌﾟ", "ﾍﾙﾌﾟの目次を表示します", Glyph::Help, this,
                 &TMainForm::HelpContentsItemClick),
      MakeButton(left, "SpeedButton1", "常駐", "本ｿﾌﾄのﾌｫｰﾑを閉じ、ﾀｽｸﾄﾚｲで動作させます",
                 Glyph::Resident, this, &TMainForm::SpeedButton1Click),
      MakeButton(left, "SpeedButton2", "変更情報", "変更情報を表示します", Glyph::Changes, this,
                 &TMainForm::SpeedButton2Click),
      MakeButton(left, "SpeedButton6", "ﾊﾞｰｼﾞｮﾝ情報", nullptr, Glyph::About, this,
                 &TMainForm::SpeedButton6Click),
  };
  tools.back()->setVisible(false);  // SpeedButton6 is never shown
  for (QToolButton* b : tools) buttons->addWidget(b);
  buttons->addStretch(1);

  DateCombo = new QComboBox(left);
  DateCombo->setObjectName(QStringLiteral("DateCombo"));
  DateCombo->setEditable(false);
  DateCombo->setMaxVisibleItems(20);
  QFont comboFont = DateCombo->font();
  comboFont.setBold(true);
  DateCombo->setFont(comboFont);
  {
    // The info-tip background: a style sheet, since styles paint a drop-down list as a button.
    const QPalette app = QApplication::palette();
    DateCombo->setStyleSheet(
        QStringLiteral("QComboBox { background-color: %1; color: %2; border: 1px solid %3;"
                       " border-radius: 2px; padding: 1px 4px; }"
                       "QComboBox QAbstractItemView { background-color: %1; color: %2; }")
            .arg(app.color(QPalette::ToolTipBase).name(), app.color(QPalette::ToolTipText).name(),
                 app.color(QPalette::Mid).name()));
  }
  DateCombo->setMinimumWidth(150);
  DateCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  auto* comboRow = new QHBoxLayout;
  comboRow->setContentsMargins(2, 0, 0, 0);
  comboRow->addWidget(DateCombo);
  comboRow->addStretch(1);

  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(2, 2, 2, 2);
  leftLayout->setSpacing(1);
  leftLayout->addLayout(buttons);
  leftLayout->addLayout(comboRow);

  BuildInfoPanel(toolBar);
  auto* bar = new QHBoxLayout(toolBar);
  bar->setContentsMargins(0, 0, 2, 0);
  bar->setSpacing(2);
  bar->addWidget(left, 0);
  bar->addWidget(view_->HeaderPanel(), 1);

  connect(DateCombo, &QComboBox::activated, this, [this](int) {
    if (autoWatch_) autoWatch_->UserChoseDate();
    DateComboChange();
  });
  return toolBar;
}

void TMainForm::BuildInfoPanel(QWidget* parent) {
  // The race card view makes the header labels' panel (Panel2), the race list and the card area.
  view_ = new RaceCardView(meeting_, desktop_, clock_, parent);
  connect(view_, &RaceCardView::raceChosen, this, &TMainForm::DatListClick);
  DLlabel = new QLabel(view_->HeaderPanel());
  DLlabel->setObjectName(QStringLiteral("DLlabel"));
  DLlabel->setVisible(false);
}

QWidget* TMainForm::BuildClientArea() {
  auto* clientArea = new QWidget(this);
  clientArea->setObjectName(QStringLiteral("ClientArea"));
  QWidget* Panel1 = view_->CardArea();
  QWidget* Panel5 = view_->RaceListPanel();
  auto* h = new QHBoxLayout(clientArea);
  h->setContentsMargins(0, 2, 0, 0);
  h->setSpacing(2);
  h->addWidget(Panel5, 0, Qt::AlignLeft);
  h->addWidget(Panel1, 1);

  guide_ = new StartGuide(clientArea);
  connect(guide_, &StartGuide::automaticChosen, this, &TMainForm::AutoWatchButtonClick);
  h->addWidget(guide_, 1, Qt::AlignCenter);  // a left-aligned block in the middle
  // The guide follows the visibility of the race card area and the race list, and the date
  // list's contents.
  Panel1->installEventFilter(new VisibilityWatch(Panel1, [this] { UpdateGuide(); }));
  Panel5->installEventFilter(new VisibilityWatch(Panel5, [this] { UpdateGuide(); }));
  QAbstractItemModel* dates = DateCombo->model();
  connect(dates, &QAbstractItemModel::rowsInserted, this, [this] { UpdateGuide(); });
  connect(dates, &QAbstractItemModel::rowsRemoved, this, [this] { UpdateGuide(); });
  connect(dates, &QAbstractItemModel::modelReset, this, [this] { UpdateGuide(); });
  UpdateGuide();
  return clientArea;
}

void TMainForm::BuildMenus() {
  QMenu* fileMenu = menuBar()->addMenu(Qs(Sj("ﾌｧｲﾙ(&F)")));
  fileMenu->setObjectName(QStringLiteral("FileMenu"));
  fileMenu->addAction(MakeAction(this, "J1", "ＪＶデータ取得(&J)", nullptr, &TMainForm::J1Click));
  AutoWatchItem =
      MakeAction(this, "AutoWatchItem", "開催日を自動で監視する",
                 "開催日を自動で読み込んで変更情報を監視し、レースデータがなければ自動で"
                 "取得します",
                 &TMainForm::AutoWatchItemClick);
  AutoWatchItem->setCheckable(true);
  fileMenu->addAction(AutoWatchItem);
  fileMenu->addSeparator();
  signInItems_->AddTo(fileMenu, "SignInItem");
  fileMenu->addSeparator();
  fileMenu->addAction(MakeAction(this, "FileExitItem", "終了(&X)", "このｱﾌﾟﾘｹｰｼｮﾝを終了します",
                                 &TMainForm::SpeedButton4Click));

  QMenu* optionMenu = menuBar()->addMenu(Qs(Sj("ｵﾌﾟｼｮﾝ(&O)")));
  optionMenu->setObjectName(QStringLiteral("OptionMenu"));
  optionMenu->addAction(MakeAction(this, "N2", "情報ﾁｪｯｸ間隔指定", nullptr, &TMainForm::N2Click));
  // N5 is never shown; N5Click itself inverts the check mark.
  N5 = MakeAction(this, "N5", "読込後、ﾃﾞｰﾀﾘｽﾄを消す", "分析用ﾃﾞｰﾀ読込後、ﾃﾞｰﾀﾘｽﾄを消します");
  N5->setCheckable(true);
  N5->setVisible(false);
  optionMenu->addAction(N5);
  CardChangesItem =
      MakeAction(this, "CardChangesItem", "変更情報を出馬表に表示",
                 "出走取消・競争除外、騎手変更、発走時刻変更、コース変更を出馬表に表示します",
                 &TMainForm::CardChangesItemClick);
  CardChangesItem->setCheckable(true);
  optionMenu->addAction(CardChangesItem);
  AddFavouriteMenuItems(optionMenu);

  QMenu* helpMenu = menuBar()->addMenu(Qs(Sj("ﾍﾙﾌﾟ(&H)")));
  helpMenu->setObjectName(QStringLiteral("HelpMenu"));
  helpMenu->addAction(MakeAction(this, "HelpContentsItem", "使い方(&U)", "ﾍﾙﾌﾟの目次を表示します",
                                 &TMainForm::HelpContentsItemClick));
  helpMenu->addSeparator();
  helpMenu->addAction(MakeAction(this, "HelpAboutItem", "ﾊﾞｰｼﾞｮﾝ情報(&A)...", nullptr,
                                 &TMainForm::SpeedButton6Click));
}

void TMainForm::BuildTrayMenu() {
  PopupMenuTrayIcon1 = new QMenu(this);
  PopupMenuTrayIcon1->setObjectName(QStringLiteral("PopupMenuTrayIcon1"));
  PopupMenuTrayIcon1->addAction(
      MakeAction(this, "N4", "変更情報(&C)", "変更情報を表示します", &TMainForm::N4Click));
  PopupMenuTrayIcon1->addAction(MakeAction(this, "TrayNotifySettingsItem", "通知の設定(&N)...",
                                           nullptr, &TMainForm::NotifySettingsItemClick));
  PopupMenuTrayIcon1->addAction(AutoWatchItem);
  PopupMenuTrayIcon1->addSeparator();
  QMenu* help = PopupMenuTrayIcon1->addMenu(Qs(Sj("ﾍﾙﾌﾟ(&H)")));
  help->setObjectName(QStringLiteral("PopupMenuTrayIcon1Help"));
  help->addAction(
      MakeAction(this, "utorial1", "使い方(&U)", nullptr, &TMainForm::HelpContentsItemClick));
  help->addSeparator();
  help->addAction(MakeAction(this, "PopupMenuTrayIcon1About", "ﾊﾞｰｼﾞｮﾝ情報(&A)...", nullptr,
                             &TMainForm::PopupMenuTrayIcon1AboutClick));
  PopupMenuTrayIcon1->addSeparator();
  signInItems_->AddTo(PopupMenuTrayIcon1, "PopupMenuTrayIcon1SignIn");
  PopupMenuTrayIcon1->addSeparator();
  PopupMenuTrayIcon1->addAction(MakeAction(this, "PopupMenuTrayIcon1Exit", "終了(&X)", nullptr,
                                           &TMainForm::PopupMenuTrayIcon1ExitClick));
}

// ---- Events ----

void TMainForm::FormCreate() {
  // 1. The application folder is given (start-up made it the current directory).
  helpFile_ = ResourceFile(folders_, kHelpFileName);
  try {
    // 2. The data folder, which every race and change file goes into, must be writable.
    if (FileStatus st = EnsureFolder(DataFolder()); !st) {
      desktop_.ErrorBox(Sj("データフォルダを作成できません。\n") + FailureText(st));
      return;
    }
    {
      const fs::path probe = DataFolder() / (std::string(".write-test") + std::string(kTempSuffix));
      FileStatus st = WriteFileAtomic(probe, {});
      std::error_code ec;
      fs::remove(probe, ec);
      if (!st) {
        desktop_.ErrorBox(Sj("データフォルダに書き込めません。\n") + FailureText(st));
        return;
      }
    }
    // 3. Hints reach the status line through event() and ShowHint.
    // 4. The help file is HelpFile().
    // 5. The stored place and size.
    PlaceWindow(IniGT1.Read(Settings::MainLeft), IniGT1.Read(Settings::MainTop),
                IniGT1.Read(Settings::MainWidth), IniGT1.Read(Settings::MainHeight));
    // 6. The tray icon.
    ShowTrayIcon();
    // 7. The race card grid was set up with the race card view.
    // 8. The working lists start empty: the evaluation hands its lists to the change window
    //    and the renew file, so the window keeps none of its own.
    // 9. The start lines of the error log.
    if (FileStatus st = errorLog_.RecordStartup(); !st) {
      desktop_.ErrorBox(FailureText(st));
      return;
    }
    LoadFavourites();
    // Which bitness of JV-Link is in use, when the other one could not create it first.
    if (const SjisString note = JVLink1.StartNote(); !note.empty()) {
      [[maybe_unused]] const FileStatus noted = errorLog_.RecordError(note);
    }
    // 10. The meeting date list; no date is selected afterwards.
    MakeDataListBtnClick();
    // 11. The hidden option N5.
    N5->setChecked(IniGT1.Read(Settings::DateListClose));
    CardChangesItem->setChecked(IniGT1.Read(Settings::RaceCardChanges));
    // 12. The automation, from the next turn of the message loop (after the first showing).
    AutoWatchItem->setChecked(IniGT1.Read(Settings::AutoWatch));
    autoWatch_->SetEnabled(AutoWatchItem->isChecked());
    UpdateGuide();
    creationCompleted_ = true;
  } catch (const std::exception& e) {
    desktop_.ErrorBox(Utf8ToSjis(e.what()));
  }
}

void TMainForm::ShowTrayIcon() {
  ShowTrayState();
  desktop_.SetTrayVisible(true);
  desktop_.SetTrayMenu(PopupMenuTrayIcon1);
  if (DesktopEvents* events = desktop_.Events())
    connect(events, &DesktopEvents::trayActivated, this, &TMainForm::TrayIcon1DblClick);
  trayShown_ = true;
}

void TMainForm::PlaceWindow(int left, int top, int width, int height) {
  if (width < 100 || height < 60) {
    width = Settings::MainWidth.def;
    height = Settings::MainHeight.def;
  }
  // A place on no screen (a monitor that has gone, a mistyped value) would lose the window.
  const QRect wanted(left, top, width, height);
  bool onScreen = QGuiApplication::screens().isEmpty();
  for (QScreen* s : QGuiApplication::screens())
    if (s->availableGeometry().intersected(wanted).width() >= 40 &&
        s->availableGeometry().intersected(wanted).height() >= 20)
      onScreen = true;
  if (!onScreen) {
    left = Settings::MainLeft.def;
    top = Settings::MainTop.def;
  }
  move(left, top);
  resize(width, height);
}

void TMainForm::StorePosition() {
  QRect r(pos(), size());
  if (isMaximized() || isMinimized()) {
    // The place the window returns to, as a frame position like pos().
    const QPoint frameOffset = geometry().topLeft() - frameGeometry().topLeft();
    r = QRect(normalGeometry().topLeft() - frameOffset, normalGeometry().size());
  }
  FileStatus st = IniGT1.Write(Settings::MainTop, r.y());
  if (st) st = IniGT1.Write(Settings::MainLeft, r.x());
  if (st) st = IniGT1.Write(Settings::MainWidth, r.width());
  if (st) st = IniGT1.Write(Settings::MainHeight, r.height());
  if (!st) desktop_.ErrorBox(FailureText(st));
}

void TMainForm::FormShow() {
  versionText_ = kVersion;
  // A change fetch or an automatic acquisition that lets window messages run keeps its session;
  // it has been initialised.
  if (watch_->SessionOpen() || autoWatch_->Acquiring()) return;
  int r = 0;
  try {
    r = JVLink1.JVInit(Wide(std::string(kSoftwareIdPrefix) + versionText_));
  } catch (const JVLinkFailure& e) {
    TellShowFailure(e.message(), true);
    return;
  }
  jvInitDone_ = r == 0;
  if (r != 0) TellShowFailure(Sj("JVInitエラー：") + JVResultMessage("JVInit", r), false);
}

void TMainForm::StartInTray() {
  unattendedShow_ = true;
  if (trayShown_ && desktop_.TrayAvailable())
    FormShow();  // the window stays hidden, as after 常駐
  else
    showMinimized();  // a showing (FormShow); a hidden window could never be brought back
  unattendedShow_ = false;
  startedInTray_ = true;
}

void TMainForm::TellShowFailure(const SjisString& text, bool error) {
  if (!unattendedShow_) {
    if (error)
      desktop_.ErrorBox(text);
    else
      desktop_.PlainBox(text);
    return;
  }
  // Nobody answers a box at sign-in: the program goes on, and the reason is kept. With the
  // automation on it is a failed run of its JVInit step: one error line and one notification,
  // tried again at its time.
  if (autoWatch_ && autoWatch_->Enabled()) {
    autoWatch_->InitFailedAtStart(text);
    StatusLine->showMessage(Qs(text));
    return;
  }
  [[maybe_unused]] const FileStatus logged = errorLog_.RecordError(text);
  StatusLine->showMessage(Qs(text));
  desktop_.ShowStatusNotification(Sj(kCaption), text, 10);
}

bool TMainForm::TodaySelected() const {
  return DateKey(clock_.Now()) == SjisOf(DateCombo->currentText());
}

bool TMainForm::TodayTest() {
  if (TodaySelected()) return true;
  desktop_.Beep();
  desktop_.InformationBox(Sj("本日のデータが選択されていません。"));
  return false;
}

bool TMainForm::FormCloseQuery() {
  return TodayTest();
}

void TMainForm::FormClose() {
  if (trayShown_ && desktop_.TrayAvailable()) {
    hide();
    return;
  }
  // Without a tray a hidden window could never be brought back: minimise it instead.
  showMinimized();
  if (!noTrayToldOnce_) {
    noTrayToldOnce_ = true;
    desktop_.InformationBox(
        Sj("このデスクトップには通知領域（タスクトレイ）がないため、ウィンドウを隠さずに最小化し"
           "ます。\n変更情報の確認は続きます。"));
  }
}

void TMainForm::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  // The watch must not call back into a window being destroyed.
  watch_->disconnect(this);
  watch_->StopChecks();
  autoWatch_->disconnect(this);
  autoWatch_->SetEnabled(false);
  StorePosition();
  desktop_.SetTrayVisible(false);
  // The desktop outlives this window; its signals' connections end with the window.
  desktop_.SetTrayMenu(nullptr);
}

void TMainForm::ShowHint(const QString& hint) {
  if (StatusLine) StatusLine->showMessage(hint);
}

bool TMainForm::QueryEndSession() {
  if (startedInTray_ && (!isVisible() || isMinimized())) return true;
  return TodayTest();
}

bool TMainForm::event(QEvent* e) {
  if (e->type() == QEvent::StatusTip) {
    ShowHint(static_cast<QStatusTipEvent*>(e)->tip());
    return true;
  }
  return QMainWindow::event(e);
}

void TMainForm::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  // Restoring a minimised window is not a new showing.
  if (e->spontaneous()) return;
  if (!unattendedShow_) startedInTray_ = false;  // the user brought it out
  FormShow();
}

void TMainForm::closeEvent(QCloseEvent* e) {
  e->ignore();  // FormClose hides or minimises; the window is never destroyed by a close
  if (FormCloseQuery()) FormClose();
}

// ---- Commands ----

void TMainForm::SpeedButton4Click() {
  if (quit_)
    quit_();
  else
    QCoreApplication::exit(0);  // unlike quit(), no close request is made
}

void TMainForm::PopupMenuTrayIcon1ExitClick() {
  SpeedButton4Click();
}

void TMainForm::SpeedButton1Click() {
  close();
}

void TMainForm::TrayIcon1DblClick() {
  if (!isVisible()) show();  // a new showing: FormShow
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void TMainForm::SpeedButton2Click() {
  if (TrimBlanks(SjisOf(DateCombo->currentText())).empty()) {
    desktop_.Beep();
    desktop_.InformationBox(Sj("データを読み込んでください。"));
    return;
  }
  KaisaiReadBtnClick();
  RefreshCardChanges();
  if (HenkoForm) HenkoForm->ShowWindow();
}

void TMainForm::N4Click() {
  if (HenkoForm) HenkoForm->ShowWindow();
}

void TMainForm::J1Click() {
  if (autoWatch_->Acquiring()) {
    // One session at a time: the window would find JV-Link's session open.
    desktop_.Beep();
    desktop_.InformationBox(
        Sj("レースデータを自動で取得しています。終わってからもう一度お試しください。"));
    return;
  }
  OpenAcquisition();
}

void TMainForm::HelpContentsItemClick() {
  // A Tavolen.CHM the user supplies comes first; otherwise the program's own guide opens in
  // the browser. A CHM that nothing on this desktop can show also falls back to the guide.
  // Looked up at every command, so a file the user has just put in place is found.
  helpFile_ = ResourceFile(folders_, kHelpFileName);
  const fs::path guide = ResourceFile(folders_, kHelpGuide);
  const bool hasGuide = FileExists(guide);
  if (FileExists(helpFile_)) {
    if (desktop_.OpenHelpContents(helpFile_)) return;
    if (hasGuide && desktop_.OpenHelpContents(guide)) return;
    desktop_.InformationBox(
        Sj("ヘルプファイルを表示できませんでした。\nCHM 形式のファイルを表示できるプログラム"
           "（xCHM など）をインストールしてください。\n") +
        PathText(helpFile_));
    return;
  }
  if (!hasGuide) {
    desktop_.InformationBox(Sj("ヘルプファイルが見つかりません。\n") + PathText(helpFile_) +
                            Sj("\n") + PathText(guide));
    return;
  }
  if (!desktop_.OpenHelpContents(guide))
    desktop_.InformationBox(
        Sj("使い方を表示できませんでした。\nWeb ブラウザで次のファイルを開いてください。\n") +
        PathText(guide));
}

void TMainForm::ShowAboutBox(bool withVersion) {
  TAboutBox box(desktop_, this);
  box.ShowFolder(FolderLayoutName(folders_.layout), appFolder_);
  if (withVersion && !versionText_.empty()) box.Label3D1->setText(Qs(versionText_));
  // Which JV-Link the program talks to.
  if (const SjisString which = JVLink1.Description(); !which.empty()) {
    box.CreditLabel->setText(box.CreditLabel->text() + QStringLiteral("\n") + Qs(which));
    box.CreditLabel->resize(box.CreditLabel->width(), box.CreditLabel->height() + 16);
  }
  RunModal(box);
}

void TMainForm::SpeedButton6Click() {
  ShowAboutBox(true);
}

void TMainForm::PopupMenuTrayIcon1AboutClick() {
  ShowAboutBox(true);
}

int TMainForm::RunModal(QDialog& dialog) {
  if (runModal_) return runModal_(dialog);
  return dialog.exec();
}

// ---- Change monitoring ----

void TMainForm::SetUpWatch() {
  watch_ = new ChangeWatch(JVLink1, DataFolder(), errorLog_, desktop_, clock_, this,
                           IniGT1.Read(Settings::ChangeEvents));
  acquisition_.owner = &sessionOwner_;
  watch_->SetSessionOwner(&sessionOwner_);
  // While the automation runs, a JV-Link that needs its JVInit again (lost with its bridge)
  // holds the checks back until the automation's JVInit step has made it.
  watch_->SetSessionHeldElsewhere([this] {
    EndLeftAcquisitionSession();  // a check never opens its session on top of that one
    return AcquisitionHoldsSession() || (autoWatch_ && autoWatch_->Enabled() && !jvInitDone_);
  });
  watch_->SetNotifyChoice(ReadNotifyChoice(IniGT1));
  new DeferredJVInit(*this, *watch_);
  WatchLabel = new QLabel(this);
  WatchLabel->setObjectName(QStringLiteral("WatchLabel"));
  WatchDetailLabel = new QLabel(this);
  WatchDetailLabel->setObjectName(QStringLiteral("WatchDetailLabel"));
  StatusLine->addPermanentWidget(WatchLabel);
  StatusLine->addPermanentWidget(WatchDetailLabel);
  ShowWatchStatus(watch_->State(), watch_->Detail());

  connect(watch_, &ChangeWatch::statusChanged, this, &TMainForm::ShowWatchStatus);
  connect(watch_, &ChangeWatch::fetchStatusChanged, this,
          [this](const SjisString& text) { DLlabel->setText(Qs(text)); });
  connect(watch_, &ChangeWatch::listsChanged, this, [this](const ChangeLists& lists) {
    if (HenkoForm)
      for (int i = 0; i < kChangeTypes; ++i)
        HenkoForm->SetLines(static_cast<ChangeType>(i), lists[static_cast<size_t>(i)]);
  });
  connect(watch_, &ChangeWatch::marksChanged, this, [this](const ChangeMarks& marks) {
    if (HenkoForm)
      for (int i = 0; i < kChangeTypes; ++i)
        HenkoForm->SetMarks(static_cast<ChangeType>(i), marks[static_cast<size_t>(i)]);
  });
  connect(watch_, &ChangeWatch::news, this,
          [this](const SjisString& text, const Lines& details, bool favourite) {
            ShowBalloon1Click(text, details, favourite);
          });
  // A tick may have brought new changes of the race on the card.
  connect(watch_, &ChangeWatch::checked, this, [this] { RefreshCardChanges(); });
  connect(DateCombo, &QComboBox::currentTextChanged, this, [this](const QString& text) {
    if (WatchKeepsToday()) {
      ShowWatchStatus(watch_->State(), watch_->Detail());
      return;
    }
    watch_->SetShownDate(SjisOf(text));
  });
  connect(watch_, &ChangeWatch::jvLinkLost, this, [this] { jvInitDone_ = false; });
  // A click on a notification of changes opens the change window; one that could not be shown
  // after all brings the change window forward instead. A click on a notification of the
  // program's state (a failure, a day without race data) brings this window, whose status line
  // explains it.
  if (DesktopEvents* events = desktop_.Events()) {
    connect(events, &DesktopEvents::notificationClicked, this, &TMainForm::N4Click);
    connect(events, &DesktopEvents::statusNotificationClicked, this, &TMainForm::TrayIcon1DblClick);
    connect(events, &DesktopEvents::notificationNotShown, this, [this] {
      if (HenkoForm) HenkoForm->ShowWindow();
    });
  }
}

void TMainForm::ShowWatchStatus(const SjisString& state, const SjisString& detail) {
  const SjisString date = SjisOf(DateCombo->currentText());
  // The automation watches today also while another date is shown: the status line says so
  // and the tray tip names the day watched (DayTrayTip).
  if (WatchKeepsToday() && watch_->WatchedDate() != date) {
    WatchLabel->setText(Qs(watch_->WatchedDate() + Sj("を監視中　") + state));
  } else {
    WatchLabel->setText(Qs(state));
  }
  WatchDetailLabel->setText(Qs(detail));
  ShowTrayState();
}

void TMainForm::TellWatchTheDay() {
  if (WatchKeepsToday() && SjisOf(DateCombo->currentText()) != watch_->WatchedDate()) {
    // Another date on the screen: the card shows it, the watch stays with today.
    MarkFavourites();
    ShowWatchStatus(watch_->State(), watch_->Detail());
    return;
  }
  WatchedDay day;
  day.dateKey = SjisOf(DateCombo->currentText());
  day.raceFile = meeting_.selectedRaceFile;
  day.raceTable.assign(meeting_.raceTable.begin(), meeting_.raceTable.end());
  day.selectedRace = meeting_.selectedRaceIndex;
  day.checkInterval = meeting_.checkInterval;
  watch_->SetDay(std::move(day));
  MarkFavourites();
  ShowWatchStatus(watch_->State(), watch_->Detail());  // the tray tip names the new day
}

bool TMainForm::LoadDayByItself(const SjisString& dateKey) {
  MakeDataListBtnClick();
  const int at = DateCombo->findText(Qs(dateKey));
  if (at < 0) {
    KeepLoadedDaySelected();
    return false;
  }
  DateCombo->setCurrentIndex(at);
  loadingByItself_ = true;
  view_->SetUnattended(autoWatch_ && autoWatch_->Enabled());
  DateComboChange();  // loads the day, restarts the check timer, shows its first race
  view_->SetUnattended(false);
  loadingByItself_ = false;
  return meeting_.loadSucceeded;
}

void TMainForm::KeepLoadedDaySelected() {
  if (!meeting_.loadSucceeded || !FileExists(meeting_.selectedRaceFile)) return;
  const SjisString date = PathText(meeting_.selectedRaceFile.filename()).substr(0, 14);
  const int at = DateCombo->findText(Qs(date));
  if (at >= 0) DateCombo->setCurrentIndex(at);
}

void TMainForm::GetKaisaiBtnClick() {
  EndLeftAcquisitionSession();
  watch_->CheckNow(false);
}

bool TMainForm::KaisaiReadBtnClick() {
  return watch_->Evaluate();
}

void TMainForm::ShowBalloon1Click(const SjisString& text, const Lines& details, bool favourite) {
  desktop_.PlaySoundAsync(favourite ? FavouriteSoundFile() : SoundFile());
  // Where neither the tray nor the notification service can show it, the change window
  // itself comes forward, so the news is not missed.
  if (!desktop_.ShowNotification(Sj("新着開催情報"), text, details, BalloonIcon::Information, 10) &&
      HenkoForm)
    HenkoForm->ShowWindow();
}

void TMainForm::Timer4Timer() {
  watch_->Tick();
}

void TMainForm::WakeTimerTimer() {
  watch_->WakeTick();
}

void TMainForm::N2Click() {
  TOzGetTimeForm form(IniGT1, desktop_, this);
  form.SetInterval(IniGT1.Read(Settings::CheckInterval));
  RunModal(form);
}

// ---- Error log ----

bool TMainForm::RecordErrorLine() {
  FileStatus st = errorLog_.RecordError(SjisOf(DLlabel->text()));
  if (!st) desktop_.ErrorBox(FailureText(st));
  return st.ok;
}

}  // namespace tavolen
