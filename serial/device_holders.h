#pragma once

#include <QString>
#include <QtGlobal>

namespace serialport {

// Where UUCP-style lock files ("LCK..<device>", holding the owner's PID) are
// honoured and made; other serial programs follow the same convention. An
// empty folder switches lock files off.
void SetLockDirectory(const QString& folder);
QString LockDirectory();

} // namespace serialport

// Who else holds a serial device: the lock file other serial programs leave
// ("LCK..<device>" with their PID) and the processes that simply have it open.
namespace serialport::holders {

// The lock file of a device (its resolved path) in the lock folder; empty
// when lock files are off.
QString LockFileFor(const QString& device);

// What a lock file says of its device.
struct LockState {
    bool held = false; // the device counts as taken
    qint64 pid = 0;    // the holder, where known (this process included)
    QString detail;    // why it is held without a known holder
};
// A lock counts while its process lives and has the device open (where its
// descriptors cannot be read, a live owner is believed), for three seconds
// after a live owner made it (the device is opened after the lock), and
// while an empty file is younger than a second (its maker has not written
// the PID yet). A lock with this process's PID counts as ours only where
// this process made it. Anything else found under the name (a stale or
// broken lock, a link, a FIFO) is removed, provided it is still the file
// that was judged; one that cannot be removed holds the device. The file is
// opened without following links and without blocking.
LockState LockHolder(const QString& lockFile, const QString& device);

enum class LockMade { Made, Exists, Unavailable };
// Makes the lock file for this process. Exists: another lock is there (look
// again); Unavailable: the folder cannot be written to.
LockMade MakeLockFile(const QString& lockFile);
// Removes a lock file this process made.
void RemoveLockFile(const QString& lockFile);

// Another process that has the device open (without locks, like a terminal
// program): its PID, 0 when none is seen. This process does not count, nor
// do pseudo-terminals (simulated instruments).
qint64 OtherOpener(const QString& device);

// A process's program name, empty when unknown.
QString ProgramOf(qint64 pid);

} // namespace serialport::holders
