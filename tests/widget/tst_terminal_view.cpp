// The terminal's traffic view on its own: lines in order with their colours,
// nothing typed into it, the newest line in sight, and no line ever dropped.
#include "comm/terminal_sink.h"
#include "controls/terminal_view.h"

#include <QGroupBox>
#include <QHelpEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QToolTip>

class TstTerminalView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void linesKeepOrderAndColour();
    void userCannotEditIt();
    void newestLineStaysInSight();
    void keepsTheNewestLinesOfALongRun();
    void showsNoTooltipOfItsGroup();
};

void TstTerminalView::linesKeepOrderAndColour() {
    TerminalView view;
    QCOMPARE(view.lineCount(), 0);
    view.AppendTerminalLine(QStringLiteral("(10:00:00.000) *IDN?"), communication::kCommandColour);
    view.AppendTerminalLine(QStringLiteral("(10:00:00.004) PG,5404+,1234,2.1.0,1.0.3"),
                            communication::kReplyColour);
    // An empty reply still takes a line of its own.
    view.AppendTerminalLine(QString(), communication::kReplyColour);
    view.AppendTerminalLine(QStringLiteral("(10:00:01.000) :PULS0:STAT ON"),
                            communication::kCommandColour);
    QCOMPARE(view.lineCount(), 4);
    QCOMPARE(view.lineText(0), QStringLiteral("(10:00:00.000) *IDN?"));
    QCOMPARE(view.lineText(1), QStringLiteral("(10:00:00.004) PG,5404+,1234,2.1.0,1.0.3"));
    QCOMPARE(view.lineText(2), QString());
    QCOMPARE(view.lineText(3), QStringLiteral("(10:00:01.000) :PULS0:STAT ON"));
    QCOMPARE(view.lineColour(0), QColor(0, 0, 0));
    QCOMPARE(view.lineColour(1), QColor(0, 128, 0));
    QCOMPARE(view.lineColour(3), QColor(0, 0, 0));
}

void TstTerminalView::userCannotEditIt() {
    TerminalView view;
    view.show();
    view.AppendTerminalLine(QStringLiteral("(10:00:00.000) *IDN?"), communication::kCommandColour);
    view.setFocus();
    QTest::keyClicks(&view, QStringLiteral("abc"));
    QTest::keyClick(&view, Qt::Key_Return);
    QTest::keyClick(&view, Qt::Key_Backspace);
    QCOMPARE(view.lineCount(), 1);
    QCOMPARE(view.lineText(0), QStringLiteral("(10:00:00.000) *IDN?"));
}

void TstTerminalView::newestLineStaysInSight() {
    TerminalView view;
    view.resize(390, 70);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    for (int i = 0; i < 200; ++i)
        view.AppendTerminalLine(QStringLiteral("line %1").arg(i), communication::kCommandColour);
    QCoreApplication::processEvents();
    QScrollBar* bar = view.verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(view.cursorForPosition(QPoint(5, view.viewport()->height() - 5)).block().text(),
             QStringLiteral("line 199"));
}

void TstTerminalView::keepsTheNewestLinesOfALongRun() {
    // A script left running overnight: the view keeps its scrollback of the
    // newest lines, in order and colour, and says at its top how many older
    // ones were dropped.
    TerminalView view;
    view.resize(390, 70);
    view.show();
    const int lines = 100001;
    for (int i = 0; i < lines; ++i)
        view.AppendTerminalLine(QStringLiteral("(12:00:00.000) line %1").arg(i),
                                i % 2 ? communication::kReplyColour
                                      : communication::kCommandColour);
    const int kept = view.lineCount() - 1;
    QVERIFY(kept >= TerminalView::ScrollbackLines);
    QVERIFY(kept <= TerminalView::ScrollbackLines * 11 / 10);
    QCOMPARE(view.droppedLines(), qint64(lines - kept));
    QCOMPARE(view.lineText(0),
             QStringLiteral("(%1 older lines dropped from view; the log keeps every line)")
                 .arg(lines - kept));
    for (int i : {1, kept / 2, kept}) {
        const int n = lines - kept + i - 1;
        QCOMPARE(view.lineText(i), QStringLiteral("(12:00:00.000) line %1").arg(n));
        QCOMPARE(view.lineColour(i),
                 n % 2 ? communication::kReplyColour : communication::kCommandColour);
    }
    QCOMPARE(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());

    view.ClearTerminal();
    view.AppendTerminalLine(QStringLiteral("first"), communication::kCommandColour);
    QCOMPARE(view.lineCount(), 1);
    QCOMPARE(view.lineText(0), QStringLiteral("first"));
}

// Qt hands a tooltip request a widget does not answer on to its parent: the
// traffic view must not show its group's.
void TstTerminalView::showsNoTooltipOfItsGroup() {
    QGroupBox group;
    group.setToolTip(QStringLiteral("the group's tooltip"));
    auto* view = new TerminalView(&group);
    view->setGeometry(10, 20, 200, 80);
    group.resize(240, 120);
    group.show();
    QVERIFY(QTest::qWaitForWindowExposed(&group));
    for (QWidget* target : {static_cast<QWidget*>(view), view->viewport()}) {
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), target->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(target, &help);
        QVERIFY(!QToolTip::isVisible());
    }
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 110), group.mapToGlobal(QPoint(2, 110)));
    QApplication::sendEvent(&group, &help);
    QTRY_VERIFY(QToolTip::isVisible()); // the group itself still shows it
    QToolTip::hideText();
}

QTEST_MAIN(TstTerminalView)
#include "tst_terminal_view.moc"
