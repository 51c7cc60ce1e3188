// What the user does while the panel waits for the instrument: the close box,
// edits during a read-back, requests with edits still queued, the launch
// read-back, boxes between a line and its reply, refusals, a full queue and
// the log's check mark. The simulator answers slowly enough that the input
// arrives in the middle of an exchange; the input is queued the way the
// window system delivers it.
#include "comm/comm_log.h"
#include "comm/exchange.h"
#include "controls/plusspinedit.h"
#include "controls/terminal_view.h"
#include "instrument/settings_cache.h"
#include "panel/command_queue.h"
#include "panel/panel_state.h"
#include "serial/pgcomport.h"
#include "serial/port_table.h"
#include "serial/tty_device.h"
#include "tests/support/edit_input.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/panel_harness.h"
#include "tests/support/panel_view.h"
#include "tests/support/queued_input.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// One more read-back changes nothing on the screen; where it does, the
// failure names every change.
#define VERIFY_READBACK_CHANGES_NOTHING(h)                                                         \
    do {                                                                                           \
        const QStringList changes = ReadBackChanges(h);                                            \
        QVERIFY2(changes.isEmpty(), qPrintable(changes.join(QStringLiteral("\n  "))));             \
    } while (false)
using namespace std::chrono_literals;
using namespace testsupport;
using namespace pg5400;

namespace {

sim::ServerOptions slowInstrument(const std::string& model, std::chrono::milliseconds delay) {
    sim::ServerOptions options;
    options.instrument.model = model;
    options.faults.replyDelay = delay;
    return options;
}

TMainForm* thePanel() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TMainForm*>(w))
            return form;
    return nullptr;
}

std::string ask(PanelHarness& h, const std::string& query) {
    return h.instrument().withInstrument([&](sim::Instrument& i) { return i.handleLine(query); });
}

// Calls `step` every millisecond, from whichever event loop runs (reply
// waits included), until it returns true.
class Watch {
public:
    explicit Watch(std::function<bool()> step) {
        QObject::connect(&timer, &QTimer::timeout, [this, step = std::move(step)] {
            if (!done && step())
                done = true;
        });
        timer.start(1);
    }
    bool done = false;

private:
    QTimer timer;
};

} // namespace

class TstReentry : public QObject {
    Q_OBJECT

private:
    // Runs the whole program against a slow simulator and presses the close
    // box once `when` holds; the run must end with status 0, the port free
    // and no line written after the shutdown began.
    void closeWhen(const std::function<bool(TMainForm*, sim::PtyServer&)>& when) {
        ResetProgramState();
        sim::PtyServer server(slowInstrument("5404+", 3ms));
        QVERIFY(server.start());
        const QString path = QString::fromStdString(server.devicePath());
        serialport::SetPortTableOverride({path});
        std::size_t atShutdown = 0;
        bool closed = false;
        Watch watch([&] {
            if (closed && communication::ShutdownBegun) {
                atShutdown = server.transcript().received();
                return true;
            }
            TMainForm* form = thePanel();
            if (!closed && form && form->isVisible() && when(form, server)) {
                QueueClose(form);
                closed = true;
            }
            return false;
        });
        const int status = TMainForm::RunProgram({});
        if (atShutdown == 0) // the close ended the event loop before the watch saw it
            atShutdown = server.transcript().received();
        QVERIFY(closed);
        QCOMPARE(status, 0);
        QVERIFY(communication::ShutdownBegun);
        QVERIFY(atShutdown > 0);
        // The port closes as the shutdown begins; the one line written just
        // before may still be on its way to the simulator (an exchange has
        // one line in flight), but nothing may follow it.
        QTest::qWait(100);
        const std::size_t settled = server.transcript().received();
        QVERIFY2(
            settled <= atShutdown + 1,
            qPrintable(QStringLiteral("%1 lines after the shutdown").arg(settled - atShutdown)));
        QTest::qWait(300);
        QCOMPARE(server.transcript().received(), settled);
        serialport::TtyDevice device;
        QVERIFY(device.open(path)); // released: another program can take it
        ResetProgramState();
    }

private Q_SLOTS:
    void closeBoxDuringFirstReadBack() {
        closeWhen([](TMainForm* form, sim::PtyServer& server) {
            return form->Busy() && server.transcript().received() > 30;
        });
    }

    void closeBoxDuringStatusPoll() {
        bool slowed = false;
        closeWhen([&](TMainForm* form, sim::PtyServer& server) {
            if (form->Busy() || form->LaunchTimer->isActive())
                return false;
            if (!slowed) { // the poll's reply now takes a while
                sim::Faults f = server.faults();
                f.replyDelay = 80ms;
                server.setFaults(f);
                slowed = true;
            }
            return StatusBusy;
        });
    }

