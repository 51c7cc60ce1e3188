#include "panel/panel_state.h"

namespace pg5400 {

bool DemoMode = false;
bool Running = false;
QStringList SettingsSnapshot;
qint32 RecallRequested = 0;
qint32 RecallBin = 0;
bool TaskBusy = false;
bool StatusBusy = false;
double MeasuredTriggerPeriod = 0;

void ResetPanelState() {
    DemoMode = false;
    Running = false;
    SettingsSnapshot.clear();
    RecallRequested = 0;
    RecallBin = 0;
    TaskBusy = false;
    StatusBusy = false;
    MeasuredTriggerPeriod = 0;
}

} // namespace pg5400
