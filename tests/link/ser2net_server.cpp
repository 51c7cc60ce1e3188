#include "tests/link/ser2net_server.h"

#include <QTest>

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

// A port nobody listens on now: the kernel's pick for a socket bound to port 0.
quint16 freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    quint16 port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

// Whether something listens on 127.0.0.1:port, from the kernel's table: a
// probing connection would make ser2net open the device and count a client.
bool listening(quint16 port) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local =
        "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(1) == local && fields.at(3) == "0A")
            return true;
    }
    return false;
}

} // namespace

QString Ser2netServer::Program() {
    QString program = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(
            QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                        QStringLiteral("/usr/local/sbin")});
    return program;
}

Ser2netServer::Ser2netServer(const QString& device, Accepter accepter, const QString& lineSettings)
    : device_(device), accepter_(accepter), lineSettings_(lineSettings) {
    process_.setProcessChannelMode(QProcess::MergedChannels);
}

Ser2netServer::~Ser2netServer() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(2000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
}

QString Ser2netServer::url() const {
    return (accepter_ == Accepter::Raw ? QStringLiteral("tcp://") : QStringLiteral("rfc2217://")) +
           QStringLiteral("127.0.0.1:") + QString::number(port_);
}

bool Ser2netServer::start() {
    if (Program().isEmpty()) {
        error_ = QStringLiteral("ser2net is not installed");
        return false;
    }
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    // Another test may take the port between our look and ser2net's bind.
    for (int attempt = 0; attempt < 3; ++attempt)
        if (startOn(freePort()))
            return true;
    return false;
}

bool Ser2netServer::startOn(quint16 port) {
    port_ = port;
    const QString accepter =
        accepter_ == Accepter::Raw ? QStringLiteral("tcp") : QStringLiteral("telnet(rfc2217),tcp");
    const QString config = dir_.filePath(QStringLiteral("ser2net.yaml"));
    QFile file(config);
    if (port == 0 || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error_ = QStringLiteral("no port or no configuration file");
        return false;
    }
    // As the README has it for a lab's server.
    file.write(QStringLiteral("connection: &pg5400\n"
                              "  accepter: %1,127.0.0.1,%2\n"
                              "  connector: serialdev,%3,%4,local\n"
                              "  options:\n"
                              "    chardelay: false\n")
                   .arg(accepter)
                   .arg(port)
                   .arg(device_, lineSettings_)
                   .toUtf8());
    file.close();
    // -n: stay in the foreground; -u: no UUCP lock file for the device (the
    // lock folder is the system's).
    process_.start(Program(), {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"),
                               config, QStringLiteral("-P"), dir_.filePath(QStringLiteral("pid"))});
    if (!process_.waitForStarted(3000)) {
        error_ = QStringLiteral("ser2net did not start: ") + process_.errorString();
        return false;
    }
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (listening(port))
            return true;
        if (process_.state() == QProcess::NotRunning || process_.waitForFinished(20)) {
            error_ = QStringLiteral("ser2net ended: ") + QString::fromLocal8Bit(process_.readAll());
            return false;
        }
    }
    error_ = QStringLiteral("ser2net does not listen on port %1: %2")
                 .arg(port)
                 .arg(QString::fromLocal8Bit(process_.readAll()));
    process_.kill();
    process_.waitForFinished(2000);
    return false;
}

void Ser2netServer::kill() {
    process_.kill();
    process_.waitForFinished(2000);
}

void AddAccepterRows() {
    QTest::addColumn<bool>("telnet");
    QTest::newRow("tcp") << false;
    QTest::newRow("rfc2217") << true;
}

} // namespace testsupport
