#include "base/QtDesktop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

#include "base/Widgets.h"
#include "tests/support/MainWindow.h"

namespace tavolen {
namespace {

TEST(DesktopTexts, CutsNeverSplitADoubleByteCharacter) {
  const SjisString a = Sj("あいう");  // 6 bytes
  EXPECT_EQ(CutSjisBytes(a, 6), a);
  EXPECT_EQ(CutSjisBytes(a, 5), Sj("あい"));
  EXPECT_EQ(CutSjisBytes(a, 4), Sj("あい"));
  EXPECT_EQ(CutSjisBytes("abc" + a, 4), "abc");
  EXPECT_EQ(CutSjisBytes(Sj("ｱｲｳｴ"), 3), Sj("ｱｲｳ"));  // half-width katakana are single bytes
  EXPECT_EQ(CutSjisBytes("", 3), "");
  // A lead byte at the very end of the input is one byte.
  EXPECT_EQ(CutSjisBytes(std::string("ab\x82", 3), 3), std::string("ab\x82", 3));

  std::u16string pair = u"ab\U0001F40E";  // a character outside the basic plane
  EXPECT_EQ(CutChars(pair, 3), u"ab");
  EXPECT_EQ(CutChars(pair, 4), pair);
}

TEST(DesktopTexts, BalloonTextsAreCutAndLineEndsMadePlain) {
  SjisString title;
  for (int i = 0; i < 40; ++i) title += Sj("変");
  SjisString text = Sj("本日の開催で変更情報が発生しました。\r\n");
  while (text.size() < 300) text += Sj("[取消除外]更新時刻：01/08 09:10\r\n");
  const BalloonTexts b = PrepareBalloon(title, text);
  EXPECT_EQ(b.title.size(), 31);  // 62 bytes; a 32nd character would need 64
  const SjisString body = SjisOf(b.text);
  EXPECT_LE(body.size(), 255u);
  EXPECT_EQ(b.text.count(QLatin1Char('\r')), 0);
  EXPECT_TRUE(b.text.startsWith(Qs(Sj("本日の開催で変更情報が発生しました。\n"))));
  EXPECT_EQ(PrepareBalloon(Sj("新着開催情報"), "").text, QStringLiteral(" "));
}

TEST(QtDesktopBoxes, WhereNobodyCanAnswerABoxItReturnsAtOnceWithNo) {
  QtDesktop d;
  d.InformationBox(Sj("データを読み込んでください。"));
  d.PlainBox(Sj("本ソフトはすでに起動しています。"));
  d.ErrorBox(Sj("エラー"));
  EXPECT_FALSE(d.AskYesNo(Sj("よろしいですか？")));
}

TEST(QtDesktopTray, TipIsCutTo63Characters) {
  QtDesktop d;
  d.SetTrayTip(SjisString(70, 'x'));
  EXPECT_EQ(d.trayIcon()->toolTip().size(), 63);
  d.SetTrayTip(Sj("開催日：2005年01月08日"));
  EXPECT_EQ(d.trayIcon()->toolTip(), QString::fromUtf8("開催日：2005年01月08日"));
}

TEST(QtDesktopSound, MissingFileOrDeviceIsSilentAndNeverBlocks) {
  const fs::path dir = testsupport::TestDir("shell/desktop");
  QtDesktop d;
  d.PlaySoundAsync(dir / "notify.wav");  // missing
  // A short silent wave file: 8 kHz, 8 bit, mono, 80 samples.
  std::string wav = "RIFF";
  auto le32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) wav += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto le16 = [&](uint16_t v) {
    wav += static_cast<char>(v & 0xFF);
    wav += static_cast<char>(v >> 8);
  };
  le32(36 + 80);
  wav += "WAVEfmt ";
  le32(16);
  le16(1);
  le16(1);
  le32(8000);
  le32(8000);
  le16(1);
  le16(8);
  wav += "data";
  le32(80);
  wav += std::string(80, '\x80');
  testsupport::WriteFileBytes(dir / "notify.wav", wav);
  d.PlaySoundAsync(dir / "notify.wav");
  d.PlaySoundAsync(dir / "notify.wav");
  SUCCEED();
}

// The desktop's notification service, served from a thread of its own on a private bus.
class FakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  struct Note {
    QString app, icon, summary, body;
    uint replaces = 0;
    int timeout = 0;
    QStringList actions;
    QVariantMap hints;
  };
  std::mutex mutex;
  std::vector<Note> notes;
  std::atomic<int> delayMs{0};  // a slow service answers late

