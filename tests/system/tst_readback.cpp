// The read-back against the simulated instrument, model by model: what is
// asked on the wire, what the window and the snapshot show afterwards, and
// the refresh and recall paths of the task tick.
#include "comm/discovery.h"
#include "comm/exchange.h"
#include "controls/check_list.h"
#include "controls/plusspinedit.h"
#include "instrument/settings_cache.h"
#include "panel/command_queue.h"
#include "panel/panel_state.h"
#include "serial/pgcomport.h"
#include "serial/pick_port_dialog.h"
#include "sim/instrument.h"
#include "tests/support/panel_harness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

using namespace pg5400;
using testsupport::PanelHarness;

namespace {

QStringList items(const QComboBox* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

QStringList visibleTabs(const QTabWidget* tabs) {
    QStringList out;
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->isTabVisible(i))
            out << tabs->tabText(i);
    return out;
}

QStringList qlines(const std::vector<std::string>& lines) {
    QStringList out;
    for (const auto& l : lines)
        out << QString::fromStdString(l);
    return out;
}

// The queries of one channel's read-back, in wire order.
QStringList channelQueries(int n, bool output, bool muxGate) {
    QStringList q;
    for (const char* s : {":STAT?", ":DEL?", ":WIDT?", ":CMOD?", ":BCO?", ":PCO?", ":OCO?",
                          ":SYNC?", ":POL?", ":WCO?", ":CGAT?"})
        q << QStringLiteral(":PULS%1%2").arg(n).arg(QLatin1String(s));
    if (output) {
        q << QStringLiteral(":PULS%1:OUTP:AMPL?").arg(n) << QStringLiteral(":PULS%1:MUX?").arg(n);
        if (muxGate)
            q << QStringLiteral(":PULS%1:MUXG?").arg(n);
    }
    return q;
}

QStringList expectedReadBack(int channels, int outputs, bool extended, bool muxGate) {
    QStringList q;
    if (extended)
        q << ":PULS0:EXTP:STAT?"
          << ":PULS0:EXTP:AUT?"
          << ":PULS0:EXTP:NCOU?"
          << ":PULS0:COUN:STAT?"
          << ":PULS0:COUN:SOUR?"
          << ":SYST:UPD:AUTO?"
          << ":PULS0:CCO?";
    q << ":PULS0:PER?"
      << ":PULS0:BCO?"
      << ":PULS0:MOD?"
      << ":PULS0:PCO?"
      << ":PULS0:OCO?"
      << ":PULS0:EXT:MODE?"
      << ":PULS0:EXT:LEV?"
      << ":PULS0:EXT:EDG?"
      << ":PULS0:EXT:POL?"
      << ":SYST:AUT?"
      << ":PULS1:MUXG?";
    for (int n = 1; n <= channels; ++n)
        q << channelQueries(n, n <= outputs, muxGate);
    return q;
}

} // namespace

