// The model's timing grid, limits and the enabling that follows the modes.
#include "comm/command_set.h"
#include "comm/discovery.h"
#include "comm/model_table.h"
#include "controls/plusspinedit.h"
#include "instrument/resolution.h"
#include "instrument/settings_cache.h"
#include "panel/main_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>

using namespace pg5400;
using communication::ChannelCount;
using communication::HighResolution;
using communication::InstrumentIdentity;
using communication::PlusOption;
using communication::SystemResolution;

namespace {

// The output channels of the high-resolution models place delays on a 5 ps grid.
bool isFineDelayChannel(int n) {
    return HighResolution &&
           n <= communication::ModelInfoFor(InstrumentIdentity.Model).outputChannels;
}

void enableAll(bool on, std::initializer_list<QWidget*> widgets) {
    for (QWidget* w : widgets)
        if (w) {
            // A spin edit keeps an enabled state of its own besides the widget's.
            if (auto* spin = qobject_cast<TPlusSpinEdit*>(w))
                spin->setEnabled(on);
            else
                w->setEnabled(on);
        }
}

} // namespace

bool TMainForm::CheckResolution(double value, double resolution) {
    return pg5400::CheckResolution(value, resolution);
}

void TMainForm::SetResolution() {
    PeriodAdj->setIncrement(SystemResolution);
    for (int n = 1; n <= 8; ++n) {
        ChWidthAdj[n]->setIncrement(SystemResolution);
        ChDelayAdj[n]->setIncrement(isFineDelayChannel(n) ? 5e-12 : SystemResolution);
    }
    const bool extended = PlusOption || HighResolution;
    PeriodAdj->setDecimals(extended ? 9 : 8);
    PeriodAdj->setMinValue(extended ? (HighResolution ? 4e-8 : 5e-8) : 2e-7);
    for (int n = 1; n <= 8; ++n) {
        ChDelayAdj[n]->setDecimals(extended ? (isFineDelayChannel(n) ? 12 : 9) : 8);
        ChWidthAdj[n]->setDecimals(extended ? 9 : 8);
    }
}

void TMainForm::SetRanges() {
    const double limit = HighResolution ? 4000 : 1000;
    PeriodAdj->setMaxValue(limit);
    for (int n = 1; n <= std::min(ChannelCount, 8); ++n) {
        ChDelayAdj[n]->setMaxValue(limit);
        ChDelayAdj[n]->setMinValue(-limit);
        ChWidthAdj[n]->setMaxValue(limit);
        if (HighResolution)
            ChWidthAdj[n]->setMinValue(8e-9);
    }
}

void TMainForm::SystemModesEnable() {
    const int mode = SystemSettings.ModeIndex;
    if (mode < 0 || mode > 3)
        return;
    const bool burst = mode == 2;
    const bool duty = mode == 3;
    enableAll(burst, {BurstCountGrp, SysBurstAdj});
    enableAll(duty, {DutyCycleGrp, SysDutyOnAdj, SysDutyOffAdj});
    enableAll(duty, {DutyCycleCCGrp, CycleCountAdj});
}

void TMainForm::ChModesEnable(int chnum) {
    if (chnum < 1 || chnum > 8)
        return;
    const int mode = ChannelSettings[chnum].ModeIndex;
    if (mode < 0 || mode > 3)
        return;
    enableAll(mode == 2, {ChBurstCountGrp[chnum], ChBurstAdj[chnum]});
    enableAll(mode == 3,
              {ChDutyOnGrp[chnum], ChDutyOnAdj[chnum], ChDutyOffGrp[chnum], ChDutyOffAdj[chnum]});
}

void TMainForm::TriggerModesEnable() {
    const int mode = SystemSettings.TriggerModeIndex;
    if (mode < 0 || mode > 2)
        return;
    enableAll(mode != 0, {ExtThresholdGrp, TrigThresholdAdj});
    enableAll(mode == 2, {GatePolGrp, GatePolaritySel});
    enableAll(mode == 1, {ExtTrigEdgGrp, TriggerEdgeSel});
    enableAll(mode == 1, {PeriodCounterGrp, PeriodCounterEn, PCAutoEn, PCountadj, PCountClear});
    // The period counter measures the trigger input: without one it goes off.
    if (mode == 0 && SystemSettings.PeriodCounterEnabled == 1) {
        QueuedCommandToPort(communication::cmd::setPeriodCounterEnabled(false));
        SystemSettings.PeriodCounterEnabled = 0;
        PeriodCounterEn->setChecked(false);
    }
}

void TMainForm::EnabledAsParent(QWidget* container) {
    if (!container)
        return;
    const bool on = container->isEnabled();
    for (QObject* child : container->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isWindow())
            continue;
        if (auto* spin = qobject_cast<TPlusSpinEdit*>(w))
            spin->setEnabled(on);
        else
            w->setEnabled(on);
        EnabledAsParent(w);
    }
}