    void closeBoxDuringRecall() {
        bool asked = false;
        closeWhen([&](TMainForm* form, sim::PtyServer&) {
            if (!asked && !form->Busy() && !form->LaunchTimer->isActive()) {
                form->RestoreBinItems[1]->trigger();
                asked = true;
            }
            return asked && form->Busy() && RecallRequested != 0;
        });
    }

    // Clicks, keys and a terminal line during a read-back do not take: the
    // controls keep showing what the instrument holds.
    void inputDuringReadBackDoesNotTake() {
        PanelHarness h(slowInstrument("5404+", 2ms));
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const bool enabledBefore = f->ChEnablebox[1]->isChecked();
        const int historyBefore = f->SendEdit->count();
        const std::size_t mark = h.mark();
        Watch watch([&] {
            if (!f->Busy() || h.mark() < mark + 20)
                return false;
            QueueClick(f->ChEnablebox[1]);
            QueueClick(f->RunStopbtn);
            QueueClick(f->SendEdit->lineEdit());
            QueueText(f, QStringLiteral(":PULS1:WIDT 0.5"));
            QueueKey(f, Qt::Key_Return);
            return true;
        });
        f->Up1Click(f->Up1);
        QVERIFY(h.waitIdle());
        QTRY_VERIFY(watch.done);
        QVERIFY(h.waitIdle());
        QCOMPARE(f->ChEnablebox[1]->isChecked(), enabledBefore);
        QCOMPARE(f->RunStopbtn->text(), QStringLiteral("Run"));
        QCOMPARE(f->SendEdit->count(), historyBefore);
        QVERIFY(h.setLinesSince(mark).empty());
        VERIFY_READBACK_CHANGES_NOTHING(h);
        // Once it is over the same input takes.
        QueueClick(f->ChEnablebox[1]);
        QTRY_COMPARE(f->ChEnablebox[1]->isChecked(), !enabledBefore);
        QVERIFY(h.waitIdle());
        VERIFY_READBACK_CHANGES_NOTHING(h);
    }

