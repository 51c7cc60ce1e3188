#include "serial/device_holders.h"

#include "serial/tty_device.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace serialport {

namespace {

QString lockFolder = QStringLiteral("/var/lock");

bool alive(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

} // namespace

void SetLockDirectory(const QString& folder) {
    lockFolder = folder;
}

namespace holders {

QString LockFileFor(const QString& device) {
    if (lockFolder.isEmpty() || device.isEmpty())
        return {};
    // "/dev/ttyACM0" -> "LCK..ttyACM0", "/dev/pts/3" -> "LCK..pts_3".
    QString name = device.startsWith(QStringLiteral("/dev/")) ? device.mid(5) : device.mid(1);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QDir(lockFolder).filePath(QStringLiteral("LCK..") + name);
}

qint64 LockHolder(const QString& lockFile) {
    QFile file(lockFile);
    if (lockFile.isEmpty() || !file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = file.read(64);
    file.close();
    bool ok = false;
    qint64 pid = text.trimmed().toLongLong(&ok);
    // Some programs write the PID as a binary int of four bytes.
    if (!ok && text.size() == 4)
        pid = *reinterpret_cast<const qint32*>(text.constData());
    if (alive(pid))
        return pid;
    QFile::remove(lockFile); // stale: its process is gone
    return 0;
}

bool MakeLockFile(const QString& lockFile) {
    const QByteArray path = QFile::encodeName(lockFile);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const QByteArray text = QByteArray::number(qint64(::getpid())).rightJustified(10, ' ') + '\n';
    const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    ::close(fd);
    if (!written)
        ::unlink(path.constData());
    return written;
}

qint64 OtherOpener(const QString& device) {
    // A pseudo-terminal is a simulator's or a test peer's, which keeps its own
    // side open; and a closed one's number is soon given to the next, while
    // old descriptors still name it.
    if (device.startsWith(QStringLiteral("/dev/pts/")))
        return 0;
    const QString self = QString::number(::getpid());
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid == self || pid.isEmpty() || !pid.at(0).isDigit())
            continue;
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        for (const QString& fd :
             fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
            if (QFileInfo(fds.filePath(fd)).symLinkTarget() == device)
                return pid.toLongLong();
    }
    return 0;
}

QString ProgramOf(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

} // namespace holders

} // namespace serialport
