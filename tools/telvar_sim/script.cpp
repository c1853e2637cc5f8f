#include "tools/telvar_sim/script.h"

#include <algorithm>

namespace sim {

void Script::add(Device* device, long afterMs, std::vector<Assignment> assignments)
{
    add(afterMs, [device, assignments = std::move(assignments)] {
        for (const Assignment& a : assignments)
            device->apply(a);
    });
}

void Script::add(long afterMs, std::function<void()> action)
{
    Step step {addNanoseconds(start_, afterMs * 1000000LL), std::move(action)};
    const auto later = std::upper_bound(steps_.begin(), steps_.end(), step,
        [](const Step& a, const Step& b) { return nanosecondsBetween(b.due, a.due) < 0; });
    steps_.insert(later, std::move(step));
}

std::optional<timespec> Script::nextDue() const
{
    if (steps_.empty())
        return std::nullopt;
    return steps_.front().due;
}

void Script::runDue(const timespec& now)
{
    while (!steps_.empty() && nanosecondsBetween(steps_.front().due, now) >= 0) {
        const std::function<void()> action = std::move(steps_.front().action);
        steps_.erase(steps_.begin());
        action();
    }
}

} // namespace sim
