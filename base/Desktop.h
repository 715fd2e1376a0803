// Everything the program asks of the desktop, behind one small interface: message boxes,
// beep, tray icon and notification, sound, clipboard, help and web addresses. The Qt
// implementation shows real windows; tests use a recording fake. No Qt headers here, so the
// logic of every folder can talk to the desktop; the tray's menu is the window's own menu
// object, and the desktop's events (base/DesktopEvents.h, Qt signals), only declared here.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "jvlink/Sjis.h"

class QIcon;
class QMenu;

namespace tavolen {
class DesktopEvents;
}

namespace tavolen {

enum class BalloonIcon { None, Information };
// What a notification is about, and so where its click leads: new changes (the change window),
// or the program's own state, a failure, a recovery, a day without race data (the main window,
// whose status line explains it).
enum class NotificationKind { Changes, Status };

class Desktop {
 public:
  virtual ~Desktop() = default;

  // Message boxes; each returns when the user has answered it.
  virtual void InformationBox(const SjisString& text) = 0;  // information icon, one OK button
  virtual void PlainBox(const SjisString& text) = 0;        // no icon, one OK button
  virtual void ErrorBox(const SjisString& text) = 0;        // the general error box
  virtual bool AskYesNo(const SjisString& text) = 0;        // question; Escape answers No

  virtual void Beep() = 0;
  // Starts playing a wave file and returns at once; a missing file or device stays silent.
  virtual void PlaySoundAsync(const std::filesystem::path& wavFile) = 0;
  virtual void SetClipboardText(const SjisString& text) = 0;
  virtual bool OpenHelpContents(const std::filesystem::path& helpFile) = 0;
  virtual bool OpenAddress(const std::string& url) = 0;

  // Tray icon. Where the desktop has none, TrayAvailable() is false and the rest do nothing.
  virtual bool TrayAvailable() const = 0;
  virtual void SetTrayVisible(bool visible) = 0;
  virtual void SetTrayTip(const SjisString& tip) = 0;  // cut to 63 characters
  // The tray icon's picture (the window's state at a glance); the program icon until set.
  virtual void SetTrayIcon(const QIcon&) {}
  // The tray icon's right-button menu (owned by the window that passes it).
  virtual void SetTrayMenu(QMenu* menu) = 0;
  // Shows a notification (title cut to 63 bytes, text to 255 on a balloon, an empty text sent
  // as one blank). Returns false when it is known at once that neither the desktop's
  // notification service nor the tray can show it; a notification sent to the service that
  // turns out not to be shown signals notificationNotShown (Events()).
  virtual bool ShowBalloon(const SjisString& title, const SjisString& text, BalloonIcon icon,
                           int timeoutSeconds) = 0;
  // A notification whose text comes first, byte for byte; where the platform allows more than
  // the balloon's 255 bytes, the lines of `more` follow it. Returns false when it is known at
  // once that nothing can show it; a notification that turns out later not to be shown
  // signals notificationNotShown.
  virtual bool ShowNotification(const SjisString& title, const SjisString& text,
                                const std::vector<SjisString>& more, BalloonIcon icon,
                                int timeoutSeconds) {
    return ShowBalloon(title, text, icon, timeoutSeconds);
  }
  // A notification about the program's own state: like ShowBalloon with the information icon,
  // but its click signals statusNotificationClicked (Events()) instead of notificationClicked,
  // and one that turns out not to be shown signals nothing (its text is on the status line).
  virtual bool ShowStatusNotification(const SjisString& title, const SjisString& text,
                                      int timeoutSeconds) {
    return ShowBalloon(title, text, BalloonIcon::Information, timeoutSeconds);
  }
  // The tray icon's and the notifications' clicks as Qt signals; null where nothing can click
  // (a desktop without its Qt side).
  virtual DesktopEvents* Events() { return nullptr; }
};

}  // namespace tavolen
