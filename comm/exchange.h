#pragma once

#include <QString>

class TPGComPort;

// The procedures through which the panel talks to the instrument: one line
// out, one reply line back, with the terminal echo and the log.
namespace communication {

// The port every exchange uses; the main window installs its component.
extern TPGComPort* ComPort;
// The last command line written, without its line end ("?" included).
extern QString LastCommand;
// Set by a read-back: commands are refused so its own control updates send nothing.
extern bool CommandsSuspended;
// Set once the program ends or restarts: every primitive refuses from then on.
extern bool ShutdownBegun;

QString QueryText(const QString& command);
qint32 QueryInteger(const QString& command);
double QueryFloat(const QString& command);
// The low 32 bits of a signed 64-bit reply, read as an unsigned count.
quint32 QueryInt64(const QString& command);
void SendCommand(const QString& command, QString& reply);
void SendCommand(const QString& command);
QString ReadReply();
QString ReplyToTerminal();

// Removes trailing characters of code 32 or less (blanks, CR, LF, controls).
QString TrimRight(const QString& text);

void ResetExchange();

} // namespace communication
