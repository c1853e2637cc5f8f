// The most ports the platform's list holds, on every platform: the Port
// menu has room for that many; the rest are left out. Standard library only.
#pragma once

namespace telvar {

constexpr int kMaxPlatformPorts = 32;

}  // namespace telvar
