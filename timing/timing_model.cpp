// Building the model: the timer's ticks, each channel's chain from its sync
// source down, and the outputs with their multiplexers and mux gates.
#include "timing/timing_model.h"

#include <QStringList>
#include <algorithm>

namespace timing {

using namespace detail;

namespace {

QString channelName(int n) {
    return QStringLiteral("Ch ") + QChar(u'A' + n - 1);
}

QString gateNote(int gateMode) {
    static const char* const names[] = {nullptr, "Active Low", "Active High", "ActiveLoWR",
                                        "ActiveHiWR"};
    if (gateMode <= 0 || gateMode > 4)
        return {};
    return QStringLiteral("gate input: %1").arg(QLatin1String(names[gateMode]));
}

void addNote(QString& note, const QString& more) {
    if (!more.isEmpty())
        note = note.isEmpty() ? more : note + QStringLiteral("; ") + more;
}

QString ordinal(std::int64_t n) {
    const std::int64_t lastTwo = n % 100;
    const char* suffix = (lastTwo >= 11 && lastTwo <= 13) ? "th"
                         : n % 10 == 1                    ? "st"
                         : n % 10 == 2                    ? "nd"
                         : n % 10 == 3                    ? "rd"
                                                          : "th";
    return QString::number(n) + QLatin1String(suffix);
}

// The ticks a sequence started by one trigger takes; 0 when it runs on.
std::int64_t sequenceTicks(const TimerSettings& t) {
    switch (t.mode) {
    case SingleShot:
        return 1;
    case Burst:
        return std::max<std::int64_t>(t.burstCount, 0);
    case DutyCycle:
        if (t.cycleCount > 0 && t.dutyOn > 0)
            return std::int64_t(std::min<Wide>(
                Wide(t.cycleCount) * (t.dutyOn + std::max<std::int64_t>(t.dutyOff, 0)), kEndless));
        return 0;
    default:
        return 0;
    }
}

} // namespace

Model::Model(const Settings& settings) {
    buildTimer(settings.timer);
    buildChannels(settings);
    noteDisabledSources(settings);
    buildOutputs(settings);
}

void Model::buildTimer(const TimerSettings& t) {
    Filter timer;
    timer.mode = t.mode;
    timer.count = t.burstCount;
    timer.on = t.dutyOn;
    timer.off = t.dutyOff;
    timer.cycles = t.cycleCount;
    grid_.period = std::max<Ps>(t.period, 0);
    grid_.count = grid_.period > 0 ? kEndless : 1;

    Lane t0;
    t0.name = QStringLiteral("T0");
    const std::int64_t sequence = sequenceTicks(t);
    if (t.externalMode == Triggered || t.externalMode == ReArm) {
        t0.note = t.externalMode == ReArm
                      ? QStringLiteral("started by external trigger (re-arm, drawn as triggered)")
                      : QStringLiteral("started by external trigger");
        const bool repeats = sequence == 1 || (sequence > 1 && grid_.period > 0);
        if (!repeats) {
            addNote(t0.note, QStringLiteral("runs on from the first trigger"));
        } else if (t.measuredPeriod <= 0) {
            addNote(t0.note, QStringLiteral("one sequence per trigger"));
        } else {
            // Each trigger starts the sequence again; one that comes before its
            // last tick is ignored, as a busy channel ignores its triggers.
            const Wide lastTick = Wide(sequence - 1) * grid_.period;
            const Wide every = floorDiv(lastTick, t.measuredPeriod) + 1;
            const Ps repeat = clampPs(every * t.measuredPeriod);
            grid_.count = kEndless;
            if (sequence == 1) {
                grid_.period = repeat;
            } else {
                grid_.groupTicks = sequence;
                grid_.groupPeriod = repeat;
            }
            // The group is the whole sequence: within it every tick passes
            // (single shot, burst), or the duty pattern runs on unbroken.
            timer.mode = t.mode == DutyCycle ? DutyCycle : Normal;
            timer.cycles = 0;
            QString paced = QStringLiteral("one sequence per trigger, trigger period %1 (measured)")
                                .arg(FormatTime(t.measuredPeriod));
            if (every > 1)
                paced += QStringLiteral(", started by every %1 trigger").arg(ordinal(every));
            addNote(t0.note, paced);
        }
    } else if (t.externalMode == Gated) {
        t0.note = QStringLiteral("gated: drawn as if the gate were always open");
    }
    if (t.period <= 0)
        addNote(t0.note, QStringLiteral("no period set"));
    lanes_.push_back(t0);

    Chain chain;
    if (grid_.count == 1)
        chain.periodicity = {true, 1, 0, 0};
    else {
        const std::int64_t g = std::max<std::int64_t>(grid_.groupTicks, 1);
        chain.periodicity = {true, 0, g, g};
    }
    addFilter(chain, timer);
    chains_.push_back(chain);
}

void Model::addFilter(Chain& chain, const Filter& f) const {
    const Chain before = chain;
    chain.periodicity = Filtered(
        before.periodicity, f, [&](std::int64_t k) { return rank(before, k); }, grid_.count);
    chain.filters.push_back(f);
}

// A channel whose trigger-to-pulse-end outlasts the gap to its source's next
// event ignores that event. Its fires are found by following it; false when
// it never ignores one, so the plain chain holds.
bool Model::followBusy(Chain& chain, const ChannelSettings& s, Lane& lane) const {
    const Wide busy = Wide(s.delay) + std::max<Ps>(s.width, 0);
    const Ps closest =
        grid_.groupTicks > 1
            ? std::min<Ps>(grid_.period, grid_.groupPeriod - (grid_.groupTicks - 1) * grid_.period)
            : grid_.period;
    if (s.mode == SingleShot || grid_.count == 1 || busy <= closest)
        return false;
    const Chain source = chain;
    BusyInput in;
    in.rank = [&](std::int64_t k) { return rank(source, k); };
    in.source = source.periodicity;
    in.grid = &grid_;
    in.wait = std::max<std::int64_t>(s.waitCount, 0);
    in.mode = s.mode == DutyCycle ? DutyCycle : Normal;
    in.on = s.dutyOn;
    in.off = std::max<std::int64_t>(s.dutyOff, 0);
    in.busy = clampPs(busy);
    const std::shared_ptr<const Pattern> pattern = FollowBusyChannel(in);
    if (!pattern->cut && !pattern->ignoresAny)
        return false;

    Chain followed;
    followed.pattern = pattern;
    followed.periodicity = pattern->periodicity();
    followed.offset = source.offset;
    if (s.mode == Burst) {
        Filter burst;
        burst.mode = Burst;
        burst.count = s.burstCount;
        addFilter(followed, burst);
    }
    chain = followed;

    const std::int64_t fires =
        pattern->repeatFrom >= 0 ? pattern->repeatFires : pattern->rank(pattern->end);
    if (pattern->cut)
        addNote(lane.note,
                QStringLiteral("busy until its pulse ends; drawn only up to %1, where its "
                               "pattern has not yet repeated")
                    .arg(FormatTime(clampPs(Wide(tickTime(pattern->end)) + source.offset))));
    else if (pattern->ignored == 0)
        addNote(lane.note, QStringLiteral("busy until its pulse ends: ignores some of its first "
                                          "triggers"));
    else if (in.mode == Normal && fires > 0 && pattern->seen % fires == 0)
        addNote(lane.note, QStringLiteral("busy until its pulse ends: fires on every %1 trigger")
                               .arg(ordinal(pattern->seen / fires)));
    else
        addNote(lane.note, QStringLiteral("busy until its pulse ends: ignores %1 of every %2 "
                                          "triggers")
                               .arg(pattern->ignored)
                               .arg(pattern->seen));
    return true;
}

void Model::buildChannels(const Settings& settings) {
    const int count = int(settings.channels.size());
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
                loop << channelName(*it);
            loop << channelName(n);
            broken = QStringLiteral("sync loop: ") + loop.join(QStringLiteral(" \u2192 "));
        }
        // Resolve the path from its root outward.
        for (auto it = path.rbegin(); it != path.rend(); ++it) {
            const int c = *it;
            const ChannelSettings& s = settings.channels[c - 1];
            Lane& lane = lanes_[c];
            lane.kind = LaneKind::Channel;
            lane.channel = c;
            lane.name = channelName(c);
            lane.greyed = !s.enabled;
            lane.virtualChannel = !s.output;
            // A virtual channel has no output, so no polarity to show.
            lane.activeLow = s.inverted && s.output;
            lane.delay = s.delay;
            lane.width = std::max<Ps>(s.width, 0);
            lane.note = gateNote(s.gateMode);
            Chain& chain = chains_[c];
            const int source = s.sync;
            const bool sourceGood = source >= 0 && source <= count && state[source] == 2 &&
                                    chains_[source].valid && broken.isEmpty();
            if (!sourceGood) {
                chain.valid = false;
                lane.error = broken.isEmpty() ? QStringLiteral("synced to %1, which has no timing")
                                                    .arg(source == 0 ? QStringLiteral("T0")
                                                                     : channelName(source))
                                              : broken;
            } else {
                lane.sourceLane = source;
                chain = chains_[source];
                if (!followBusy(chain, s, lane)) {
                    Filter f;
                    f.skip = std::max<std::int64_t>(s.waitCount, 0);
                    f.mode = s.mode;
                    f.count = s.burstCount;
                    f.on = s.dutyOn;
                    f.off = s.dutyOff;
                    addFilter(chain, f);
                }
                chain.offset = clampPs(Wide(chain.offset) + s.delay);
                chain.width = lane.width;
            }
            state[c] = 2;
        }
    }
}

