// Network serial ports: tcp:// and rfc2217:// entries of the port table. A
// scripted server on a thread of the test plays the far end where the test
// needs exact bytes and failures; the real ser2net (skipped where it is not
// installed) serves the simulated instrument or a test peer on a
// pseudo-terminal for the scan, the line settings and the bytes it carries.
#include "comm/discovery.h"
#include "comm/exchange.h"
#include "serial/pgcomport.h"
#include "serial/pick_port_dialog.h"
#include "serial/port_table.h"
#include "serial/rfc2217_device.h"
#include "serial/tcp_device.h"
#include "serial/telnet_codec.h"
#include "sim/pty_server.h"
#include "tests/link/ser2net_server.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/pty_peer.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <fcntl.h>
#include <functional>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using serialport::TelnetCodec;
using testsupport::AddAccepterRows;
using testsupport::Ser2netServer;

namespace {

constexpr char IAC = char(0xFF), WILL = char(0xFB), WONT = char(0xFC), DO = char(0xFD),
               DONT = char(0xFE), SB = char(0xFA), SE = char(0xF0), NOP = char(0xF1);
constexpr char kComPort = char(44), kBinary = char(0), kEcho = char(1), kSga = char(3),
               kTerminalType = char(24);

QByteArray bytes(std::initializer_list<char> list) {
    return QByteArray(list.begin(), qsizetype(list.size()));
}

// A listening socket on 127.0.0.1 whose one connection is served by a
// script on a thread of its own. Without a script it never accepts: the
// kernel still completes connections, but nothing answers them.
class ScriptedServer {
public:
    using Script = std::function<void(int fd)>;

    explicit ScriptedServer(Script script = {}) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
            return;
        port_ = ntohs(a.sin_port);
        if (script)
            thread_ = std::thread([this, script] {
                pollfd p{listener_, POLLIN, 0};
                if (::poll(&p, 1, 5000) <= 0)
                    return;
                const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0)
                    return;
                script(fd);
                ::close(fd);
            });
    }
    ~ScriptedServer() {
        if (thread_.joinable())
            thread_.join();
        ::close(listener_);
    }
    // Waits for the script to end.
    void finish() {
        if (thread_.joinable())
            thread_.join();
    }
    QString url(const char* scheme) const {
        return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(port_);
    }

    static void send(int fd, const QByteArray& data) {
        ::send(fd, data.constData(), size_t(data.size()), MSG_NOSIGNAL);
    }
    // Reads until `done` holds for what came, the peer closes, or the time is up.
    static QByteArray readUntil(int fd, const std::function<bool(const QByteArray&)>& done,
                                int timeoutMs = 3000) {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (!done(got) && clock.elapsed() < timeoutMs) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char buffer[512];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            got.append(buffer, n);
        }
        return got;
    }

private:
    int listener_ = -1;
    quint16 port_ = 0;
    std::thread thread_;
};

// The server's half of a Telnet session that agrees to serial port control.
const QByteArray kServerAgrees =
    bytes({IAC, DO, kComPort, IAC, WILL, kBinary, IAC, DO, kBinary, IAC, WILL, kSga});

// A port number nothing listens on: bound, then released.
quint16 closedPort() {
    ScriptedServer gone;
    return quint16(gone.url("tcp").section(QLatin1Char(':'), -1).toUInt());
}

// Reads a whole reply up to the marker within the time, as the port's Read does.
QByteArray readReply(serialport::Device& device, const QByteArray& marker, int timeoutMs = 2000) {
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (!got.contains(marker) && clock.elapsed() < timeoutMs) {
        device.waitReadable(20);
        got += device.readWaiting(device.inCount());
    }
    return got;
}

termios slaveSettings(const std::string& path) {
    termios t{};
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::tcgetattr(fd, &t);
        ::close(fd);
    }
    return t;
}

} // namespace

class TstNetworkPort : public QObject {
    Q_OBJECT

    std::unique_ptr<TPGComPort> port;

    void makePort() {
        port = std::make_unique<TPGComPort>();
        port->SetShowErrors(false);
        port->SetEndOfResponse("\r");
        port->SetResponseTime(1000);
        communication::ComPort = port.get();
    }

