// The right device, every time: an unplugged instrument is never replaced by
// another device, a device back under its stable name is taken up again,
// demonstration mode reaches no port, and a device that vanishes during a
// read-back is reported once. Device names are symlinks in a folder of the
// test's own, standing in for /dev.
#include "comm/exchange.h"
#include "controls/plusspinedit.h"
#include "panel/panel_state.h"
#include "panel/terminal_view.h"
#include "serial/pgcomport.h"
#include "serial/port_table.h"
#include "tests/support/panel_harness.h"
#include "tests/support/pty_peer.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;
using testsupport::PanelHarness;
using testsupport::PtyPeer;

namespace {

const QString kLostText = QStringLiteral("Port no longer available, restart?");

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
    // without a question and reads everything back.
    void sameStableNameIsTakenUpAgain() {
        QTemporaryDir dev;
        PanelHarness h("5404+");
        const QString stable = dev.filePath("usb-Pellgrave_5404_1234-if00");
        QVERIFY(link(path(h.instrument().devicePath()), stable));
        serialport::SetPortTableOverride({stable});
        QVERIFY(h.start());

        sim::ServerOptions options;
        options.instrument.model = "5404+";
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
        QVERIFY(h.answers().texts().isEmpty());
        QVERIFY(!communication::ShutdownBegun);
        const std::vector<std::string> lines = replugged.lines();
        QCOMPARE(lines.at(0), std::string(":SYST:COMM:USB:ECH OFF"));
        QVERIFY(std::find(lines.begin(), lines.end(), ":PULS0:PER?") != lines.end());
    }

    // The device vanishes in the middle of a read-back: one question, not
    // one per remaining line.
    void vanishingDuringReadBackAsksOnce() {
        PanelHarness h("5454");
        QVERIFY(h.start());
        sim::Faults f = h.instrument().faults();
        f.disconnectAfter = h.mark() + 20;
        h.instrument().setFaults(f);
        h.answers().setFallback(QMessageBox::No);
        h.form()->Up1->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(communication::ShutdownBegun, 10000);
        QTest::qWait(100);
        QCOMPARE(h.answers().texts(), QStringList{kLostText});
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
};

QTEST_MAIN(TstDevices)
#include "tst_devices.moc"
