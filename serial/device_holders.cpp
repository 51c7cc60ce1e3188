#include "serial/device_holders.h"

#include "serial/tty_device.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace serialport {

namespace {

// A function's own static: tests set the folder from static initialisers.
QString& lockFolder() {
    static QString folder = QStringLiteral("/var/lock");
    return folder;
}

// The kernel's hard ceiling for PIDs (PID_MAX_LIMIT on 64-bit).
constexpr qint64 kMaxPid = qint64(1) << 22;
// A lock file holds a PID of ten characters and a newline; anything much
// bigger is not one.
constexpr qint64 kMaxLockSize = 128;
// An empty lock file this young is still being written by its maker.
constexpr qint64 kFillingNs = 1'000'000'000;
// A live owner's lock this young counts before the device is open.
constexpr qint64 kFreshLockNs = 3'000'000'000;

bool alive(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

enum class Holds { Yes, No, Unknown };

// Whether a process has the device open, read from its descriptors: by the
// device's number, so another name for it (a by-id link, a second node)
// counts as well.
Holds processHolds(qint64 pid, const QString& device) {
    const QByteArray folder = QByteArray("/proc/") + QByteArray::number(pid) + "/fd";
    // Another user's descriptors cannot be read: then nothing is known.
    if (::access(folder.constData(), R_OK | X_OK) != 0)
        return errno == ENOENT ? Holds::No : Holds::Unknown;
    struct stat wanted {};
    if (::stat(QFile::encodeName(device).constData(), &wanted) != 0)
        return Holds::No;
    const auto same = [&wanted](const struct stat& st) {
        if (S_ISCHR(wanted.st_mode))
            return S_ISCHR(st.st_mode) && st.st_rdev == wanted.st_rdev;
        return st.st_dev == wanted.st_dev && st.st_ino == wanted.st_ino;
    };
    const QDir fds(QString::fromLatin1(folder));
    for (const QString& fd :
         fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        struct stat st {};
        if (::stat(QFile::encodeName(fds.filePath(fd)).constData(), &st) == 0 && same(st))
            return Holds::Yes;
    }
    return Holds::No;
}

// The lock files this process made and has not removed: a lock with our PID
// that is not among them is a dead process's whose PID we were given.
QSet<QString>& locksMadeHere() {
    static QSet<QString> made;
    return made;
}

// The PID of a lock file's text: ASCII decimal as most programs write it, or
// a binary int of four bytes as some do; 0 when it names no possible process.
qint64 parsePid(const QByteArray& text) {
    bool ok = false;
    qint64 pid = text.trimmed().toLongLong(&ok);
    if (!ok && text.size() == 4) {
        qint32 binary = 0;
        std::memcpy(&binary, text.constData(), sizeof binary);
        pid = binary;
        ok = true;
    }
    return ok && pid > 0 && pid <= kMaxPid ? pid : 0;
}

qint64 ageNs(const struct stat& st) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return (qint64(now.tv_sec) - qint64(st.st_mtim.tv_sec)) * 1'000'000'000 +
           (qint64(now.tv_nsec) - qint64(st.st_mtim.tv_nsec));
}

// Removes what is not a lock that counts; what stays holds the device. Only
// the file that was judged goes: where another program has put a fresh lock
// under the name meanwhile, that one is left for the next look.
holders::LockState removeStale(const QString& lockFile, const struct stat* judged = nullptr) {
    const QByteArray path = QFile::encodeName(lockFile);
    if (judged) {
        struct stat now {};
        if (::lstat(path.constData(), &now) != 0)
            return {};
        if (now.st_dev != judged->st_dev || now.st_ino != judged->st_ino ||
            now.st_mtim.tv_sec != judged->st_mtim.tv_sec ||
            now.st_mtim.tv_nsec != judged->st_mtim.tv_nsec)
            return {};
    }
    if (::unlink(path.constData()) == 0 || errno == ENOENT)
        return {};
    return {true, 0,
            QStringLiteral("locked by %1, which cannot be removed")
                .arg(QFileInfo(lockFile).fileName())};
}

} // namespace

void SetLockDirectory(const QString& folder) {
    lockFolder() = folder;
}

QString LockDirectory() {
    return lockFolder();
}

namespace holders {

QString LockFileFor(const QString& device) {
    if (lockFolder().isEmpty() || device.isEmpty())
        return {};
    // "/dev/ttyACM0" -> "LCK..ttyACM0", "/dev/pts/3" -> "LCK..pts_3".
    QString name = device.startsWith(QStringLiteral("/dev/")) ? device.mid(5) : device.mid(1);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QDir(lockFolder()).filePath(QStringLiteral("LCK..") + name);
}

LockState LockHolder(const QString& lockFile, const QString& device) {
    if (lockFile.isEmpty())
        return {};
    // The lock folder is writable by every user: whatever lies under the name
    // may be planted. No link is followed and a FIFO does not block.
    const int fd = ::open(QFile::encodeName(lockFile).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return {};
        if (errno == ELOOP)
            return removeStale(lockFile);
        // A lock this user may not read is someone's: it is believed.
        return {true, 0,
                QStringLiteral("locked by %1, which cannot be read")
                    .arg(QFileInfo(lockFile).fileName())};
    }
    struct stat st {};
    QByteArray text;
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxLockSize;
    if (regular) {
        text.resize(kMaxLockSize);
        const ssize_t n = ::read(fd, text.data(), size_t(text.size()));
        text.resize(n > 0 ? int(n) : 0);
    }
    ::close(fd);
    if (!regular)
        return removeStale(lockFile, &st);
    if (text.isEmpty() && ageNs(st) < kFillingNs)
        return {true, 0,
                QStringLiteral("being locked by another program (%1)")
                    .arg(QFileInfo(lockFile).fileName())};
    const qint64 pid = parsePid(text);
    if (pid == ::getpid()) {
        if (locksMadeHere().contains(lockFile))
            return {false, pid, {}};
        return removeStale(lockFile, &st);
    }
    // A PID is reused soon after its process ends, and a pseudo-terminal's
    // number soon after it closes: a lock counts only while its owner really
    // has this device open, or has just made it (programs lock first and
    // open the device after).
    if (alive(pid) && (processHolds(pid, device) != Holds::No || ageNs(st) < kFreshLockNs))
        return {true, pid, {}};
    return removeStale(lockFile, &st);
}

LockMade MakeLockFile(const QString& lockFile) {
    const QByteArray path = QFile::encodeName(lockFile);
    const int fd =
        ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno == EEXIST ? LockMade::Exists : LockMade::Unavailable;
    const QByteArray text = QByteArray::number(qint64(::getpid())).rightJustified(10, ' ') + '\n';
    const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    ::close(fd);
    if (!written) {
        ::unlink(path.constData());
        return LockMade::Unavailable;
    }
    locksMadeHere().insert(lockFile);
    return LockMade::Made;
}

void RemoveLockFile(const QString& lockFile) {
    QFile::remove(lockFile);
    locksMadeHere().remove(lockFile);
}

qint64 OtherOpener(const QString& device) {
    // A pseudo-terminal is a simulator's or a test peer's, which keeps its own
    // side open; and a closed one's number is soon given to the next, while
    // old descriptors still name it.
    if (device.startsWith(QStringLiteral("/dev/pts/")))
        return 0;
    const qint64 self = ::getpid();
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& name : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const qint64 pid = name.toLongLong(&number);
        if (number && pid != self && processHolds(pid, device) == Holds::Yes)
            return pid;
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
