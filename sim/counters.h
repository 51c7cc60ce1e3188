#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace sim {

// What decides when T0 fires; a change starts a new run segment.
struct Timing {
    bool running = false;
    double tick = 0;  // seconds between T0 starts (period or external trigger); 0: none
    std::string mode; // system mode keyword
    std::uint64_t burst = 1;
    std::uint64_t dutyOn = 1;
    std::uint64_t dutyOff = 1;
    std::uint64_t cycles = 0; // duty-cycle cycles, 0 = without end
    bool operator==(const Timing&) const = default;
};

// Pulses T0 has given after `ticks` ticks of a segment.
std::uint64_t pulsesAfter(std::uint64_t ticks, const Timing& t);

// The shot and period counters. Time is cut into segments of constant timing;
// within one, the tick count follows from the elapsed time alone, so a clock
// that jumps (as the tests' does) gives the same counts as a smooth one.
class Counters {
public:
    void restart(std::chrono::nanoseconds now);
    // Counts what happened since the last call under the timing of the segment.
    void advance(std::chrono::nanoseconds now, const Timing& t, bool countShots, bool countPeriods);

    std::uint64_t shots() const { return shots_; }
    std::uint64_t periods() const { return periods_; }
    void clearShots() { shots_ = 0; }
    void clearPeriods() { periods_ = 0; }

private:
    std::chrono::nanoseconds segmentStart_{0};
    std::uint64_t segmentTicks_ = 0;
    std::uint64_t shots_ = 0;
    std::uint64_t periods_ = 0;
};

} // namespace sim
