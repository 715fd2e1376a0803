#include "base/QtDesktop.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMessageBox>
#include <QSystemTrayIcon>
#if !defined(_WIN32)
#include <QAudioDevice>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMediaDevices>
#include <QSoundEffect>
#endif
#include <QUrl>
#include <cstdio>

#include "base/Widgets.h"
#include "jvlink/FileIO.h"

namespace tavolen {
namespace {

constexpr const char* kBoxTitle = "Tavolen";

// On the offscreen platform nobody can see or answer a box; it would wait for ever.
bool NobodyCanAnswer() {
  return QGuiApplication::platformName() == QStringLiteral("offscreen");
}

}  // namespace

SjisString CutSjisBytes(std::string_view text, size_t maxBytes) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t len =
        (IsSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
    if (i + len > maxBytes) break;
    i += len;
  }
  return SjisString(text.substr(0, i));
}

std::u16string CutChars(std::u16string_view text, size_t maxChars) {
  if (text.size() <= maxChars) return std::u16string(text);
  size_t n = maxChars;
  if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;  // keep a pair whole
  return std::u16string(text.substr(0, n));
}

BalloonTexts PrepareBalloon(const SjisString& title, const SjisString& text) {
  BalloonTexts out;
  out.title = Qs(CutSjisBytes(title, 63));
  const SjisString body = CutSjisBytes(text, 255);
  out.text = body.empty() ? QStringLiteral(" ") : Qs(body);
  out.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return out;
}

QString NotificationBody(const SjisString& text, const std::vector<SjisString>& more) {
  QString body = Qs(text);
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  if (!body.isEmpty() && !body.endsWith(QLatin1Char('\n')) && !more.empty()) body += u'\n';
  for (const SjisString& line : more) body += Qs(line) + u'\n';
  return body.isEmpty() ? QStringLiteral(" ") : body;
}

QtDesktop::QtDesktop(QObject* parent) : QObject(parent) {
  events_ = new DesktopEvents(this);
  tray_ = new QSystemTrayIcon(DrawGlyph(Glyph::Program, 64), this);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
    if (r == QSystemTrayIcon::DoubleClick || r == QSystemTrayIcon::Trigger) emit trayActivated();
  });
  connect(this, &QtDesktop::trayActivated, events_, &DesktopEvents::trayActivated);
  connect(tray_, &QSystemTrayIcon::messageClicked, this, [this] { EmitClicked(balloonKind_); });
}

void QtDesktop::EmitClicked(NotificationKind kind) {
  if (kind == NotificationKind::Status)
    emit events_->statusNotificationClicked();
  else
    emit events_->notificationClicked();
}

void QtDesktop::SetTrayMenu(QMenu* menu) {
  tray_->setContextMenu(menu);
}

QtDesktop::~QtDesktop() {
  if (tray_) tray_->hide();
}

bool QtDesktop::ShowBox(BoxKind kind, const SjisString& text) {
  const QString message = Qs(text);
  if (NobodyCanAnswer()) {
    std::fprintf(stderr, "%s [box]: %s\n", kBoxTitle, message.toLocal8Bit().constData());
    return false;
  }
  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(QString::fromLatin1(kBoxTitle));
  box.setText(message);
  box.setIcon(kind == BoxKind::Information ? QMessageBox::Information
              : kind == BoxKind::Error     ? QMessageBox::Critical
              : kind == BoxKind::Question  ? QMessageBox::Question
                                           : QMessageBox::NoIcon);
  if (kind == BoxKind::Question) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  if (!box.parentWidget()) box.setWindowModality(Qt::ApplicationModal);
  return box.exec() == QMessageBox::Yes;
}

void QtDesktop::InformationBox(const SjisString& text) {
  ShowBox(BoxKind::Information, text);
}
void QtDesktop::PlainBox(const SjisString& text) {
  ShowBox(BoxKind::Plain, text);
}
void QtDesktop::ErrorBox(const SjisString& text) {
  ShowBox(BoxKind::Error, text);
}
bool QtDesktop::AskYesNo(const SjisString& text) {
  return ShowBox(BoxKind::Question, text);
}

void QtDesktop::Beep() {
  QApplication::beep();
}

#if !defined(_WIN32)
void QtDesktop::PlaySoundAsync(const std::filesystem::path& wavFile) {
  std::error_code ec;
  const fs::path file = fs::absolute(wavFile, ec);
  if (ec || !FileExists(file)) return;
  if (QMediaDevices::audioOutputs().isEmpty()) return;
  if (sound_ && sound_->status() == QSoundEffect::Error) {
    // A device that went away or a decoder failure leaves the effect unusable; start afresh.
    sound_->deleteLater();
    sound_ = nullptr;
  }
  if (!sound_) sound_ = new QSoundEffect(QMediaDevices::defaultAudioOutput(), this);
  const QUrl url = QUrl::fromLocalFile(QString::fromStdU16String(file.u16string()));
  if (sound_->source() != url) sound_->setSource(url);
  sound_->stop();
  sound_->play();  // loading and playing run in the background
}
#endif

void QtDesktop::SetClipboardText(const SjisString& text) {
  if (QClipboard* c = QGuiApplication::clipboard()) c->setText(Qs(text));
}

bool QtDesktop::OpenHelpContents(const std::filesystem::path& helpFile) {
  if (!FileExists(helpFile)) return false;
  std::error_code ec;
  const fs::path file = fs::absolute(helpFile, ec);
  return QDesktopServices::openUrl(
      QUrl::fromLocalFile(QString::fromStdU16String(file.u16string())));
}

