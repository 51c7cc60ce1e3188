// The command terminal: whatever the user types goes to the instrument as
// typed, through the same queue as every edit, and stays in the history.
#include "comm/exchange.h"
#include "panel/main_form.h"

#include <QComboBox>
#include <QTimer>

namespace {

constexpr int kHistoryEntries = 1000;

} // namespace

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
    QueueLine(text);
    // History entries are picked from the list, never completed into what is
    // being typed: "*IDN" must not become "*IDN?" because that was sent before.
    if (SendEdit->completer())
        SendEdit->setCompleter(nullptr);
    // The history keeps duplicates, up to a bound like the terminal's own
    // scrollback (the oldest go first); the text stays in the field for
    // another go.
    SendEdit->addItem(text);
    while (SendEdit->count() > kHistoryEntries)
        SendEdit->removeItem(0);
    // The box selects the first entry it is given: sending selects none, so
    // Ctrl+Backspace right after it deletes nothing.
    SendEdit->setCurrentIndex(-1);
    SendEdit->setEditText(text);
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
