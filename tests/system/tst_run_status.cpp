// Run control and the status poll against the simulated instrument.
#include "comm/exchange.h"
#include "instrument/settings_cache.h"
#include "panel/main_form.h"
#include "panel/panel_state.h"
#include "serial/port_table.h"
#include "tests/support/panel_harness.h"
#include "timing/timing_window.h"
#include "timing/trace_view.h"

#include <QFile>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>

using testsupport::PanelHarness;

namespace {

int countOf(const std::vector<std::string>& lines, const std::string& line) {
    return int(std::count(lines.begin(), lines.end(), line));
}

// The timer's own ticks are pushed far away, so each call below is one poll.
void pollByHand(PanelHarness& h) {
    h.form()->StatusTimer->setInterval(3600 * 1000);
}

void poll(PanelHarness& h) {
    QVERIFY(h.waitIdle());
    h.form()->StatusTimerTimer(h.form()->StatusTimer);
}

void showPage(QTabWidget* pages, int index) {
    QTabBar* bar = pages->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    QCOMPARE(pages->currentIndex(), index);
}

bool instrumentRunning(PanelHarness& h) {
    return h.instrument().withInstrument([](sim::Instrument& i) { return i.running(); });
}

} // namespace

class TstRunStatus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void runAndStopButton();
    void clickDroppedWhileSuspendedIsCorrectedByThePoll();
    void runStartedElsewhereShowsWithinOnePoll();
    void countersOnThePlusPageOrForTheDiagram();
    void errorBlinksAndIsNotAskedAgainUntilRefresh();
    void errorCodes();
    void firmwareOneNeverAsksForErrors();
    void demoModeSwitchesThePollOff();
    void pollWithoutReply_data();
    void pollWithoutReply();
    void unpluggedInstrumentAsksToRestart_data();
    void unpluggedInstrumentAsksToRestart();
};

void TstRunStatus::runAndStopButton() {
    PanelHarness h;
    QVERIFY(h.start());
    TMainForm* f = h.form();
    QCOMPARE(f->RunStopbtn->text(), QStringLiteral("Run"));

    std::size_t m = h.mark();
    QTest::mouseClick(f->RunStopbtn, Qt::LeftButton);
    // The display follows at once, before the instrument has the line.
    QCOMPARE(f->RunStopbtn->text(), QStringLiteral("Stop"));
    QVERIFY(pg5400::Running);
    QVERIFY(f->PulseAnimate->isVisible());
    QCOMPARE(f->PulseMovie->state(), QMovie::Running);
    QVERIFY(h.waitIdle());
    QCOMPARE(h.setLinesSince(m), std::vector<std::string>{":PULS0:STAT ON"});
    QVERIFY(instrumentRunning(h));

    m = h.mark();
    QTest::mouseClick(f->RunStopbtn, Qt::LeftButton);
    QCOMPARE(f->RunStopbtn->text(), QStringLiteral("Run"));
    QVERIFY(!pg5400::Running);
    QVERIFY(f->PulseAnimate->isHidden());
    QVERIFY(f->PulseMovie->state() != QMovie::Running);
    QCOMPARE(f->PulseMovie->currentFrameNumber(), 5);
    QVERIFY(h.waitIdle());
    QCOMPARE(h.setLinesSince(m), std::vector<std::string>{":PULS0:STAT OFF"});
    QVERIFY(!instrumentRunning(h));

    // The poll agrees with both and changes nothing.
    pollByHand(h);
    poll(h);
    QCOMPARE(f->RunStopbtn->text(), QStringLiteral("Run"));
}

void TstRunStatus::clickDroppedWhileSuspendedIsCorrectedByThePoll() {
    PanelHarness h;
    QVERIFY(h.start());
    pollByHand(h);
    TMainForm* f = h.form();
    const std::size_t m = h.mark();
    communication::CommandsSuspended = true;
    QTest::mouseClick(f->RunStopbtn, Qt::LeftButton);
    QCOMPARE(f->RunStopbtn->text(), QStringLiteral("Stop"));
    communication::CommandsSuspended = false;
    poll(h);
    QVERIFY(h.setLinesSince(m).empty());
    QCOMPARE(f->RunStopbtn->text(), QStringLiteral("Run"));
    QVERIFY(!pg5400::Running);
    QVERIFY(f->PulseAnimate->isHidden());
    QCOMPARE(f->PulseMovie->currentFrameNumber(), 5);
}

