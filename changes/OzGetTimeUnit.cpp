#include "changes/OzGetTimeUnit.h"

#include <QGraphicsDropShadowEffect>
#include <QKeyEvent>
#include <QLineEdit>

#include "base/FailureText.h"
#include "changes/ChangeSchedule.h"
#include "jvlink/Sjis.h"

namespace tavolen {
namespace {

QString Q(const SjisString& sjis) {
  return QString::fromStdU16String(SjisToUtf16(sjis));
}

constexpr int kOuterWidth = 319;
constexpr int kOuterHeight = 136;

}  // namespace

TSpinEdit::TSpinEdit(Desktop& desktop, QWidget* parent) : QSpinBox(parent), desktop_(desktop) {
  setRange(kCheckIntervalMin, kCheckIntervalMax);
  setSingleStep(1);
  lineEdit()->setMaxLength(2);
  // A value typed outside 2-59 goes to the nearer limit, not back to the last value.
  setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  // Keys reach the line edit first when it has the focus.
  lineEdit()->installEventFilter(this);
}

bool TSpinEdit::Accept(QKeyEvent* event) {
  const QString text = event->text();
  if (text.isEmpty() || event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return true;
  QString typed;
  for (QChar c : text) {
    if (c.category() == QChar::Other_Control) continue;  // Backspace, Enter, Tab, Escape
    if ((c.isDigit() && c.unicode() < 0x80) || c == u'+' || c == u'-') {
      typed += c;
      continue;
    }
    desktop_.Beep();
    return false;
  }
  if (typed.isEmpty()) return true;
  // What the field would hold: a sign after a digit is refused with a beep; a third character
  // is dropped by the field's length, as a full edit control does.
  QLineEdit* edit = lineEdit();
  QString next = edit->text();
  int at = edit->cursorPosition();
  if (edit->hasSelectedText()) {
    at = edit->selectionStart();
    next.remove(at, static_cast<int>(edit->selectedText().size()));
  }
  next.insert(at, typed);
  if (next.size() > edit->maxLength()) return true;
  int pos = at;
  if (validate(next, pos) == QValidator::Invalid) {
    desktop_.Beep();
    return false;
  }
  return true;
}

QValidator::State TSpinEdit::validate(QString& input, int&) const {
  const QString t = input.trimmed();
  if (t.size() > 2) return QValidator::Invalid;
  for (qsizetype i = 0; i < t.size(); ++i) {
    const QChar c = t[i];
    const bool sign = (c == u'+' || c == u'-') && i == 0;
    if (!sign && !(c.isDigit() && c.unicode() < 0x80)) return QValidator::Invalid;
  }
  bool number = false;
  const int v = t.toInt(&number);
  return number && v >= minimum() && v <= maximum() ? QValidator::Acceptable
                                                    : QValidator::Intermediate;
}

int TSpinEdit::valueFromText(const QString& text) const {
  return CheckIntervalFromText(text.toStdString());
}

void TSpinEdit::fixup(QString& input) const {
  input = QString::number(CheckIntervalFromText(input.toStdString()));
}

bool TSpinEdit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lineEdit() && event->type() == QEvent::KeyPress &&
      !Accept(static_cast<QKeyEvent*>(event)))
    return true;
  return QSpinBox::eventFilter(watched, event);
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
  if (!Accept(event)) return;
  QSpinBox::keyPressEvent(event);
}

TOzGetTimeForm::TOzGetTimeForm(IniFile& ini, Desktop& desktop, QWidget* parent)
    : QDialog(parent), ini_(ini), desktop_(desktop) {
  setObjectName("OzGetTimeForm");
  setWindowTitle(Q(Sj("データﾞ自動取得時刻指定")));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kOuterWidth, kOuterHeight);

  Heading = new QLabel(Q(Sj("開催速報(変更情報)自動取得時刻指定")), this);
  Heading->setObjectName("Heading");
  QFont headingFont = Heading->font();
  headingFont.setBold(true);
  headingFont.setUnderline(true);
  Heading->setFont(headingFont);
  Heading->setStyleSheet("color: blue;");
  // The engraved look: a light copy of the text one pixel below and right.
  auto* engraved = new QGraphicsDropShadowEffect(Heading);
  engraved->setBlurRadius(0);
  engraved->setOffset(1, 1);
  engraved->setColor(Qt::white);
  Heading->setGraphicsEffect(engraved);
  Heading->setGeometry(8, 6, 300, 18);

  Description = new QLabel(Q(Sj("開催速報(変更情報)を何分おきに自動取得するか指定します。")), this);
  Description->setObjectName("Description");
  Description->setWordWrap(true);
  Description->setGeometry(8, 28, 220, 36);

  SpinEdit1 = new TSpinEdit(desktop_, this);
  SpinEdit1->setObjectName("SpinEdit1");
  SpinEdit1->setGeometry(40, 72, 52, 24);

  UnitLabel = new QLabel(Q(Sj("分間隔")), this);
  UnitLabel->setObjectName("UnitLabel");
  UnitLabel->setGeometry(98, 76, 60, 16);

  BitBtn1 = new QPushButton("OK", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setDefault(true);
  BitBtn1->setAutoDefault(true);
  BitBtn1->setGeometry(232, 68, 75, 28);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

  SetInterval(kCheckIntervalDefault);
}

void TOzGetTimeForm::SetInterval(int minutes) {
  SpinEdit1->setValue(ClampCheckInterval(minutes));
}

void TOzGetTimeForm::BitBtn1Click() {
  const int minutes = CheckIntervalFromText(SpinEdit1->lineEdit()->text().toStdString());
  const FileStatus st = ini_.Write(Settings::CheckInterval, minutes);
  if (!st) desktop_.ErrorBox(FailureText(st));
  accept();
}

void TOzGetTimeForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The designed size is the outer size: give the frame its share once it is known.
  const QRect outer = frameGeometry();
  const QRect inner = geometry();
  const int frameW = outer.width() - inner.width();
  const int frameH = outer.height() - inner.height();
  if (frameW > 0 || frameH > 0) setFixedSize(kOuterWidth - frameW, kOuterHeight - frameH);
}

}  // namespace tavolen
