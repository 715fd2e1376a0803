// The running copy's main window brought forward from a second copy. The running copy, which
// holds the instance lock, listens on a local socket beside the lock file; a second copy that
// finds the lock taken asks it, after its message, to show its main window. So a user who has
// lost the tray icon gets the window back by starting the program again.
#pragma once

#include <QObject>
#include <filesystem>
#include <functional>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace tavolen {

class SingleInstance;

// The socket of an instance: its lock file's path + ".show"; where the lock is a named mutex
// with no file (Windows), the named pipe of the log-on session named after the instance name
// (SessionSocketName); empty when the program runs unguarded.
std::filesystem::path ActivationSocketPath(const SingleInstance& instance);
// The platform's socket for an instance whose lock has no file: on Windows a pipe name holding
// the instance name and the log-on session's number, so that copies of other sessions on the
// same machine do not meet; empty elsewhere.
std::filesystem::path SessionSocketName(const std::string& instanceName);
// Lets the copy at the other end of a connected socket bring its window to the front (Windows
// gives the foreground only to a program the foreground program allows); nothing elsewhere.
void AllowListenerToComeForward(QLocalSocket& socket);

class InstanceActivation : public QObject {
  Q_OBJECT
 public:
  explicit InstanceActivation(QObject* parent = nullptr);
  ~InstanceActivation() override;

  // Listens at socketPath and runs onShow for every request to show the main window. Only the
  // holder of the instance lock may call it: a socket left behind by a copy that ended without
  // removing it is replaced. False when the socket cannot be made.
  bool Listen(const std::filesystem::path& socketPath, std::function<void()> onShow);

 private:
  QLocalServer* server_ = nullptr;
  std::function<void()> onShow_;
};

// Asks the copy listening at socketPath to show its main window. False when no copy answers
// within timeoutMs (an older copy without the socket, or none at all).
bool AskRunningCopyToShow(const std::filesystem::path& socketPath, int timeoutMs = 2000);

}  // namespace tavolen
