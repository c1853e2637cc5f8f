#include "tools/telvar_sim/bus.h"

namespace sim {

namespace {
constexpr int kUnplugReadMs = 500; // the far end's time to read before the line goes
} // namespace

Bus::Bus(PtyLine& line, TrafficLog& log, int baud, int turnaroundMs)
    : line_(line)
    , log_(log)
    , pacer_(line.master(), baud)
    , turnaroundMs_(turnaroundMs)
    , start_(monotonicNow())
{
}

Device* Bus::add(std::unique_ptr<Device> device, const Fault& fault, int faultCount)
{
    stations_.push_back({std::move(device), fault, faultCount});
    return stations_.back().device.get();
}

double Bus::secondsSinceStart(const timespec& t) const
{
    return double(nanosecondsBetween(start_, t)) / 1e9;
}

Station* Bus::stationAt(uint8_t address)
{
    for (Station& s : stations_) {
        if (s.device->address() == address)
            return &s;
    }
    return nullptr;
}

void Bus::handle(const Piece& piece, const timespec& received)
{
    const double t = secondsSinceStart(received);
    // A new request means the master has done with whatever it left unread.
    line_.dropUnread();
    if (piece.kind == Piece::Junk) {
        log_.line(t, piece.bytes, {}, "bad-request-crc");
        return;
    }
    const uint8_t address = piece.bytes[0];
    if (address == 0) {
        handleBroadcast(piece.bytes, t);
        return;
    }
    Station* station = stationAt(address);
    if (!station) {
        log_.line(t, piece.bytes, {}, "not-mine");
        return;
    }
    handleAddressed(*station, piece.bytes, t);
}

void Bus::handleBroadcast(const Bytes& request, double t)
{
    // Every device carries it out; none answers.
    for (Station& s : stations_) {
        s.device->serve(request);
        s.device->afterReply();
    }
    log_.line(t, request, {}, "broadcast");
}

void Bus::sendNoise(int n)
{
    Bytes noise;
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < n; ++i)
        noise.push_back(uint8_t(byte(random_)));
    pacer_.send(noise);
    // Logged once it is out: whoever waits for the line finds the noise
    // already on its way, not still to come.
    log_.line(secondsSinceStart(monotonicNow()), {}, noise, "noise");
}

void Bus::handleAddressed(Station& station, const Bytes& request, double t)
{
    Device& device = *station.device;
    Fault fault;
    if (station.faultsLeft != 0) {
        fault = station.fault;
        if (station.faultsLeft > 0)
            --station.faultsLeft;
    }
    Transmission out;
    std::string outcome;
    if (fault.mode == FaultMode::Exception) {
        out.first = device.refuse(request, faultArg(fault, device.address()));
        outcome = "fault:exception";
    } else {
        const Device::Result result = device.serve(request);
        out = applyFault(fault, device.address(), result.reply, random_);
        if (fault.mode != FaultMode::None)
            outcome = std::string("fault:") + faultName(fault.mode);
        else if (result.exception)
            outcome = "exception " + std::to_string(result.exception);
        else
            outcome = "ok";
    }

    // The line is logged before the reply leaves, so that whoever has the
    // reply finds its line already written.
    const Bytes sent = out.all();
    log_.line(t, request, sent, outcome);
    if (!sent.empty()) {
        Pacer::sleepMs(out.delayMs >= 0 ? out.delayMs : turnaroundMs_);
        if (pacer_.send(out.first) && !out.second.empty()) {
            Pacer::sleepMs(out.gapMs);
            pacer_.send(out.second);
        }
    }
    if (out.unplug) {
        line_.waitUntilRead(kUnplugReadMs);
        unplugged_ = true;
    }
    // The device answers from its old address, then takes the new one.
    device.afterReply();
}

} // namespace sim
