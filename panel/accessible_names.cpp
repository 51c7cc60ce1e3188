#include "panel/accessible_names.h"

#include "controls/plusspinedit.h"
#include "controls/terminal_view.h"
#include "panel/main_form.h"
#include "timing/timing_model.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>

namespace pg5400 {

namespace {

constexpr const char* kUnit = "pgAccessibleUnit";
constexpr const char* kOwnedDescription = "pgOwnedAccessibleDescription";

QString plain(QString caption) {
    caption.remove(QLatin1Char('&'));
    return caption.simplified();
}

// "Duty Cycle On" as it reads within a phrase: "duty cycle on"; what is in
// brackets and short symbols ("T0", "(V)") stay as they are.
QString inPhrase(const QString& caption) {
    QStringList words = caption.split(QLatin1Char(' '));
    bool bracket = false;
    for (QString& word : words) {
        if (word.startsWith(QLatin1Char('(')))
            bracket = true;
        if (!bracket && word != word.toUpper())
            word = word.toLower();
        if (word.endsWith(QLatin1Char(')')))
            bracket = false;
    }
    return words.join(QLatin1Char(' '));
}

QGroupBox* enclosingGroup(const QWidget* w) {
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (auto* group = qobject_cast<QGroupBox*>(p); group && !group->title().isEmpty())
            return group;
    return nullptr;
}

// What the user reads on hovering: the control's tooltip, or where it has
// none, the one of the group it sits in.
QString hoverText(const QWidget* w) {
    if (!w->toolTip().isEmpty())
        return w->toolTip();
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<QGroupBox*>(p) && !p->toolTip().isEmpty())
            return p->toolTip();
    return {};
}

// The tab of the page a control sits on, for one outside any group.
QString pageCaption(const QWidget* w) {
    for (const QWidget* p = w; p && p->parentWidget(); p = p->parentWidget())
        for (QWidget* q = p->parentWidget(); q; q = q->parentWidget())
            if (auto* tabs = qobject_cast<QTabWidget*>(q)) {
                const int index = tabs->indexOf(const_cast<QWidget*>(p));
                if (index >= 0)
                    return plain(tabs->tabText(index));
                break;
            }
    return {};
}

int channelOf(TMainForm* form, const QWidget* w) {
    for (int i = 0; i < form->ChPageControl->count(); ++i)
        if (form->ChPageControl->widget(i)->isAncestorOf(w))
            return i + 1;
    return 0;
}

bool isControl(const QWidget* w) {
    return qobject_cast<const TPlusSpinEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QListWidget*>(w) ||
           qobject_cast<const QPlainTextEdit*>(w);
}

// Seconds for times, volts where the caption says so, nothing for counts.
QString unitOf(const TPlusSpinEdit* edit, const QString& caption) {
    if (caption.contains(QLatin1String("(V)")))
        return QStringLiteral("V");
    const QString name = edit->objectName();
    for (const char* time : {"Delay", "Width", "Period"})
        if (name.contains(QLatin1String(time)))
            return QStringLiteral("s");
    return {};
}

class AccessibleSpinEdit : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleSpinEdit(TPlusSpinEdit* edit)
        : QAccessibleWidget(edit, QAccessible::SpinBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return valueText();
        return QAccessibleWidget::text(t);
    }

    // Its arrow buttons are part of it: stepping is the value's business.
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }

    QVariant currentValue() const override { return edit()->Value(); }
    // As if typed: the edit's own change handling sends it.
    void setCurrentValue(const QVariant& value) override { edit()->setValue(value.toDouble()); }
    QVariant maximumValue() const override { return edit()->MaxValue(); }
    QVariant minimumValue() const override { return edit()->MinValue(); }
    // One press of an arrow key: the step the edit takes.
    QVariant minimumStepSize() const override { return edit()->Increment(); }

private:
    TPlusSpinEdit* edit() const { return static_cast<TPlusSpinEdit*>(widget()); }

    QString valueText() const {
        const QString unit = SpinUnit(edit());
        const double v = edit()->Value();
        if (unit == QLatin1String("s"))
            return timing::FormatTime(timing::ToPs(v), 12);
        const QString number = QString::number(v, 'f', std::max(0, edit()->Decimals()));
        return unit.isEmpty() ? number : number + QLatin1Char(' ') + unit;
    }
};

