#pragma once

#include <QString>
#include <QStringList>

// COM port numbers as the panel and its users know them, mapped to Linux
// device paths. COM n is the n-th entry (1-based) of the table.
namespace serialport {

// PG5400_PORTS (comma-separated device paths; empty entries keep their slot)
// when set, otherwise the existing /dev/ttyACM*, /dev/ttyUSB*, /dev/rfcomm*
// and /dev/ttyS* devices, in that order, numeric order within each; a device
// with a stable name in /dev/serial/by-id is listed by that name.
QStringList PortTable();

// The device path of COM n, or an empty string when there is none: from the
// table last resolved, else from a fresh look at the devices.
QString DevicePathForPort(int n);

// Takes the table as it is now for every later lookup: a scan or the pick
// dialog resolves it once, so COM n keeps one meaning while they run and
// after, whatever devices come and go.
void ResolvePortTable();

// Replaces the table for this process (the built-in simulated instrument and
// tests use it); an empty list goes back to the environment and /dev.
void SetPortTableOverride(const QStringList& paths);
// Where the device nodes are looked for (tests use a folder of their own).
void SetDeviceRoot(const QString& root);

} // namespace serialport
