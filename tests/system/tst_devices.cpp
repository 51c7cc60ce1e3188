// The right device, every time: an unplugged instrument is never replaced by
// another device, a device back under its stable name is taken up again,
// demonstration mode reaches no port, and a device that vanishes during a
// read-back is reported once. Device names are symlinks in a folder of the
// test's own, standing in for /dev.
#include "comm/discovery.h"
#include "comm/exchange.h"
#include "controls/plusspinedit.h"
#include "controls/terminal_view.h"
#include "panel/command_queue.h"
#include "panel/panel_state.h"
#include "serial/device_holders.h"
#include "serial/pgcomport.h"
#include "serial/pick_port_dialog.h"
#include "serial/port_table.h"
#include "serial/tty_device.h"
#include "tests/support/panel_harness.h"
#include "tests/support/pty_peer.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
using testsupport::PanelHarness;
using testsupport::PtyPeer;

namespace {

const QString kLostText = QStringLiteral("Port no longer available, restart?");

void writeLock(const QString& file, qint64 pid) {
    QFile lock(file);
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(pid).rightJustified(10, ' ') + '\n');
}

qint64 readLock(const QString& file) {
    QFile lock(file);
    return lock.open(QIODevice::ReadOnly) ? lock.readAll().trimmed().toLongLong() : 0;
}

bool link(const QString& target, const QString& name) {
    QFile::remove(name);
    return QFile::link(target, name);
}

QString path(const std::string& p) {
    return QString::fromStdString(p);
}

} // namespace

