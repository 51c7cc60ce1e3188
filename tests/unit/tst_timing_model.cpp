// The timing model: where the pulses of the timer, channels and outputs lie,
// checked against edges worked out by hand.
#include "timing/timing_model.h"
#include "timing/trace_paint.h"

#include <QRandomGenerator>
#include <QTest>
#include <limits>

using namespace timing;

namespace {

constexpr Ps ns = 1'000;
constexpr Ps us = 1'000'000;
constexpr Ps s = PsPerSecond;

ChannelSettings channel(int sync, Ps delay, Ps width, int mode = Normal) {
    ChannelSettings c;
    c.enabled = true;
    c.sync = sync;
    c.delay = delay;
    c.width = width;
    c.mode = mode;
    return c;
}

Settings make(Ps period, std::vector<ChannelSettings> channels, int mode = Normal) {
    Settings st;
    st.timer.period = period;
    st.timer.mode = mode;
    st.channels = std::move(channels);
    return st;
}

// Start and end of every stretch, pulse by pulse (resolution 0).
QList<Ps> edges(const Model& m, int lane, Ps from, Ps to) {
    QList<Ps> out;
    for (const Segment& seg : m.segments(lane, from, to, 0)) {
        out << seg.start << seg.end;
    }
    return out;
}

QList<Ps> starts(const Model& m, int lane, Ps from, Ps to) {
    QList<Ps> out;
    for (const Segment& seg : m.segments(lane, from, to, 0))
        out << seg.start;
    return out;
}

// Channels A to H of a 5454: A to D outputs, each channel disabled unless set.
Settings eight(Ps period, std::vector<std::pair<int, ChannelSettings>> set) {
    Settings st = make(period, std::vector<ChannelSettings>(8));
    for (int n = 1; n <= 4; ++n)
        st.channels[n - 1].output = true;
    for (auto& [n, c] : set) {
        c.output = n <= 4;
        st.channels[n - 1] = c;
    }
    st.muxGateSupported = true;
    return st;
}

// A [100, 300] ns on Out A through its mux gate, H [200, 500] ns.
Settings gatedByH(int gate, int channels = 8) {
    ChannelSettings a = channel(0, 100 * ns, 200 * ns);
    a.muxMask = 1;
    a.muxGate = gate;
    Settings st = eight(1 * us, {{1, a}, {8, channel(0, 200 * ns, 300 * ns)}});
    st.channels.resize(channels);
    return st;
}

Settings triggered(Ps period, int mode, Ps measured) {
    Settings st = make(period, {}, mode);
    st.timer.externalMode = Triggered;
    st.timer.measuredPeriod = measured;
    return st;
}

// The instrument's rules followed trigger by trigger: the pulse starts of
// each lane over the first `ticks` ticks of an evenly ticking timer.
std::vector<std::vector<Ps>> stepByStep(const Settings& st, std::int64_t ticks) {
    const TimerSettings& t = st.timer;
    std::vector<std::vector<Ps>> starts(st.channels.size() + 1);
    for (std::int64_t k = 0; k < ticks; ++k) {
        const std::int64_t cycle = t.dutyOn + t.dutyOff;
        const bool passes = t.mode == Normal       ? true
                            : t.mode == SingleShot ? k == 0
                            : t.mode == Burst      ? k < t.burstCount
                            : (t.cycleCount > 0 && k >= t.cycleCount * cycle)
                                ? false
                                : k % cycle < t.dutyOn;
        if (passes)
            starts[0].push_back(k * t.period);
    }
    for (std::size_t n = 1; n <= st.channels.size(); ++n) { // sources come first
        const ChannelSettings& c = st.channels[n - 1];
        Ps busyUntil = std::numeric_limits<Ps>::min();
        std::int64_t accepted = 0;
        for (Ps trigger : starts[std::size_t(c.sync)]) {
            if (trigger < busyUntil)
                continue; // busy with its pulse: ignored
            const std::int64_t o = accepted++ - c.waitCount;
            const bool fires =
                o >= 0 && (c.mode == Normal       ? true
                           : c.mode == SingleShot ? o == 0
                           : c.mode == Burst      ? o < c.burstCount
                                                  : o % (c.dutyOn + c.dutyOff) < c.dutyOn);
            if (fires) {
                busyUntil = trigger + c.delay + c.width;
                starts[n].push_back(trigger + c.delay);
            }
        }
    }
    return starts;
}

QString describe(const Settings& st) {
    QString text = QStringLiteral("T0 period %1 mode %2 burst %3 duty %4/%5 cycles %6")
                       .arg(st.timer.period)
                       .arg(st.timer.mode)
                       .arg(st.timer.burstCount)
                       .arg(st.timer.dutyOn)
                       .arg(st.timer.dutyOff)
                       .arg(st.timer.cycleCount);
    for (const ChannelSettings& c : st.channels)
        text += QStringLiteral("; sync %1 delay %2 width %3 mode %4 wait %5 burst %6 duty %7/%8")
                    .arg(c.sync)
                    .arg(c.delay)
                    .arg(c.width)
                    .arg(c.mode)
                    .arg(c.waitCount)
                    .arg(c.burstCount)
                    .arg(c.dutyOn)
                    .arg(c.dutyOff);
    return text;
}

} // namespace

