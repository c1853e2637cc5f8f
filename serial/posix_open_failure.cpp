#include <cerrno>
#include <system_error>

#include "serial/com_port.h"
#include "serial/open_failure.h"

namespace telvar {

namespace {

// Serial devices belong to the group dialout; a new group counts only from
// the next login.
constexpr const char* kPermissionHint = "add your user to the group dialout and log in again";
// The exclusive open (TIOCEXCL) gives EBUSY, the lock EWOULDBLOCK; the
// system's texts for them say nothing of a port.
constexpr const char* kBusy = "busy: another program has the port open";
constexpr const char* kNotATerminalHint = "not a serial port";

std::string SystemText(int error) { return std::generic_category().message(error); }

}  // namespace

std::string OpenFailureReason(const EComPort& failure) {
  const int error = failure.PlatformErrorCode;
  if (error == -1) return failure.what();
  if (error == EBUSY || error == EWOULDBLOCK) return kBusy;
  if (error == EACCES) return SystemText(error) + ": " + kPermissionHint;
  if (error == ENOTTY) return SystemText(error) + ": " + kNotATerminalHint;
  return SystemText(error);
}

}  // namespace telvar
