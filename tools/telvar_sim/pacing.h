// Line timing that a pty lacks: the device's turnaround before it answers,
// and its reply bytes leaving one by one at the line rate (10 bits a byte).
#pragma once

#include "tools/telvar_sim/frame.h"

#include <ctime>

namespace sim {

// Time on the monotonic clock.
timespec monotonicNow();
timespec addNanoseconds(timespec t, long long ns);
long long nanosecondsBetween(const timespec& from, const timespec& to);

// Nanoseconds one byte takes on the line at the baud rate; 0 for no pacing.
long long byteTimeNs(int baud);

class Pacer {
public:
    Pacer(int fd, int baud)
        : fd_(fd)
        , byteNs_(byteTimeNs(baud))
    {
    }

    static void sleepMs(int ms);

    // Writes the bytes at the line rate. False when the line would not take
    // them (nobody reads the other end and its buffer is full).
    bool send(const Bytes& bytes);

private:
    bool writeAll(const uint8_t* data, size_t n);

    int fd_;
    long long byteNs_;
};

} // namespace sim
