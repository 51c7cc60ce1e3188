#pragma once

// Real input for the editing tests: digits stepped or typed into spin edits,
// list entries picked from the popup or typed, check boxes and check-list
// marks clicked, pages shown through their tab bars.

#include <QDebug>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <string>
#include <vector>

class QAbstractButton;
class QComboBox;
class QListWidget;
class QTabWidget;
class QWidget;
class TPlusSpinEdit;

namespace testsupport {

// Clicks the control and moves its focus digit with Left/Right to the digit
// of 10^exponent; false when it cannot get there.
bool FocusDigit(TPlusSpinEdit* edit, int exponent);
// Up/Down arrow presses on the digit of 10^exponent.
bool StepDigit(TPlusSpinEdit* edit, int exponent, int steps);
// Types one digit in place of the digit of 10^exponent.
bool TypeDigit(TPlusSpinEdit* edit, int exponent, char digit);

// Opens the list's popup with F4, walks to the entry with the arrow keys and
// takes it with Return; false when the popup did not open (list disabled).
bool Pick(QComboBox* list, int index);
// Replaces the list's text by typing; Return or Tab afterwards when asked.
enum class Finish { None, Return, Tab };
void TypeText(QComboBox* list, const QString& text, Finish finish);

void ClickMark(QListWidget* list, int row);
void Click(QAbstractButton* button);
void ShowTab(QTabWidget* tabs, int index);

QStringList QLines(const std::vector<std::string>& lines);

class PanelHarness;
// Brings the panel's window to the front so focus changes happen as for a user.
bool ActivatePanel(PanelHarness& h);
// Marks the wire once everything queued so far has been sent.
std::size_t MarkIdle(PanelHarness& h);
// Set lines the instrument received since the mark, once the panel is idle.
QStringList SentSince(PanelHarness& h, std::size_t mark);
// Lines since the mark that the instrument answered with an error.
QStringList RefusedSince(PanelHarness& h, std::size_t mark);

} // namespace testsupport

// QCOMPARE of two line lists that shows both lists when they differ.
#define COMPARE_LINES(actual, expected)                                                            \
    do {                                                                                           \
        const QStringList actualLines_ = (actual);                                                 \
        const QStringList expectedLines_ = (expected);                                             \
        if (actualLines_ != expectedLines_)                                                        \
            qWarning().noquote() << "actual:" << actualLines_ << "\nexpected:" << expectedLines_;  \
        QCOMPARE(actualLines_, expectedLines_);                                                    \
    } while (false)
