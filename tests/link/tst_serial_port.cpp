// TPGComPort against a pseudo-terminal peer: framing, waiting, time-outs,
// refusals and exclusive access, through the real POSIX serial code.
#include "serial/pgcomport.h"
#include "serial/port_table.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/pty_peer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;
using testsupport::ModalAnswerer;
using testsupport::PtyPeer;

class TstSerialPort : public QObject {
    Q_OBJECT

    std::unique_ptr<PtyPeer> peer;
    std::unique_ptr<TPGComPort> port;

    void makePort(quint32 responseTime = 300) {
        port = std::make_unique<TPGComPort>();
        port->SetShowErrors(false);
        port->SetBaud(115200);
        port->SetEndOfResponse("\r");
        port->SetResponseTime(responseTime);
        port->SetPort(2);
    }

private Q_SLOTS:
    void init() {
        peer = std::make_unique<PtyPeer>();
        QVERIFY2(peer->ok(), "no pseudo-terminal");
        // COM1 is missing, COM2 is the peer.
        serialport::SetPortTableOverride(
            {QStringLiteral("/nonexistent/tty"), QString::fromStdString(peer->path())});
        makePort();
    }

    void cleanup() {
        port.reset();
        peer.reset();
        serialport::SetPortTableOverride({});
    }

    void constructorDefaults() {
        TPGComPort fresh;
        QCOMPARE(fresh.Baud(), 9600);
        QCOMPARE(fresh.ResponseTime(), 1000u);
        QCOMPARE(fresh.Port(), 1);
        QVERIFY(fresh.ShowErrors());
        QVERIFY(!fresh.AllowEvents());
        QVERIFY(!fresh.Opened());
        QVERIFY(!fresh.State());
        QCOMPARE(fresh.InCount(), 0);
        fresh.SetVersion("9.9");
        QCOMPARE(fresh.Version(), QByteArray("2.0.2"));
    }

    void readWithoutMarkerTakesWhatIsWaiting() {
        port->SetEndOfResponse("");
        QVERIFY(port->Open());
        QCOMPARE(port->Read(), QByteArray());
        peer->send("abc");
        QTRY_COMPARE(port->InCount(), 3);
        QCOMPARE(port->Read(), QByteArray("abc"));
    }

    void replyChunkIsReturnedWhole() {
        QVERIFY(port->Open());
        peer->send("1.5\r\n");
        QTRY_COMPARE(port->InCount(), 5);
        QCOMPARE(port->Read(), QByteArray("1.5\r\n"));
        QVERIFY(!port->TimedOut());
    }

    void lateLineFeedStaysQueued() {
        QVERIFY(port->Open());
        peer->send("1.5\r");
        QCOMPARE(port->Read(), QByteArray("1.5\r"));
        peer->send("\n");
        QTRY_COMPARE(port->InCount(), 1);
        QCOMPARE(port->Read(), QByteArray("\n")); // no marker: times out with the LF
        QVERIFY(port->TimedOut());
    }

    void tricklingReplyAccumulatesUntilMarker() {
        QVERIFY(port->Open());
        peer->setTrickle(1, 10ms);
        peer->send("PG,5404\r");
        QCOMPARE(port->Read(), QByteArray("PG,5404\r"));
        QVERIFY(!port->TimedOut());
    }

    void deadlineCountsFromStartOfWait() {
        makePort(150);
        QVERIFY(port->Open());
        // 100 bytes at 10 ms each would keep a sliding deadline alive to the
        // end of the line; the deadline fixed at the start ends the wait long
        // before, however loaded the machine.
        peer->setTrickle(1, 10ms);
        std::thread sender([&] { peer->send(std::string(100, 'x') + "\r"); });
        const QByteArray got = port->Read();
        sender.join();
        QVERIFY(port->TimedOut());
        QVERIFY(!got.contains('\r'));
        QVERIFY(!got.isEmpty());
    }

