// Measures what one edit costs the timing diagram: a new model from the
// changed settings and a full repaint, for eight chained channels and four
// outputs, at three zooms: about 100,000 timer pulses in view, about 20 per
// lane (each drawn on its own) and 1000 s (bands over billions of pulses).
// A second set makes four of the channels busy past the next trigger.
#include "timing/timing_model.h"
#include "timing/trace_paint.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using timing::Ps;

constexpr int kEdits = 300;
constexpr Ps kNs = 1000;
constexpr Ps kPeriod = 10 * kNs;

timing::Settings instrument(bool busy) {
    timing::Settings s;
    s.timer.period = kPeriod;
    struct Row {
        Ps delay, width;
        int mode;
        std::int64_t burst, on, off, wait;
        bool inverted;
    };
    // Each channel synced to the one before it, A to the timer.
    const Row rows[] = {
        {0, 4 * kNs, timing::Normal, 0, 0, 0, 0, false},
        {1500, 3 * kNs, timing::Normal, 0, 0, 0, 0, false},
        {2 * kNs, 2 * kNs, timing::DutyCycle, 0, 4, 6, 0, false},
        {500, 1 * kNs, timing::Normal, 0, 0, 0, 0, true},
        {3 * kNs, 2 * kNs, timing::Normal, 0, 0, 0, 10, false},
        {250, 1 * kNs, timing::Normal, 0, 0, 0, 0, false},
        {1 * kNs, 2 * kNs, timing::Burst, 60000, 0, 0, 0, false},
        {2 * kNs, 1 * kNs, timing::Normal, 0, 0, 0, 0, false},
    };
    // Busy: pulses and delays longer than the period, one in a duty cycle.
    const Row busyRows[] = {
        {0, 15 * kNs, timing::Normal, 0, 0, 0, 0, false},
        {1500, 3 * kNs, timing::Normal, 0, 0, 0, 0, false},
        {2 * kNs, 25 * kNs, timing::DutyCycle, 0, 4, 6, 0, false},
        {500, 1 * kNs, timing::Normal, 0, 0, 0, 0, true},
        {13 * kNs, 2 * kNs, timing::Normal, 0, 0, 0, 10, false},
        {250, 1 * kNs, timing::Normal, 0, 0, 0, 0, false},
        {1 * kNs, 32 * kNs, timing::Burst, 60000, 0, 0, 0, false},
        {2 * kNs, 1 * kNs, timing::Normal, 0, 0, 0, 0, false},
    };
    for (int n = 1; n <= 8; ++n) {
        const Row& r = (busy ? busyRows : rows)[n - 1];
        timing::ChannelSettings c;
        c.enabled = true;
        c.delay = r.delay;
        c.width = r.width;
        c.mode = r.mode;
        c.burstCount = r.burst;
        c.dutyOn = r.on;
        c.dutyOff = r.off;
        c.waitCount = r.wait;
        c.sync = n - 1;
        c.inverted = r.inverted;
        // A..D have outputs, each fed by itself and the virtual channel four on.
        c.output = n <= 4;
        c.muxMask = c.output ? (1u << (n - 1)) | (1u << (n + 3)) : 0u;
        s.channels.push_back(c);
    }
    return s;
}

struct Case {
    const char* name;
    Ps offset;
    Ps span;
};

double ms(qint64 ns) {
    return double(ns) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QImage image(1000, 520, QImage::Format_ARGB32_Premultiplied);
    timing::PaintParams params;
    params.area = image.rect();
    params.font = QApplication::font();
    const int laneCount = int(timing::Model(instrument(false)).lanes().size());
    const QRect lanes = params.lanesRect(laneCount);

    const Case cases[] = {
        {"1 ms (~100,000 pulses)", 0, 1'000'000'000},
        {"200 ns (~20 pulses)", 5'000 * kNs, 20 * kPeriod},
        {"1000 s (bands)", 0, 1000 * timing::PsPerSecond},
    };

    // One paint before measuring, so that loading the fonts is not an edit.
    {
        QPainter painter(&image);
        timing::PaintDiagram(painter, timing::Model(instrument(false)), timing::ViewState(),
                             params);
    }

    std::printf("platform %s, font %s %.1f pt, %dx%d image, %d lanes %d px wide, %d edits\n",
                qPrintable(QGuiApplication::platformName()), qPrintable(params.font.family()),
                params.font.pointSizeF(), image.width(), image.height(), laneCount, lanes.width(),
                kEdits);
    std::printf("%-24s %14s %12s %14s %10s %10s %10s\n", "view", "T0 pulses", "T0 segments",
                "in segments", "median ms", "p99 ms", "max ms");
    for (const bool busy : {false, true})
        for (const Case& c : cases) {
            const timing::Settings base = instrument(busy);
            timing::ViewState view;
            view.offset = c.offset;
            view.psPerPixel = double(c.span) / lanes.width();
            const Ps from = timing::TimeAt(lanes.left(), view, params);
            const Ps to = timing::TimeAt(lanes.right() + 1, view, params);
            const timing::Model model(base);
            const std::int64_t pulses = model.countStarts(0, from, to);
            // At 2 px resolution the timer's ticks join into bands; their counts
            // add up to the pulses in view.
            const std::vector<timing::Segment> segments =
                model.segments(0, from, to, Ps(2 * view.psPerPixel));
            std::int64_t held = 0;
            for (const timing::Segment& s : segments)
                held += s.count;

            std::vector<qint64> costs;
            costs.reserve(kEdits);
            QElapsedTimer clock;
            for (int i = 0; i < kEdits; ++i) {
                // As an edit would: one channel's delay changes, the model is rebuilt.
                timing::Settings edited = base;
                edited.channels[i % 8].delay += 100 * (1 + i / 8 % 10);
                clock.start();
                const timing::Model changed(edited);
                QPainter painter(&image);
                timing::PaintDiagram(painter, changed, view, params);
                painter.end();
                costs.push_back(clock.nsecsElapsed());
            }
            std::sort(costs.begin(), costs.end());
            const std::size_t p99 = (costs.size() * 99 + 99) / 100 - 1; // nearest rank
            std::printf("%-24s %14lld %12zu %14lld %10.2f %10.2f %10.2f\n",
                        qPrintable(QString::fromLatin1(c.name) +
                                   (busy ? QStringLiteral(", busy") : QString())),
                        static_cast<long long>(pulses), segments.size(),
                        static_cast<long long>(held), ms(costs[costs.size() / 2]), ms(costs[p99]),
                        ms(costs.back()));
        }
    return 0;
}
