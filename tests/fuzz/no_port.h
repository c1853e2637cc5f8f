// The port name the targets give their windows: a path under a folder that
// does not exist, so an attempt to open it fails and nothing reaches a line.
#pragma once

#include <string>

namespace telvar::fuzz {

inline const std::string kNoPort = "/nonexistent/telvar-fuzz/port";

}  // namespace telvar::fuzz
