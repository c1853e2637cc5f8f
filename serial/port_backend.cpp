// What the back-end does the same way on every platform.
#include "port_backend.h"

#include <utility>

namespace telvar {

bool PortBackend::IsOpen() const {
  std::lock_guard lock(mutex_);
  return channel_ != nullptr;
}

std::shared_ptr<PortChannel> PortBackend::Channel() const {
  std::lock_guard lock(mutex_);
  return channel_;
}

std::shared_ptr<PortChannel> PortBackend::TakeChannel() {
  std::lock_guard lock(mutex_);
  return std::exchange(channel_, nullptr);
}

}  // namespace telvar
