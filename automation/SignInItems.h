// The check items "ログイン時に起動する" of the main window's File menu and of the tray menu.
// Their check mark is read from the system's autostart entry (automation/Autostart.h) each time a
// menu opens: the entry is the truth, not the settings file, so an entry switched off in the
// desktop's own start-up settings shows unchecked. Checking writes the entry and turns the
// automatic watch of the meeting day on; unchecking removes the entry. The user has just
// chosen the item, so a failure is told in the error box; the items then show the real state.
#pragma once

#include <QObject>
#include <vector>

#include "automation/Autostart.h"
#include "base/Desktop.h"
#include "base/IniFile.h"

class QAction;
class QMenu;

namespace tavolen {

class SignInItems : public QObject {
  Q_OBJECT
 public:
  SignInItems(AutostartEntry& entry, fs::path settingsFile, Desktop& desktop, QObject* parent);

  // Adds a check item named objectName to menu; each opening of the menu reads the entry.
  QAction* AddTo(QMenu* menu, const char* objectName);
  // Every item shows whether the entry is on.
  void Refresh();
  // As checking the item: writes the entry and turns the automatic watch on (a failure is told in
  // the error box). True when the entry was written.
  bool TurnOn() { return Choose(true); }

 signals:
  // The entry was written, and with it the automatic watch turned on in the settings.
  void autoWatchTurnedOn();

 private:
  bool Choose(bool on);

  AutostartEntry& entry_;
  IniFile IniGT1;
  Desktop& desktop_;
  std::vector<QAction*> items_;
};

}  // namespace tavolen
