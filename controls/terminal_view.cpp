#include "controls/terminal_view.h"

#include <QEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolTip>

namespace {

// How far past the scrollback the view may run before its oldest lines go.
constexpr int kDropChunk = TerminalView::ScrollbackLines / 10;

} // namespace

TerminalView::TerminalView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setUndoRedoEnabled(false);
    // Keep the selection visible when focus moves to the send box.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
}

void TerminalView::AppendTerminalLine(const QString& line, const QColor& colour) {
    QTextCharFormat format;
    format.setForeground(colour);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (!document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(line, format);
    if (lineCount() - (dropped_ > 0 ? 1 : 0) > ScrollbackLines + kDropChunk)
        dropOldest();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TerminalView::dropOldest() {
    // A tenth at a time, so the cost of dropping is spread over many lines.
    const bool noticeShown = dropped_ > 0;
    const int lines = lineCount() - (noticeShown ? 1 : 0);
    const int drop = lines - ScrollbackLines;
    QTextCursor cursor(document());
    if (noticeShown)
        cursor.movePosition(QTextCursor::NextBlock);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, drop);
    cursor.removeSelectedText();
    dropped_ += drop;
    QTextCharFormat format;
    format.setForeground(QColor(Qt::gray));
    const QString notice =
        QStringLiteral("(%1 older lines dropped from view; the log keeps every line)")
            .arg(dropped_);
    cursor.movePosition(QTextCursor::Start);
    if (noticeShown)
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    else {
        cursor.insertBlock();
        cursor.movePosition(QTextCursor::PreviousBlock);
    }
    cursor.insertText(notice, format);
}

void TerminalView::ClearTerminal() {
    clear();
    dropped_ = 0;
}

int TerminalView::lineCount() const {
    return document()->isEmpty() ? 0 : document()->blockCount();
}

QString TerminalView::lineText(int i) const {
    return document()->findBlockByNumber(i).text();
}

QColor TerminalView::lineColour(int i) const {
    const QTextBlock block = document()->findBlockByNumber(i);
    return block.begin().atEnd() ? QColor()
                                 : block.begin().fragment().charFormat().foreground().color();
}

bool TerminalView::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        QToolTip::hideText();
        return true;
    }
    return QPlainTextEdit::event(e);
}
