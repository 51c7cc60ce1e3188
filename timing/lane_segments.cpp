// What the model answers: a lane's pulses in a window, counted, searched
// and joined into bands where they are closer than the resolution.
#include "timing/timing_model.h"

#include <algorithm>

namespace timing {

using namespace detail;

namespace {

// Gated outputs are worked out pulse by pulse; past this many in view the
// lane shows a band that does not claim a count.
constexpr std::size_t kExactGateLimit = 20000;

// Joins overlapping stretches, and stretches closer than the resolution
// into bands; `pieces` are in order of their starts.
std::vector<Segment> merged(const std::vector<Segment>& pieces, Ps resolution) {
    std::vector<Segment> out;
    for (const Segment& s : pieces) {
        if (!out.empty() && s.start - out.back().end < std::max<Ps>(resolution, 1)) {
            Segment& last = out.back();
            last.band = last.band || s.band || s.start > last.end;
            last.end = std::max(last.end, s.end);
            last.count = (last.count > 0 && s.count > 0) ? last.count + s.count : 0;
        } else {
            out.push_back(s);
        }
    }
    return out;
}

// The stretches where keep(in a, in b) holds; a and b are exact, disjoint
// and in order.
template <typename Keep>
std::vector<Segment> combined(const std::vector<Segment>& a, const std::vector<Segment>& b,
                              Keep keep) {
    std::vector<Ps> cuts;
    for (const auto* list : {&a, &b})
        for (const Segment& s : *list)
            cuts.insert(cuts.end(), {s.start, s.end});
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    const auto inside = [](const std::vector<Segment>& list, std::size_t& i, Ps t) {
        while (i < list.size() && list[i].end <= t)
            ++i;
        return i < list.size() && list[i].start <= t;
    };
    std::vector<Segment> out;
    std::size_t ia = 0, ib = 0;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        const Ps t = cuts[i];
        if (!keep(inside(a, ia, t), inside(b, ib, t)))
            continue;
        if (!out.empty() && out.back().end == t)
            out.back().end = cuts[i + 1];
        else
            out.push_back({t, cuts[i + 1], 1, false});
    }
    return out;
}

bool exact(const std::vector<Segment>& list, std::size_t limit) {
    return list.size() < limit &&
           std::none_of(list.begin(), list.end(), [](const Segment& s) { return s.band; });
}

} // namespace

std::int64_t Model::rank(const Chain& chain, std::int64_t ticks) const {
    std::int64_t r = std::clamp<std::int64_t>(ticks, 0, grid_.count);
    if (chain.pattern)
        r = chain.pattern->rank(r);
    for (const Filter& f : chain.filters)
        r = f.passing(r);
    return r;
}

// The ticks [first, last) whose pulses meet [from, to); returns first.
std::int64_t Model::tickRange(const Chain& chain, Ps from, Ps to, std::int64_t& last) const {
    const Ps reach = std::max<Ps>(chain.width, 1);
    const std::int64_t first = grid_.firstAtOrAfter(Wide(from) - chain.offset - reach + 1);
    last = std::max(first, grid_.firstAtOrAfter(Wide(to) - chain.offset));
    return first;
}

// The ticks [first, last) whose pulses start in [from, to); returns first.
std::int64_t Model::startTicks(const Chain& chain, Ps from, Ps to, std::int64_t& last) const {
    const std::int64_t first = grid_.firstAtOrAfter(Wide(from) - chain.offset);
    last = std::max(first, grid_.firstAtOrAfter(Wide(to) - chain.offset));
    return first;
}

// Splits the ticks [k1, k2) (r1, r2 passing below each end) until the
// pulse starts of each piece fall into one stretch of the resolution,
// counted from time 0: so a piece does not depend on where the window
// begins, and panning leaves every pulse as it was.
void Model::collect(const Chain& chain, Piece piece, Ps resolution, std::size_t limit,
                    std::vector<Piece>& out) const {
    if (piece.r2 == piece.r1)
        return;
    if (piece.k2 - piece.k1 > 1 && out.size() < limit) {
        const Wide s1 = Wide(tickTime(piece.k1)) + chain.offset;
        const Wide s2 = Wide(tickTime(piece.k2 - 1)) + chain.offset;
        const Wide b1 = resolution > 0 ? floorDiv(s1, resolution) : s1;
        const Wide b2 = resolution > 0 ? floorDiv(s2, resolution) : s2;
        if (b1 != b2) {
            std::int64_t split = piece.k1 + (piece.k2 - piece.k1) / 2;
            if (resolution > 0) {
                // The stretch boundary nearest the middle, after the first start.
                Wide boundary = floorDiv(s1 + (s2 - s1) / 2, resolution) * resolution;
                if (boundary <= s1)
                    boundary = (b1 + 1) * resolution;
                split = grid_.firstAtOrAfter(boundary - chain.offset);
            }
            split = std::clamp(split, piece.k1 + 1, piece.k2 - 1);
            const std::int64_t rm = rank(chain, split);
            collect(chain, {piece.k1, split, piece.r1, rm}, resolution, limit, out);
            collect(chain, {split, piece.k2, rm, piece.r2}, resolution, limit, out);
            return;
        }
    }
    out.push_back(piece);
}

