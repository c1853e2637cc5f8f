// The command line of telvar_sim.
#pragma once

#include "tools/telvar_sim/faults.h"
#include "tools/telvar_sim/registers.h"

#include <string>
#include <vector>

namespace sim {

struct DeviceOption {
    uint8_t address = 0;
    int model = 0;
    std::string registerFile; // empty: factory contents
};

struct FaultSpec {
    uint8_t address = 0;
    Fault fault;
};

struct FaultCountSpec {
    uint8_t address = 0;
    int count = -1;
};

struct NoiseSpec {
    long afterMs = 0;
    int bytes = 0;
};

struct ScriptSpec {
    uint8_t address = 0;
    long afterMs = 0;
    std::vector<Assignment> assignments;
};

struct Options {
    std::string link;
    int baud = 9600;
    int turnaroundMs = 5;
    std::string logPath;
    std::vector<DeviceOption> devices;
    std::vector<FaultSpec> faults;
    std::vector<FaultCountSpec> faultCounts;
    std::vector<NoiseSpec> noise;
    std::vector<ScriptSpec> scripts;
};

extern const char* const kUsage;

// Returns an error text, empty when the options are complete and consistent.
std::string parseOptions(int argc, char** argv, Options& out);

} // namespace sim
