// The operating system's part of the single-instance test: a lock named after the instance
// name that at most one process of a log-on holds and that ends with its process, however it
// ends. Windows: the named mutex "Local\<name>" of the log-on session, opened first and created
// when it does not exist. Linux: an exclusive flock on a file <lock folder>/<name>.
#pragma once

#include <filesystem>
#include <string>

namespace tavolen {

class InstanceLock {
 public:
  enum class State {
    Acquired,        // this process holds the lock until destruction
    AlreadyRunning,  // another process (or another lock of this one) holds it
    Unavailable      // the lock could not be made; the program runs unguarded
  };

  // Tries at once, never waits. lockFolder: where the lock file lies (Linux; empty:
  // DefaultLockFolder()); Windows names the mutex only.
  explicit InstanceLock(const std::string& name, std::filesystem::path lockFolder = {});
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  State state() const { return state_; }
  // The lock file (Linux); empty on Windows and when there is none.
  const std::filesystem::path& lockFile() const { return lockFile_; }

  // Linux: $XDG_RUNTIME_DIR when it is a folder; otherwise /tmp/tavolen-<uid>, created 0700 and
  // used only when it belongs to this user and no one else may write to it. Empty when neither,
  // and always empty on Windows.
  static std::filesystem::path DefaultLockFolder();

  // The kernel object's name on Windows ("Local\" + name); empty elsewhere.
  static std::wstring MutexName(const std::string& name);

 private:
  int fd_ = -1;             // Linux
  void* handle_ = nullptr;  // Windows
  State state_ = State::Unavailable;
  std::filesystem::path lockFile_;
};

}  // namespace tavolen
