#include "app/SingleInstance.h"

#include "base/InstanceLock.h"

namespace tavolen {

namespace fs = std::filesystem;

fs::path SingleInstance::DefaultLockFolder() {
  return InstanceLock::DefaultLockFolder();
}

SingleInstance::SingleInstance(const std::string& name, fs::path lockFolder)
    : lock_(std::make_unique<InstanceLock>(name, std::move(lockFolder))), name_(name) {
  lockFile_ = lock_->lockFile();
  switch (lock_->state()) {
    case InstanceLock::State::Acquired:
      state_ = State::Acquired;
      break;
    case InstanceLock::State::AlreadyRunning:
      state_ = State::AlreadyRunning;
      break;
    case InstanceLock::State::Unavailable:
      state_ = State::Unavailable;
      break;
  }
}

SingleInstance::~SingleInstance() = default;

}  // namespace tavolen
