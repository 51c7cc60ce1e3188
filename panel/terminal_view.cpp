#include "panel/terminal_view.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

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
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TerminalView::ClearTerminal() {
    clear();
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
