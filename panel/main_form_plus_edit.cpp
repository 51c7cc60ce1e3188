// Editors of the plus features page: period counter, shot counter,
// synchronous update and the system duty-cycle count.
#include "comm/command_set.h"
#include "controls/plusspinedit.h"
#include "panel/main_form.h"
#include "panel/settings_cache.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using namespace pg5400;
namespace cmd = communication::cmd;

void TMainForm::PeriodCounterEnClick(QObject*) {
    const bool on = PeriodCounterEn->isChecked();
    QueuedCommandToPort(cmd::setPeriodCounterEnabled(on));
    SystemSettings.PeriodCounterEnabled = on ? 1 : 0;
}

void TMainForm::PCAutoEnClick(QObject*) {
    const bool on = PCAutoEn->isChecked();
    QueuedCommandToPort(cmd::setPeriodCounterAuto(on));
    SystemSettings.PeriodCounterAuto = on ? 1 : 0;
}

void TMainForm::PCountadjChange(QObject*) {
    SystemSettings.PeriodCounterCount = qint32(WholeCount(PCountadj->Value()));
    QueuedCommandToPort(cmd::setPeriodCounterCount(SystemSettings.PeriodCounterCount));
}

void TMainForm::PCountClearClick(QObject*) {
    QueuedCommandToPort(cmd::clearPeriodCounter());
    // The next reading the poll shows is a fresh one.
    PCountlbl->setText(QStringLiteral("P: ----"));
}

void TMainForm::SynchEnableClick(QObject*) {
    // Enabling synchronous update switches the instrument's automatic update off.
    const bool synchronous = SynchEnable->isChecked();
    QueuedCommandToPort(cmd::setSyncAutoUpdate(!synchronous));
    SynchUpdatebtn->setEnabled(synchronous);
    SystemSettings.SyncAutoUpdate = synchronous ? 0 : 1;
}

void TMainForm::SynchUpdatebtnClick(QObject*) {
    QueuedCommandToPort(cmd::executeUpdate());
}

void TMainForm::ShotCountEnblClick(QObject*) {
    const bool on = ShotCountEnbl->isChecked();
    QueuedCommandToPort(cmd::setShotCounterEnabled(on));
    SystemSettings.ShotCounterEnabled = on ? 1 : 0;
}

void TMainForm::ClearShotCountClick(QObject*) {
    QueuedCommandToPort(cmd::clearShotCounter());
}

void TMainForm::ShotCountSelChange(QObject*) {
    const int index = ListChoice(ShotCountSel, &TMainForm::ShotCountSelChange);
    if (!cmd::ShotCounterSources.isValidIndex(index))
        return;
    SystemSettings.ShotCounterSourceIndex = index;
    QueuedCommandToPort(cmd::setShotCounterSource(SystemSettings.ShotCounterSourceIndex));
}

void TMainForm::CycleCountAdjChange(QObject*) {
    SystemSettings.CycleCount = qint32(WholeCount(CycleCountAdj->Value()));
    QueuedCommandToPort(cmd::setCycleCount(SystemSettings.CycleCount));
}
