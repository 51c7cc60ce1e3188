#pragma once

#include "timing/tick_sets.h"
#include "timing/timing_types.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// Where every pulse of the system timer, the channels and the outputs lies,
// computed from the settings alone, without widgets, in whole picoseconds.
//
// Every pulse comes from one tick k of the system timer. A lane's pulses are
// the ticks that pass its chain of selections (the timer's mode, then each
// channel's wait count and mode, from its sync source down), shifted by the
// sum of the delays along that chain. Counting the passing ticks below any
// tick takes a few divisions per link, so a window holding billions of ticks
// costs no more than one holding ten. A channel still busy with its pulse
// when the next trigger comes ignores that trigger; its ticks are found once
// by following it until its state repeats (tick_sets.h).
namespace timing {

// Seconds to picoseconds, rounded the way the instrument's command text
// with so many decimals rounds them; saturates far outside any setting.
Ps ToPs(double seconds, int decimals = 12);

struct TimerSettings {
    Ps period = 0;
    int mode = Normal;
    std::int64_t burstCount = 0;
    std::int64_t dutyOn = 0;
    std::int64_t dutyOff = 0;
    std::int64_t cycleCount = 0; // duty cycles before the timer stops; 0 = endless
    int externalMode = Internal;
    Ps measuredPeriod = 0; // the period counter's reading of the trigger; 0 = none
};

struct ChannelSettings {
    bool enabled = false;
    Ps delay = 0;
    Ps width = 0;
    int mode = Normal;
    std::int64_t burstCount = 0;
    std::int64_t dutyOn = 0;
    std::int64_t dutyOff = 0;
    std::int64_t waitCount = 0;
    int sync = 0;          // 0 = the timer, n = channel n (A = 1)
    bool inverted = false; // output polarity: only an output channel has one
    int gateMode = 0;      // channel gate list index, 0 = none
    bool output = false;   // has an output of its own; otherwise a virtual channel
    unsigned muxMask = 0;  // bit k: channel k + 1 reaches this output
    int muxGate = MuxGateOff;
    // The grid and range the panel sets delay and width on; a step of 0:
    // not to be set from the diagram.
    Ps delayStep = 0, delayMin = 0, delayMax = 0;
    Ps widthStep = 0, widthMin = 0, widthMax = 0;
};

struct Settings {
    TimerSettings timer;
    std::vector<ChannelSettings> channels; // channel n at index n - 1
    bool muxGateSupported = false;
    // Not timing, but whether the instrument puts this timing out now.
    bool outputsStopped = false;
    bool changesHeld = false; // synchronous update: edits wait for Update
};

enum class LaneKind { Timer, Channel, Output };

struct Lane {
    LaneKind kind = LaneKind::Timer;
    int channel = 0;     // 0 for the timer, else the channel (or output) number
    QString name;        // "T0", "Ch A", "Out A"
    QString note;        // what the drawing cannot show: trigger, gate, mux gate
    QString error;       // set for a lane that cannot be computed (a sync loop)
    bool greyed = false; // disabled: drawn flat
    bool virtualChannel = false;
    bool activeLow = false; // drawn inverted
    int sourceLane = -1;    // the lane whose pulse starts trigger this one
    Ps delay = 0;           // this channel's own delay after its source's start
    Ps width = 0;
};

// A stretch of a lane that is high: one pulse (count 1), several pulses
// overlapping into one, or a band of pulses closer than the resolution
// (count 0 where they are too many to be counted here).
struct Segment {
    Ps start = 0;
    Ps end = 0;
    std::int64_t count = 1;
    bool band = false;
};

class Model {
public:
    Model() = default;
    explicit Model(const Settings& settings);

    const std::vector<Lane>& lanes() const { return lanes_; }
    // How often the timer's pulses repeat as drawn (the measured trigger
    // period where that paces a triggered sequence); 0 when it ticks once.
    Ps period() const { return grid_.groupTicks > 0 ? grid_.groupPeriod : grid_.period; }

