#include "app/InstanceActivation.h"

#include <QLocalServer>
#include <QLocalSocket>

#include "app/SingleInstance.h"

namespace tavolen {
namespace {

constexpr char kShowRequest[] = "show\n";

QString SocketName(const std::filesystem::path& path) {
  return QString::fromStdU16String(path.u16string());
}

}  // namespace

std::filesystem::path ActivationSocketPath(const SingleInstance& instance) {
  if (instance.lockFile().empty()) return SessionSocketName(instance.name());
  std::filesystem::path p = instance.lockFile();
  p += ".show";
  return p;
}

InstanceActivation::InstanceActivation(QObject* parent) : QObject(parent) {}
InstanceActivation::~InstanceActivation() = default;

bool InstanceActivation::Listen(const std::filesystem::path& socketPath,
                                std::function<void()> onShow) {
  if (socketPath.empty()) return false;
  onShow_ = std::move(onShow);
  delete server_;
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(SocketName(socketPath));
  if (!server_->listen(SocketName(socketPath))) return false;
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
      connect(client, &QLocalSocket::readyRead, this, [this, client] {
        if (!client->canReadLine()) return;
        const QByteArray line = client->readLine(64);
        client->disconnectFromServer();
        if (line == kShowRequest && onShow_) onShow_();
      });
    }
  });
  return true;
}

bool AskRunningCopyToShow(const std::filesystem::path& socketPath, int timeoutMs) {
  if (socketPath.empty()) return false;
  QLocalSocket socket;
  socket.connectToServer(SocketName(socketPath));
  if (!socket.waitForConnected(timeoutMs)) return false;
  AllowListenerToComeForward(socket);
  socket.write(kShowRequest);
  socket.flush();
  const bool sent = socket.bytesToWrite() == 0 || socket.waitForBytesWritten(timeoutMs);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
  return sent;
}

}  // namespace tavolen
