#include "comm/comm_log.h"

#include "comm/exchange.h"
#include "comm/terminal_sink.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QMessageBox>
#include <QRegularExpression>

namespace communication {

bool LoggingEnabled = false;
QString UserName;
QString LogTimestamp;

namespace {

QFile LogFile;
std::function<void(bool)> stateListener;

void setLogging(bool on) {
    LoggingEnabled = on;
    if (stateListener)
        stateListener(on);
}

void reportNotWritable(bool quietly = false) {
    LogFile.close();
    setLogging(false);
    if (!quietly)
        AfterExchange([] {
            QMessageBox::critical(nullptr, QStringLiteral("Error"), kLogNotWritableMessage);
        });
}

bool appendToFile(const QString& line) {
    const QByteArray bytes = line.toLatin1() + "\r\n";
    return LogFile.write(bytes) == bytes.size();
}

// Every line goes straight to the file; a failure (disk full, file size
// limit, device gone) switches logging off instead of losing lines silently.
void logLine(const QString& line, bool quietly = false) {
    if (!LoggingEnabled)
        return;
    if (!appendToFile(line))
        reportNotWritable(quietly);
}

} // namespace

QString SafeUserName(const QString& raw) {
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    QString name = raw;
    name.replace(unsafe, QStringLiteral("_"));
    if (name.startsWith(QLatin1Char('.')))
        name[0] = QLatin1Char('_');
    return name;
}

QString LocalStamp(const QDateTime& when) {
    const QLocale locale = QLocale::system();
    // The locale's long time names its zone ("t"); a clock does not.
    QString format = locale.timeFormat(QLocale::LongFormat);
    QString time;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t'))
            time += c;
    }
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(',') +
           locale.toString(when.time(), time.trimmed());
}

void CaptureLogNameParts() {
    QString user;
    for (const char* var : {"USERNAME", "USER", "LOGNAME"}) {
        user = qEnvironmentVariable(var);
        if (!user.isEmpty())
            break;
    }
    UserName = SafeUserName(user);
    LogTimestamp = QDateTime::currentDateTime().toString(QStringLiteral("MM-dd-yy_HH-mm-ss"));
}

QString LogFileName() {
    return QStringLiteral("PG5400LogFile_") + UserName + QLatin1Char('_') + LogTimestamp +
           QStringLiteral(".txt");
}

void ToggleLoggingState() {
    if (LoggingEnabled) {
        CloseLog();
        return;
    }
    setLogging(true);
    LogFile.setFileName(LogFileName());
    const QDateTime now = QDateTime::currentDateTime();
    const QString header = QStringLiteral("PG5400 Communication Log File ") + LocalStamp(now);
    if (!LogFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered) ||
        !appendToFile(header))
        reportNotWritable();
}

void CloseLog() {
    LogFile.close();
    if (LoggingEnabled)
        setLogging(false);
}

void SetLoggingStateListener(std::function<void(bool)> listener) {
    stateListener = std::move(listener);
}

void LogSent(const QString& text) {
    logLine(QStringLiteral("Sent    (") + TimeStamp() + QStringLiteral("): ") + text);
}

void LogReceived(const QString& reply) {
    logLine(QStringLiteral("Received(") + TimeStamp() + QStringLiteral("): ") + reply);
}

void LogExceptionError() {
    logLine(QStringLiteral("Exception Error (") + TimeStamp());
}

void LogCommandDisabled(const QString& command) {
    logLine(QStringLiteral("Command Disabled:    (") + TimeStamp() + QStringLiteral("): ") +
            command);
}

void LogComportInUse(const QString& command) {
    logLine(QStringLiteral("Comport in use:    (") + TimeStamp() + QStringLiteral("): ") + command);
}

void LogQueueFull(const QString& command) {
    logLine(QStringLiteral("Queue full:    (") + TimeStamp() + QStringLiteral("): ") + command);
}

void LogNote(const QString& text) {
    logLine(QStringLiteral("Note:    (") + TimeStamp() + QStringLiteral("): ") + text);
}

void LogNoteWithoutBox(const QString& text) {
    logLine(QStringLiteral("Note:    (") + TimeStamp() + QStringLiteral("): ") + text, true);
}

void ResetLog() {
    LogFile.close();
    LoggingEnabled = false;
    stateListener = nullptr;
}

} // namespace communication
