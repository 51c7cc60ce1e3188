#include "timing/timing_model.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

namespace timing {

namespace {

using Wide = __int128;

// Ticks of an endless timer: far more than any window can reach, small
// enough that no sum below overflows.
constexpr std::int64_t kEndless = std::int64_t(1) << 60;
constexpr Ps kFar = std::numeric_limits<Ps>::max() / 4;

Ps clampPs(Wide v) {
    return Ps(std::clamp<Wide>(v, -kFar, kFar));
}

Wide floorDiv(Wide a, Wide b) {
    Wide q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

Wide ceilDiv(Wide a, Wide b) {
    return -floorDiv(-a, b);
}

QString channelLetter(int n) {
    return QString(QChar(u'A' + n - 1));
}

QString gateNote(int gateMode) {
    static const char* const names[] = {nullptr, "Active Low", "Active High", "ActiveLoWR",
                                        "ActiveHiWR"};
    if (gateMode <= 0 || gateMode > 4)
        return {};
    return QStringLiteral("gate input: %1").arg(QLatin1String(names[gateMode]));
}

} // namespace

Ps ToPs(double seconds) {
    if (!std::isfinite(seconds))
        return 0;
    if (std::fabs(seconds) >= double(kFar) / double(PsPerSecond))
        return seconds < 0 ? -kFar : kFar;
    // The command text's 12 decimals are exactly picoseconds.
    QString text = QString::number(seconds, 'f', 12);
    text.remove(QLatin1Char('.'));
    return text.toLongLong();
}

std::int64_t Model::Filter::passing(std::int64_t ordinals) const {
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

Model::Model(const Settings& settings) {
    const TimerSettings& t = settings.timer;
    const int count = int(settings.channels.size());

    Filter timer;
    timer.mode = t.mode;
    timer.count = t.burstCount;
    timer.on = t.dutyOn;
    timer.off = t.dutyOff;
    timer.cycles = t.cycleCount;
    tickPeriod_ = std::max<Ps>(t.period, 0);
    tickCount_ = tickPeriod_ > 0 ? kEndless : 1;

    Lane t0;
    t0.name = QStringLiteral("T0");
    const bool externallyStarted = t.externalMode == Triggered || t.externalMode == ReArm;
    if (externallyStarted) {
        t0.note = t.externalMode == ReArm ? QStringLiteral("started by external trigger (re-arm)")
                                          : QStringLiteral("started by external trigger");
        if (t.measuredPeriod > 0) {
            t0.note +=
                QStringLiteral(", trigger period %1 (measured)").arg(FormatTime(t.measuredPeriod));
            // Each trigger fires one shot: the shots follow the trigger.
            if (t.mode == SingleShot) {
                tickPeriod_ = t.measuredPeriod;
                tickCount_ = kEndless;
                timer.mode = Normal;
            }
        }
    } else if (t.externalMode == Gated) {
        t0.note = QStringLiteral("gated");
    }
    if (t.period <= 0)
        t0.note = t0.note.isEmpty() ? QStringLiteral("no period set")
                                    : t0.note + QStringLiteral("; no period set");
    lanes_.push_back(t0);
    Chain timerChain;
    timerChain.filters.push_back(timer);
    chains_.push_back(timerChain);

    // Channel n is lane n. Each is resolved from its sync source down; a
    // chain that comes back to itself is marked, never followed again.
    lanes_.resize(1 + count);
    chains_.resize(1 + count);
    std::vector<int> state(1 + count, 0); // 0 unseen, 1 on the path, 2 done
    state[0] = 2;
    for (int first = 1; first <= count; ++first) {
        std::vector<int> path;
        int n = first;
        while (n >= 1 && n <= count && state[n] == 0) {
            state[n] = 1;
            path.push_back(n);
            n = settings.channels[n - 1].sync;
        }
        QString broken;
        if (n < 0 || n > count)
            broken = QStringLiteral("sync source %1 is no channel of this model").arg(n);
        else if (state[n] == 1) {
            QStringList loop;
            const auto from = std::find(path.begin(), path.end(), n);
            for (auto it = from; it != path.end(); ++it)
                loop << QStringLiteral("Ch ") + channelLetter(*it);
            loop << QStringLiteral("Ch ") + channelLetter(n);
            broken = QStringLiteral("sync loop: ") + loop.join(QStringLiteral(" \u2192 "));
        }
        // Resolve the path from its root outward.
        for (auto it = path.rbegin(); it != path.rend(); ++it) {
            const int c = *it;
            const ChannelSettings& s = settings.channels[c - 1];
            Lane& lane = lanes_[c];
            lane.kind = LaneKind::Channel;
            lane.channel = c;
            lane.name = QStringLiteral("Ch ") + channelLetter(c);
            lane.greyed = !s.enabled;
            lane.virtualChannel = !s.output;
            lane.activeLow = s.inverted;
            lane.delay = s.delay;
            lane.width = std::max<Ps>(s.width, 0);
            lane.note = gateNote(s.gateMode);
            Chain& chain = chains_[c];
            const int source = s.sync;
            const bool sourceGood = source >= 0 && source <= count && state[source] == 2 &&
                                    chains_[source].valid && broken.isEmpty();
            if (!sourceGood) {
                chain.valid = false;
                lane.error =
                    broken.isEmpty()
                        ? QStringLiteral("synced to %1, which has no timing")
                              .arg(source == 0 ? QStringLiteral("T0")
                                               : QStringLiteral("Ch ") + channelLetter(source))
                        : broken;
            } else {
                lane.sourceLane = source;
                chain = chains_[source];
                chain.sources.clear();
                Filter f;
                f.skip = std::max<std::int64_t>(s.waitCount, 0);
                f.mode = s.mode;
                f.count = s.burstCount;
                f.on = s.dutyOn;
                f.off = s.dutyOff;
                chain.filters.push_back(f);
                chain.offset = clampPs(Wide(chain.offset) + s.delay);
                chain.width = lane.width;
            }
            state[c] = 2;
        }
    }

    // Outputs, under the channels: the OR of what each multiplexer selects.
    for (int c = 1; c <= count; ++c) {
        const ChannelSettings& s = settings.channels[c - 1];
        if (!s.output)
            continue;
        Lane lane;
        lane.kind = LaneKind::Output;
        lane.channel = c;
        lane.name = QStringLiteral("Out ") + channelLetter(c);
        lane.greyed = !s.enabled;
        const bool invert = settings.muxGateSupported && s.muxGate == MuxInvert;
        lane.activeLow = s.inverted != invert;
        if (settings.muxGateSupported && s.muxGate == MuxGated)
            lane.note = QStringLiteral("mux gate: Gated");
        else if (settings.muxGateSupported && s.muxGate == MuxInhibit)
            lane.note = QStringLiteral("mux gate: Inhibit");
        Chain chain;
        chain.filters.clear();
        QStringList unusable;
        for (int k = 1; k <= count; ++k) {
            if (!((s.muxMask >> (k - 1)) & 1u))
                continue;
            if (chains_[k].valid)
                chain.sources.push_back(k);
            else
                unusable << lanes_[k].name;
        }
        if (!unusable.isEmpty()) {
            lane.error =
                QStringLiteral("%1 without timing").arg(unusable.join(QStringLiteral(", ")));
            // An OR with an input of unknown timing is unknown as a whole.
            chain.valid = false;
            chain.sources.clear();
        } else if (chain.sources.empty())
            lane.note = lane.note.isEmpty() ? QStringLiteral("no channel selected") : lane.note;
        lanes_.push_back(lane);
        chains_.push_back(chain);
    }
}

Ps Model::tickTime(std::int64_t k) const {
    return clampPs(Wide(k) * tickPeriod_);
}

std::int64_t Model::rank(const Chain& chain, std::int64_t ticks) const {
    std::int64_t r = std::clamp<std::int64_t>(ticks, 0, tickCount_);
    for (const Filter& f : chain.filters)
        r = f.passing(r);
    return r;
}

// The ticks [first, last) whose pulses meet [from, to); returns first.
std::int64_t Model::tickRange(const Chain& chain, Ps from, Ps to, std::int64_t& last) const {
    const Ps reach = std::max<Ps>(chain.width, 1);
    Wide first, end;
    if (tickPeriod_ <= 0) {
        const bool meets = chain.offset < to && Wide(chain.offset) + reach > from;
        first = 0;
        end = meets ? 1 : 0;
    } else {
        first = floorDiv(Wide(from) - chain.offset - reach, tickPeriod_) + 1;
        end = ceilDiv(Wide(to) - chain.offset, tickPeriod_);
    }
    first = std::clamp<Wide>(first, 0, tickCount_);
    end = std::clamp<Wide>(end, first, tickCount_);
    last = std::int64_t(end);
    return std::int64_t(first);
}

// Splits the ticks [k1, k2) (r1, r2 passing below each end) until each
// piece holds one pulse or spans no more than the resolution. A piece's
// edges are those of its first and last tick, passing or not; the merged
// stretches get the edges of real pulses afterwards.
void Model::collect(const Chain& chain, Piece piece, Ps resolution, std::size_t limit,
                    std::vector<Piece>& out) const {
    if (piece.r2 == piece.r1)
        return;
    if (piece.k2 - piece.k1 > 1) {
        const Ps first = tickTime(piece.k1);
        const Ps last = tickTime(piece.k2 - 1);
        if (last - first > resolution && out.size() < limit) {
            const std::int64_t mid = piece.k1 + (piece.k2 - piece.k1) / 2;
            const std::int64_t rm = rank(chain, mid);
            collect(chain, {piece.k1, mid, piece.r1, rm}, resolution, limit, out);
            collect(chain, {mid, piece.k2, rm, piece.r2}, resolution, limit, out);
            return;
        }
    }
    out.push_back(piece);
}

// The first passing tick of a piece, and the last.
std::int64_t Model::firstPassing(const Chain& chain, const Piece& p) const {
    if (p.r2 - p.r1 == p.k2 - p.k1)
        return p.k1;
    std::int64_t lo = p.k1, hi = p.k2; // rank(lo) == r1, rank(hi) > r1
    while (hi - lo > 1) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        (rank(chain, mid) > p.r1 ? hi : lo) = mid;
    }
    return lo;
}

std::int64_t Model::lastPassing(const Chain& chain, const Piece& p) const {
    if (p.r2 - p.r1 == p.k2 - p.k1)
        return p.k2 - 1;
    std::int64_t lo = p.k1, hi = p.k2; // rank(lo) < r2, rank(hi) == r2
    while (hi - lo > 1) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        (rank(chain, mid) == p.r2 ? hi : lo) = mid;
    }
    return lo;
}

namespace {

// Joins overlapping stretches, and stretches closer than the resolution
// into bands.
std::vector<Segment> merged(std::vector<Segment> pieces, Ps resolution) {
    std::vector<Segment> out;
    for (const Segment& s : pieces) {
        if (!out.empty() && s.start <= out.back().end) {
            Segment& last = out.back();
            last.end = std::max(last.end, s.end);
            last.count += s.count;
            last.band = last.band || s.band;
        } else if (!out.empty() && s.start - out.back().end < resolution) {
            Segment& last = out.back();
            last.end = std::max(last.end, s.end);
            last.count += s.count;
            last.band = true;
        } else {
            out.push_back(s);
        }
    }
    return out;
}

} // namespace

std::vector<Segment> Model::chainSegments(const Chain& chain, Ps from, Ps to, Ps resolution,
                                          std::size_t limit) const {
    std::vector<Segment> out;
    if (!chain.valid || chain.filters.empty() || to <= from)
        return out;
    std::int64_t last = 0;
    const std::int64_t first = tickRange(chain, from, to, last);
    if (first >= last)
        return out;
    std::vector<Piece> pieces;
    collect(chain, {first, last, rank(chain, first), rank(chain, last)}, resolution, limit, pieces);
    // Neighbouring pieces join as their first and last ticks suggest (off by
    // less than the resolution); each stretch then gets the exact edges of its
    // first and last pulse.
    const auto at = [&](std::int64_t k) { return clampPs(Wide(tickTime(k)) + chain.offset); };
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        const std::int64_t count = p.r2 - p.r1;
        const Ps start = at(p.k1);
        const Ps end = clampPs(Wide(at(p.k2 - 1)) + chain.width);
        if (!out.empty()) {
            Segment& s = out.back();
            if (start <= s.end || start - s.end < resolution) {
                s.band = s.band || count > 1 || start > s.end;
                s.end = std::max(s.end, end);
                s.count += count;
                continue;
            }
            s.end = clampPs(Wide(at(lastPassing(chain, pieces[i - 1]))) + chain.width);
        }
        out.push_back({at(firstPassing(chain, p)), end, count, count > 1});
    }
    if (!out.empty())
        out.back().end = clampPs(Wide(at(lastPassing(chain, pieces.back()))) + chain.width);
    return out;
}

