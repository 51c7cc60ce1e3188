// Read-back time of a 5404+ directly on the simulator's pseudo-terminal and
// through ser2net on 127.0.0.1 (raw tcp:// and rfc2217://), the ratio of each
// network figure to the pty figure, over a number of runs (default 10).
//
//   bench_network_readback [runs]
//
// The ser2net configuration turns chardelay off, as the README advises; with
// ser2net's default the network figures are about 3.5 times the pty figure.
#include "serial/port_table.h"
#include "tests/link/ser2net_server.h"
#include "tests/support/panel_harness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using testsupport::PanelHarness;
using testsupport::Ser2netServer;

namespace {

// Median milliseconds of `runs` read-backs from the menu; negative on failure.
double medianReadBack(PanelHarness& h, int runs) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        h.form()->Up1Click(h.form()->Up1);
        if (!h.waitIdle())
            return -1;
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// One panel on its own simulator, reached through ser2net when an accepter is
// given.
double measure(const char* label, Ser2netServer::Accepter* accepter, int runs) {
    PanelHarness h("5404+");
    std::unique_ptr<Ser2netServer> server;
    if (accepter) {
        server =
            std::make_unique<Ser2netServer>(QString::fromStdString(h.instrument().devicePath()),
                                            *accepter, QStringLiteral("115200n81"));
        if (!server->start()) {
            std::fprintf(stderr, "%s: %s\n", label, qPrintable(server->error()));
            return -1;
        }
        serialport::SetPortTableOverride({server->url()});
    }
    if (!h.start()) {
        std::fprintf(stderr, "%s: the panel did not start\n", label);
        return -1;
    }
    return medianReadBack(h, runs);
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    if (Ser2netServer::Program().isEmpty()) {
        std::fprintf(stderr, "bench_network_readback: ser2net is not installed\n");
        return 1;
    }
    const double pty = measure("pty", nullptr, runs);
    Ser2netServer::Accepter raw = Ser2netServer::Accepter::Raw;
    Ser2netServer::Accepter telnet = Ser2netServer::Accepter::Rfc2217;
    const double tcp = measure("tcp", &raw, runs);
    const double rfc = measure("rfc2217", &telnet, runs);
    std::printf("read-back of a 5404+, median of %d runs:\n", runs);
    std::printf("  pty      %7.1f ms\n", pty);
    std::printf("  tcp      %7.1f ms  (%.2f x pty)\n", tcp, tcp / pty);
    std::printf("  rfc2217  %7.1f ms  (%.2f x pty)\n", rfc, rfc / pty);
    return pty > 0 && tcp > 0 && rfc > 0 ? 0 : 1;
}
