#include "script.h"

#include <algorithm>

namespace sim {

void Script::add(Device* device, long afterMs, std::vector<Assignment> assignments)
{
    Step step{addNanoseconds(start_, afterMs * 1000000LL), device, std::move(assignments)};
    const auto later = std::upper_bound(steps_.begin(), steps_.end(), step, [](const Step& a, const Step& b) {
        return nanosecondsBetween(b.due, a.due) < 0;
    });
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
        for (const Assignment& a : steps_.front().assignments)
            steps_.front().device->apply(a);
        steps_.erase(steps_.begin());
    }
}

} // namespace sim
