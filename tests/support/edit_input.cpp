#include "tests/support/edit_input.h"

#include "controls/plusspinedit.h"
#include "tests/support/panel_harness.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace testsupport {

bool FocusDigit(TPlusSpinEdit* edit, int exponent) {
    if (!edit->hasFocus())
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(4, edit->height() / 2));
    for (int guard = 0; guard < 40 && edit->IncExponent() != exponent; ++guard) {
        const int before = edit->IncExponent();
        QTest::keyClick(edit, before < exponent ? Qt::Key_Left : Qt::Key_Right);
        if (edit->IncExponent() == before)
            break;
    }
    return edit->IncExponent() == exponent;
}

bool StepDigit(TPlusSpinEdit* edit, int exponent, int steps) {
    if (!FocusDigit(edit, exponent))
        return false;
    for (int i = 0; i < std::abs(steps); ++i)
        QTest::keyClick(edit, steps > 0 ? Qt::Key_Up : Qt::Key_Down);
    return true;
}

bool TypeDigit(TPlusSpinEdit* edit, int exponent, char digit) {
    if (!FocusDigit(edit, exponent))
        return false;
    QTest::keyClick(edit, digit);
    return true;
}

bool Pick(QComboBox* list, int index) {
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F4);
    QAbstractItemView* view = list->view();
    if (!view->isVisible())
        return false;
    // From the first entry down; the popup opens on the selected one.
    QTest::keyClick(view, Qt::Key_Home);
    for (int at = 0; at < index; ++at)
        QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Return);
    return !view->isVisible();
}

void TypeText(QComboBox* list, const QString& text, Finish finish) {
    list->setFocus();
    list->lineEdit()->selectAll();
    QTest::keyClicks(list, text);
    if (finish == Finish::Return)
        QTest::keyClick(list, Qt::Key_Return);
    else if (finish == Finish::Tab)
        QTest::keyClick(list, Qt::Key_Tab);
}

void ClickMark(QListWidget* list, int row) {
    const QRect r = list->visualItemRect(list->item(row));
    // The check indicator sits at the left of the cell.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      r.topLeft() + QPoint(8, r.height() / 2));
}

void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

void ShowTab(QTabWidget* tabs, int index) {
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

QStringList QLines(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& line : lines)
        out << QString::fromStdString(line);
    return out;
}

bool ActivatePanel(PanelHarness& h) {
    h.form()->activateWindow();
    return QTest::qWaitForWindowActive(h.form());
}

std::size_t MarkIdle(PanelHarness& h) {
    h.waitIdle();
    return h.mark();
}

QStringList SentSince(PanelHarness& h, std::size_t mark) {
    h.waitIdle();
    return QLines(h.setLinesSince(mark));
}

QStringList RefusedSince(PanelHarness& h, std::size_t mark) {
    h.waitIdle();
    QStringList refused;
    for (const sim::TranscriptEntry& e : h.instrument().transcript().entries())
        if (e.number > mark && e.replied && e.reply.find('?') != std::string::npos)
            refused << QString::fromStdString(e.line + " -> " + e.reply);
    return refused;
}

} // namespace testsupport
