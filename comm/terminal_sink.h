#pragma once

#include <QColor>
#include <QString>

namespace communication {

// Where the exchange primitives echo the traffic: the panel's command terminal
// installs itself here, so this layer never reaches up into the window.
class TerminalSink {
public:
    virtual ~TerminalSink() = default;
    virtual void AppendTerminalLine(const QString& line, const QColor& color) = 0;
    virtual void ClearTerminal() = 0;
};

inline const QColor kCommandColour = QColor(0, 0, 0);
inline const QColor kReplyColour = QColor(0, 128, 0);

void SetTerminal(TerminalSink* sink);
TerminalSink* Terminal();

// Local time of day with milliseconds, the stamp of terminal and log lines.
QString TimeStamp();

// Appends "(" + time stamp + ") " + text, trailing blanks and controls
// removed, to the installed terminal (if any).
void EchoToTerminal(const QString& text, const QColor& colour);

} // namespace communication
