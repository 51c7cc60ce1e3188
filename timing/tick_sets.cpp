#include "timing/tick_sets.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace timing::detail {

namespace {

// Steps of the search for a busy channel's repetition: each handles one run
// of its source's consecutive events, so even trains of billions of pulses
// take one; settings whose pattern repeats later than this are drawn as far
// as the search went, and the lane says so.
constexpr int kBusySearchSteps = 4096;

using Rank = std::function<std::int64_t(std::int64_t)>;

// The first tick at or after `t` holding event j (j >= rank(t)), or count.
std::int64_t selectFrom(const Rank& rank, std::int64_t t, std::int64_t j, std::int64_t count) {
    if (t >= count || rank(count) <= j)
        return count;
    // Gallop from t: the event wanted is usually near.
    std::int64_t lo = t, hi = t, step = 1;
    while (rank(hi + 1) <= j) {
        lo = hi + 1;
        hi = std::min(count - 1, hi + step);
        step *= 2;
    }
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (rank(mid + 1) > j)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// How many ticks from t on are all events, up to `bound`; t is one.
std::int64_t runLength(const Rank& rank, std::int64_t t, std::int64_t bound) {
    const std::int64_t r0 = rank(t);
    const std::int64_t limit = bound - t;
    std::int64_t good = 1, bad = limit + 1, step = 1;
    while (good < limit) {
        const std::int64_t probe = std::min(limit, good + step);
        if (rank(t + probe) - r0 == probe) {
            good = probe;
            step *= 2;
        } else {
            bad = probe;
            break;
        }
    }
    while (bad - good > 1) {
        const std::int64_t mid = good + (bad - good) / 2;
        (rank(t + mid) - r0 == mid ? good : bad) = mid;
    }
    return good;
}

} // namespace

Ps clampPs(Wide v) {
    return Ps(std::clamp<Wide>(v, -kFar, kFar));
}

Wide floorDiv(Wide a, Wide b) {
    // Nearly always within 64 bits, where division is many times quicker.
    constexpr Wide lo = std::numeric_limits<std::int64_t>::min() + 1;
    constexpr Wide hi = std::numeric_limits<std::int64_t>::max();
    if (a >= lo && a <= hi && b >= lo && b <= hi) {
        const std::int64_t x = std::int64_t(a), y = std::int64_t(b);
        std::int64_t q = x / y;
        if ((x % y != 0) && ((x < 0) != (y < 0)))
            --q;
        return q;
    }
    Wide q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

Wide ceilDiv(Wide a, Wide b) {
    return -floorDiv(-a, b);
}

Ps TickGrid::time(std::int64_t k) const {
    if (groupTicks > 0)
        return clampPs(Wide(k / groupTicks) * groupPeriod + Wide(k % groupTicks) * period);
    return clampPs(Wide(k) * period);
}

std::int64_t TickGrid::firstAtOrAfter(Wide t) const {
    if (t <= 0)
        return 0;
    Wide k;
    if (period <= 0) {
        k = count; // the one tick is at 0
    } else if (groupTicks > 0) {
        const Wide g = floorDiv(t, groupPeriod);
        const Wide i = ceilDiv(t - g * groupPeriod, period);
        k = i >= groupTicks ? (g + 1) * groupTicks : g * groupTicks + i;
    } else {
        k = ceilDiv(t, period);
    }
    return std::int64_t(std::clamp<Wide>(k, 0, count));
}

std::int64_t TickGrid::groupEnd(std::int64_t k) const {
    if (groupTicks <= 0)
        return count;
    return std::int64_t(std::min<Wide>((Wide(k) / groupTicks + 1) * groupTicks, count));
}

std::int64_t Filter::passing(std::int64_t ordinals) const {
    if (ordinals <= skip)
        return 0;
    std::int64_t k = ordinals - skip;
    switch (mode) {
    case SingleShot:
        return std::min<std::int64_t>(k, 1);
    case Burst:
        return std::min<std::int64_t>(k, std::max<std::int64_t>(count, 0));
    case DutyCycle: {
        if (on <= 0)
            return 0;
        const std::int64_t cycle = on + std::max<std::int64_t>(off, 0);
        if (cycles > 0 && Wide(cycles) * cycle < Wide(k))
            k = cycles * cycle;
        return (k / cycle) * on + std::min(k % cycle, on);
    }
    default: // Normal, or an index outside the list: every one passes
        return k;
    }
}

std::int64_t Filter::nth(std::int64_t j) const {
    if (j < 0)
        return -1;
    Wide ordinal;
    switch (mode) {
    case SingleShot:
        ordinal = j == 0 ? skip : -1;
        break;
    case Burst:
        ordinal = j < count ? Wide(skip) + j : -1;
        break;
    case DutyCycle: {
        if (on <= 0)
            return -1;
        const std::int64_t cycle = on + std::max<std::int64_t>(off, 0);
        const std::int64_t whole = j / on;
        if (cycles > 0 && whole >= cycles)
            return -1;
        ordinal = Wide(skip) + Wide(whole) * cycle + j % on;
        break;
    }
    default:
        ordinal = Wide(skip) + j;
    }
    return ordinal > kEndless ? -1 : std::int64_t(ordinal);
}

std::int64_t Pattern::storedNth(std::int64_t j) const {
    const auto run = std::partition_point(runs.begin(), runs.end(),
                                          [j](const Run& r) { return r.before + r.count <= j; });
    if (run == runs.end())
        return -1;
    return run->start + (j - run->before) * run->step;
}

std::int64_t Pattern::nth(std::int64_t j) const {
    if (j < 0)
        return -1;
    const std::int64_t stored = storedRank(end);
    if (j < stored)
        return storedNth(j);
    if (repeatFrom < 0)
        return -1;
    const std::int64_t before = storedRank(repeatFrom);
    const std::int64_t whole = (j - before) / repeatFires;
    const Wide tick =
        Wide(storedNth(before + (j - before) % repeatFires)) + Wide(whole) * (end - repeatFrom);
    return tick > kEndless ? -1 : std::int64_t(tick);
}

std::int64_t Pattern::storedRank(std::int64_t k) const {
    const auto after =
        std::partition_point(runs.begin(), runs.end(), [k](const Run& r) { return r.start < k; });
    if (after == runs.begin())
        return 0;
    const Run& r = *(after - 1);
    return r.before + std::min<std::int64_t>(r.count, std::int64_t(ceilDiv(k - r.start, r.step)));
}

std::int64_t Pattern::rank(std::int64_t k) const {
    if (k < end)
        return storedRank(k);
    if (repeatFrom < 0)
        return storedRank(end);
    const std::int64_t span = end - repeatFrom;
    const std::int64_t whole = (k - repeatFrom) / span;
    const Wide r =
        Wide(storedRank(repeatFrom + (k - repeatFrom) % span)) + Wide(whole) * repeatFires;
    return std::int64_t(std::min<Wide>(r, kEndless));
}

Periodicity Pattern::periodicity() const {
    if (repeatFrom >= 0)
        return {true, repeatFrom, end - repeatFrom, repeatFires};
    if (cut)
        return {};
    return {true, end, 0, 0};
}

std::int64_t SelectEvent(const Rank& rank, std::int64_t j, std::int64_t tickCount) {
    return selectFrom(rank, 0, j, tickCount);
}

Periodicity Filtered(const Periodicity& source, const Filter& f, const Rank& sourceRank,
                     std::int64_t tickCount) {
    if (!source.known)
        return {};
    if (source.ticks == 0)
        return source;
    const auto endsAfter = [&](std::int64_t ordinals) -> Periodicity {
        const Wide last = Wide(f.skip) + ordinals - 1;
        if (ordinals <= 0 || last >= kEndless)
            return {true, 0, 0, 0};
        const std::int64_t tick = SelectEvent(sourceRank, std::int64_t(last), tickCount);
        return {true, std::min(tick + 1, tickCount), 0, 0};
    };
    switch (f.mode) {
    case SingleShot:
        return endsAfter(1);
    case Burst:
        return endsAfter(f.count);
    case DutyCycle:
        if (f.on <= 0)
            return {true, 0, 0, 0};
        if (f.cycles > 0)
            return endsAfter(std::int64_t(std::min<Wide>(
                Wide(f.cycles) * (f.on + std::max<std::int64_t>(f.off, 0)), kEndless)));
        break;
    default:
        break;
    }
    Periodicity out = source;
    if (f.skip > 0)
        out.from = std::max(source.from, SelectEvent(sourceRank, f.skip, tickCount));
    if (f.mode == DutyCycle && source.events > 0) {
        const std::int64_t cycle = f.on + std::max<std::int64_t>(f.off, 0);
        const Wide together = Wide(source.events) / std::gcd(source.events, cycle) * cycle;
        const Wide ticks = Wide(source.ticks) * (together / source.events);
        if (ticks > kEndless)
            return {};
        out.ticks = std::int64_t(ticks);
        out.events = std::int64_t(together / cycle * f.on);
    }
    return out;
}

std::shared_ptr<const Pattern> FollowBusyChannel(const BusyInput& in) {
    auto p = std::make_shared<Pattern>();
    const Rank& rank = in.rank;
    const TickGrid& grid = *in.grid;
    const std::int64_t count = grid.count;
    const bool duty = in.mode == DutyCycle;
    std::int64_t t = SelectEvent(rank, in.wait, count);
    if (duty && in.on <= 0)
        t = count;
    const std::int64_t firstTick = t;

    struct Seen {
        std::int64_t tick, fires, accepted;
    };
    std::unordered_map<std::int64_t, Seen> seen;
    std::int64_t fires = 0, accepted = 0, lastFire = -1, onLeft = in.on;
    const auto addRun = [&](std::int64_t start, std::int64_t step, std::int64_t n) {
        if (!p->runs.empty()) {
            Pattern::Run& prev = p->runs.back();
            const std::int64_t gap = start - (prev.start + (prev.count - 1) * prev.step);
            if ((prev.count == 1 || prev.step == gap) && (n == 1 || step == gap)) {
                prev.step = gap;
                prev.count += n;
                return;
            }
        }
        p->runs.push_back({start, step, n, fires});
    };
    for (int steps = 0; t < count; ++steps) {
        const bool cycleStart = !duty || onLeft == in.on;
        if (cycleStart && in.source.known && in.source.ticks > 0 && t >= in.source.from) {
            const auto [it, fresh] =
                seen.try_emplace((t - in.source.from) % in.source.ticks, Seen{t, fires, accepted});
            if (!fresh) {
                p->end = t;
                p->repeatFrom = it->second.tick;
                p->repeatFires = fires - it->second.fires;
                p->seen = rank(t) - rank(it->second.tick);
                p->ignored = p->seen - (accepted - it->second.accepted);
                p->ignoresAny = rank(t) - rank(firstTick) > accepted;
                return p;
            }
        }
        if (steps >= kBusySearchSteps) {
            p->cut = true;
            p->end = t;
            break;
        }
        // Evenly spaced events from t: the channel takes one every `every`.
        const std::int64_t length = runLength(rank, t, grid.groupEnd(t));
        const Wide free = Wide(grid.time(t)) + in.busy;
        const std::int64_t every = std::max<std::int64_t>(1, grid.firstAtOrAfter(free) - t);
        std::int64_t n = std::int64_t(ceilDiv(length, every));
        if (duty)
            n = std::min(n, onLeft);
        if (t + length >= count && count >= kEndless && (!duty || n < onLeft)) {
            // Every `every`-th tick to the end of an endless timer: that
            // repeats from its first fire on.
            addRun(t, every, 1);
            p->end = t + every;
            p->repeatFrom = t;
            p->repeatFires = 1;
            p->seen = every;
            p->ignored = every - 1;
            p->ignoresAny = every > 1 || rank(t) - rank(firstTick) > accepted;
            return p;
        }
        addRun(t, every, n);
        fires += n;
        accepted += n;
        lastFire = t + (n - 1) * every;
        const std::int64_t after = std::max<std::int64_t>(
            lastFire + 1, grid.firstAtOrAfter(Wide(grid.time(lastFire)) + in.busy));
        if (after >= count)
            break;
        std::int64_t next = rank(after);
        if (duty && (onLeft -= n) == 0) {
            // The off count: accepted events that fire nothing, so one after another.
            onLeft = in.on;
            const std::int64_t total = rank(count);
            accepted += std::min(in.off, std::max<std::int64_t>(0, total - next));
            next += std::max<std::int64_t>(in.off, 0);
        }
        t = selectFrom(rank, after, next, count);
    }
    if (!p->cut)
        p->end = lastFire + 1;
    // Every source event from the first that could fire on: those after the
    // last fire came while it was busy.
    p->seen = lastFire < 0 ? 0 : rank(p->cut ? p->end : count) - rank(firstTick);
    p->ignored = std::max<std::int64_t>(0, p->seen - accepted);
    p->ignoresAny = p->ignored > 0;
    return p;
}

} // namespace timing::detail
