// The check-interval dialog: how many minutes lie between two automatic change checks.
//
// Controls: SpinEdit1 holds the check interval in minutes (2-59); BitBtn1 stores it and closes
// the dialog.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "base/Desktop.h"
#include "base/IniFile.h"

namespace tavolen {

// The number field: 2 to 59, at most two characters; a key that is not a digit, "+" or "-",
// and a character that would not fit, are refused with a beep. Any number of two characters
// may be typed ("60", "-5"); it is brought to the nearer limit when the field is left or
// confirmed.
class TSpinEdit : public QSpinBox {
  Q_OBJECT
 public:
  TSpinEdit(Desktop& desktop, QWidget* parent);
  using QSpinBox::lineEdit;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  QValidator::State validate(QString& input, int& pos) const override;
  int valueFromText(const QString& text) const override;
  void fixup(QString& input) const override;

 private:
  // True when the key may reach the field; otherwise beeps.
  bool Accept(QKeyEvent* event);

  Desktop& desktop_;
};

class TOzGetTimeForm : public QDialog {
  Q_OBJECT
 public:
  TOzGetTimeForm(IniFile& ini, Desktop& desktop, QWidget* parent = nullptr);

  // Shows the stored interval (brought into 2-59).
  void SetInterval(int minutes);

  // Stores the field's text as "Time"/"AutoRdataGet", brought into 2-59 (2 when it is not a
  // number), and closes the dialog with the OK result.
  void BitBtn1Click();

  QLabel* Heading;
  QLabel* Description;
  TSpinEdit* SpinEdit1;
  QLabel* UnitLabel;
  QPushButton* BitBtn1;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  IniFile& ini_;
  Desktop& desktop_;
};

}  // namespace tavolen
