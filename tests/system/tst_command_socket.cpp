// The command socket for scripts, with real TCP clients, against the whole
// panel and the simulated instrument: replies reach the client that asked,
// the window catches up with what a script set, and no client can make the
// panel buffer without bound or talk to a port in demonstration mode.
#include "comm/comm_log.h"
#include "comm/exchange.h"
#include "controls/plusspinedit.h"
#include "controls/terminal_view.h"
#include "panel/command_queue.h"
#include "scripting/scpi_server.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/panel_harness.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <linux/sockios.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pg5400;
using testsupport::PanelHarness;

namespace {

TMainForm::StartOptions serving(bool demo = false) {
    TMainForm::StartOptions options;
    options.serve = true;
    options.serveAddress.port = 0; // the system picks a free one
    options.demo = demo;
    return options;
}

std::unique_ptr<QTcpSocket> connectTo(PanelHarness& h) {
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, h.form()->CommandSocket()->port());
    if (!QTest::qWaitFor([&] { return socket->state() == QAbstractSocket::ConnectedState; }, 3000))
        return nullptr;
    return socket;
}

// A client that has been served a command line, so it holds a script's slot
// (a connection that has sent nothing does not).
std::unique_ptr<QTcpSocket> connectScript(PanelHarness& h) {
    auto socket = connectTo(h);
    if (!socket)
        return nullptr;
    socket->write("*IDN?\n");
    if (!QTest::qWaitFor([&] { return socket->canReadLine(); }, 5000))
        return nullptr;
    socket->readLine();
    return socket;
}

// 127.0.0.1:port, for clients made with ::socket.
sockaddr_in loopbackAddress(quint16 port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A client of user nobody, in a child that makes only plain system calls:
// sends a set line and a question, then reads the reply into out[1], or
// closes at once.
pid_t nobodyClient(quint16 port, const int out[2], bool leaveAtOnce) {
    const sockaddr_in a = loopbackAddress(port);
    const pid_t child = ::fork();
    if (child != 0)
        return child;
    ::close(out[0]);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0)
        ::_exit(2);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
        ::_exit(3);
    const char line[] = ":PULS0:PER 0.5\n*SAV 1\n*IDN?\n";
    [[maybe_unused]] ssize_t n = ::write(fd, line, sizeof line - 1);
    if (leaveAtOnce)
        ::_exit(0);
    char reply[256];
    n = ::read(fd, reply, sizeof reply);
    if (n > 0)
        n = ::write(out[1], reply, size_t(n));
    ::_exit(0);
}

// The command socket's IPv4 address.
sockaddr_in panelAddress(PanelHarness& h) {
    return loopbackAddress(h.form()->CommandSocket()->port());
}

// The next whole line the client receives, without its LF; empty after the
// time limit.
QString replyLine(QTcpSocket& socket, int timeoutMs = 5000) {
    if (!QTest::qWaitFor([&] { return socket.canReadLine(); }, timeoutMs))
        return {};
    return QString::fromLatin1(socket.readLine()).chopped(1);
}

QStringList terminalText(TMainForm* f) {
    QStringList lines;
    for (int i = 0; i < f->ResponseList->lineCount(); ++i)
        lines << f->ResponseList->lineText(i);
    return lines;
}

// Both ends of a loopback connection as the kernel sees them: what waits on
// the client's socket (unread, unacknowledged, never sent) and at the panel's
// end of it in /proc/net/tcp (tx_queue:rx_queue).
struct KernelQueues {
    int unread = -1, unacknowledged = -1, unsent = -1;
    QString panelEnd;
    QString text() const {
        return QStringLiteral("client unread %1, unacknowledged %2, never sent %3; panel end "
                              "state tx:rx %4")
            .arg(unread)
            .arg(unacknowledged)
            .arg(unsent)
            .arg(panelEnd);
    }
};

