// Editing the system page and the plus features page with real keys and
// clicks, against the simulated instrument: the lines on the wire, in order,
// and what the cache and the enabling rules make of each edit.
#include "controls/plusspinedit.h"
#include "controls/terminal_view.h"
#include "instrument/settings_cache.h"
#include "sim/instrument.h"
#include "tests/support/edit_input.h"
#include "tests/support/panel_harness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <QTest>

using namespace pg5400;
using namespace testsupport;

class TstSystemEdit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void periodTypedSteppedAndRefused() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const std::size_t mark = MarkIdle(h);

        QVERIFY(TypeDigit(f->PeriodAdj, -3, '2'));
        // A nanosecond digit leaves the 5 ns grid: the control goes back and
        // the accepted period is sent once more.
        QVERIFY(TypeDigit(f->PeriodAdj, -9, '3'));
        QCOMPARE(f->PeriodAdj->Value(), 0.002);
        QVERIFY(StepDigit(f->PeriodAdj, -9, 1));

        COMPARE_LINES(SentSince(h, mark),
                      (QStringList{":PULS0:PER 0.002000000", ":PULS0:PER 0.002000000",
                                   ":PULS0:PER 0.002000005"}));
        QCOMPARE(SystemSettings.Period, 0.002000005);
        QVERIFY(RefusedSince(h, mark).isEmpty());
    }

    void pulseModesAndCounts() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const std::size_t mark = MarkIdle(h);

        QVERIFY(Pick(f->SystemModeSel, 2));
        QCOMPARE(SystemSettings.ModeIndex, 2);
        QVERIFY(f->SysBurstAdj->Enabled());
        QVERIFY(!f->SysDutyOnAdj->Enabled());
        QVERIFY(!f->CycleCountAdj->Enabled());
        // The largest count goes out unsigned.
        QVERIFY(TypeDigit(f->SysBurstAdj, 9, '4'));
        QCOMPARE(SystemSettings.BurstCount, 4000000000u);

        QVERIFY(Pick(f->SystemModeSel, 3));
        QVERIFY(!f->SysBurstAdj->Enabled());
        QVERIFY(f->SysDutyOnAdj->Enabled() && f->SysDutyOffAdj->Enabled());
        QVERIFY(f->CycleCountAdj->Enabled());
        QVERIFY(TypeDigit(f->SysDutyOnAdj, 0, '7'));
        QVERIFY(TypeDigit(f->SysDutyOffAdj, 0, '9'));

        COMPARE_LINES(SentSince(h, mark),
                      (QStringList{":PULS0:MOD BURS", ":PULS0:BCO 4000000000", ":PULS0:MOD DCYC",
                                   ":PULS0:PCO 7", ":PULS0:OCO 9"}));
        QCOMPARE(SystemSettings.DutyOnCount, 7u);
        QCOMPARE(SystemSettings.DutyOffCount, 9u);
        QVERIFY(RefusedSince(h, mark).isEmpty());
    }

    void externalTriggerAndGate() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const std::size_t mark = MarkIdle(h);

        QVERIFY(Pick(f->ExtModeSel, 1));
        QVERIFY(Pick(f->TriggerEdgeSel, 0));
        QVERIFY(Pick(f->TriggerEdgeSel, 1));
        QCOMPARE(SystemSettings.TriggerEdgeIndex, 1);
        QVERIFY(TypeDigit(f->TrigThresholdAdj, 0, '0'));
        QVERIFY(TypeDigit(f->TrigThresholdAdj, -1, '2'));
        QCOMPARE(SystemSettings.TriggerLevel, 0.2);
        QVERIFY(Pick(f->ExtModeSel, 2));
        QVERIFY(Pick(f->GatePolaritySel, 0));
        QVERIFY(Pick(f->GatePolaritySel, 1));
        QCOMPARE(SystemSettings.GatePolarityIndex, 1);
        QVERIFY(TypeDigit(f->TrigThresholdAdj, 0, '2'));
        QVERIFY(TypeDigit(f->TrigThresholdAdj, -1, '5'));
        // ReArm leaves every enabled state as the gated mode set it.
        QVERIFY(Pick(f->ExtModeSel, 3));
        QCOMPARE(SystemSettings.TriggerModeIndex, 3);
        QVERIFY(f->GatePolaritySel->isEnabled());
        QVERIFY(!f->TriggerEdgeSel->isEnabled());

        COMPARE_LINES(
            SentSince(h, mark),
            (QStringList{":PULS0:EXT:MOD TRIG", ":PULS0:EXT:EDG FALL", ":PULS0:EXT:EDG RIS",
                         ":PULS0:EXT:LEV 0.50", ":PULS0:EXT:LEV 0.20", ":PULS0:EXT:MOD GAT",
                         ":PULS0:EXT:POL LOW", ":PULS0:EXT:POL HIGH", ":PULS0:EXT:LEV 2.20",
                         ":PULS0:EXT:LEV 2.50", ":PULS0:EXT:MOD REARM"}));
        QVERIFY(RefusedSince(h, mark).isEmpty());
    }

    void autoStartLeavesTheCache() {
        PanelHarness h("5402");
        QVERIFY(h.start());
        TMainForm* f = h.form();
        const std::size_t mark = MarkIdle(h);
        Click(f->AutoStartEnbl);
        Click(f->AutoStartEnbl);
        COMPARE_LINES(SentSince(h, mark), (QStringList{":SYST:AUT 1", ":SYST:AUT 0"}));
        QCOMPARE(SystemSettings.AutoStart, 0);
    }

    void periodCounterGoesOffWithTheTrigger() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        ShowTab(f->SystemPageControl, 1);
        std::size_t mark = MarkIdle(h);

        QVERIFY(Pick(f->ExtModeSel, 1));
        Click(f->PeriodCounterEn);
        QCOMPARE(SystemSettings.PeriodCounterEnabled, 1);
        QVERIFY(Pick(f->ExtModeSel, 0));
        QVERIFY(!f->PeriodCounterEn->isChecked());
        QVERIFY(!f->PeriodCounterEn->isEnabled());
        QCOMPARE(SystemSettings.PeriodCounterEnabled, 0);
        COMPARE_LINES(SentSince(h, mark), (QStringList{":PULS0:EXT:MOD TRIG", ":PULS0:EXTP:STAT ON",
                                                       ":PULS0:EXT:MOD DIS", ":PULS0:EXTP:STAT OFF",
                                                       ":PULS0:EXTP:STAT OFF"}));

        // With the counter already off, leaving the trigger sends nothing more.
        mark = MarkIdle(h);
        QVERIFY(Pick(f->ExtModeSel, 1));
        QVERIFY(Pick(f->ExtModeSel, 0));
        COMPARE_LINES(SentSince(h, mark),
                      (QStringList{":PULS0:EXT:MOD TRIG", ":PULS0:EXT:MOD DIS"}));
    }

    void plusFeatures() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        ShowTab(f->SystemPageControl, 1);
        QVERIFY(Pick(f->ExtModeSel, 1));
        QVERIFY(Pick(f->SystemModeSel, 3));
        const std::size_t mark = MarkIdle(h);

        Click(f->PCAutoEn);
        QCOMPARE(SystemSettings.PeriodCounterAuto, 1);
        QVERIFY(TypeDigit(f->PCountadj, 0, '8'));
        QCOMPARE(SystemSettings.PeriodCounterCount, 8);
        f->PCountlbl->setText(QStringLiteral("P: 0.001,000,000"));
        Click(f->PCountClear);
        QCOMPARE(f->PCountlbl->text(), QStringLiteral("P: ----"));
        f->ShotCountlbl->setText(QStringLiteral("Count: 42"));
        Click(f->ClearShotCount);

        Click(f->SynchEnable);
        QVERIFY(f->SynchUpdatebtn->isEnabled());
        QCOMPARE(SystemSettings.SyncAutoUpdate, 0);
        Click(f->SynchUpdatebtn);
        Click(f->SynchEnable);
        QVERIFY(!f->SynchUpdatebtn->isEnabled());
        QCOMPARE(SystemSettings.SyncAutoUpdate, 1);

        Click(f->ShotCountEnbl);
        QCOMPARE(SystemSettings.ShotCounterEnabled, 1);
        QVERIFY(Pick(f->ShotCountSel, 3));
        QCOMPARE(SystemSettings.ShotCounterSourceIndex, 3);
        QVERIFY(TypeDigit(f->CycleCountAdj, 2, '5'));
        QCOMPARE(SystemSettings.CycleCount, 500);

        COMPARE_LINES(
            SentSince(h, mark),
            (QStringList{":PULS0:EXTP:AUT ON", ":PULS0:EXTP:NCOU 8", ":PULS0:EXTP:CL",
                         ":PULS0:COUN:CL", ":SYST:UPD:AUTO 0", ":SYST:UPD:EX", ":SYST:UPD:AUTO 1",
                         ":PULS0:COUN:STAT 1", ":PULS0:COUN:SOUR CHC", ":PULS0:CCO 500"}));
        QVERIFY(RefusedSince(h, mark).isEmpty());
        // The shot count label waits for the next poll.
        QCOMPARE(f->ShotCountlbl->text(), QStringLiteral("Count: 42"));
    }

    // The two plus switches whose sense is inverted or easy to invert, judged
    // by what the instrument does: synchronous update holds a change until
    // Update, and auto update lets the period reading follow the trigger.
    void plusSwitchesTakeEffect() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        f->StatusTimer->setInterval(3600 * 1000); // polls by hand below
        auto pending = [&] {
            return h.instrument().withInstrument(
                [](sim::Instrument& i) { return i.changesPending(); });
        };
        auto poll = [&] {
            QVERIFY(h.waitIdle());
            f->StatusTimerTimer(f->StatusTimer);
        };
        ShowTab(f->SystemPageControl, 1);

        Click(f->SynchEnable);
        QVERIFY(TypeDigit(f->PeriodAdj, -3, '2'));
        QVERIFY(h.waitIdle());
        QVERIFY(pending());
        Click(f->SynchUpdatebtn);
        QVERIFY(h.waitIdle());
        QVERIFY(!pending());
        Click(f->SynchEnable);
        QVERIFY(TypeDigit(f->PeriodAdj, -3, '3'));
        QVERIFY(h.waitIdle());
        QVERIFY(!pending());

        // A 1 ms trigger measured over one period, then the trigger slows.
        h.instrument().withInstrument(
            [](sim::Instrument& i) { i.setExternalTriggerPeriod(0.001); });
        QVERIFY(Pick(f->ExtModeSel, 1));
        Click(f->PeriodCounterEn);
        Click(f->RunStopbtn);
        QTest::qWait(20);
        poll();
        QCOMPARE(f->PCountlbl->text(), QStringLiteral("P: 0.0010000000"));
        h.instrument().withInstrument(
            [](sim::Instrument& i) { i.setExternalTriggerPeriod(0.002); });
        QTest::qWait(20);
        poll();
        QCOMPARE(f->PCountlbl->text(), QStringLiteral("P: 0.0010000000"));
        Click(f->PCAutoEn);
        poll();
        QCOMPARE(f->PCountlbl->text(), QStringLiteral("P: 0.0020000000"));
    }

    // Lists take typed text. Text that names no entry sends nothing and gives
    // way to the entry shown before; an entry's name counts as picking it.
    void typedListText() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const std::size_t mark = MarkIdle(h);

        TypeText(f->SystemModeSel, QStringLiteral("Bogus"), Finish::Return);
        QCOMPARE(f->SystemModeSel->currentText(), QStringLiteral("Continuous"));
        TypeText(f->ExtModeSel, QStringLiteral("Never"), Finish::Tab);
        QCOMPARE(f->ExtModeSel->currentText(), QStringLiteral("Disabled"));
        COMPARE_LINES(SentSince(h, mark), QStringList{});

        TypeText(f->SystemModeSel, QStringLiteral("Burst"), Finish::Tab);
        QCOMPARE(f->SystemModeSel->currentText(), QStringLiteral("Burst"));
        QCOMPARE(SystemSettings.ModeIndex, 2);
        TypeText(f->ExtModeSel, QStringLiteral("Gated"), Finish::Return);

        ShowTab(f->SystemPageControl, 1);
        TypeText(f->ShotCountSel, QStringLiteral("ChZ"), Finish::Return);
        QCOMPARE(f->ShotCountSel->currentText(), QStringLiteral("T0"));

        COMPARE_LINES(SentSince(h, mark), (QStringList{":PULS0:MOD BURS", ":PULS0:EXT:MOD GAT"}));
        QCOMPARE(SystemSettings.ShotCounterSourceIndex, 0);
    }

    // Without an instrument the editors still work on the window and the
    // cache, but nothing may reach a port, nor ask about one.
    void demonstrationMode() {
        PanelHarness h("5404+");
        TMainForm::StartOptions options;
        options.demo = true;
        QVERIFY(h.start(options));
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const std::size_t mark = MarkIdle(h);
        QVERIFY(StepDigit(f->PeriodAdj, -6, 1));
        QVERIFY(Pick(f->SystemModeSel, 2));
        Click(f->ChEnablebox[1]);
        QVERIFY(h.waitIdle());
        QTest::qWait(50);
        QCOMPARE(SystemSettings.ModeIndex, 2);
        QCOMPARE(h.answers().texts(), QStringList{"Entering Demo Mode"});
        QCOMPARE(h.mark(), mark);
        // The terminal shows what would have gone out.
        QVERIFY(f->ResponseList->lineCount() >= 2);
        QVERIFY(f->ResponseList->lineText(f->ResponseList->lineCount() - 1)
                    .endsWith(QStringLiteral(":PULS1:STAT 0   [demo: not sent]")));
    }
};

QTEST_MAIN(TstSystemEdit)
#include "tst_system_edit.moc"
