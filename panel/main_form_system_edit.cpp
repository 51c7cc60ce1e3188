// Editors of the system page: each change of a control becomes one set line
// for the system timer, and the cache keeps what was sent.
#include "comm/command_set.h"
#include "comm/discovery.h"
#include "controls/plusspinedit.h"
#include "instrument/settings_cache.h"
#include "panel/main_form.h"
#include "panel/main_form_edit_commit.h"

#include <QCheckBox>
#include <QComboBox>

using namespace pg5400;
namespace cmd = communication::cmd;

void TMainForm::PeriodAdjChange(QObject*) {
    const double v = PeriodAdj->Value();
    if (!CheckResolution(v, communication::SystemResolution)) {
        // Back to the last accepted period; when that moves the control, its
        // change event runs here again and sends the accepted period once more.
        PeriodAdj->setValue(SystemSettings.Period);
        return;
    }
    commitSpin(PeriodAdj, SystemSettings.Period, v, cmd::setPeriod(v));
}

void TMainForm::SystemModeSelChange(QObject*) {
    const int index = ListChoice(SystemModeSel, &TMainForm::SystemModeSelChange);
    if (commitList(SystemModeSel, SystemSettings.ModeIndex, index, cmd::setSystemMode(index)))
        SystemModesEnable();
}

void TMainForm::SysBurstAdjChange(QObject*) {
    const auto v = cmd::wholeCountUnsigned(SysBurstAdj->Value());
    commitSpin(SysBurstAdj, SystemSettings.BurstCount, v, cmd::setSystemBurstCount(v));
}

void TMainForm::SysDutyOnAdjChange(QObject*) {
    const auto v = cmd::wholeCountUnsigned(SysDutyOnAdj->Value());
    commitSpin(SysDutyOnAdj, SystemSettings.DutyOnCount, v, cmd::setSystemDutyOnCount(v));
}

void TMainForm::SysDutyOffAdjChange(QObject*) {
    const auto v = cmd::wholeCountUnsigned(SysDutyOffAdj->Value());
    commitSpin(SysDutyOffAdj, SystemSettings.DutyOffCount, v, cmd::setSystemDutyOffCount(v));
}

void TMainForm::ExtModeSelChange(QObject*) {
    const int index = ListChoice(ExtModeSel, &TMainForm::ExtModeSelChange);
    if (commitList(ExtModeSel, SystemSettings.TriggerModeIndex, index, cmd::setExternalMode(index)))
        TriggerModesEnable();
}

void TMainForm::TriggerEdgeSelClick(QObject*) {
    const int index = ListChoice(TriggerEdgeSel, &TMainForm::TriggerEdgeSelClick);
    commitList(TriggerEdgeSel, SystemSettings.TriggerEdgeIndex, index, cmd::setTriggerEdge(index));
}

void TMainForm::GatePolaritySelChange(QObject*) {
    const int index = ListChoice(GatePolaritySel, &TMainForm::GatePolaritySelChange);
    commitList(GatePolaritySel, SystemSettings.GatePolarityIndex, index,
               cmd::setGatePolarity(index));
}

void TMainForm::TrigThresholdAdjChange(QObject*) {
    const double v = TrigThresholdAdj->Value();
    commitSpin(TrigThresholdAdj, SystemSettings.TriggerLevel, v, cmd::setTriggerLevel(v));
}

void TMainForm::AutoStartEnblClick(QObject*) {
    // The cache keeps the auto start the instrument last reported, so a
    // refused click is undone from the box itself: it showed the other state.
    const bool on = AutoStartEnbl->isChecked();
    const bool queued = QueuedCommandToPort(cmd::setAutoStart(on));
    if (queued)
        noteUserEdit(AutoStartEnbl, !on, on);
    if (!queued) {
        const QSignalBlocker quiet(AutoStartEnbl);
        AutoStartEnbl->setChecked(!on);
    }
}
