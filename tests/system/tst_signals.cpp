// SIGTERM, SIGHUP and SIGINT end the panel the way File > Exit does, even in
// the middle of a read-back or a poll: the event loop returns 0, the port and
// its lock file are gone, and nothing goes to the instrument after the line
// that was in flight.
#include "comm/comm_log.h"
#include "comm/exchange.h"
#include "serial/device_holders.h"
#include "serial/pgcomport.h"
#include "serial/port_table.h"
#include "serial/pty_pair.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/panel_harness.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

using testsupport::PanelHarness;

class TstSignals : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void endLikeExit_data();
    void endLikeExit();
    void endWhileAStartUpBoxWaits();
    void endDuringTheStartUpScan();
};

void TstSignals::endLikeExit_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("duringPoll");
    QTest::addColumn<bool>("deadStderr");
    QTest::addColumn<bool>("fullLog");
    for (const auto& [name, signal] :
         {std::pair{"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}, {"SIGINT", SIGINT}}) {
        QTest::addRow("%s during a read-back", name) << signal << false << false << false;
        QTest::addRow("%s during a poll", name) << signal << true << false << false;
    }
    // `pg5400 -serve 2>&1 | tee run.log` in a terminal that was closed.
    QTest::addRow("SIGTERM with standard error a closed pipe") << SIGTERM << false << true << false;
    // The signal's note cannot be logged: no box waits for someone to close it.
    QTest::addRow("SIGTERM with the log at its size limit") << SIGTERM << false << false << true;
}

void TstSignals::endLikeExit() {
    QFETCH(int, signal);
    QFETCH(bool, duringPoll);
    QFETCH(bool, deadStderr);
    QFETCH(bool, fullLog);
    QTemporaryDir logFolder;
    const QString here = QDir::currentPath();
    const auto backHome = qScopeGuard([&] { QDir::setCurrent(here); });
    if (fullLog)
        QDir::setCurrent(logFolder.path());
    std::unique_ptr<testsupport::FileSizeLimit> limit;
    int savedStderr = -1;
    if (deadStderr) {
        int p[2];
        QCOMPARE(::pipe(p), 0);
        ::close(p[0]);
        savedStderr = ::dup(2);
        ::dup2(p[1], 2);
        ::close(p[1]);
    }
    const auto restoreStderr = qScopeGuard([&] {
        if (savedStderr >= 0) {
            ::dup2(savedStderr, 2);
            ::close(savedStderr);
        }
    });
    sim::ServerOptions options;
    options.instrument.model = "5454";
    PanelHarness h(options);
    QVERIFY(h.start());
    TMainForm* f = h.form();
    f->ExitOnSignals();
    const QString lock = serialport::holders::LockFileFor(f->ComPort->DevicePath());
    QVERIFY(QFile::exists(lock));
    if (fullLog) {
        f->EnableLoggingMenu->trigger();
        QVERIFY(communication::LoggingEnabled);
    }

    // Slow replies, so the signal comes while a reply is awaited.
    sim::Faults slow = h.instrument().faults();
    slow.replyDelay = std::chrono::milliseconds(40);
    h.instrument().setFaults(slow);
    const std::size_t start = h.mark();
    if (duringPoll)
        f->StatusTimer->start(10);
    else
        f->Up1->trigger();

    // Raised from inside the reply wait of the chosen exchange.
    std::size_t raisedAt = 0;
    QTimer trigger;
    trigger.callOnTimeout([&] {
        const std::vector<std::string> lines = h.linesSince(start);
        const bool inPoll = !lines.empty() && lines.back() == ":PULS0:STAT?";
        const bool inReadBack = lines.size() > 5;
        if (raisedAt == 0 && communication::ExchangeInProgress() &&
            (duringPoll ? inPoll : inReadBack)) {
            raisedAt = h.mark();
            if (fullLog)
                limit = std::make_unique<testsupport::FileSizeLimit>(
                    QFileInfo(communication::LogFileName()).size());
            ::raise(signal);
        }
    });
    trigger.start(1);
    // Should the signal not end it, the loop ends with a status that says so.
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(99); });
    const int status = QCoreApplication::exec();

    limit.reset();
    QCOMPARE(status, 0);
    QVERIFY(raisedAt > 0);
    QCOMPARE(h.answers().texts(), QStringList{});
    QVERIFY(communication::ShutdownBegun);
    QVERIFY(!f->ComPort->Opened());
    QVERIFY(!QFile::exists(lock));
    QTest::qWait(100);
    QCOMPARE(h.linesSince(raisedAt), std::vector<std::string>{});
}

// Nobody at the desk, no instrument found: the start-up box waits before the
// event loop has ever run, and a signal ends the program there too.
void TstSignals::endWhileAStartUpBoxWaits() {
    sim::ServerOptions options;
    options.faults.everyLine = sim::ReplyFault::NoReply;
    PanelHarness h(options);
    h.answers().setAnswerDelay(20000); // longer than the harness lets a start take
    h.form()->ExitOnSignals();
    bool raised = false;
    QTimer trigger;
    trigger.callOnTimeout([&] {
        if (!raised && qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            raised = true;
            ::raise(SIGTERM);
        }
    });
    trigger.start(5);
    QVERIFY(!h.start());
    QVERIFY(raised);
    QCOMPARE(h.answers().count(), 0); // the signal closed the box, not the answer
    QVERIFY(communication::ShutdownBegun);
    QVERIFY(!QApplication::activeModalWidget());
}

// The start-up scan runs no event loop: a signal that comes while it probes
// many silent ports ends it after the port being probed, not after them all.
void TstSignals::endDuringTheStartUpScan() {
    PanelHarness h("5404+");
    h.form()->ExitOnSignals();
    constexpr int kSilent = 10; // each costs the scan at least 200 ms
    std::vector<std::unique_ptr<pty::PtyPair>> silent;
    QStringList table;
    for (int i = 0; i < kSilent; ++i) {
        silent.push_back(std::make_unique<pty::PtyPair>());
        QVERIFY(silent.back()->ok());
        table << QString::fromStdString(silent.back()->slavePath());
    }
    table << QString::fromStdString(h.instrument().devicePath());
    serialport::SetPortTableOverride(table);
    // The GUI thread is inside the scan: the signal comes from elsewhere.
    std::thread killer([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(::getpid(), SIGTERM);
    });
    const bool started = h.start();
    killer.join();
    QVERIFY(!started);
    QVERIFY(communication::ShutdownBegun);
    int probed = 0;
    for (const auto& port : silent) {
        char bytes[256];
        ::fcntl(port->masterFd(), F_SETFL, O_NONBLOCK);
        probed += ::read(port->masterFd(), bytes, sizeof bytes) > 0;
    }
    QVERIFY2(probed < kSilent / 2, qPrintable(QString::number(probed)));
    QCOMPARE(h.mark(), std::size_t(0));
}

QTEST_MAIN(TstSignals)
#include "tst_signals.moc"
