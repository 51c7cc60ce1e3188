#pragma once

// The model's arithmetic on ticks of the system timer, shared by the model
// and the search for busy channels. Not for use outside timing/.
#include "timing/timing_types.h"

#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace timing::detail {

using Wide = __int128;

// Ticks of an endless timer: far more than any window can reach, small
// enough that no sum below overflows.
constexpr std::int64_t kEndless = std::int64_t(1) << 60;
constexpr Ps kFar = std::numeric_limits<Ps>::max() / 4;

Ps clampPs(Wide v);
Wide floorDiv(Wide a, Wide b);
Wide ceilDiv(Wide a, Wide b);

// When the timer's ticks come. Evenly every `period`, or, for a sequence
// restarted by each external trigger, in groups of `groupTicks` ticks
// `period` apart, one group every `groupPeriod`.
struct TickGrid {
    Ps period = 0;               // 0: one tick only, at 0
    std::int64_t count = 1;      // ticks there are (kEndless when endless)
    std::int64_t groupTicks = 0; // 0: no groups
    Ps groupPeriod = 0;

    Ps time(std::int64_t k) const;
    // The first tick at or after `t` (count when there is none).
    std::int64_t firstAtOrAfter(Wide t) const;
    // The first tick of the group after k's (count without groups).
    std::int64_t groupEnd(std::int64_t k) const;
};

// One link of a chain: which of the events reaching it pass, by ordinal.
struct Filter {
    std::int64_t skip = 0;  // ordinals below this never pass
    int mode = Normal;      // then: all, the first, the first `count`, or duty
    std::int64_t count = 0; // burst count
    std::int64_t on = 0, off = 0;
    std::int64_t cycles = 0; // duty cycles before it stops (timer only), 0 = endless
    std::int64_t passing(std::int64_t ordinals) const;
    // The ordinal (from 0) of the j-th event that passes; -1 when none does.
    std::int64_t nth(std::int64_t j) const;
};

// Beyond tick `from`, the events repeat every `ticks` ticks, `events` at a
// time. `ticks` 0: no event from `from` on. Unknown: the repetition is too
// long to follow (or not yet found).
struct Periodicity {
    bool known = false;
    std::int64_t from = 0;
    std::int64_t ticks = 0;
    std::int64_t events = 0;
};

// The ticks a busy channel fires on, found by following its accepted
// triggers until its state repeats: runs of evenly spaced ticks over
// [0, end), then the span [repeatFrom, end) again and again.
struct Pattern {
    struct Run {
        std::int64_t start = 0, step = 1, count = 0;
        std::int64_t before = 0; // fires in the runs before this one
    };
    std::vector<Run> runs;
    std::int64_t end = 0;
    std::int64_t repeatFrom = -1; // -1: nothing fires at or after `end`
    std::int64_t repeatFires = 0;
    bool cut = false;                   // the search gave up at `end`: what follows is not known
    std::int64_t ignored = 0, seen = 0; // the source's events ignored of those seen, per repetition
    bool ignoresAny = false;            // anywhere, the repetition or before it

    // Fires at ticks below k.
    std::int64_t rank(std::int64_t k) const;
    // The tick of fire j (from 0); -1 when there is none.
    std::int64_t nth(std::int64_t j) const;
    Periodicity periodicity() const;

private:
    std::int64_t storedRank(std::int64_t k) const;
    std::int64_t storedNth(std::int64_t j) const;
};

// What a busy channel sees of its source: events by tick, counted by `rank`.
struct BusyInput {
    std::function<std::int64_t(std::int64_t)> rank; // source events at ticks below k
    Periodicity source;
    const TickGrid* grid = nullptr;
    std::int64_t wait = 0;
    int mode = Normal; // Normal or DutyCycle: single shots and bursts cut a Normal train
    std::int64_t on = 0, off = 0;
    Ps busy = 0; // from a trigger to the end of the pulse it starts
};

std::shared_ptr<const Pattern> FollowBusyChannel(const BusyInput& in);

// The periodicity of the events that pass `f`, given the source's.
Periodicity Filtered(const Periodicity& source, const Filter& f,
                     const std::function<std::int64_t(std::int64_t)>& sourceRank,
                     std::int64_t tickCount);

// The smallest tick k with rank(k + 1) > j: the tick of event j (0-based).
std::int64_t SelectEvent(const std::function<std::int64_t(std::int64_t)>& rank, std::int64_t j,
                         std::int64_t tickCount);

} // namespace timing::detail
