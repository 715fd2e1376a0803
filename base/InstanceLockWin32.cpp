#include <windows.h>

#include "base/InstanceLock.h"
#include "jvlink/FileIO.h"

namespace tavolen {

namespace fs = std::filesystem;

fs::path InstanceLock::DefaultLockFolder() {
  return {};
}

std::wstring InstanceLock::MutexName(const std::string& name) {
  // "Local\": one instance per log-on session, as an unprefixed name is.
  return L"Local\\" + Utf8Path(name).wstring();
}

InstanceLock::InstanceLock(const std::string& name, fs::path) {
  const std::wstring mutexName = MutexName(name);
  // An existing mutex means another copy runs. Its handle is closed at once; this copy ends.
  if (HANDLE other = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, mutexName.c_str())) {
    CloseHandle(other);
    state_ = State::AlreadyRunning;
    return;
  }
  // A mutex made by another user's program under this log-on exists but may not be opened.
  if (GetLastError() == ERROR_ACCESS_DENIED) {
    state_ = State::AlreadyRunning;
    return;
  }
  // Not initially owned; the handle is kept for the life of the process, which releases it.
  HANDLE mine = CreateMutexW(nullptr, FALSE, mutexName.c_str());
  if (!mine) {
    state_ = GetLastError() == ERROR_ACCESS_DENIED ? State::AlreadyRunning : State::Unavailable;
    return;
  }
  // Another copy created it between the two calls.
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mine);
    state_ = State::AlreadyRunning;
    return;
  }
  handle_ = mine;
  state_ = State::Acquired;
}

InstanceLock::~InstanceLock() {
  if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
}

}  // namespace tavolen
