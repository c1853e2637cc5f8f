#include "bus.h"

namespace sim {

Bus::Bus(PtyLine& line, TrafficLog& log, int baud, int turnaroundMs)
    : line_(line), log_(log), pacer_(line.master(), baud), turnaroundMs_(turnaroundMs),
      start_(monotonicNow())
{
}

Device* Bus::add(std::unique_ptr<Device> device, const Fault& fault)
{
    stations_.push_back({std::move(device), fault});
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

void Bus::handleAddressed(Station& station, const Bytes& request, double t)
{
    Device& device = *station.device;
    const Fault& fault = station.fault;
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
        Pacer::sleepMs(turnaroundMs_);
        if (pacer_.send(out.first) && !out.second.empty()) {
            Pacer::sleepMs(out.gapMs);
            pacer_.send(out.second);
        }
    }
    // The device answers from its old address, then takes the new one.
    device.afterReply();
}

} // namespace sim
