// Scripted changes of a device's state over time, e.g. a loop going into
// alarm some seconds after start, so that a cyclic poll has something to show.
#pragma once

#include "device.h"
#include "pacing.h"

#include <optional>
#include <vector>

namespace sim {

class Script {
public:
    explicit Script(const timespec& start) : start_(start) {}

    void add(Device* device, long afterMs, std::vector<Assignment> assignments);

    // When the next step is due, if any is left.
    std::optional<timespec> nextDue() const;

    // Carries out every step that is due at `now`.
    void runDue(const timespec& now);

private:
    struct Step {
        timespec due;
        Device* device;
        std::vector<Assignment> assignments;
    };

    timespec start_;
    std::vector<Step> steps_; // in the order they fall due
};

} // namespace sim