KernelQueues kernelQueues(int fd) {
    KernelQueues q;
    ::ioctl(fd, SIOCINQ, &q.unread);
    ::ioctl(fd, SIOCOUTQ, &q.unacknowledged);
    ::ioctl(fd, SIOCOUTQNSD, &q.unsent);
    sockaddr_in self{};
    socklen_t len = sizeof self;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&self), &len);
    QFile tcp(QStringLiteral("/proc/net/tcp"));
    if (tcp.open(QIODevice::ReadOnly)) {
        // The panel's end is the line whose remote address is the client's.
        const QString port =
            QStringLiteral(":%1").arg(ntohs(self.sin_port), 4, 16, QLatin1Char('0')).toUpper();
        for (const QByteArray& line : tcp.readAll().split('\n')) {
            const auto fields = QString::fromLatin1(line).simplified().split(QLatin1Char(' '));
            if (fields.size() > 4 && fields[2].endsWith(port))
                q.panelEnd = fields[3] + QLatin1Char(' ') + fields[4];
        }
    }
    return q;
}

QStringList lastLines(const QStringList& lines, qsizetype n) {
    return lines.sliced(std::max<qsizetype>(0, lines.size() - n));
}

bool contains(const QStringList& lines, const QString& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const QString& l) { return l.contains(text); });
}

} // namespace

class TstCommandSocket : public QObject {

    Q_OBJECT

    enum class Deaf { CutOff, KernelHeld, Stalled };