class TstReadBack : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void perModel_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("outputs");
        QTest::addColumn<QStringList>("tabs");
        QTest::addColumn<double>("resolution");
        QTest::addColumn<int>("periodDecimals");
        QTest::addColumn<double>("periodMin");
        QTest::addColumn<double>("periodMax");
        const QStringList ab{"Ch A", "Ch B"};
        QTest::newRow("5402") << "5402" << 2 << 2 << ab << 1e-8 << 8 << 2e-7 << 1000.0;
        QTest::newRow("5404") << "5404" << 4 << 4 << (ab + QStringList{"Ch C", "Ch D"}) << 1e-8 << 8
                              << 2e-7 << 1000.0;
        QTest::newRow("5402+") << "5402+" << 4 << 2 << (ab + QStringList{"ChC(V)", "ChD(V)"})
                               << 5e-9 << 9 << 5e-8 << 1000.0;
        QTest::newRow("5404+") << "5404+" << 8 << 4
                               << (ab + QStringList{"Ch C", "Ch D", "Ch E(V)", "Ch F(V)", "Ch G(V)",
                                                    "Ch H(V)"})
                               << 5e-9 << 9 << 5e-8 << 1000.0;
        QTest::newRow("5452") << "5452" << 4 << 2 << (ab + QStringList{"ChC(V)", "ChD(V)"}) << 4e-9
                              << 9 << 4e-8 << 4000.0;
        QTest::newRow("5454") << "5454" << 8 << 4
                              << (ab + QStringList{"Ch C", "Ch D", "Ch E(V)", "Ch F(V)", "Ch G(V)",
                                                   "Ch H(V)"})
                              << 4e-9 << 9 << 4e-8 << 4000.0;
    }

    void perModel() {
        QFETCH(QString, model);
        QFETCH(int, channels);
        QFETCH(int, outputs);
        QFETCH(QStringList, tabs);
        QFETCH(double, resolution);
        QFETCH(int, periodDecimals);
        QFETCH(double, periodMin);
        QFETCH(double, periodMax);
        PanelHarness h(model.toStdString());
        QVERIFY(h.start());
        TMainForm* f = h.form();
        const bool extended = resolution < 1e-8;
        const bool highRes = resolution == 4e-9;

        // The scan's four lines, then the read-back's queries in order.
        const QStringList wire = qlines(h.linesSince(0));
        QCOMPARE(wire.mid(0, 4), (QStringList{":SYST:COMM:USB:ECH OFF", ":SYST:COMM:BLUE:ECH OFF",
                                              "*IDN?", "*IDN?"}));
        QCOMPARE(wire.mid(4), expectedReadBack(channels, outputs, extended, true));

        QCOMPARE(communication::ChannelCount, channels);
        QCOMPARE(communication::SystemResolution, resolution);
        QCOMPARE(visibleTabs(f->ChPageControl), tabs);
        QVERIFY(f->windowTitle().startsWith(QStringLiteral("Pellgrave Model ") + model +
                                            QStringLiteral("  SW Version: 1.2.6.4 ComPort: 1")));
        QCOMPARE(f->SerialNumberlbl->text(), QStringLiteral("Serial Number: 1234"));
        QCOMPARE(f->FWVersionlbl->text(), QStringLiteral("Firmware Ver: 2.1.0"));

        // Limits, decimals and steps of the model.
        QCOMPARE(f->PeriodAdj->Decimals(), periodDecimals);
        QCOMPARE(f->PeriodAdj->MinValue(), periodMin);
        QCOMPARE(f->PeriodAdj->MaxValue(), periodMax);
        QCOMPARE(f->PeriodAdj->Increment(), resolution);
        QCOMPARE(f->ChDelayAdj[1]->Increment(), highRes ? 5e-12 : resolution);
        QCOMPARE(f->ChDelayAdj[1]->Decimals(), highRes ? 12 : periodDecimals);
        QCOMPARE(f->ChDelayAdj[channels]->Increment(),
                 highRes && channels > outputs ? 4e-9 : (highRes ? 5e-12 : resolution));
        QCOMPARE(f->ChDelayAdj[1]->MinValue(), -periodMax);
        QCOMPARE(f->ChWidthAdj[1]->MinValue(), highRes ? 8e-9 : 1e-8);

        // Sync lists: T0 and every other channel of the model.
        QStringList expectedA{"T0"};
        for (int n = 2; n <= channels; ++n)
            expectedA << GetChSyncName(n);
        QCOMPARE(items(f->ChSyncSourceSel[1]), expectedA);
        QStringList expectedB{"T0", "Ch A"};
        for (int n = 3; n <= channels; ++n)
            expectedB << GetChSyncName(n);
        QCOMPARE(items(f->ChSyncSourceSel[2]), expectedB);

        // Multiplexer lists: the model's channels, columns and marks from the mask.
        QCOMPARE(f->ChMuxSel[1]->count(), channels);
        QCOMPARE(CheckListColumns(f->ChMuxSel[1]), channels == 2 ? 2 : 4);
        QVERIFY(CheckListMark(f->ChMuxSel[1], 0));
        QVERIFY(!CheckListMark(f->ChMuxSel[1], 1));

        // Plus features, banners and virtual channel groups.
        QCOMPARE(f->PlusOptionGrp->isHidden(), !extended);
        QCOMPARE(f->PlusOptionMemo->isHidden(), extended);
        QCOMPARE(f->GreenBanner->isHidden(), !highRes);
        QCOMPARE(f->BlueBanner->isHidden(), highRes);
        if (!extended)
            QVERIFY(!f->ShotCountEnbl->isEnabled());
        if (highRes) {
            QCOMPARE(f->SystemPageControl->tabText(1), QStringLiteral("Enhanced Options"));
            QCOMPARE(f->SystemResolutionlbl->text(), QStringLiteral("System Resolution: 4ns"));
        }
        if (channels > outputs) {
            const QString virt = QString::number(outputs + 1);
            QVERIFY(f->findChild<QGroupBox*>("ChAmplitudeAdjGrp" + virt)->isHidden());
            QVERIFY(f->findChild<QGroupBox*>("ChMuxGrp" + virt)->isHidden());
        }
        QCOMPARE(f->ExtModeSel->count(), extended ? 4 : 3);

        // Continuous mode and no external trigger: only the plain controls are live.
        QVERIFY(!f->BurstCountGrp->isEnabled());
        QVERIFY(!f->SysBurstAdj->Enabled());
        QVERIFY(!f->DutyCycleGrp->isEnabled());
        QVERIFY(!f->TrigThresholdAdj->Enabled());
        QVERIFY(!f->ExtTrigEdgGrp->isEnabled());
        QVERIFY(!f->ChBurstAdj[1]->Enabled());
        QVERIFY(!f->ChDutyOnGrp[1]->isEnabled());
        QVERIFY(f->PeriodAdj->Enabled());
        QVERIFY(f->ChWaitCountAdj[1]->Enabled());
        QCOMPARE(f->ChGateModeSel[1]->count(), extended ? 5 : 3);

        // The snapshot: date, identity, then the settings in read-back order.
        const QStringList& snap = SettingsSnapshot;
        QVERIFY(snap[0].startsWith(QStringLiteral("// ")));
        QCOMPARE(snap[1], QStringLiteral("// ") + f->windowTitle());
        QCOMPARE(snap[2], QStringLiteral("// Serial Number: 1234"));
        const int first = extended ? 12 : 5;
        QCOMPARE(snap[first], QStringLiteral(":PULS0:PER 0.001"));
        QCOMPARE(snap[first + 1], QStringLiteral(":PULS0:BCO 1"));
        QCOMPARE(snap[first + 2], QStringLiteral(":PULS0:MOD NORM"));
        QVERIFY(snap.contains(QStringLiteral(":PULS1:STAT 1")));
        QCOMPARE(snap.contains(QStringLiteral(":PULS%1:OUTP:AMPL 5").arg(outputs + 1)), false);
        QCOMPARE(snap.filter(QStringLiteral(":EXTP:")).isEmpty(), !extended);

        // A second read-back changes no list.
        const QStringList syncBefore = items(f->ChSyncSourceSel[2]);
        const int gateBefore = f->ChGateModeSel[1]->count();
        const int extBefore = f->ExtModeSel->count();
        f->Up1Click(f->Up1);
        QVERIFY(h.waitIdle());
        QCOMPARE(items(f->ChSyncSourceSel[2]), syncBefore);
        QCOMPARE(f->ChGateModeSel[1]->count(), gateBefore);
        QCOMPARE(f->ExtModeSel->count(), extBefore);
        QCOMPARE(f->ChMuxSel[1]->count(), channels);
    }

    void muxGateProbeWithoutSupport() {
        sim::ServerOptions options;
        options.instrument.model = "5404";
        options.instrument.muxGate = false;
        PanelHarness h(options);
        QVERIFY(h.start());
        QVERIFY(!MuxGateSupported);
        const QStringList wire = qlines(h.linesSince(4));
        QCOMPARE(wire.filter(QStringLiteral(":MUXG?")), QStringList{":PULS1:MUXG?"});
        for (int n = 1; n <= 4; ++n)
            QVERIFY(h.form()->ChMuxGateGrp[n]->isHidden());
        QCOMPARE(SettingsSnapshot.filter(QStringLiteral(":MUXG")).size(), 0);
    }

    void unknownKeywordKeepsSelection() {
        PanelHarness h("5404");
        QVERIFY(h.start());
        TMainForm* f = h.form();
        const QStringList first = qlines(h.linesSince(4));
        const int modeAt = int(first.indexOf(QStringLiteral(":PULS0:MOD?")));
        const int cmodAt = int(first.indexOf(QStringLiteral(":PULS2:CMOD?")));
        f->SystemModeSel->setCurrentIndex(2); // as if the user had chosen Burst
        SystemSettings.ModeIndex = 2;
        // The next read-back gets noise instead of those two keywords.
        sim::Faults faults;
        const std::size_t base = h.mark();
        faults.onLine[base + 1 + std::size_t(modeAt)] = sim::ReplyFault::Garbage;
        faults.onLine[base + 1 + std::size_t(cmodAt)] = sim::ReplyFault::Garbage;
        h.instrument().setFaults(faults);
        f->Up1Click(f->Up1);
        QVERIFY(h.waitIdle());
        QCOMPARE(f->SystemModeSel->currentIndex(), 2);
        QCOMPARE(SystemSettings.ModeIndex, 2);
        QCOMPARE(ChannelSettings[2].ModeIndex, 0);
        // The snapshot still carries what the instrument said.
        QVERIFY(SettingsSnapshot.filter(QStringLiteral(":PULS0:MOD ")).first() !=
                QStringLiteral(":PULS0:MOD NORM"));
    }

    // Replies the standard models never give, through the whole window: the
    // extra shot counter source and gate modes, both sync update states, and
    // values the lists do not have.
    void rarerReplies() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        TMainForm* f = h.form();
        auto set = [&](std::initializer_list<const char*> lines) {
            h.instrument().withInstrument([&](sim::Instrument& i) {
                for (const char* line : lines)
                    QCOMPARE(i.handleLine(line), std::string("ok"));
            });
        };
        auto refresh = [&] {
            f->Up1Click(f->Up1);
            QVERIFY(h.waitIdle());
        };

        set({":PULS0:COUN:SOUR CHD", ":PULS1:CGAT LOWWR", ":PULS2:CGAT HIGHWR", ":SYST:UPD:AUTO 0",
             ":PULS1:MUXG 3"});
        refresh();
        QCOMPARE(f->ShotCountSel->currentText(), QStringLiteral("ChD"));
        QCOMPARE(SystemSettings.ShotCounterSourceIndex, 4);
        QCOMPARE(f->ChGateModeSel[1]->currentText(), QStringLiteral("ActiveLoWR"));
        QCOMPARE(f->ChGateModeSel[2]->currentText(), QStringLiteral("ActiveHiWR"));
        QCOMPARE(ChannelSettings[2].GateModeIndex, 4);
        QVERIFY(f->SynchEnable->isChecked());
        QVERIFY(f->SynchUpdatebtn->isEnabled());
        QCOMPARE(SystemSettings.SyncAutoUpdate, 0);
        QCOMPARE(f->ChMuxGateSel[1]->currentText(), QStringLiteral("Invert"));

        // "CHE" is no shot counter source and 7 no mux gate mode: both keep
        // what was shown, while the snapshot keeps what the instrument said.
        sim::Faults faults;
        faults.replyFor[":PULS0:COUN:SOUR?"] = "CHE";
        faults.replyFor[":PULS1:MUXG?"] = "7";
        h.instrument().setFaults(faults);
        set({":SYST:UPD:AUTO 1"});
        refresh();
        QCOMPARE(f->ShotCountSel->currentText(), QStringLiteral("ChD"));
        QCOMPARE(SystemSettings.ShotCounterSourceIndex, 4);
        QCOMPARE(f->ChMuxGateSel[1]->currentText(), QStringLiteral("Invert"));
        QCOMPARE(ChannelSettings[1].MuxGateIndex, 3);
        QVERIFY(SettingsSnapshot.contains(QStringLiteral(":PULS0:COUN:SOUR CHE")));
        QVERIFY(SettingsSnapshot.contains(QStringLiteral(":PULS1:MUXG 7")));
        QVERIFY(!f->SynchEnable->isChecked());
        QVERIFY(!f->SynchUpdatebtn->isEnabled());
        QCOMPARE(SystemSettings.SyncAutoUpdate, 1);
    }

    // Every line of a plus model's snapshot, which is what a settings file
    // holds: identity, plus features first, numbers in the general format,
    // virtual channels without output lines.
    void wholeSnapshotOfAPlusModel() {
        PanelHarness h("5402+");
        h.instrument().withInstrument([](sim::Instrument& i) {
            for (const char* line :
                 {":PULS0:PER 0.000123456", ":PULS0:BCO 4000000000", ":PULS0:EXT:LEV 0.75",
                  ":PULS0:COUN:SOUR CHB", ":PULS2:DEL 0.000001500", ":PULS2:WIDT 0.000000025",
                  ":PULS3:SYNC CHB", ":PULS4:CGAT HIGHWR", ":PULS1:OUTP:AMPL 3.3"})
                QCOMPARE(i.handleLine(line), std::string("ok"));
        });
        QVERIFY(h.start());
        const QStringList expected{
            "// Pellgrave Model 5402+  SW Version: 1.2.6.4 ComPort: 1", "// Serial Number: 1234",
            "// Firmware Ver: 2.1.0", "// FPGA Ver: 1.0.3", ":PULS0:EXTP:STAT 0",
            ":PULS0:EXTP:AUT 0", ":PULS0:EXTP:NCOU 1", ":PULS0:COUN:STAT 0", ":PULS0:COUN:SOUR CHB",
            ":SYST:UPD:AUTO 1", ":PULS0:CCO 0", ":PULS0:PER 0.000123456", ":PULS0:BCO 4000000000",
            ":PULS0:MOD NORM", ":PULS0:PCO 1", ":PULS0:OCO 1", ":PULS0:EXT:MODE DIS",
            ":PULS0:EXT:LEV 0.75", ":PULS0:EXT:EDG RIS", ":PULS0:EXT:POL HIGH", ":SYST:AUT 0",
            // Channel A
            ":PULS1:STAT 1", ":PULS1:DEL 0", ":PULS1:WIDT 1E-7", ":PULS1:CMOD NORM", ":PULS1:BCO 1",
            ":PULS1:PCO 1", ":PULS1:OCO 1", ":PULS1:SYNC T0", ":PULS1:POL NORM", ":PULS1:WCO 0",
            ":PULS1:CGAT DIS", ":PULS1:OUTP:AMPL 3.3", ":PULS1:MUX 1", ":PULS1:MUXG 0",
            // Channel B
            ":PULS2:STAT 1", ":PULS2:DEL 1.5E-6", ":PULS2:WIDT 2.5E-8", ":PULS2:CMOD NORM",
            ":PULS2:BCO 1", ":PULS2:PCO 1", ":PULS2:OCO 1", ":PULS2:SYNC T0", ":PULS2:POL NORM",
            ":PULS2:WCO 0", ":PULS2:CGAT DIS", ":PULS2:OUTP:AMPL 5", ":PULS2:MUX 2",
            ":PULS2:MUXG 0",
            // The virtual channels C and D
            ":PULS3:STAT 1", ":PULS3:DEL 0", ":PULS3:WIDT 1E-7", ":PULS3:CMOD NORM", ":PULS3:BCO 1",
            ":PULS3:PCO 1", ":PULS3:OCO 1", ":PULS3:SYNC CHB", ":PULS3:POL NORM", ":PULS3:WCO 0",
            ":PULS3:CGAT DIS", ":PULS4:STAT 1", ":PULS4:DEL 0", ":PULS4:WIDT 1E-7",
            ":PULS4:CMOD NORM", ":PULS4:BCO 1", ":PULS4:PCO 1", ":PULS4:OCO 1", ":PULS4:SYNC T0",
            ":PULS4:POL NORM", ":PULS4:WCO 0", ":PULS4:CGAT HIGHWR"};
        QVERIFY(QRegularExpression(
                    QStringLiteral("^// \\d{1,2} [A-Z][a-z]{2} \\d{4},\\d\\d:\\d\\d:\\d\\d$"))
                    .match(SettingsSnapshot.value(0))
                    .hasMatch());
        const QStringList got = SettingsSnapshot.mid(1);
        for (int i = 0; i < std::min(got.size(), expected.size()); ++i)
            QCOMPARE(got.at(i), expected.at(i));
        QCOMPARE(got.size(), expected.size());
    }

    void recallSendsRclThenReadsBack() {
        PanelHarness h("5402");
        QVERIFY(h.start());
        const std::size_t mark = h.mark();
        RecallBin = 3;
        RecallRequested = -1;
        h.form()->TaskTimer->start();
        QVERIFY(h.waitIdle());
        const QStringList wire = qlines(h.linesSince(mark));
        QCOMPARE(wire.first(), QStringLiteral("*RCL 3"));
        QCOMPARE(wire.mid(1), expectedReadBack(2, 2, false, true));
        QCOMPARE(RecallRequested, 0);
    }

    void refreshDuringReadBackIsDeferred() {
        PanelHarness h("5402");
        QVERIFY(h.start());
        sim::Faults slow;
        slow.replyDelay = std::chrono::milliseconds(3);
        h.instrument().setFaults(slow);
        const std::size_t mark = h.mark();
        // A second Refresh clicked while the first read-back waits for a reply.
        bool clicked = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, h.form(), [&] {
            if (!clicked && h.form()->Busy()) {
                h.form()->Up1Click(h.form()->Up1);
                clicked = true;
            }
        });
        watch.start(1);
        h.form()->Up1Click(h.form()->Up1);
        QVERIFY(h.waitIdle());
        QTRY_VERIFY(clicked);
        QVERIFY(h.waitIdle());
        const int perRead = int(expectedReadBack(2, 2, false, true).size());
        QTRY_COMPARE(int(h.linesSince(mark).size()), 2 * perRead);
        const QStringList wire = qlines(h.linesSince(mark));
        QCOMPARE(wire.mid(perRead), wire.mid(0, perRead)); // two whole read-backs, not nested
    }

    void tickWaitsForAnExchangeInProgress() {
        PanelHarness h("5402");
        QVERIFY(h.start());
        sim::Faults slow;
        slow.replyDelay = std::chrono::milliseconds(200);
        h.instrument().setFaults(slow);
        const std::size_t mark = h.mark();
        // An edit queued while another exchange waits for its reply.
        QTimer::singleShot(50, h.form(),
                           [&] { h.form()->QueuedCommandToPort(QStringLiteral(":PULS0:BCO 7")); });
        QCOMPARE(communication::QueryText(QStringLiteral(":PULS0:PER")),
                 QStringLiteral("0.001000000000"));
        QVERIFY(h.waitIdle());
        QCOMPARE(qlines(h.linesSince(mark)), (QStringList{":PULS0:PER?", ":PULS0:BCO 7"}));
    }

    // With nothing to do the tick sleeps; each kind of work wakes it, and it
    // goes back to sleep once the work is done.
    void tickSleepsWhileIdle() {
        PanelHarness h("5402");
        QVERIFY(h.start());
        TMainForm* f = h.form();
        QTRY_VERIFY(!f->TaskTimer->isActive());
        std::size_t mark = h.mark();
        QVERIFY(f->QueuedCommandToPort(QStringLiteral(":PULS0:BCO 7")));
        QVERIFY(h.waitForLineCount(mark + 1));
        QCOMPARE(qlines(h.linesSince(mark)), QStringList{":PULS0:BCO 7"});
        QTRY_VERIFY(!f->TaskTimer->isActive());

        mark = h.mark();
        f->Up1Click(f->Up1);
        QVERIFY(h.waitIdle());
        QCOMPARE(qlines(h.linesSince(mark)), expectedReadBack(2, 2, false, true));
        QTRY_VERIFY(!f->TaskTimer->isActive());

        mark = h.mark();
        f->RestoreBinItems[2]->trigger();
        QVERIFY(h.waitIdle());
        QCOMPARE(qlines(h.linesSince(mark)).value(0), QStringLiteral("*RCL 2"));
        QTRY_VERIFY(!f->TaskTimer->isActive());
    }

    void demoModeAsksNothing() {
        PanelHarness h("5404+");
        TMainForm::StartOptions options;
        options.demo = true;
        QVERIFY(h.start(options));
        QCOMPARE(h.answers().texts().value(0), QStringLiteral("Entering Demo Mode"));
        QCOMPARE(h.mark(), std::size_t(0));
        QCOMPARE(SettingsSnapshot.size(), 1);
        QCOMPARE(h.form()->windowTitle(),
                 QStringLiteral(" Model 5404+  SW Version: 1.2.6.4 ComPort: Demo"));
        QCOMPARE(h.form()->SerialNumberlbl->text(), QStringLiteral("Serial Number: 1234"));
        QCOMPARE(h.form()->FPGAVersionlbl->text(), QStringLiteral("FPGA Ver: 1.25"));
    }

    void portPickedByHandReadsEightChannels() {
        PanelHarness h("5404+");
        h.answers().setDialogHandler([](QWidget* w) {
            if (auto* d = qobject_cast<TformPickPort*>(w)) {
                d->listPorts->setCurrentIndex(0);
                d->OKBtn->click();
            }
        });
        TMainForm::StartOptions options;
        options.pick = true;
        QVERIFY(h.start(options));
        QCOMPARE(communication::ChannelCount, 8);
        QCOMPARE(communication::SystemResolution, 1e-8);
        QCOMPARE(visibleTabs(h.form()->ChPageControl), (QStringList{"Ch A", "Ch B"}));
        const QStringList wire = qlines(h.linesSince(0));
        QVERIFY(!wire.contains(QStringLiteral("*IDN?")));
        // The simulated instrument starts with its echo on, as at power-up:
        // the pick path switches it off before the first question.
        QCOMPARE(wire.mid(0, 3),
                 (QStringList{":SYST:COMM:USB:ECH OFF", ":SYST:COMM:BLUE:ECH OFF", ":PULS0:PER?"}));
        const auto ask = [&](const char* q) {
            return QString::fromStdString(
                h.instrument().withInstrument([&](sim::Instrument& i) { return i.handleLine(q); }));
        };
        QCOMPARE(h.form()->PeriodAdj->Value(), ask(":PULS0:PER?").toDouble());
        QCOMPARE(h.form()->ChWidthAdj[1]->Value(), ask(":PULS1:WIDT?").toDouble());
        QCOMPARE(h.form()->SystemModeSel->currentIndex(), 0);
        QVERIFY(SettingsSnapshot.filter(QStringLiteral("?")).isEmpty());
        // No output channels: no amplitude or multiplexer is asked.
        QCOMPARE(wire.filter(QStringLiteral(":OUTP:AMPL?")).size(), 0);
        QVERIFY(h.form()->windowTitle().startsWith(QStringLiteral("Unknown Model ")));
    }
};

QTEST_MAIN(TstReadBack)
#include "tst_readback.moc"
