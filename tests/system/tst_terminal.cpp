// The command terminal against the simulated instrument: what the user types
// is what crosses the wire, and every command and reply shows up in order.
#include "comm/exchange.h"
#include "controls/terminal_view.h"
#include "panel/main_form.h"
#include "tests/support/panel_harness.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using testsupport::PanelHarness;

namespace {

const QRegularExpression kStamped(QStringLiteral(R"(^\((\d\d:\d\d:\d\d\.\d\d\d)\) (.*)$)"));

bool waitForTerminalLines(TerminalView* view, int count) {
    QDeadlineTimer deadline(5000);
    while (view->lineCount() < count && !deadline.hasExpired())
        QTest::qWait(5);
    return view->lineCount() >= count;
}

// The lines received since mark, once the simulator has noted its replies
// (it notes each just after writing it out).
std::vector<sim::TranscriptEntry> receivedSince(PanelHarness& h, std::size_t mark) {
    QDeadlineTimer deadline(2000);
    for (;;) {
        std::vector<sim::TranscriptEntry> out;
        bool replied = true;
        for (const sim::TranscriptEntry& e : h.instrument().transcript().entries())
            if (e.number > mark) {
                out.push_back(e);
                replied = replied && e.replied;
            }
        if (replied || deadline.hasExpired())
            return out;
        QTest::qWait(5);
    }
}

const sim::TranscriptEntry* findLine(const std::vector<sim::TranscriptEntry>& entries,
                                     const std::string& line) {
    for (const sim::TranscriptEntry& e : entries)
        if (e.line == line)
            return &e;
    return nullptr;
}

QStringList history(QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

void typeInto(QComboBox* box, const QString& text) {
    box->lineEdit()->clear();
    QTest::keyClicks(box, text);
    QCOMPARE(box->currentText(), text);
}

} // namespace

class TstTerminal : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void enterSendsTheQuestionAndShowsItsReply();
    void textGoesOutUnchanged_data();
    void textGoesOutUnchanged();
    void historyNeverCompletesTypedText();
    void emptyFieldSendsABareLineEnd();
    void historyKeepsDuplicates();
    void ctrlBackspaceDeletesOnlyTheSelectedEntry();
    void ctrlBackspaceWithoutSelectionLeavesTheHistory();
    void typedDuringReadBackIsDroppedButRemembered();

private:
    std::unique_ptr<PanelHarness> h;
    TMainForm* f = nullptr;
};

void TstTerminal::initTestCase() {
    h = std::make_unique<PanelHarness>("5404+");
    QVERIFY(h->start());
    f = h->form();
    // The poll only adds queries, which never reach the terminal; it is kept
    // out of the way so the lines below are the terminal's alone.
    f->StatusTimer->setInterval(3600 * 1000);
}

void TstTerminal::cleanupTestCase() {
    h.reset();
}

void TstTerminal::init() {
    QVERIFY(h->waitIdle());
    f->SendEdit->clear();
    f->SendEdit->setEditText(QString());
}

void TstTerminal::enterSendsTheQuestionAndShowsItsReply() {
    TerminalView* view = f->ResponseList;
    const int before = view->lineCount();
    const std::size_t m = h->mark();
    typeInto(f->SendEdit, QStringLiteral("*IDN?"));
    QTest::keyClick(f->SendEdit, Qt::Key_Return);
    // Enter is spent on sending: the field keeps the text, without a line break.
    QCOMPARE(f->SendEdit->currentText(), QStringLiteral("*IDN?"));
    QVERIFY(waitForTerminalLines(view, before + 2));
    QVERIFY(h->waitIdle());

    const auto got = receivedSince(*h, m);
    const sim::TranscriptEntry* idn = findLine(got, "*IDN?");
    QVERIFY(idn);
    QCOMPARE(idn->ending, std::string("\r\n"));

    QCOMPARE(view->lineCount(), before + 2);
    const auto command = kStamped.match(view->lineText(before));
    QVERIFY2(command.hasMatch(), qPrintable(view->lineText(before)));
    QCOMPARE(command.captured(2), QStringLiteral("*IDN?"));
    QCOMPARE(view->lineColour(before), QColor(0, 0, 0));
    const auto reply = kStamped.match(view->lineText(before + 1));
    QVERIFY2(reply.hasMatch(), qPrintable(view->lineText(before + 1)));
    QCOMPARE(reply.captured(2), QString::fromStdString(idn->reply));
    QVERIFY(reply.captured(2).startsWith(QStringLiteral("PG,5404+")));
    QCOMPARE(view->lineColour(before + 1), QColor(0, 128, 0));
    QCOMPARE(history(f->SendEdit), QStringList{QStringLiteral("*IDN?")});
}

