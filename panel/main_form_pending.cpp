// Handlers whose behaviour arrives with later work: they do nothing yet.
#include "panel/main_form.h"

void TMainForm::SystemModeSelChange(QObject*) {}
void TMainForm::PeriodAdjChange(QObject*) {}
void TMainForm::SysBurstAdjChange(QObject*) {}
void TMainForm::AutoStartEnblClick(QObject*) {}
void TMainForm::SysDutyOnAdjChange(QObject*) {}
void TMainForm::SysDutyOffAdjChange(QObject*) {}
void TMainForm::ExtModeSelChange(QObject*) {}
void TMainForm::TrigThresholdAdjChange(QObject*) {}
void TMainForm::GatePolaritySelChange(QObject*) {}
void TMainForm::TriggerEdgeSelClick(QObject*) {}
void TMainForm::SetChEnableState(QObject*) {}
void TMainForm::SetChannelDelay(QObject*) {}
void TMainForm::SetChannelWidth(QObject*) {}
void TMainForm::SetChAmplitude(QObject*) {}
void TMainForm::SetChannelBurst(QObject*) {}
void TMainForm::SetChannelWaitCount(QObject*) {}
void TMainForm::SetChannelSyncSource(QObject*) {}
void TMainForm::SetChannelMux(QObject*) {}
void TMainForm::SetChannelMode(QObject*) {}
void TMainForm::SetChannelGateMode(QObject*) {}
void TMainForm::SetChannelPolarity(QObject*) {}
void TMainForm::SetChannelDCOn(QObject*) {}
void TMainForm::SetChannelDCOff(QObject*) {}
void TMainForm::SetChMuxGate(QObject*) {}
void TMainForm::RunStopbtnClick(QObject*) {}
void TMainForm::StatusTimerTimer(QObject*) {}
void TMainForm::SaveToFile1Click(QObject*) {}
void TMainForm::RestoreSettingsFromFile1Click(QObject*) {}
void TMainForm::SendBtnClick(QObject*) {}
bool TMainForm::SendEditKeyPress(QObject*, int, Qt::KeyboardModifiers) {
    return false;
}
void TMainForm::About1Click(QObject*) {}
void TMainForm::CaptureScreenShot1Click(QObject*) {}
void TMainForm::WebSite1Click(QObject*) {}
void TMainForm::ShotCountEnblClick(QObject*) {}
void TMainForm::ShotCountSelChange(QObject*) {}
void TMainForm::ClearShotCountClick(QObject*) {}
void TMainForm::PeriodCounterEnClick(QObject*) {}
void TMainForm::PCAutoEnClick(QObject*) {}
void TMainForm::PCountadjChange(QObject*) {}
void TMainForm::PCountClearClick(QObject*) {}
void TMainForm::SynchEnableClick(QObject*) {}
void TMainForm::SynchUpdatebtnClick(QObject*) {}
void TMainForm::CycleCountAdjChange(QObject*) {}
void TMainForm::Initialize() {}
void TMainForm::LaunchTimerTimer(QObject*) {}
