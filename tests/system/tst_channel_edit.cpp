// Editing the channel pages with real keys and clicks, against the simulated
// instrument: the lines on the wire, in order, the refusals of off-grid times
// and of circular synchronisation, and the multiplexer masks per model.
#include "controls/plusspinedit.h"
#include "controls/terminal_view.h"
#include "instrument/settings_cache.h"
#include "tests/support/edit_input.h"
#include "tests/support/panel_harness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>

using namespace pg5400;
using namespace testsupport;

class TstChannelEdit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void delaysAndWidths() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const std::size_t mark = MarkIdle(h);

        ShowTab(f->ChPageControl, 2);
        // 103 ns is off the 5 ns grid: back to 100 ns, which goes out again.
        QVERIFY(TypeDigit(f->ChWidthAdj[3], -9, '3'));
        QCOMPARE(f->ChWidthAdj[3]->Value(), 1e-7);
        QVERIFY(StepDigit(f->ChWidthAdj[3], -8, 1));
        QCOMPARE(ChannelSettings[3].Width, 1.1e-7);

        ShowTab(f->ChPageControl, 1);
        QVERIFY(StepDigit(f->ChDelayAdj[2], -6, -1));
        QVERIFY(StepDigit(f->ChDelayAdj[2], -7, -5));

        ShowTab(f->ChPageControl, 0);
        QVERIFY(TypeDigit(f->ChDelayAdj[1], -9, '7'));
        QCOMPARE(f->ChDelayAdj[1]->Value(), 0.0);

        COMPARE_LINES(SentSince(h, mark),
                      (QStringList{":PULS3:WIDT 0.000000100", ":PULS3:WIDT 0.000000110",
                                   ":PULS2:DEL -0.000001000000", ":PULS2:DEL -0.000001100000",
                                   ":PULS2:DEL -0.000001200000", ":PULS2:DEL -0.000001300000",
                                   ":PULS2:DEL -0.000001400000", ":PULS2:DEL -0.000001500000",
                                   ":PULS1:DEL 0.000000000000"}));
        QVERIFY(qAbs(ChannelSettings[2].Delay + 1.5e-6) < 1e-15);
        QCOMPARE(ChannelSettings[1].Delay, 0.0);
        QVERIFY(RefusedSince(h, mark).isEmpty());
    }

    // The output channels of the high-resolution models place delays on a
    // 5 ps grid; widths stay on the 4 ns grid.
    void highResolutionGrid() {
        PanelHarness h("5454");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const std::size_t mark = MarkIdle(h);

        QVERIFY(TypeDigit(f->ChDelayAdj[1], -8, '1'));
        QVERIFY(TypeDigit(f->ChDelayAdj[1], -10, '5'));
        QVERIFY(TypeDigit(f->ChDelayAdj[1], -12, '3'));
        QCOMPARE(f->ChDelayAdj[1]->Value(), 1.05e-8);
        QVERIFY(TypeDigit(f->ChWidthAdj[1], -9, '2'));
        QCOMPARE(f->ChWidthAdj[1]->Value(), 1e-7);

        COMPARE_LINES(SentSince(h, mark),
                      (QStringList{":PULS1:DEL 0.000000010000", ":PULS1:DEL 0.000000010500",
                                   ":PULS1:DEL 0.000000010500", ":PULS1:WIDT 0.000000100"}));
        QVERIFY(RefusedSince(h, mark).isEmpty());
    }

    void listsCountsAndSwitches() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const std::size_t mark = MarkIdle(h);

        // 3.00 V is below the amplitude range; the control holds 3.3 V.
        QVERIFY(TypeDigit(f->ChAmplitudeAdj[1], 0, '3'));
        Click(f->ChEnablebox[1]);
        QCOMPARE(ChannelSettings[1].Enabled, 0);
        QVERIFY(Pick(f->ChPolaritySel[1], 0));
        QVERIFY(Pick(f->ChGateModeSel[1], 4));
        QVERIFY(Pick(f->ChMuxGateSel[1], 2));
        QVERIFY(TypeDigit(f->ChWaitCountAdj[1], 0, '7'));
        QVERIFY(Pick(f->ChModeSel[1], 3));
        QVERIFY(TypeDigit(f->ChDutyOnAdj[1], 0, '6'));
        QVERIFY(TypeDigit(f->ChDutyOffAdj[1], 0, '4'));

        ShowTab(f->ChPageControl, 3);
        QVERIFY(Pick(f->ChModeSel[4], 2));
        QCOMPARE(ChannelSettings[4].ModeIndex, 2);
        QVERIFY(f->ChBurstAdj[4]->Enabled());
        QVERIFY(!f->ChDutyOnAdj[4]->Enabled());
        QVERIFY(TypeDigit(f->ChBurstAdj[4], 0, '5'));

        COMPARE_LINES(
            SentSince(h, mark),
            (QStringList{":PULS1:OUTP:AMPL 3.30", ":PULS1:STAT 0", ":PULS1:POL INV",
                         ":PULS1:CGAT HIGHWR", ":PULS1:MUXG 2", ":PULS1:WCO 7", ":PULS1:CMOD DCYC",
                         ":PULS1:PCO 6", ":PULS1:OCO 4", ":PULS4:CMOD BURS", ":PULS4:BCO 5"}));
        const TChannelSettings& a = ChannelSettings[1];
        QCOMPARE(a.Amplitude, 3.3);
        QCOMPARE(a.PolarityIndex, 0);
        QCOMPARE(a.GateModeIndex, 4);
        QCOMPARE(a.MuxGateIndex, 2);
        QCOMPARE(a.WaitCount, 7);
        QCOMPARE(a.DutyOnCount, 6);
        QCOMPARE(a.DutyOffCount, 4);
        QCOMPARE(ChannelSettings[4].BurstCount, 5);
        QVERIFY(RefusedSince(h, mark).isEmpty());
    }

    void multiplexerMask_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("2 channels")
            << "5402" << QList<int>{1, 0} << QStringList{":PULS1:MUX 3", ":PULS1:MUX 2"};
        QTest::newRow("4 channels") << "5402+" << QList<int>{2} << QStringList{":PULS1:MUX 5"};
        QTest::newRow("8 channels")
            << "5404+" << QList<int>{1, 2, 3, 4, 5, 6, 7}
            << QStringList{":PULS1:MUX 3",  ":PULS1:MUX 7",   ":PULS1:MUX 15", ":PULS1:MUX 31",
                           ":PULS1:MUX 63", ":PULS1:MUX 127", ":PULS1:MUX 255"};
    }

    void multiplexerMask() {
        QFETCH(QString, model);
        QFETCH(QList<int>, rows);
        QFETCH(QStringList, lines);
        PanelHarness h(model.toStdString());
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const std::size_t mark = MarkIdle(h);
        for (int row : rows)
            ClickMark(f->ChMuxSel[1], row);
        COMPARE_LINES(SentSince(h, mark), lines);
        QVERIFY(RefusedSince(h, mark).isEmpty());
    }

    // Sources are checked in order: a pair, the channel itself, a loop.
    void syncSourceRefusals() {
        PanelHarness h("5404");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        QComboBox* a = f->ChSyncSourceSel[1]; // T0, Ch B, Ch C, Ch D
        QComboBox* b = f->ChSyncSourceSel[2]; // T0, Ch A, Ch C, Ch D
        QComboBox* c = f->ChSyncSourceSel[3]; // T0, Ch A, Ch B, Ch D
        const std::size_t mark = MarkIdle(h);

        ShowTab(f->ChPageControl, 1);
        QVERIFY(Pick(b, 1));
        ShowTab(f->ChPageControl, 0);
        QVERIFY(Pick(a, 1));
        QCOMPARE(a->currentText(), QStringLiteral("T0"));

        ShowTab(f->ChPageControl, 2);
        QVERIFY(Pick(c, 2));
        ShowTab(f->ChPageControl, 0);
        QVERIFY(Pick(a, 2));
        QCOMPARE(a->currentText(), QStringLiteral("T0"));

        ShowTab(f->ChPageControl, 1);
        QVERIFY(Pick(b, 0));
        ShowTab(f->ChPageControl, 0);
        QVERIFY(Pick(a, 2));
        QCOMPARE(a->currentText(), QStringLiteral("Ch C"));

        for (const char* self : {"ChA", "CHA", "Ch A"}) {
            TypeText(a, QLatin1String(self), Finish::None);
            QCOMPARE(a->currentText(), QStringLiteral("Ch C"));
        }

        QCOMPARE(
            h.answers().texts(),
            (QStringList{"Error. You cannot sync two channels to each other.",
                         "Error. Circular sync reference.", "Error. Channel cannot sync to itself.",
                         "Error. Channel cannot sync to itself.",
                         "Error. Channel cannot sync to itself."}));
        COMPARE_LINES(SentSince(h, mark), (QStringList{":PULS2:SYNC CHA", ":PULS3:SYNC CHB",
                                                       ":PULS2:SYNC T0", ":PULS1:SYNC CHC"}));
        QCOMPARE(ChannelSettings[1].SyncChannel, 3);
        QVERIFY(RefusedSince(h, mark).isEmpty());
    }

    // Demonstration mode has no model: a sync source picked from the list is
    // taken (and shown as not sent), and the loop rules still hold.
    void demoSyncSourcesKeepListAndCache() {
        PanelHarness h("5404");
        TMainForm::StartOptions demo;
        demo.demo = true;
        QVERIFY(h.start(demo));
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        QComboBox* a = f->ChSyncSourceSel[1];
        QComboBox* b = f->ChSyncSourceSel[2];
        QVERIFY(Pick(a, a->findText(QStringLiteral("Ch C"))));
        QVERIFY(h.waitIdle());
        QCOMPARE(a->currentText(), QStringLiteral("Ch C"));
        QCOMPARE(ChannelSettings[1].SyncChannel, 3);
        QVERIFY(f->ResponseList->toPlainText().contains(
            QStringLiteral(":PULS1:SYNC CHC   [demo: not sent]")));
        ShowTab(f->ChPageControl, 1);
        QVERIFY(Pick(b, b->findText(QStringLiteral("Ch A"))));
        QVERIFY(h.waitIdle());
        QCOMPARE(ChannelSettings[2].SyncChannel, 1);
        ShowTab(f->ChPageControl, 0);
        QVERIFY(Pick(a, a->findText(QStringLiteral("Ch B")))); // which follows A
        QCOMPARE(a->currentText(), QStringLiteral("Ch C"));
        QCOMPARE(
            h.answers().texts(),
            (QStringList{QStringLiteral("Entering Demo Mode"),
                         QStringLiteral("Error. You cannot sync two channels to each other.")}));
        QCOMPARE(h.mark(), std::size_t(0));
    }

    // Typed sync text is read as a channel name: a command name counts, a
    // name of no channel of this model sends nothing and gives way to the
    // present source, and Return after a taken name sends it only once.
    void typedSyncText() {
        PanelHarness h("5404");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        QComboBox* a = f->ChSyncSourceSel[1];
        const std::size_t mark = MarkIdle(h);

        TypeText(a, QStringLiteral("CHD"), Finish::Return);
        QCOMPARE(a->currentText(), QStringLiteral("Ch D"));
        TypeText(a, QStringLiteral("Ch Z"), Finish::Return);
        QCOMPARE(a->currentText(), QStringLiteral("Ch D"));
        TypeText(a, QStringLiteral("Ch H"), Finish::Tab);
        QCOMPARE(a->currentText(), QStringLiteral("Ch D"));
        TypeText(a, QStringLiteral("T0"), Finish::Return);
        TypeText(a, QStringLiteral("ChB"), Finish::Tab);
        QCOMPARE(a->currentText(), QStringLiteral("Ch B"));
        TypeText(a, QStringLiteral("Ch C"), Finish::Tab);

        COMPARE_LINES(SentSince(h, mark), (QStringList{":PULS1:SYNC CHD", ":PULS1:SYNC T0",
                                                       ":PULS1:SYNC CHB", ":PULS1:SYNC CHC"}));
        QCOMPARE(ChannelSettings[1].SyncChannel, 3);
        QCOMPARE(h.answers().count(), 0);
    }
};

QTEST_MAIN(TstChannelEdit)
#include "tst_channel_edit.moc"