void TstRunStatus::runStartedElsewhereShowsWithinOnePoll() {
    PanelHarness h;
    QVERIFY(h.start());
    TMainForm* f = h.form();
    // What the command terminal does with a typed line.
    f->QueuedCommandToPort(QStringLiteral(":PULS0:STAT ON"));
    QVERIFY(QTest::qWaitFor([&] { return instrumentRunning(h); }, 5000));
    QCOMPARE(f->RunStopbtn->text(), QStringLiteral("Run"));
    const std::size_t m = h.mark();
    // The first poll after the line reached the instrument shows it.
    QVERIFY(QTest::qWaitFor(
        [&] { return countOf(h.linesSince(m), ":PULS0:STAT?") > 0 && !pg5400::StatusBusy; }, 5000));
    QCOMPARE(f->RunStopbtn->text(), QStringLiteral("Stop"));
    QVERIFY(pg5400::Running);
    QVERIFY(f->PulseAnimate->isVisible());
    QCOMPARE(f->PulseMovie->state(), QMovie::Running);
}

void TstRunStatus::countersOnThePlusPageOrForTheDiagram() {
    sim::ServerOptions options;
    options.instrument.externalTriggerPeriod = 0.001;
    PanelHarness h(options);
    // A burst of 42 shots on a 1 ms external trigger, both counters on.
    h.instrument().withInstrument([](sim::Instrument& i) {
        for (const char* line :
             {":PULS0:MOD BURS", ":PULS0:BCO 42", ":PULS0:EXT:MOD TRIG", ":PULS0:COUN:STAT 1",
              ":PULS0:EXTP:STAT 1", ":PULS0:EXTP:NCOU 2", ":PULS0:STAT ON"})
            QCOMPARE(i.handleLine(line), std::string("ok"));
    });
    QVERIFY(QTest::qWaitFor(
        [&] {
            return h.instrument().withInstrument(
                [](sim::Instrument& i) { return i.handleLine(":PULS0:COUN:COUN?") == "42"; });
        },
        5000));
    QVERIFY(h.start());
    pollByHand(h);
    TMainForm* f = h.form();
    QCOMPARE(pg5400::SystemSettings.ShotCounterEnabled, 1);
    QCOMPARE(pg5400::SystemSettings.PeriodCounterEnabled, 1);

    // The system page is shown: no counter is read.
    QCOMPARE(f->SystemPageControl->currentIndex(), 0);
    std::size_t m = h.mark();
    poll(h);
    QCOMPARE(countOf(h.linesSince(m), ":PULS0:COUN:COUN?"), 0);
    QCOMPARE(countOf(h.linesSince(m), ":PULS0:EXTP:PER?"), 0);
    QCOMPARE(f->ShotCountlbl->text(), QStringLiteral("Count: ----"));
    QCOMPARE(f->PCountlbl->text(), QStringLiteral("P: ----"));

    showPage(f->SystemPageControl, 1);
    m = h.mark();
    poll(h);
    QCOMPARE(countOf(h.linesSince(m), ":PULS0:COUN:COUN?"), 1);
    QCOMPARE(countOf(h.linesSince(m), ":PULS0:EXTP:PER?"), 1);
    QCOMPARE(f->ShotCountlbl->text(), QStringLiteral("Count:         42"));
    QCOMPARE(f->PCountlbl->text(), QStringLiteral("P: 0.0010000000"));

    // A counter that is off is not read and keeps its last reading.
    pg5400::SystemSettings.ShotCounterEnabled = 0;
    h.instrument().withInstrument([](sim::Instrument& i) { i.handleLine(":PULS0:COUN:CL"); });
    m = h.mark();
    poll(h);
    QCOMPARE(countOf(h.linesSince(m), ":PULS0:COUN:COUN?"), 0);
    QCOMPARE(f->ShotCountlbl->text(), QStringLiteral("Count:         42"));

    showPage(f->SystemPageControl, 0);
    m = h.mark();
    poll(h);
    QCOMPARE(countOf(h.linesSince(m), ":PULS0:EXTP:PER?"), 0);
    QCOMPARE(f->PCountlbl->text(), QStringLiteral("P: 0.0010000000"));

    // The timing diagram draws the burst at the measured trigger period, so
    // while it is open the period is read whatever page is shown.
    pg5400::MeasuredTriggerPeriod = 0;
    f->TimingDiagram1->trigger();
    const auto t0Note = [f] { return f->TimingDiagram()->view()->model().lanes()[0].note; };
    m = h.mark();
    poll(h);
    QCOMPARE(countOf(h.linesSince(m), ":PULS0:EXTP:PER?"), 1);
    QCOMPARE(countOf(h.linesSince(m), ":PULS0:COUN:COUN?"), 0);
    QTRY_VERIFY(t0Note().contains(QStringLiteral("trigger period 1 ms (measured)")));
    // 42 shots 1 ms apart: a trigger during the burst is ignored.
    QVERIFY(t0Note().contains(QStringLiteral("started by every 42nd trigger")));
    QCOMPARE(f->TimingDiagram()->view()->model().period(), 42 * timing::PsPerSecond / 1000);
    // Cleared, the old reading no longer paces it.
    f->PCountClearClick(f->PCountClear);
    QTRY_VERIFY(!t0Note().contains(QStringLiteral("measured")));
    QVERIFY(t0Note().contains(QStringLiteral("one sequence per trigger")));

    // The diagram says whether the outputs put any of it out.
    const auto banner = [f] { return f->TimingDiagram()->view()->params().banner; };
    QVERIFY(pg5400::Running);
    QTRY_COMPARE(banner(), QString());
    f->RunStopbtn->click();
    QTRY_VERIFY(banner().startsWith(QStringLiteral("Outputs stopped")));
}

