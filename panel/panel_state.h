#pragma once

#include <QStringList>

// Program-wide state of the panel, shared by the window's concerns.
namespace pg5400 {

extern bool DemoMode;
extern bool Running;
// "// " comment lines and one set-command line per setting; rebuilt by every
// read-back and written as the settings file.
extern QStringList SettingsSnapshot;

// A storage bin recall is wanted (nonzero), and which bin (0 = defaults).
extern qint32 RecallRequested;
extern qint32 RecallBin;
// The task tick and the status poll take turns on the port.
extern bool TaskBusy;
extern bool StatusBusy;

// The trigger period the period counter measured at the last status poll, in
// seconds; 0 while the counter is off.
extern double MeasuredTriggerPeriod;

void ResetPanelState();

} // namespace pg5400
