#include "jvlink/JVLink.h"

namespace tavolen {

JVLinkRegistry& JVLinkRegistry::Instance() {
  static JVLinkRegistry registry;
  return registry;
}

void JVLinkRegistry::Register(const std::string& progId, Factory factory) {
  factories_[progId] = std::move(factory);
}

void JVLinkRegistry::Unregister(const std::string& progId) {
  factories_.erase(progId);
}

std::unique_ptr<JVLink> JVLinkRegistry::Create(const std::string& progId) const {
  auto it = factories_.find(progId);
  if (it == factories_.end() || !it->second) return nullptr;
  try {
    return it->second();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace tavolen
