#include "acquire/GetDataUnit.h"

#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QEvent>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tavolen {
namespace {

QString Q(const SjisString& s) {
  return QString::fromStdU16String(SjisToUtf16(s));
}

QDateTime ToQt(const LocalDateTime& t) {
  return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second), Qt::UTC);
}

// The Japanese fixed-pitch face, so that digits, letters and kana of a line come from one font
// and keep one width each.
QFont JapaneseFixedFont(bool bold) {
  QFont font;
  font.setFamilies({Q(Sj("ＭＳ ゴシック")), "IPAGothic", "Noto Sans Mono CJK JP", "Monospace"});
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setBold(bold);
  return font;
}

// How often the list of stored records shows its new lines while records are read.
constexpr int kListShowMs = 40;

void SetClampedValue(QProgressBar* bar, int position) {
  // A position beyond the bar's range stands at its end, as the original bar clamps it.
  bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
}

}  // namespace

TGetDataForm::TGetDataForm(JVLink& jvlink, Desktop& desktop, IniFile& ini, const Clock& clock,
                           std::filesystem::path dataDir, AcquisitionState& state,
                           std::function<void()> onClose, QWidget* parent)
    : QDialog(parent), onClose_(std::move(onClose)) {
  setWindowTitle(Q(Sj("ＪＶデータ取込")));
  setModal(true);

  ButtonStart = new QPushButton(Q(Sj("データ取込み開始")), this);
  ButtonStart->setObjectName("ButtonStart");
  ButtonCancel = new QPushButton(Q(Sj("データ取込み中止")), this);
  ButtonCancel->setObjectName("ButtonCancel");
  SpeedButton1 = new QToolButton(this);
  SpeedButton1->setObjectName("SpeedButton1");
  SpeedButton1->setText(Q(Sj("JVLink設定")));
  SpeedButton1->setToolTip(Q(Sj("JRA-VAN　Data Lab.のサービスキーやデータ保存場所の設定をします")));
  SpeedButton1->setAutoRaise(true);
  for (QPushButton* b : {ButtonStart, ButtonCancel}) b->setAutoDefault(false);

  ProgressLabel = new QLabel(this);
  ProgressLabel->setObjectName("ProgressLabel");
  ProgressLabel->setFont(JapaneseFixedFont(true));
  QPalette labelPalette = ProgressLabel->palette();
  labelPalette.setColor(QPalette::WindowText, Qt::blue);
  ProgressLabel->setPalette(labelPalette);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar2 = new QProgressBar(this);
  ProgressBar2->setObjectName("ProgressBar2");
  for (QProgressBar* bar : {ProgressBar1, ProgressBar2}) {
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
  }

  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName("ListBox1");
  // Every line has the same height; without this the list measures all its lines again at each
  // added line, which makes a race day of stores ten times slower.
  ListBox1->setUniformItemSizes(true);
  // One Japanese fixed-pitch face for the whole line: digits and kana alike.
  ListBox1->setFont(JapaneseFixedFont(false));

  DateTimePicker1 = new QDateTimeEdit(this);
  DateTimePicker1->setObjectName("DateTimePicker1");
  DateTimePicker1->setTimeSpec(Qt::UTC);  // wall-clock values, untouched by time zones
  DateTimePicker1->setCalendarPopup(true);
  const QLocale japanese(QLocale::Japanese, QLocale::Japan);
  DateTimePicker1->setLocale(japanese);
  DateTimePicker1->setDisplayFormat(japanese.dateFormat(QLocale::LongFormat));

  ListBox1->installEventFilter(this);
  ListBox1->viewport()->installEventFilter(this);
  listShowTimer_ = new QTimer(this);
  listShowTimer_->setSingleShot(true);
  listShowTimer_->setInterval(kListShowMs);
  connect(listShowTimer_, &QTimer::timeout, this, [this] { ShowNewListLines(); });

  TimerJVStatus = new QTimer(this);
  TimerJVStatus->setObjectName("TimerJVStatus");
  TimerJVStatus->setInterval(10);

  auto* top = new QHBoxLayout;
  top->addWidget(ButtonStart);
  top->addWidget(ButtonCancel);
  top->addWidget(SpeedButton1);
  top->addStretch();

  auto* bars = new QGridLayout;
  bars->addWidget(new QLabel(Q(Sj("ダウンロード")), this), 0, 0);
  bars->addWidget(ProgressBar1, 0, 1);
  bars->addWidget(new QLabel(Q(Sj("読込み")), this), 1, 0);
  bars->addWidget(ProgressBar2, 1, 1);
  bars->addWidget(new QLabel(Q(Sj("取得開始日付")), this), 2, 0);
  bars->addWidget(DateTimePicker1, 2, 1, Qt::AlignLeft);

  auto* main = new QVBoxLayout(this);
  main->addLayout(top);
  main->addWidget(ProgressLabel);
  main->addLayout(bars);
  main->addWidget(new QLabel(Q(Sj("作成済みデータ")), this));
  main->addWidget(ListBox1, 1);
  resize(480, 400);

  session_ = std::make_unique<AcquisitionSession>(static_cast<AcquireView&>(*this), desktop, jvlink,
                                                  ini, clock, std::move(dataDir), state);

  connect(ButtonStart, &QPushButton::clicked, this, [this] { ButtonStartClick(); });
  connect(ButtonCancel, &QPushButton::clicked, this, [this] { ButtonCancelClick(); });
  connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
  connect(TimerJVStatus, &QTimer::timeout, this, [this] { TimerJVStatusTimer(); });

  session_->Create();
}

