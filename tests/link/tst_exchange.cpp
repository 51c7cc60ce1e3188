// The exchange primitives, the communication log and the port scan against
// pseudo-terminal peers, through the real serial code.
#include "comm/comm_log.h"
#include "comm/discovery.h"
#include "comm/exchange.h"
#include "comm/terminal_sink.h"
#include "serial/pgcomport.h"
#include "serial/port_table.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/pty_peer.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <map>

using namespace std::chrono_literals;
using namespace communication;
using testsupport::ModalAnswerer;
using testsupport::PtyPeer;

namespace {

struct RecordingTerminal : TerminalSink {
    QStringList lines;
    QList<QColor> colours;
    int clears = 0;
    void AppendTerminalLine(const QString& line, const QColor& colour) override {
        lines << line;
        colours << colour;
    }
    void ClearTerminal() override {
        lines.clear();
        colours.clear();
        ++clears;
    }
};

// A peer that answers like an instrument from a fixed table ("ok" otherwise).
std::unique_ptr<PtyPeer> instrument(const std::string& idn,
                                    std::map<std::string, std::string> replies = {}) {
    auto peer = std::make_unique<PtyPeer>();
    replies["*IDN?"] = idn;
    peer->setResponder([replies](const std::string& line) -> std::optional<std::string> {
        const auto it = replies.find(line);
        return (it == replies.end() ? std::string("ok") : it->second) + "\r\n";
    });
    return peer;
}

QStringList readLog() {
    QFile f(LogFileName());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString all = QString::fromLatin1(f.readAll());
    QStringList lines = all.split(QStringLiteral("\r\n"));
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

const QString kStamp = QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d");

} // namespace

class TstExchange : public QObject {
    Q_OBJECT

    QTemporaryDir workDir;
    QString previousDir;
    std::unique_ptr<TPGComPort> port;
    RecordingTerminal terminal;

    void usePeer(PtyPeer& peer, quint32 responseTime = 300) {
        serialport::SetPortTableOverride({QString::fromStdString(peer.path())});
        port->SetPort(1);
        port->SetResponseTime(responseTime);
        QVERIFY(port->Open());
    }

private Q_SLOTS:
    void initTestCase() {
        previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(workDir.path()));
        qputenv("USERNAME", "tester");
        CaptureLogNameParts();
    }
    void cleanupTestCase() { QDir::setCurrent(previousDir); }

    void init() {
        port = std::make_unique<TPGComPort>();
        port->SetShowErrors(false);
        port->SetEndOfResponse("\r");
        ResetExchange();
        ResetDiscovery();
        ComPort = port.get();
        terminal = {};
        SetTerminal(&terminal);
        ToggleLoggingState();
        QVERIFY(LoggingEnabled);
    }

    void cleanup() {
        CloseLog();
        ResetLog();
        ResetExchange();
        port.reset();
        serialport::SetPortTableOverride({});
    }

    void queryFramingAndLogLines() {
        auto peer = instrument("PG,5404,1,1.0.0-1.0.0", {{":PULS0:STAT?", "1"}});
        usePeer(*peer);
        QCOMPARE(QueryText(QStringLiteral(":PULS0:STAT")), QStringLiteral("1"));
        QCOMPARE(peer->received(), std::string(":PULS0:STAT?\r\n"));
        QCOMPARE(LastCommand, QStringLiteral(":PULS0:STAT?"));
        QVERIFY(terminal.lines.isEmpty()); // questions are not echoed
        const QStringList log = readLog();
        QCOMPARE(log.size(), 3);
        QVERIFY(log[0].startsWith(QStringLiteral("PG5400 Communication Log File ")));
        QVERIFY(QRegularExpression(QStringLiteral("^Sent    \\(") + kStamp +
                                   QStringLiteral("\\): :PULS0:STAT\\?$"))
                    .match(log[1])
                    .hasMatch());
        QVERIFY(
            QRegularExpression(QStringLiteral("^Received\\(") + kStamp + QStringLiteral("\\): 1$"))
                .match(log[2])
                .hasMatch());
    }

    void numericConversions() {
        auto peer = instrument("x", {{"A?", "  42  "},
                                     {"B?", "4294967295"},
                                     {"C?", "1E-5"},
                                     {"D?", "abc"},
                                     {"E?", "-7"},
                                     {"F?", "nan"},
                                     {"G?", "\x01\x02 17\x1f"},
                                     {"H?", "\x7f"
                                            "2.5e-3"}});
        usePeer(*peer);
        QCOMPARE(QueryText(QStringLiteral("A")), QStringLiteral("  42")); // leading blanks stay
        QCOMPARE(QueryInteger(QStringLiteral("A")), 42);
        QCOMPARE(QueryInt64(QStringLiteral("B")), 4294967295u);
        QCOMPARE(QueryInt64(QStringLiteral("E")), 4294967289u);
        QCOMPARE(QueryFloat(QStringLiteral("C")), 1e-5);
        // Every character of code 32 or less goes at both ends; DEL is no blank.
        QCOMPARE(QueryInteger(QStringLiteral("G")), 17);
        QCOMPARE(QueryFloat(QStringLiteral("H")), 0.0);
        const int before = int(readLog().size());
        QCOMPARE(QueryInteger(QStringLiteral("B")), 0); // beyond 32 bits
        QCOMPARE(QueryInteger(QStringLiteral("D")), 0);
        QCOMPARE(QueryFloat(QStringLiteral("F")), 0.0);
        const QStringList log = readLog();
        QCOMPARE(log.size(), before + 9);
        for (int i : {before + 2, before + 5, before + 8})
            QVERIFY2(QRegularExpression(QStringLiteral("^Exception Error \\(") + kStamp + "$")
                         .match(log[i])
                         .hasMatch(),
                     qPrintable(log[i]));
    }

