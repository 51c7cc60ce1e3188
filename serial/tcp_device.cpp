#include "serial/tcp_device.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace serialport {

namespace {

// More than any reply: past this the socket keeps the rest until it is read,
// so a server that floods us cannot take all memory.
constexpr qsizetype kMostBuffered = 1 << 20;
// Bytes taken off the wire in one pass before the waits look at the clock.
constexpr qsizetype kMostPerPass = 64 * 1024;

struct AddressList {
    addrinfo* first = nullptr;
    ~AddressList() {
        if (first)
            ::freeaddrinfo(first);
    }
};

int pollOne(int fd, short events, int timeoutMs, short* revents) {
    pollfd p{fd, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    *revents = p.revents;
    return r;
}

const addrinfo streamHints = [] {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    return hints;
}();

// Tries the addresses in turn until one connects or the deadline passes;
// the descriptor, or -1 with the last address's errno in error.
int connectFirst(const addrinfo* first, const QDeadlineTimer& deadline, int* error) {
    *error = ETIMEDOUT;
    int left = 0;
    for (const addrinfo* a = first; a; a = a->ai_next)
        ++left;
    for (const addrinfo* a = first; a && !deadline.hasExpired(); a = a->ai_next, --left) {
        // Each address has its share of what is left (IPv6 first, as the
        // resolver orders them): a blackholed one does not use up the time
        // of the next.
        const QDeadlineTimer share(
            std::min(deadline.remainingTime(), deadline.remainingTime() / std::max(left, 1) + 1));
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            *error = errno;
            continue;
        }
        int result = 0;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            result = errno;
            if (result == EINPROGRESS) {
                short revents = 0;
                const int r = pollOne(fd, POLLOUT, int(share.remainingTime()), &revents);
                socklen_t size = sizeof result;
                if (r <= 0)
                    result = r == 0 ? ETIMEDOUT : errno;
                else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &size) != 0)
                    result = errno;
            }
        }
        if (result == 0) {
            // Command lines are short and each waits for its reply: no batching.
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            return fd;
        }
        ::close(fd);
        *error = result;
    }
    return -1;
}

int systemResolve(const char* host, const char* port, const addrinfo* hints, addrinfo** out) {
    return ::getaddrinfo(host, port, hints, out);
}

NameResolver& resolver() {
    static NameResolver r = systemResolve;
    return r;
}

// Name look-ups run on one long-lived thread, one at a time: a name server
// that stays silent holds that thread, not the window, and abandoned
// look-ups cannot pile up threads until the process may make no more.
class LookUpThread {
public:
    struct Job {
        QByteArray host, service;
        NameResolver resolve;
        bool finished = false;
        bool abandoned = false;
        int result = EAI_AGAIN;
        addrinfo* list = nullptr;
    };

    static LookUpThread& instance() {
        // Never destroyed: the thread may still wait on a name server at exit.
        static auto* it = new LookUpThread;
        return *it;
    }

    // Null while an earlier look-up (one given up on included) still runs.
    std::shared_ptr<Job> start(const QString& host, quint16 port) {
        std::lock_guard lock(mutex_);
        if (job_)
            return nullptr;
        job_ = std::make_shared<Job>();
        job_->host = host.toUtf8();
        job_->service = QByteArray::number(port);
        job_->resolve = resolver();
        wake_.notify_all();
        return job_;
    }

    // Waits up to the limit, calling pump about every 10 ms; false when the
    // job has not finished (it is then abandoned, and frees what it finds).
    bool wait(const std::shared_ptr<Job>& job, const std::function<void()>& pump) {
        const QDeadlineTimer deadline(TcpDevice::kLookUpLimitMs);
        std::unique_lock lock(mutex_);
        while (!job->finished && !deadline.hasExpired()) {
            done_.wait_for(lock, std::chrono::milliseconds(pump ? 10 : 1000),
                           [&] { return job->finished; });
            if (pump && !job->finished) {
                lock.unlock();
                pump();
                lock.lock();
            }
        }
        if (!job->finished)
            job->abandoned = true;
        return job->finished;
    }

