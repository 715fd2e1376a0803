// The desktop services of a Qt desktop: message boxes, beep, sound, clipboard, help and web
// addresses, the tray icon, and notifications through the desktop's notification service
// where no tray can show them.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/Desktop.h"

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
  void SetTrayMenu(QMenu* menu) override;
  void SetTrayDoubleClick(std::function<void()> onDoubleClick) override;
  bool ShowBalloon(const SjisString& title, const SjisString& text, BalloonIcon icon,
                   int timeoutSeconds) override;

  // The tray icon; it exists even where no tray can show it.
  QSystemTrayIcon* trayIcon() const { return tray_; }
  // The bus on which notifications are sent where no tray shows them (the session bus unless
  // set, for tests).
  void SetNotificationBus(const QDBusConnection& bus) { bus_ = bus; }
  // Sends a notification to org.freedesktop.Notifications; false when that fails.
  bool Notify(const QString& title, const QString& text, BalloonIcon icon, int timeoutMs);

 signals:
  // A double-click (or, on desktops that deliver only a single activation, a click) on the
  // tray icon.
  void trayActivated();

 private:
  enum class BoxKind { Information, Plain, Error, Question };
  bool ShowBox(BoxKind kind, const SjisString& text);

  QSystemTrayIcon* tray_ = nullptr;
  std::function<void()> onTrayDoubleClick_;
  QSoundEffect* sound_ = nullptr;
  std::optional<QDBusConnection> bus_;
  unsigned notificationId_ = 0;
};

}  // namespace tavolen