    void timeoutGivesEmptyAndZeroWithoutException() {
        PtyPeer silent;
        usePeer(silent, 60);
        QCOMPARE(QueryText(QStringLiteral("X")), QString());
        QCOMPARE(QueryInteger(QStringLiteral("X")), 0);
        QCOMPARE(QueryFloat(QStringLiteral("X")), 0.0);
        for (const QString& line : readLog())
            QVERIFY(!line.startsWith(QStringLiteral("Exception")));
    }

    void commandEchoesBlackThenGreen() {
        auto peer = instrument("x", {{":PULS1:WIDT 0.000001000", "ok"}});
        usePeer(*peer);
        QString reply;
        SendCommand(QStringLiteral(":PULS1:WIDT 0.000001000"), reply);
        QCOMPARE(reply, QStringLiteral("ok"));
        QCOMPARE(peer->received(), std::string(":PULS1:WIDT 0.000001000\r\n"));
        QCOMPARE(terminal.lines.size(), 2);
        QVERIFY(QRegularExpression(QStringLiteral("^\\(") + kStamp +
                                   QStringLiteral("\\) :PULS1:WIDT 0.000001000$"))
                    .match(terminal.lines[0])
                    .hasMatch());
        QVERIFY(terminal.lines[1].endsWith(QStringLiteral(") ok")));
        QCOMPARE(terminal.colours[0], QColor(0, 0, 0));
        QCOMPARE(terminal.colours[1], QColor(0, 128, 0));
    }

    void suspendedCommandsLeaveOnlyALogLine() {
        auto peer = instrument("x");
        usePeer(*peer);
        const int before = int(readLog().size());
        CommandsSuspended = true;
        QString reply = QStringLiteral("stale");
        SendCommand(QStringLiteral(":PULS0:STAT ON"), reply);
        QCOMPARE(reply, QString());
        QTest::qWait(50);
        QCOMPARE(peer->received(), std::string());
        QVERIFY(terminal.lines.isEmpty());
        const QStringList log = readLog();
        QCOMPARE(log.size(), before + 1);
        QVERIFY(QRegularExpression(QStringLiteral("^Command Disabled:    \\(") + kStamp +
                                   QStringLiteral("\\): :PULS0:STAT ON$"))
                    .match(log.last())
                    .hasMatch());
    }

    // The outer reply is already waiting when the nested calls come: a
    // refused exchange that flushed the port would lose it.
    void exchangesRefusedWhileAReadWaits() {
        PtyPeer peer;
        usePeer(peer, 500);
        port->SetAllowEvents(true);
        QString nestedQuery = QStringLiteral("untouched");
        QString nestedReply = QStringLiteral("untouched");
        QStringList logDuringNested;
        QStringList terminalDuringNested;
        QTimer::singleShot(20, [&] {
            peer.send("outer\r\n");
            QTest::qWait(30); // the reply is in the port's input before the nested calls
            const int logBefore = int(readLog().size());
            const int terminalBefore = int(terminal.lines.size());
            nestedQuery = QueryText(QStringLiteral("NESTED"));
            SendCommand(QStringLiteral(":NESTED ON"), nestedReply);
            logDuringNested = readLog().mid(logBefore);
            terminalDuringNested = terminal.lines.mid(terminalBefore);
        });
        QCOMPARE(QueryText(QStringLiteral("OUTER")), QStringLiteral("outer"));
        QCOMPARE(nestedQuery, QString());
        QCOMPARE(nestedReply, QString());
        QCOMPARE(peer.received(), std::string("OUTER?\r\n"));
        // The refused question leaves no trace; the refused command one log line.
        QVERIFY(terminalDuringNested.isEmpty());
        QCOMPARE(logDuringNested.size(), 1);
        QVERIFY(QRegularExpression(QStringLiteral("^Comport in use:    \\(") + kStamp +
                                   QStringLiteral("\\): :NESTED ON$"))
                    .match(logDuringNested.first())
                    .hasMatch());
    }