// A disabled channel puts nothing out, yet its timing still drives the
// channels synced to it: both lanes say so.
void Model::noteDisabledSources(const Settings& settings) {
    const int count = int(settings.channels.size());
    for (int c = 1; c <= count; ++c) {
        if (settings.channels[c - 1].enabled)
            continue;
        QStringList followers;
        for (int k = 1; k <= count; ++k)
            if (k != c && settings.channels[k - 1].sync == c && settings.channels[k - 1].enabled) {
                followers << channelName(k);
                addNote(lanes_[k].note,
                        QStringLiteral("synced to %1, which is disabled").arg(channelName(c)));
            }
        QString note = QStringLiteral("disabled");
        if (!followers.isEmpty())
            note += QStringLiteral("; still triggers ") + followers.join(QStringLiteral(", "));
        addNote(note, lanes_[c].note);
        lanes_[c].note = note;
    }
}

void Model::buildOutputs(const Settings& settings) {
    const int count = int(settings.channels.size());
    static const char* const gateNames[] = {nullptr, "Gated", "Inhibit", "Invert"};
    for (int c = 1; c <= count; ++c) {
        const ChannelSettings& s = settings.channels[c - 1];
        if (!s.output)
            continue;
        Lane lane;
        lane.kind = LaneKind::Output;
        lane.channel = c;
        lane.name = QStringLiteral("Out ") + QChar(u'A' + c - 1);
        lane.greyed = !s.enabled;
        // Polarity applies after the mux gate.
        lane.activeLow = s.inverted;
        Chain chain;
        chain.output = true;
        QStringList unusable;
        bool selected = false;
        for (int k = 1; k <= count; ++k) {
            if (!((s.muxMask >> (k - 1)) & 1u))
                continue;
            selected = true;
            // A disabled channel adds nothing to any multiplexer.
            if (!settings.channels[k - 1].enabled)
                continue;
            if (chains_[k].valid)
                chain.sources.push_back(k);
            else
                unusable << lanes_[k].name;
        }
        constexpr int gateChannel = 8; // the mux gate is channel H
        if (settings.muxGateSupported && s.muxGate >= MuxGated && s.muxGate <= MuxInvert) {
            const QString mode = QLatin1String(gateNames[s.muxGate]);
            if (count < gateChannel)
                lane.error = QStringLiteral("mux gate %1: this model has no Ch H to gate with, so "
                                            "the output cannot be drawn")
                                 .arg(mode);
            else if (!chains_[gateChannel].valid)
                lane.error = QStringLiteral("mux gate %1: Ch H has no timing").arg(mode);
            else {
                chain.gate = s.muxGate;
                chain.gateLane = settings.channels[gateChannel - 1].enabled ? gateChannel : -1;
                addNote(lane.note, chain.gateLane < 0
                                       ? QStringLiteral("mux gate: %1 by Ch H, which is disabled "
                                                        "(low)")
                                             .arg(mode)
                                       : QStringLiteral("mux gate: %1 by Ch H").arg(mode));
            }
        }
        if (!unusable.isEmpty())
            lane.error =
                QStringLiteral("%1 without timing").arg(unusable.join(QStringLiteral(", ")));
        if (!lane.error.isEmpty()) {
            // An output with an input of unknown timing is unknown as a whole.
            chain.valid = false;
            chain.sources.clear();
        } else if (chain.sources.empty())
            addNote(lane.note, selected ? QStringLiteral("only disabled channels selected")
                                        : QStringLiteral("no channel selected"));
        if (lane.greyed) {
            QString note = QStringLiteral("disabled");
            addNote(note, lane.note);
            lane.note = note;
        }
        lanes_.push_back(lane);
        chains_.push_back(chain);
    }
}

} // namespace timing
