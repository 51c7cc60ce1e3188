// Round trip per model: a setting of every kind edited through the window,
// then Tools > Refresh reads everything back from the simulated instrument;
// the window and the cache must show what was edited.
#include "comm/discovery.h"
#include "comm/keyword_tables.h"
#include "comm/model_table.h"
#include "controls/check_list.h"
#include "controls/plusspinedit.h"
#include "instrument/settings_cache.h"
#include "tests/support/edit_input.h"
#include "tests/support/panel_harness.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>

using namespace pg5400;
using namespace testsupport;

namespace {

QString number(double v) {
    return QString::number(v, 'g', 15);
}

// What the window shows of every setting the read-back fills.
QStringList shown(const TMainForm* f, bool extended, int channels, int outputs) {
    QStringList s;
    auto spin = [&](const char* name, const TPlusSpinEdit* e) {
        s << QLatin1String(name) + QLatin1Char('=') + number(e->Value());
    };
    auto list = [&](const char* name, const QComboBox* c) {
        s << QLatin1String(name) + QLatin1Char('=') + c->currentText();
    };
    auto check = [&](const char* name, const QCheckBox* c) {
        s << QLatin1String(name) + QLatin1Char('=') + QString::number(c->isChecked());
    };
    spin("PeriodAdj", f->PeriodAdj);
    list("SystemModeSel", f->SystemModeSel);
    spin("SysBurstAdj", f->SysBurstAdj);
    spin("SysDutyOnAdj", f->SysDutyOnAdj);
    spin("SysDutyOffAdj", f->SysDutyOffAdj);
    list("ExtModeSel", f->ExtModeSel);
    spin("TrigThresholdAdj", f->TrigThresholdAdj);
    list("TriggerEdgeSel", f->TriggerEdgeSel);
    list("GatePolaritySel", f->GatePolaritySel);
    check("AutoStartEnbl", f->AutoStartEnbl);
    if (extended) {
        check("PeriodCounterEn", f->PeriodCounterEn);
        check("PCAutoEn", f->PCAutoEn);
        spin("PCountadj", f->PCountadj);
        check("ShotCountEnbl", f->ShotCountEnbl);
        list("ShotCountSel", f->ShotCountSel);
        check("SynchEnable", f->SynchEnable);
        spin("CycleCountAdj", f->CycleCountAdj);
    }
    for (int n = 1; n <= channels; ++n) {
        const QString ch = QString::number(n) + QLatin1Char(' ');
        s << ch + QString::number(f->ChEnablebox[n]->isChecked())
          << ch + number(f->ChDelayAdj[n]->Value()) << ch + number(f->ChWidthAdj[n]->Value())
          << ch + f->ChModeSel[n]->currentText() << ch + number(f->ChBurstAdj[n]->Value())
          << ch + number(f->ChDutyOnAdj[n]->Value()) << ch + number(f->ChDutyOffAdj[n]->Value())
          << ch + f->ChSyncSourceSel[n]->currentText() << ch + f->ChPolaritySel[n]->currentText()
          << ch + number(f->ChWaitCountAdj[n]->Value()) << ch + f->ChGateModeSel[n]->currentText();
        if (n <= outputs) {
            s << ch + number(f->ChAmplitudeAdj[n]->Value())
              << ch + f->ChMuxGateSel[n]->currentText();
            for (int i = 0; i < f->ChMuxSel[n]->count(); ++i)
                s << ch + QString::number(CheckListMark(f->ChMuxSel[n], i));
        }
    }
    return s;
}

// The cache fields the editors keep (the auto start is the read-back's alone).
QStringList cached(int channels) {
    const TSystemSettings& y = SystemSettings;
    QStringList s{number(y.Period),
                  QString::number(y.ModeIndex),
                  QString::number(y.TriggerModeIndex),
                  QString::number(y.TriggerEdgeIndex),
                  QString::number(y.GatePolarityIndex),
                  QString::number(y.ShotCounterEnabled),
                  QString::number(y.DutyOnCount),
                  QString::number(y.DutyOffCount),
                  QString::number(y.CycleCount),
                  number(y.TriggerLevel),
                  QString::number(y.BurstCount),
                  QString::number(y.PeriodCounterEnabled),
                  QString::number(y.PeriodCounterCount),
                  QString::number(y.PeriodCounterAuto),
                  QString::number(y.ShotCounterSourceIndex),
                  QString::number(y.SyncAutoUpdate)};
    for (int n = 1; n <= channels; ++n) {
        const TChannelSettings& c = ChannelSettings[n];
        s << QStringLiteral("%1: %2 %3 %4 %5 %6 %7 %8 %9")
                 .arg(n)
                 .arg(c.Enabled)
                 .arg(number(c.Width), number(c.Delay))
                 .arg(c.ModeIndex)
                 .arg(c.BurstCount)
                 .arg(c.DutyOnCount)
                 .arg(c.DutyOffCount)
                 .arg(number(c.Amplitude))
          << QStringLiteral("%1: %2 %3 %4 %5 %6 %7")
                 .arg(n)
                 .arg(c.SyncChannel)
                 .arg(c.PolarityIndex)
                 .arg(c.WaitCount)
                 .arg(c.MuxMask)
                 .arg(c.GateModeIndex)
                 .arg(c.MuxGateIndex);
    }
    return s;
}

// Picks every entry of a list once, starting after the present one so that
// each pick is a change, and checks that entry i goes out as keyword i of the
// table and stays shown as caption i.
void walkList(PanelHarness& h, QComboBox* list, const communication::cmd::KeywordTable& table,
              const QString& header) {
    const int count = list->count();
    QVERIFY2(count > 0 && count <= table.count(), qPrintable(list->objectName()));
    const int start = list->currentIndex();
    for (int step = 1; step <= count; ++step) {
        const int i = (start + step) % count;
        const std::size_t mark = MarkIdle(h);
        QVERIFY2(Pick(list, i), qPrintable(list->objectName()));
        QCOMPARE(list->currentText(), table.caption(i));
        const QStringList sent = SentSince(h, mark);
        QVERIFY2(!sent.isEmpty() && sent.first() == header + QLatin1Char(' ') + table.keyword(i),
                 qPrintable(list->objectName() + ": " + sent.join(QLatin1String(" | "))));
    }
}

} // namespace

