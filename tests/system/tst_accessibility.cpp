// What a screen reader finds in a 5454 panel: the accessibility tree walked
// from the window, every control in it named, no two alike; spin edits with
// their value and unit; the run button with its state.
#include "controls/plusspinedit.h"
#include "tests/support/edit_input.h"
#include "tests/support/panel_harness.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace testsupport;

namespace {

bool isControl(QAccessible::Role role) {
    switch (role) {
    case QAccessible::SpinBox:
    case QAccessible::ComboBox:
    case QAccessible::CheckBox:
    case QAccessible::PushButton:
    case QAccessible::List:
    case QAccessible::EditableText:
        return true;
    default:
        return false;
    }
}

void walk(QAccessibleInterface* node, QList<QAccessibleInterface*>& out) {
    if (!node)
        return;
    if (isControl(node->role()))
        out << node;
    // A combo box's own parts (its line edit, its list) are announced as it.
    if (node->role() == QAccessible::ComboBox)
        return;
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), out);
}

QAccessibleInterface* byName(const QList<QAccessibleInterface*>& all, const QString& name) {
    for (QAccessibleInterface* a : all)
        if (a->text(QAccessible::Name) == name)
            return a;
    return nullptr;
}

} // namespace

class TstAccessibility : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyControlNamedOnce() {
        PanelHarness h("5454");
        QVERIFY(h.start());
        TMainForm* f = h.form();
        QList<QAccessibleInterface*> controls;
        walk(QAccessible::queryAccessibleInterface(f), controls);
        QVERIFY(controls.size() > 100); // eight channel pages of them

        QHash<QString, QString> owner;
        QStringList unnamed, twice;
        for (QAccessibleInterface* a : controls) {
            const QString name = a->text(QAccessible::Name);
            const QString object = a->object() ? a->object()->objectName() : QString();
            if (name.isEmpty())
                unnamed << object;
            else if (owner.contains(name))
                twice << QStringLiteral("%1 (%2, %3)").arg(name, owner[name], object);
            else
                owner[name] = object;
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
        QVERIFY2(twice.isEmpty(), qPrintable(twice.join(QStringLiteral("; "))));

        // Channel controls carry their channel; spin edits their value and unit.
        QAccessibleInterface* delay = byName(controls, QStringLiteral("Channel B delay"));
        QVERIFY(delay);
        QCOMPARE(delay->role(), QAccessible::SpinBox);
        QCOMPARE(delay->object(), f->ChDelayAdj[2]);
        f->ChDelayAdj[2]->setValue(1e-7);
        QCOMPARE(delay->text(QAccessible::Value), QStringLiteral("100 ns"));
        QVERIFY(delay->valueInterface());
        QCOMPARE(delay->valueInterface()->currentValue().toDouble(), 1e-7);
        QAccessibleInterface* amplitude =
            byName(controls, QStringLiteral("Channel A amplitude (V)"));
        QVERIFY(amplitude);
        QVERIFY(amplitude->text(QAccessible::Value).endsWith(QStringLiteral(" V")));
        // What hovering shows is the description: here the delay group's tooltip.
        QCOMPARE(delay->text(QAccessible::Description),
                 QStringLiteral("Sets channel delay from selected sync source"));
        QAccessibleInterface* period = QAccessible::queryAccessibleInterface(f->PeriodAdj);
        QVERIFY(!period->text(QAccessible::Description).isEmpty());

        // The run button says what pressing it does and what runs now, also
        // after a read-back has named every control again.
        QAccessibleInterface* run = QAccessible::queryAccessibleInterface(f->RunStopbtn);
        QCOMPARE(run->text(QAccessible::Name), QStringLiteral("Run"));
        f->Up1->trigger();
        QVERIFY(h.waitIdle());
        QCOMPARE(run->text(QAccessible::Description),
                 QStringLiteral("Outputs stopped; press to run"));
        QCOMPARE(delay->text(QAccessible::Description),
                 QStringLiteral("Sets channel delay from selected sync source"));
        Click(f->RunStopbtn);
        QVERIFY(h.waitIdle());
        QCOMPARE(run->text(QAccessible::Name), QStringLiteral("Stop"));
        f->Up1->trigger();
        QVERIFY(h.waitIdle());
        QCOMPARE(run->text(QAccessible::Description),
                 QStringLiteral("Outputs running; press to stop"));
    }
};

QTEST_MAIN(TstAccessibility)
#include "tst_accessibility.moc"