void TstTerminal::textGoesOutUnchanged_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown"); // the black line after its stamp
    // No "?" is added; the instrument's complaint is shown like any reply.
    QTest::newRow("no question mark") << "*IDN"
                                      << "*IDN";
    QTest::newRow("lower case") << ":puls1:del 0.000001"
                                << ":puls1:del 0.000001";
    // Blanks go out as typed; only the view drops the trailing ones.
    QTest::newRow("blanks") << "  :PULS0:STAT?  "
                            << "  :PULS0:STAT?";
}

void TstTerminal::textGoesOutUnchanged() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    TerminalView* view = f->ResponseList;
    const int before = view->lineCount();
    const std::size_t m = h->mark();
    typeInto(f->SendEdit, text);
    QTest::mouseClick(f->SendBtn, Qt::LeftButton);
    QVERIFY(waitForTerminalLines(view, before + 2));
    QVERIFY(h->waitIdle());

    const auto got = receivedSince(*h, m);
    QCOMPARE(got.size(), std::size_t(1));
    QCOMPARE(got[0].line, text.toStdString());
    QCOMPARE(got[0].ending, std::string("\r\n"));
    QCOMPARE(kStamped.match(view->lineText(before)).captured(2), shown);
    QCOMPARE(kStamped.match(view->lineText(before + 1)).captured(2),
             QString::fromStdString(got[0].reply));
    QCOMPARE(f->SendEdit->currentText(), text);
}

void TstTerminal::historyNeverCompletesTypedText() {
    typeInto(f->SendEdit, QStringLiteral("*IDN?"));
    QTest::keyClick(f->SendEdit, Qt::Key_Return);
    QVERIFY(h->waitIdle());
    const std::size_t m = h->mark();
    // Completion only acts in a field that has the focus.
    f->activateWindow();
    f->SendEdit->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(f));
    QTRY_VERIFY(f->SendEdit->hasFocus());
    f->SendEdit->lineEdit()->clear();
    QTest::keyClicks(f->SendEdit, QStringLiteral("*IDN"));
    QCOMPARE(f->SendEdit->currentText(), QStringLiteral("*IDN"));
    QTest::keyClick(f->SendEdit, Qt::Key_Return);
    QVERIFY(h->waitIdle());
    const auto got = receivedSince(*h, m);
    QCOMPARE(got.size(), std::size_t(1));
    QCOMPARE(got[0].line, std::string("*IDN"));
}

void TstTerminal::emptyFieldSendsABareLineEnd() {
    TerminalView* view = f->ResponseList;
    const int before = view->lineCount();
    const std::size_t m = h->mark();
    QTest::mouseClick(f->SendBtn, Qt::LeftButton);
    QVERIFY(waitForTerminalLines(view, before + 2));
    QVERIFY(h->waitIdle());

    const auto got = receivedSince(*h, m);
    QCOMPARE(got.size(), std::size_t(1));
    QCOMPARE(got[0].line, std::string());
    QCOMPARE(got[0].ending, std::string("\r\n"));
    QVERIFY(got[0].replied);
    const auto command = kStamped.match(view->lineText(before));
    QVERIFY2(command.hasMatch(), qPrintable(view->lineText(before)));
    QCOMPARE(command.captured(2), QString());
    QCOMPARE(view->lineColour(before), QColor(0, 0, 0));
    QCOMPARE(view->lineColour(before + 1), QColor(0, 128, 0));
    QCOMPARE(history(f->SendEdit), QStringList{QString()});
}

