// Time from a spin step (one Up or Down key press on the period) to its set
// line arriving at the simulated instrument, over 200 steps.
//
//   bench_edit_latency [steps] [model]
//
// Prints the median, the 90th and 99th percentiles and the worst step in
// milliseconds. The goal is a median of at most 2.5 ms (a queued line wakes
// the task tick at once) and a 99th percentile of at most 20 ms.
#include "controls/plusspinedit.h"
#include "tests/support/edit_input.h"
#include "tests/support/panel_harness.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

double percentile(std::vector<double> sorted, double p) {
    const std::size_t i =
        std::min(sorted.size() - 1, std::size_t(p * double(sorted.size() - 1) + 0.5));
    return sorted[i];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int steps = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    const std::string model = argc > 2 ? argv[2] : "5404+";

    testsupport::PanelHarness h(model);
    if (!h.start()) {
        std::fprintf(stderr, "the panel did not start\n");
        return 1;
    }
    testsupport::ActivatePanel(h);
    TPlusSpinEdit* period = h.form()->PeriodAdj;
    if (!testsupport::FocusDigit(period, -6)) {
        std::fprintf(stderr, "the period's microsecond digit cannot be reached\n");
        return 1;
    }

    std::vector<double> ms;
    ms.reserve(std::size_t(steps));
    for (int i = 0; i < steps; ++i) {
        h.waitIdle();
        const std::size_t before = h.mark();
        const auto pressed = std::chrono::steady_clock::now();
        QTest::keyClick(period, i % 2 == 0 ? Qt::Key_Up : Qt::Key_Down);
        // The status poll's queries may arrive in between; the step's line is
        // the first period line after the press.
        std::optional<sim::TranscriptEntry> arrived;
        QDeadlineTimer deadline(5000);
        while (!arrived && !deadline.hasExpired()) {
            for (const sim::TranscriptEntry& e : h.instrument().transcript().entries())
                if (e.number > before && e.line.rfind(":PULS0:PER ", 0) == 0) {
                    arrived = e;
                    break;
                }
            if (!arrived)
                QTest::qWait(1);
        }
        if (!arrived) {
            std::fprintf(stderr, "step %d: no line arrived\n", i + 1);
            return 1;
        }
        ms.push_back(
            std::chrono::duration<double, std::milli>(arrived->received - pressed).count());
    }

    std::sort(ms.begin(), ms.end());
    std::printf("model %s, %d spin steps, key press to line at the instrument:\n", model.c_str(),
                steps);
    std::printf("  median %.2f ms, p90 %.2f ms, p99 %.2f ms, max %.2f ms\n", percentile(ms, 0.5),
                percentile(ms, 0.9), percentile(ms, 0.99), ms.back());
    std::printf("  goal: median <= 2.5 ms, p99 <= 20 ms: %s\n",
                percentile(ms, 0.5) <= 2.5 && percentile(ms, 0.99) <= 20 ? "met" : "NOT met");
    return 0;
}
