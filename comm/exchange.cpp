#include "comm/exchange.h"

#include "comm/comm_log.h"
#include "comm/terminal_sink.h"
#include "serial/pgcomport.h"

#include <QPointer>
#include <QThread>
#include <QTime>
#include <cmath>
#include <vector>

namespace communication {

TPGComPort* ComPort = nullptr;
QString LastCommand;
bool CommandsSuspended = false;
bool ShutdownBegun = false;
bool DeviceLost = false;

namespace {

TerminalSink* terminal = nullptr;
int exchangeDepth = 0;
std::vector<std::function<void()>> pendingNotices;
std::function<void()> deviceLostHandler;

// After an exchange: a device that hung up is reported once, after the
// exchange, and nothing more is sent to it meanwhile.
void checkDevice() {
    if (!deviceLostHandler || DeviceLost || ShutdownBegun || !ComPort || !ComPort->Vanished())
        return;
    DeviceLost = true;
    pendingNotices.push_back(deviceLostHandler);
}

// Marks one exchange, from its write to the end of its reply wait; the
// notices held back meanwhile are shown once the outermost one has ended.
class ExchangeScope {
public:
    ExchangeScope() { ++exchangeDepth; }
    ~ExchangeScope() {
        if (--exchangeDepth > 0)
            return;
        checkDevice();
        std::vector<std::function<void()>> notices;
        notices.swap(pendingNotices);
        for (auto& notice : notices)
            notice();
    }
    ExchangeScope(const ExchangeScope&) = delete;
    ExchangeScope& operator=(const ExchangeScope&) = delete;
};

bool portUsable() {
    return ComPort && !ShutdownBegun && !DeviceLost;
}

// The start of a line that did not go out whole: the instrument holds it
// and would take the next line for its rest.
bool lineLeftOpen = false;

// Ends a line left open on a line of its own, and drops its reply (an error,
// or nothing) within a short limit and without any box.
void closeOpenLine() {
    lineLeftOpen = false;
    const QPointer<TPGComPort> port(ComPort);
    if (ComPort->Write("\r\n")) {
        const TQuietReplies quiet(ComPort, 300);
        ComPort->Read();
    }
    if (port)
        port->Flush();
}

// A line that does not go out whole is reported once, in the terminal and
// the log, and whatever part of it the port still holds is dropped; the part
// that went out is ended before the next line, so no half line joins it.
bool writeLine(const QString& line) {
    if (lineLeftOpen)
        closeOpenLine();
    if (!ComPort)
        return false;
    if (ComPort->Write(line.toLatin1() + "\r\n"))
        return true;
    if (ShutdownBegun)
        return false;
    lineLeftOpen = ComPort->LastWritten() > 0;
    ComPort->Flush();
    const QString text = QStringLiteral("Write failed, not sent: ") + line;
    EchoToTerminal(text, QColor(Qt::red));
    LogNote(text);
    return false;
}

QString readTrimmed() {
    if (!portUsable())
        return {};
    return TrimRight(QString::fromLatin1(ComPort->Read()));
}

// The numeric queries share this: an empty reply counts as "0", a reply that
// is no number gives 0 and an Exception Error log line.
template <typename T, typename Convert> T queryNumber(const QString& command, Convert convert) {
    QString reply = TrimControl(QueryText(command));
    if (reply.isEmpty())
        reply = QStringLiteral("0");
    bool ok = false;
    const T value = convert(reply, &ok);
    if (!ok) {
        LogExceptionError();
        return T(0);
    }
    return value;
}

} // namespace

void SetTerminal(TerminalSink* sink) {
    terminal = sink;
}
TerminalSink* Terminal() {
    return terminal;
}

void EchoToTerminal(const QString& text, const QColor& colour) {
    if (terminal)
        terminal->AppendTerminalLine(
            QLatin1Char('(') + TimeStamp() + QStringLiteral(") ") + TrimRight(text), colour);
}

QString TimeStamp() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString TrimControl(const QString& text) {
    qsizetype begin = 0;
    while (begin < text.size() && text.at(begin).unicode() <= 32)
        ++begin;
    return TrimRight(text.mid(begin));
}

QString TrimRight(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).unicode() <= 32)
        --end;
    return text.left(end);
}

bool ExchangeInProgress() {
    return exchangeDepth > 0 || (ComPort && ComPort->InUse());
}

void SetDeviceLostHandler(std::function<void()> handler) {
    deviceLostHandler = std::move(handler);
}

void AfterExchange(std::function<void()> notice) {
    if (exchangeDepth > 0)
        pendingNotices.push_back(std::move(notice));
    else
        notice();
}

QString QueryText(const QString& command) {
    QThread::msleep(1);
    if (!portUsable() || ExchangeInProgress())
        return {};
    ExchangeScope exchange;
    ComPort->Flush();
    LastCommand = command + QLatin1Char('?');
    // A line that could not be written has no reply to wait for.
    if (!writeLine(LastCommand))
        return {};
    LogSent(LastCommand);
    const QString reply = readTrimmed();
    LogReceived(reply);
    return reply;
}

qint32 QueryInteger(const QString& command) {
    return queryNumber<qint32>(command, [](const QString& s, bool* ok) { return s.toInt(ok, 10); });
}

double QueryFloat(const QString& command) {
    return queryNumber<double>(command, [](const QString& s, bool* ok) {
        const double v = s.toDouble(ok);
        // "nan" and "inf" parse but are no setting the instrument can hold.
        if (*ok && !std::isfinite(v))
            *ok = false;
        return v;
    });
}

quint32 QueryInt64(const QString& command) {
    return queryNumber<quint32>(command, [](const QString& s, bool* ok) {
        return quint32(quint64(s.toLongLong(ok, 10)) & 0xFFFFFFFFu);
    });
}

void SendCommand(const QString& command, QString& reply) {
    reply.clear();
    if (CommandsSuspended) {
        LogCommandDisabled(command);
        return;
    }
    QThread::msleep(1);
    if (!portUsable())
        return;
    if (ExchangeInProgress()) {
        LogComportInUse(command);
        return;
    }
    ExchangeScope exchange;
    ComPort->Flush();
    LastCommand = command;
    if (!writeLine(LastCommand))
        return;
    EchoToTerminal(LastCommand, kCommandColour);
    LogSent(LastCommand);
    reply = ReplyToTerminal();
}

void SendCommand(const QString& command) {
    QString ignored;
    SendCommand(command, ignored);
}

QString ReplyToTerminal() {
    const QString r = ReadReply();
    EchoToTerminal(r, kReplyColour);
    return r;
}

QString ReadReply() {
    const QString r = readTrimmed();
    LogReceived(r);
    return r;
}

void ResetExchange() {
    ComPort = nullptr;
    LastCommand.clear();
    CommandsSuspended = false;
    ShutdownBegun = false;
    DeviceLost = false;
    deviceLostHandler = nullptr;
    lineLeftOpen = false;
    terminal = nullptr;
    exchangeDepth = 0;
    pendingNotices.clear();
}

} // namespace communication