    void retryAfterTimeoutKeepsBytes() {
        makePort(150);
        port->SetShowErrors(true);
        QVERIFY(port->Open());
        peer->send("12");
        // The rest arrives while the time-out box is up, then Retry is
        // pressed: the retried wait finds it, however late the box comes on a
        // loaded machine.
        QStringList texts;
        QTimer user;
        connect(&user, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            texts << box->text();
            peer->send("34\r");
            box->button(texts.size() == 1 ? QMessageBox::Retry : QMessageBox::Abort)->click();
        });
        user.start(1);
        const QByteArray got = port->Read();
        QCOMPARE(got, QByteArray("1234\r"));
        QCOMPARE(texts, QStringList{QStringLiteral("Timeout waiting for response.")});
        QVERIFY(!port->TimedOut());
    }

    void timeoutFiresOnTimeoutOnlyWithEvents() {
        makePort(50);
        int fired = 0;
        port->SetOnTimeout([&](QObject* sender) {
            QCOMPARE(sender, port.get());
            ++fired;
        });
        QVERIFY(port->Open());
        port->Read();
        QCOMPARE(fired, 0);
        port->SetAllowEvents(true);
        port->Read();
        QCOMPARE(fired, 1);
    }

    void handlerClosingThePortEndsTheRead() {
        makePort(50);
        port->SetAllowEvents(true);
        port->SetShowErrors(true);
        port->SetOnTimeout([&](QObject*) { port->Close(); });
        ModalAnswerer answers(QMessageBox::Retry);
        QVERIFY(port->Open());
        QCOMPARE(port->Read(), QByteArray());
        QCOMPARE(answers.count(), 0);
        QVERIFY(!port->InUse());
    }

    void nestedReadIsRefused() {
        port->SetAllowEvents(true);
        port->SetShowErrors(true);
        QVERIFY(port->Open());
        ModalAnswerer answers;
        QByteArray nested = "untouched";
        QTimer::singleShot(20, [&] {
            QVERIFY(port->InUse());
            nested = port->Read();
            peer->send("outer\r");
        });
        QCOMPARE(port->Read(), QByteArray("outer\r"));
        QCOMPARE(nested, QByteArray());
        QCOMPARE(answers.texts(),
                 QStringList{QStringLiteral("Port is in use -- operation aborted")});
        QVERIFY(!port->InUse());
    }

    void readRawReturnsWaitingBytes() {
        QVERIFY(port->Open());
        peer->send("raw\r\nbytes");
        QTRY_COMPARE(port->InCount(), 10);
        QCOMPARE(port->ReadRaw(), QByteArray("raw\r\nbytes"));
        QCOMPARE(port->ReadRaw(), QByteArray());
    }

    void writeOpensAndSendsEveryByte() {
        QVERIFY(!port->Opened());
        QVERIFY(port->Write("*IDN?\r\n"));
        QVERIFY(port->Opened());
        QVERIFY(peer->waitForLines(1, 2s));
        QCOMPARE(peer->lines().front(), std::string("*IDN?"));
        const QByteArray big(20000, 'a');
        QVERIFY(port->Write(big + "\r\n"));
        QVERIFY(peer->waitForLines(2, 5s));
        QCOMPARE(peer->lines().back().size(), size_t(20000));
    }

    void missingPortFailsQuietlyWithoutErrors() {
        port->SetPort(1);
        QVERIFY(!port->Open());
        QVERIFY(!port->Write("x"));
        QCOMPARE(port->Read(), QByteArray());
        port->SetPort(57);
        QVERIFY(!port->Open());
    }

    void openErrorOffersAbortAndRetry() {
        port->SetShowErrors(true);
        port->SetPort(1);
        ModalAnswerer answers(QMessageBox::Abort);
        answers.enqueue(QMessageBox::Retry);
        QVERIFY(!port->Open());
        QCOMPARE(answers.texts(), QStringList(2, QStringLiteral("Error opening COM1: ")));
    }

    void portSetterReopensOnlyWhenChangedAndOpen() {
        port->SetPort(2);
        QVERIFY(!port->Opened());
        port->SetPort(1); // closed: only stored
        QVERIFY(!port->Opened());
        QCOMPARE(port->Port(), 1);
        port->SetPort(2);
        QVERIFY(port->Open());
        QVERIFY(port->Open()); // reopening an open port works
        port->SetBaud(9600);
        QVERIFY(port->Opened());
        QVERIFY(port->State());
        port->SetPort(1); // open: closes and tries the missing device
        QVERIFY(!port->Opened());
    }

    void portHeldElsewhereDoesNotOpen() {
        QVERIFY(port->Open());
        TPGComPort other;
        other.SetShowErrors(false);
        other.SetPort(2);
        QVERIFY(!other.Open());
        port->Close();
        QVERIFY(other.Open());
    }

    // The line settings Open applies, read back from the terminal itself.
    // The pseudo-terminal starts cooked, slow and with two stop bits, so
    // settings that were never applied cannot pass for the raw mode a peer
    // made. (Linux keeps a pseudo-terminal at 8 bits without parity whatever
    // is asked, so parity cannot be seen here.)
    void openAppliesTheLineSettings() {
        const int probe = ::open(peer->path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(probe >= 0);
        termios t{};
        QVERIFY(::tcgetattr(probe, &t) == 0);
        t.c_lflag |= ICANON | ECHO;
        t.c_iflag |= IXON | ICRNL;
        t.c_oflag |= OPOST;
        t.c_cflag |= CSTOPB;
        ::cfsetispeed(&t, B9600);
        ::cfsetospeed(&t, B9600);
        QVERIFY(::tcsetattr(probe, TCSANOW, &t) == 0);

        QVERIFY(port->Open());
        QVERIFY(::tcgetattr(probe, &t) == 0);
        QCOMPARE(::cfgetospeed(&t), speed_t(B115200));
        QCOMPARE(t.c_cflag & (CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(t.c_iflag & (IXON | IXOFF | ICRNL), tcflag_t(0));
        QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(int(t.c_cc[VMIN]), 0);
        QCOMPARE(int(t.c_cc[VTIME]), 0);

        // Changed on an open port: applied at once.
        port->SetParity(parEven);
        port->SetBaud(9600);
        port->SetHandshaking(hsHardware);
        QVERIFY(port->Opened());
        QVERIFY(::tcgetattr(probe, &t) == 0);
        QCOMPARE(::cfgetospeed(&t), speed_t(B9600));
        QCOMPARE(t.c_cflag & CRTSCTS, tcflag_t(CRTSCTS));
        QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        ::close(probe);
    }

    void flushDiscardsStaleInput() {
        QVERIFY(port->Open());
        peer->send("stale\r\n");
        QTRY_COMPARE(port->InCount(), 7);
        port->Flush();
        QCOMPARE(port->InCount(), 0);
    }

    void vanishedDeviceEndsWaitsWithoutHanging() {
        makePort(100);
        QVERIFY(port->Open());
        peer->disconnect();
        QElapsedTimer t;
        t.start();
        QCOMPARE(port->Read(), QByteArray());
        QVERIFY(port->TimedOut());
        QVERIFY(t.elapsed() < 1000);
    }
};

QTEST_MAIN(TstSerialPort)
#include "tst_serial_port.moc"