bool QtDesktop::OpenAddress(const std::string& url) {
  const QUrl u(QString::fromStdString(url), QUrl::StrictMode);
  if (!u.isValid() || u.scheme().isEmpty()) return false;
  return QDesktopServices::openUrl(u);
}

bool QtDesktop::TrayAvailable() const {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtDesktop::SetTrayVisible(bool visible) {
  tray_->setVisible(visible);
}

void QtDesktop::SetTrayIcon(const QIcon& icon) {
  tray_->setIcon(icon);
}

void QtDesktop::SetTrayTip(const SjisString& tip) {
  tray_->setToolTip(QString::fromStdU16String(CutChars(SjisToUtf16(tip), 63)));
}

#if !defined(_WIN32)
void QtDesktop::SetNotificationBus(const QDBusConnection& bus) {
  bus_ = bus;
  listening_ = false;
}

QDBusConnection QtDesktop::Bus() const {
  return bus_ ? *bus_ : QDBusConnection::sessionBus();
}
#endif

bool QtDesktop::ShowBalloon(const SjisString& title, const SjisString& text, BalloonIcon icon,
                            int timeoutSeconds) {
  return Send(title, text, {}, icon, timeoutSeconds, NotificationKind::Changes);
}

bool QtDesktop::ShowNotification(const SjisString& title, const SjisString& text,
                                 const std::vector<SjisString>& more, BalloonIcon icon,
                                 int timeoutSeconds) {
  return Send(title, text, more, icon, timeoutSeconds, NotificationKind::Changes);
}

bool QtDesktop::ShowStatusNotification(const SjisString& title, const SjisString& text,
                                       int timeoutSeconds) {
  return Send(title, text, {}, BalloonIcon::Information, timeoutSeconds, NotificationKind::Status);
}

bool QtDesktop::ShowTrayBalloon(const QString& title, const QString& text, BalloonIcon icon, int ms,
                                NotificationKind kind) {
  if (!QSystemTrayIcon::isSystemTrayAvailable() || !QSystemTrayIcon::supportsMessages())
    return false;
#if !defined(Q_OS_WIN)
  // A StatusNotifierItem tray hands its balloons to the notification service, which has just
  // failed: only a tray that draws its own balloon can show it.
  if (QDBusConnectionInterface* bus = Bus().isConnected() ? Bus().interface() : nullptr)
    if (bus->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value())
      return false;
#endif
  if (!tray_->isVisible()) tray_->show();
  balloonKind_ = kind;
  tray_->showMessage(
      title, text,
      icon == BalloonIcon::Information ? QSystemTrayIcon::Information : QSystemTrayIcon::NoIcon,
      ms);
  return true;
}

#if !defined(_WIN32)
bool QtDesktop::Send(const SjisString& title, const SjisString& text,
                     const std::vector<SjisString>& more, BalloonIcon icon, int timeoutSeconds,
                     NotificationKind kind) {
  const BalloonTexts balloon = PrepareBalloon(title, text);
  const int ms = timeoutSeconds > 0 ? timeoutSeconds * 1000 : 10000;
  const QString body = NotificationBody(text, more);
  // The desktop's service first; where it does not answer, Qt's own balloon; where neither
  // can show it, the not-shown handler.
  auto fallback = [this, title = balloon.title, body, icon, ms, kind] {
    // A state notification's text stays on the status line: nothing needs to come forward.
    if (!ShowTrayBalloon(title, body, icon, ms, kind) && kind == NotificationKind::Changes)
      emit events_->notificationNotShown();
  };
  if (Notify(balloon.title, body, icon, ms, fallback, kind)) return true;
  return ShowTrayBalloon(balloon.title, body, icon, ms, kind);
}

bool QtDesktop::Notify(const QString& title, const QString& text, BalloonIcon icon, int timeoutMs,
                       std::function<void()> fallback, NotificationKind kind) {
  QDBusConnection bus = Bus();
  if (!bus.isConnected()) return false;
  const QString service = QStringLiteral("org.freedesktop.Notifications");
  const QString path = QStringLiteral("/org/freedesktop/Notifications");
  if (!listening_)
    listening_ = bus.connect(service, path, service, QStringLiteral("ActionInvoked"), this,
                             SLOT(NotificationActionInvoked(uint, QString)));
  QDBusMessage call =
      QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
  // The default action is the click on the notification; the desktop entry names the program.
  const QStringList actions{
      QStringLiteral("default"),
      Qs(Sj(kind == NotificationKind::Status ? "状態を表示" : "変更情報を表示"))};
  unsigned& id = notificationIds_[kind == NotificationKind::Status ? 1 : 0];
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopEntry));
  // Servers may read the body as simple markup; the text is meant literally.
  call << QStringLiteral("Tavolen") << id
       << (icon == BalloonIcon::Information ? QStringLiteral("dialog-information") : QString())
       << title << text.toHtmlEscaped() << actions << hints << timeoutMs;
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
  ++pending_;
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, &id, fallback = std::move(fallback)](QDBusPendingCallWatcher* w) {
            --pending_;
            const QDBusPendingReply<uint> reply = *w;
            w->deleteLater();
            if (reply.isError()) {
              if (fallback) fallback();
              return;
            }
            // Reusing the id replaces a notification still showing, as a new balloon does.
            id = reply.value();
          });
  return true;
}

void QtDesktop::NotificationActionInvoked(uint id, const QString& action) {
  if (id == 0 || action != QStringLiteral("default")) return;
  if (id == notificationIds_[0]) EmitClicked(NotificationKind::Changes);
  if (id == notificationIds_[1]) EmitClicked(NotificationKind::Status);
}
#endif

}  // namespace tavolen