void TstRunStatus::errorBlinksAndIsNotAskedAgainUntilRefresh() {
    PanelHarness h;
    QVERIFY(h.start());
    pollByHand(h);
    TMainForm* f = h.form();
    h.instrument().setErrorCode(2);
    std::size_t m = h.mark();
    poll(h);
    QCOMPARE(f->ErrorLabel->text(), QStringLiteral("Over Temperature Error"));
    QVERIFY(!f->ErrorLabel->isHidden());
    poll(h);
    QVERIFY(f->ErrorLabel->isHidden());
    poll(h);
    QVERIFY(!f->ErrorLabel->isHidden());
    poll(h);
    QVERIFY(f->ErrorLabel->isHidden());
    QCOMPARE(countOf(h.linesSince(m), "*ERS?"), 1);
    QCOMPARE(pg5400::ErrorCode, 2);

    // The instrument's error has cleared, but only a read-back lets the panel ask again.
    h.instrument().setErrorCode(0);
    poll(h);
    QVERIFY(!f->ErrorLabel->isHidden());
    QCOMPARE(countOf(h.linesSince(m), "*ERS?"), 1);

    f->Up1->trigger();
    QVERIFY(h.waitIdle());
    QVERIFY(f->ErrorLabel->isHidden());
    QCOMPARE(pg5400::ErrorCode, 0);
    m = h.mark();
    poll(h);
    poll(h);
    QCOMPARE(countOf(h.linesSince(m), "*ERS?"), 2);
    QVERIFY(f->ErrorLabel->isHidden());
}

void TstRunStatus::errorCodes() {
    PanelHarness h;
    QVERIFY(h.start());
    pollByHand(h);
    TMainForm* f = h.form();
    const std::pair<int, const char*> cases[] = {{1, "Over Current Error"},
                                                 {3, "Fan Failure"},
                                                 {2, "Over Temperature Error"},
                                                 // No text of its own: not the previous one.
                                                 {9, "Error Code 9"}};
    for (const auto& [code, text] : cases) {
        h.instrument().setErrorCode(code);
        poll(h);
        QCOMPARE(f->ErrorLabel->text(), QString::fromLatin1(text));
        QVERIFY(!f->ErrorLabel->isHidden());
        f->Up1->trigger();
        QVERIFY(h.waitIdle());
    }
    h.instrument().setErrorCode(-1);
    poll(h);
    QVERIFY(f->ErrorLabel->isHidden());
    QCOMPARE(pg5400::ErrorCode, -1);
}

void TstRunStatus::firmwareOneNeverAsksForErrors() {
    sim::ServerOptions options;
    options.instrument.firmware = "1.0.0";
    options.instrument.errorCode = 2;
    PanelHarness h(options);
    QVERIFY(h.start());
    pollByHand(h);
    const std::size_t m = h.mark();
    for (int i = 0; i < 3; ++i)
        poll(h);
    QCOMPARE(countOf(h.linesSince(m), ":PULS0:STAT?"), 3);
    QCOMPARE(countOf(h.linesSince(m), "*ERS?"), 0);
    QVERIFY(h.form()->ErrorLabel->isHidden());
}

