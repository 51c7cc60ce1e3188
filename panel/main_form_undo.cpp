// Edit > Undo and Redo: every setting change the user makes is a step once
// its line is queued. Undoing sets the control back and runs its handler, so
// the line, the cache and the timing diagram follow exactly as for the user's
// own edit. A step is never undone over someone else's change: where a
// read-back shows that the setting no longer holds the step's value (a
// script, the terminal or the front panel changed it), the step is dropped
// and the terminal says so.
#include "comm/exchange.h"
#include "comm/terminal_sink.h"
#include "controls/check_list.h"
#include "controls/plusspinedit.h"
#include "instrument/settings_cache.h"
#include "panel/accessible_names.h"
#include "panel/main_form.h"
#include "timing/timing_model.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QUndoStack>
#include <QUndoView>
#include <QVBoxLayout>

using namespace pg5400;

namespace {

constexpr int kSettingStepId = 5400;
// Changes of one control closer together than this (a held arrow key, a
// turn of the wheel, auto-repeat) are one step.
constexpr qint64 kSameStepMs = 800;

bool isSyncList(const QObject* control) {
    return control->objectName().startsWith(QLatin1String("ChSyncSourceSel"));
}

} // namespace

// One step: a control from one value to another.
class SettingStep : public QUndoCommand {
public:
    SettingStep(TMainForm* form, QObject* control, QVariant before, QVariant after)
        : form(form), control(control), before(std::move(before)), after(std::move(after)),
          when(QDateTime::currentMSecsSinceEpoch()) {
        caption();
    }

    int id() const override { return kSettingStepId; }

    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const SettingStep*>(other);
        if (next->control != control || next->when - when > kSameStepMs)
            return false;
        after = next->after;
        when = next->when;
        caption();
        // Back where it started: no step at all.
        setObsolete(form->settingText(control, before) == form->settingText(control, after));
        return true;
    }

    void undo() override { replay(before, after); }
    void redo() override {
        // The first time the user's edit has done it already.
        if (fresh) {
            fresh = false;
            return;
        }
        replay(after, before);
    }

private:
    void caption() {
        setText(QStringLiteral("%1 %2 \u2192 %3")
                    .arg(form->settingName(control), form->settingText(control, before),
                         form->settingText(control, after)));
    }

    void replay(const QVariant& to, const QVariant& expected) {
        if (!form->replaySetting(control, to, expected))
            setObsolete(true);
    }

    TMainForm* form;
    QPointer<QObject> control;
    QVariant before;
    QVariant after;
    qint64 when;
    bool fresh = true;
};

// One step for many settings at once: what a recall or a file playback
// changed. Each setting goes back on its own through its handler; one
// changed elsewhere since is left alone.
class SettingsStep : public QUndoCommand {
public:
    struct Change {
        QPointer<QObject> control;
        QVariant before, after;
    };
    SettingsStep(TMainForm* form, const QString& what, std::vector<Change> changes)
        : form(form), changes(std::move(changes)) {
        setText(QStringLiteral("%1 (%2 settings)").arg(what).arg(this->changes.size()));
    }

    void undo() override {
        // Sync sources last, the other way round: a chain is taken apart
        // before another is built, so no step meets a loop on the way.
        for (auto it = changes.rbegin(); it != changes.rend(); ++it)
            form->replaySetting(it->control, it->before, it->after);
    }
    void redo() override {
        if (fresh) {
            fresh = false;
            return;
        }
        for (const Change& c : changes)
            form->replaySetting(c.control, c.after, c.before);
    }

private:
    TMainForm* form;
    std::vector<Change> changes;
    bool fresh = true;
};

bool TMainForm::replaySetting(QObject* control, const QVariant& to, const QVariant& expected) {
    if (!control)
        return false;
    const QString now = settingText(control, settingValue(control));
    if (now != settingText(control, expected)) {
        communication::EchoToTerminal(
            QStringLiteral("Not undone: %1 is %2 now, changed elsewhere since (a script, the "
                           "terminal or the front panel)")
                .arg(settingName(control), now),
            communication::kCommandColour);
        return false;
    }
    applySetting(control, to);
    return true;
}

void TMainForm::RememberSettingHandler(QObject* control, void (TMainForm::*handler)(QObject*)) {
    if (!settingHandlers.contains(control))
        settingControls << control;
    settingHandlers.insert(control, handler);
}

QList<QVariant> TMainForm::settingValues() const {
    QList<QVariant> values;
    for (QObject* control : settingControls)
        values << settingValue(control);
    return values;
}

void TMainForm::noteChangedTogether(const QString& what, const QList<QVariant>& before) {
    if (!undoStack || before.size() != settingControls.size())
        return;
    std::vector<SettingsStep::Change> changes;
    std::vector<SettingsStep::Change> syncs;
    for (qsizetype i = 0; i < settingControls.size(); ++i) {
        QObject* control = settingControls[i];
        const QVariant after = settingValue(control);
        if (settingText(control, before[i]) == settingText(control, after))
            continue;
        (isSyncList(control) ? syncs : changes).push_back({control, before[i], after});
    }
    changes.insert(changes.end(), syncs.begin(), syncs.end());
    if (!changes.empty())
        undoStack->push(new SettingsStep(this, what, std::move(changes)));
}