    // The lane's high stretches meeting [from, to), in time order: pulses
    // nearer each other than `resolution` join into bands. At most about
    // `limit` segments; a lane denser than that comes back as bands.
    std::vector<Segment> segments(int lane, Ps from, Ps to, Ps resolution,
                                  std::size_t limit = 100000) const;
    // Pulses of the lane starting in [from, to).
    std::int64_t countStarts(int lane, Ps from, Ps to) const;
    // The pulse edge (start or end) of the lane nearest `at`, within `reach`.
    std::optional<Ps> nearestEdge(int lane, Ps at, Ps reach) const;
    // Where the pulses of the timer's first tick lie, over the enabled lanes
    // that fire on it: from the earliest start (0 or before) to the latest
    // end (at least one period).
    std::pair<Ps, Ps> firstTickExtent() const;
    // The end of the last pulse of every enabled lane whose pulses stop
    // (single shots, bursts, limited duty cycles); nullopt when all run on.
    std::optional<Ps> lastEnd() const;
    // The first pulse start of the lane at or after `from`, if any within `to`.
    std::optional<Ps> firstStart(int lane, Ps from, Ps to) const;

private:
    using Filter = detail::Filter;
    struct Chain {
        std::shared_ptr<const detail::Pattern> pattern; // a busy channel's ticks, else all
        std::vector<Filter> filters;                    // then these, in order
        detail::Periodicity periodicity;
        Ps offset = 0; // sum of the delays along the chain
        Ps width = 0;
        std::vector<int> sources; // an output's channel lanes, OR-ed
        int gate = MuxGateOff;    // an output's mux gate, from `gateLane`
        int gateLane = -1;
        bool output = false;
        bool valid = true;
        bool timed() const { return valid && !output && (pattern || !filters.empty()); }
    };

    void buildTimer(const TimerSettings& t);
    void buildChannels(const Settings& settings);
    void buildOutputs(const Settings& settings);
    void addFilter(Chain& chain, const Filter& f) const;
    bool followBusy(Chain& chain, const ChannelSettings& s, Lane& lane) const;
    void noteDisabledSources(const Settings& settings);

    std::int64_t rank(const Chain& chain, std::int64_t ticks) const;
    // The tick of the chain's event j (from 0); the tick count when none.
    std::int64_t select(const Chain& chain, std::int64_t j) const;
    std::int64_t tickRange(const Chain& chain, Ps from, Ps to, std::int64_t& last) const;
    std::int64_t startTicks(const Chain& chain, Ps from, Ps to, std::int64_t& last) const;
    struct Piece {
        std::int64_t k1, k2; // ticks [k1, k2)
        std::int64_t r1, r2; // passing ticks below k1 and below k2
    };
    void collect(const Chain& chain, Piece piece, Ps resolution, std::size_t limit,
                 std::vector<Piece>& out) const;
    std::int64_t firstPassing(const Chain& chain, const Piece& piece) const;
    std::int64_t lastPassing(const Chain& chain, const Piece& piece) const;
    std::vector<Segment> chainSegments(const Chain& chain, Ps from, Ps to, Ps resolution,
                                       std::size_t limit) const;
    std::vector<Segment> orSegments(const Chain& chain, Ps from, Ps to, Ps resolution,
                                    std::size_t limit) const;
    std::vector<Segment> gatedSegments(const Chain& chain, Ps from, Ps to, Ps resolution,
                                       std::size_t limit) const;
    Ps tickTime(std::int64_t k) const { return grid_.time(k); }

    std::vector<Lane> lanes_;
    std::vector<Chain> chains_;
    detail::TickGrid grid_;
};

// "1.5 µs", "-200 ps", "1 s": engineering text rounded to `significant`
// digits (never truncated); ExactDigits gives every picosecond there is.
constexpr int ExactDigits = 20;
QString FormatTime(Ps t, int significant = 6);
// "666.667 kHz" for 1/Δt.
QString FormatFrequency(double hertz);

} // namespace timing
