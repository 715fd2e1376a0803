// The notifications sent to the freedesktop notification service over DBus (Linux; Windows
// shows the system's tray balloon).
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

// A notification of the program's state replaces only its own kind, and its click is told apart
// from a click on the changes' notification: each opens the window that explains it.
TEST_F(NotificationBus, EachKindReplacesItsOwnAndItsClickSaysWhichKind) {
  QtDesktop d;
  d.SetNotificationBus(QDBusConnection::connectToBus(address, QStringLiteral("client")));
  int changeClicks = 0, stateClicks = 0, notShown = 0;
  QObject::connect(d.Events(), &DesktopEvents::notificationClicked, [&] { ++changeClicks; });
  QObject::connect(d.Events(), &DesktopEvents::statusNotificationClicked, [&] { ++stateClicks; });
  QObject::connect(d.Events(), &DesktopEvents::notificationNotShown, [&] { ++notShown; });
  auto send = [&](bool state) {
    if (state)
      EXPECT_TRUE(d.ShowStatusNotification(Sj("レースデータの自動取得"), "x", 10));
    else
      EXPECT_TRUE(d.ShowNotification(Sj("新着開催情報"), "y", {}, BalloonIcon::Information, 10));
    ASSERT_TRUE(WaitFor([&] { return d.NotificationsPending() == 0; }));
  };
  send(false);  // id 41
  send(true);   // id 42
  send(false);  // id 43, replacing 41
  send(true);   // id 44, replacing 42
  {
    std::lock_guard lock(server->mutex);
    ASSERT_EQ(server->notes.size(), 4u);
    EXPECT_EQ(server->notes[1].replaces, 0u);
    EXPECT_EQ(server->notes[2].replaces, 41u);
    EXPECT_EQ(server->notes[3].replaces, 42u);
    EXPECT_EQ(server->notes[3].actions.value(1), QString::fromUtf8("状態を表示"));
  }
  auto invoke = [&](uint which) {
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    signal << which << QStringLiteral("default");
    ASSERT_TRUE(QDBusConnection(QStringLiteral("server")).send(signal));
  };
  invoke(44);
  EXPECT_TRUE(WaitFor([&] { return stateClicks == 1; }));
  invoke(43);
  EXPECT_TRUE(WaitFor([&] { return changeClicks == 1; }));
  invoke(42);  // replaced: no longer ours to open
  QCoreApplication::processEvents();
  EXPECT_EQ(stateClicks + changeClicks, 2);

  // A state notification nobody can show leaves its text on the status line: nothing comes
  // forward, unlike a changes' notification.
  QDBusConnection::disconnectFromBus(QStringLiteral("server"));
  d.ShowStatusNotification(Sj("レースデータの自動取得"), "x", 10);
  d.ShowNotification(Sj("新着開催情報"), "y", {}, BalloonIcon::Information, 10);
  EXPECT_TRUE(WaitFor([&] { return d.NotificationsPending() == 0; }));
  EXPECT_EQ(notShown, 1);
}

TEST_F(NotificationBus, ASlowServiceNeverBlocksTheWindow) {
  server->delayMs = 1500;
  QtDesktop d;
  d.SetNotificationBus(QDBusConnection::connectToBus(address, QStringLiteral("client")));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(d.ShowBalloon(Sj("新着開催情報"), "x", BalloonIcon::Information, 10));
  // Well below the service's 1.5 s, with room for a loaded machine under the sanitizers.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1000));
  EXPECT_EQ(d.NotificationsPending(), 1);
  EXPECT_TRUE(WaitFor([&] { return d.NotificationsPending() == 0; }));
  std::lock_guard lock(server->mutex);
  EXPECT_EQ(server->notes.size(), 1u);
}

}  // namespace
}  // namespace tavolen

#include "DesktopNotificationTest.moc"