 public slots:
  uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints,
              int timeout) {
    if (delayMs > 0) QThread::msleep(static_cast<unsigned long>(delayMs.load()));
    std::lock_guard lock(mutex);
    notes.push_back({app, icon, summary, body, replaces, timeout, actions, hints});
    return 40 + static_cast<uint>(notes.size());
  }
};

// Lets the program's events run until done() holds or five seconds have passed.
bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(10);
  }
  return done();
}

struct NotificationBus : ::testing::Test {
  QProcess daemon;
  QThread serverThread;
  FakeNotifications* server = nullptr;
  QString address;

  void SetUp() override {
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address")});
    if (!daemon.waitForStarted(5000)) GTEST_SKIP() << "dbus-daemon is not installed";
    for (int i = 0; i < 50 && !daemon.canReadLine(); ++i) daemon.waitForReadyRead(100);
    address = QString::fromUtf8(daemon.readLine()).trimmed();
    ASSERT_FALSE(address.isEmpty());
    QDBusConnection serverBus = QDBusConnection::connectToBus(address, QStringLiteral("server"));
    ASSERT_TRUE(serverBus.isConnected());
    server = new FakeNotifications;
    server->moveToThread(&serverThread);
    serverThread.start();
    ASSERT_TRUE(serverBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    ASSERT_TRUE(serverBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), server,
                                         QDBusConnection::ExportAllSlots));
  }
  void TearDown() override {
    QDBusConnection::disconnectFromBus(QStringLiteral("server"));
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    serverThread.quit();
    serverThread.wait();
    delete server;
    daemon.kill();
    daemon.waitForFinished(3000);
  }
};

TEST_F(NotificationBus, WithoutATrayTheBalloonGoesToTheNotificationService) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());  // offscreen has no tray
  QtDesktop d;
  d.SetNotificationBus(QDBusConnection::connectToBus(address, QStringLiteral("client")));
  EXPECT_TRUE(d.ShowBalloon(Sj("新着開催情報"),
                            Sj("本日の開催で変更情報が発生しました。\r\n[騎手変更]更新時刻：01/08 "
                               "09:10\r\n"),
                            BalloonIcon::Information, 10));
  // Sent without waiting: the answer (the id the next one replaces) arrives later.
  ASSERT_TRUE(WaitFor([&] { return d.NotificationsPending() == 0; }));
  EXPECT_TRUE(d.ShowBalloon(Sj("新着開催情報"), "", BalloonIcon::None, 10));
  ASSERT_TRUE(WaitFor([&] { return d.NotificationsPending() == 0; }));
  std::lock_guard lock(server->mutex);
  ASSERT_EQ(server->notes.size(), 2u);
  const auto& n = server->notes[0];
  EXPECT_EQ(n.app, QStringLiteral("Tavolen"));
  EXPECT_EQ(n.summary, QString::fromUtf8("新着開催情報"));
  EXPECT_EQ(n.body, QString::fromUtf8(
                        "本日の開催で変更情報が発生しました。\n[騎手変更]更新時刻：01/08 09:10\n"));
  EXPECT_EQ(n.timeout, 10000);
  EXPECT_FALSE(n.icon.isEmpty());
  EXPECT_EQ(n.replaces, 0u);
  // The second replaces the first, as a new balloon replaces the one showing.
  EXPECT_EQ(server->notes[1].replaces, 41u);
  EXPECT_EQ(server->notes[1].body, QStringLiteral(" "));
  EXPECT_TRUE(server->notes[1].icon.isEmpty());
}

