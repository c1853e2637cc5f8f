// Scripted events over time: changes of a device's state, e.g. a loop going
// into alarm some seconds after start, so that a cyclic poll has something to
// show, and noise on the idle line.
#pragma once

#include "tools/telvar_sim/device.h"
#include "tools/telvar_sim/pacing.h"

#include <functional>
#include <optional>
#include <vector>

namespace sim {

class Script {
public:
    explicit Script(const timespec& start)
        : start_(start)
    {
    }

    void add(Device* device, long afterMs, std::vector<Assignment> assignments);
    void add(long afterMs, std::function<void()> action);

    // When the next step is due, if any is left.
    std::optional<timespec> nextDue() const;

    // Carries out every step that is due at `now`.
    void runDue(const timespec& now);

private:
    struct Step {
        timespec due;
        std::function<void()> action;
    };

    timespec start_;
    std::vector<Step> steps_; // in the order they fall due
};

} // namespace sim