std::vector<Segment> Model::segments(int lane, Ps from, Ps to, Ps resolution,
                                     std::size_t limit) const {
    if (lane < 0 || lane >= int(chains_.size()))
        return {};
    const Chain& chain = chains_[lane];
    if (chain.sources.empty())
        return merged(chainSegments(chain, from, to, resolution, limit), resolution);
    std::vector<Segment> all;
    for (int source : chain.sources) {
        std::vector<Segment> part = chainSegments(chains_[source], from, to, resolution, limit);
        all.insert(all.end(), part.begin(), part.end());
    }
    std::stable_sort(all.begin(), all.end(),
                     [](const Segment& a, const Segment& b) { return a.start < b.start; });
    return merged(std::move(all), resolution);
}

// The ticks [first, last) whose pulses start in [from, to); returns first.
std::int64_t Model::startTicks(const Chain& chain, Ps from, Ps to, std::int64_t& last) const {
    if (tickPeriod_ <= 0) {
        last = (chain.offset >= from && chain.offset < to) ? 1 : 0;
        return 0;
    }
    const Wide first =
        std::clamp<Wide>(ceilDiv(Wide(from) - chain.offset, tickPeriod_), 0, tickCount_);
    last = std::int64_t(
        std::clamp<Wide>(ceilDiv(Wide(to) - chain.offset, tickPeriod_), first, tickCount_));
    return std::int64_t(first);
}

