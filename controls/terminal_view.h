#pragma once

#include <QPlainTextEdit>

// The command terminal's traffic view: read-only, one coloured line per
// command or reply. Like every terminal program it keeps a fixed scrollback:
// scripts share the view, and a run of days must not grow without bound. The
// log file is the complete record; the first line says how many older lines
// were dropped from view.
class TerminalView : public QPlainTextEdit {
    Q_OBJECT
public:
    // Lines kept in view: far more than a person scrolls back through.
    static constexpr int ScrollbackLines = 10000;

    explicit TerminalView(QWidget* parent = nullptr);

    void AppendTerminalLine(const QString& line, const QColor& colour);
    void ClearTerminal();
    // The text of line i (0-based) and its colour, for tests and captures.
    QString lineText(int i) const;
    QColor lineColour(int i) const;
    int lineCount() const;
    // Lines dropped from the top so far.
    qint64 droppedLines() const { return dropped_; }

protected:
    // The traffic view shows no tooltip of its own, and none of its group's
    // (a request on the viewport or a scroll bar comes up here unanswered).
    bool event(QEvent* e) override;

private:
    void dropOldest();

    qint64 dropped_ = 0;
};
