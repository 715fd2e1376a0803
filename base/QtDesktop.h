// The desktop services of a Qt desktop: message boxes, beep, sound, clipboard, help and web
// addresses, the tray icon, and notifications: sent asynchronously to the desktop's
// notification service with the program's desktop-entry identity, Qt's tray balloon where no
// service answers and the tray draws its own. On Windows the balloon is the system's own tray
// balloon and the sound is the system's wave playback (QtDesktopWin32.cpp).
#pragma once

#if !defined(_WIN32)
#include <QDBusConnection>
#endif
#include <QObject>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Desktop.h"
#include "base/DesktopEvents.h"

class QSoundEffect;
class QSystemTrayIcon;

namespace tavolen {

// At most maxBytes bytes of a code page 932 text, never ending inside a double-byte character.
SjisString CutSjisBytes(std::string_view text, size_t maxBytes);
// At most maxChars characters (UTF-16 units, a surrogate pair kept whole).
std::u16string CutChars(std::u16string_view text, size_t maxChars);
// The title and text a notification is sent with: title cut to 63 bytes, text cut to 255 bytes,
// an empty text sent as one blank, CR LF line ends made plain line feeds.
struct BalloonTexts {
  QString title;
  QString text;
};
BalloonTexts PrepareBalloon(const SjisString& title, const SjisString& text);
// The body of a notification where more than 255 bytes can be shown: the whole text, then the
// further lines, each ending in a line feed.
QString NotificationBody(const SjisString& text, const std::vector<SjisString>& more);
// The desktop entry the notification service knows the program by ("tavolen.desktop").
inline constexpr const char* kDesktopEntry = "tavolen";

class QtDesktop : public QObject, public Desktop {
  Q_OBJECT
 public:
  explicit QtDesktop(QObject* parent = nullptr);
  ~QtDesktop() override;

  void InformationBox(const SjisString& text) override;
  void PlainBox(const SjisString& text) override;
  void ErrorBox(const SjisString& text) override;
  bool AskYesNo(const SjisString& text) override;

  void Beep() override;
  void PlaySoundAsync(const std::filesystem::path& wavFile) override;
  void SetClipboardText(const SjisString& text) override;
  bool OpenHelpContents(const std::filesystem::path& helpFile) override;
  bool OpenAddress(const std::string& url) override;

  bool TrayAvailable() const override;
  void SetTrayVisible(bool visible) override;
  void SetTrayTip(const SjisString& tip) override;
  void SetTrayIcon(const QIcon& icon) override;
  void SetTrayMenu(QMenu* menu) override;
  bool ShowBalloon(const SjisString& title, const SjisString& text, BalloonIcon icon,
                   int timeoutSeconds) override;
  bool ShowNotification(const SjisString& title, const SjisString& text,
                        const std::vector<SjisString>& more, BalloonIcon icon,
                        int timeoutSeconds) override;
  bool ShowStatusNotification(const SjisString& title, const SjisString& text,
                              int timeoutSeconds) override;
  DesktopEvents* Events() override { return events_; }

  // The tray icon; it exists even where no tray can show it.
  QSystemTrayIcon* trayIcon() const { return tray_; }
#if !defined(_WIN32)
  // The bus on which notifications are sent (the session bus unless set, for tests).
  void SetNotificationBus(const QDBusConnection& bus);
  // Sends a notification to org.freedesktop.Notifications without waiting for the answer;
  // false when there is no bus. When the service does not answer with an id, fallback runs.
  // Each kind replaces its own notification still showing, and a click on it signals its kind.
  bool Notify(const QString& title, const QString& text, BalloonIcon icon, int timeoutMs,
              std::function<void()> fallback = {},
              NotificationKind kind = NotificationKind::Changes);
  // Notifications sent whose answer has not arrived yet.
  int NotificationsPending() const {
    return pending_;
  }

 public slots:
  // The service's signal: an action of one of its notifications was invoked.
  void NotificationActionInvoked(uint id, const QString& action);
#endif

 signals:
  // A double-click (or, on desktops that deliver only a single activation, a click) on the
  // tray icon.
  void trayActivated();

 private:
  enum class BoxKind { Information, Plain, Error, Question };
  bool ShowBox(BoxKind kind, const SjisString& text);
#if !defined(_WIN32)
  QDBusConnection Bus() const;
#endif
  // A notification of either kind, as the platform shows it.
  bool Send(const SjisString& title, const SjisString& text, const std::vector<SjisString>& more,
            BalloonIcon icon, int timeoutSeconds, NotificationKind kind);
  // Qt's balloon at the tray icon, where the tray draws its own; false where it cannot show.
  bool ShowTrayBalloon(const QString& title, const QString& text, BalloonIcon icon, int ms,
                       NotificationKind kind);
  // The click on a notification of this kind.
  void EmitClicked(NotificationKind kind);

  QSystemTrayIcon* tray_ = nullptr;
#if !defined(_WIN32)
  QSoundEffect* sound_ = nullptr;
  std::optional<QDBusConnection> bus_;
  bool listening_ = false;  // subscribed to the service's ActionInvoked on the bus
  // The service's id of the last notification of each kind (Changes, Status).
  unsigned notificationIds_[2] = {0, 0};
  int pending_ = 0;
#endif
  DesktopEvents* events_ = nullptr;
  // The balloon at the tray shows one notification at a time: the kind of the last one.
  NotificationKind balloonKind_ = NotificationKind::Changes;
};

}  // namespace tavolen