std::int64_t Model::countStarts(int lane, Ps from, Ps to) const {
    if (lane < 0 || lane >= int(chains_.size()) || to <= from)
        return 0;
    const Chain& chain = chains_[lane];
    const auto startsIn = [&](const Chain& c) -> std::int64_t {
        if (!c.valid || c.filters.empty())
            return 0;
        std::int64_t last = 0;
        const std::int64_t first = startTicks(c, from, to, last);
        return rank(c, last) - rank(c, first);
    };
    if (chain.sources.empty())
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
    const auto first = [&](const Chain& c) -> std::optional<Ps> {
        if (!c.valid || c.filters.empty())
            return std::nullopt;
        Piece ticks;
        ticks.k1 = startTicks(c, from, to, ticks.k2);
        ticks.r1 = rank(c, ticks.k1);
        ticks.r2 = rank(c, ticks.k2);
        if (ticks.r2 == ticks.r1)
            return std::nullopt;
        return clampPs(Wide(tickTime(firstPassing(c, ticks))) + c.offset);
    };
    if (chain.sources.empty())
        return first(chain);
    std::optional<Ps> best;
    for (int source : chain.sources)
        if (const auto t = first(chains_[source]); t && (!best || *t < *best))
            best = t;
    return best;
}

std::optional<Ps> Model::nearestEdge(int lane, Ps at, Ps reach) const {
    std::optional<Ps> best;
    const auto consider = [&](Ps edge) {
        const Ps distance = edge > at ? edge - at : at - edge;
        if (distance <= reach && (!best || distance < (*best > at ? *best - at : at - *best)))
            best = edge;
    };
    const Ps from = clampPs(Wide(at) - reach);
    const Ps to = clampPs(Wide(at) + reach + 1);
    for (const Segment& s : segments(lane, from, to, 0, 256)) {
        if (s.band)
            continue; // inside a band no single edge can be told apart
        consider(s.start);
        consider(s.end);
    }
    return best;
}

