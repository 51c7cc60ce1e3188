// Editors of the system page: each change of a control becomes one set line
// for the system timer, and the cache keeps what was sent.
#include "comm/command_set.h"
#include "comm/discovery.h"
#include "controls/plusspinedit.h"
#include "panel/main_form.h"
#include "panel/settings_cache.h"

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
    SystemSettings.Period = v;
    QueuedCommandToPort(cmd::setPeriod(SystemSettings.Period));
}

void TMainForm::SystemModeSelChange(QObject*) {
    const int index = ListChoice(SystemModeSel, &TMainForm::SystemModeSelChange);
    const QString line = cmd::setSystemMode(index);
    if (line.isEmpty())
        return;
    QueuedCommandToPort(line);
    SystemSettings.ModeIndex = index;
    SystemModesEnable();
}

void TMainForm::SysBurstAdjChange(QObject*) {
    SystemSettings.BurstCount = quint32(WholeCount(SysBurstAdj->Value()));
    QueuedCommandToPort(cmd::setSystemBurstCount(SystemSettings.BurstCount));
}

void TMainForm::SysDutyOnAdjChange(QObject*) {
    SystemSettings.DutyOnCount = quint32(WholeCount(SysDutyOnAdj->Value()));
    QueuedCommandToPort(cmd::setSystemDutyOnCount(SystemSettings.DutyOnCount));
}

void TMainForm::SysDutyOffAdjChange(QObject*) {
    SystemSettings.DutyOffCount = quint32(WholeCount(SysDutyOffAdj->Value()));
    QueuedCommandToPort(cmd::setSystemDutyOffCount(SystemSettings.DutyOffCount));
}

void TMainForm::ExtModeSelChange(QObject*) {
    const int index = ListChoice(ExtModeSel, &TMainForm::ExtModeSelChange);
    const QString line = cmd::setExternalMode(index);
    if (line.isEmpty())
        return;
    QueuedCommandToPort(line);
    SystemSettings.TriggerModeIndex = index;
    TriggerModesEnable();
}

void TMainForm::TriggerEdgeSelClick(QObject*) {
    const int index = ListChoice(TriggerEdgeSel, &TMainForm::TriggerEdgeSelClick);
    const QString line = cmd::setTriggerEdge(index);
    if (line.isEmpty())
        return;
    QueuedCommandToPort(line);
    SystemSettings.TriggerEdgeIndex = index;
}

void TMainForm::GatePolaritySelChange(QObject*) {
    const int index = ListChoice(GatePolaritySel, &TMainForm::GatePolaritySelChange);
    const QString line = cmd::setGatePolarity(index);
    if (line.isEmpty())
        return;
    QueuedCommandToPort(line);
    SystemSettings.GatePolarityIndex = index;
}

void TMainForm::TrigThresholdAdjChange(QObject*) {
    SystemSettings.TriggerLevel = TrigThresholdAdj->Value();
    QueuedCommandToPort(cmd::setTriggerLevel(SystemSettings.TriggerLevel));
}

void TMainForm::AutoStartEnblClick(QObject*) {
    // The cache keeps the auto start the instrument last reported.
    QueuedCommandToPort(cmd::setAutoStart(AutoStartEnbl->isChecked()));
}
