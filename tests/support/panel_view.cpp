#include "tests/support/panel_view.h"

#include "controls/check_list.h"
#include "controls/plusspinedit.h"
#include "instrument/settings_cache.h"
#include "panel/main_form.h"
#include "tests/support/panel_harness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

namespace testsupport {

namespace {

// At the precision that crosses the wire (twelve decimals): a step that
// lands one unit in the last place away from the value read back is the
// same setting.
QString number(double v) {
    QString text = QString::number(v, 'f', 12);
    return text == QStringLiteral("-0.000000000000") ? text.mid(1) : text;
}

void addCache(QStringList& out) {
    const pg5400::TSystemSettings& s = pg5400::SystemSettings;
    // AutoStart is left out: only a read-back writes it, its editor does not.
    out << QStringLiteral("cache.Period=") + number(s.Period)
        << QStringLiteral("cache.Mode=%1").arg(s.ModeIndex)
        << QStringLiteral("cache.TriggerMode=%1").arg(s.TriggerModeIndex)
        << QStringLiteral("cache.TriggerEdge=%1").arg(s.TriggerEdgeIndex)
        << QStringLiteral("cache.GatePolarity=%1").arg(s.GatePolarityIndex)
        << QStringLiteral("cache.ShotCounterEnabled=%1").arg(s.ShotCounterEnabled)
        << QStringLiteral("cache.DutyOn=%1").arg(s.DutyOnCount)
        << QStringLiteral("cache.DutyOff=%1").arg(s.DutyOffCount)
        << QStringLiteral("cache.CycleCount=%1").arg(s.CycleCount)
        << QStringLiteral("cache.TriggerLevel=") + number(s.TriggerLevel)
        << QStringLiteral("cache.Burst=%1").arg(s.BurstCount)
        << QStringLiteral("cache.PeriodCounterEnabled=%1").arg(s.PeriodCounterEnabled)
        << QStringLiteral("cache.PeriodCounterCount=%1").arg(s.PeriodCounterCount)
        << QStringLiteral("cache.PeriodCounterAuto=%1").arg(s.PeriodCounterAuto)
        << QStringLiteral("cache.ShotCounterSource=%1").arg(s.ShotCounterSourceIndex)
        << QStringLiteral("cache.SyncAutoUpdate=%1").arg(s.SyncAutoUpdate);
    for (int n = 1; n <= 8; ++n) {
        const pg5400::TChannelSettings& c = pg5400::ChannelSettings[n];
        const QString p = QStringLiteral("cache.ch%1.").arg(n);
        out << p + QStringLiteral("Enabled=%1").arg(c.Enabled) << p + "Width=" + number(c.Width)
            << p + "Delay=" + number(c.Delay) << p + QStringLiteral("Mode=%1").arg(c.ModeIndex)
            << p + QStringLiteral("Burst=%1").arg(c.BurstCount)
            << p + QStringLiteral("DutyOn=%1").arg(c.DutyOnCount)
            << p + QStringLiteral("DutyOff=%1").arg(c.DutyOffCount)
            << p + "Amplitude=" + number(c.Amplitude)
            << p + QStringLiteral("Sync=%1").arg(c.SyncChannel)
            << p + QStringLiteral("Polarity=%1").arg(c.PolarityIndex)
            << p + QStringLiteral("Wait=%1").arg(c.WaitCount)
            << p + QStringLiteral("Mux=%1").arg(c.MuxMask)
            << p + QStringLiteral("GateMode=%1").arg(c.GateModeIndex)
            << p + QStringLiteral("MuxGate=%1").arg(c.MuxGateIndex);
    }
}

} // namespace

QStringList PanelView(const TMainForm* form) {
    QStringList out;
    for (const TPlusSpinEdit* spin : form->findChildren<TPlusSpinEdit*>())
        out << spin->objectName() + QLatin1Char('=') + number(spin->Value());
    for (const QCheckBox* box : form->findChildren<QCheckBox*>())
        out << box->objectName() + QLatin1Char('=') + (box->isChecked() ? "on" : "off");
    for (const QComboBox* list : form->findChildren<QComboBox*>()) {
        if (list == form->SendEdit)
            continue;
        out << list->objectName() + QLatin1Char('=') + QString::number(list->currentIndex()) +
                   QLatin1Char(' ') + list->currentText();
    }
    for (const QListWidget* marks : form->findChildren<QListWidget*>()) {
        QString bits;
        for (int i = 0; i < marks->count(); ++i)
            bits += CheckListMark(marks, i) ? QLatin1Char('1') : QLatin1Char('0');
        out << marks->objectName() + QLatin1Char('=') + bits;
    }
    out << QStringLiteral("RunStopbtn=") + form->RunStopbtn->text();
    // A read-back moves the channel pages among the tabs, and with them the
    // order in which children are found.
    out.sort();
    addCache(out);
    return out;
}

QStringList ReadBackChanges(PanelHarness& h) {
    QStringList changes;
    if (!h.waitIdle()) {
        changes << QStringLiteral("panel not idle before the read-back");
        return changes;
    }
    const QStringList before = PanelView(h.form());
    h.form()->Up1Click(h.form()->Up1);
    if (!h.waitIdle()) {
        changes << QStringLiteral("panel not idle after the read-back");
        return changes;
    }
    const QStringList after = PanelView(h.form());
    for (qsizetype i = 0; i < std::max(before.size(), after.size()); ++i)
        if (before.value(i) != after.value(i))
            changes << before.value(i) + QStringLiteral(" -> ") + after.value(i);
    return changes;
}

} // namespace testsupport
