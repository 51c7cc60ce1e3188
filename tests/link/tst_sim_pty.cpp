// The simulated instrument served on a pseudo-terminal, seen from the panel's
// side of the line: the device opened like a serial port in raw mode.
#include "sim/pty_server.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr int kWaitMs = 5000; // generous: only reached when something is broken

// The panel's end of the line.
class SerialEnd {
public:
    explicit SerialEnd(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        if (fd_ >= 0 && tcgetattr(fd_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~SerialEnd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }

    void write(const QByteArray& bytes) {
        QCOMPARE(::write(fd_, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    }

    // Reads until `count` LF bytes have arrived (or the wait runs out).
    QByteArray readLines(int count) {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (got.count('\n') < count && timer.elapsed() < kWaitMs) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
                char buf[512];
                const ssize_t n = ::read(fd_, buf, sizeof buf);
                if (n > 0)
                    got.append(buf, n);
            }
        }
        return got;
    }

    QByteArray exchange(const QByteArray& line) {
        write(line + "\r\n");
        return readLines(1);
    }

    // The line itself is still echoed.
    void switchEchoOff() {
        write(":SYST:COMM:USB:ECH OFF\r\n");
        QCOMPARE(readLines(2), QByteArray(":SYST:COMM:USB:ECH OFF\r\nok\r\n"));
    }

    // True once the far end has gone: hang-up or a failing read.
    bool hungUp() {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < kWaitMs) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                if (p.revents & (POLLHUP | POLLERR))
                    return true;
                char buf[64];
                const ssize_t n = ::read(fd_, buf, sizeof buf);
                if (n == 0 || (n < 0 && errno != EAGAIN))
                    return true;
            }
        }
        return false;
    }

private:
    int fd_ = -1;
};

sim::ServerOptions quietOptions() {
    sim::ServerOptions o;
    o.instrument.model = "5404";
    return o;
}

} // namespace

class TestSimPty : public QObject {
    Q_OBJECT

private slots:
    void echoPrecedesReplyUntilSwitchedOff();
    void lineFraming();
    void replyFaults();
    void pacedBytesArriveWhole();
    void runtimeChanges();
    void disconnectAfterLines();
    void transcriptFile();
    void program();
};

void TestSimPty::echoPrecedesReplyUntilSwitchedOff() {
    sim::PtyServer server;
    QVERIFY2(server.start(), server.error().c_str());
    SerialEnd port(server.devicePath());
    QVERIFY(port.ok());

    port.write("*IDN?\r\n");
    QCOMPARE(port.readLines(2), QByteArray("*IDN?\r\nPG,5404+,1234,2.1.0-1.0.3\r\n"));
    // The Bluetooth line does not concern a USB link: still echoed afterwards.
    port.write(":SYST:COMM:BLUE:ECH OFF\r\n");
    QCOMPARE(port.readLines(2), QByteArray(":SYST:COMM:BLUE:ECH OFF\r\nok\r\n"));
    port.write(":SYST:COMM:USB:ECH OFF\r\n");
    QCOMPARE(port.readLines(2), QByteArray(":SYST:COMM:USB:ECH OFF\r\nok\r\n"));
    QCOMPARE(port.exchange(":PULS0:PER?"), QByteArray("0.001000000000\r\n"));
}

