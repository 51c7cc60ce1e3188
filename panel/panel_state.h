#pragma once

#include <QStringList>

// Program-wide state of the panel, shared by the window's concerns.
namespace pg5400 {

extern bool DemoMode;
extern bool Running;
// "// " comment lines and one set-command line per setting; rebuilt by every
// read-back and written as the settings file.
extern QStringList SettingsSnapshot;

void ResetPanelState();

} // namespace pg5400