class TstDevices : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { serialport::SetDeviceRoot({}); }

    // The instrument at ttyACM0 (COM1) is unplugged while another serial
    // device sits at ttyUSB0: nothing reaches that one, and the user is asked.
    void unpluggedInstrumentIsNotReplaced() {
        QTemporaryDir dev;
        PtyPeer other;
        PanelHarness h("5402");
        QVERIFY(link(path(h.instrument().devicePath()), dev.filePath("ttyACM0")));
        QVERIFY(link(path(other.path()), dev.filePath("ttyUSB0")));
        serialport::SetPortTableOverride({});
        serialport::SetDeviceRoot(dev.path());
        QVERIFY(h.start());
        QCOMPARE(h.form()->ComPort->BoundDevice(), dev.filePath("ttyACM0"));

        h.answers().enqueue(QMessageBox::No);
        h.instrument().disconnect();
        QFile::remove(dev.filePath("ttyACM0")); // COM1 is now ttyUSB0
        QTRY_COMPARE_WITH_TIMEOUT(h.answers().texts(), QStringList{kLostText}, 5000);
        QVERIFY(communication::ShutdownBegun);
        QTest::qWait(50);
        QCOMPARE(other.received(), std::string());
    }

    // A USB device re-enumerating: gone for a moment, back under the same
    // stable name (another pseudo-terminal behind it). The panel takes it up
    // without a question and reads everything back, also where it is back
    // before its firmware answers: the search keeps quiet meanwhile (no
    // box, no poll) and takes it up once it answers, within its time.
    void sameStableNameIsTakenUpAgain_data() {
        QTest::addColumn<bool>("answersLate");
        QTest::newRow("answering") << false;
        QTest::newRow("not answering yet") << true;
    }

    void sameStableNameIsTakenUpAgain() {
        QFETCH(bool, answersLate);
        QTemporaryDir dev;
        PanelHarness h("5404+");
        const QString stable = dev.filePath("usb-Pellgrave_5404_1234-if00");
        QVERIFY(link(path(h.instrument().devicePath()), stable));
        serialport::SetPortTableOverride({stable});
        QVERIFY(h.start());

        sim::ServerOptions options;
        options.instrument.model = "5404+";
        // Its first probe (echo off twice, the identity) goes unanswered.
        for (std::size_t line = 1; answersLate && line <= 3; ++line)
            options.faults.onLine[line] = sim::ReplyFault::NoReply;
        sim::PtyServer replugged(options);
        QVERIFY(replugged.start());
        replugged.withInstrument(
            [](sim::Instrument& i) { return i.handleLine(":PULS0:PER 0.005"); });
        h.instrument().disconnect();
        QFile::remove(stable);
        QTest::qWait(300);
        QVERIFY(link(path(replugged.devicePath()), stable));

        QTRY_COMPARE_WITH_TIMEOUT(h.form()->PeriodAdj->Value(), 0.005, 5000);
        QVERIFY(h.waitIdle());
        QCOMPARE(h.answers().texts(), QStringList{});
        QVERIFY(!communication::ShutdownBegun);
        const std::vector<std::string> lines = replugged.lines();
        QCOMPARE(lines.at(0), std::string(":SYST:COMM:USB:ECH OFF"));
        QVERIFY(std::find(lines.begin(), lines.end(), ":PULS0:PER?") != lines.end());
    }

    // The device vanishes in the middle of a read-back: one question, not
    // one per remaining line.
    void vanishingDuringReadBackAsksOnce() {
        QTemporaryDir dev;
        PanelHarness h("5454");
        // Through a name that goes with the device: a closed pseudo-terminal's
        // number is soon another's.
        const QString name = dev.filePath("ttyACM0");
        QVERIFY(link(path(h.instrument().devicePath()), name));
        serialport::SetPortTableOverride({name});
        QVERIFY(h.start());
        QFile::remove(name);
        sim::Faults f = h.instrument().faults();
        f.disconnectAfter = h.mark() + 20;
        h.instrument().setFaults(f);
        h.answers().setFallback(QMessageBox::No);
        h.form()->Up1->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(communication::ShutdownBegun, 10000);
        QTest::qWait(100);
        QCOMPARE(h.answers().texts(), QStringList{kLostText});
    }

    // The device goes while the poll runs and nobody is at the desk: the
    // question stays open for several poll intervals, and still there is one
    // box, no second search and no poll meanwhile. Answered, it ends the panel.
    void lostDeviceAsksOnceWhileNobodyAnswers() {
        QTemporaryDir dev;
        PanelHarness h("5404+");
        const QString name = dev.filePath("ttyACM0");
        QVERIFY(link(path(h.instrument().devicePath()), name));
        serialport::SetPortTableOverride({name});
        QVERIFY(h.start());
        // Six polls at a quarter of the usual interval, and past the search's
        // grace, while the box stays open.
        h.form()->StatusTimer->setInterval(250);
        h.answers().setAnswerDelay(1500);
        h.answers().setFallback(QMessageBox::No);
        int boxesOpen = 0;
        h.answers().setBoxObserver([&](QMessageBox*) {
            const QWidgetList all = QApplication::topLevelWidgets();
            boxesOpen = int(std::count_if(all.begin(), all.end(), [](QWidget* w) {
                return qobject_cast<QMessageBox*>(w) && w->isVisible();
            }));
        });
        QFile::remove(name);
        h.instrument().disconnect();
        QTRY_VERIFY_WITH_TIMEOUT(communication::ShutdownBegun, 10000);
        QTest::qWait(100);
        QCOMPARE(h.answers().texts(), QStringList{kLostText});
        QCOMPARE(boxesOpen, 1);
        QCOMPARE(h.restarts(), 0);
    }

    // Edits keep coming while a full queue goes out and the device vanishes
    // under it: the queue, lines taken for sending included, never holds
    // more than its limit, and what did not go out is refused in sight.
    void queueStaysWithinItsLimitWhenTheDeviceGoes() {
        QTemporaryDir dev;
        sim::ServerOptions options;
        options.instrument.model = "5404";
        options.faults.replyDelay = std::chrono::milliseconds(5);
        PanelHarness h(options);
        const QString name = dev.filePath("ttyACM0");
        QVERIFY(link(path(h.instrument().devicePath()), name));
        serialport::SetPortTableOverride({name});
        QVERIFY(h.start());
        TMainForm* f = h.form();
        f->StatusTimer->stop();
        QFile::remove(name);
        sim::Faults faults = h.instrument().faults();
        faults.disconnectAfter = h.mark() + 30;
        h.instrument().setFaults(faults);
        h.answers().setFallback(QMessageBox::No);
        int most = 0;
        int refused = 0;
        QTimer editor;
        editor.callOnTimeout([&] {
            for (int i = 0; i < 10 && !communication::ShutdownBegun; ++i)
                refused += !f->QueueLine(QStringLiteral(":PULS1:DEL 0.%1").arg(i + 1));
            most = std::max(most, pg5400::TaskList.Count());
        });
        editor.start(2);
        QTRY_VERIFY_WITH_TIMEOUT(communication::ShutdownBegun, 10000);
        editor.stop();
        QVERIFY(most <= pg5400::MaxQueuedCommands);
        QVERIFY(refused > 0);
        QVERIFY(f->ResponseList->toPlainText().contains(
            QStringLiteral("Command queue full, not sent")));
    }

    // Demonstration mode: a recall and a file playback show their lines as
    // not sent; no port is opened, whatever COM1 is.
    void demoRecallAndPlaybackReachNoPort() {
        QTemporaryDir dir;
        PanelHarness h("5402");
        TMainForm::StartOptions options;
        options.demo = true;
        QVERIFY(h.start(options));
        TMainForm* f = h.form();
        f->RestoreBinItems[2]->trigger();
        QVERIFY(h.waitIdle());

        const QString file = dir.filePath("settings.txt");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("// saved\r\n:PULS0:PER 0.002\r\n:PULS1:WIDT 0.000001\r\n");
        out.close();
        h.answers().setDialogHandler([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (!dialog || !dialog->isVisible())
                return;
            dialog->selectFile(file);
            auto* box = dialog->findChild<QDialogButtonBox*>();
            for (QAbstractButton* button : box->buttons())
                if (box->buttonRole(button) == QDialogButtonBox::AcceptRole)
                    return button->click();
        });
        f->RestoreSettingsFromFile1->trigger();
        QVERIFY(h.waitIdle());
        QTRY_VERIFY(h.answers().texts().contains(QStringLiteral("Settings loaded.")));

        QCOMPARE(h.mark(), std::size_t(0));
        QVERIFY(!f->ComPort->Opened());
        const QString terminal = f->ResponseList->toPlainText();
        for (const char* line : {"*RCL 2", ":PULS0:PER 0.002", ":PULS1:WIDT 0.000001"})
            QVERIFY2(terminal.contains(QLatin1String(line) + QStringLiteral("   [demo: not sent]")),
                     line);
        QVERIFY(!h.answers().texts().join(' ').contains(QStringLiteral("Error opening")));
    }

    // Lock files as other serial programs leave them: a live owner that has
    // the device open keeps the port (the scan goes on to the next and says
    // why); once it is gone its lock is taken over, and the panel's own lock
    // goes when it lets the port go.
    void lockFilesAreHonoured() {
        QTemporaryDir locks;
        const QString folder = serialport::LockDirectory();
        serialport::SetLockDirectory(locks.path());
        sim::ServerOptions options;
        options.instrument.model = "5402";
        sim::PtyServer first(options);
        QVERIFY(first.start());
        PanelHarness h("5404");
        serialport::SetPortTableOverride(
            {path(first.devicePath()), path(h.instrument().devicePath())});
        const QString firstLock = serialport::holders::LockFileFor(path(first.devicePath()));
        QProcess owner;
        owner.setStandardInputFile(path(first.devicePath()));
        owner.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(owner.waitForStarted());
        writeLock(firstLock, owner.processId());

        QVERIFY(h.start());
        QCOMPARE(h.form()->ComPort->Port(), 2);
        QCOMPARE(communication::ScanFindings(),
                 QStringList{QStringLiteral("COM1 %1: in use by sleep (PID %2)")
                                 .arg(path(first.devicePath()))
                                 .arg(owner.processId())});
        QVERIFY(first.lines().empty());
        const QString ownLock = serialport::holders::LockFileFor(path(h.instrument().devicePath()));
        QCOMPARE(readLock(ownLock), qint64(QCoreApplication::applicationPid()));
        owner.kill();
        owner.waitForFinished();

        // The owner is gone: its lock is stale and the port is taken.
        h.form()->ComPort->SetPort(1);
        QVERIFY(h.form()->ComPort->Open());
        QCOMPARE(readLock(firstLock), qint64(QCoreApplication::applicationPid()));
        QVERIFY(!QFile::exists(ownLock));
        h.form()->ExitApp();
        QVERIFY(!QFile::exists(firstLock));
        serialport::SetLockDirectory(folder);
    }

    // What the world-writable lock folder may hold instead of a lock: a PID
    // reused by a process that does not have the device, numbers no process
    // can have, a FIFO, a link. None keeps the panel off its instrument or
    // holds up the scan; each is replaced by the panel's own lock. A file
    // another program has just made and not yet filled is respected.
    void lockFilesThatMeanNothingAreTakenOver() {
        QTemporaryDir locks;
        const QString folder = serialport::LockDirectory();
        serialport::SetLockDirectory(locks.path());
        QProcess stranger;
        stranger.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(stranger.waitForStarted());
        const QByteArray strangerPid = QByteArray::number(stranger.processId());
        const QList<QPair<const char*, QByteArray>> plants{
            {"live PID without the device", strangerPid},
            // A dead process's, whose PID this process was given since.
            {"this process's PID, not made here",
             QByteArray::number(QCoreApplication::applicationPid())},
            {"PID beyond 32 bits", "4294967297"},
            {"PID -1 as unsigned", "4294967295"},
            {"negative PID", "-1"},
            {"FIFO", {}},
            {"link", {}},
        };
        for (const auto& [what, text] : plants) {
            PanelHarness h("5404");
            const QString lock =
                serialport::holders::LockFileFor(path(h.instrument().devicePath()));
            if (QByteArray(what) == "FIFO")
                QCOMPARE(::mkfifo(QFile::encodeName(lock).constData(), 0644), 0);
            else if (QByteArray(what) == "link")
                QVERIFY(QFile::link(QStringLiteral("/dev/null"), lock));
            else {
                QFile file(lock);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(text.rightJustified(10, ' ') + '\n');
                file.flush();
                // Old enough that its maker would have opened the device.
                file.setFileTime(QDateTime::currentDateTime().addSecs(-10),
                                 QFileDevice::FileModificationTime);
            }
            QVERIFY2(h.start(), what);
            QVERIFY2(h.form()->ComPort->Opened(), what);
            QCOMPARE(readLock(lock), qint64(QCoreApplication::applicationPid()));
            h.form()->ExitApp();
            QVERIFY2(!QFileInfo::exists(lock) && !QFileInfo(lock).isSymLink(), what);
        }

        // Made a moment ago and still empty: its maker is about to write.
        sim::PtyServer server;
        QVERIFY(server.start());
        const QString lock = serialport::holders::LockFileFor(path(server.devicePath()));
        QFile(lock).open(QIODevice::WriteOnly);
        TPGComPort port;
        serialport::SetPortTableOverride({path(server.devicePath())});
        port.SetShowErrors(false);
        port.SetPort(1);
        QVERIFY(!port.Open());
        QCOMPARE(port.LastOpenFailure().kind, serialport::OpenFailure::InUse);
        QCOMPARE(QFileInfo(lock).size(), qint64(0));
        // Made a moment ago by a live program that has not opened the device
        // yet (the usual order): it keeps the device.
        writeLock(lock, stranger.processId());
        QVERIFY(!port.Open());
        QCOMPARE(port.LastOpenFailure().kind, serialport::OpenFailure::InUse);
        QCOMPARE(readLock(lock), stranger.processId());
        stranger.kill();
        stranger.waitForFinished();
        serialport::SetLockDirectory(folder);
    }

    // No instrument found: the box keeps its text and lists in its details
    // each device that exists but could not be opened, and why.
    void noInstrumentBoxNamesDevicesItCouldNotOpen() {
        QTemporaryDir dev;
        // A device another program has open without locks (a plain file
        // stands in: pseudo-terminals are not checked for other openers).
        const QString held = dev.filePath(QStringLiteral("ttyUSB8"));
        {
            QFile node(held);
            QVERIFY(node.open(QIODevice::WriteOnly));
        }
        QProcess holder; // a terminal program without locks
        holder.setStandardInputFile(held);
        holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(holder.waitForStarted());
        QString denied = dev.filePath(QStringLiteral("ttyUSB7"));
        if (::geteuid() == 0) { // root opens anything a mode forbids; this one it cannot write
            QVERIFY(QFile::link(QStringLiteral("/proc/sys/kernel/osrelease"), denied));
        } else {
            QFile node(denied);
            QVERIFY(node.open(QIODevice::WriteOnly));
            node.close();
            QVERIFY(node.setPermissions({}));
        }
        PanelHarness h("5402");
        serialport::SetPortTableOverride({denied, held, dev.filePath("missing")});
        h.answers().enqueue(QMessageBox::No);
        QVERIFY(!h.start());
        QCOMPARE(h.answers().texts().size(), 1);
        QVERIFY(h.answers().texts().at(0).startsWith(QStringLiteral("No device found.")));
        const QString details = h.answers().details().at(0);
        QVERIFY2(details.contains(QStringLiteral("COM1 %1: permission denied").arg(denied)),
                 qPrintable(details));
        QVERIFY2(details.contains(QStringLiteral("COM2 %1: in use by sleep (PID %2)")
                                      .arg(held)
                                      .arg(holder.processId())),
                 qPrintable(details));
        QVERIFY(!details.contains(QStringLiteral("COM3")));
        QCOMPARE(QFileInfo(held).size(), 0);
        holder.kill();
        holder.waitForFinished();
    }

    // Stable names stand for their devices, each device once; the pick
    // dialog shows them with the device node as tooltip.
    void stableNamesNameTheDevices() {
        QTemporaryDir dev;
        PtyPeer a;
        PtyPeer b;
        QVERIFY(link(path(a.path()), dev.filePath("ttyACM0")));
        QVERIFY(link(path(b.path()), dev.filePath("ttyUSB0")));
        QVERIFY(QDir(dev.path()).mkpath(QStringLiteral("serial/by-id")));
        const QString stable = dev.filePath("serial/by-id/usb-Pellgrave_5404_1234-if00");
        QVERIFY(link(QStringLiteral("../../ttyUSB0"), stable));
        testsupport::ResetProgramState();
        serialport::SetDeviceRoot(dev.path());
        QCOMPARE(serialport::PortTable(), (QStringList{dev.filePath("ttyACM0"), stable}));

        TformPickPort dialog;
        dialog.AddPort(2, stable);
        dialog.SelectPort(2);
        QCOMPARE(dialog.listPorts->currentText(),
                 QStringLiteral("COM2 usb-Pellgrave_5404_1234-if00"));
        QCOMPARE(dialog.listPorts->itemData(0, Qt::ToolTipRole).toString(), path(b.path()));
        QCOMPARE(dialog.SelectedPort(), 2);
    }
};

QTEST_MAIN(TstDevices)
#include "tst_devices.moc"