    void loggingRestartTruncatesTheSameFile() {
        auto peer = instrument("x");
        usePeer(*peer);
        SendCommand(QStringLiteral("A"));
        QVERIFY(readLog().size() >= 3);
        bool listened = true;
        SetLoggingStateListener([&](bool on) { listened = on; });
        ToggleLoggingState();
        QVERIFY(!LoggingEnabled);
        QVERIFY(!listened);
        SendCommand(QStringLiteral("B"));
        QVERIFY(readLog().size() >= 3); // closed, not written
        ToggleLoggingState();
        QVERIFY(LoggingEnabled && listened);
        QCOMPARE(readLog().size(), 1);
        QVERIFY(LogFileName().startsWith(QStringLiteral("PG5400LogFile_tester_")));
        QVERIFY(QRegularExpression(
                    QStringLiteral(
                        "^PG5400LogFile_tester_\\d\\d-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.txt$"))
                    .match(LogFileName())
                    .hasMatch());
    }

    void unwritableLocationDisablesLogging() {
        CloseLog();
        QTemporaryDir readOnly;
        QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::ExeOwner);
        const QString here = QDir::currentPath();
        QDir::setCurrent(readOnly.path());
        // Root ignores permissions; a directory in the file's place fails for everyone.
        QDir().mkdir(LogFileName());
        ModalAnswerer answers;
        ToggleLoggingState();
        QDir::setCurrent(here);
        QVERIFY(!LoggingEnabled);
        QCOMPARE(answers.texts(), QStringList{kLogNotWritableMessage});
    }

    void failingWriteSwitchesLoggingOff() {
        auto peer = instrument("x");
        usePeer(*peer);
        CloseLog();
        // A file size limit just above the header makes a later line fail.
        testsupport::FileSizeLimit limit(100);
        QVERIFY(limit.ok());
        ModalAnswerer answers;
        ToggleLoggingState();
        QVERIFY(LoggingEnabled);
        for (int i = 0; i < 5 && LoggingEnabled; ++i)
            SendCommand(QStringLiteral(":A LONG COMMAND LINE THAT FILLS THE FILE"));
        limit.lift();
        QVERIFY(!LoggingEnabled);
        QTRY_COMPARE(answers.texts(), QStringList{kLogNotWritableMessage});
        SendCommand(QStringLiteral("AFTER")); // no crash, nothing written
    }

    void scanSkipsMissingSilentAndForeignPorts() {
        CloseLog();
        PtyPeer silent;
        PtyPeer foreign;
        foreign.setResponder(
            [](const std::string&) { return std::string("HELLO FROM A MODEM\r\n"); });
        auto first = instrument("PG,5404+,1234,2.1.0-1.0.3");
        auto second = instrument("PG,5402,99,1.0.0-1.0.0");
        serialport::SetPortTableOverride(
            {QStringLiteral("/nonexistent"), QString::fromStdString(silent.path()),
             QString::fromStdString(foreign.path()), QString::fromStdString(first->path()),
             QString::fromStdString(second->path())});
        QVERIFY(ConnectInstrument());
        QCOMPARE(port->Port(), 4);
        QVERIFY(port->Opened());
        QCOMPARE(port->Baud(), 115200);
        QCOMPARE(port->ResponseTime(), 100u);
        QCOMPARE(InstrumentIdentity.Model, QStringLiteral("5404+"));
        QCOMPARE(InstrumentIdentity.SerialNumber, 1234);
        QCOMPARE(InstrumentIdentity.FirmwareMajor, 2);
        QVERIFY(PlusOption);
        QVERIFY(!HighResolution);
        QCOMPARE(terminal.clears, 1);
        QVERIFY(terminal.lines.isEmpty());
        // The foreign device was asked and let go; the second instrument never.
        QVERIFY(foreign.received().find("*IDN?") != std::string::npos);
        QCOMPARE(second->received(), std::string());
        QCOMPARE(first->lines(),
                 (std::vector<std::string>{":SYST:COMM:USB:ECH OFF", ":SYST:COMM:BLUE:ECH OFF",
                                           "*IDN?", "*IDN?"}));
        TPGComPort other;
        other.SetShowErrors(false);
        other.SetPort(3);
        QVERIFY(other.Open()); // the foreign port was closed again
        ApplyModelTable();
        QCOMPARE(ChannelCount, 8);
        QCOMPARE(SystemResolution, 5e-9);
    }

    void failedScanKeepsTheEchoLines() {
        CloseLog();
        auto foreign = instrument("PG,5405,1,1.0.0-1.0.0");
        serialport::SetPortTableOverride({QString::fromStdString(foreign->path())});
        QVERIFY(!ConnectInstrument());
        QVERIFY(!port->Opened());
        QCOMPARE(terminal.clears, 0);
        QCOMPARE(terminal.lines.size(), 4); // two echo-off commands and their replies
        QVERIFY(terminal.lines[0].endsWith(QStringLiteral(":SYST:COMM:USB:ECH OFF")));
    }
};

QTEST_MAIN(TstExchange)
#include "tst_exchange.moc"
