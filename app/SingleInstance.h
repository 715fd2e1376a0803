// One running copy per user session: the named mutex of the log-on on Windows, an exclusive
// lock on a file named after the instance name on Linux (base/InstanceLock.h). The system drops
// it when the process ends, however it ends.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace tavolen {

class InstanceLock;

inline constexpr const char* kInstanceName = "quorrintavolenhenko";

class SingleInstance {
 public:
  enum class State {
    Acquired,        // this process is the one instance; the lock is held until destruction
    AlreadyRunning,  // another process holds the lock
    Unavailable      // no lock file could be opened; the program runs unguarded
  };

  // Tries the lock at once, never waits. lockFolder empty: DefaultLockFolder().
  explicit SingleInstance(const std::string& name = kInstanceName,
                          std::filesystem::path lockFolder = {});
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  State state() const { return state_; }
  bool AlreadyRunning() const { return state_ == State::AlreadyRunning; }
  const std::filesystem::path& lockFile() const { return lockFile_; }
  const std::string& name() const { return name_; }

  // $XDG_RUNTIME_DIR when it is a folder; otherwise /tmp/tavolen-<uid>, created 0700 and used
  // only when it belongs to this user and no one else may write to it. Empty when neither (and
  // on Windows, where the lock is a named mutex).
  static std::filesystem::path DefaultLockFolder();

 private:
  std::unique_ptr<InstanceLock> lock_;
  State state_ = State::Unavailable;
  std::string name_;
  std::filesystem::path lockFile_;
};

}  // namespace tavolen
