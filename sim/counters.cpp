#include "sim/counters.h"

#include <algorithm>
#include <cmath>

namespace sim {

std::uint64_t pulsesAfter(std::uint64_t ticks, const Timing& t) {
    if (t.mode == "SING")
        return std::min<std::uint64_t>(ticks, 1);
    if (t.mode == "BURS")
        return std::min(ticks, t.burst);
    if (t.mode == "DCYC") {
        const std::uint64_t cycle = t.dutyOn + t.dutyOff;
        if (t.cycles > 0)
            ticks = std::min(ticks, t.cycles * cycle);
        return ticks / cycle * t.dutyOn + std::min(ticks % cycle, t.dutyOn);
    }
    return ticks;
}

void Counters::restart(std::chrono::nanoseconds now) {
    segmentStart_ = now;
    segmentTicks_ = 0;
}

void Counters::advance(std::chrono::nanoseconds now, const Timing& t, bool countShots,
                       bool countPeriods) {
    if (!t.running || t.tick <= 0 || now <= segmentStart_)
        return;
    const double elapsed = std::chrono::duration<double>(now - segmentStart_).count();
    // The small allowance keeps an exact multiple of the tick from landing just below it.
    const double exact = elapsed / t.tick;
    const auto ticks = std::uint64_t(std::floor(exact + exact * 1e-12 + 1e-9));
    if (ticks <= segmentTicks_)
        return;
    if (countShots)
        shots_ += pulsesAfter(ticks, t) - pulsesAfter(segmentTicks_, t);
    if (countPeriods)
        periods_ += ticks - segmentTicks_;
    segmentTicks_ = ticks;
}

} // namespace sim
