// The progress window: a small window with one text line. It is created at start-up and stays
// hidden; the meeting load writes the name of the date being loaded into it.
//
// Controls: Label1 shows the date being loaded.
#pragma once

#include <QLabel>
#include <QWidget>

#include "jvlink/Sjis.h"

namespace tavolen {

class TPrgrsForm : public QWidget {
  Q_OBJECT
 public:
  explicit TPrgrsForm(QWidget* parent = nullptr);

  void SetText(const SjisString& text);
  SjisString Text() const;

  QLabel* Label1 = nullptr;
};

}  // namespace tavolen
