// Editors of the plus features page: period counter, shot counter,
// synchronous update and the system duty-cycle count.
#include "comm/command_set.h"
#include "controls/plusspinedit.h"
#include "instrument/settings_cache.h"
#include "panel/main_form.h"
#include "panel/main_form_edit_commit.h"
#include "panel/panel_state.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using namespace pg5400;
namespace cmd = communication::cmd;

void TMainForm::PeriodCounterEnClick(QObject*) {
    commitCheck(PeriodCounterEn, SystemSettings.PeriodCounterEnabled,
                cmd::setPeriodCounterEnabled(PeriodCounterEn->isChecked()));
}

void TMainForm::PCAutoEnClick(QObject*) {
    commitCheck(PCAutoEn, SystemSettings.PeriodCounterAuto,
                cmd::setPeriodCounterAuto(PCAutoEn->isChecked()));
}

void TMainForm::PCountadjChange(QObject*) {
    const auto v = cmd::wholeCountSigned(PCountadj->Value());
    commitSpin(PCountadj, SystemSettings.PeriodCounterCount, v, cmd::setPeriodCounterCount(v));
}

void TMainForm::PCountClearClick(QObject*) {
    // The next reading the poll shows is a fresh one.
    if (QueuedCommandToPort(cmd::clearPeriodCounter())) {
        PCountlbl->setText(QStringLiteral("P: ----"));
        // Nor does the timing diagram keep pacing by the old reading.
        MeasuredTriggerPeriod = 0;
        noteSettingsChanged();
    }
}

void TMainForm::SynchEnableClick(QObject*) {
    // Enabling synchronous update switches the instrument's automatic update
    // off: the check box shows the opposite of the cached auto update.
    const bool synchronous = SynchEnable->isChecked();
    if (QueuedCommandToPort(cmd::setSyncAutoUpdate(!synchronous))) {
        noteUserEdit(SynchEnable, SystemSettings.SyncAutoUpdate == 0, synchronous);
        SystemSettings.SyncAutoUpdate = synchronous ? 0 : 1;
    } else {
        const QSignalBlocker quiet(SynchEnable);
        SynchEnable->setChecked(SystemSettings.SyncAutoUpdate == 0);
    }
    SynchUpdatebtn->setEnabled(SystemSettings.SyncAutoUpdate == 0);
}

void TMainForm::SynchUpdatebtnClick(QObject*) {
    QueuedCommandToPort(cmd::executeUpdate());
}

void TMainForm::ShotCountEnblClick(QObject*) {
    commitCheck(ShotCountEnbl, SystemSettings.ShotCounterEnabled,
                cmd::setShotCounterEnabled(ShotCountEnbl->isChecked()));
}

void TMainForm::ClearShotCountClick(QObject*) {
    QueuedCommandToPort(cmd::clearShotCounter());
}

void TMainForm::ShotCountSelChange(QObject*) {
    const int index = ListChoice(ShotCountSel, &TMainForm::ShotCountSelChange);
    if (!cmd::ShotCounterSources.isValidIndex(index))
        return;
    commitList(ShotCountSel, SystemSettings.ShotCounterSourceIndex, index,
               cmd::setShotCounterSource(index));
}

void TMainForm::CycleCountAdjChange(QObject*) {
    const auto v = cmd::wholeCountSigned(CycleCountAdj->Value());
    commitSpin(CycleCountAdj, SystemSettings.CycleCount, v, cmd::setCycleCount(v));
}
