#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

// The communication log: one time-stamped line per command, question, reply,
// refusal and failed conversion, in a text file in the working directory.
namespace communication {

extern bool LoggingEnabled;
extern QString UserName;
extern QString LogTimestamp;

inline const QString kLogNotWritableMessage = QStringLiteral(
    "Log file cannot be written to. Please run program from writable location. Logging will be "
    "disabled.");

// Captures the user name and the start time that make up the run's file name.
void CaptureLogNameParts();
// "PG5400LogFile_<user>_<mm-dd-yy_hh-nn-ss>.txt", relative to the working directory.
QString LogFileName();
// A user name reduced to characters that are safe in a file name.
QString SafeUserName(const QString& raw);

// The date and time a log header or a settings snapshot starts with: the
// user's short date and long time (without a time zone, as the desktop's
// clock shows it).
QString LocalStamp(const QDateTime& when);

// Switches logging on (the file is emptied and gets a new header) or off.
// A file that cannot be created or written shows kLogNotWritableMessage and
// leaves logging off.
void ToggleLoggingState();
void CloseLog();

// Called after every change of LoggingEnabled, e.g. to keep a menu check mark.
void SetLoggingStateListener(std::function<void(bool enabled)> listener);

void LogSent(const QString& text);
void LogReceived(const QString& reply);
void LogExceptionError();
void LogCommandDisabled(const QString& command);
void LogComportInUse(const QString& command);
void LogQueueFull(const QString& command);
// A free-text line (diagnostics), when logging is on.
void LogNote(const QString& text);
// As LogNote, for a program that is ending: a log that cannot be written is
// switched off without the box, which would wait for an exchange that never
// comes or for someone to close it.
void LogNoteWithoutBox(const QString& text);

void ResetLog();

} // namespace communication
