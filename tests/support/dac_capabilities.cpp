#include "tests/support/dac_capabilities.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace telvar::testing {

namespace {

struct Capabilities {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
};

bool Get(Capabilities& caps) { return syscall(SYS_capget, &caps.header, caps.data) == 0; }
bool Set(Capabilities& caps) { return syscall(SYS_capset, &caps.header, caps.data) == 0; }

constexpr unsigned kDacBits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

}  // namespace

DacCapabilitiesDropped::DacCapabilitiesDropped() {
  Capabilities caps;
  if (!Get(caps)) {
    error_ = std::string("capget: ") + std::strerror(errno);
    return;
  }
  saved_[0] = caps.data[0].effective;
  saved_[1] = caps.data[1].effective;
  caps.data[0].effective &= ~kDacBits;
  if (!Set(caps)) {
    error_ = std::string("capset: ") + std::strerror(errno);
    return;
  }
  dropped_ = true;
  restore_ = true;
}

DacCapabilitiesDropped::~DacCapabilitiesDropped() {
  if (!restore_) return;
  Capabilities caps;
  if (!Get(caps)) return;
  caps.data[0].effective = saved_[0];
  caps.data[1].effective = saved_[1];
  (void)Set(caps);
}

}  // namespace telvar::testing
