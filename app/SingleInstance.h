// One running copy per user session: an exclusive lock on a file named after the instance
// name. The kernel drops the lock when the process ends, however it ends.
#pragma once

#include <filesystem>
#include <string>

namespace tavolen {

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

  // $XDG_RUNTIME_DIR when it is a folder; otherwise /tmp/tavolen-<uid>, created 0700 and used
  // only when it belongs to this user and no one else may write to it. Empty when neither.
  static std::filesystem::path DefaultLockFolder();

 private:
  int fd_ = -1;
  State state_ = State::Unavailable;
  std::filesystem::path lockFile_;
};

}  // namespace tavolen
