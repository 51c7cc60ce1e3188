// Measures the instrument link's costs: the CPU a reply wait burns while it
// waits for nothing, and how long a scan over absent ports takes.
#include "comm/discovery.h"
#include "comm/exchange.h"
#include "serial/pgcomport.h"
#include "serial/port_table.h"
#include "tests/support/pty_peer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void silentWait(bool allowEvents) {
    testsupport::PtyPeer silent;
    serialport::SetPortTableOverride({QString::fromStdString(silent.path())});
    TPGComPort port;
    port.SetShowErrors(false);
    port.SetEndOfResponse("\r");
    port.SetResponseTime(2000);
    port.SetAllowEvents(allowEvents);
    port.Open();
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    port.Read();
    const double cpu = cpuSeconds() - cpu0;
    const double secs = double(wall.elapsed()) / 1000.0;
    std::printf("2 s reply wait, events %s: wall %.3f s, cpu %.3f s (%.2f %%)\n",
                allowEvents ? "on " : "off", secs, cpu, 100.0 * cpu / secs);
}

void scan(const QStringList& table, const char* what) {
    serialport::SetPortTableOverride(table);
    TPGComPort port;
    communication::ComPort = &port;
    QElapsedTimer wall;
    wall.start();
    const bool found = communication::ConnectInstrument();
    std::printf("scan over %s: %.2f ms (found: %s)\n", what, double(wall.nsecsElapsed()) / 1e6,
                found ? "yes" : "no");
    communication::ComPort = nullptr;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    silentWait(true);
    silentWait(false);
    QStringList absent;
    for (int i = 1; i <= 100; ++i)
        absent << QStringLiteral("/dev/pg5400-absent-%1").arg(i);
    scan(absent, "100 absent device paths");
    serialport::SetPortTableOverride({});
    qputenv("PG5400_PORTS", "");
    scan({}, "the /dev enumeration");
    return 0;
}
