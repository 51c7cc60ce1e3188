// The whole panel with its instrument on another machine: ser2net (skipped
// where it is not installed) serves the simulated instrument's
// pseudo-terminal as raw TCP and as RFC 2217 Telnet, and the panel is given
// the URL. The wire shows the same lines as on the pseudo-terminal itself, and
// a server that goes away is a device that vanished.
#include "comm/exchange.h"
#include "panel/main_form.h"
#include "serial/pgcomport.h"
#include "serial/port_table.h"
#include "tests/link/ser2net_server.h"
#include "tests/support/panel_harness.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <algorithm>

using testsupport::AddAccepterRows;
using testsupport::PanelHarness;
using testsupport::Ser2netServer;

namespace {

const QString kLostText = QStringLiteral("Port no longer available, restart?");

// The timer's own ticks are pushed far away, so each call below is one poll.
void pollByHand(PanelHarness& h) {
    h.form()->StatusTimer->setInterval(3600 * 1000);
}

// A full read-back from the menu: the lines it sent, and how long it took.
std::vector<std::string> readBack(PanelHarness& h, qint64* ms) {
    const std::size_t m = h.mark();
    QElapsedTimer clock;
    clock.start();
    h.form()->Up1Click(h.form()->Up1);
    if (!h.waitIdle()) {
        qWarning("the read-back did not end within 10 s (%d lines so far)",
                 int(h.linesSince(m).size()));
        return {};
    }
    *ms = clock.elapsed();
    return h.linesSince(m);
}

} // namespace

class TstNetworkPanel : public QObject {
    Q_OBJECT

    // Serves the harness's instrument through ser2net and points the port
    // table at it; false when it could not start.
    static bool serve(PanelHarness& h, std::unique_ptr<Ser2netServer>& server, bool telnet) {
        server = std::make_unique<Ser2netServer>(
            QString::fromStdString(h.instrument().devicePath()),
            telnet ? Ser2netServer::Accepter::Rfc2217 : Ser2netServer::Accepter::Raw,
            QStringLiteral("115200n81"));
        if (!server->start()) {
            qWarning() << server->error();
            return false;
        }
        serialport::SetPortTableOverride({server->url()});
        return true;
    }

private Q_SLOTS:
    void init() {
        if (Ser2netServer::Program().isEmpty())
            QSKIP("ser2net is not installed (apt-get install ser2net): the panel is not tried "
                  "through a network serial server");
    }

    // Start-up (scan and first read-back) and a read-back from the menu send
    // the same lines through the network as on the pseudo-terminal.
    void readBackMatchesThePty_data() { AddAccepterRows(); }
    void readBackMatchesThePty() {
        QFETCH(bool, telnet);
        std::vector<std::string> directStart, directReadBack;
        qint64 directMs = 0;
        {
            PanelHarness h;
            QVERIFY(h.start());
            pollByHand(h);
            directStart = h.linesSince(0);
            directReadBack = readBack(h, &directMs);
        }
        QVERIFY(directReadBack.size() > 50);

        PanelHarness h;
        std::unique_ptr<Ser2netServer> server;
        QVERIFY(serve(h, server, telnet));
        QVERIFY(h.start());
        pollByHand(h);
        QCOMPARE(communication::ComPort->BoundDevice(), server->url());
        QCOMPARE(h.linesSince(0), directStart);
        qint64 networkMs = 0;
        const std::vector<std::string> networkReadBack = readBack(h, &networkMs);
        const auto differ = std::mismatch(networkReadBack.begin(), networkReadBack.end(),
                                          directReadBack.begin(), directReadBack.end());
        if (differ.first != networkReadBack.end() || differ.second != directReadBack.end())
            qWarning("the read-backs differ at line %d of %d/%d: \"%s\" through the network, "
                     "\"%s\" on the pseudo-terminal",
                     int(differ.first - networkReadBack.begin()), int(networkReadBack.size()),
                     int(directReadBack.size()),
                     differ.first != networkReadBack.end() ? differ.first->c_str() : "(end)",
                     differ.second != directReadBack.end() ? differ.second->c_str() : "(end)");
        QCOMPARE(networkReadBack, directReadBack);
        qInfo("read-back of %d lines: %lld ms on the pseudo-terminal, %lld ms through %s",
              int(directReadBack.size()), directMs, networkMs, qPrintable(server->url()));
    }

    // The server is killed in the middle of a read-back: one question, not
    // one per remaining line, and no restart behind the user's back.
    void killedServerDuringReadBackAsksOnce_data() { AddAccepterRows(); }
    void killedServerDuringReadBackAsksOnce() {
        QFETCH(bool, telnet);
        PanelHarness h("5454");
        std::unique_ptr<Ser2netServer> server;
        QVERIFY(serve(h, server, telnet));
        QVERIFY(h.start());
        h.answers().setFallback(QMessageBox::No);
        const std::size_t killAt = h.mark() + 20;
        QTimer watch;
        connect(&watch, &QTimer::timeout, &watch, [&] {
            if (h.mark() >= killAt) {
                watch.stop();
                server->kill();
            }
        });
        watch.start(1);
        h.form()->Up1->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(communication::ShutdownBegun, 10000);
        QTest::qWait(300);
        QCOMPARE(h.answers().texts(), QStringList{kLostText});
        QCOMPARE(h.restarts(), 0);
    }

    // Between exchanges, the status poll finds the connection gone without
    // touching the line, and tries the same URL again before it asks.
    void killedServerFoundByThePoll_data() { AddAccepterRows(); }
    void killedServerFoundByThePoll() {
        QFETCH(bool, telnet);
        PanelHarness h;
        std::unique_ptr<Ser2netServer> server;
        QVERIFY(serve(h, server, telnet));
        QVERIFY(h.start());
        pollByHand(h);
        QVERIFY(h.waitIdle());
        h.form()->StatusTimerTimer(h.form()->StatusTimer);
        QVERIFY(h.waitIdle());
        QVERIFY(h.answers().texts().isEmpty());

        server->kill();
        h.answers().enqueue(QMessageBox::Yes);
        h.form()->StatusTimerTimer(h.form()->StatusTimer);
        QTRY_COMPARE_WITH_TIMEOUT(h.answers().texts(), QStringList{kLostText}, 5000);
        QCOMPARE(h.restarts(), 1);
        QVERIFY(communication::ShutdownBegun);
        QVERIFY(!h.form()->StatusTimer->isActive());
    }
};

QTEST_MAIN(TstNetworkPanel)
#include "tst_network_panel.moc"
