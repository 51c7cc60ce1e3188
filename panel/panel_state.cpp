#include "panel/panel_state.h"

namespace pg5400 {

bool DemoMode = false;
bool Running = false;
QStringList SettingsSnapshot;

void ResetPanelState() {
    DemoMode = false;
    Running = false;
    SettingsSnapshot.clear();
}

} // namespace pg5400
