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

#include "app/About.h"
#include "app/ProgramIcon.h"
#include "base/FailureText.h"
#include "base/Widgets.h"
#include "changes/henkoUnit.h"
#include "jvlink/KeibaFunc.h"
#include "racecard/prgrsUnit.h"

namespace tavolen {
namespace {

constexpr int kToolBarHeight = 61;
constexpr int kDefaultLeft = 10, kDefaultTop = 10, kDefaultWidth = 630, kDefaultHeight = 450;

QToolButton* MakeButton(QWidget* parent, const char* name, const char* caption, const char* hint,
                        Glyph glyph) {
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
  return b;
}

Label3D* MakeLabel(QWidget* parent, const char* name, int pixels, Qt::Alignment align = {}) {
  auto* l = new Label3D(QString(), Label3D::Look::Raised, parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setFont(GothicFont(pixels, true));
  l->setAlignment(align ? align : Qt::AlignLeft | Qt::AlignVCenter);
  // A long text is cut at the panel's edge; it never widens the window.
  l->setMinimumWidth(1);
  return l;
}

void SetTextColour(QWidget* w, const QColor& c) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, c);
  w->setPalette(p);
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

QAction* MakeAction(QObject* parent, const char* name, const char* caption,
                    const char* hint = nullptr) {
  auto* a = new QAction(Qs(Sj(caption)), parent);
  a->setObjectName(QString::fromLatin1(name));
  if (hint) a->setStatusTip(Qs(Sj(hint)));
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
      errorLog_(deps.appFolder, deps.clock) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QString::fromLatin1(kCaption));
  setWindowIcon(ProgramIcon());
  // The designed place; creation replaces it with the stored one.
  move(kDefaultLeft, kDefaultTop);
  resize(kDefaultWidth, kDefaultHeight);

  BuildToolBar();
  BuildClientArea();
  auto* central = new QWidget(this);
  auto* v = new QVBoxLayout(central);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(0);
  v->addWidget(ToolBar1);
  v->addWidget(ClientArea, 1);
  setCentralWidget(central);
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
  });

  Timer4 = new QTimer(this);
  Timer4->setObjectName(QStringLiteral("Timer4"));
  connect(Timer4, &QTimer::timeout, this, [this] { Timer4Timer(); });
  SetUpWatch();
  // A check may have brought new changes of the race on the card.
  connect(Timer4, &QTimer::timeout, this, [this] { RefreshCardChanges(); });

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

void TMainForm::BuildToolBar() {
  ToolBar1 = new QWidget(this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setFixedHeight(kToolBarHeight);

  auto* left = new QWidget(ToolBar1);
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->setSpacing(1);
  JVBtn = MakeButton(left, "JVBtn", "JVデータ取得", nullptr, Glyph::Acquire);
  SpeedButton4 = MakeButton(left, "SpeedButton4", "終了", "ソフトを終了します", Glyph::Exit);
  SpeedButton5 = MakeButton(left, "SpeedButton5", "ﾍﾙﾌﾟ", "ﾍﾙﾌﾟの目次を表示します", Glyph::Help);
  SpeedButton1 = MakeButton(left, "SpeedButton1", "常駐", "本ｿﾌﾄのﾌｫｰﾑを閉じ、ﾀｽｸﾄﾚｲで動作させます",
                            Glyph::Resident);
  SpeedButton2 =
      MakeButton(left, "SpeedButton2", "変更情報", "変更情報を表示します", Glyph::Changes);
  SpeedButton6 = MakeButton(left, "SpeedButton6", "ﾊﾞｰｼﾞｮﾝ情報", nullptr, Glyph::About);
  SpeedButton6->setVisible(false);
  for (QToolButton* b :
       {JVBtn, SpeedButton4, SpeedButton5, SpeedButton1, SpeedButton2, SpeedButton6})
    buttons->addWidget(b);
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

  BuildInfoPanel(ToolBar1);
  auto* bar = new QHBoxLayout(ToolBar1);
  bar->setContentsMargins(0, 0, 2, 0);
  bar->setSpacing(2);
  bar->addWidget(left, 0);
  bar->addWidget(Panel2, 1);

  connect(JVBtn, &QToolButton::clicked, this, [this] { J1Click(); });
  connect(SpeedButton4, &QToolButton::clicked, this, [this] { SpeedButton4Click(); });
  connect(SpeedButton5, &QToolButton::clicked, this, [this] { HelpContentsItemClick(); });
  connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
  connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
  connect(SpeedButton6, &QToolButton::clicked, this, [this] { SpeedButton6Click(); });
  connect(DateCombo, &QComboBox::activated, this, [this](int) { DateComboChange(); });
}

void TMainForm::BuildInfoPanel(QWidget* parent) {
  Panel2 = new QFrame(parent);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel2->setAutoFillBackground(true);
  {
    QPalette p = Panel2->palette();
    p.setColor(QPalette::Window, QApplication::palette().color(QPalette::ToolTipBase));
    Panel2->setPalette(p);
  }
  Panel2->setFixedHeight(kToolBarHeight - 4);

  Label3D1 = MakeLabel(Panel2, "Label3D1", 19);
  Label3D2 = MakeLabel(Panel2, "Label3D2", 24, Qt::AlignCenter);
  // White digits on black; the race card makes the label opaque when it fills it.
  {
    QPalette p = Label3D2->palette();
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Window, Qt::black);
    Label3D2->setPalette(p);
    Label3D2->setFixedSize(36, 30);
  }
  Label3D3 = MakeLabel(Panel2, "Label3D3", 15);
  Label3D4 = MakeLabel(Panel2, "Label3D4", 15);
  Label3D5 = MakeLabel(Panel2, "Label3D5", 13);
  Label3D6 = MakeLabel(Panel2, "Label3D6", 13);
  Label3D7 = MakeLabel(Panel2, "Label3D7", 13);
  Label3D8 = MakeLabel(Panel2, "Label3D8", 13);
  Label3D9 = MakeLabel(Panel2, "Label3D9", 13);
  SetTextColour(Label3D9, Qt::blue);
  Label3D10 = MakeLabel(Panel2, "Label3D10", 13);

  auto* grid = new QGridLayout(Panel2);
  grid->setContentsMargins(4, 1, 4, 1);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(0);
  grid->addWidget(Label3D1, 0, 0, 2, 1);
  grid->addWidget(Label3D2, 0, 1, 2, 1, Qt::AlignVCenter);
  grid->addWidget(Label3D3, 0, 2);
  grid->addWidget(Label3D4, 1, 2);
  auto* row = new QHBoxLayout;
  row->setSpacing(6);
  for (Label3D* l : {Label3D5, Label3D6, Label3D7, Label3D8, Label3D9, Label3D10})
    row->addWidget(l);
  row->addStretch(1);
  grid->addLayout(row, 2, 0, 1, 3);
  grid->setColumnStretch(2, 1);

  DLlabel = new QLabel(Panel2);
  DLlabel->setObjectName(QStringLiteral("DLlabel"));
  DLlabel->setVisible(false);
}