Q_DECLARE_METATYPE(timing::Settings)

class TstTimingModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void delaysAddUpAlongTheSyncChain() {
        // A <- T0, B <- A, C <- B, D <- B; period 1 us.
        const Model m(
            make(1 * us, {channel(0, 100 * ns, 50 * ns), channel(1, -30 * ns, 20 * ns),
                          channel(2, 250 * ns, 10 * ns), channel(2, -2570 * ns, 40 * ns)}));
        QCOMPARE(m.lanes().size(), std::size_t(5));
        QCOMPARE(m.lanes()[3].sourceLane, 2);
        QCOMPARE(edges(m, 0, 0, 2 * us), (QList<Ps>{0, 0, 1'000'000, 1'000'000}));
        QCOMPARE(edges(m, 1, 0, 2 * us), (QList<Ps>{100'000, 150'000, 1'100'000, 1'150'000}));
        // 100 - 30 = 70 ns
        QCOMPARE(edges(m, 2, 0, 2 * us), (QList<Ps>{70'000, 90'000, 1'070'000, 1'090'000}));
        // 70 + 250 = 320 ns
        QCOMPARE(edges(m, 3, 0, 2 * us), (QList<Ps>{320'000, 330'000, 1'320'000, 1'330'000}));
        // 70 - 2570 = -2500 ns: ticks 0, 1, 2 land before time 0, none earlier.
        QCOMPARE(edges(m, 4, -10 * us, 0),
                 (QList<Ps>{-2'500'000, -2'460'000, -1'500'000, -1'460'000, -500'000, -460'000}));
        QCOMPARE(m.countStarts(4, -1000 * s, 0), 3);
        QCOMPARE(m.firstStart(4, 0, 1 * s), std::optional<Ps>(500'000)); // tick 3
    }

    void waitCountsSkipTriggerEvents() {
        ChannelSettings a = channel(0, 0, 10 * ns);
        a.waitCount = 2;
        ChannelSettings b = channel(1, 5 * ns, 10 * ns);
        b.waitCount = 1;
        ChannelSettings c = channel(1, 0, 10 * ns, SingleShot);
        c.waitCount = 2;
        const Model m(make(1 * us, {a, b, c}));
        // A skips ticks 0, 1.
        QCOMPARE(starts(m, 1, 0, 5 * us), (QList<Ps>{2'000'000, 3'000'000, 4'000'000}));
        // B skips A's first pulse (tick 2): 3 us + 5 ns.
        QCOMPARE(starts(m, 2, 0, 5 * us), (QList<Ps>{3'005'000, 4'005'000}));
        // C skips A's ticks 2, 3 and fires once at tick 4.
        QCOMPARE(starts(m, 3, 0, 1000 * s), (QList<Ps>{4'000'000}));
        // None of them fires on the first tick, nor does a disabled channel
        // count: one period fits T0 alone.
        ChannelSettings late = channel(0, 5 * us, 10 * ns);
        late.enabled = false;
        QCOMPARE(Model(make(1 * us, {a, b, c, late})).firstTickExtent(),
                 (std::pair<Ps, Ps>{0, 1 * us}));
    }

    void timerModes() {
        Settings burst = make(1 * us, {channel(0, 10 * ns, 1 * ns)}, Burst);
        burst.timer.burstCount = 3;
        const Model b(burst);
        QCOMPARE(b.countStarts(0, -1000 * s, 1000 * s), 3);
        QCOMPARE(starts(b, 1, 0, 1 * s), (QList<Ps>{10'000, 1'010'000, 2'010'000}));

        const Model single(make(1 * us, {}, SingleShot));
        QCOMPARE(single.countStarts(0, -1000 * s, 1000 * s), 1);

        // On 2, off 3, two cycles: ticks 0, 1, 5, 6, then the timer stops.
        Settings duty = make(1 * us, {}, DutyCycle);
        duty.timer.dutyOn = 2;
        duty.timer.dutyOff = 3;
        duty.timer.cycleCount = 2;
        QCOMPARE(starts(Model(duty), 0, 0, 1000 * s),
                 (QList<Ps>{0, 1'000'000, 5'000'000, 6'000'000}));
        // Endless: tick 1'000'002 is off (mod 5 = 2), the next on is 1'000'005.
        duty.timer.cycleCount = 0;
        QCOMPARE(Model(duty).firstStart(0, 1'000'002'000'000, 2 * s),
                 std::optional<Ps>(1'000'005'000'000));
    }

    void channelModesCountTheirOwnEvents() {
        // T0 on 2, off 1 ticks at 0, 1, 3, 4, 6, 7, 9, 10, ...
        ChannelSettings a = channel(0, 0, 10 * ns, Burst);
        a.burstCount = 3;
        a.waitCount = 1;
        ChannelSettings b = channel(0, 0, 10 * ns, DutyCycle);
        b.dutyOn = 1;
        b.dutyOff = 1;
        b.waitCount = 1;
        ChannelSettings c = channel(2, 0, 10 * ns, SingleShot);
        c.waitCount = 2;
        Settings st = make(1 * us, {a, b, c}, DutyCycle);
        st.timer.dutyOn = 2;
        st.timer.dutyOff = 1;
        const Model m(st);
        // A: skip tick 0, then three: 1, 3, 4.
        QCOMPARE(starts(m, 1, 0, 1000 * s), (QList<Ps>{1'000'000, 3'000'000, 4'000'000}));
        // B: events after the skip are 1, 3, 4, 6, 7, 9, 10; every other one passes.
        QCOMPARE(starts(m, 2, 0, 12 * us),
                 (QList<Ps>{1'000'000, 4'000'000, 7'000'000, 10'000'000}));
        // C: B's events 1, 4, 7; skip two.
        QCOMPARE(starts(m, 3, 0, 1000 * s), (QList<Ps>{7'000'000}));
    }

    // What the instrument puts out, edge by edge, worked out by hand: the
    // mux gate, disabled sources, busy channels, triggered sequences.
    void edgesByHand_data() {
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<int>("lane");
        QTest::addColumn<Ps>("from");
        QTest::addColumn<Ps>("to");
        QTest::addColumn<QList<Ps>>("expected");
        QTest::addColumn<QString>("note"); // part of the lane's note, or of its error

        // Lanes of eight(): T0, Ch A to Ch H (1 to 8), Out A to Out D (9 to 12).
        QTest::newRow("mux gate Gated: A while H is high")
            << gatedByH(MuxGated) << 9 << Ps(0) << 1 * us << QList<Ps>{200'000, 300'000}
            << "mux gate: Gated by Ch H";
        QTest::newRow("mux gate Inhibit: A while H is low")
            << gatedByH(MuxInhibit) << 9 << Ps(0) << 1 * us << QList<Ps>{100'000, 200'000}
            << "Inhibit";
        QTest::newRow("mux gate Invert: A inverted while H is high")
            << gatedByH(MuxInvert) << 9 << Ps(0) << 1 * us
            << QList<Ps>{100'000, 200'000, 300'000, 500'000} << "Invert";
        Settings hOff = gatedByH(MuxGated);
        hOff.channels[7].enabled = false;
        QTest::newRow("mux gate Gated by a disabled H: nothing passes")
            << hOff << 9 << Ps(0) << 1 * us << QList<Ps>{} << "which is disabled";
        QTest::newRow("mux gate on a model without Ch H")
            << gatedByH(MuxGated, 4) << 5 << Ps(0) << 1 * us << QList<Ps>{} << "no Ch H";

        ChannelSettings a = channel(0, 300 * ns, 32 * ns);
        a.muxMask = 1u | 1u << 5;
        ChannelSettings f = channel(0, 700 * ns, 20 * ns);
        f.enabled = false;
        QTest::newRow("disabled F adds nothing to Out A")
            << eight(1 * us, {{1, a}, {6, f}}) << 9 << Ps(0) << 1 * us
            << QList<Ps>{300'000, 332'000} << "";
        QTest::newRow("disabled F still triggers G: 700 + 100 ns")
            << eight(1 * us, {{6, f}, {7, channel(6, 100 * ns, 10 * ns)}}) << 7 << Ps(0) << 1 * us
            << QList<Ps>{800'000, 810'000} << "synced to Ch F, which is disabled";
        QTest::newRow("the disabled source says what it triggers")
            << eight(1 * us, {{6, f}, {7, channel(6, 100 * ns, 10 * ns)}}) << 6 << Ps(0) << 1 * us
            << QList<Ps>{} << "disabled; still triggers Ch G";

        QTest::newRow("busy: width 1.5 us at a 1 us period fires every 2nd tick")
            << make(1 * us, {channel(0, 0, 1500 * ns)}) << 1 << Ps(0) << 6 * us
            << QList<Ps>{0, 1'500'000, 2'000'000, 3'500'000, 4'000'000, 5'500'000}
            << "fires on every 2nd trigger";
        const Settings chainLate =
            make(1 * us, {channel(0, 1500 * ns, 100 * ns), channel(1, 1500 * ns, 100 * ns)});
        QTest::newRow("busy: delay 1.5 us beyond the period")
            << chainLate << 1 << Ps(0) << 8 * us
            << QList<Ps>{1'500'000, 1'600'000, 3'500'000, 3'600'000,
                         5'500'000, 5'600'000, 7'500'000, 7'600'000}
            << "every 2nd";
        QTest::newRow("busy in a chain: B's triggers come 2 us apart, none ignored")
            << chainLate << 2 << Ps(0) << 8 * us
            << QList<Ps>{3'000'000, 3'100'000, 5'000'000, 5'100'000, 7'000'000, 7'100'000} << "";
        ChannelSettings duty = channel(0, 0, 1500 * ns, DutyCycle);
        duty.dutyOn = 2;
        duty.dutyOff = 1;
        // Fires 0 and 2 (1 ignored), tick 4 is its off count, then 5 and 7, 9 off, 10, 12.
        QTest::newRow("busy duty cycle: on counts fire, the off count follows at once")
            << make(1 * us, {duty}) << 1 << Ps(0) << 13 * us
            << QList<Ps>{0,         1'500'000, 2'000'000,  3'500'000,  5'000'000,  6'500'000,
                         7'000'000, 8'500'000, 10'000'000, 11'500'000, 12'000'000, 13'500'000}
            << "ignores 2 of every 5 triggers";
        ChannelSettings burst = channel(0, 0, 1500 * ns, Burst);
        burst.waitCount = 1;
        burst.burstCount = 2;
        QTest::newRow("busy burst after a wait: ticks 1 and 3")
            << make(1 * us, {burst}) << 1 << Ps(0) << 1000 * s
            << QList<Ps>{1'000'000, 2'500'000, 3'000'000, 4'500'000} << "";
        QTest::newRow("busy, 10^11 ticks out: still on the even ticks, to the picosecond")
            << make(10 * ns, {channel(0, 5, 15 * ns)}) << 1 << 1000 * s << 1000 * s + 40 * ns
            << QList<Ps>{1000 * s + 5, 1000 * s + 15'005, 1000 * s + 20'005, 1000 * s + 35'005}
            << "every 2nd";

        QTest::newRow("triggered burst repeats at the measured period")
            <<
            [] {
                Settings st = triggered(100 * ns, Burst, 1 * us);
                st.timer.burstCount = 3;
                return st;
            }()
            << 0 << Ps(0) << 1300 * ns
            << QList<Ps>{0,         0,         100'000,   100'000,   200'000,   200'000,
                         1'000'000, 1'000'000, 1'100'000, 1'100'000, 1'200'000, 1'200'000}
            << "one sequence per trigger, trigger period 1 \u00b5s (measured)";
        QTest::newRow("triggered burst without a reading: drawn once")
            <<
            [] {
                Settings st = triggered(100 * ns, Burst, 0);
                st.timer.burstCount = 3;
                return st;
            }()
            << 0 << Ps(0) << 10 * us << QList<Ps>{0, 0, 100'000, 100'000, 200'000, 200'000}
            << "one sequence per trigger";
        QTest::newRow("a trigger during the burst is ignored: every 2nd starts one")
            <<
            [] {
                Settings st = triggered(1 * us, Burst, 1200 * ns);
                st.timer.burstCount = 3;
                return st;
            }()
            << 0 << Ps(0) << 5 * us
            << QList<Ps>{0,         0,         1'000'000, 1'000'000, 2'000'000,
                         2'000'000, 2'400'000, 2'400'000, 3'400'000, 3'400'000,
                         4'400'000, 4'400'000, 4'800'000, 4'800'000}
            << "started by every 2nd trigger";
        QTest::newRow("triggered duty cycle of 2 cycles per trigger")
            <<
            [] {
                Settings st = triggered(100 * ns, DutyCycle, 1 * us);
                st.timer.dutyOn = 1;
                st.timer.dutyOff = 1;
                st.timer.cycleCount = 2;
                return st;
            }()
            << 0 << Ps(0) << 1300 * ns
            << QList<Ps>{0, 0, 200'000, 200'000, 1'000'000, 1'000'000, 1'200'000, 1'200'000} << "";
        QTest::newRow("busy channel on a triggered burst, within each burst")
            <<
            [] {
                Settings st = triggered(100 * ns, Burst, 1 * us);
                st.timer.burstCount = 3;
                st.channels = {channel(0, 0, 150 * ns)};
                return st;
            }()
            << 1 << Ps(0) << 1300 * ns
            << QList<Ps>{0, 150'000, 200'000, 350'000, 1'000'000, 1'150'000, 1'200'000, 1'350'000}
            << "ignores 1 of every 3 triggers";
    }

    void edgesByHand() {
        QFETCH(Settings, settings);
        QFETCH(int, lane);
        QFETCH(Ps, from);
        QFETCH(Ps, to);
        QFETCH(QList<Ps>, expected);
        QFETCH(QString, note);
        const Model m(settings);
        QCOMPARE(edges(m, lane, from, to), expected);
        const Lane& l = m.lanes()[std::size_t(lane)];
        QVERIFY2((l.note + l.error).contains(note), qPrintable(l.note + l.error));
        // Counting agrees with the pulses drawn.
        QCOMPARE(m.countStarts(lane, from, to), qsizetype(starts(m, lane, from, to).size()));
    }

    // Random settings of four channels against the rules followed trigger by
    // trigger: busy channels in chains, with wait counts and every mode.
    void agreesWithATriggerByTriggerModel() {
        QRandomGenerator random(5400);
        const auto pick = [&](int lo, int hi) { return int(random.bounded(lo, hi + 1)); };
        constexpr std::int64_t ticks = 3000;
        for (int round = 0; round < 2000; ++round) {
            const Ps period = pick(1, 5) * 1000;
            Settings st = make(period, {}, pick(0, 3));
            st.timer.burstCount = pick(1, 300);
            st.timer.dutyOn = pick(1, 4);
            st.timer.dutyOff = pick(0, 3);
            st.timer.cycleCount = pick(0, 1) * pick(1, 40);
            for (int n = 1; n <= 4; ++n) {
                ChannelSettings c =
                    channel(pick(0, n - 1), pick(0, 120) * 100, pick(0, 120) * 100, pick(0, 3));
                c.waitCount = pick(0, 3);
                c.burstCount = pick(1, 20);
                c.dutyOn = pick(1, 4);
                c.dutyOff = pick(0, 3);
                st.channels.push_back(c);
            }
            const Model m(st);
            const std::vector<std::vector<Ps>> starts = stepByStep(st, ticks);
            // Near the start and far on, where a busy channel's repetition
            // counts: every pulse there comes from a tick followed.
            for (const auto& [from, to] : {std::pair<Ps, Ps>{0, 200 * period},
                                           std::pair<Ps, Ps>{2500 * period, 2700 * period}})
                for (int n = 1; n <= 4; ++n) {
                    // Pulses that touch are one stretch high.
                    const Ps width = st.channels[std::size_t(n - 1)].width;
                    QList<Ps> want;
                    for (Ps start : starts[std::size_t(n)]) {
                        if (start + width <= from && !(start + width == from && width == 0))
                            continue;
                        if (start >= to)
                            break;
                        if (!want.isEmpty() && want.back() == start)
                            want.back() = start + width;
                        else
                            want << start << start + width;
                    }
                    const QList<Ps> got = edges(m, n, from, to);
                    if (got != want)
                        qWarning()
                            << "lane" << n << describe(st) << "\n got" << got << "\n want" << want;
                    QCOMPARE(got, want);
                }
        }
    }

    void polarityBelongsToOutputs() {
        ChannelSettings a = channel(0, 100 * ns, 50 * ns);
        a.inverted = true;
        Settings st = eight(1 * us, {{1, a}, {5, a}});
        const Model m(st);
        QVERIFY(m.lanes()[1].activeLow);  // Ch A: an output
        QVERIFY(!m.lanes()[5].activeLow); // Ch E: virtual, no polarity of its own
        QVERIFY(m.lanes()[9].activeLow);  // Out A
    }

    // Zoomed out, a stretch with a real gap in it is a band with its count,
    // never a solid pulse; pulses that touch are solid; and panning leaves
    // every stretch as it was.
    void zoomKeepsGaps_data() {
        QTest::addColumn<Ps>("period");
        QTest::addColumn<int>("on"); // a duty cycle of `on` pulses, then `off` ticks without
        QTest::addColumn<int>("off");
        QTest::addColumn<Ps>("width");
        QTest::addColumn<Ps>("resolution");
        QTest::addColumn<bool>("band");
        QTest::addColumn<int>("total"); // pulses in stretches within 300 to 1700 us
        // Groups of 50 pulses 2 us apart, one group every 400 us.
        QTest::newRow("gaps of 0.5 us at 0.25 us: single pulses")
            << 2 * us << 50 << 150 << 1500 * ns << 250 * ns << false << 200;
        QTest::newRow("gaps of 0.5 us at 1 us: bands")
            << 2 * us << 50 << 150 << 1500 * ns << 1 * us << true << 200;
        QTest::newRow("gaps of 0.5 us at 30 us: bands")
            << 2 * us << 50 << 150 << 1500 * ns << 30 * us << true << 200;
        QTest::newRow("touching pulses at 1 us: solid")
            << 2 * us << 50 << 150 << 2 * us << 1 * us << false << 200;
        // Every other tick of 1 us: gaps of 1.2 us stay gaps at 1 us.
        QTest::newRow("gaps of 1.2 us at 1 us: single pulses")
            << 1 * us << 1 << 1 << 800 * ns << 1 * us << false << 700;
    }

    void zoomKeepsGaps() {
        QFETCH(Ps, period);
        QFETCH(int, on);
        QFETCH(int, off);
        QFETCH(Ps, width);
        QFETCH(Ps, resolution);
        QFETCH(bool, band);
        QFETCH(int, total);
        ChannelSettings a = channel(0, 0, width, DutyCycle);
        a.dutyOn = on;
        a.dutyOff = off;
        const Model m(make(period, {a}));
        std::optional<std::vector<Segment>> first;
        for (Ps origin : {Ps(0), 300 * ns, 1700 * ns}) {
            const auto all = m.segments(1, origin, origin + 2000 * us, resolution);
            std::vector<Segment> inner; // those well inside every window
            std::int64_t counted = 0;
            for (const Segment& seg : all) {
                QVERIFY2(seg.count == 1 || seg.band == band, qPrintable(FormatTime(seg.start)));
                QVERIFY2(band || seg.count == 1 || width >= period,
                         qPrintable(FormatTime(seg.start)));
                if (seg.start >= 300 * us && seg.end <= 1700 * us) {
                    inner.push_back(seg);
                    counted += seg.count;
                }
            }
            QCOMPARE(counted, std::int64_t(total));
            if (!first) {
                first = inner;
                continue;
            }
            QCOMPARE(inner.size(), first->size());
            for (std::size_t i = 0; i < inner.size(); ++i) {
                QCOMPARE(inner[i].start, (*first)[i].start);
                QCOMPARE(inner[i].end, (*first)[i].end);
                QCOMPARE(inner[i].count, (*first)[i].count);
            }
        }
    }

    void outputsOrTheirSelectedChannels() {
        ChannelSettings a = channel(0, 100 * ns, 50 * ns);
        a.output = true;
        a.muxMask = 0b111;
        ChannelSettings c = channel(0, 500 * ns, 10 * ns);
        c.output = true;
        c.muxMask = 0b100;
        const Model m(make(1 * us, {a, channel(0, 120 * ns, 100 * ns), c}));
        QCOMPARE(m.lanes().size(), std::size_t(6));
        QCOMPARE(m.lanes()[4].name, QStringLiteral("Out A"));
        QCOMPARE(m.lanes()[4].kind, LaneKind::Output);
        QCOMPARE(m.lanes()[5].name, QStringLiteral("Out C"));
        // A [100, 150] and B [120, 220] overlap into one; C [500, 510] stays apart.
        const auto seg = m.segments(4, 0, 1 * us, 0);
        QCOMPARE(seg.size(), std::size_t(2));
        QCOMPARE(seg[0].start, 100'000);
        QCOMPARE(seg[0].end, 220'000);
        QCOMPARE(seg[0].count, 2);
        QCOMPARE(seg[1].start, 500'000);
        QCOMPARE(seg[1].end, 510'000);
        QCOMPARE(seg[1].count, 1);
        QCOMPARE(m.countStarts(4, 0, 2 * us), 6);
        QCOMPARE(m.firstStart(4, 101 * ns, 1 * us), std::optional<Ps>(120'000));
        QCOMPARE(edges(m, 5, 0, 1 * us), (QList<Ps>{500'000, 510'000}));
    }

    void longDelayStaysExact() {
        QCOMPARE(ToPs(1000.000000000005), 1'000'000'000'000'005);
        QCOMPARE(ToPs(-30e-9), -30'000);
        QCOMPARE(ToPs(1.5e-6), 1'500'000);
        QCOMPARE(ToPs(1.0000000005e-6, 9), 1'000'000); // the wire's 9 decimals round it away
        const Model m(make(1'000 * us, {channel(0, ToPs(1000.000000000005), 1 * ns)}));
        QCOMPARE(m.firstStart(1, 0, 2000 * s), std::optional<Ps>(1'000'000'000'000'005));
        // Busy until 1000 s + 1 ns + 5 ps: the next trigger it takes is tick 1'000'001.
        QCOMPARE(edges(m, 1, 1000 * s + 2 * ns, 3000 * s),
                 (QList<Ps>{2'000'001'000'000'005, 2'000'001'000'001'005}));
        QCOMPARE(m.nearestEdge(1, 1000 * s, 10), std::optional<Ps>(1'000'000'000'000'005));
    }

    void syncLoopsGiveErrorLanes() {
        // A <- B, B <-> C, D <- B, E <- E, F <- channel 9, G <- T0 (fine),
        // H outputs A and G, G outputs G.
        std::vector<ChannelSettings> ch = {channel(2, 0, 1), channel(3, 0, 1), channel(2, 0, 1),
                                           channel(2, 0, 1), channel(5, 0, 1), channel(9, 0, 1),
                                           channel(0, 0, 1), channel(0, 0, 1)};
        ch[6].output = true;
        ch[6].muxMask = 1u << 6;
        ch[7].output = true;
        ch[7].muxMask = 1u | 1u << 6;
        const Model m(make(1 * us, ch));
        QCOMPARE(m.lanes().size(), std::size_t(11));
        for (int lane : {1, 2, 3, 4, 5, 6, 10}) {
            QVERIFY2(!m.lanes()[lane].error.isEmpty(), qPrintable(m.lanes()[lane].name));
            QVERIFY2(m.segments(lane, -1 * s, 1 * s, 0).empty(), qPrintable(m.lanes()[lane].name));
            QCOMPARE(m.countStarts(lane, -1 * s, 1 * s), 0);
            QVERIFY(!m.firstStart(lane, -1 * s, 1 * s));
        }
        for (int lane : {7, 8, 9})
            QVERIFY2(m.lanes()[lane].error.isEmpty(), qPrintable(m.lanes()[lane].name));
        QCOMPARE(m.lanes()[9].name, QStringLiteral("Out G"));
        QCOMPARE(starts(m, 9, 0, 2 * us), (QList<Ps>{0, 1'000'000}));
    }

    void hugeWindowCostsLikeASmallOne() {
        // 100 ns period; A passes 3 of every 5 ticks.
        ChannelSettings a = channel(0, 0, 10 * ns, DutyCycle);
        a.dutyOn = 3;
        a.dutyOff = 2;
        const Model m(make(100 * ns, {a}));
        // Enumerating these ticks one by one would never finish.
        const Ps from = 1000 * s, to = 1000 * s + 1'000 * us;
        // Ticks 10'000'000'000 .. 10'000'009'999.
        QCOMPARE(m.countStarts(0, from, to), 10'000);
        // Tick 1e10 is a cycle start: 2000 cycles of 3.
        QCOMPARE(m.countStarts(1, from, to), 6'000);
        QCOMPARE(m.countStarts(0, 0, 1000 * s), 10'000'000'000);

        const auto seg = m.segments(0, from, to, 2 * us);
        QVERIFY(!seg.empty() && seg.size() <= 4);
        std::int64_t total = 0;
        for (const Segment& band : seg)
            total += band.count;
        QCOMPARE(total, 10'000);
        QCOMPARE(seg.front().start, 1'000'000'000'000'000);
        QCOMPARE(seg.back().end, 1'000'000'999'900'000); // last tick: + 9999 * 100 ns

        // Far beyond the segment limit: bands, every tick still counted.
        const auto all = m.segments(0, 0, 1000 * s, 2 * us, 1000);
        QVERIFY(all.size() <= 1100);
        total = 0;
        for (const Segment& band : all)
            total += band.count;
        QCOMPARE(total, 10'000'000'000);
    }

    void sparseLaneSearch() {
        // A fires once, at tick 1000; B's burst of 3 therefore fires once too.
        ChannelSettings a = channel(0, 10 * ns, 20 * ns, SingleShot);
        a.waitCount = 1000;
        ChannelSettings b = channel(1, 5 * ns, 100 * ns, Burst);
        b.burstCount = 3;
        const Model m(make(1 * us, {a, b}));
        // 1 ms + 10 ns + 5 ns, for 100 ns.
        QCOMPARE(m.firstStart(2, 0, 1000 * s), std::optional<Ps>(1'000'015'000));
        QCOMPARE(m.countStarts(2, -1000 * s, 1000 * s), 1);
        QVERIFY(!m.firstStart(2, 1'000'015'001, 1000 * s));
        QVERIFY(!m.firstStart(2, 0, 1'000'015'000)); // the end is exclusive
        // Start at 45 ns vs end at 55 ns, and the other way round.
        QCOMPARE(m.nearestEdge(2, 1'000'060'000, 1 * us), std::optional<Ps>(1'000'015'000));
        QCOMPARE(m.nearestEdge(2, 1'000'070'000, 1 * us), std::optional<Ps>(1'000'115'000));
        QCOMPARE(m.nearestEdge(2, 1'000'014'000, 1'000), std::optional<Ps>(1'000'015'000));
        QVERIFY(!m.nearestEdge(2, 1'000'014'000, 999));
        QVERIFY(!m.nearestEdge(2, 500 * us, 1 * us));

        // A lone pulse at a coarse resolution is still that pulse, not a band.
        const auto seg = m.segments(2, 0, 1 * s, 10 * us);
        QCOMPARE(seg.size(), std::size_t(1));
        QCOMPARE(seg[0].start, 1'000'015'000);
        QCOMPARE(seg[0].end, 1'000'115'000);
        QCOMPARE(seg[0].count, 1);
        QVERIFY(!seg[0].band);
    }

    void formatTime() {
        QCOMPARE(FormatTime(1'000'000'000'000'005, 16), QStringLiteral("1000.000000000005 s"));
        QCOMPARE(FormatTime(1'000'000'000'000'005), QStringLiteral("1000 s"));
        QCOMPARE(FormatTime(1'000'000'000'000'005, ExactDigits),
                 QStringLiteral("1000.000000000005 s"));
        // Rounded, never truncated, into the next unit where it carries.
        QCOMPARE(FormatTime(1'999'999'999), QStringLiteral("2 ms"));
        QCOMPARE(FormatTime(999'999'600), QStringLiteral("1 ms"));
        QCOMPARE(FormatTime(1'234'565), QStringLiteral("1.23457 \u00b5s"));
        // A cursor on the edge of a 1000 s + 5 ps delay reads it to the picosecond.
        ViewState v;
        v.cursorA = 1'000'000'000'000'005;
        v.cursorB = 1'000'000'000'000'000;
        QVERIFY(CursorReadout(v).startsWith(
            QStringLiteral("A 1000.000000000005 s    B 1000 s    \u0394t -5 ps")));
        QCOMPARE(FormatTime(-1'500'000), QStringLiteral("-1.5 \u00b5s"));
        QCOMPARE(FormatTime(999), QStringLiteral("999 ps"));
        QCOMPARE(FormatTime(1'000), QStringLiteral("1 ns"));
        QCOMPARE(FormatTime(-999), QStringLiteral("-999 ps"));
        QCOMPARE(FormatTime(0), QStringLiteral("0 s"));
        // The most negative value has no positive twin.
        QCOMPARE(FormatTime(std::numeric_limits<Ps>::min()), QStringLiteral("-9223372 s"));
    }
};

QTEST_APPLESS_MAIN(TstTimingModel)
#include "tst_timing_model.moc"
