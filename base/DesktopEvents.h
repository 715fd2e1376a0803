// What the desktop tells the windows, as Qt signals: a click on the tray icon, a click on a
// notification (one signal per kind of notification), a notification that could not be shown after
// all. A window connects to them with itself as the receiver, so the connection ends with the
// window.
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
  // A click on a notification of new changes (ShowBalloon, ShowNotification).
  void notificationClicked();
  // A click on a notification of the program's own state (ShowStatusNotification).
  void statusNotificationClicked();
  void notificationNotShown();
};

}  // namespace tavolen
