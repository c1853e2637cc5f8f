#include "posix_low_latency.h"

#include <sys/ioctl.h>

namespace telvar {

LatencySetting RequestLowLatency(int tty) {
  LatencySetting setting;
  if (ioctl(tty, TIOCGSERIAL, &setting.found) != 0) return setting;
  if (setting.found.flags & ASYNC_LOW_LATENCY) return setting;
  // Everything else goes back as the driver gave it: a user who is not the
  // administrator may change the flags of ASYNC_USR_MASK and nothing more.
  serial_struct low = setting.found;
  low.flags |= ASYNC_LOW_LATENCY;
  setting.changed = ioctl(tty, TIOCSSERIAL, &low) == 0;
  return setting;
}

void RestoreLatency(int tty, LatencySetting& setting) {
  if (!setting.changed) return;
  (void)ioctl(tty, TIOCSSERIAL, &setting.found);
  setting.changed = false;
}

}  // namespace telvar