    // A client with a small receive buffer that asks and never reads, until
    // the panel cuts it off or its lines stop reaching the instrument.
    static Deaf askWithoutReading(PanelHarness& h, QTcpSocket& other, QString& state) {
        const int deaf = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int small = 4096;
        ::setsockopt(deaf, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        // Its questions go out at once, not behind acknowledgements.
        const int noDelay = 1;
        ::setsockopt(deaf, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        const sockaddr_in a = panelAddress(h);
        if (::connect(deaf, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
            state = QStringLiteral("connect failed");
            ::close(deaf);
            return Deaf::Stalled;
        }
        const auto connected = [&] {
            pollfd p{deaf, POLLRDHUP, 0};
            return ::poll(&p, 1, 0) == 0;
        };
        const qint64 start = qint64(h.mark());
        qint64 asked = 0, served = 0;
        QElapsedTimer clock, sinceServed;
        clock.start();
        sinceServed.start();
        while (connected() && !sinceServed.hasExpired(3000) && !clock.hasExpired(60000)) {
            // Never more in flight than the server allows one client.
            while (asked - served < ScpiServer::MaxPendingLines / 2) {
                ::send(deaf, "*IDN?\n", 6, MSG_NOSIGNAL);
                ++asked;
            }
            QTest::qWait(2);
            if (qint64(h.mark()) - start > served) {
                served = qint64(h.mark()) - start;
                sinceServed.start();
            }
            if (asked % 500 < 16) {
                other.write("*IDN?\n");
                ++asked;
                if (!replyLine(other).startsWith(QStringLiteral("PG,5404+,"))) {
                    state = QStringLiteral("the other client was not served");
                    ::close(deaf);
                    return Deaf::Stalled;
                }
                served = qint64(h.mark()) - start;
            }
        }
        const KernelQueues queues = kernelQueues(deaf);
        const Deaf outcome = !connected()        ? Deaf::CutOff
                             : queues.unsent > 0 ? Deaf::KernelHeld
                                                 : Deaf::Stalled;
        state = QStringLiteral("%1 asked, %2 at the instrument, %3 queued, lost %4, "
                               "exchange %5, suspended %6; %7; terminal ends:\n%8")
                    .arg(asked)
                    .arg(served)
                    .arg(TaskList.Count())
                    .arg(communication::DeviceLost)
                    .arg(communication::ExchangeInProgress())
                    .arg(communication::CommandsSuspended)
                    .arg(queues.text())
                    .arg(lastLines(terminalText(h.form()), 30).join(QLatin1Char('\n')));
        ::close(deaf);
        return outcome;
    }

private Q_SLOTS:
    void addresses() {
        ServeAddress a;
        QString error;
        QVERIFY(ParseServeAddress(QString(), a, error));
        QVERIFY(a.address.isNull());
        QCOMPARE(a.port, quint16(5025));
        QVERIFY(ParseServeAddress(QStringLiteral("6000"), a, error));
        QVERIFY(a.address.isNull());
        QCOMPARE(a.port, quint16(6000));
        QVERIFY(ParseServeAddress(QStringLiteral("192.168.1.5:7000"), a, error));
        QCOMPARE(a.address, QHostAddress(QStringLiteral("192.168.1.5")));
        QVERIFY(ParseServeAddress(QStringLiteral("[::1]:7001"), a, error));
        QCOMPARE(a.address, QHostAddress(QHostAddress::LocalHostIPv6));
        QCOMPARE(a.port, quint16(7001));
        for (const char* bad : {"70000", "port", "example.org:80", "1.2.3.4:", "-1"}) {
            QVERIFY2(!ParseServeAddress(QString::fromLatin1(bad), a, error), bad);
            QVERIFY(!error.isEmpty());
        }
    }

    // Another program holding 127.0.0.1 on the port would get the scripts
    // meant for the panel (and could answer in its name): the panel says so
    // instead of serving ::1 alone.
    void takenLoopbackIsReported() {
        QTcpServer impostor;
        QVERIFY(impostor.listen(QHostAddress::LocalHost, 0));
        PanelHarness h("5404+");
        TMainForm::StartOptions options = serving();
        options.serveAddress.port = impostor.serverPort();
        QVERIFY(h.start(options));
        QCOMPARE(h.form()->CommandSocket()->port(), quint16(0));
        QVERIFY(contains(terminalText(h.form()),
                         QStringLiteral("Cannot listen for scripts on port %1 (127.0.0.1: ")
                             .arg(impostor.serverPort())));
    }

    void questionsSetLinesAndTheWindow() {
        PanelHarness h("5404+");
        QVERIFY(h.start(serving()));
        TMainForm* f = h.form();
        QVERIFY(f->CommandSocket() && f->CommandSocket()->port() != 0);
        auto client = connectTo(h);
        QVERIFY(client);

        client->write("*IDN?\r\n");
        QVERIFY(replyLine(*client).startsWith(QStringLiteral("PG,5404+,1234,")));

        // A set line gets no reply; the window shows it after the read-back
        // that follows once the script pauses.
        const std::size_t mark = h.mark();
        client->write(":PULS0:PER 0.002\n");
        QTRY_COMPARE_WITH_TIMEOUT(f->PeriodAdj->Value(), 0.002, 5000);
        QVERIFY(h.waitIdle());
        const std::vector<std::string> wire = h.linesSince(mark);
        QCOMPARE(QString::fromStdString(wire.at(0)), QStringLiteral(":PULS0:PER 0.002"));
        QVERIFY(wire.size() > 20); // the read-back
        QVERIFY(!client->canReadLine());

        // The instrument's refusal of a set line goes back to the script.
        client->write(":PULS0:PER 99999\n");
        QVERIFY(replyLine(*client).startsWith(QLatin1Char('?')));
        // A line the instrument could never take is refused here.
        client->write(QByteArray(":PULS0:PER \x01\n"));
        QVERIFY(replyLine(*client).startsWith(QLatin1Char('?')));

        // The script's lines show in the terminal like typed ones.
        const QStringList shown = terminalText(f);
        QVERIFY(contains(shown, QStringLiteral(":PULS0:PER 0.002")));
        QVERIFY(contains(shown, QStringLiteral(":PULS0:PER 99999")));
    }

    void clientsGetTheirOwnReplies() {
        PanelHarness h("5402");
        QVERIFY(h.start(serving()));
        auto a = connectTo(h);
        auto b = connectTo(h);
        QVERIFY(a && b);
        // Both send a burst at once; the lines interleave in the queue.
        QByteArray burstA, burstB;
        for (int i = 0; i < 10; ++i) {
            burstA += "*IDN?\n";
            burstB += ":PULS0:PER?\n";
        }
        a->write(burstA);
        b->write(burstB);
        for (int i = 0; i < 10; ++i) {
            QVERIFY(replyLine(*a).startsWith(QStringLiteral("PG,5402,")));
            QCOMPARE(replyLine(*b), QStringLiteral("0.001000000000"));
        }
        QTest::qWait(50);
        QVERIFY(!a->canReadLine() && !b->canReadLine());
    }

    void limitsCutClientsOff() {
        PanelHarness h("5402");
        QVERIFY(h.start(serving()));
        TMainForm* f = h.form();
        auto good = connectTo(h);
        QVERIFY(good);

        // A megabyte without a line end.
        auto big = connectTo(h);
        QVERIFY(big);
        big->write(QByteArray(1 << 20, 'A'));
        QTRY_VERIFY_WITH_TIMEOUT(big->state() == QAbstractSocket::UnconnectedState, 5000);
        QTRY_VERIFY(contains(terminalText(f), QStringLiteral("longer than 4096 bytes")));

        // Hundreds of questions at once, faster than any instrument answers.
        const std::size_t mark = h.mark();
        auto flood = connectTo(h);
        QVERIFY(flood);
        QByteArray many;
        for (int i = 0; i < 500; ++i)
            many += "*IDN?\n";
        flood->write(many);
        QTRY_VERIFY_WITH_TIMEOUT(flood->state() == QAbstractSocket::UnconnectedState, 5000);
        QTRY_VERIFY(contains(terminalText(f), QStringLiteral("sends faster")));
        QVERIFY(h.waitIdle());
        QVERIFY(h.linesSince(mark).size() <= std::size_t(ScpiServer::MaxPendingLines));

        // A fifth client is turned away at its first line; the first still
        // gets answers.
        good->write("*IDN?\n");
        QVERIFY(!replyLine(*good).isEmpty());
        std::vector<std::unique_ptr<QTcpSocket>> more;
        for (int i = 0; i < ScpiServer::MaxClients - 1; ++i) {
            more.push_back(connectScript(h));
            QVERIFY(more.back());
        }
        auto fifth = connectTo(h);
        QVERIFY(fifth);
        fifth->write("*IDN?\n");
        QCOMPARE(replyLine(*fifth), QStringLiteral("? too many clients"));
        good->write("*IDN?\n");
        QVERIFY(replyLine(*good).startsWith(QStringLiteral("PG,5402,")));
    }

    // A script keeps a few questions in flight for as long as it runs; a
    // refresh asked for meanwhile waits only for the lines queued before it,
    // not for the script to stop.
    void refreshDoesNotWaitForARunningScript() {
        sim::ServerOptions options;
        options.instrument.model = "5404+";
        options.faults.replyDelay = std::chrono::milliseconds(2);
        PanelHarness h(options);
        QVERIFY(h.start(serving()));
        auto client = connectTo(h);
        QVERIFY(client);
        constexpr int kInFlight = 3;
        int asked = 0;
        QObject::connect(client.get(), &QTcpSocket::readyRead, [&] {
            while (client->canReadLine()) {
                client->readLine();
                client->write("*IDN?\n");
                ++asked;
            }
        });
        for (int i = 0; i < kInFlight; ++i)
            client->write("*IDN?\n");
        QVERIFY(QTest::qWaitFor([&] { return asked > 20; }, 5000));

        const std::size_t mark = h.mark();
        h.form()->Up1->trigger();
        const auto readBackStarted = [&] {
            for (const std::string& line : h.linesSince(mark))
                if (line != "*IDN?" && line != ":PULS0:STAT?")
                    return true;
            return false;
        };
        QVERIFY2(QTest::qWaitFor(readBackStarted, 5000), "no read-back while the script ran");
        std::size_t before = 0;
        for (const std::string& line : h.linesSince(mark)) {
            if (line != "*IDN?" && line != ":PULS0:STAT?")
                break;
            before += line == "*IDN?";
        }
        QVERIFY2(before <= std::size_t(kInFlight + 1), qPrintable(QString::number(before)));
        // The script was served all along and still is.
        const int askedBefore = asked;
        QVERIFY(QTest::qWaitFor([&] { return asked > askedBefore + 20; }, 10000));
        client->disconnectFromHost();
    }

    // A web page can make the browser send a request to any local port: its
    // lines, the header lines and the printable stretches of a TLS hello
    // (https://127.0.0.1:PORT) included, never reach the instrument, and
    // neither they nor a connection that sends nothing (a preconnect) take
    // the slot of a script that was idle.
    void webPagesAreCutOff() {
        PanelHarness h("5404+");
        QVERIFY(h.start(serving()));
        TMainForm* f = h.form();
        f->StatusTimer->stop();
        constexpr qint64 kIdleMs = 300;
        f->CommandSocket()->setIdleTakeoverMs(kIdleMs);
        std::vector<std::unique_ptr<QTcpSocket>> scripts;
        for (int i = 0; i < ScpiServer::MaxClients; ++i) {
            scripts.push_back(connectScript(h));
            QVERIFY(scripts.back());
        }
        auto preconnect = connectTo(h);
        QVERIFY(preconnect);
        QVERIFY(h.waitIdle());
        QTest::qWait(int(kIdleMs) + 100);
        const std::size_t mark = h.mark();
        const QByteArray tlsHello("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\x8a\nWa*\n"
                                  "QRN\nV-\n\xc0\x2b\xc0\x2f\x00\x9e\n:PULS0:PER 0.5\n",
                                  46);
        for (const QByteArray& request :
             {QByteArray("POST / HTTP/1.1\r\nHost: 127.0.0.1:5025\r\nContent-Type: "
                         "text/plain\r\nContent-Length: 22\r\n\r\n:PULS0:PER 0.5\n*SAV 1\n"),
              QByteArray("Host: 127.0.0.1\r\n:PULS0:PER 0.5\n"), tlsHello, tlsHello.left(5)}) {
            auto page = connectTo(h);
            QVERIFY(page);
            page->write(request);
            QTRY_VERIFY_WITH_TIMEOUT(page->state() == QAbstractSocket::UnconnectedState, 5000);
        }
        QTest::qWait(ScpiServer::QuietMs + 100);
        QVERIFY(h.waitIdle());
        QCOMPARE(h.linesSince(mark), std::vector<std::string>{});
        QVERIFY(contains(terminalText(f), QStringLiteral("HTTP request")));
        for (const auto& script : scripts)
            QCOMPARE(script->state(), QAbstractSocket::ConnectedState);
        QCOMPARE(preconnect->state(), QAbstractSocket::ConnectedState);
    }

    // Blanks around a question and questions inside a compound line: each
    // line gets its one reply.
    void everyQuestionIsAnswered() {
        PanelHarness h("5404+");
        QVERIFY(h.start(serving()));
        auto client = connectTo(h);
        QVERIFY(client);
        client->write("  *IDN?  \n");
        QVERIFY(replyLine(*client).startsWith(QStringLiteral("PG,5404+,")));
        client->write(":PULS1:DEL 0.000001;:PULS1:DEL?\n");
        QVERIFY(!replyLine(*client).isEmpty());
        client->write(":PULS1:DEL?;:PULS2:DEL?\n");
        QVERIFY(!replyLine(*client).isEmpty());
        client->write("\t:PULS0:PER 0.000250000 \n:PULS0:PER?\n");
        QCOMPARE(replyLine(*client), QStringLiteral("0.000250000000"));
        QVERIFY(!client->canReadLine());
    }

    // Another account of the machine cannot drive the instrument through the
    // loopback port (needs root to connect as another user).
    void otherUsersAreRefused() {
        if (::getuid() != 0)
            QSKIP("connecting as another user needs root");
        PanelHarness h("5404+");
        QVERIFY(h.start(serving()));
        QVERIFY(h.waitIdle());
        const std::size_t mark = h.mark();
        const quint16 port = h.form()->CommandSocket()->port();
        int out[2];
        QCOMPARE(::pipe(out), 0);
        const pid_t child = nobodyClient(port, out, false);
        ::close(out[1]);
        QByteArray reply;
        QVERIFY(QTest::qWaitFor(
            [&] {
                int status = 0;
                return ::waitpid(child, &status, WNOHANG) == child;
            },
            5000));
        char buffer[256];
        ssize_t n;
        while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
            reply.append(buffer, n);
        ::close(out[0]);
        QVERIFY2(reply.startsWith("? connections of another user are refused"), reply.constData());
        QTest::qWait(100);
        QCOMPARE(h.linesSince(mark), std::vector<std::string>{});
        QVERIFY(contains(terminalText(h.form()), QStringLiteral("another user (uid 65534)")));

        // One that sends and closes while the panel is busy: its end of the
        // connection is an orphan by the time the panel looks, a row that
        // names no owner (uid 0), and is refused all the same.
        QCOMPARE(::pipe(out), 0);
        const pid_t gone = nobodyClient(port, out, true);
        ::close(out[1]);
        ::close(out[0]);
        int status = 0;
        QCOMPARE(::waitpid(gone, &status, 0), gone); // the panel runs no event meanwhile
        ::usleep(100 * 1000);
        QTest::qWait(200);
        QCOMPARE(h.linesSince(mark), std::vector<std::string>{});
        QTRY_VERIFY(contains(terminalText(h.form()), QStringLiteral("its owner cannot be told")));

        // This user's scripts are served as before.
        auto mine = connectTo(h);
        QVERIFY(mine);
        mine->write("*IDN?\n");
        QVERIFY(replyLine(*mine).startsWith(QStringLiteral("PG,5404+,")));
    }

    // The notice of a cut-off client cannot be logged: its box opens with the
    // client already gone, and the panel serves on (the sanitizer build
    // catches a client used after it was freed).
    void cutOffWhileTheLogFails() {
        QTemporaryDir dir;
        const QString here = QDir::currentPath();
        QDir::setCurrent(dir.path());
        PanelHarness h("5404+");
        QVERIFY(h.start(serving()));
        TMainForm* f = h.form();
        f->EnableLoggingMenu->trigger();
        QVERIFY(communication::LoggingEnabled);
        auto other = connectTo(h);
        QVERIFY(other);
        auto big = connectTo(h);
        QVERIFY(big);
        testsupport::FileSizeLimit limit(100);
        QVERIFY(limit.ok());
        // The script goes at once: its end arrives while the box is open.
        big->write(QByteArray(ScpiServer::MaxLineBytes + 10, 'A'));
        big->disconnectFromHost();
        QTRY_VERIFY(!communication::LoggingEnabled);
        QTRY_COMPARE(h.answers().texts(), QStringList{communication::kLogNotWritableMessage});
        limit.lift();
        QDir::setCurrent(here);
        QTRY_VERIFY_WITH_TIMEOUT(big->state() == QAbstractSocket::UnconnectedState, 5000);
        QCOMPARE(f->CommandSocket()->clientCount(), 1);
        other->write("*IDN?\n");
        QVERIFY(replyLine(*other).startsWith(QStringLiteral("PG,5404+,")));
    }

    // Four connections left open and unused do not lock a new script out:
    // the one quiet longest gives way; one that is in use keeps its slot.
    void idleConnectionsGiveWay() {
        PanelHarness h("5404+");
        QVERIFY(h.start(serving()));
        constexpr qint64 kIdleMs = 600; // IdleTakeoverMs, shortened for the test
        h.form()->CommandSocket()->setIdleTakeoverMs(kIdleMs);
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        for (int i = 0; i < ScpiServer::MaxClients; ++i) {
            idle.push_back(connectScript(h));
            QVERIFY(idle.back());
        }
        QTest::qWait(int(kIdleMs) + 200);
        idle.back()->write("*IDN?\n"); // the last one is in use again
        QVERIFY(replyLine(*idle.back()).startsWith(QStringLiteral("PG,")));
        auto fresh = connectTo(h);
        QVERIFY(fresh);
        fresh->write("*IDN?\n");
        QVERIFY(replyLine(*fresh).startsWith(QStringLiteral("PG,")));
        QCOMPARE(replyLine(*idle.front()),
                 QStringLiteral("? connection given to a newer client after being idle"));
        QTRY_VERIFY(idle.front()->state() == QAbstractSocket::UnconnectedState);
        for (std::size_t i = 1; i < idle.size(); ++i)
            QCOMPARE(idle[i]->state(), QAbstractSocket::ConnectedState);
        QCOMPARE(h.form()->CommandSocket()->clientCount(), ScpiServer::MaxClients);
    }

    // Scripts killed while idle: their resets wait unread at the panel when
    // a fifth client comes, so the farewell to the one evicted meets a reset
    // connection (which Qt may end at once). The fifth is served, nothing of
    // the evicted client is touched after (the sanitizer build checks).
    void resetIdleClientsGiveWay() {
        PanelHarness h("5404+");
        QVERIFY(h.start(serving()));
        constexpr qint64 kIdleMs = 300;
        h.form()->CommandSocket()->setIdleTakeoverMs(kIdleMs);
        const sockaddr_in a = panelAddress(h);
        std::vector<int> idle;
        for (int i = 0; i < ScpiServer::MaxClients; ++i) {
            idle.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
            QVERIFY(::connect(idle.back(), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0);
            // Each is a script: a command line, its reply left unread.
            QCOMPARE(::send(idle.back(), "*IDN?\n", 6, MSG_NOSIGNAL), ssize_t(6));
            QVERIFY(QTest::qWaitFor(
                [fd = idle.back()] {
                    pollfd p{fd, POLLIN, 0};
                    return ::poll(&p, 1, 0) == 1;
                },
                5000));
        }
        QTRY_COMPARE(h.form()->CommandSocket()->clientCount(), ScpiServer::MaxClients);
        QTest::qWait(int(kIdleMs) + 100);
        // From here until the fifth has connected the panel runs no event.
        for (int fd : idle) {
            const linger reset{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            ::close(fd);
        }
        QTcpSocket fifth;
        fifth.connectToHost(QHostAddress::LocalHost, h.form()->CommandSocket()->port());
        QVERIFY(fifth.waitForConnected(5000));
        fifth.write("*IDN?\n");
        QVERIFY(replyLine(fifth).startsWith(QStringLiteral("PG,5404+,")));
        QTRY_COMPARE(h.form()->CommandSocket()->clientCount(), 1);
    }

    // A script that sends only lines the panel refuses, and never reads the
    // refusals, is held to the same limit as one that asks: cut off, and
    // nothing of it reaches the instrument.
    void refusedLinesCountAgainstTheUnreadLimit() {
        PanelHarness h("5404+");
        QVERIFY(h.start(serving()));
        h.form()->StatusTimer->stop();
        const int deaf = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int small = 4096;
        ::setsockopt(deaf, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        const sockaddr_in a = panelAddress(h);
        QVERIFY(::connect(deaf, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0);
        // A command line first: a newcomer whose first line is none is cut
        // off at once.
        QCOMPARE(::send(deaf, "*IDN?\n", 6, MSG_NOSIGNAL), ssize_t(6));
        QVERIFY(QTest::qWaitFor(
            [&] {
                pollfd p{deaf, POLLIN, 0};
                return ::poll(&p, 1, 0) == 1;
            },
            5000));
        QVERIFY(h.waitIdle());
        const std::size_t mark = h.mark();
        const QByteArray burst = QByteArray("\x01\n").repeated(500);
        const auto connected = [&] {
            pollfd p{deaf, POLLRDHUP, 0};
            return ::poll(&p, 1, 0) == 0;
        };
        // 2 bytes asked for 57 written: past 64 KiB unread within a few
        // thousand lines; 50,000 lines would be 2.8 MB.
        for (int i = 0; i < 100 && connected(); ++i) {
            ::send(deaf, burst.constData(), size_t(burst.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
            QTest::qWait(5);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!connected(), 5000);
        ::close(deaf);
        QTRY_VERIFY(contains(terminalText(h.form()), QStringLiteral("does not read its replies")));
        QCOMPARE(h.linesSince(mark), std::vector<std::string>{});
    }

    // A script that asks and never reads its replies is cut off once they
    // pile up; another script is served all along.
    void clientThatNeverReadsIsCutOff() {
        PanelHarness h("5404+");
        QVERIFY(h.start(serving()));
        auto other = connectTo(h);
        QVERIFY(other);
        h.form()->StatusTimer->stop(); // every line at the instrument is a script's
        // A receive buffer this small is a kernel edge: once it is full, the
        // kernel may hold the client's own lines back, so they never reach
        // the panel. That is the client's kernel, not the panel, and a fresh
        // client tries again; lines the panel's end has taken must be served.
        Deaf outcome = Deaf::KernelHeld;
        QString state;
        for (int attempt = 0; attempt < 3 && outcome == Deaf::KernelHeld; ++attempt) {
            outcome = askWithoutReading(h, *other, state);
            if (outcome == Deaf::KernelHeld)
                qWarning("the client's kernel held its lines back: %s", qPrintable(state));
        }
        QVERIFY2(outcome == Deaf::CutOff, qPrintable(state));
        // The notice is shown from the event loop, after the cut.
        QTRY_VERIFY(contains(terminalText(h.form()), QStringLiteral("does not read its replies")));
        other->write("*IDN?\n");
        QVERIFY(replyLine(*other).startsWith(QStringLiteral("PG,5404+,")));
    }

    // File > Restart hands the new instance the port the socket has, also
    // one the system picked, so scripts reconnect to the same place, and
    // the log that is being kept.
    void restartKeepsTheSocket() {
        QTemporaryDir dir;
        const QString here = QDir::currentPath();
        QDir::setCurrent(dir.path());
        PanelHarness h("5404+");
        QVERIFY(h.start(serving()));
        h.form()->EnableLoggingMenu->trigger();
        QVERIFY(communication::LoggingEnabled);
        const quint16 port = h.form()->CommandSocket()->port();
        h.form()->R1->trigger();
        QDir::setCurrent(here);
        QCOMPARE(h.restarts(), 1);
        QCOMPARE(h.restartArguments(),
                 (QStringList{QStringLiteral("-serve=%1").arg(port), QStringLiteral("-log")}));
    }

    void demonstrationModeSendsNothing() {
        PanelHarness h("5404+");
        QVERIFY(h.start(serving(true)));
        auto client = connectTo(h);
        QVERIFY(client);
        const std::size_t mark = h.mark();
        client->write("*IDN?\n:PULS0:PER 0.002\n:PULS0:PER?\n");
        QVERIFY(replyLine(*client).startsWith(QLatin1Char('?')));
        QVERIFY(replyLine(*client).startsWith(QLatin1Char('?')));
        QVERIFY(h.waitIdle());
        QTest::qWait(50);
        QCOMPARE(h.mark(), mark);
        QVERIFY(!client->canReadLine());
    }

    // A script as labs write them, with PyVISA and its pure-Python backend.
    void pyvisaScript() {
        // Debian's own Python, where its python3-pyvisa-py package lives,
        // before any other on the PATH.
        QString python =
            QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
        if (python.isEmpty())
            python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty() ||
            QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import pyvisa_py")}) !=
                0)
            QSKIP("python3 with PyVISA-py (Debian package python3-pyvisa-py) is not installed");
        PanelHarness h("5404+");
        QVERIFY(h.start(serving()));
        TMainForm* f = h.form();
        const QString script =
            QStringLiteral("import pyvisa, sys\n"
                           "rm = pyvisa.ResourceManager('@py')\n"
                           "inst = rm.open_resource('TCPIP::127.0.0.1::%1::SOCKET',\n"
                           "                        read_termination='\\n', "
                           "write_termination='\\n', timeout=5000)\n"
                           "print(inst.query('*IDN?'))\n"
                           "inst.write(':PULS0:PER 0.000250000')\n"
                           "print(inst.query(':PULS0:PER?'))\n"
                           "inst.close()\n")
                .arg(f->CommandSocket()->port());
        QProcess py;
        py.start(python, {QStringLiteral("-c"), script});
        QVERIFY(QTest::qWaitFor([&] { return py.state() == QProcess::NotRunning; }, 20000));
        const QString out = QString::fromLocal8Bit(py.readAllStandardOutput());
        QVERIFY2(py.exitCode() == 0, qPrintable(QString::fromLocal8Bit(py.readAllStandardError())));
        const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).startsWith(QStringLiteral("PG,5404+,1234,")));
        QCOMPARE(lines.at(1), QStringLiteral("0.000250000000"));
        QTRY_COMPARE_WITH_TIMEOUT(f->PeriodAdj->Value(), 0.00025, 5000);
    }
};

QTEST_MAIN(TstCommandSocket)
#include "tst_command_socket.moc"
