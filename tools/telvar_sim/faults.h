// Fault modes: what can go wrong with a device's reply on its way to the
// master. Each device has at most one at a time.
#pragma once

#include "tools/telvar_sim/frame.h"

#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace sim {

enum class FaultMode {
    None,
    NoReply,
    BadCrc,
    Exception,
    Split,
    Extra,
    OtherAddress,
    Garbage,
    Short,
    Long,
    Late,
    Unplug
};

struct Fault {
    FaultMode mode = FaultMode::None;
    int arg = -1; // -1: the mode's default
};

// "MODE" or "MODE:ARG", e.g. "split:300".
std::optional<Fault> parseFault(std::string_view text);
const char* faultName(FaultMode mode);

// The default argument of each mode, applied when none was given.
int faultArg(const Fault& fault, uint8_t deviceAddress);

// What goes out on the line: after delayMs (-1: the device's turnaround) the
// first part, then after gapMs the second. With unplug the line is gone once
// the first part is out.
struct Transmission {
    int delayMs = -1;
    Bytes first;
    int gapMs = 0;
    Bytes second;
    bool unplug = false;

    Bytes all() const;
};

// Turns the reply the device built into what the fault lets through. The
// exception mode is not handled here: the device refuses the request itself.
Transmission applyFault(
    const Fault& fault, uint8_t deviceAddress, const Bytes& reply, std::mt19937& random);

} // namespace sim