std::pair<Ps, Ps> Model::firstTickExtent() const {
    Ps from = 0;
    Ps to = tickPeriod_;
    for (const Chain& c : chains_) {
        if (!c.valid || c.filters.empty())
            continue;
        from = std::min(from, c.offset);
        to = std::max(to, clampPs(Wide(c.offset) + c.width));
    }
    return {from, to};
}

std::optional<Ps> Model::lastEnd() const {
    std::optional<Ps> last;
    for (const Chain& c : chains_) {
        if (!c.valid || c.filters.empty())
            continue;
        const std::int64_t total = rank(c, tickCount_);
        // Compare with a tick count no timer reaches: a train that has
        // stopped passes no more ticks beyond its last.
        const std::int64_t probe = tickCount_ > 1 ? tickCount_ / 2 : tickCount_;
        if (total == 0 || rank(c, probe) != total)
            continue;
        std::int64_t lo = 0, hi = tickCount_;
        while (hi - lo > 1) {
            const std::int64_t mid = lo + (hi - lo) / 2;
            if (rank(c, mid) == total)
                hi = mid;
            else
                lo = mid;
        }
        const Ps end = clampPs(Wide(tickTime(lo)) + c.offset + c.width);
        if (!last || end > *last)
            last = end;
    }
    return last;
}