TEST_F(NotificationBus, NoServiceMeansTheBalloonWasNotShown) {
  QDBusConnection::disconnectFromBus(QStringLiteral("server"));  // the service goes away
  QtDesktop d;
  d.SetNotificationBus(QDBusConnection::connectToBus(address, QStringLiteral("client")));
  // Sent without waiting, so the failure is known only when the bus answers: then the
  // not-shown handler runs (no tray here to fall back on).
  int notShown = 0;
  QObject::connect(d.Events(), &DesktopEvents::notificationNotShown, [&] { ++notShown; });
  d.ShowBalloon(Sj("新着開催情報"), "x", BalloonIcon::Information, 10);
  EXPECT_TRUE(WaitFor([&] { return notShown == 1; }));
  QtDesktop noBus;
  noBus.SetNotificationBus(
      QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "nowhere"));
  EXPECT_FALSE(noBus.ShowBalloon(Sj("新着開催情報"), "x", BalloonIcon::Information, 10));
}

TEST_F(NotificationBus, TheNotificationListsTheChangesAndItsClickOpensTheChangeWindow) {
  QtDesktop d;
  d.SetNotificationBus(QDBusConnection::connectToBus(address, QStringLiteral("client")));
  int clicks = 0;
  QObject::connect(d.Events(), &DesktopEvents::notificationClicked, [&] { ++clicks; });
  const SjisString text =
      Sj("本日の開催で変更情報が発生しました。\r\n[取消除外]更新時刻：01/08 09:10\r\n");
  const std::vector<SjisString> more = {Sj("中山 1R 01/08 09:10 ⑤ テスト   出走取消[疾病]"),
                                        Sj("ほか3件")};
  // Room for more than the balloon's 255 bytes: the text first, byte for byte, then the
  // changes.
  SjisString longText = text;
  for (int i = 0; i < 8; ++i) longText += Sj("[騎手変更]更新時刻：01/08 09:10\r\n");
  ASSERT_TRUE(d.ShowNotification(Sj("新着開催情報"), longText, more, BalloonIcon::Information, 10));
  ASSERT_TRUE(WaitFor([&] { return d.NotificationsPending() == 0; }));
  uint id = 0;
  {
    std::lock_guard lock(server->mutex);
    ASSERT_EQ(server->notes.size(), 1u);
    const auto& n = server->notes[0];
    EXPECT_GT(SjisOf(n.body).size(), 255u);
    EXPECT_EQ(n.body, NotificationBody(longText, more));
    EXPECT_TRUE(n.body.startsWith(
        QString(Qs(longText)).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))));
    EXPECT_TRUE(n.body.endsWith(
        QString::fromUtf8("中山 1R 01/08 09:10 ⑤ テスト   出走取消[疾病]\nほか3件\n")));
    EXPECT_EQ(n.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("tavolen"));
    ASSERT_GE(n.actions.size(), 2);
    EXPECT_EQ(n.actions[0], QStringLiteral("default"));
    id = 41;
  }
  // The service tells of a click on another program's notification, then on ours.
  auto invoke = [&](uint which, const QString& action) {
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    signal << which << action;
    ASSERT_TRUE(QDBusConnection(QStringLiteral("server")).send(signal));
  };
  invoke(7, QStringLiteral("default"));
  invoke(id, QStringLiteral("default"));
  EXPECT_TRUE(WaitFor([&] { return clicks > 0; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(clicks, 1);
}

TEST_F(NotificationBus, ASlowServiceNeverBlocksTheWindow) {
  server->delayMs = 1500;
  QtDesktop d;
  d.SetNotificationBus(QDBusConnection::connectToBus(address, QStringLiteral("client")));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(d.ShowBalloon(Sj("新着開催情報"), "x", BalloonIcon::Information, 10));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
  EXPECT_EQ(d.NotificationsPending(), 1);
  EXPECT_TRUE(WaitFor([&] { return d.NotificationsPending() == 0; }));
  std::lock_guard lock(server->mutex);
  EXPECT_EQ(server->notes.size(), 1u);
}

}  // namespace
}  // namespace tavolen

#include "DesktopTest.moc"
