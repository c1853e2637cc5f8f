#include "faults.h"

#include <modbus/modbus.h>

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
};

constexpr uint8_t kExtraByte = 0xFF; // what a floating line reads as

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
        if ((fault.mode == FaultMode::Exception || fault.mode == FaultMode::OtherAddress) && v > 255)
            return std::nullopt;
        if (fault.mode == FaultMode::Extra || fault.mode == FaultMode::Garbage) {
            if (v > 1024)
                return std::nullopt;
        }
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
    case FaultMode::Exception: return MODBUS_EXCEPTION_SLAVE_OR_SERVER_FAILURE;
    case FaultMode::Split: return 300;
    case FaultMode::Extra: return 3;
    case FaultMode::OtherAddress: return deviceAddress % 247 + 1;
    case FaultMode::Garbage: return 8;
    default: return 0;
    }
}

Bytes Transmission::all() const
{
    Bytes out = first;
    out.insert(out.end(), second.begin(), second.end());
    return out;
}

Transmission applyFault(const Fault& fault, uint8_t deviceAddress, const Bytes& reply,
                        std::mt19937& random)
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
    case FaultMode::None:
    case FaultMode::Exception:
        break;
    }
    t.first = reply;
    return t;
}

} // namespace sim