TGetDataForm::~TGetDataForm() {
  TimerJVStatus->stop();
}

void TGetDataForm::Open(JVLink& jvlink, Desktop& desktop, IniFile& ini, const Clock& clock,
                        std::filesystem::path dataDir, AcquisitionState& state,
                        std::function<void()> onClose, QWidget* parent) {
  TGetDataForm form(jvlink, desktop, ini, clock, std::move(dataDir), state, std::move(onClose),
                    parent);
  form.exec();
}

void TGetDataForm::ButtonStartClick() {
  // The last session's status ("データ読込み完了(6/6)") would otherwise stand beside the result
  // of this one, which may find nothing at all.
  ProgressLabel->clear();
  RunHandler(&AcquisitionSession::Start);
}
void TGetDataForm::ButtonCancelClick() {
  RunHandler(&AcquisitionSession::Cancel);
}
void TGetDataForm::SpeedButton1Click() {
  RunHandler(&AcquisitionSession::JVLinkSettings);
}
void TGetDataForm::TimerJVStatusTimer() {
  RunHandler(&AcquisitionSession::StatusTick);
}

void TGetDataForm::RunHandler(void (AcquisitionSession::*handler)()) {
  if (closed_) return;
  ((*session_).*handler)();
  if (closePending_ && !session_->Reading()) {
    closePending_ = false;
    done(closeResult_);
  }
}

void TGetDataForm::done(int result) {
  if (closed_) return;
  if (session_->Reading()) {
    // The window closes once the read loop and its close step are over.
    closePending_ = true;
    closeResult_ = result;
    return;
  }
  closed_ = true;
  TimerJVStatus->stop();
  if (onClose_) onClose_();
  QDialog::done(result);
}

void TGetDataForm::SetProgressLabel(const SjisString& text) {
  ProgressLabel->setText(Q(text));
}
void TGetDataForm::SetDownloadMax(int max) {
  ProgressBar1->setMaximum(max);
}
void TGetDataForm::SetDownloadPosition(int position) {
  SetClampedValue(ProgressBar1, position);
}
void TGetDataForm::SetReadMax(int max) {
  ProgressBar2->setMaximum(max);
}
void TGetDataForm::SetReadPosition(int position) {
  SetClampedValue(ProgressBar2, position);
}
// A list view lays out its lines on a zero timer but paints without laying out, so a paint
// that the read loop let through before that timer showed an empty list while the records were
// read. The lines are laid out here instead, at once for the first line and then at most every
// kListShowMs: in between the list's viewport keeps what it showed, so the loop spends its time
// on the records, not on painting every line.
void TGetDataForm::AddListLine(const SjisString& line) {
  if (ListBox1->viewport()->updatesEnabled()) {  // no line is waiting: all are laid out
    QScrollBar* bar = ListBox1->verticalScrollBar();
    listFollows_ = bar->value() == bar->maximum();
  }
  new QListWidgetItem(Q(line), ListBox1);
  if (!sinceListShown_.isValid() || sinceListShown_.elapsed() >= kListShowMs) {
    listShowTimer_->stop();
    ShowNewListLines();
    return;
  }
  ListBox1->viewport()->setUpdatesEnabled(false);
  if (!listShowTimer_->isActive()) listShowTimer_->start();
}

bool TGetDataForm::eventFilter(QObject* watched, QEvent* event) {
  // A list moved or resized while its lines wait (its scroll bar appearing, the window
  // resized) is shown at once: its window would otherwise paint that area without the lines.
  const bool list = watched == ListBox1 || watched == ListBox1->viewport();
  if (list && (event->type() == QEvent::Resize || event->type() == QEvent::Move) &&
      !ListBox1->viewport()->updatesEnabled()) {
    listShowTimer_->stop();
    ShowNewListLines();
  }
  return QDialog::eventFilter(watched, event);
}

void TGetDataForm::ShowNewListLines() {
  if (ListBox1->count() > 0) {
    QListWidgetItem* newest = ListBox1->item(ListBox1->count() - 1);
    // Either lays the lines out.
    if (listFollows_)
      ListBox1->scrollToItem(newest);
    else
      ListBox1->visualItemRect(newest);
  }
  ListBox1->viewport()->setUpdatesEnabled(true);
  sinceListShown_.start();
}

void TGetDataForm::ClearList() {
  listShowTimer_->stop();
  ListBox1->clear();
  ListBox1->viewport()->setUpdatesEnabled(true);
  sinceListShown_.invalidate();
  listFollows_ = true;
}

void TGetDataForm::SetBusyCursor(bool busy) {
  if (busy)
    setCursor(Qt::BusyCursor);
  else
    unsetCursor();
}

void TGetDataForm::StartStatusTimer() {
  TimerJVStatus->start();
}
void TGetDataForm::StopStatusTimer() {
  TimerJVStatus->stop();
}
void TGetDataForm::ProcessPendingEvents() {
  QCoreApplication::processEvents();
}

LocalDateTime TGetDataForm::PickerDateTime() const {
  const QDate d = DateTimePicker1->date();
  return LocalDateTime{
      d.year(), d.month(), d.day(), pickerTime_.hour(), pickerTime_.minute(), pickerTime_.second()};
}

void TGetDataForm::SetPickerDateTime(const LocalDateTime& t) {
  pickerTime_ = QTime(t.hour, t.minute, t.second);
  DateTimePicker1->setDateTime(ToQt(t));
}

}  // namespace tavolen
