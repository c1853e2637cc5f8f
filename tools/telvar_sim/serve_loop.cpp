#include "tools/telvar_sim/serve_loop.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace sim {

namespace {

volatile sig_atomic_t stopRequested = 0;
sigset_t waitMask; // the mask while waiting: stop signals let through

void onStopSignal(int)
{
    stopRequested = 1;
}

// Waits for input until the deadline (none: until something happens).
// Returns true when the master has bytes to read.
bool waitForInput(int fd, const std::optional<timespec>& deadline)
{
    timespec timeout {};
    timespec* timeoutPtr = nullptr;
    if (deadline) {
        const long long ns = std::max(0LL, nanosecondsBetween(monotonicNow(), *deadline));
        timeout = addNanoseconds(timespec {}, ns);
        timeoutPtr = &timeout;
    }
    pollfd p {fd, POLLIN, 0};
    const int n = ppoll(&p, 1, timeoutPtr, &waitMask);
    if (n > 0 && (p.revents & POLLIN))
        return true;
    if (n > 0) {
        // Hang-up or error without data; should not happen while the slave
        // is held open, but must not turn into a busy loop.
        Pacer::sleepMs(50);
    }
    return false;
}

std::optional<timespec> earlier(const std::optional<timespec>& a, const std::optional<timespec>& b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return nanosecondsBetween(*a, *b) < 0 ? b : a;
}

} // namespace

void prepareStopSignals()
{
    struct sigaction sa { };
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigprocmask(SIG_BLOCK, &stops, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
}

void serve(PtyLine& line, Bus& bus, Script& script)
{
    RequestSplitter splitter;
    timespec lastByte {};
    while (!stopRequested && !bus.unplugged()) {
        std::optional<timespec> deadline = script.nextDue();
        if (splitter.pending())
            deadline = earlier(deadline, addNanoseconds(lastByte, kSilenceMs * 1000000LL));

        if (waitForInput(line.master(), deadline)) {
            uint8_t chunk[512];
            ssize_t n;
            while ((n = read(line.master(), chunk, sizeof chunk)) > 0) {
                splitter.feed(chunk, size_t(n));
                lastByte = monotonicNow();
            }
        }

        const timespec now = monotonicNow();
        const bool silent =
            splitter.pending() && nanosecondsBetween(lastByte, now) >= kSilenceMs * 1000000LL;
        while (auto piece = splitter.take(silent))
            bus.handle(*piece, now);
        script.runDue(monotonicNow());
    }
}

} // namespace sim