    // An edit clicked while a poll waits for its reply is kept for after it.
    void inputDuringAnExchangeWaitsForIt() {
        PanelHarness h(slowInstrument("5402", 1ms));
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        sim::Faults slow = h.instrument().faults();
        slow.replyDelay = 150ms;
        h.instrument().setFaults(slow);
        const bool before = f->ChEnablebox[1]->isChecked();
        bool clickedInside = false;
        Watch watch([&] {
            if (!StatusBusy)
                return false;
            QueueClick(f->ChEnablebox[1]);
            clickedInside = true;
            return true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(watch.done, 5000);
        QVERIFY(clickedInside);
        QTRY_COMPARE(f->ChEnablebox[1]->isChecked(), !before);
        slow.replyDelay = 1ms;
        h.instrument().setFaults(slow);
        QVERIFY(h.waitIdle());
        QCOMPARE(QLines(h.setLinesSince(0)).filter(QStringLiteral(":PULS1:STAT")).size(), 1);
        VERIFY_READBACK_CHANGES_NOTHING(h);
    }

    // Lines queued before a refresh or recall reach the instrument first; the
    // read-back then shows what it holds.
    void queuedEditsGoBeforeRefreshAndRecall() {
        PanelHarness h("5402");
        QVERIFY(h.start());
        TMainForm* f = h.form();
        std::size_t mark = h.mark();
        f->Up1Click(f->Up1);
        f->PeriodAdj->setValue(0.002);
        f->SysBurstAdj->setValue(5);
        QVERIFY(h.waitIdle());
        QStringList wire = QLines(h.linesSince(mark));
        QCOMPARE(wire.mid(0, 2), (QStringList{":PULS0:PER 0.002000000", ":PULS0:BCO 5"}));
        QVERIFY(wire.size() > 10);
        QCOMPARE(f->PeriodAdj->Value(), 0.002);
        QCOMPARE(f->SysBurstAdj->Value(), 5.0);

        // Bin 2 holds period 2 ms; an edit queued just before its recall is
        // sent first and then replaced by the bin.
        f->SaveBinItems[2]->trigger();
        QVERIFY(h.waitIdle());
        mark = h.mark();
        f->PeriodAdj->setValue(0.003);
        f->RestoreBinItems[2]->trigger();
        QVERIFY(h.waitIdle());
        wire = QLines(h.linesSince(mark));
        QCOMPARE(wire.mid(0, 2), (QStringList{":PULS0:PER 0.003000000", "*RCL 2"}));
        QCOMPARE(ask(h, ":PULS0:PER?"), std::string("0.002000000000"));
        QCOMPARE(f->PeriodAdj->Value(), 0.002);
        VERIFY_READBACK_CHANGES_NOTHING(h);
    }

    // A Run click before the launch read-back, whose reply comes late: the
    // read-back waits for it instead of running inside its wait.
    void launchReadBackWaitsForExchange() {
        PanelHarness h("5404+");
        TMainForm* f = h.form();
        QVERIFY(f->FormCreate({}));
        sim::Faults late = h.instrument().faults();
        const std::size_t scanned = h.mark();
        late.onLine[scanned + 1] = sim::ReplyFault::Late;
        late.lateBy = 700ms;
        h.instrument().setFaults(late);
        f->show();
        Click(f->RunStopbtn);
        QVERIFY(h.waitIdle(15s));
        const QStringList wire = QLines(h.linesSince(scanned));
        QCOMPARE(wire.value(0), QStringLiteral(":PULS0:STAT ON"));
        QVERIFY(ask(h, ":PULS0:STAT?") == "1");
        QCOMPARE(f->RunStopbtn->text(), QStringLiteral("Stop"));
        QVERIFY(f->PeriodAdj->Value() > 0);
        VERIFY_READBACK_CHANGES_NOTHING(h);
    }

    // A failed log write inside an exchange: its box opens only after the
    // reply has been read, and the menu's check mark goes off with logging.
    void logFailureBoxWaitsForReply() {
        QTemporaryDir dir;
        const QString here = QDir::currentPath();
        QDir::setCurrent(dir.path());
        PanelHarness h(slowInstrument("5402", 20ms));
        QVERIFY(h.start());
        TMainForm* f = h.form();
        f->EnableLoggingMenu->trigger();
        QVERIFY(communication::LoggingEnabled);
        QVERIFY(f->EnableLoggingMenu->isChecked());
        bool boxSeen = false;
        bool boxInsideExchange = false;
        h.answers().setBoxObserver([&](QMessageBox*) {
            boxSeen = true;
            boxInsideExchange = boxInsideExchange || communication::ExchangeInProgress();
        });
        FileSizeLimit limit(100);
        QVERIFY(limit.ok());
        f->SysBurstAdj->setValue(9);
        QTRY_VERIFY(!communication::LoggingEnabled);
        QTRY_VERIFY(boxSeen);
        limit.lift();
        QDir::setCurrent(here);
        QVERIFY(!boxInsideExchange);
        QCOMPARE(h.answers().texts(), QStringList{communication::kLogNotWritableMessage});
        QVERIFY(!f->EnableLoggingMenu->isChecked());
        QVERIFY(h.waitIdle());
        QCOMPARE(ask(h, ":PULS0:BCO?"), std::string("9"));
        VERIFY_READBACK_CHANGES_NOTHING(h);
    }

    // "Ch B" typed into channel A's list while B follows A: refused once,
    // though the box takes the focus from the list.
    void syncRefusalShownOnce() {
        PanelHarness h("5404");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        ShowTab(f->ChPageControl, 1);
        QVERIFY(Pick(f->ChSyncSourceSel[2], 1)); // B follows A
        ShowTab(f->ChPageControl, 0);
        QVERIFY(h.waitIdle());
        const std::size_t mark = h.mark();
        TypeText(f->ChSyncSourceSel[1], QStringLiteral("Ch B"), Finish::None);
        QTest::qWait(50);
        QCOMPARE(h.answers().texts(),
                 QStringList{QStringLiteral("Error. You cannot sync two channels to each other.")});
        QCOMPARE(f->ChSyncSourceSel[1]->currentText(), QStringLiteral("T0"));
        QVERIFY(h.setLinesSince(mark).empty());
    }

    // A full queue refuses the line: the control, the cache and the run
    // state stay at what the instrument holds.
    void fullQueueLeavesControlAndCache() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const QStringList before = PanelView(f);
        TaskBusy = true; // the tick waits, the queue fills
        for (int i = 0; i < MaxQueuedCommands; ++i)
            f->QueuedCommandToPort(QStringLiteral("*CLS"));
        Click(f->ChEnablebox[1]);
        Click(f->RunStopbtn);
        f->PeriodAdj->setValue(0.005);
        f->ChDelayAdj[2]->setValue(1e-6);
        QVERIFY(StepDigit(f->PeriodAdj, -3, 1));
        QCOMPARE(PanelView(f), before);
        QCOMPARE(f->ResponseList->toPlainText().count(QStringLiteral("Command queue full")), 5);
        TaskBusy = false;
        f->TaskTimer->start();
        QVERIFY(h.waitIdle());
        VERIFY_READBACK_CHANGES_NOTHING(h);
        QVERIFY(!Running);
    }
};

QTEST_MAIN(TstReentry)
#include "tst_reentry.moc"