// Qt's own combo box interface on Linux announces the entry shown as the
// name; this one names the list ("Channel B mode") and keeps the entry as
// its value, and opens it on request.
class AccessibleList : public QAccessibleWidget {
public:
    explicit AccessibleList(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value ||
            (t == QAccessible::Name && list()->accessibleName().isEmpty()))
            return list()->currentText();
        return QAccessibleWidget::text(t);
    }

    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }

    QStringList actionNames() const override { return {showMenuAction()}; }
    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction())
            list()->showPopup();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QComboBox* list() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* panelFactory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("TPlusSpinEdit"))
        return new AccessibleSpinEdit(static_cast<TPlusSpinEdit*>(object));
    // Only the panel's setting lists; the terminal's line keeps Qt's
    // interface, which reaches the text being typed.
    auto* list = qobject_cast<QComboBox*>(object);
    if (list && className == QLatin1String("QComboBox") &&
        list->objectName() != QLatin1String("SendEdit") && qobject_cast<TMainForm*>(list->window()))
        return new AccessibleList(list);
    return nullptr;
}

} // namespace

void InstallAccessibleControls() {
    static bool installed = false;
    if (!installed)
        QAccessible::installFactory(panelFactory);
    installed = true;
}

QString SpinUnit(const TPlusSpinEdit* edit) {
    return edit->property(kUnit).toString();
}

void SetOwnedAccessibleDescription(QWidget* control, const QString& description) {
    control->setProperty(kOwnedDescription, true);
    control->setAccessibleDescription(description);
}

void NameControlsForAccessibility(TMainForm* form) {
    struct Named {
        QWidget* widget;
        QString name;
        QGroupBox* context;
    };
    std::vector<Named> controls;
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (!isControl(w) || w == form->ResponseList)
            continue;
        // A control inside another (a combo box's line edit, a spin edit's
        // arrow buttons) is part of it.
        bool part = false;
        for (QWidget* p = w->parentWidget(); p && !part; p = p->parentWidget())
            part = qobject_cast<QComboBox*>(p) || qobject_cast<TPlusSpinEdit*>(p);
        if (part)
            continue;
        QGroupBox* group = enclosingGroup(w);
        // The group around the caption used, should two names come out alike.
        QGroupBox* context = group;
        QString caption;
        if (auto* button = qobject_cast<QAbstractButton*>(w); button && !button->text().isEmpty()) {
            caption = plain(button->text());
        } else if (qobject_cast<QTabBar*>(w->parentWidget()) && group) {
            // A tab bar's scroll arrows.
            caption = plain(group->title()) + (w->objectName().contains(QLatin1String("Left"))
                                                   ? QStringLiteral(" tabs, scroll left")
                                                   : QStringLiteral(" tabs, scroll right"));
        } else if (group) {
            caption = plain(group->title());
            context = enclosingGroup(group);
        } else {
            caption = pageCaption(w);
        }
        if (caption.isEmpty())
            continue;
        const int channel = channelOf(form, w);
        QString name = caption;
        if (channel > 0)
            name = QStringLiteral("Channel %1 %2")
                       .arg(QChar(u'A' + channel - 1))
                       .arg(inPhrase(caption));
        controls.push_back({w, name, context});
        if (auto* edit = qobject_cast<TPlusSpinEdit*>(w))
            edit->setProperty(kUnit, unitOf(edit, caption));
    }
    // Two controls under the same caption ("Mode") take the caption of the
    // group around theirs ("External Trigger/Gate mode").
    QHash<QString, int> uses;
    for (const Named& c : controls)
        ++uses[c.name];
    for (Named& c : controls) {
        if (uses.value(c.name) > 1 && c.context)
            c.name = plain(c.context->title()) + QLatin1Char(' ') + inPhrase(c.name);
        // A button named by its own text keeps following it (Run, Stop).
        auto* button = qobject_cast<QAbstractButton*>(c.widget);
        const bool ownText = button && plain(button->text()) == c.name;
        c.widget->setAccessibleName(ownText ? QString() : c.name);
        if (!c.widget->property(kOwnedDescription).toBool())
            c.widget->setAccessibleDescription(hoverText(c.widget));
    }
    form->SendEdit->setAccessibleName(QStringLiteral("Command to send"));
    form->ResponseList->setAccessibleName(QStringLiteral("Command traffic"));
}

} // namespace pg5400
