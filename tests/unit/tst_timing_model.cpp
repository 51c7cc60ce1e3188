// The timing model: where the pulses of the timer, channels and outputs lie,
// checked against edges worked out by hand.
#include "timing/timing_model.h"

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

} // namespace

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

    void polarityAndDisabledSource() {
        ChannelSettings a = channel(0, 100 * ns, 50 * ns);
        a.enabled = false;
        a.inverted = true;
        const Model m(make(1 * us, {a, channel(1, 200 * ns, 10 * ns)}));
        QVERIFY(m.lanes()[1].greyed);
        QVERIFY(m.lanes()[1].activeLow);
        QVERIFY(!m.lanes()[2].greyed);
        QVERIFY(!m.lanes()[2].activeLow);
        // Disabled A still triggers B: 100 + 200 = 300 ns.
        QCOMPARE(edges(m, 2, 0, 1 * us), (QList<Ps>{300'000, 310'000}));
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
        const Model m(make(1'000 * us, {channel(0, ToPs(1000.000000000005), 1 * ns)}));
        QCOMPARE(m.firstStart(1, 0, 2000 * s), std::optional<Ps>(1'000'000'000'000'005));
        // The next tick's pulse: 1000 s + 1 ms + 5 ps.
        QCOMPARE(edges(m, 1, 1000 * s + 2 * ns, 1000 * s + 1'000 * us + 1 * ns),
                 (QList<Ps>{1'000'001'000'000'005, 1'000'001'000'001'005}));
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
