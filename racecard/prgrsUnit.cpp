#include "racecard/prgrsUnit.h"

#include <QVBoxLayout>

namespace tavolen {

TPrgrsForm::TPrgrsForm(QWidget* parent) : QWidget(parent, Qt::Tool) {
  setObjectName(QStringLiteral("PrgrsForm"));
  setWindowTitle(QString::fromStdU16String(SjisToUtf16(Sj("読込中"))));
  setFixedSize(240, 48);
  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
}

void TPrgrsForm::SetText(const SjisString& text) {
  Label1->setText(QString::fromStdU16String(SjisToUtf16(text)));
}

SjisString TPrgrsForm::Text() const {
  return Utf16ToSjis(Label1->text().toStdU16String());
}

}  // namespace tavolen
