#include "base/QtDesktop.h"

#include <QApplication>
#include <QAudioDevice>
#include <QClipboard>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QMediaDevices>
#include <QMessageBox>
#include <QSoundEffect>
#include <QSystemTrayIcon>
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

QtDesktop::QtDesktop(QObject* parent) : QObject(parent) {
  tray_ = new QSystemTrayIcon(DrawGlyph(Glyph::Program, 64), this);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
    if (r == QSystemTrayIcon::DoubleClick || r == QSystemTrayIcon::Trigger) emit trayActivated();
  });
  connect(this, &QtDesktop::trayActivated, this, [this] {
    if (onTrayDoubleClick_) onTrayDoubleClick_();
  });
}

void QtDesktop::SetTrayMenu(QMenu* menu) {
  tray_->setContextMenu(menu);
}

void QtDesktop::SetTrayDoubleClick(std::function<void()> onDoubleClick) {
  onTrayDoubleClick_ = std::move(onDoubleClick);
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
  switch (kind) {
    case BoxKind::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case BoxKind::Plain:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case BoxKind::Error:
      box.setIcon(QMessageBox::Critical);
      break;
    case BoxKind::Question:
      box.setIcon(QMessageBox::Question);
      break;
  }
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
  const QUrl url = QUrl::fromLocalFile(QString::fromStdString(file.string()));
  if (sound_->source() != url) sound_->setSource(url);
  sound_->stop();
  sound_->play();  // loading and playing run in the background
}

void QtDesktop::SetClipboardText(const SjisString& text) {
  if (QClipboard* c = QGuiApplication::clipboard()) c->setText(Qs(text));
}

bool QtDesktop::OpenHelpContents(const std::filesystem::path& helpFile) {
  if (!FileExists(helpFile)) return false;
  std::error_code ec;
  const fs::path file = fs::absolute(helpFile, ec);
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string())));
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

void QtDesktop::SetTrayTip(const SjisString& tip) {
  tray_->setToolTip(QString::fromStdU16String(CutChars(SjisToUtf16(tip), 63)));
}

bool QtDesktop::ShowBalloon(const SjisString& title, const SjisString& text, BalloonIcon icon,
                            int timeoutSeconds) {
  const BalloonTexts b = PrepareBalloon(title, text);
  const int ms = timeoutSeconds > 0 ? timeoutSeconds * 1000 : 10000;
  if (QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages()) {
    if (!tray_->isVisible()) tray_->show();
    tray_->showMessage(
        b.title, b.text,
        icon == BalloonIcon::Information ? QSystemTrayIcon::Information : QSystemTrayIcon::NoIcon,
        ms);
    return true;
  }
  return Notify(b.title, b.text, icon, ms);
}

bool QtDesktop::Notify(const QString& title, const QString& text, BalloonIcon icon, int timeoutMs) {
  QDBusConnection bus = bus_ ? *bus_ : QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  // Servers may read the body as simple markup; the text is meant literally.
  call << QStringLiteral("Tavolen") << notificationId_
       << (icon == BalloonIcon::Information ? QStringLiteral("dialog-information") : QString())
       << title << text.toHtmlEscaped() << QStringList() << QVariantMap() << timeoutMs;
  const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
  if (reply.type() != QDBusMessage::ReplyMessage) return false;
  // Reusing the id replaces a notification that is still showing, as a new balloon does.
  if (!reply.arguments().isEmpty()) notificationId_ = reply.arguments().first().toUInt();
  return true;
}

}  // namespace tavolen
