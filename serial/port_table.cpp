#include "serial/port_table.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>

namespace serialport {

namespace {

QStringList overrideTable;
QStringList resolvedTable;
QString deviceRoot = QStringLiteral("/dev");

QStringList devicesWithPrefix(const QDir& dev, const QString& prefix) {
    static const QRegularExpression digitsOnly(QStringLiteral("^\\d+$"));
    QStringList found;
    for (const QString& name : dev.entryList({prefix + QLatin1Char('*')}, QDir::System)) {
        if (digitsOnly.match(name.mid(prefix.size())).hasMatch())
            found << name;
    }
    std::sort(found.begin(), found.end(), [&](const QString& a, const QString& b) {
        return a.mid(prefix.size()).toInt() < b.mid(prefix.size()).toInt();
    });
    for (QString& name : found)
        name = dev.filePath(name);
    return found;
}

// udev's stable names (serial/by-id) by the device each one leads to.
QHash<QString, QString> stableNames(const QDir& dev) {
    QHash<QString, QString> names;
    const QDir byId(dev.filePath(QStringLiteral("serial/by-id")));
    for (const QString& name :
         byId.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString device = QFileInfo(byId.filePath(name)).canonicalFilePath();
        if (!device.isEmpty() && !names.contains(device))
            names.insert(device, byId.filePath(name));
    }
    return names;
}

} // namespace

QStringList PortTable() {
    if (!overrideTable.isEmpty())
        return overrideTable;
    const QByteArray env = qgetenv("PG5400_PORTS");
    if (!env.isEmpty()) {
        QStringList paths = QString::fromLocal8Bit(env).split(QLatin1Char(','));
        for (QString& p : paths)
            p = p.trimmed();
        return paths;
    }
    const QDir dev(deviceRoot);
    QStringList paths;
    for (const char* prefix : {"ttyACM", "ttyUSB", "rfcomm", "ttyS"})
        paths << devicesWithPrefix(dev, QLatin1String(prefix));
    // A device with a stable name keeps it across replugs, whatever number
    // the kernel gives it; each device is listed once.
    const QHash<QString, QString> stable = stableNames(dev);
    for (QString& path : paths)
        path = stable.value(QFileInfo(path).canonicalFilePath(), path);
    return paths;
}

void ResolvePortTable() {
    resolvedTable = PortTable();
}

QString DevicePathForPort(int n) {
    const QStringList table = resolvedTable.isEmpty() ? PortTable() : resolvedTable;
    if (n < 1 || n > table.size())
        return {};
    return table.at(n - 1);
}

void SetPortTableOverride(const QStringList& paths) {
    overrideTable = paths;
    resolvedTable.clear();
}

void SetDeviceRoot(const QString& root) {
    deviceRoot = root.isEmpty() ? QStringLiteral("/dev") : root;
    resolvedTable.clear();
}

} // namespace serialport
