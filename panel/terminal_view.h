#pragma once

#include "comm/terminal_sink.h"

#include <QPlainTextEdit>

// The command terminal's traffic view: read-only, one coloured line per
// command or reply. A plain-text document keeps appends cheap however many
// lines a long run collects.
class TerminalView : public QPlainTextEdit, public communication::TerminalSink {
    Q_OBJECT
public:
    explicit TerminalView(QWidget* parent = nullptr);

    void AppendTerminalLine(const QString& line, const QColor& colour) override;
    void ClearTerminal() override;
    // The text of line i (0-based) and its colour, for tests and captures.
    QString lineText(int i) const;
    QColor lineColour(int i) const;
    int lineCount() const;
};
