#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/InstanceLock.h"

namespace tavolen {

namespace fs = std::filesystem;

fs::path InstanceLock::DefaultLockFolder() {
  if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) {
    std::error_code ec;
    if (fs::path p(xdg); p.is_absolute() && fs::is_directory(p, ec)) return p;
  }
  const fs::path dir = "/tmp/tavolen-" + std::to_string(::getuid());
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st {};
  // lstat: a symbolic link planted by someone else is not followed.
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
      (st.st_mode & 0022) != 0)
    return {};
  return dir;
}

std::wstring InstanceLock::MutexName(const std::string&) {
  return {};
}

InstanceLock::InstanceLock(const std::string& name, fs::path lockFolder) {
  if (lockFolder.empty()) lockFolder = DefaultLockFolder();
  if (lockFolder.empty()) return;
  lockFile_ = lockFolder / name;
  // Close-on-exec: a program started from here (a browser, a help viewer) must not inherit
  // the lock and keep it after this process has ended.
  fd_ = ::open(lockFile_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) return;
  int r;
  do {
    r = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (r != 0 && errno == EINTR);
  if (r == 0) {
    state_ = State::Acquired;
    return;
  }
  state_ = errno == EWOULDBLOCK ? State::AlreadyRunning : State::Unavailable;
  ::close(fd_);
  fd_ = -1;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace tavolen