    bool busy() {
        std::lock_guard lock(mutex_);
        return job_ != nullptr;
    }

private:
    LookUpThread() {
        std::thread([this] { run(); }).detach();
    }

    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return job_ && !job_->finished; });
            const std::shared_ptr<Job> job = job_;
            lock.unlock();
            addrinfo* list = nullptr;
            const int result =
                job->resolve(job->host.constData(), job->service.constData(), &streamHints, &list);
            lock.lock();
            if (job->abandoned) {
                if (result == 0 && list)
                    ::freeaddrinfo(list);
            } else {
                job->result = result;
                job->list = result == 0 ? list : nullptr;
            }
            job->finished = true;
            job_.reset();
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::shared_ptr<Job> job_; // the one look-up in flight
};

constexpr int kStillBusy = INT_MIN; // a look-up result beside getaddrinfo's

int lookUp(const QString& host, quint16 port, addrinfo** out, const std::function<void()>& pump) {
    // An address written as numbers needs no name server.
    addrinfo numeric = streamHints;
    numeric.ai_flags |= AI_NUMERICHOST;
    const QByteArray service = QByteArray::number(port);
    if (::getaddrinfo(host.toUtf8().constData(), service.constData(), &numeric, out) == 0)
        return 0;
    const std::shared_ptr<LookUpThread::Job> job = LookUpThread::instance().start(host, port);
    if (!job)
        return kStillBusy;
    if (!LookUpThread::instance().wait(job, pump))
        return EAI_AGAIN;
    *out = job->list;
    return job->result;
}

} // namespace

void SetNameResolver(NameResolver resolve) {
    resolver() = resolve ? std::move(resolve) : NameResolver(systemResolve);
}

bool NameLookUpInFlight() {
    return LookUpThread::instance().busy();
}

TcpDevice::~TcpDevice() {
    TcpDevice::close();
}

bool TcpDevice::setFailure(const QString& detail, int error) {
    failure_ = {};
    failure_.kind = OpenFailure::Network;
    failure_.error = error;
    failure_.detail = detail;
    return false;
}

bool TcpDevice::open(const QString& path) {
    close();
    failure_ = {};
    QString why;
    const std::optional<NetworkAddress> address = NetworkAddress::Parse(path, &why);
    if (!address)
        return setFailure(why, EINVAL);
    AddressList list;
    if (const int looked = lookUp(address->host, address->port, &list.first, pump_); looked != 0) {
        if (looked == kStillBusy)
            return setFailure(
                QStringLiteral("the name server is still busy with an earlier look-up; try "
                               "again in a moment"),
                EAGAIN);
        if (looked == EAI_AGAIN)
            return setFailure(QStringLiteral("no answer from %1's name server within %2 s")
                                  .arg(address->host)
                                  .arg(kLookUpLimitMs / 1000),
                              ETIMEDOUT);
        return setFailure(QStringLiteral("cannot find host \"%1\": %2")
                              .arg(address->host, QString::fromLocal8Bit(::gai_strerror(looked))),
                          EHOSTUNREACH);
    }
    const QDeadlineTimer deadline(kOpenLimitMs);
    int error = 0;
    const int fd = connectFirst(list.first, deadline, &error);
    const QString where = address->hostAndPort();
    if (fd < 0) {
        if (error == ETIMEDOUT)
            return setFailure(QStringLiteral("no connection to %1 within %2 s")
                                  .arg(where)
                                  .arg(kOpenLimitMs / 1000),
                              error);
        if (error == ECONNREFUSED)
            return setFailure(
                QStringLiteral("connection refused by %1: no server listens on that port")
                    .arg(where),
                error);
        return setFailure(QStringLiteral("cannot connect to %1: %2")
                              .arg(where, QString::fromLocal8Bit(std::strerror(error))),
                          error);
    }
    fd_ = fd;
    peerGone_ = false;
    in_.clear();
    if (!greet(*address, deadline)) {
        const OpenFailure failure = failure_;
        close();
        failure_ = failure;
        return false;
    }
    return true;
}

bool TcpDevice::greet(const NetworkAddress&, const QDeadlineTimer&) {
    return true;
}

