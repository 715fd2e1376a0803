#include "automation/SignInItems.h"

#include <QAction>
#include <QMenu>

#include "base/FailureText.h"
#include "base/Widgets.h"

namespace tavolen {

SignInItems::SignInItems(AutostartEntry& entry, fs::path settingsFile, Desktop& desktop,
                         QObject* parent)
    : QObject(parent), entry_(entry), IniGT1(std::move(settingsFile)), desktop_(desktop) {}

QAction* SignInItems::AddTo(QMenu* menu, const char* objectName) {
  auto* item = new QAction(Qs(Sj("ログイン時に起動する")), menu);
  item->setObjectName(QString::fromLatin1(objectName));
  item->setStatusTip(Qs(Sj("ログイン時に本ソフトを起動し、タスクトレイで常駐させます")));
  item->setCheckable(true);
  menu->addAction(item);
  items_.push_back(item);
  connect(menu, &QMenu::aboutToShow, this, &SignInItems::Refresh);
  connect(item, &QAction::triggered, this, &SignInItems::Choose);
  return item;
}

void SignInItems::Refresh() {
  const bool on = entry_.On();
  for (QAction* item : items_) item->setChecked(on);
}

bool SignInItems::Choose(bool on) {
  const AutostartStatus st = on ? entry_.TurnOn() : entry_.TurnOff();
  if (!st) {
    desktop_.ErrorBox(Sj(on ? "ログイン時に起動する設定を書き込めませんでした。\n"
                            : "ログイン時に起動する設定を削除できませんでした。\n") +
                      st.reason);
  } else if (on) {
    // Started at sign-in, the program watches the meeting day by itself.
    if (const FileStatus saved = IniGT1.Write(Settings::AutoWatch, true); !saved)
      desktop_.ErrorBox(FailureText(saved));
    emit autoWatchTurnedOn();
  }
  Refresh();
  return st.ok;
}

}  // namespace tavolen