void TestSimPty::lineFraming() {
    sim::PtyServer server(quietOptions());
    QVERIFY(server.start());
    SerialEnd port(server.devicePath());
    port.switchEchoOff();

    // Pieces of one line, two lines in one write, CR only, LF only.
    port.write(":PULS0:");
    QTest::qWait(30);
    port.write("BCO?\r\n");
    QCOMPARE(port.readLines(1), QByteArray("1\r\n"));
    port.write(":PULS0:BCO 7\r\n:PULS0:BCO?\r\n");
    QCOMPARE(port.readLines(2), QByteArray("ok\r\n7\r\n"));
    port.write(":PULS1:POL?\r");
    QCOMPARE(port.readLines(1), QByteArray("NORM\r\n"));
    port.write(":PULS1:CGAT?\n");
    QCOMPARE(port.readLines(1), QByteArray("DIS\r\n"));

    QVERIFY(server.waitForLines(6, 5s));
    const auto entries = server.transcript().entries();
    QCOMPARE(entries.size(), size_t(6));
    QCOMPARE(entries[1].line, std::string(":PULS0:BCO?"));
    QCOMPARE(entries[1].ending, std::string("\r\n"));
    QCOMPARE(entries[1].reply, std::string("1"));
    QCOMPARE(entries[4].ending, std::string("\r"));
    QCOMPARE(entries[5].ending, std::string("\n"));
    QCOMPARE(entries[5].number, size_t(6));
    QVERIFY(entries[4].received <= entries[5].received);

    server.transcript().clear(); // numbering goes on
    port.exchange("*ERS?");
    QVERIFY(server.waitForLines(1, 5s));
    QCOMPARE(server.transcript().entries().front().number, size_t(7));
    QCOMPARE(server.lines(), std::vector<std::string>{"*ERS?"});
}

void TestSimPty::replyFaults() {
    sim::PtyServer server(quietOptions());
    QVERIFY(server.start());
    SerialEnd port(server.devicePath());
    port.switchEchoOff();

    sim::Faults f;
    f.onLine[2] = sim::ReplyFault::NoReply;
    f.onLine[4] = sim::ReplyFault::Garbage;
    f.onLine[5] = sim::ReplyFault::NoCr;
    f.onLine[6] = sim::ReplyFault::Late;
    f.lateBy = 100ms;
    server.setFaults(f);

    port.write(":PULS0:MOD?\r\n"); // line 2: silent, the next reply is line 3's own
    port.write(":PULS0:EXT:POL?\r\n");
    QCOMPARE(port.readLines(1), QByteArray("HIGH\r\n"));
    const QByteArray garbage = port.exchange(":PULS0:MOD?");
    QVERIFY(garbage.endsWith("\r\n"));
    QVERIFY(!garbage.contains("NORM"));
    QVERIFY(!garbage.contains('?'));
    QCOMPARE(port.exchange(":PULS0:MOD?"), QByteArray("NORM\n"));
    QCOMPARE(port.exchange(":PULS0:EXT:EDG?"), QByteArray("RIS\r\n"));

    // Faults for every line, changed while serving.
    f = {};
    f.everyLine = sim::ReplyFault::NoReply;
    server.setFaults(f);
    port.write(":PULS0:MOD?\r\n");
    QVERIFY(server.waitForLines(7, 5s)); // listed once its faults are taken
    server.setFaults({});
    QCOMPARE(port.exchange("*ERS?"), QByteArray("0\r\n"));

    const auto entries = server.transcript().entries();
    QVERIFY(!entries[1].replied);
    QVERIFY(entries[2].replied);
}

void TestSimPty::pacedBytesArriveWhole() {
    sim::ServerOptions o;
    o.faults.baud = 9600;
    o.faults.turnaround = 5ms;
    sim::PtyServer server(o);
    QVERIFY(server.start());
    SerialEnd port(server.devicePath());
    port.write("*IDN?\r\n");
    QCOMPARE(port.readLines(2), QByteArray("*IDN?\r\nPG,5404+,1234,2.1.0-1.0.3\r\n"));
}

void TestSimPty::runtimeChanges() {
    sim::PtyServer server(quietOptions());
    QVERIFY(server.start());
    SerialEnd port(server.devicePath());
    port.switchEchoOff();

    server.setErrorCode(2);
    QCOMPARE(port.exchange("*ERS?"), QByteArray("2\r\n"));
    server.withInstrument([](sim::Instrument& i) { i.handleLine(":PULS0:STAT ON"); });
    QCOMPARE(port.exchange(":PULS0:STAT?"), QByteArray("1\r\n"));

    sim::Options o;
    o.model = "5402";
    o.serial = "77";
    server.setInstrumentOptions(o); // power-up of another model: echo is back on
    port.write("*IDN?\r\n");
    QCOMPARE(port.readLines(2), QByteArray("*IDN?\r\nPG,5402,77,2.1.0-1.0.3\r\n"));
    QCOMPARE(server.withInstrument([](sim::Instrument& i) { return i.running(); }), false);
}

