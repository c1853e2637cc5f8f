// USB serial adapters hold received bytes back for a while before they hand
// them to the host: an FTDI chip up to its latency timer, 16 ms by default.
// A reply then ends up to 16 ms late, past the quiet interval a search step
// waits for it. A process may ask the driver for low latency itself
// (ASYNC_LOW_LATENCY through TIOCSSERIAL, a flag users may set), which
// ftdi_sio answers by setting the timer to 1 ms. A driver that does not
// offer the request, or refuses it, leaves the port as it was, and nothing
// is reported: a pseudo-terminal does not know it.
#pragma once

#include <linux/serial.h>

namespace telvar {

// The driver's settings as found at opening, kept to be put back at closing
// when the request for low latency changed them.
struct LatencySetting {
  serial_struct found{};
  bool changed = false;
};

// Asks the driver of the tty for low latency where it offers TIOCGSERIAL
// and the flag is not set already.
LatencySetting RequestLowLatency(int tty);

// Gives the driver its own setting back, if RequestLowLatency changed it.
// Failures are ignored: the device may be gone.
void RestoreLatency(int tty, LatencySetting& setting);

}  // namespace telvar