void TstTerminal::historyKeepsDuplicates() {
    const std::size_t m = h->mark();
    typeInto(f->SendEdit, QStringLiteral(":PULS0:STAT?"));
    QTest::keyClick(f->SendEdit, Qt::Key_Return);
    QTest::mouseClick(f->SendBtn, Qt::LeftButton);
    typeInto(f->SendEdit, QStringLiteral("*IDN?"));
    QTest::keyClick(f->SendEdit, Qt::Key_Enter); // the keypad's Enter sends too
    QVERIFY(h->waitForLineCount(m + 3));
    QVERIFY(h->waitIdle());

    QCOMPARE(history(f->SendEdit), (QStringList{":PULS0:STAT?", ":PULS0:STAT?", "*IDN?"}));
    std::vector<std::string> lines;
    for (const auto& e : receivedSince(*h, m))
        lines.push_back(e.line);
    QCOMPARE(lines, (std::vector<std::string>{":PULS0:STAT?", ":PULS0:STAT?", "*IDN?"}));
}

void TstTerminal::ctrlBackspaceDeletesOnlyTheSelectedEntry() {
    for (const char* text : {"*IDN?", ":PULS0:STAT?", "*IDN?", ":PULS1:WIDT?"}) {
        typeInto(f->SendEdit, QString::fromLatin1(text));
        QTest::keyClick(f->SendEdit, Qt::Key_Return);
    }
    QVERIFY(h->waitIdle());
    const int sentLines = f->ResponseList->lineCount();

    // Pick the third entry from the list with the arrow keys, as a user would.
    f->SendEdit->setCurrentIndex(0);
    QTest::keyClick(f->SendEdit, Qt::Key_Down);
    QTest::keyClick(f->SendEdit, Qt::Key_Down);
    QCOMPARE(f->SendEdit->currentIndex(), 2);
    QCOMPARE(f->SendEdit->currentText(), QStringLiteral("*IDN?"));

    QTest::keyClick(f->SendEdit, Qt::Key_Backspace, Qt::ControlModifier);
    // Its duplicate further up stays; so do the field and the terminal.
    QCOMPARE(history(f->SendEdit), (QStringList{"*IDN?", ":PULS0:STAT?", ":PULS1:WIDT?"}));
    QCOMPARE(f->SendEdit->currentText(), QStringLiteral("*IDN?"));
    QCOMPARE(f->SendEdit->currentIndex(), -1);
    QVERIFY(h->waitIdle());
    QCOMPARE(f->ResponseList->lineCount(), sentLines);
}

void TstTerminal::ctrlBackspaceWithoutSelectionLeavesTheHistory() {
    typeInto(f->SendEdit, QStringLiteral("*IDN?"));
    QTest::keyClick(f->SendEdit, Qt::Key_Return);
    QVERIFY(h->waitIdle());
    // Sending selects no entry, not even the first one the history gets.
    QCOMPARE(f->SendEdit->currentIndex(), -1);
    QTest::keyClick(f->SendEdit, Qt::Key_Backspace, Qt::ControlModifier);
    QCOMPARE(history(f->SendEdit), QStringList{QStringLiteral("*IDN?")});
    // Typed text is no selected entry, even where an entry is current.
    typeInto(f->SendEdit, QStringLiteral(":PULS1:DEL 0.5"));
    QTest::keyClick(f->SendEdit, Qt::Key_Backspace, Qt::ControlModifier);
    QCOMPARE(history(f->SendEdit), QStringList{QStringLiteral("*IDN?")});
    // The key went on to the field, which handles it as its own.
    QVERIFY(f->SendEdit->currentText() != QStringLiteral(":PULS1:DEL 0.5"));
    QVERIFY(QStringLiteral(":PULS1:DEL 0.5").startsWith(f->SendEdit->currentText()));
}

void TstTerminal::typedDuringReadBackIsDroppedButRemembered() {
    const int before = f->ResponseList->lineCount();
    const std::size_t m = h->mark();
    communication::CommandsSuspended = true;
    typeInto(f->SendEdit, QStringLiteral("*IDN?"));
    QTest::keyClick(f->SendEdit, Qt::Key_Return);
    QTest::mouseClick(f->SendBtn, Qt::LeftButton);
    QTest::qWait(100);
    communication::CommandsSuspended = false;
    QVERIFY(h->waitIdle());
    QCOMPARE(receivedSince(*h, m).size(), std::size_t(0));
    QCOMPARE(f->ResponseList->lineCount(), before);
    QCOMPARE(history(f->SendEdit), (QStringList{"*IDN?", "*IDN?"}));
}

QTEST_MAIN(TstTerminal)
#include "tst_terminal.moc"