void TMainForm::BuildClientArea() {
  ClientArea = new QWidget(this);
  ClientArea->setObjectName(QStringLiteral("ClientArea"));
  // The race list stands beside the card area, not inside it: hiding the card (a new race, an
  // incomplete race) leaves the list usable and keeps its keyboard focus.
  Panel1 = new QWidget(ClientArea);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel5 = new QWidget(ClientArea);
  Panel5->setObjectName(QStringLiteral("Panel5"));
  DatList = new QListWidget(Panel5);
  DatList->setObjectName(QStringLiteral("DatList"));
  DatList->setFont(GothicFont(12));
  auto* listLayout = new QVBoxLayout(Panel5);
  listLayout->setContentsMargins(0, 0, 0, 0);
  listLayout->addWidget(DatList);
  Panel5->setFixedWidth(90);

  StringGrid2 = new QTableWidget(Panel1);
  StringGrid2->setObjectName(QStringLiteral("StringGrid2"));

  auto* grid = new QHBoxLayout(Panel1);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(StringGrid2, 1);
  auto* h = new QHBoxLayout(ClientArea);
  h->setContentsMargins(0, 2, 0, 0);
  h->setSpacing(2);
  h->addWidget(Panel5, 0, Qt::AlignLeft);
  h->addWidget(Panel1, 1);
  // Nothing loaded yet: neither a list nor a card.
  Panel1->setVisible(false);
  Panel5->setVisible(false);

  GuideLabel = new QLabel(ClientArea);
  GuideLabel->setObjectName(QStringLiteral("GuideLabel"));
  GuideLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  GuideLabel->setFont(GothicFont(14));
  GuideLabel->setStyleSheet(QStringLiteral("QLabel { color: #2a4a6a; }"));
  h->addWidget(GuideLabel, 1, Qt::AlignCenter);  // a left-aligned block in the middle
  // The guide follows the visibility of the race card area and the race list, and the date
  // list's contents.
  Panel1->installEventFilter(new VisibilityWatch(Panel1, [this] { UpdateGuide(); }));
  Panel5->installEventFilter(new VisibilityWatch(Panel5, [this] { UpdateGuide(); }));
  QAbstractItemModel* dates = DateCombo->model();
  connect(dates, &QAbstractItemModel::rowsInserted, this, [this] { UpdateGuide(); });
  connect(dates, &QAbstractItemModel::rowsRemoved, this, [this] { UpdateGuide(); });
  connect(dates, &QAbstractItemModel::modelReset, this, [this] { UpdateGuide(); });
  UpdateGuide();

  connect(DatList, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) DatListClick();
  });
}

