// Why a port could not be opened, in words for the user. The platform part
// lives in a file of its own (posix_open_failure.cpp, win32_open_failure.cpp).
#pragma once

#include <string>

namespace telvar {

class EComPort;

// The operating system's text for the failure behind an OpenPort exception,
// with a hint where the usual cause is known: a permission the user lacks,
// or another program holding the port. The component's own message when it
// carries no platform code. In UTF-8 on every platform.
std::string OpenFailureReason(const EComPort& failure);

}  // namespace telvar
