#include "serial/tty_device.h"

#include "serial/device_holders.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace serialport {

namespace {

speed_t speedCode(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    default:
        return B0;
    }
}

} // namespace

TtyDevice::~TtyDevice() {
    TtyDevice::close();
}

bool TtyDevice::fail(OpenFailure::Kind kind, int error) {
    failure_.kind = kind;
    failure_.error = error;
    if (failure_.holderPid > 0)
        failure_.holderName = holders::ProgramOf(failure_.holderPid);
    return false;
}

bool TtyDevice::open(const QString& path) {
    close();
    failure_ = {};
    if (path.isEmpty())
        return fail(OpenFailure::Missing, ENOENT);
    // Locks and other openers are about the device itself, whichever name
    // (a stable by-id link, say) it is opened by.
    const QFileInfo info(path);
    const QString device = info.canonicalFilePath();
    if (device.isEmpty())
        return fail(OpenFailure::Missing, ENOENT);
    const QString lockFile = holders::LockFileFor(device);
    if (lockedByOther(lockFile, device))
        return false;
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM) {
            failure_.group = QFileInfo(device).group();
            return fail(OpenFailure::PermissionDenied, error);
        }
        return fail(error == EBUSY    ? OpenFailure::InUse
                    : error == ENOENT ? OpenFailure::Missing
                                      : OpenFailure::Other,
                    error);
    }
    // flock is the lock that also holds for root, whom TIOCEXCL does not stop.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return fail(OpenFailure::InUse, EBUSY);
    }
    // A terminal program that opened it without any lock still shares its bytes.
    if (const qint64 pid = holders::OtherOpener(device); pid > 0) {
        ::flock(fd, LOCK_UN);
        ::close(fd);
        failure_.holderPid = pid;
        return fail(OpenFailure::InUse, EBUSY);
    }
    ::ioctl(fd, TIOCEXCL);
    fd_ = fd;
    if (!takeLockFile(lockFile, device)) {
        close();
        return false;
    }
    return true;
}

bool TtyDevice::lockedByOther(const QString& lockFile, const QString& device) {
    const holders::LockState lock = holders::LockHolder(lockFile, device);
    if (!lock.held)
        return false;
    failure_.holderPid = lock.pid;
    failure_.detail = lock.detail;
    return !fail(OpenFailure::InUse, EBUSY);
}

bool TtyDevice::takeLockFile(const QString& lockFile, const QString& device) {
    if (lockFile.isEmpty())
        return true;
    // Another program may make its lock between our look and ours: then we
    // look again, and go on only once ours is made.
    for (int attempt = 0; attempt < 3; ++attempt) {
        switch (holders::MakeLockFile(lockFile)) {
        case holders::LockMade::Made:
            lockFile_ = lockFile;
            return true;
        case holders::LockMade::Unavailable:
            // Where the lock folder cannot be written to, the device is used
            // without (flock and TIOCEXCL still hold it).
            return true;
        case holders::LockMade::Exists:
            if (lockedByOther(lockFile, device))
                return false;
            break;
        }
    }
    failure_.detail = QStringLiteral("its lock file keeps coming back");
    return fail(OpenFailure::InUse, EBUSY);
}

void TtyDevice::close() {
    if (fd_ < 0)
        return;
    // Output a stalled handshake holds back would make close() wait for it
    // (about 30 s): what was not sent by now is dropped.
    ::tcflush(fd_, TCOFLUSH);
    ::ioctl(fd_, TIOCNXCL);
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
    dropLockFile();
}

void TtyDevice::dropLockFile() {
    if (lockFile_.isEmpty())
        return;
    holders::RemoveLockFile(lockFile_);
    lockFile_.clear();
}

bool TtyDevice::readSettingsOk() const {
    termios t{};
    return fd_ >= 0 && ::tcgetattr(fd_, &t) == 0;
}

bool TtyDevice::configure(int baud, FlowControl flow, ParityMode parity) {
    termios t{};
    if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    if (parity != ParityMode::None)
        t.c_cflag |= PARENB | (parity == ParityMode::Odd ? PARODD : 0);
    if (flow == FlowControl::Hardware)
        t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (const speed_t code = speedCode(baud); code != B0) {
        ::cfsetispeed(&t, code);
        ::cfsetospeed(&t, code);
    }
    // A failure to apply the settings leaves the port open with the driver's own.
    ::tcsetattr(fd_, TCSANOW, &t);
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (flow == FlowControl::AssertAll)
        ::ioctl(fd_, TIOCMBIS, &lines);
    else if (flow == FlowControl::None)
        ::ioctl(fd_, TIOCMBIC, &lines);
    return true;
}

void TtyDevice::flush() {
    if (fd_ >= 0)
        ::tcflush(fd_, TCIOFLUSH);
}

int TtyDevice::inCount() {
    int n = 0;
    if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &n) != 0)
        return 0;
    return n;
}

QByteArray TtyDevice::readWaiting(int maxBytes, bool* ok) {
    QByteArray data;
    if (ok)
        *ok = fd_ >= 0;
    if (fd_ < 0 || maxBytes <= 0)
        return data;
    data.resize(maxBytes);
    ssize_t n;
    do {
        n = ::read(fd_, data.data(), size_t(maxBytes));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        data.clear();
        if (ok)
            *ok = errno == EAGAIN;
        return data;
    }
    data.resize(int(n));
    if (ok)
        *ok = true;
    return data;
}

qint64 TtyDevice::writeAll(const QByteArray& data) {
    if (fd_ < 0)
        return -1;
    qint64 done = 0;
    int idlePasses = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd_, data.constData() + done, size_t(data.size() - done));
        if (n > 0) {
            done += n;
            idlePasses = 0;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
        // The driver's buffer is full: wait for room, but not forever (a stalled
        // handshake must not freeze the panel).
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, 100) <= 0 && ++idlePasses > 20)
            break;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
            break;
    }
    return done;
}

bool TtyDevice::waitReadable(int timeoutMs, bool* hungUp) {
    if (hungUp)
        *hungUp = false;
    if (fd_ < 0)
        return false;
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, timeoutMs);
    if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        if (hungUp)
            *hungUp = true;
        return false;
    }
    return r > 0 && (p.revents & POLLIN);
}

bool TtyDevice::hungUp() const {
    if (fd_ < 0)
        return true;
    // With no events asked for, poll still reports hang-up and errors.
    pollfd p{fd_, 0, 0};
    int r;
    do {
        r = ::poll(&p, 1, 0);
    } while (r < 0 && errno == EINTR);
    if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return true;
    // A hung-up terminal refuses its ioctls with EIO.
    termios t{};
    return ::tcgetattr(fd_, &t) != 0 && (errno == EIO || errno == ENXIO || errno == ENODEV);
}

} // namespace serialport
