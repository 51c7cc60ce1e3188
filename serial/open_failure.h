#pragma once

#include <QString>
#include <QtGlobal>

namespace serialport {

// Why a device could not be opened, for the user.
struct OpenFailure {
    enum Kind { None, Missing, PermissionDenied, InUse, Network, Other };
    Kind kind = None;
    int error = 0;        // errno of the failed call
    qint64 holderPid = 0; // the process holding it, where known
    QString holderName;   // that process's program name, where known
    QString group;        // the device's owning group (permission denied)
    QString detail;       // what went wrong with a network port, said in full
    // One line: what went wrong and what the user can do about it.
    QString describe() const;
};

} // namespace serialport
