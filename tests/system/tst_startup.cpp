// Start-up modes, the log switch, and ending or restarting while an exchange
// is still on the stack.
#include "comm/comm_log.h"
#include "comm/exchange.h"
#include "panel/panel_state.h"
#include "serial/pgcomport.h"
#include "serial/pick_port_dialog.h"
#include "tests/support/panel_harness.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <unistd.h>

using testsupport::PanelHarness;

namespace {

void answerPick(PanelHarness& h, int entry) {
    h.answers().setDialogHandler([entry](QWidget* w) {
        auto* dialog = qobject_cast<TformPickPort*>(w);
        if (!dialog)
            return;
        if (entry < 0) {
            dialog->CancelBtn->click();
            return;
        }
        dialog->listPorts->setCurrentIndex(entry);
        dialog->OKBtn->click();
    });
}

} // namespace

class TstStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scanFindsTheInstrument() {
        PanelHarness h("5454");
        QVERIFY(h.start());
        QVERIFY(h.form()->isVisible());
        QVERIFY(h.form()->ComPort->Opened());
        QCOMPARE(h.form()->ComPort->ResponseTime(), 2000u);
        QVERIFY(h.form()->ComPort->AllowEvents());
        QVERIFY(h.form()->StatusTimer->isActive());
        QVERIFY(!pg5400::Running);
        QCOMPARE(h.answers().count(), 0);
    }

    void nothingFoundRetryRestarts() {
        PanelHarness h("5405"); // answers, but is no known model
        h.answers().enqueue(QMessageBox::Yes);
        QVERIFY(!h.start());
        QCOMPARE(h.answers().texts(),
                 QStringList{QStringLiteral("No device found. Try to reconnect?\n\r\n\rMake sure "
                                            "unit is fully powered on\n\rbefore selecting Yes")});
        QCOMPARE(h.restarts(), 1);
        QVERIFY(communication::ShutdownBegun);
        QVERIFY(!h.form()->isVisible());
        QVERIFY(!h.form()->ComPort->Opened());
    }

    void nothingFoundNoExits() {
        PanelHarness h("5405");
        h.answers().enqueue(QMessageBox::No);
        QVERIFY(!h.start());
        QCOMPARE(h.restarts(), 0);
        QVERIFY(communication::ShutdownBegun);
        QVERIFY(!h.form()->LaunchTimer->isActive());
    }

    void pickOkOpensWithoutIdentification() {
        PanelHarness h("5402");
        answerPick(h, 0);
        TMainForm::StartOptions options;
        options.pick = true;
        QVERIFY(h.start(options));
        QCOMPARE(h.form()->ComPort->Port(), 1);
        QVERIFY(h.form()->ComPort->Opened());
        QCOMPARE(h.form()->ComPort->Baud(), 115200);
        QVERIFY(h.linesSince(0).front() != "*IDN?");
    }

    void pickCancelEndsWithoutWindow() {
        PanelHarness h("5402");
        answerPick(h, -1);
        TMainForm::StartOptions options;
        options.pick = true;
        QVERIFY(!h.start(options));
        QVERIFY(!h.form()->isVisible());
        QCOMPARE(h.mark(), std::size_t(0));
    }

    void demoTouchesNoPort() {
        PanelHarness h("5404+");
        TMainForm::StartOptions options;
        options.demo = true;
        QVERIFY(h.start(options));
        QVERIFY(pg5400::DemoMode);
        QCOMPARE(h.answers().texts(), QStringList{QStringLiteral("Entering Demo Mode")});
        QVERIFY(!h.form()->ComPort->Opened());
        QCOMPARE(h.mark(), std::size_t(0));
    }

    void logSwitchWritesHeaderBeforeFirstReadBack() {
        QTemporaryDir dir;
        const QString here = QDir::currentPath();
        QDir::setCurrent(dir.path());
        {
            PanelHarness h("5402");
            TMainForm::StartOptions options;
            options.log = true;
            QVERIFY(h.start(options));
            QVERIFY(communication::LoggingEnabled);
            QVERIFY(h.form()->EnableLoggingMenu->isChecked());
            QFile log(communication::LogFileName());
            QVERIFY(log.open(QIODevice::ReadOnly));
            const QList<QByteArray> lines = log.readAll().split('\n');
            QVERIFY(lines[0].startsWith("PG5400 Communication Log File "));
            // The scan ran before the log was opened; the read-back is logged.
            QVERIFY(lines[1].startsWith("Sent    ("));
            QVERIFY(lines[1].contains(":PULS0:PER?"));
            h.form()->EnableLoggingMenu->trigger();
            QVERIFY(!communication::LoggingEnabled);
            QVERIFY(!h.form()->EnableLoggingMenu->isChecked());
        }
        QDir::setCurrent(here);
    }

    void exitDuringAnExchange() {
        PanelHarness h("5402");
        QVERIFY(h.start());
        // The read-back's first query goes unanswered; the time-out box is
        // answered No while the query is still waiting on the stack.
        sim::Faults faults;
        faults.onLine[h.mark() + 1] = sim::ReplyFault::NoReply;
        h.instrument().setFaults(faults);
        h.answers().enqueue(QMessageBox::No);
        const std::size_t mark = h.mark();
        h.form()->Up1Click(h.form()->Up1);
        QTRY_VERIFY_WITH_TIMEOUT(communication::ShutdownBegun, 8000);
        QTest::qWait(100);
        QCOMPARE(h.answers().texts(), QStringList{QStringLiteral("Communications lost. Restart?")});
        QVERIFY(!h.form()->ComPort->Opened());
        QVERIFY(!h.form()->StatusTimer->isActive());
        QVERIFY(!h.form()->TaskTimer->isActive());
        // Nothing went out after the unanswered query.
        QCOMPARE(h.linesSince(mark).size(), std::size_t(1));
        QCOMPARE(h.restarts(), 0);
    }

    void restartDuringAnExchangeFreesThePort() {
        PanelHarness h("5402");
        QVERIFY(h.start());
        sim::Faults faults;
        faults.onLine[h.mark() + 1] = sim::ReplyFault::NoReply;
        h.instrument().setFaults(faults);
        h.answers().enqueue(QMessageBox::Yes);
        h.form()->Up1Click(h.form()->Up1);
        QTRY_COMPARE_WITH_TIMEOUT(h.restarts(), 1, 8000);
        // A new instance can open the port at once.
        TPGComPort next;
        next.SetShowErrors(false);
        next.SetPort(1);
        QVERIFY(next.Open());
    }

    void ignoreResumesPolling() {
        PanelHarness h("5402");
        QVERIFY(h.start());
        sim::Faults faults;
        faults.onLine[h.mark() + 1] = sim::ReplyFault::NoReply;
        h.instrument().setFaults(faults);
        h.answers().enqueue(QMessageBox::Ignore);
        h.form()->Up1Click(h.form()->Up1);
        QTRY_COMPARE_WITH_TIMEOUT(h.answers().count(), 1, 8000);
        QVERIFY(h.waitIdle());
        QVERIFY(!communication::ShutdownBegun);
        QVERIFY(h.form()->StatusTimer->isActive());
    }

    // A panel stuck outside its event loop (a read that never returns) cannot
    // run a timer; the test still ends, with a failure saying what it waited
    // for, within the watchdog's limit (2 s here instead of 30).
    void stuckPanelEndsTheTest() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PG_STUCK_CHILD"), QStringLiteral("1"));
        env.insert(QStringLiteral("PG_WATCHDOG_SECONDS"), QStringLiteral("2"));
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("stuckChild")});
        QVERIFY(child.waitForFinished(30000));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() != 0,
                 output.constData());
        QVERIFY2(output.contains("watchdog: the GUI thread has been outside its event loop for 2 s "
                                 "(test stuckChild, waiting for "),
                 output.constData());
        QVERIFY2(output.contains(" lines at the instrument); ending the test"), output.constData());
    }

    // The child's half: the panel's next timer blocks in a read of a pipe
    // nobody writes to.
    void stuckChild() {
        if (!qEnvironmentVariableIsSet("PG_STUCK_CHILD"))
            QSKIP("runs inside stuckPanelEndsTheTest");
        PanelHarness h("5404+");
        QVERIFY(h.start());
        int pipe[2];
        QVERIFY(::pipe(pipe) == 0);
        QTimer::singleShot(0, h.form(), [&] {
            char byte;
            (void)!::read(pipe[0], &byte, 1);
        });
        h.waitForLineCount(h.mark() + 1000, std::chrono::seconds(60));
        QFAIL("the watchdog did not end the test");
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
