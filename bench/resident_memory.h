#pragma once

#include <QFile>
#include <QString>

// A process's resident memory in KiB (VmRSS of /proc/PID/status); this
// process's own by default. -1 when it cannot be read.
inline long residentKiB(const QString& pid = QStringLiteral("self")) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}