std::int64_t Model::select(const Chain& chain, std::int64_t j) const {
    for (auto f = chain.filters.rbegin(); f != chain.filters.rend() && j >= 0; ++f)
        j = f->nth(j);
    if (j >= 0 && chain.pattern)
        j = chain.pattern->nth(j);
    return j < 0 || j >= grid_.count ? grid_.count : j;
}

// The first passing tick of a piece, and the last.
std::int64_t Model::firstPassing(const Chain& chain, const Piece& p) const {
    return p.r2 - p.r1 == p.k2 - p.k1 ? p.k1 : select(chain, p.r1);
}

std::int64_t Model::lastPassing(const Chain& chain, const Piece& p) const {
    return p.r2 - p.r1 == p.k2 - p.k1 ? p.k2 - 1 : select(chain, p.r2 - 1);
}

std::vector<Segment> Model::chainSegments(const Chain& chain, Ps from, Ps to, Ps resolution,
                                          std::size_t limit) const {
    std::vector<Segment> out;
    if (!chain.timed() || to <= from)
        return out;
    if (resolution > 0) {
        // Whole stretches of the resolution, as `collect` cuts them.
        from = clampPs(floorDiv(from, resolution) * resolution);
        to = clampPs(ceilDiv(to, resolution) * resolution);
    }
    std::int64_t last = 0;
    const std::int64_t first = tickRange(chain, from, to, last);
    if (first >= last)
        return out;
    std::vector<Piece> pieces;
    collect(chain, {first, last, rank(chain, first), rank(chain, last)}, resolution, limit, pieces);
    const auto at = [&](std::int64_t k) { return clampPs(Wide(tickTime(k)) + chain.offset); };
    for (const Piece& p : pieces) {
        const std::int64_t count = p.r2 - p.r1;
        const Ps start = at(firstPassing(chain, p));
        const Ps end = clampPs(Wide(at(lastPassing(chain, p))) + chain.width);
        // Several pulses are one solid stretch only where every tick passes,
        // evenly spaced, each pulse reaching the next; otherwise there is a
        // gap somewhere between them.
        const bool even = count == p.k2 - p.k1 && Wide(tickTime(p.k2 - 1)) - tickTime(p.k1) ==
                                                      Wide(p.k2 - 1 - p.k1) * grid_.period;
        const bool solid = count == 1 || (even && chain.width >= grid_.period);
        if (!out.empty() && start - out.back().end < std::max<Ps>(resolution, 1)) {
            Segment& s = out.back();
            s.band = s.band || !solid || start > s.end;
            s.end = std::max(s.end, end);
            s.count += count;
            continue;
        }
        out.push_back({start, end, count, !solid});
    }
    return out;
}

std::vector<Segment> Model::orSegments(const Chain& chain, Ps from, Ps to, Ps resolution,
                                       std::size_t limit) const {
    std::vector<Segment> all;
    for (int source : chain.sources) {
        std::vector<Segment> part = chainSegments(chains_[source], from, to, resolution, limit);
        all.insert(all.end(), part.begin(), part.end());
    }
    std::stable_sort(all.begin(), all.end(),
                     [](const Segment& a, const Segment& b) { return a.start < b.start; });
    return merged(all, resolution);
}

// The OR of the multiplexer, passed while channel H is high (Gated), while it
// is low (Inhibit), or inverted while it is high (Invert): worked out from
// the exact pulses of both, then joined at the resolution.
std::vector<Segment> Model::gatedSegments(const Chain& chain, Ps from, Ps to, Ps resolution,
                                          std::size_t limit) const {
    const std::vector<Segment> mux = orSegments(chain, from, to, 0, kExactGateLimit);
    const std::vector<Segment> gate =
        chain.gateLane < 0 ? std::vector<Segment>()
                           : chainSegments(chains_[chain.gateLane], from, to, 0, kExactGateLimit);
    if (!exact(mux, kExactGateLimit) || !exact(gate, kExactGateLimit)) {
        // Too many to work out here: where anything may be high, a band
        // that does not claim a count.
        Chain either = chain;
        if (chain.gateLane >= 0)
            either.sources.push_back(chain.gateLane);
        std::vector<Segment> out = orSegments(either, from, to, resolution, limit);
        for (Segment& s : out) {
            s.band = true;
            s.count = 0;
        }
        return out;
    }
    std::vector<Segment> out;
    switch (chain.gate) {
    case MuxGated:
        out = combined(mux, gate, [](bool m, bool h) { return m && h; });
        break;
    case MuxInhibit:
        out = combined(mux, gate, [](bool m, bool h) { return m && !h; });
        break;
    default:
        out = combined(mux, gate, [](bool m, bool h) { return m != h; });
        break;
    }
    return resolution > 0 ? merged(out, resolution) : out;
}

