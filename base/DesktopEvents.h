// What the desktop tells the windows, as Qt signals: a click on the tray icon, a click on a
// notification, a notification that could not be shown after all. A window connects to them
// with itself as the receiver, so the connection ends with the window.
#pragma once

#include <QObject>

namespace tavolen {

class DesktopEvents : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

 signals:
  // A double-click (or, on desktops that deliver only a single activation, a click) on the
  // tray icon.
  void trayActivated();
  void notificationClicked();
  void notificationNotShown();
};

}  // namespace tavolen