void TestSimPty::disconnectAfterLines() {
    sim::ServerOptions o = quietOptions();
    o.faults.disconnectAfter = 2;
    sim::PtyServer server(o);
    QVERIFY(server.start());
    const std::string path = server.devicePath();
    {
        SerialEnd port(path);
        port.switchEchoOff();
        QCOMPARE(port.exchange("*ERS?"), QByteArray("0\r\n")); // answered, then gone
        QVERIFY(port.hungUp());
    }
    QTRY_VERIFY_WITH_TIMEOUT(!server.connected(), kWaitMs);
    QVERIFY(!SerialEnd(path).ok() || SerialEnd(path).hungUp());
    QVERIFY(!server.start());

    sim::PtyServer other(quietOptions());
    QVERIFY(other.start());
    SerialEnd port(other.devicePath());
    QVERIFY(port.ok());
    other.disconnect();
    QVERIFY(port.hungUp());
    QVERIFY(!other.connected());
}

void TestSimPty::transcriptFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    sim::ServerOptions o = quietOptions();
    o.transcriptPath = dir.filePath("wire.txt").toStdString();
    {
        sim::PtyServer server(o);
        QVERIFY(server.start());
        SerialEnd port(server.devicePath());
        port.write(":SYST:COMM:USB:ECH OFF\r\n");
        QCOMPARE(port.readLines(2), QByteArray(":SYST:COMM:USB:ECH OFF\r\nok\r\n"));
        QCOMPARE(port.exchange(":PULS9:WIDT?"), QByteArray("? unknown header\r\n"));
    }
    QFile file(dir.filePath("wire.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    const QRegularExpression form(R"(^\d+\.\d{6} [<>] .*$)");
    for (const QString& line : lines)
        QVERIFY2(form.match(line).hasMatch(), qPrintable(line));
    QVERIFY(lines[0].endsWith("> :SYST:COMM:USB:ECH OFF\\x0D\\x0A"));
    QVERIFY(lines[1].endsWith("< ok"));
    QVERIFY(lines[3].endsWith("< ? unknown header"));

    o.transcriptPath = dir.filePath("missing/dir/wire.txt").toStdString();
    sim::PtyServer unwritable(o);
    QVERIFY(!unwritable.start());
    QVERIFY(!unwritable.error().empty());
}

void TestSimPty::program() {
    QProcess sim;
    sim.start(PG5400_SIM_PATH, {"--model", "5452", "--serial", "4321", "--fault", "garbage@2"});
    QVERIFY(sim.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), kWaitMs);
    const QByteArray path = sim.readLine().trimmed();
    QVERIFY(path.startsWith("/dev/"));

    SerialEnd port(path.toStdString());
    QVERIFY(port.ok());
    port.write("*IDN?\r\n");
    QCOMPARE(port.readLines(2), QByteArray("*IDN?\r\nPG,5452,4321,2.1.0-1.0.3\r\n"));
    port.write(":PULS0:PER?\r\n");
    const QByteArray garbage = port.readLines(2);
    QVERIFY(garbage.startsWith(":PULS0:PER?\r\n"));
    QVERIFY(!garbage.contains("0.001"));

    sim.terminate(); // SIGTERM ends it cleanly
    QVERIFY(sim.waitForFinished(kWaitMs));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(port.hungUp());

    QProcess bad;
    bad.start(PG5400_SIM_PATH, {"--fault", "bogus"});
    QVERIFY(bad.waitForFinished(kWaitMs));
    QVERIFY(bad.exitCode() != 0);
    QVERIFY(bad.readAllStandardError().contains("unknown fault"));
}

QTEST_GUILESS_MAIN(TestSimPty)
#include "tst_sim_pty.moc"
