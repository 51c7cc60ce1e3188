// Read-back time of a 5404+ against the simulated instrument paced at
// 115200 baud with a 1 ms turnaround, against the floor the line itself sets:
// the bytes on the wire at 10 bits each plus the 1 ms pause and the 1 ms
// turnaround of every exchange. The simulator paces only what it sends (the
// pseudo-terminal takes the panel's lines at once), so the floor counts the
// reply bytes; the floor with both directions paced is printed beside it.
// Also the CPU the panel's thread spends.
#include "tests/support/panel_harness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

double threadCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    sim::ServerOptions options;
    options.instrument.model = "5404+";
    options.faults.baud = 115200;
    options.faults.turnaround = std::chrono::milliseconds(1);
    testsupport::PanelHarness h(options);
    if (!h.start()) {
        std::fprintf(stderr, "panel did not start\n");
        return 1;
    }
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    std::vector<double> ratios, cpuShares, walls;
    for (int run = 0; run < runs; ++run) {
        const std::size_t mark = h.mark();
        QElapsedTimer wall;
        const double cpu0 = threadCpuSeconds();
        wall.start();
        h.form()->Initialize();
        const double seconds = double(wall.nsecsElapsed()) / 1e9;
        const double cpu = threadCpuSeconds() - cpu0;
        double floor = 0, floorBoth = 0;
        std::size_t exchanges = 0;
        for (const auto& e : h.instrument().transcript().entries()) {
            if (e.number <= mark)
                continue;
            const double sent = double(e.line.size() + 2);
            const double replied = double(e.reply.size() + 2);
            floor += replied * 10.0 / 115200.0 + 0.001 + 0.001;
            floorBoth += (sent + replied) * 10.0 / 115200.0 + 0.001 + 0.001;
            ++exchanges;
        }
        ratios.push_back(seconds / floor);
        cpuShares.push_back(cpu / seconds);
        walls.push_back(seconds);
        std::printf("run %d: %zu exchanges, %.1f ms, floor %.1f ms (both ways %.1f ms), ratio "
                    "%.3f, cpu %.1f %%\n",
                    run + 1, exchanges, seconds * 1e3, floor * 1e3, floorBoth * 1e3,
                    seconds / floor, 100.0 * cpu / seconds);
    }
    std::sort(ratios.begin(), ratios.end());
    std::sort(cpuShares.begin(), cpuShares.end());
    std::printf("median ratio %.3f (goal <= 1.10), median cpu %.1f %% (goal < 25 %%)\n",
                ratios[ratios.size() / 2], 100.0 * cpuShares[cpuShares.size() / 2]);
    return 0;
}