class TstEditRoundTrip : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data() {
        QTest::addColumn<QString>("model");
        for (const char* model : {"5402", "5404", "5402+", "5404+", "5452", "5454"})
            QTest::newRow(model) << QString::fromLatin1(model);
    }

    void roundTrip() {
        QFETCH(QString, model);
        PanelHarness h(model.toStdString());
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const bool extended = communication::PlusOption || communication::HighResolution;
        const int channels = communication::ChannelCount;
        const int outputs = communication::ModelInfoFor(model).outputChannels;
        const QStringList before = shown(f, extended, channels, outputs);
        const std::size_t mark = MarkIdle(h);

        // System page: spin edits, lists, the check box.
        QVERIFY(TypeDigit(f->PeriodAdj, -3, '2'));
        QVERIFY(Pick(f->SystemModeSel, 3));
        QVERIFY(TypeDigit(f->SysDutyOnAdj, 0, '7'));
        QVERIFY(TypeDigit(f->SysDutyOffAdj, 0, '9'));
        QVERIFY(Pick(f->ExtModeSel, 1));
        QVERIFY(TypeDigit(f->TrigThresholdAdj, 0, '4'));
        QVERIFY(Pick(f->TriggerEdgeSel, 0));
        Click(f->AutoStartEnbl);

        if (extended) {
            ShowTab(f->SystemPageControl, 1);
            Click(f->PeriodCounterEn);
            Click(f->PCAutoEn);
            QVERIFY(TypeDigit(f->PCountadj, 0, '8'));
            Click(f->ShotCountEnbl);
            QVERIFY(Pick(f->ShotCountSel, 2));
            Click(f->SynchEnable);
            QVERIFY(TypeDigit(f->CycleCountAdj, 2, '5'));
        }

        // Channel A: every kind of channel control.
        ShowTab(f->ChPageControl, 0);
        Click(f->ChEnablebox[1]);
        QVERIFY(TypeDigit(f->ChDelayAdj[1], -6, '3'));
        QVERIFY(TypeDigit(f->ChWidthAdj[1], -7, '2'));
        QVERIFY(TypeDigit(f->ChAmplitudeAdj[1], 0, '4'));
        QVERIFY(Pick(f->ChModeSel[1], 2));
        QVERIFY(TypeDigit(f->ChBurstAdj[1], 0, '5'));
        QVERIFY(TypeDigit(f->ChWaitCountAdj[1], 0, '3'));
        QVERIFY(Pick(f->ChPolaritySel[1], 0));
        QVERIFY(Pick(f->ChGateModeSel[1], 2));
        ClickMark(f->ChMuxSel[1], 1);
        QVERIFY(Pick(f->ChMuxGateSel[1], 1));

        // Channel B in duty-cycle mode, synchronised to channel A.
        ShowTab(f->ChPageControl, 1);
        QVERIFY(Pick(f->ChModeSel[2], 3));
        QVERIFY(TypeDigit(f->ChDutyOnAdj[2], 0, '6'));
        QVERIFY(TypeDigit(f->ChDutyOffAdj[2], 0, '8'));
        QVERIFY(Pick(f->ChSyncSourceSel[2], 1));

        // The last channel, a virtual one on the plus and high-resolution models.
        ShowTab(f->ChPageControl, channels - 1);
        QVERIFY(TypeDigit(f->ChDelayAdj[channels], -6, '1'));

        QVERIFY(RefusedSince(h, mark).isEmpty());
        const QStringList edited = shown(f, extended, channels, outputs);
        const QStringList sent = cached(channels);
        QVERIFY(edited != before);

        const std::size_t refreshMark = MarkIdle(h);
        f->Up1->trigger();
        QVERIFY(h.waitIdle());
        // The read-back's own control updates send nothing.
        COMPARE_LINES(SentSince(h, refreshMark), QStringList{});
        COMPARE_LINES(shown(f, extended, channels, outputs), edited);
        COMPARE_LINES(cached(channels), sent);
    }

    void everyListEntrySendsItsKeyword_data() { roundTrip_data(); }

    void everyListEntrySendsItsKeyword() {
        namespace c = communication::cmd;
        QFETCH(QString, model);
        PanelHarness h(model.toStdString());
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const bool extended = communication::PlusOption || communication::HighResolution;
        const std::size_t mark = MarkIdle(h);

        // The extended models offer the entries beyond the standard ones.
        QCOMPARE(f->ExtModeSel->count(), c::ExternalModes.countFor(extended));
        QCOMPARE(f->ChGateModeSel[1]->count(), c::ChannelGateModes.countFor(extended));

        walkList(h, f->SystemModeSel, c::SystemModes, QStringLiteral(":PULS0:MOD"));
        QVERIFY(Pick(f->ExtModeSel, 1));
        walkList(h, f->TriggerEdgeSel, c::TriggerEdges, QStringLiteral(":PULS0:EXT:EDG"));
        QVERIFY(Pick(f->ExtModeSel, 2));
        walkList(h, f->GatePolaritySel, c::GatePolarities, QStringLiteral(":PULS0:EXT:POL"));
        walkList(h, f->ExtModeSel, c::ExternalModes, QStringLiteral(":PULS0:EXT:MOD"));
        if (extended) {
            ShowTab(f->SystemPageControl, 1);
            walkList(h, f->ShotCountSel, c::ShotCounterSources, QStringLiteral(":PULS0:COUN:SOUR"));
        }

        ShowTab(f->ChPageControl, 0);
        walkList(h, f->ChModeSel[1], c::ChannelModes, QStringLiteral(":PULS1:CMOD"));
        walkList(h, f->ChGateModeSel[1], c::ChannelGateModes, QStringLiteral(":PULS1:CGAT"));
        walkList(h, f->ChPolaritySel[1], c::ChannelPolarities, QStringLiteral(":PULS1:POL"));
        if (f->ChMuxGateSel[1]->isEnabled())
            walkList(h, f->ChMuxGateSel[1], c::MuxGateModes, QStringLiteral(":PULS1:MUXG"));

        // The sync list holds the model's other timers; each entry names its
        // timer's keyword.
        QComboBox* sync = f->ChSyncSourceSel[1];
        QCOMPARE(sync->count(), communication::ChannelCount);
        for (int i = sync->count() - 1; i >= 0; --i) {
            const std::size_t before = MarkIdle(h);
            QVERIFY(Pick(sync, i));
            const QString entry = sync->itemText(i);
            int timer = 0;
            while (timer < c::SyncSources.count() && c::SyncSources.caption(timer) != entry)
                ++timer;
            QVERIFY2(timer != 1 && timer < c::SyncSources.count(), qPrintable(entry));
            COMPARE_LINES(SentSince(h, before), QStringList{QStringLiteral(":PULS1:SYNC ") +
                                                            c::SyncSources.keyword(timer)});
        }
        QVERIFY(RefusedSince(h, mark).isEmpty());
    }
};

QTEST_MAIN(TstEditRoundTrip)
#include "tst_edit_roundtrip.moc"