QString FormatTime(Ps t, int significant) {
    static const struct {
        Ps unit;
        const char* name;
    } units[] = {{PsPerSecond, "s"},
                 {1'000'000'000, "ms"},
                 {1'000'000, "\u00b5s"},
                 {1'000, "ns"},
                 {1, "ps"}};
    if (t == 0)
        return QStringLiteral("0 s");
    const bool negative = t < 0;
    const std::uint64_t magnitude = negative ? std::uint64_t(-(t + 1)) + 1 : std::uint64_t(t);
    int u = 0;
    while (u < 4 && magnitude < std::uint64_t(units[u].unit))
        ++u;
    const std::uint64_t unit = std::uint64_t(units[u].unit);
    QString whole = QString::number(magnitude / unit);
    QString fraction = QString::number(magnitude % unit)
                           .rightJustified(int(QString::number(unit).size() - 1), QLatin1Char('0'));
    if (unit == 1)
        fraction.clear();
    // Keep `significant` digits, counted from the first digit of the whole part.
    const int keep = std::max(0, significant - int(whole.size()));
    fraction.truncate(keep);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    QString text = negative ? QStringLiteral("-") : QString();
    text += whole;
    if (!fraction.isEmpty())
        text += QLatin1Char('.') + fraction;
    return text + QLatin1Char(' ') + QString::fromUtf8(units[u].name);
}

QString FormatFrequency(double hertz) {
    if (!std::isfinite(hertz) || hertz <= 0)
        return QStringLiteral("\u2014");
    static const char* const names[] = {"Hz", "kHz", "MHz", "GHz", "THz"};
    int u = 0;
    while (u < 4 && hertz >= 1000.0) {
        hertz /= 1000.0;
        ++u;
    }
    return QString::number(hertz, 'g', 6) + QLatin1Char(' ') + QLatin1String(names[u]);
}

} // namespace timing