void TcpDevice::close() {
    if (fd_ < 0)
        return;
    ::close(fd_);
    fd_ = -1;
    in_.clear();
    peerGone_ = false;
}

bool TcpDevice::configure(int, FlowControl, ParityMode) {
    return false;
}

void TcpDevice::decode(const char* bytes, qsizetype size, QByteArray& data) {
    data.append(bytes, size);
}

bool TcpDevice::receive(int timeoutMs) {
    if (fd_ < 0)
        return false;
    if (timeoutMs > 0) {
        short revents = 0;
        pollOne(fd_, POLLIN | POLLRDHUP, timeoutMs, &revents);
    }
    char buffer[4096];
    // Protocol bytes count too: a server flooding them must not keep us here
    // past the caller's deadline.
    qsizetype taken = 0;
    while (!peerGone_ && in_.size() < kMostBuffered && taken < kMostPerPass) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            taken += n;
            decode(buffer, n, in_);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            peerGone_ = true;
        break;
    }
    afterDecode();
    return !peerGone_;
}

void TcpDevice::flush() {
    receive();
    in_.clear();
}

int TcpDevice::inCount() {
    receive();
    return int(std::min<qsizetype>(in_.size(), INT_MAX));
}

QByteArray TcpDevice::readWaiting(int maxBytes, bool* ok) {
    if (ok)
        *ok = fd_ >= 0;
    if (fd_ < 0 || maxBytes <= 0)
        return {};
    receive();
    const QByteArray data = in_.left(maxBytes);
    in_.remove(0, data.size());
    // Like a hung-up terminal's read: nothing more can come.
    if (ok)
        *ok = !data.isEmpty() || !peerGone_;
    return data;
}

bool TcpDevice::sendWire(const QByteArray& wire) {
    if (fd_ < 0)
        return false;
    qsizetype done = 0;
    int idlePasses = 0;
    while (done < wire.size()) {
        // MSG_NOSIGNAL: a peer that has gone must fail the write, not end the
        // program with SIGPIPE.
        const ssize_t n = ::send(fd_, wire.constData() + done, size_t(wire.size() - done),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += n;
            idlePasses = 0;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            peerGone_ = true;
            break;
        }
        // The socket's buffer is full: wait for room, but not forever.
        short revents = 0;
        if (pollOne(fd_, POLLOUT, 100, &revents) <= 0 && ++idlePasses > 20)
            break;
        if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
            peerGone_ = true;
            break;
        }
    }
    lastSent_ = done;
    return done == wire.size();
}

qsizetype TcpDevice::sendNow(const QByteArray& wire) {
    if (fd_ < 0 || wire.isEmpty())
        return 0;
    const ssize_t n =
        ::send(fd_, wire.constData(), size_t(wire.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        peerGone_ = true;
    return n > 0 ? qsizetype(n) : 0;
}

qint64 TcpDevice::writeAll(const QByteArray& data) {
    if (fd_ < 0)
        return -1;
    const QByteArray wire = encode(data);
    if (sendWire(wire))
        return data.size();
    return dataBytesIn(data, lastSent_);
}

bool TcpDevice::waitReadable(int timeoutMs, bool* hungUp) {
    if (hungUp)
        *hungUp = false;
    if (fd_ < 0)
        return false;
    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
    for (;;) {
        const bool alive = receive();
        // Bytes already taken off the wire are ready, whatever came after them.
        if (!in_.isEmpty())
            return true;
        if (!alive) {
            if (hungUp)
                *hungUp = true;
            return false;
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return false;
        // Protocol bytes alone wake us too: wait on for data until the deadline.
        short revents = 0;
        if (pollOne(fd_, POLLIN | POLLRDHUP, int(left), &revents) <= 0)
            return false;
    }
}

bool TcpDevice::hungUp() const {
    if (fd_ < 0 || peerGone_)
        return true;
    short revents = 0;
    return pollOne(fd_, POLLRDHUP, 0, &revents) > 0 &&
           (revents & (POLLHUP | POLLERR | POLLNVAL | POLLRDHUP));
}

} // namespace serialport
