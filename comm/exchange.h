#pragma once

#include <QString>
#include <functional>

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
// Set when an exchange found the instrument's device gone (not merely slow):
// every primitive refuses until the owner has taken the device up again, so a
// read-back, batch or playback in progress ends without asking per line.
extern bool DeviceLost;
// Told once, after the exchange that found the device gone; the main window
// installs it once start-up has found the instrument.
void SetDeviceLostHandler(std::function<void()> handler);

// True from the moment a primitive writes its line until it has read the reply
// (or given up): the port belongs to that exchange, and nothing else may start
// one. Timers still run inside the reply wait, so every timer that talks to
// the instrument asks this first.
bool ExchangeInProgress();
// Runs `notice` at once, or, inside an exchange, as soon as its reply has been
// read: a modal box between a line and its reply would run a nested event
// loop in which the reply could be taken by someone else.
void AfterExchange(std::function<void()> notice);

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
// Removes characters of code 32 or less at both ends (numeric replies).
QString TrimControl(const QString& text);

void ResetExchange();

} // namespace communication
