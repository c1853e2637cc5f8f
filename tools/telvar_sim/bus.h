// The devices sharing the line: who a request is for, what goes back, and
// the log line of each request.
#pragma once

#include "tools/telvar_sim/device.h"
#include "tools/telvar_sim/faults.h"
#include "tools/telvar_sim/pacing.h"
#include "tools/telvar_sim/pty_line.h"
#include "tools/telvar_sim/splitter.h"
#include "tools/telvar_sim/traffic_log.h"

#include <memory>
#include <vector>

namespace sim {

struct Station {
    std::unique_ptr<Device> device;
    Fault fault;
    int faultsLeft = -1; // requests the fault still hits; -1: all of them
};

class Bus {
public:
    Bus(PtyLine& line, TrafficLog& log, int baud, int turnaroundMs);

    // Puts a device on the line, with the fault its replies suffer: the
    // next faultCount requests to it (-1: every one).
    Device* add(std::unique_ptr<Device> device, const Fault& fault, int faultCount = -1);

    // Acts on a request or a run of junk taken off the line at `received`.
    void handle(const Piece& piece, const timespec& received);

    // Sends n random bytes that nobody asked for, as noise on an idle line.
    void sendNoise(int n);

    // A reply with the unplug fault has gone out: the line is to go away.
    bool unplugged() const { return unplugged_; }

private:
    void handleAddressed(Station& station, const Bytes& request, double t);
    void handleBroadcast(const Bytes& request, double t);
    Station* stationAt(uint8_t address);
    double secondsSinceStart(const timespec& t) const;

    PtyLine& line_;
    TrafficLog& log_;
    Pacer pacer_;
    int turnaroundMs_;
    timespec start_;
    std::mt19937 random_ {20240501};
    std::vector<Station> stations_;
    bool unplugged_ = false;
};

} // namespace sim
