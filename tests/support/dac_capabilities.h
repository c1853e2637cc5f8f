// Makes root subject to file modes for a while: drops CAP_DAC_OVERRIDE and
// CAP_DAC_READ_SEARCH from the calling thread's effective capabilities and
// puts them back when it goes. The permitted set keeps them, so nothing is
// lost for good.
#pragma once

#include <string>

namespace telvar::testing {

class DacCapabilitiesDropped {
 public:
  DacCapabilitiesDropped();
  ~DacCapabilitiesDropped();
  DacCapabilitiesDropped(const DacCapabilitiesDropped&) = delete;
  DacCapabilitiesDropped& operator=(const DacCapabilitiesDropped&) = delete;

  // False when the capabilities could not be changed; error() says why.
  bool ok() const { return dropped_; }
  const std::string& error() const { return error_; }

 private:
  bool dropped_ = false;
  bool restore_ = false;
  unsigned saved_[2] = {0, 0};  // the effective sets found
  std::string error_;
};

}  // namespace telvar::testing