void TstRunStatus::demoModeSwitchesThePollOff() {
    PanelHarness h;
    TMainForm::StartOptions demo;
    demo.demo = true;
    QVERIFY(h.start(demo));
    QVERIFY(QTest::qWaitFor([&] { return !h.form()->StatusTimer->isActive(); }, 5000));
    QCOMPARE(h.mark(), std::size_t(0));
    QCOMPARE(h.answers().texts(), QStringList{QStringLiteral("Entering Demo Mode")});
}

// The poll's first question gets no reply: "Communications lost. Restart?".
// Ignore goes on with 0 for it (the run indicator shows stopped) and asks the
// rest; Yes and No end the program with no further question.
void TstRunStatus::pollWithoutReply_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("Ignore goes on") << int(QMessageBox::Ignore);
    QTest::newRow("Yes restarts") << int(QMessageBox::Yes);
    QTest::newRow("No exits") << int(QMessageBox::No);
}

void TstRunStatus::pollWithoutReply() {
    QFETCH(int, answer);
    PanelHarness h;
    QVERIFY(h.start());
    pollByHand(h);
    TMainForm* f = h.form();
    f->RunStopbtn->click();
    QVERIFY(h.waitIdle());
    QTRY_VERIFY(pg5400::Running);
    sim::Faults silent = h.instrument().faults();
    const std::size_t m = h.mark();
    silent.onLine[m + 1] = sim::ReplyFault::NoReply;
    h.instrument().setFaults(silent);
    h.answers().enqueue(QMessageBox::StandardButton(answer));
    poll(h);
    QCOMPARE(h.answers().texts(), QStringList{QStringLiteral("Communications lost. Restart?")});
    const std::vector<std::string> asked = h.linesSince(m);
    QCOMPARE(asked.front(), std::string(":PULS0:STAT?"));
    if (answer == QMessageBox::Ignore) {
        QVERIFY(!communication::ShutdownBegun);
        QVERIFY(!pg5400::Running);
        QCOMPARE(f->RunStopbtn->text(), QStringLiteral("Run"));
        QVERIFY(asked.size() > 1); // the poll went on
        QVERIFY(f->StatusTimer->isActive());
    } else {
        QVERIFY(communication::ShutdownBegun);
        QCOMPARE(asked.size(), std::size_t(1));
        QCOMPARE(h.restarts(), answer == QMessageBox::Yes ? 1 : 0);
    }
}

void TstRunStatus::unpluggedInstrumentAsksToRestart_data() {
    QTest::addColumn<bool>("restart");
    QTest::newRow("Yes restarts") << true;
    QTest::newRow("No exits") << false;
}

void TstRunStatus::unpluggedInstrumentAsksToRestart() {
    QFETCH(bool, restart);
    QTemporaryDir dev;
    PanelHarness h;
    // Through a name that goes with the device: a closed pseudo-terminal's
    // number is soon another's.
    const QString name = dev.filePath(QStringLiteral("ttyACM0"));
    QVERIFY(QFile::link(QString::fromStdString(h.instrument().devicePath()), name));
    serialport::SetPortTableOverride({name});
    QVERIFY(h.start());
    pollByHand(h);
    // A live instrument passes the check without the port being touched.
    poll(h);
    QVERIFY(h.answers().texts().isEmpty());

    h.instrument().disconnect();
    QFile::remove(name);
    h.answers().enqueue(restart ? QMessageBox::Yes : QMessageBox::No);
    const std::size_t m = h.mark();
    poll(h);
    // The same device is looked for during one poll interval first.
    QTRY_COMPARE_WITH_TIMEOUT(h.answers().texts(),
                              QStringList{QStringLiteral("Port no longer available, restart?")},
                              3000);
    QCOMPARE(h.restarts(), restart ? 1 : 0);
    QVERIFY(communication::ShutdownBegun);
    QVERIFY(!h.form()->StatusTimer->isActive());
    QCOMPARE(h.mark(), m);
}

QTEST_MAIN(TstRunStatus)
#include "tst_run_status.moc"