    static void requireSer2net() {
        if (Ser2netServer::Program().isEmpty())
            QSKIP("ser2net is not installed (apt-get install ser2net): the tests against a real "
                  "network serial server are skipped");
    }

private Q_SLOTS:
    void init() {
        communication::ResetExchange();
        communication::ResetDiscovery();
        makePort();
    }
    void cleanup() {
        communication::ResetExchange();
        communication::ComPort = nullptr;
        port.reset();
        serialport::SetPortTableOverride({});
    }

    // What the scan says about an entry it cannot use, and how soon.
    void badEntryIsReportedByTheScan_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("atMostMs");
        QTest::newRow("no port") << "tcp://127.0.0.1"
                                 << "no port number" << 200;
        QTest::newRow("port 0") << "tcp://127.0.0.1:0"
                                << "from 1 to 65535" << 200;
        QTest::newRow("port too high") << "rfc2217://127.0.0.1:65536"
                                       << "from 1 to 65535" << 200;
        QTest::newRow("port no number") << "tcp://127.0.0.1:40x"
                                        << "from 1 to 65535" << 200;
        QTest::newRow("unknown kind") << "telnet://127.0.0.1:23"
                                      << "unknown kind" << 200;
        QTest::newRow("no host") << "tcp://:4000"
                                 << "no host" << 200;
        QTest::newRow("IPv6 bare") << "tcp://::1:4000"
                                   << "brackets" << 200;
        QTest::newRow("IPv6 open bracket") << "tcp://[::1:4000"
                                           << "closing" << 200;
        QTest::newRow("refused") << QStringLiteral("tcp://127.0.0.1:%1").arg(closedPort())
                                 << "connection refused" << 500;
        QTest::newRow("refused IPv6")
            << QStringLiteral("rfc2217://[::1]:%1").arg(closedPort()) << "[::1]:" << 500;
        // TEST-NET-1 is never routed: no answer, or no route at once.
        QTest::newRow("unreachable") << "tcp://192.0.2.1:4000"
                                     << "192.0.2.1:4000" << 1500;
    }
    void badEntryIsReportedByTheScan() {
        QFETCH(QString, url);
        QFETCH(QString, reason);
        QFETCH(int, atMostMs);
        serialport::SetPortTableOverride({url});
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!communication::ConnectInstrument());
        QVERIFY2(clock.elapsed() < atMostMs, qPrintable(QString::number(clock.elapsed())));
        const QStringList findings = communication::ScanFindings();
        QCOMPARE(findings.size(), 1);
        QVERIFY2(findings.first().startsWith(QStringLiteral("COM1 ") + url + QStringLiteral(": ")),
                 qPrintable(findings.first()));
        QVERIFY2(findings.first().contains(reason), qPrintable(findings.first()));
    }

    // Servers that take the connection but are no serial port control server.
    void telnetOpeningFailsWithinTheLimit_data() {
        QTest::addColumn<int>("behaviour");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("atLeastMs");
        QTest::newRow("silent") << 0 << "no Telnet answer" << 900;
        QTest::newRow("refuses port control") << 1 << "refuses serial port control" << 0;
        QTest::newRow("hangs up") << 2 << "closed the connection" << 0;
        QTest::newRow("floods protocol bytes") << 3 << "no Telnet answer" << 900;
    }
    void telnetOpeningFailsWithinTheLimit() {
        QFETCH(int, behaviour);
        QFETCH(QString, reason);
        QFETCH(int, atLeastMs);
        ScriptedServer server(behaviour == 0 ? ScriptedServer::Script{} : [&](int fd) {
            if (behaviour == 2)
                return; // closes at once
            if (behaviour == 3) {
                // Telnet no-ops, as fast as the socket takes them, for longer
                // than the open may take.
                const QByteArray nops = QByteArray(8192, NOP).replace(NOP, bytes({IAC, NOP}));
                QElapsedTimer flood;
                flood.start();
                while (flood.elapsed() < 2000 &&
                       ::send(fd, nops.constData(), size_t(nops.size()), MSG_NOSIGNAL) > 0) {
                }
                return;
            }
            ScriptedServer::readUntil(fd, [](const QByteArray& got) { return got.size() >= 9; });
            if (behaviour == 1)
                ScriptedServer::send(fd, bytes({IAC, DONT, kComPort}) + "\r\nhello\r\n");
            ScriptedServer::readUntil(
                fd, [](const QByteArray&) { return false; }, 1500);
        });
        serialport::Rfc2217Device device;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!device.open(server.url("rfc2217")));
        QVERIFY2(clock.elapsed() >= atLeastMs &&
                     clock.elapsed() < serialport::TcpDevice::kOpenLimitMs + 300,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!device.isOpen());
        QVERIFY2(device.lastFailure().describe().contains(reason),
                 qPrintable(device.lastFailure().describe()));
    }

    // A name server that never answers: the open gives up within the look-up
    // limit and says so.
    void silentNameServerEndsWithinTheLimit() {
        serialport::SetNameResolver([](const char*, const char*, const addrinfo*, addrinfo**) {
            std::this_thread::sleep_for(std::chrono::seconds(3));
            return EAI_AGAIN;
        });
        serialport::TcpDevice device;
        int pumped = 0; // the window's events, run while the look-up waits
        device.setEventPump([&] { ++pumped; });
        QElapsedTimer clock;
        clock.start();
        const bool opened = device.open(QStringLiteral("tcp://instrument.lab.test:4001"));
        const qint64 took = clock.elapsed();
        serialport::SetNameResolver({});
        QVERIFY(!opened);
        QVERIFY2(took < serialport::TcpDevice::kLookUpLimitMs + 300,
                 qPrintable(QString::number(took)));
        QVERIFY2(pumped >= 20, qPrintable(QString::number(pumped)));
        QCOMPARE(device.lastFailure().describe(),
                 QStringLiteral("no answer from instrument.lab.test's name server within 1 s"));
        // The abandoned look-up still holds the one look-up thread: another
        // name fails at once, a numeric address needs none.
        clock.restart();
        QVERIFY(!device.open(QStringLiteral("tcp://other.lab.test:4001")));
        QVERIFY(clock.elapsed() < 200);
        QVERIFY2(device.lastFailure().describe().contains(QStringLiteral("still busy")),
                 qPrintable(device.lastFailure().describe()));
        QVERIFY(!device.open(QStringLiteral("tcp://127.0.0.1:1")));
        QVERIFY2(device.lastFailure().describe().contains(QStringLiteral("refused")),
                 qPrintable(device.lastFailure().describe()));
        QTRY_VERIFY_WITH_TIMEOUT(!serialport::NameLookUpInFlight(), 5000);
    }

    // A host whose first address is blackholed (its SYNs are dropped) and
    // whose second works: the second still gets its share of the limit.
    void blackholedFirstAddressLeavesTimeForTheNext() {
        // A listener with a full backlog drops new connection attempts.
        const int hole = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        QVERIFY(::bind(hole, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0);
        QVERIFY(::listen(hole, 0) == 0);
        QVERIFY(::getsockname(hole, reinterpret_cast<sockaddr*>(&a), &size) == 0);
        std::vector<int> fillers;
        for (int i = 0; i < 2; ++i) {
            const int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(f, reinterpret_cast<sockaddr*>(&a), sizeof a);
            fillers.push_back(f);
        }
        QTest::qWait(50);
        const quint16 holePort = ntohs(a.sin_port);
        ScriptedServer good([](int fd) {
            ScriptedServer::readUntil(
                fd, [](const QByteArray&) { return false; }, 1500);
        });
        const QString goodPort = good.url("tcp").section(QLatin1Char(':'), -1);
        serialport::SetNameResolver([&](const char*, const char*, const addrinfo* hints,
                                        addrinfo** out) {
            addrinfo* first = nullptr;
            addrinfo* second = nullptr;
            if (::getaddrinfo("127.0.0.1", QByteArray::number(holePort).constData(), hints,
                              &first) != 0 ||
                ::getaddrinfo("127.0.0.1", goodPort.toLatin1().constData(), hints, &second) != 0)
                return EAI_FAIL;
            first->ai_next = second;
            *out = first;
            return 0;
        });
        serialport::TcpDevice device;
        QElapsedTimer clock;
        clock.start();
        const bool opened = device.open(QStringLiteral("tcp://twoaddresses.lab.test:4001"));
        const qint64 took = clock.elapsed();
        serialport::SetNameResolver({});
        for (int f : fillers)
            ::close(f);
        ::close(hole);
        QVERIFY2(opened, qPrintable(device.lastFailure().describe()));
        QVERIFY2(took < serialport::TcpDevice::kOpenLimitMs + 300,
                 qPrintable(QString::number(took)));
        device.close();
    }

    // A 0xFF data byte crosses doubled, and the server's Telnet commands,
    // however they are cut up by the network, never reach the reply; its
    // requests are answered once, and its answers are not answered again.
    void telnetDataAndCommandsAreTakenApart() {
        QByteArray fromClient;
        ScriptedServer server([&](int fd) {
            ScriptedServer::send(fd, kServerAgrees + bytes({IAC, DO, kSga, IAC, WILL, kEcho, IAC,
                                                            DO, kTerminalType}));
            fromClient = ScriptedServer::readUntil(
                fd, [](const QByteArray& got) { return got.endsWith("\r\n"); });
            // The reply, with commands amid the data, sent in pieces that
            // cut a subnegotiation and an escaped IAC in two.
            const QByteArray reply =
                "x" + bytes({IAC, IAC}) + "y" + bytes({IAC, NOP}) +
                bytes({IAC, SB, kComPort, char(107), char(0x30), IAC, IAC, IAC, SE}) +
                bytes({IAC, DO, kTerminalType}) + "z\r";
            qsizetype from = 0;
            for (const qsizetype cut :
                 {qsizetype(2), qsizetype(7), qsizetype(10), qsizetype(12), reply.size()}) {
                ScriptedServer::send(fd, reply.mid(from, cut - from));
                from = cut;
                std::this_thread::sleep_for(30ms);
            }
            ScriptedServer::readUntil(
                fd, [](const QByteArray&) { return false; }, 300);
        });
        serialport::Rfc2217Device device;
        QVERIFY2(device.open(server.url("rfc2217")), qPrintable(device.lastFailure().describe()));
        QCOMPARE(device.writeAll("A" + bytes({IAC}) + "B\r\n"), qint64(5));
        const QByteArray reply = readReply(device, "\r");
        QCOMPARE(reply, "x" + bytes({IAC}) + "yz\r");
        QCOMPARE(device.inCount(), 0);
        server.finish();

        QVERIFY(fromClient.contains("A" + bytes({IAC, IAC}) + "B\r\n"));
        QVERIFY(!fromClient.contains("A" + bytes({IAC}) + "B"));
        QVERIFY(fromClient.contains(bytes({IAC, WILL, kSga})));
        QVERIFY(fromClient.contains(bytes({IAC, DO, kSga})));
        QVERIFY(fromClient.contains(bytes({IAC, DONT, kEcho})));
        QVERIFY(fromClient.contains(bytes({IAC, WONT, kTerminalType})));
        // Our own requests go once; the server's agreement ends them.
        QCOMPARE(fromClient.count(bytes({IAC, WILL, kComPort})), 1);
        QCOMPARE(fromClient.count(bytes({IAC, DO, kBinary})), 1);
        QCOMPARE(fromClient.count(bytes({IAC, WILL, kBinary})), 1);
    }

    // The decoder's result does not depend on where the network cuts the stream.
    void telnetStreamCutAnywhereDecodesAlike() {
        const QByteArray stream =
            "a" +
            bytes({IAC, IAC, IAC,        WILL, kEcho, IAC, SB, kComPort,      char(101), 0,  0,
                   IAC, IAC, char(0x10), IAC,  SE,    IAC, DO, kTerminalType, IAC,       NOP}) +
            "b" + bytes({IAC, SB, kComPort, char(106), IAC, DO, kSga}) + "c" +
            bytes({IAC, SB, 24}) + QByteArray(2000, 'q') + bytes({IAC, SE}) + "d";
        TelnetCodec whole;
        QByteArray data, replies;
        whole.decode(stream.constData(), stream.size(), data, replies);
        // A subnegotiation broken off by a command ends there; a long one is
        // dropped, not kept or leaked into the data.
        QCOMPARE(data, "a" + bytes({IAC}) + "bcd");
        QCOMPARE(replies, bytes({IAC, DONT, kEcho, IAC, WONT, kTerminalType, IAC, WILL, kSga}));
        QCOMPARE(whole.acknowledged(TelnetCodec::SetBaudRate), bytes({0, 0, IAC, 0x10}));
        TelnetCodec byByte;
        QByteArray data1, replies1;
        for (const char c : stream)
            byByte.decode(&c, 1, data1, replies1);
        QCOMPARE(data1, data);
        QCOMPARE(replies1, replies);
        QCOMPARE(byByte.acknowledged(TelnetCodec::SetBaudRate),
                 whole.acknowledged(TelnetCodec::SetBaudRate));
    }

    // A connection the server ends is a vanished device: what came before the
    // end is still read, then the port reports it gone, and writing to it
    // fails instead of killing the program with SIGPIPE.
    void closedConnectionIsAVanishedDevice_data() { AddAccepterRows(); }
    void closedConnectionIsAVanishedDevice() {
        QFETCH(bool, telnet);
        ScriptedServer server([&](int fd) {
            if (telnet)
                ScriptedServer::send(fd, kServerAgrees);
            ScriptedServer::readUntil(fd, [](const QByteArray& got) { return got.endsWith("\n"); });
            ScriptedServer::send(fd, "last words\r");
        });
        serialport::SetPortTableOverride({server.url(telnet ? "rfc2217" : "tcp")});
        port->SetPort(1);
        QVERIFY2(port->Open(), qPrintable(port->LastOpenFailure().describe()));
        QVERIFY(!port->Vanished());
        QVERIFY(port->Write("*IDN?\r\n"));
        server.finish();
        QTRY_VERIFY(port->Vanished());
        QCOMPARE(port->Read(), QByteArray("last words\r"));
        QVERIFY(port->DeviceGone());
        QVERIFY(port->Opened());
        // The first write after the end may still leave; a later one cannot.
        bool refused = false;
        for (int i = 0; i < 5 && !refused; ++i) {
            refused = !port->Write(QByteArray(4096, 'w'));
            QTest::qWait(20);
        }
        QVERIFY(refused);
        QCOMPARE(port->Read(), QByteArray());
        QVERIFY(!port->TimedOut() || port->DeviceGone());
    }

    // The pick dialog lists a network port that answers by its host and
    // port, with the URL as tooltip, and leaves out one that refuses.
    void pickDialogListsAnsweringNetworkPorts() {
        ScriptedServer server([](int fd) {
            ScriptedServer::readUntil(
                fd, [](const QByteArray&) { return false; }, 500);
        });
        const QString url = server.url("tcp");
        serialport::SetPortTableOverride({QStringLiteral("/nonexistent/tty"), url,
                                          QStringLiteral("tcp://127.0.0.1:%1").arg(closedPort())});
        testsupport::ModalAnswerer answers;
        QStringList entries;
        QString tooltip;
        answers.setDialogHandler([&](QWidget* w) {
            auto* dialog = qobject_cast<TformPickPort*>(w);
            if (!dialog)
                return;
            for (int i = 0; i < dialog->listPorts->count(); ++i)
                entries << dialog->listPorts->itemText(i);
            tooltip = dialog->listPorts->itemData(0, Qt::ToolTipRole).toString();
            dialog->listPorts->setCurrentIndex(0);
            dialog->OKBtn->click();
        });
        QVERIFY(port->Pick());
        QCOMPARE(entries, QStringList{QStringLiteral("COM2 127.0.0.1:") + url.section(':', -1)});
        QCOMPARE(tooltip, url);
        QCOMPARE(port->Port(), 2);
        QVERIFY(!port->Opened());
    }

    // ser2net serving the simulated instrument: the scan finds it by the URL
    // and binds the port to it; a missing device ahead of it is passed by.
    void scanFindsTheInstrumentThroughSer2net_data() { AddAccepterRows(); }
    void scanFindsTheInstrumentThroughSer2net() {
        requireSer2net();
        QFETCH(bool, telnet);
        sim::PtyServer instrument;
        QVERIFY(instrument.ok() && instrument.start());
        Ser2netServer ser2net(QString::fromStdString(instrument.devicePath()),
                              telnet ? Ser2netServer::Accepter::Rfc2217
                                     : Ser2netServer::Accepter::Raw,
                              // A raw port keeps the server's settings.
                              telnet ? QStringLiteral("2400o72") : QStringLiteral("115200n81"));
        QVERIFY2(ser2net.start(), qPrintable(ser2net.error()));
        serialport::SetPortTableOverride({QStringLiteral("/nonexistent/ttyACM0"), ser2net.url()});
        QVERIFY(communication::ConnectInstrument());
        QCOMPARE(communication::InstrumentIdentity.Model, QStringLiteral("5404+"));
        QCOMPARE(port->Port(), 2);
        QCOMPARE(port->BoundDevice(), ser2net.url());
        QCOMPARE(communication::ScanFindings(), QStringList());
        QCOMPARE(instrument.lines().back(), std::string("*IDN?"));
    }

    // The port's line settings are set at the server and reach the device:
    // read back from the pseudo-terminal ser2net serves. ser2net's own
    // settings differ from each row's in every field a pseudo-terminal keeps
    // (it forces 8 bits without parity enable, so only the odd bit shows).
    void lineSettingsReachTheDevice_data() {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("handshake");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("serverOwn");
        QTest::newRow("115200 8N1")
            << 115200 << int(hsNone) << int(parNone) << int(B115200) << "2400o72";
        QTest::newRow("9600 8E1 hardware")
            << 9600 << int(hsHardware) << int(parEven) << int(B9600) << "2400o72";
        QTest::newRow("19200 8O1 assert all")
            << 19200 << int(hsAssertAll) << int(parOdd) << int(B19200) << "2400e72";
    }
    void lineSettingsReachTheDevice() {
        requireSer2net();
        QFETCH(int, baud);
        QFETCH(int, handshake);
        QFETCH(int, parity);
        QFETCH(int, speed);
        QFETCH(QString, serverOwn);
        testsupport::PtyPeer peer;
        QVERIFY(peer.ok());
        Ser2netServer ser2net(QString::fromStdString(peer.path()), Ser2netServer::Accepter::Rfc2217,
                              serverOwn);
        QVERIFY2(ser2net.start(), qPrintable(ser2net.error()));
        serialport::SetPortTableOverride({ser2net.url()});
        port->SetBaud(baud);
        port->SetHandshaking(THandshake(handshake));
        port->SetParity(TParity(parity));
        QVERIFY2(port->Open(), qPrintable(port->LastOpenFailure().describe()));
        QVERIFY(port->State());
        // The settings are acknowledged before Open returns.
        const termios t = slaveSettings(peer.path());
        QCOMPARE(int(cfgetospeed(&t)), speed);
        QCOMPARE(int(cfgetispeed(&t)), speed);
        QCOMPARE(bool(t.c_cflag & CSTOPB), false);
        QCOMPARE(bool(t.c_cflag & CRTSCTS), handshake == hsHardware);
        if (parity != parNone)
            QCOMPARE(bool(t.c_cflag & PARODD), parity == parOdd);
        // The settings went as Telnet commands, not as data to the device.
        QVERIFY(port->Write("*IDN?\r\n"));
        QVERIFY(peer.waitForLines(1, 2s));
        QCOMPARE(QByteArray::fromStdString(peer.received()), QByteArray("*IDN?\r\n"));
    }

    // Every byte value crosses ser2net both ways unchanged, Telnet's own
    // included.
    void bytesCrossSer2netUnchanged_data() { AddAccepterRows(); }
    void bytesCrossSer2netUnchanged() {
        requireSer2net();
        QFETCH(bool, telnet);
        testsupport::PtyPeer peer;
        QVERIFY(peer.ok());
        const std::string reply = std::string("\xFF\xFD\x2C\xFF\xFF\xFA\xF0 ok\xFF") + '\r';
        peer.setResponder([&](const std::string&) { return reply; });
        Ser2netServer ser2net(QString::fromStdString(peer.path()),
                              telnet ? Ser2netServer::Accepter::Rfc2217
                                     : Ser2netServer::Accepter::Raw,
                              QStringLiteral("115200n81"));
        QVERIFY2(ser2net.start(), qPrintable(ser2net.error()));
        serialport::SetPortTableOverride({ser2net.url()});
        QVERIFY2(port->Open(), qPrintable(port->LastOpenFailure().describe()));
        QByteArray line;
        for (int b = 1; b < 256; ++b)
            if (b != '\n' && b != '\r')
                line += char(b);
        QVERIFY(port->Write(line + "\r\n"));
        QCOMPARE(port->Read(), QByteArray::fromStdString(reply));
        QVERIFY(peer.waitForLines(1, 2s));
        QCOMPARE(QByteArray::fromStdString(peer.lines().front()), line);
    }
};

QTEST_MAIN(TstNetworkPort)
#include "tst_network_port.moc"
