// The port selection dialog: which ports it lists, what it preselects and
// what the user's choice does to the port component.
#include "serial/pgcomport.h"
#include "serial/pick_port_dialog.h"
#include "serial/port_table.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/pty_peer.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

using testsupport::ModalAnswerer;
using testsupport::PtyPeer;

class TstPickPort : public QObject {
    Q_OBJECT

    PtyPeer com3, com12, com100;

    // COM3, COM12 and COM100 exist; every other slot is missing.
    void installTable() {
        QStringList table;
        for (int n = 1; n <= 100; ++n)
            table << QStringLiteral("/nonexistent/%1").arg(n);
        table[2] = QString::fromStdString(com3.path());
        table[11] = QString::fromStdString(com12.path());
        table[99] = QString::fromStdString(com100.path());
        serialport::SetPortTableOverride(table);
    }

    struct Seen {
        QStringList entries;
        QString selected;
        QString tooltip;
    };

    // Answers the dialog: records what it shows, picks `choose` (if any), presses the button.
    void answer(ModalAnswerer& answers, Seen& seen, const QString& choose, bool ok) {
        answers.setDialogHandler([&seen, choose, ok](QWidget* w) {
            auto* dialog = qobject_cast<TformPickPort*>(w);
            if (!dialog)
                return;
            for (int i = 0; i < dialog->listPorts->count(); ++i)
                seen.entries << dialog->listPorts->itemText(i);
            seen.selected = dialog->listPorts->currentText();
            seen.tooltip = dialog->listPorts->itemData(0, Qt::ToolTipRole).toString();
            if (!choose.isEmpty())
                dialog->listPorts->setCurrentIndex(dialog->listPorts->findText(choose));
            (ok ? dialog->OKBtn : dialog->CancelBtn)->click();
        });
    }

private Q_SLOTS:
    void init() { installTable(); }
    void cleanup() { serialport::SetPortTableOverride({}); }

    void listsPresentPortsInOrderAndTakesTheChoice() {
        TPGComPort port;
        ModalAnswerer answers;
        Seen seen;
        answer(answers, seen, QStringLiteral("COM12"), true);
        QVERIFY(port.Pick());
        QCOMPARE(seen.entries, (QStringList{"COM3", "COM12", "COM100"}));
        QCOMPARE(seen.selected, QString());
        QCOMPARE(seen.tooltip, QString::fromStdString(com3.path()));
        QCOMPARE(port.Port(), 12);
        QVERIFY(!port.Opened());
        QVERIFY(port.ShowErrors());
        QCOMPARE(answers.count(), 0); // no error box during the probe
    }

    void preselectsTheCurrentPort() {
        TPGComPort port;
        port.SetPort(3);
        QVERIFY(port.Open());
        ModalAnswerer answers;
        Seen seen;
        answer(answers, seen, QString(), true);
        QVERIFY(port.Pick());
        QCOMPARE(seen.selected, QStringLiteral("COM3"));
        QCOMPARE(port.Port(), 3);
        QVERIFY(!port.Opened()); // open before, closed after
    }

    void portHundredIsReachable() {
        TPGComPort port;
        ModalAnswerer answers;
        Seen seen;
        answer(answers, seen, QStringLiteral("COM100"), true);
        QVERIFY(port.Pick());
        QCOMPARE(port.Port(), 100);
    }

    void cancelAndEmptyOkKeepThePort() {
        TPGComPort port;
        port.SetPort(7);
        ModalAnswerer answers;
        Seen seen;
        answer(answers, seen, QStringLiteral("COM3"), false);
        QVERIFY(!port.Pick());
        QCOMPARE(port.Port(), 7);
        Seen again;
        answer(answers, again, QString(), true); // OK with nothing selected
        QVERIFY(!port.Pick());
        QCOMPARE(port.Port(), 7);
    }

    void portHeldElsewhereIsNotListed() {
        TPGComPort holder;
        holder.SetShowErrors(false);
        holder.SetPort(12);
        QVERIFY(holder.Open());
        TPGComPort port;
        ModalAnswerer answers;
        Seen seen;
        answer(answers, seen, QString(), false);
        port.Pick();
        QCOMPARE(seen.entries, (QStringList{"COM3", "COM100"}));
    }

    void dialogLayout() {
        TformPickPort dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Select Serial Port"));
        QCOMPARE(dialog.size(), QSize(240, 93));
        QVERIFY(dialog.OKBtn->isDefault());
        QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(dialog.listPorts->geometry(), QRect(11, 25, 108, 24));
        QVERIFY(!dialog.listPorts->isEditable());
    }
};

QTEST_MAIN(TstPickPort)
#include "tst_pick_port.moc"
