#include "serial/open_failure.h"

#include <cstring>

namespace serialport {

QString OpenFailure::describe() const {
    switch (kind) {
    case None:
    case Missing:
        return {};
    case PermissionDenied:
        return group.isEmpty() || group == QLatin1String("root")
                   ? QStringLiteral("permission denied")
                   : QStringLiteral("permission denied: the device belongs to group \"%1\"; "
                                    "add yourself with \"sudo usermod -aG %1 $USER\" and log in "
                                    "again")
                         .arg(group);
    case InUse:
        if (holderPid > 0)
            return QStringLiteral("in use by %1 (PID %2)")
                .arg(holderName.isEmpty() ? QStringLiteral("another program") : holderName)
                .arg(holderPid);
        if (!detail.isEmpty())
            return QStringLiteral("in use: ") + detail;
        return QStringLiteral("in use by another program");
    case Network:
        if (!detail.isEmpty())
            return detail;
        break;
    case Other:
        break;
    }
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace serialport