void TMainForm::UpdateGuide() {
  if (!GuideLabel) return;
  if (DateCombo->count() == 0) {
    GuideLabel->setText(
        QString::fromUtf8("まだレースデータがありません。はじめに次の順で操作してください。\n\n"
                          "1. ツールバーの「JVデータ取得」を押す\n"
                          "2. 「データ取込み開始」を押し、完了したらウィンドウを閉じる\n"
                          "3. 左上の日付リストで今日の日付を選ぶ\n"
                          "4. 「常駐」を押すと、タスクトレイで変更情報を見張ります\n\n"
                          "くわしくは「ﾍﾙﾌﾟ」をご覧ください。"));
  } else {
    GuideLabel->setText(
        QString::fromUtf8("左上の日付リストで開催日を選んでください。\n"
                          "今日の日付を選ぶと、変更情報の自動確認が始まります。"));
  }
  // A race list without a card (an incomplete race) needs no guide beside it.
  GuideLabel->setVisible(Panel1->isHidden() && Panel5->isHidden());
}

void TMainForm::BuildMenus() {
  FileMenu = menuBar()->addMenu(Qs(Sj("ﾌｧｲﾙ(&F)")));
  FileMenu->setObjectName(QStringLiteral("FileMenu"));
  J1 = MakeAction(this, "J1", "ＪＶデータ取得(&J)");
  FileExitItem = MakeAction(this, "FileExitItem", "終了(&X)", "このｱﾌﾟﾘｹｰｼｮﾝを終了します");
  FileMenu->addAction(J1);
  FileMenu->addSeparator();
  FileMenu->addAction(FileExitItem);

  OptionMenu = menuBar()->addMenu(Qs(Sj("ｵﾌﾟｼｮﾝ(&O)")));
  OptionMenu->setObjectName(QStringLiteral("OptionMenu"));
  N2 = MakeAction(this, "N2", "情報ﾁｪｯｸ間隔指定");
  N5 = MakeAction(this, "N5", "読込後、ﾃﾞｰﾀﾘｽﾄを消す", "分析用ﾃﾞｰﾀ読込後、ﾃﾞｰﾀﾘｽﾄを消します");
  N5->setCheckable(true);
  N5->setVisible(false);
  CardChangesItem =
      MakeAction(this, "CardChangesItem", "変更情報を出馬表に表示",
                 "出走取消・競争除外、騎手変更、発走時刻変更、コース変更を出馬表に表示します");
  CardChangesItem->setCheckable(true);
  OptionMenu->addAction(N2);
  OptionMenu->addAction(N5);
  OptionMenu->addAction(CardChangesItem);

  HelpMenu = menuBar()->addMenu(Qs(Sj("ﾍﾙﾌﾟ(&H)")));
  HelpMenu->setObjectName(QStringLiteral("HelpMenu"));
  HelpContentsItem = MakeAction(this, "HelpContentsItem", "使い方(&U)", "ﾍﾙﾌﾟの目次を表示します");
  HelpAboutItem = MakeAction(this, "HelpAboutItem", "ﾊﾞｰｼﾞｮﾝ情報(&A)...");
  HelpMenu->addAction(HelpContentsItem);
  HelpMenu->addSeparator();
  HelpMenu->addAction(HelpAboutItem);

  connect(J1, &QAction::triggered, this, [this] { J1Click(); });
  connect(FileExitItem, &QAction::triggered, this, [this] { SpeedButton4Click(); });
  connect(N2, &QAction::triggered, this, [this] { N2Click(); });
  // N5 is never shown; N5Click itself inverts the check mark.
  connect(CardChangesItem, &QAction::triggered, this, [this] { CardChangesItemClick(); });
  connect(HelpContentsItem, &QAction::triggered, this, [this] { HelpContentsItemClick(); });
  connect(HelpAboutItem, &QAction::triggered, this, [this] { SpeedButton6Click(); });
}