std::vector<Segment> Model::segments(int lane, Ps from, Ps to, Ps resolution,
                                     std::size_t limit) const {
    if (lane < 0 || lane >= int(chains_.size()) || to <= from)
        return {};
    const Chain& chain = chains_[lane];
    // A disabled lane puts nothing out: no pulse to draw or snap to.
    if (!chain.valid || lanes_[lane].greyed)
        return {};
    if (!chain.output)
        return chainSegments(chain, from, to, resolution, limit);
    if (chain.gate != MuxGateOff)
        return gatedSegments(chain, from, to, resolution, limit);
    return orSegments(chain, from, to, resolution, limit);
}

std::int64_t Model::countStarts(int lane, Ps from, Ps to) const {
    if (lane < 0 || lane >= int(chains_.size()) || to <= from || lanes_[lane].greyed)
        return 0;
    const Chain& chain = chains_[lane];
    if (chain.gate != MuxGateOff) {
        std::int64_t n = 0;
        for (const Segment& s : gatedSegments(chain, from, to, 0, kExactGateLimit))
            n += s.start >= from ? std::max<std::int64_t>(s.count, 1) : 0;
        return n;
    }
    const auto startsIn = [&](const Chain& c) -> std::int64_t {
        if (!c.timed())
            return 0;
        std::int64_t last = 0;
        const std::int64_t first = startTicks(c, from, to, last);
        return rank(c, last) - rank(c, first);
    };
    if (!chain.output)
        return startsIn(chain);
    std::int64_t total = 0;
    for (int source : chain.sources)
        total += startsIn(chains_[source]);
    return total;
}

std::optional<Ps> Model::firstStart(int lane, Ps from, Ps to) const {
    if (lane < 0 || lane >= int(chains_.size()) || to <= from)
        return std::nullopt;
    const Chain& chain = chains_[lane];
    if (chain.gate != MuxGateOff) {
        for (const Segment& s : gatedSegments(chain, from, to, 0, kExactGateLimit))
            if (s.start >= from)
                return s.start;
        return std::nullopt;
    }
    const auto first = [&](const Chain& c) -> std::optional<Ps> {
        if (!c.timed())
            return std::nullopt;
        Piece ticks;
        ticks.k1 = startTicks(c, from, to, ticks.k2);
        ticks.r1 = rank(c, ticks.k1);
        ticks.r2 = rank(c, ticks.k2);
        if (ticks.r2 == ticks.r1)
            return std::nullopt;
        return clampPs(Wide(tickTime(firstPassing(c, ticks))) + c.offset);
    };
    if (!chain.output)
        return first(chain);
    std::optional<Ps> best;
    for (int source : chain.sources)
        if (const auto t = first(chains_[source]); t && (!best || *t < *best))
            best = t;
    return best;
}

std::optional<Ps> Model::nearestEdge(int lane, Ps at, Ps reach) const {
    std::optional<Ps> best;
    const auto distance = [at](Ps edge) { return edge > at ? edge - at : at - edge; };
    const Ps from = clampPs(Wide(at) - reach);
    const Ps to = clampPs(Wide(at) + reach + 1);
    for (const Segment& s : segments(lane, from, to, 0, 256)) {
        if (s.band)
            continue; // inside a band no single edge can be told apart
        for (Ps edge : {s.start, s.end})
            if (distance(edge) <= reach && (!best || distance(edge) < distance(*best)))
                best = edge;
    }
    return best;
}

std::pair<Ps, Ps> Model::firstTickExtent() const {
    Ps from = 0;
    Ps to = period();
    for (std::size_t i = 0; i < chains_.size(); ++i) {
        const Chain& c = chains_[i];
        // Only what is put out on the first tick: not a disabled channel,
        // nor one that waits or is busy through it.
        if (lanes_[i].kind != LaneKind::Channel || lanes_[i].greyed || !c.timed() ||
            rank(c, 1) == 0)
            continue;
        from = std::min(from, c.offset);
        to = std::max(to, clampPs(Wide(c.offset) + c.width));
    }
    return {from, to};
}

std::optional<Ps> Model::lastEnd() const {
    std::optional<Ps> last;
    const std::int64_t count = grid_.count;
    for (std::size_t i = 0; i < chains_.size(); ++i) {
        const Chain& c = chains_[i];
        if (lanes_[i].greyed || !c.timed())
            continue;
        const std::int64_t total = rank(c, count);
        // Compare with a tick count no timer reaches: a train that has
        // stopped passes no more ticks beyond its last.
        const std::int64_t probe = count > 1 ? count / 2 : count;
        if (total == 0 || rank(c, probe) != total)
            continue;
        const std::int64_t lastTick = select(c, total - 1);
        const Ps end = clampPs(Wide(tickTime(lastTick)) + c.offset + c.width);
        if (!last || end > *last)
            last = end;
    }
    return last;
}

} // namespace timing
