#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// Where every pulse of the system timer, the channels and the outputs lies,
// computed from the settings alone, without widgets. Times are whole
// picoseconds: a double cannot hold the last picosecond of a 1000 s delay.
//
// Every pulse comes from one tick k of the system timer (at k * period). A
// lane's pulses are the ticks that pass its chain of selections (the timer's
// mode, then each channel's wait count and mode, from its sync source down),
// shifted by the sum of the delays along that chain. Counting the passing
// ticks below any tick takes a few divisions per link, so a window holding
// billions of ticks costs no more than one holding ten.
namespace timing {

using Ps = std::int64_t;

constexpr Ps PsPerSecond = 1'000'000'000'000;

// Seconds to picoseconds, rounded the way the instrument's 12-decimal
// command text rounds them; saturates far outside any setting.
Ps ToPs(double seconds);

// List indexes as the panel's selection lists hold them.
enum Mode { Normal = 0, SingleShot = 1, Burst = 2, DutyCycle = 3 };
enum ExternalMode { Internal = 0, Triggered = 1, Gated = 2, ReArm = 3 };
enum MuxGate { MuxGateOff = 0, MuxGated = 1, MuxInhibit = 2, MuxInvert = 3 };

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
    int sync = 0; // 0 = the timer, n = channel n (A = 1)
    bool inverted = false;
    int gateMode = 0;     // channel gate list index, 0 = none
    bool output = false;  // has an output of its own; otherwise a virtual channel
    unsigned muxMask = 0; // bit k: channel k + 1 reaches this output
    int muxGate = MuxGateOff;
};

struct Settings {
    TimerSettings timer;
    std::vector<ChannelSettings> channels; // channel n at index n - 1
    bool muxGateSupported = false;
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
// overlapping into one, or a band of pulses closer than the resolution.
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
    // The timer's period as drawn (the measured trigger period where that
    // paces a triggered single shot); 0 when the timer ticks once.
    Ps period() const { return tickPeriod_; }

    // The lane's high stretches meeting [from, to), in time order: pulses
    // nearer each other than `resolution` join into bands. At most about
    // `limit` segments; a lane denser than that comes back as bands.
    std::vector<Segment> segments(int lane, Ps from, Ps to, Ps resolution,
                                  std::size_t limit = 100000) const;
    // Pulses of the lane starting in [from, to).
    std::int64_t countStarts(int lane, Ps from, Ps to) const;
    // The pulse edge (start or end) of the lane nearest `at`, within `reach`.
    std::optional<Ps> nearestEdge(int lane, Ps at, Ps reach) const;
    // Where the pulses of the timer's first tick lie, over every lane: from
    // the earliest start (0 or before) to the latest end (at least one period).
    std::pair<Ps, Ps> firstTickExtent() const;
    // The end of the last pulse of every lane whose pulses stop (single shots,
    // bursts, limited duty cycles); nullopt when every lane runs on.
    std::optional<Ps> lastEnd() const;
    // The first pulse start of the lane at or after `from`, if any within `to`.
    std::optional<Ps> firstStart(int lane, Ps from, Ps to) const;

private:
    struct Filter {
        std::int64_t skip = 0;  // ordinals below this never pass
        int mode = Normal;      // then: all, the first, the first `count`, or duty
        std::int64_t count = 0; // burst count
        std::int64_t on = 0, off = 0;
        std::int64_t cycles = 0; // duty cycles before it stops (timer only), 0 = endless
        std::int64_t passing(std::int64_t ordinals) const;
    };
    struct Chain {
        std::vector<Filter> filters; // the timer's first
        Ps offset = 0;               // sum of the delays along the chain
        Ps width = 0;
        std::vector<int> sources; // an output's channel lanes, OR-ed
        bool valid = true;
    };

    std::int64_t rank(const Chain& chain, std::int64_t ticks) const;
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
    Ps tickTime(std::int64_t k) const;

    std::vector<Lane> lanes_;
    std::vector<Chain> chains_;
    Ps tickPeriod_ = 0;
    std::int64_t tickCount_ = 0; // ticks of the timer; huge when endless
};

// "1.5 µs", "-200 ps", "1 s": the shortest exact-enough engineering text.
QString FormatTime(Ps t, int significant = 6);
// "666.667 kHz" for 1/Δt.
QString FormatFrequency(double hertz);

} // namespace timing