void TMainForm::BuildTrayMenu() {
  PopupMenuTrayIcon1 = new QMenu(this);
  PopupMenuTrayIcon1->setObjectName(QStringLiteral("PopupMenuTrayIcon1"));
  N4 = MakeAction(this, "N4", "変更情報(&C)", "変更情報を表示します");
  PopupMenuTrayIcon1->addAction(N4);
  PopupMenuTrayIcon1->addSeparator();
  PopupMenuTrayIcon1Help = PopupMenuTrayIcon1->addMenu(Qs(Sj("ﾍﾙﾌﾟ(&H)")));
  PopupMenuTrayIcon1Help->setObjectName(QStringLiteral("PopupMenuTrayIcon1Help"));
  utorial1 = MakeAction(this, "utorial1", "使い方(&U)");
  PopupMenuTrayIcon1About = MakeAction(this, "PopupMenuTrayIcon1About", "ﾊﾞｰｼﾞｮﾝ情報(&A)...");
  PopupMenuTrayIcon1Help->addAction(utorial1);
  PopupMenuTrayIcon1Help->addSeparator();
  PopupMenuTrayIcon1Help->addAction(PopupMenuTrayIcon1About);
  PopupMenuTrayIcon1->addSeparator();
  PopupMenuTrayIcon1Exit = MakeAction(this, "PopupMenuTrayIcon1Exit", "終了(&X)");
  PopupMenuTrayIcon1->addAction(PopupMenuTrayIcon1Exit);

  connect(N4, &QAction::triggered, this, [this] { N4Click(); });
  connect(utorial1, &QAction::triggered, this, [this] { HelpContentsItemClick(); });
  connect(PopupMenuTrayIcon1About, &QAction::triggered, this,
          [this] { PopupMenuTrayIcon1AboutClick(); });
  connect(PopupMenuTrayIcon1Exit, &QAction::triggered, this,
          [this] { PopupMenuTrayIcon1ExitClick(); });
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
    PlaceWindow(IniGT1.Read(Settings::MainLeft, kDefaultLeft),
                IniGT1.Read(Settings::MainTop, kDefaultTop),
                IniGT1.Read(Settings::MainWidth, kDefaultWidth),
                IniGT1.Read(Settings::MainHeight, kDefaultHeight));
    // 6. The tray icon.
    ShowTrayIcon();
    // 7. The race card grid.
    SetupRaceCardGrid();
    // 8. The working lists start empty: the evaluation hands its lists to the change window
    //    and the renew file, so the window keeps none of its own.
    // 9. The start lines of the error log.
    if (FileStatus st = errorLog_.RecordStartup(); !st) {
      desktop_.ErrorBox(FailureText(st));
      return;
    }
    // 10. The meeting date list; no date is selected afterwards.
    MakeDataListBtnClick();
    // 11. The hidden option N5.
    N5->setChecked(IniGT1.Read(Settings::DateListClose, false));
    CardChangesItem->setChecked(IniGT1.Read(Settings::RaceCardChanges, false));
    creationCompleted_ = true;
  } catch (const std::exception& e) {
    desktop_.ErrorBox(Utf8ToSjis(e.what()));
  }
}

void TMainForm::ShowTrayIcon() {
  desktop_.SetTrayTip(Sj(kCaption));
  desktop_.SetTrayVisible(true);
  desktop_.SetTrayMenu(PopupMenuTrayIcon1);
  desktop_.SetTrayDoubleClick([this] { TrayIcon1DblClick(); });
  trayShown_ = true;
}

void TMainForm::PlaceWindow(int left, int top, int width, int height) {
  if (width < 100 || height < 60) {
    width = kDefaultWidth;
    height = kDefaultHeight;
  }
  // A place on no screen (a monitor that has gone, a mistyped value) would lose the window.
  const QRect wanted(left, top, width, height);
  bool onScreen = QGuiApplication::screens().isEmpty();
  for (QScreen* s : QGuiApplication::screens())
    if (s->availableGeometry().intersected(wanted).width() >= 40 &&
        s->availableGeometry().intersected(wanted).height() >= 20)
      onScreen = true;
  if (!onScreen) {
    left = kDefaultLeft;
    top = kDefaultTop;
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
  // A change fetch that lets window messages run keeps its session; it has been initialised.
  if (jvSessionOpen) return;
  int r = 0;
  try {
    r = JVLink1.JVInit(Wide(std::string(kSoftwareIdPrefix) + versionText_));
  } catch (const JVLinkFailure& e) {
    desktop_.ErrorBox(e.message());
    return;
  }
  if (r != 0) desktop_.PlainBox(Sj("JVInitエラー：") + JVResultMessage("JVInit", r));
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
  if (Timer4) Timer4->stop();
  StorePosition();
  desktop_.SetTrayVisible(false);
  // The desktop outlives this window: it must not call back into it.
  desktop_.SetTrayDoubleClick({});
  desktop_.SetTrayMenu(nullptr);
  desktop_.SetNotificationHandlers({}, {});  // a late click finds no window
}

void TMainForm::ShowHint(const QString& hint) {
  if (StatusLine) StatusLine->showMessage(hint);
}

bool TMainForm::QueryEndSession() {
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
  if (!e->spontaneous()) FormShow();
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

// ---- Error log ----

bool TMainForm::RecordErrorLine() {
  FileStatus st = errorLog_.RecordError(SjisOf(DLlabel->text()));
  if (!st) desktop_.ErrorBox(FailureText(st));
  return st.ok;
}

}  // namespace tavolen
