#pragma once

#include <QString>
#include <QtGlobal>

// Who else holds a serial device: the lock file other serial programs leave
// ("LCK..<device>" with their PID) and the processes that simply have it open.
namespace serialport::holders {

// The lock file of a device (its resolved path) in the lock folder; empty
// when lock files are off.
QString LockFileFor(const QString& device);
// The live process named by a lock file, 0 when there is none; a lock file of
// a process that is gone is removed.
qint64 LockHolder(const QString& lockFile);
// Makes the lock file for this process; false when another process made it
// first or the folder cannot be written to.
bool MakeLockFile(const QString& lockFile);

// Another process that has the device open (without locks, like a terminal
// program): its PID, 0 when none is seen. This process does not count, nor
// do pseudo-terminals (simulated instruments).
qint64 OtherOpener(const QString& device);

// A process's program name, empty when unknown.
QString ProgramOf(qint64 pid);

} // namespace serialport::holders
