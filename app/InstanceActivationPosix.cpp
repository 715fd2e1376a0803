// The running copy's socket on Linux lies beside the lock file (ActivationSocketPath); a window
// may come forward by itself.
#include "app/InstanceActivation.h"

namespace tavolen {

std::filesystem::path SessionSocketName(const std::string&) {
  return {};
}

void AllowListenerToComeForward(QLocalSocket&) {}

}  // namespace tavolen
