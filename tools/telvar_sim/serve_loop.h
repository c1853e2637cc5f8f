// The simulator's main loop: sleeps in ppoll() until bytes arrive, the line
// falls silent after an unfinished request, a scripted step falls due, or
// SIGINT/SIGTERM asks it to stop. It also ends when a device's reply has
// unplugged the line.
#pragma once

#include "tools/telvar_sim/bus.h"
#include "tools/telvar_sim/script.h"

namespace sim {

// After this much quiet, buffered bytes that form no request are junk.
constexpr int kSilenceMs = 5;

// Blocks SIGINT and SIGTERM (they are taken only inside the loop's wait).
void prepareStopSignals();

void serve(PtyLine& line, Bus& bus, Script& script);

} // namespace sim
