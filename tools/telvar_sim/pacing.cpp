#include "tools/telvar_sim/pacing.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr int kWriteStallMs = 200; // a full line buffer is given this long

void sleepUntil(const timespec& t)
{
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) { }
}

} // namespace

timespec monotonicNow()
{
    timespec t {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

timespec addNanoseconds(timespec t, long long ns)
{
    const long long total = t.tv_nsec + ns;
    t.tv_sec += total / 1000000000LL;
    t.tv_nsec = total % 1000000000LL;
    if (t.tv_nsec < 0) {
        t.tv_nsec += 1000000000LL;
        t.tv_sec -= 1;
    }
    return t;
}

long long nanosecondsBetween(const timespec& from, const timespec& to)
{
    return (to.tv_sec - from.tv_sec) * 1000000000LL + (to.tv_nsec - from.tv_nsec);
}

long long byteTimeNs(int baud)
{
    return baud > 0 ? 10LL * 1000000000LL / baud : 0;
}

void Pacer::sleepMs(int ms)
{
    if (ms > 0)
        sleepUntil(addNanoseconds(monotonicNow(), ms * 1000000LL));
}

bool Pacer::writeAll(const uint8_t* data, size_t n)
{
    while (n > 0) {
        const ssize_t written = write(fd_, data, n);
        if (written > 0) {
            data += written;
            n -= size_t(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN)
            return false;
        pollfd p {fd_, POLLOUT, 0};
        if (poll(&p, 1, kWriteStallMs) <= 0)
            return false;
    }
    return true;
}

bool Pacer::send(const Bytes& bytes)
{
    if (byteNs_ == 0)
        return writeAll(bytes.data(), bytes.size());
    // Byte i is handed over when bytes 0..i-1 have had their time on the
    // line, measured from one start so that the rate does not drift.
    const timespec start = monotonicNow();
    for (size_t i = 0; i < bytes.size(); ++i) {
        sleepUntil(addNanoseconds(start, (long long)i * byteNs_));
        if (!writeAll(&bytes[i], 1))
            return false;
    }
    sleepUntil(addNanoseconds(start, (long long)bytes.size() * byteNs_));
    return true;
}

} // namespace sim
