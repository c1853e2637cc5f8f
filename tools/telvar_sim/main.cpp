// telvar_sim: plays ТЕЛВАР devices on a pseudo-terminal serial line.
#include "tools/telvar_sim/options.h"
#include "tools/telvar_sim/serve_loop.h"

#include <cstdio>
#include <iostream>

using namespace sim;

namespace {

// Builds a device from its command-line entry; returns an error text.
std::string makeDevice(const DeviceOption& option, std::unique_ptr<Device>& out)
{
    const Generation gen = *generationOfModel(option.model);
    std::vector<uint16_t> regs = factoryRegisters(option.model, option.address);
    if (!option.registerFile.empty()) {
        std::vector<Assignment> assignments;
        if (std::string error = readRegisterFile(option.registerFile, assignments); !error.empty())
            return error;
        for (const Assignment& a : assignments) {
            if (!applyAssignment(gen, a, regs))
                return option.registerFile + ": register " + std::to_string(a.reg) +
                    " is outside the map";
        }
    }
    out = std::make_unique<Device>(option.address, option.model, std::move(regs));
    return {};
}

int fail(const std::string& error)
{
    std::cerr << "telvar_sim: " << error << "\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (std::string error = parseOptions(argc, argv, options); !error.empty()) {
        if (error == "help") {
            std::cout << kUsage;
            return 0;
        }
        std::cerr << kUsage;
        return fail(error);
    }

    TrafficLog log;
    if (!options.logPath.empty()) {
        if (std::string error = log.open(options.logPath); !error.empty())
            return fail(error);
    }
    prepareStopSignals();
    PtyLine line;
    if (std::string error = line.open(options.link); !error.empty())
        return fail(error);

    Bus bus(line, log, options.baud, options.turnaroundMs);
    Script script(monotonicNow());
    for (const DeviceOption& option : options.devices) {
        std::unique_ptr<Device> device;
        if (std::string error = makeDevice(option, device); !error.empty())
            return fail(error);
        Fault fault;
        for (const FaultSpec& f : options.faults) {
            if (f.address == option.address)
                fault = f.fault;
        }
        int faultCount = -1;
        for (const FaultCountSpec& f : options.faultCounts) {
            if (f.address == option.address)
                faultCount = f.count;
        }
        const Generation gen = device->generation();
        Device* placed = bus.add(std::move(device), fault, faultCount);
        for (const ScriptSpec& s : options.scripts) {
            if (s.address != option.address)
                continue;
            std::vector<uint16_t> probe(storageSize(gen), 0);
            for (const Assignment& a : s.assignments) {
                if (!applyAssignment(gen, a, probe))
                    return fail(
                        "--script: register " + std::to_string(a.reg) + " is outside the map");
            }
            script.add(placed, s.afterMs, s.assignments);
        }
    }

    for (const NoiseSpec& n : options.noise)
        script.add(n.afterMs, [&bus, bytes = n.bytes] { bus.sendNoise(bytes); });

    std::cout << options.link << std::endl; // ready: the programs may open it
    serve(line, bus, script);
    if (bus.unplugged())
        std::cerr << "telvar_sim: the line is unplugged\n";
    return 0;
}
