#include "tools/telvar_sim/faults.h"

#include <modbus/modbus.h>

#include <algorithm>
#include <charconv>

namespace sim {

namespace {

struct ModeName {
    FaultMode mode;
    const char* name;
};

constexpr ModeName kModes[] = {
    {FaultMode::None, "none"},
    {FaultMode::NoReply, "no-reply"},
    {FaultMode::BadCrc, "bad-crc"},
    {FaultMode::Exception, "exception"},
    {FaultMode::Split, "split"},
    {FaultMode::Extra, "extra"},
    {FaultMode::OtherAddress, "other-address"},
    {FaultMode::Garbage, "garbage"},
    {FaultMode::Short, "short"},
    {FaultMode::Long, "long"},
    {FaultMode::Late, "late"},
    {FaultMode::Unplug, "unplug"},
};

constexpr uint8_t kExtraByte = 0xFF; // what a floating line reads as
constexpr int kMaxBytesArg = 1024; // extra, garbage, unplug
constexpr int kMaxRegistersArg = 125; // short, long: a read asks for at most 125
constexpr int kMaxDataBytes = 250; // a reply stays within 255 bytes
constexpr int kMaxLateMs = 60000;

// The reply `registers` registers longer (zeros) or shorter, its byte count
// (of a read) and its CRC made to match: a well-formed frame of the wrong
// length. The data of a write's echo is what follows the function code.
Bytes resizedReply(const Bytes& reply, int registers)
{
    Bytes body(reply.begin(), reply.end() - 2);
    const bool read = body.size() >= 3 && body[1] == 3;
    const size_t head = read ? 3 : 2;
    const int data = int(body.size() - head) + 2 * registers;
    const size_t wanted = size_t(std::clamp(data, 0, kMaxDataBytes));
    body.resize(head + wanted, 0);
    if (read)
        body[2] = uint8_t(wanted);
    appendCrc(body);
    return body;
}

} // namespace

std::optional<Fault> parseFault(std::string_view text)
{
    const auto colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    Fault fault;
    bool known = false;
    for (const ModeName& m : kModes) {
        if (name == m.name) {
            fault.mode = m.mode;
            known = true;
        }
    }
    if (!known)
        return std::nullopt;
    if (colon != std::string_view::npos) {
        const std::string_view arg = text.substr(colon + 1);
        int v = 0;
        const auto [ptr, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), v);
        if (ec != std::errc() || ptr != arg.data() + arg.size() || v < 0)
            return std::nullopt;
        if ((fault.mode == FaultMode::Exception || fault.mode == FaultMode::OtherAddress) &&
            v > 255)
            return std::nullopt;
        if ((fault.mode == FaultMode::Extra || fault.mode == FaultMode::Garbage ||
                fault.mode == FaultMode::Unplug) &&
            v > kMaxBytesArg)
            return std::nullopt;
        if ((fault.mode == FaultMode::Short || fault.mode == FaultMode::Long) &&
            (v < 1 || v > kMaxRegistersArg))
            return std::nullopt;
        if (fault.mode == FaultMode::Late && v > kMaxLateMs)
            return std::nullopt;
        fault.arg = v;
    }
    return fault;
}

const char* faultName(FaultMode mode)
{
    for (const ModeName& m : kModes) {
        if (m.mode == mode)
            return m.name;
    }
    return "?";
}

int faultArg(const Fault& fault, uint8_t deviceAddress)
{
    if (fault.arg >= 0)
        return fault.arg;
    switch (fault.mode) {
    case FaultMode::Exception:
        return MODBUS_EXCEPTION_SLAVE_OR_SERVER_FAILURE;
    case FaultMode::Split:
        return 300;
    case FaultMode::Extra:
        return 3;
    case FaultMode::OtherAddress:
        return deviceAddress % 247 + 1;
    case FaultMode::Garbage:
        return 8;
    case FaultMode::Short:
        return 1;
    case FaultMode::Long:
        return 1;
    case FaultMode::Late:
        return 1000;
    default:
        return 0; // unplug: half the reply
    }
}

Bytes Transmission::all() const
{
    Bytes out = first;
    out.insert(out.end(), second.begin(), second.end());
    return out;
}

Transmission applyFault(
    const Fault& fault, uint8_t deviceAddress, const Bytes& reply, std::mt19937& random)
{
    Transmission t;
    if (reply.empty())
        return t;
    const int arg = faultArg(fault, deviceAddress);
    switch (fault.mode) {
    case FaultMode::NoReply:
        return t;
    case FaultMode::BadCrc:
        t.first = reply;
        t.first[t.first.size() - 2] ^= 0xFF;
        t.first[t.first.size() - 1] ^= 0xFF;
        return t;
    case FaultMode::Split: {
        const size_t half = reply.size() / 2;
        t.first.assign(reply.begin(), reply.begin() + half);
        t.second.assign(reply.begin() + half, reply.end());
        t.gapMs = arg;
        return t;
    }
    case FaultMode::Extra:
        t.first = reply;
        t.first.insert(t.first.end(), size_t(arg), kExtraByte);
        return t;
    case FaultMode::OtherAddress:
        t.first.assign(reply.begin(), reply.end() - 2);
        t.first[0] = uint8_t(arg);
        appendCrc(t.first);
        return t;
    case FaultMode::Garbage: {
        std::uniform_int_distribution<int> byte(0, 255);
        for (int i = 0; i < arg; ++i)
            t.first.push_back(uint8_t(byte(random)));
        return t;
    }
    case FaultMode::Short:
        t.first = resizedReply(reply, -arg);
        return t;
    case FaultMode::Long:
        t.first = resizedReply(reply, arg);
        return t;
    case FaultMode::Late:
        t.first = reply;
        t.delayMs = arg;
        return t;
    case FaultMode::Unplug: {
        const size_t n = fault.arg >= 0 ? std::min(size_t(arg), reply.size()) : reply.size() / 2;
        t.first.assign(reply.begin(), reply.begin() + long(n));
        t.unplug = true;
        return t;
    }
    case FaultMode::None:
    case FaultMode::Exception:
        break;
    }
    t.first = reply;
    return t;
}

} // namespace sim
