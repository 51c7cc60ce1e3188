// Edit > Undo and Redo against the simulated instrument: what goes on the
// wire and what the control shows, a burst of steps as one, a setting
// changed elsewhere left alone, and Ctrl+Z in a text field left to the field.
#include "controls/plusspinedit.h"
#include "controls/terminal_view.h"
#include "instrument/settings_cache.h"
#include "panel/compare_window.h"
#include "panel/panel_state.h"
#include "tests/support/edit_input.h"
#include "tests/support/panel_harness.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <QWheelEvent>

using namespace pg5400;
using namespace testsupport;
using pg5400::SettingRow;

namespace {

void pressCtrl(QWidget* w, Qt::Key key, Qt::KeyboardModifiers more = Qt::NoModifier) {
    QTest::keyClick(w, key, Qt::ControlModifier | more);
}

} // namespace

class TstUndo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stepsGoBackAndForthOnTheWire() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const std::size_t mark = MarkIdle(h);
        TPlusSpinEdit* delay = f->ChDelayAdj[2];
        ShowTab(f->ChPageControl, 1);

        // Three presses in a row are one step; after a pause, a new one.
        QVERIFY(StepDigit(delay, -7, 3));
        QCOMPARE(f->UndoStack()->count(), 1);
        QCOMPARE(f->Undo1->text(), QStringLiteral("Undo Ch B delay 0 s \u2192 300 ns"));
        QTest::qWait(900);
        QVERIFY(StepDigit(delay, -7, 1));
        QCOMPARE(f->UndoStack()->count(), 2);

        pressCtrl(delay, Qt::Key_Z);
        QCOMPARE(delay->Value(), 3e-7);
        QCOMPARE(ChannelSettings[2].Delay, 3e-7);
        pressCtrl(delay, Qt::Key_Y);
        QCOMPARE(delay->Value(), 4e-7);
        pressCtrl(delay, Qt::Key_Z);
        pressCtrl(delay, Qt::Key_Z);
        QCOMPARE(delay->Value(), 0.0);
        pressCtrl(delay, Qt::Key_Z, Qt::ShiftModifier); // redo
        QCOMPARE(delay->Value(), 3e-7);
        COMPARE_LINES(SentSince(h, mark),
                      (QStringList{":PULS2:DEL 0.000000100000", ":PULS2:DEL 0.000000200000",
                                   ":PULS2:DEL 0.000000300000", ":PULS2:DEL 0.000000400000",
                                   ":PULS2:DEL 0.000000300000", ":PULS2:DEL 0.000000400000",
                                   ":PULS2:DEL 0.000000300000", ":PULS2:DEL 0.000000000000",
                                   ":PULS2:DEL 0.000000300000"}));
        // A list choice too, with its entry in the caption.
        QVERIFY(Pick(f->ChModeSel[2], 2));
        QCOMPARE(f->Undo1->text(), QStringLiteral("Undo Ch B channel mode Normal \u2192 Burst"));
        f->Undo1->trigger();
        QCOMPARE(f->ChModeSel[2]->currentIndex(), 0);
        QCOMPARE(ChannelSettings[2].ModeIndex, 0);

        // A turn of the wheel over a list, three notches: one step.
        const int before = f->UndoStack()->index();
        QComboBox* mode = f->ChModeSel[2];
        const QPointF middle(mode->width() / 2.0, mode->height() / 2.0);
        for (int notch = 0; notch < 3; ++notch) {
            QWheelEvent wheel(middle, mode->mapToGlobal(middle), QPoint(), QPoint(0, -120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(mode, &wheel);
        }
        QCOMPARE(mode->currentIndex(), 3);
        QCOMPARE(f->UndoStack()->index(), before + 1);
        QCOMPARE(f->UndoStack()->count(), before + 1);
        f->Undo1->trigger();
        QCOMPARE(mode->currentIndex(), 0);
        QCOMPARE(ChannelSettings[2].ModeIndex, 0);
    }

    void aChangeMadeElsewhereIsKept() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        ShowTab(f->ChPageControl, 0);
        QVERIFY(StepDigit(f->ChDelayAdj[1], -7, 1));
        QVERIFY(h.waitIdle());
        // A script sets the delay after the user did; the read-back shows it.
        h.instrument().withInstrument(
            [](sim::Instrument& i) { return i.handleLine(":PULS1:DEL 0.000000050000"); });
        f->Up1->trigger();
        QVERIFY(h.waitIdle());
        QCOMPARE(f->ChDelayAdj[1]->Value(), 5e-8);
        const std::size_t mark = MarkIdle(h);
        f->Undo1->trigger();
        QVERIFY(SentSince(h, mark).isEmpty());
        QCOMPARE(f->ChDelayAdj[1]->Value(), 5e-8);
        QCOMPARE(f->UndoStack()->count(), 0);
        QVERIFY(f->ResponseList->lineText(f->ResponseList->lineCount() - 1)
                    .contains(QStringLiteral("Not undone: Ch A delay is 50 ns now")));
    }

    // A recall is one step; undoing it sends back every setting it changed.
    void anUndoneRecallRestoresWhatItChanged() {
        PanelHarness h("5404+");
        const auto ask = [&h](const char* line) {
            return QString::fromStdString(h.instrument().withInstrument(
                [line](sim::Instrument& i) { return i.handleLine(line); }));
        };
        const QString delay = ask(":PULS1:DEL?"), width = ask(":PULS2:WIDT?"),
                      mode = ask(":PULS3:CMOD?");
        for (const char* line : {":PULS1:DEL 0.000000250000", ":PULS2:WIDT 0.000000300",
                                 ":PULS3:CMOD BURS", "*SAV 2", "*RCL 0"})
            ask(line);
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        f->RestoreBinItems[2]->trigger();
        QVERIFY(h.waitIdle());
        QTRY_COMPARE(f->ChDelayAdj[1]->Value(), 2.5e-7);
        QCOMPARE(f->UndoStack()->count(), 1);
        QVERIFY2(f->Undo1->text().startsWith(QStringLiteral("Undo recall of bin 2 (")),
                 qPrintable(f->Undo1->text()));
        f->Undo1->trigger();
        QVERIFY(h.waitIdle());
        QCOMPARE(ask(":PULS1:DEL?"), delay);
        QCOMPARE(ask(":PULS2:WIDT?"), width);
        QCOMPARE(ask(":PULS3:CMOD?"), mode);
        QCOMPARE(f->ChDelayAdj[1]->Value(), 0.0);
        QCOMPARE(f->ChModeSel[3]->currentIndex(), 0);
        f->Redo1->trigger();
        QVERIFY(h.waitIdle());
        QCOMPARE(ask(":PULS1:DEL?").toDouble(), 2.5e-7);
        QCOMPARE(ask(":PULS3:CMOD?"), QStringLiteral("BURS"));
    }

    // A file that differs in three settings: three marked rows, and Apply
    // Differences sends exactly those three lines, as one undo step.
    void compareWithAFile() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        QVERIFY(h.waitIdle());
        QStringList lines = SettingsSnapshot;
        const QStringList changed{":PULS0:MOD BURS", ":PULS1:DEL 0.000000250000",
                                  ":PULS2:WIDT 3E-7"};
        for (const QString& line : changed) {
            const QString header = line.section(QLatin1Char(' '), 0, 0) + QLatin1Char(' ');
            qsizetype at = lines.size() - 1;
            while (at >= 0 && !lines[at].startsWith(header))
                --at;
            QVERIFY2(at >= 0, qPrintable(header));
            lines[at] = line;
        }
        lines << QStringLiteral(":PULS5:OUTP:AMPL 2.0"); // virtual E has no output
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("setup.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lines.join(QStringLiteral("\r\n")).toUtf8());
        file.close();

        f->CompareWithFile(path);
        QTRY_VERIFY(f->CompareWindow() && f->CompareWindow()->isVisible());
        QTableWidget* table = f->CompareWindow()->table;
        QStringList marked, elsewhere;
        for (int r = 0; r < table->rowCount(); ++r) {
            const auto state = SettingRow::State(table->item(r, 0)->data(Qt::UserRole).toInt());
            if (state == SettingRow::State::Differs)
                marked << table->item(r, 0)->text();
            else if (state != SettingRow::State::Same)
                elsewhere << table->item(r, 0)->text() + QLatin1Char('=') +
                                 table->item(r, 1)->text();
        }
        QCOMPARE(marked, (QStringList{"System Mode", "Ch A Delay", "Ch B Width"}));
        QCOMPARE(elsewhere, QStringList{"Ch E Amplitude (V)=(not on this model)"});
        QVERIFY(f->CompareWindow()->summary->text().startsWith(QStringLiteral("3 of ")));

        const std::size_t mark = MarkIdle(h);
        const int steps = f->UndoStack()->count();
        f->CompareWindow()->apply->click();
        QVERIFY(h.waitIdle());
        QStringList sent;
        for (const QString& line : SentSince(h, mark))
            if (!line.contains(QStringLiteral(":ECH ")))
                sent << line;
        QCOMPARE(sent, changed);
        QCOMPARE(f->UndoStack()->count(), steps + 1);
        QCOMPARE(f->ChDelayAdj[1]->Value(), 2.5e-7);
        // Compared again after the read-back: nothing differs any more.
        QTRY_VERIFY(
            f->CompareWindow()->summary->text().startsWith(QStringLiteral("The instrument")));

        // A binary file is refused as the restore refuses it.
        const QString binary = dir.filePath(QStringLiteral("picture.txt"));
        QFile bytes(binary);
        QVERIFY(bytes.open(QIODevice::WriteOnly));
        bytes.write(QByteArray("\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR", 16));
        bytes.close();
        const std::size_t before = MarkIdle(h);
        h.answers().clear();
        f->CompareWithFile(binary);
        QCOMPARE(h.answers().count(), 1);
        QVERIFY(SentSince(h, before).isEmpty());
    }

    void ctrlZInTheTerminalUndoesTyping() {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        ShowTab(f->ChPageControl, 0);
        QVERIFY(StepDigit(f->ChDelayAdj[1], -7, 1));
        const std::size_t mark = MarkIdle(h);
        QLineEdit* line = f->SendEdit->lineEdit();
        line->setFocus();
        QTest::keyClicks(line, QStringLiteral("*IDN?"));
        pressCtrl(line, Qt::Key_Z);
        QCOMPARE(line->text(), QString());
        QCOMPARE(f->UndoStack()->count(), 1);
        QCOMPARE(f->ChDelayAdj[1]->Value(), 1e-7);
        QVERIFY(SentSince(h, mark).isEmpty());
    }
};

QTEST_MAIN(TstUndo)
#include "tst_undo.moc"
