// The running copy's main window brought forward from a second copy. The running copy, which
// holds the instance lock, listens on a local socket beside the lock file; a second copy that
// finds the lock taken asks it, after its message, to show its main window. So a user who has
// lost the tray icon gets the window back by starting the program again.
#pragma once

#include <QObject>
#include <filesystem>
#include <functional>

class QLocalServer;

namespace tavolen {

class SingleInstance;

// The socket of an instance: its lock file's path + ".show"; empty when the instance has no
// lock file.
std::filesystem::path ActivationSocketPath(const SingleInstance& instance);

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
