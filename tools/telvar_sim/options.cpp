#include "tools/telvar_sim/options.h"

#include <charconv>
#include <string_view>

namespace sim {

const char* const kUsage =
    "usage: telvar_sim --link PATH [--baud N] [--turnaround-ms N] [--log FILE]\n"
    "                  --device ADDR:MODEL[:REGFILE] [--device ...]\n"
    "                  [--fault ADDR:MODE[:ARG]] [--fault-count ADDR:N]\n"
    "                  [--script ADDR:AFTER_MS:REG=VALUE[,REG=VALUE...]] [--noise AFTER_MS:N]\n"
    "  MODEL 19, 20, 21 (second generation) or 3, 4 (first generation)\n"
    "  MODE none | no-reply | bad-crc | exception[:CODE] | split[:GAP_MS] | extra[:N]\n"
    "       | other-address[:ADDR] | garbage[:N] | short[:REGS] | long[:REGS] | late[:MS]\n"
    "       | unplug[:N]\n";

namespace {

std::vector<std::string_view> splitOn(std::string_view s, char sep, size_t maxParts)
{
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < maxParts) {
        const auto at = s.find(sep);
        if (at == std::string_view::npos)
            break;
        parts.push_back(s.substr(0, at));
        s.remove_prefix(at + 1);
    }
    parts.push_back(s);
    return parts;
}

bool toInt(std::string_view s, long lo, long hi, long& out)
{
    long v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || ptr != s.data() + s.size() || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool knownDevice(const Options& o, uint8_t address)
{
    for (const DeviceOption& d : o.devices) {
        if (d.address == address)
            return true;
    }
    return false;
}

std::string parseDevice(std::string_view text, Options& o)
{
    const auto parts = splitOn(text, ':', 3);
    long address = 0, model = 0;
    if (parts.size() < 2 || !toInt(parts[0], 1, 247, address) || !toInt(parts[1], 0, 255, model) ||
        !generationOfModel(int(model)))
        return "--device wants ADDR:MODEL[:REGFILE] with ADDR 1..247 and MODEL 19, 20, 21, 3 or 4";
    if (knownDevice(o, uint8_t(address)))
        return "two devices at address " + std::to_string(address);
    o.devices.push_back(
        {uint8_t(address), int(model), parts.size() > 2 ? std::string(parts[2]) : ""});
    return {};
}

std::string parseFaultOption(std::string_view text, Options& o)
{
    const auto parts = splitOn(text, ':', 2);
    long address = 0;
    std::optional<Fault> fault;
    if (parts.size() == 2 && toInt(parts[0], 1, 247, address))
        fault = parseFault(parts[1]);
    if (!fault)
        return "--fault wants ADDR:MODE[:ARG]";
    o.faults.push_back({uint8_t(address), *fault});
    return {};
}

// "A:B", two whole numbers within their ranges.
bool toIntPair(std::string_view text, long loA, long hiA, long& a, long loB, long hiB, long& b)
{
    const auto parts = splitOn(text, ':', 2);
    return parts.size() == 2 && toInt(parts[0], loA, hiA, a) && toInt(parts[1], loB, hiB, b);
}

std::string parseFaultCount(std::string_view text, Options& o)
{
    long address = 0, count = 0;
    if (!toIntPair(text, 1, 247, address, 0, 1000000000, count))
        return "--fault-count wants ADDR:N";
    o.faultCounts.push_back({uint8_t(address), int(count)});
    return {};
}

std::string parseNoise(std::string_view text, Options& o)
{
    long after = 0, bytes = 0;
    if (!toIntPair(text, 0, 86400000, after, 1, 1024, bytes))
        return "--noise wants AFTER_MS:N with N 1..1024";
    o.noise.push_back({after, int(bytes)});
    return {};
}

std::string parseScript(std::string_view text, Options& o)
{
    const auto parts = splitOn(text, ':', 3);
    long address = 0, after = 0;
    if (parts.size() != 3 || !toInt(parts[0], 1, 247, address) ||
        !toInt(parts[1], 0, 86400000, after))
        return "--script wants ADDR:AFTER_MS:REG=VALUE[,REG=VALUE...]";
    ScriptSpec step {uint8_t(address), after, {}};
    for (std::string_view item : splitOn(parts[2], ',', 1000)) {
        const auto a = parseAssignment(item);
        if (!a)
            return "--script: not REG=VALUE: " + std::string(item);
        step.assignments.push_back(*a);
    }
    o.scripts.push_back(step);
    return {};
}

} // namespace

std::string parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view opt = argv[i];
        if (opt == "-h" || opt == "--help")
            return "help";
        if (i + 1 >= argc)
            return "option " + std::string(opt) + " wants a value";
        const std::string_view value = argv[++i];
        std::string error;
        long n = 0;
        if (opt == "--link")
            o.link = value;
        else if (opt == "--log")
            o.logPath = value;
        else if (opt == "--baud")
            error = toInt(value, 0, 10000000, n) ? (o.baud = int(n), "")
                                                 : "--baud wants a rate (0: no pacing)";
        else if (opt == "--turnaround-ms")
            error = toInt(value, 0, 60000, n) ? (o.turnaroundMs = int(n), "")
                                              : "--turnaround-ms wants milliseconds";
        else if (opt == "--device")
            error = parseDevice(value, o);
        else if (opt == "--fault")
            error = parseFaultOption(value, o);
        else if (opt == "--fault-count")
            error = parseFaultCount(value, o);
        else if (opt == "--script")
            error = parseScript(value, o);
        else if (opt == "--noise")
            error = parseNoise(value, o);
        else
            error = "unknown option " + std::string(opt);
        if (!error.empty())
            return error;
    }
    if (o.link.empty())
        return "--link is required";
    if (o.devices.empty())
        return "at least one --device is required";
    for (const FaultSpec& f : o.faults) {
        if (!knownDevice(o, f.address))
            return "--fault for address " + std::to_string(f.address) + ", where no device is";
    }
    for (const FaultCountSpec& f : o.faultCounts) {
        if (!knownDevice(o, f.address))
            return "--fault-count for address " + std::to_string(f.address) +
                ", where no device is";
    }
    for (const ScriptSpec& s : o.scripts) {
        if (!knownDevice(o, s.address))
            return "--script for address " + std::to_string(s.address) + ", where no device is";
    }
    return {};
}

} // namespace sim