void TMainForm::buildEditMenu() {
    undoStack = new QUndoStack(this);
    undoStack->setObjectName(QStringLiteral("UndoStack"));
    Edit1 = new QMenu(QStringLiteral("Edit"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Undo1 = undoStack->createUndoAction(Edit1, QStringLiteral("Undo"));
    Undo1->setObjectName(QStringLiteral("Undo1"));
    Undo1->setShortcuts(QKeySequence::Undo);
    Redo1 = undoStack->createRedoAction(Edit1, QStringLiteral("Redo"));
    Redo1->setObjectName(QStringLiteral("Redo1"));
    Redo1->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    History1 = new QAction(QStringLiteral("History..."), Edit1);
    History1->setObjectName(QStringLiteral("History1"));
    connect(History1, &QAction::triggered, this, [this] { History1Click(History1); });
    Edit1->addActions({Undo1, Redo1});
    Edit1->addSeparator();
    Edit1->addAction(History1);
}

void TMainForm::History1Click(QObject*) {
    auto* box = findChild<QDialog*>(QStringLiteral("HistoryWindow"));
    if (!box) {
        box = new QDialog(this);
        box->setObjectName(QStringLiteral("HistoryWindow"));
        box->setWindowTitle(QStringLiteral("Edit History"));
        auto* view = new QUndoView(undoStack, box);
        view->setObjectName(QStringLiteral("HistoryView"));
        view->setEmptyLabel(QStringLiteral("<start of this session>"));
        auto* layout = new QVBoxLayout(box);
        layout->addWidget(view);
        box->resize(420, 320);
    }
    box->show();
    box->raise();
}

void TMainForm::noteUserEdit(QObject* control, const QVariant& before, const QVariant& after) {
    // A read-back puts the instrument's values into the controls with the
    // queue suspended; a replayed step is no new one.
    if (replayingStep || communication::CommandsSuspended || !undoStack)
        return;
    if (settingText(control, before) == settingText(control, after))
        return;
    undoStack->push(new SettingStep(this, control, before, after));
}

QVariant TMainForm::settingValue(QObject* control) const {
    if (auto* edit = qobject_cast<TPlusSpinEdit*>(control))
        return edit->Value();
    if (auto* list = qobject_cast<QComboBox*>(control))
        return isSyncList(list) ? GetChannelNumber(list->currentText()) : list->currentIndex();
    if (auto* box = qobject_cast<QCheckBox*>(control))
        return box->isChecked();
    if (auto* marks = qobject_cast<QListWidget*>(control)) {
        int mask = 0;
        for (int i = 0; i < marks->count(); ++i)
            if (CheckListMark(marks, i))
                mask |= 1 << i;
        return mask;
    }
    return {};
}

QString TMainForm::settingText(QObject* control, const QVariant& value) const {
    if (auto* edit = qobject_cast<TPlusSpinEdit*>(control)) {
        if (SpinUnit(edit) == QLatin1String("s"))
            return timing::FormatTime(timing::ToPs(value.toDouble()), timing::ExactDigits);
        return QString::number(value.toDouble(), 'f', std::max(0, edit->Decimals()));
    }
    if (auto* list = qobject_cast<QComboBox*>(control))
        return isSyncList(list) ? GetChSyncName(value.toInt()) : list->itemText(value.toInt());
    if (qobject_cast<QCheckBox*>(control))
        return value.toBool() ? QStringLiteral("on") : QStringLiteral("off");
    if (auto* marks = qobject_cast<QListWidget*>(control)) {
        QStringList on;
        for (int i = 0; i < marks->count(); ++i)
            if ((value.toInt() >> i) & 1)
                on << marks->item(i)->text();
        return on.isEmpty() ? QStringLiteral("none") : on.join(QLatin1Char('+'));
    }
    return value.toString();
}

QString TMainForm::settingName(QObject* control) const {
    auto* w = qobject_cast<QWidget*>(control);
    QString name = w ? w->accessibleName() : QString();
    if (name.isEmpty())
        return control->objectName();
    if (name.startsWith(QLatin1String("Channel ")))
        name.replace(0, 8, QStringLiteral("Ch "));
    return name;
}

void TMainForm::applySetting(QObject* control, const QVariant& value) {
    const auto handler = settingHandlers.value(control);
    if (!handler)
        return;
    {
        const QSignalBlocker quiet(control);
        if (auto* edit = qobject_cast<TPlusSpinEdit*>(control)) {
            edit->setValue(value.toDouble());
        } else if (auto* list = qobject_cast<QComboBox*>(control)) {
            const int index =
                isSyncList(list) ? list->findText(GetChSyncName(value.toInt())) : value.toInt();
            list->setCurrentIndex(index);
            list->setEditText(list->itemText(index));
        } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
            box->setChecked(value.toBool());
        } else if (auto* marks = qobject_cast<QListWidget*>(control)) {
            for (int i = 0; i < marks->count(); ++i)
                SetCheckListMark(marks, i, (value.toInt() >> i) & 1);
        }
    }
    replayingStep = true;
    (this->*handler)(control);
    replayingStep = false;
}
