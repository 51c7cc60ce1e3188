// What the editors of all pages share: how a list choice is read and how a
// spin edit's value becomes a count.
#include "panel/main_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <cmath>

namespace {

// Marks a list whose typed text is already watched.
const char* const kSettlesTypedText = "settlesTypedText";

// Shows entry `index` again in place of whatever was typed; fires nothing.
void showEntry(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    list->setEditText(list->itemText(index));
}

} // namespace

int TMainForm::ListChoice(QComboBox* list, void (TMainForm::*handler)(QObject*)) {
    // The lists take typed text and report every keystroke. A half-typed or
    // unknown name is no choice: nothing may be sent for it, and the list must
    // not go on showing a setting the instrument does not have.
    QLineEdit* edit = list->lineEdit();
    if (edit && !edit->property(kSettlesTypedText).toBool()) {
        edit->setProperty(kSettlesTypedText, true);
        connect(edit, &QLineEdit::editingFinished, this, [this, list, handler] {
            const int selected = list->currentIndex();
            const QString text = list->currentText();
            if (selected >= 0 && text == list->itemText(selected))
                return;
            const int named = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (named >= 0) {
                list->setCurrentIndex(named);
                (this->*handler)(list);
                return;
            }
            showEntry(list, selected);
        });
    }
    const int selected = list->currentIndex();
    return selected >= 0 && list->currentText() == list->itemText(selected) ? selected : -1;
}

bool TMainForm::commitCheck(QCheckBox* box, qint32& cached, const QString& line) {
    const qint32 on = box->isChecked() ? 1 : 0;
    if (QueuedCommandToPort(line)) {
        noteUserEdit(box, cached == 1, on == 1);
        cached = on;
        return true;
    }
    const QSignalBlocker quiet(box);
    box->setChecked(cached == 1);
    return false;
}

bool TMainForm::commitList(QComboBox* list, qint32& cached, int index, const QString& line) {
    if (line.isEmpty())
        return false;
    if (QueuedCommandToPort(line)) {
        noteUserEdit(list, cached, index);
        cached = index;
        return true;
    }
    if (cached >= 0 && cached < list->count())
        showEntry(list, cached);
    return false;
}
