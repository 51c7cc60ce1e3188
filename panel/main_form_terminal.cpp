// The command terminal: whatever the user types goes to the instrument as
// typed, through the same queue as every edit, and stays in the history.
#include "comm/comm_log.h"
#include "comm/exchange.h"
#include "comm/terminal_sink.h"
#include "panel/command_queue.h"
#include "panel/main_form.h"

#include <QComboBox>
#include <QTimer>

using namespace pg5400;

void TMainForm::SendBtnClick(QObject*) {
    sendTerminalText();
}

bool TMainForm::SendEditKeyPress(QObject*, int Key, Qt::KeyboardModifiers Modifiers) {
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
        sendTerminalText();
        return true;
    }
    if (Key == Qt::Key_Backspace && (Modifiers & Qt::ControlModifier))
        return deleteSelectedHistoryEntry();
    return false;
}

void TMainForm::sendTerminalText() {
    const QString text = SendEdit->currentText();
    queueTerminalLine(text);
    // History entries are picked from the list, never completed into what is
    // being typed: "*IDN" must not become "*IDN?" because that was sent before.
    if (SendEdit->completer())
        SendEdit->setCompleter(nullptr);
    // The history keeps duplicates; the text stays in the field for another go.
    SendEdit->addItem(text);
    SendEdit->setEditText(text);
}

void TMainForm::queueTerminalLine(const QString& line) {
    if (!line.isEmpty()) {
        QueuedCommandToPort(line);
        return;
    }
    // Sending nothing on purpose is a real request here (it goes out as CR LF
    // alone and the instrument answers it); the queue's refusal of empty lines
    // guards the editors, whose catalogue gives an empty line for bad input.
    switch (EnqueueCommand(line)) {
    case QueueResult::Queued:
        TaskTimer->start();
        return;
    case QueueResult::Full:
        if (communication::TerminalSink* t = communication::Terminal())
            t->AppendTerminalLine(QLatin1Char('(') + communication::TimeStamp() +
                                      QStringLiteral(") Command queue full, not sent: "),
                                  QColor(Qt::red));
        communication::LogQueueFull(line);
        return;
    case QueueResult::Suspended:
        return;
    }
}

bool TMainForm::deleteSelectedHistoryEntry() {
    const int index = SendEdit->currentIndex();
    // An entry counts as selected while the field still shows it; once the
    // user has typed something else, Ctrl+Backspace is the field's own key.
    if (index < 0 || SendEdit->itemText(index) != SendEdit->currentText())
        return false;
    const QString text = SendEdit->currentText();
    SendEdit->removeItem(index);
    // Removing the current entry would make the box show a neighbour: leave
    // nothing selected and the field as it was. The key is spent, so no word
    // of the field is erased with the entry.
    SendEdit->setCurrentIndex(-1);
    SendEdit->setEditText(text);
    return true;
}
