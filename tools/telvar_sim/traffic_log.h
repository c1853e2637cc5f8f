// The simulator's log: one line per request received, tab-separated:
// seconds since start (3 decimals), request hex, reply hex ('-' when nothing
// was sent), outcome. Flushed line by line, so a test can read it at once.
#pragma once

#include "tools/telvar_sim/frame.h"

#include <cstdio>
#include <string>

namespace sim {

// "F7 06 00 0C AA AA A3 80"; "-" for no bytes.
std::string hexText(const Bytes& bytes);

class TrafficLog {
public:
    TrafficLog() = default;
    ~TrafficLog();
    TrafficLog(const TrafficLog&) = delete;
    TrafficLog& operator=(const TrafficLog&) = delete;

    // "-" logs to standard error. Returns an error text, empty on success.
    std::string open(const std::string& path);

    void line(double seconds, const Bytes& request, const Bytes& reply, const std::string& outcome);

private:
    FILE* file_ = nullptr;
    bool owned_ = false;
};

} // namespace sim
