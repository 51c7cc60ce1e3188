// TPlusSpinEdit driven through real key and mouse events, offscreen.
#include "controls/plusspinedit.h"
#include "tests/support/modal_answerer.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <memory>

namespace {

QFont testFont(int pixels = 15) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    return f;
}

// Text widths as the control measures them: whole-pixel character advances.
int cells(const QFont& font, const QString& s) {
    const QFontMetrics fm(font);
    int w = 0;
    for (const QChar c : s)
        w += fm.horizontalAdvance(c);
    return w;
}

struct Panel {
    QList<double> changes; // outlives the window: closing it may end a spin
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    TPlusSpinEdit* edit = new TPlusSpinEdit(window.get());
    QLineEdit* other = new QLineEdit(window.get());

    Panel() {
        edit->setFont(testFont());
        edit->setAutoSize(false);
        edit->setGeometry(10, 10, 220, 27);
        other->setGeometry(10, 50, 100, 25);
        QObject::connect(edit, &TPlusSpinEdit::OnChange,
                         [this](TPlusSpinEdit* s) { changes << s->Value(); });
        window->resize(260, 90);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        edit->setFocus();
    }
    QToolButton* up() const { return edit->findChild<QToolButton*>(QStringLiteral("UpButton")); }
    QToolButton* down() const {
        return edit->findChild<QToolButton*>(QStringLiteral("DownButton"));
    }
    QTimer* timer() const { return edit->findChild<QTimer*>(QStringLiteral("RepeatTimer")); }
    // Widget x of the left edge of the i-th character (0-based) of the shown
    // text, and of its middle; the text ends half a digit left of the buttons.
    int charLeft(int i) const {
        QString shown = edit->Text();
        shown.replace(TSpinValueModel::Placeholder, QChar(u'0'));
        const int right = up()->x() - cells(edit->font(), QStringLiteral("0")) / 2;
        return right - cells(edit->font(), shown) + cells(edit->font(), shown.left(i));
    }
    int xOfChar(int i) const {
        return charLeft(i) + cells(edit->font(), edit->Text().mid(i, 1)) / 2;
    }
    void click(int x, bool twice = false) {
        const QPoint p(x, edit->height() / 2);
        QTest::mouseClick(edit, Qt::LeftButton, {}, p);
        if (twice) {
            QTest::mouseDClick(edit, Qt::LeftButton, {}, p);
            QTest::mouseRelease(edit, Qt::LeftButton, {}, p);
        }
    }
    void heldKey(int key, int repeats) {
        for (int i = 0; i < repeats; ++i) {
            const bool repeat = i > 0;
            if (repeat) {
                QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(), true);
                QApplication::sendEvent(edit, &release);
            }
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), repeat);
            QApplication::sendEvent(edit, &press);
        }
    }
    // Fires the repeat timer once, as its own tick would.
    void tick() const {
        QTimerEvent e(timer()->timerId());
        QApplication::sendEvent(timer(), &e);
    }
    QImage image() const { return edit->grab().toImage(); }
};

bool isBlue(QRgb c) {
    return qRed(c) == 0 && qGreen(c) == 0 && qBlue(c) == 255;
}

} // namespace

class TstPlusSpinEdit : public QObject {
    Q_OBJECT

private slots:
    // AutoSize formats the bounds: an infinite one is refused instead of
    // ending in an exception inside a Qt handler.
    void nonFiniteBoundsAreRefused() {
        Panel p;
        p.edit->setMaxValue(1000);
        p.edit->setMaxValue(qInf());
        p.edit->setMinValue(-qInf());
        p.edit->setMaxValue(qQNaN());
        QCOMPARE(p.edit->MaxValue(), 1000.0);
        QVERIFY(std::isfinite(p.edit->MinValue()));
    }

    // A border change sizes the control anew, as re-creating its window does.
    void borderChangeReappliesAutoSize() {
        Panel p;
        p.edit->setMaxValue(100000);
        p.edit->setAutoSize(true);
        const QSize fitted = p.edit->size();
        p.edit->resize(40, 60);
        p.edit->setBorderStyle(TPlusSpinEdit::bsNone);
        QCOMPARE(p.edit->height(), fitted.height());
        QVERIFY(std::abs(p.edit->width() - fitted.width()) <= 2);
    }

    void assignmentInCodeFiresLikeAnEdit() {
        Panel p;
        p.edit->setValue(12);
        p.edit->SetValue(13);
        p.edit->setMaxValue(1000);
        p.edit->setMinValue(20); // re-clamps the value: fires
        QCOMPARE(p.changes, (QList<double>{12, 20}));
        QCOMPARE(p.edit->Text(), QStringLiteral("20.00"));
        QCOMPARE(p.edit->property("Value").toDouble(), 20.0);
        p.edit->setProperty("Decimals", 3);
        QCOMPARE(p.edit->Text(), QStringLiteral("20.000"));
    }

    void buttonsAndGlyphsFollowTheHeight() {
        Panel p;
        p.edit->setBorderStyle(TPlusSpinEdit::bsNone);
        p.edit->resize(160, 25);
        QCOMPARE(p.up()->geometry(), QRect(160 - p.up()->width(), 0, p.up()->width(), 12));
        QCOMPARE(p.down()->geometry(), QRect(160 - p.up()->width(), 12, p.up()->width(), 13));
        const int digit = QFontMetrics(p.edit->font()).horizontalAdvance(QChar(u'0'));
        QCOMPARE(p.up()->width(), digit + digit / 2 + 8);

        p.edit->setFont(testFont(1)); // tiny font: the minimum button and glyph
        QCOMPARE(p.up()->width(), 10);
        QCOMPARE(p.up()->iconSize(), QSize(5, 4)); // glyph size 4
    }

    void autoSizeMeasuresTheWidestBound() {
        Panel p;
        const QFontMetrics fm(p.edit->font());
        int h = fm.height() + fm.height() / 3;
        h += h % 2 == 0 ? 1 : 0;
        p.edit->setBorderStyle(TPlusSpinEdit::bsNone);
        p.edit->setAutoSize(true); // equal bounds: only the height changes
        QCOMPARE(p.edit->size(), QSize(220, h));
        p.edit->setThousandSeparator(QChar(u','));
        p.edit->setMaxValue(1000);
        p.edit->setMinValue(-1000);
        p.edit->setValue(3);
        // The text, plus h or more where the buttons and the half-digit gap need it.
        const int room = std::max(h, p.up()->width() + fm.horizontalAdvance(QChar(u'0')) / 2);
        QCOMPARE(p.edit->width(), cells(p.edit->font(), QStringLiteral("-1,000.00")) + room);
        QCOMPARE(p.edit->Value(), 3.0);
        p.edit->setBorderStyle(TPlusSpinEdit::bsSingle);
        p.edit->setValue(-1000);
        p.edit->setDecimals(2);      // re-sizes
        QVERIFY(p.charLeft(0) >= 1); // the widest value fits inside the border
    }

    void arrowKeysStepAndMoveTheFocus() {
        Panel p;
        p.edit->setMaxValue(10);
        p.edit->setMinValue(0);
        QTest::keyClick(p.edit, Qt::Key_Up);
        QTest::keyClick(p.edit, Qt::Key_Up);
        QTest::keyClick(p.edit, Qt::Key_Down);
        QCOMPARE(p.changes, (QList<double>{1, 2, 1}));
        QTest::keyClick(p.edit, Qt::Key_Right);
        QTest::keyClick(p.edit, Qt::Key_Right);
        QTest::keyClick(p.edit, Qt::Key_Right); // already on the last decimal
        QCOMPARE(p.edit->IncExponent(), -2);
        QTest::keyClick(p.edit, Qt::Key_Up);
        QCOMPARE(p.edit->Text(), QStringLiteral("1.01"));
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(p.edit, Qt::Key_Left);
        QCOMPARE(p.edit->IncExponent(), 1); // limit of the bound 10
        QCOMPARE(p.edit->Text(), QStringLiteral("_1.01"));
        QTest::keyClick(p.edit, Qt::Key_Up);
        QTest::keyClick(p.edit, Qt::Key_Up); // at the maximum: nothing
        QCOMPARE(p.changes.size(), 5);
        QCOMPARE(p.edit->Value(), 10.0);
        QVERIFY(p.edit->hasFocus());

        QTest::keyClick(p.edit, Qt::Key_Tab);
        QVERIFY(p.other->hasFocus()); // Tab moves on, arrows never did
    }

    void leftStopsAtTheEdge() {
        Panel p;
        p.edit->setBorderStyle(TPlusSpinEdit::bsNone);
        p.edit->resize(90, 25);
        p.edit->setValue(5); // unbounded: only the room limits the focus
        for (int i = 0; i < 30; ++i)
            QTest::keyClick(p.edit, Qt::Key_Left);
        const int digit = QFontMetrics(p.edit->font()).horizontalAdvance(QChar(u'0'));
        QVERIFY(p.edit->IncExponent() > 1);
        QVERIFY(p.edit->FocusRect().left() <= digit - 2);
        QVERIFY(p.edit->FocusRect().left() >= -digit);
    }

    void trackSpinOffFiresOnceOnKeyUp() {
        Panel p;
        p.edit->setTrackSpin(false);
        p.heldKey(Qt::Key_Up, 10); // auto-repeat pairs must not end the spin
        QVERIFY(p.changes.isEmpty());
        QVERIFY(p.edit->Spinning());
        QTest::keyRelease(p.edit, Qt::Key_Up);
        QCOMPARE(p.changes, (QList<double>{10}));
        QVERIFY(!p.edit->Spinning());

        p.edit->setMaxValue(10);
        p.edit->setMinValue(0);
        p.heldKey(Qt::Key_Up, 3);
        QTest::keyRelease(p.edit, Qt::Key_Up);
        QCOMPARE(p.changes.size(), 1); // nothing changed, nothing owed
    }

    void focusLossEndsASpin() {
        Panel p;
        p.edit->setTrackSpin(false);
        p.heldKey(Qt::Key_Down, 2);
        p.other->setFocus(); // the release never reaches the control
        QCOMPARE(p.changes, (QList<double>{-2}));
        QVERIFY(!p.edit->Spinning());
    }

    void typedDigits() {
        Panel p;
        p.edit->setValue(5);
        p.edit->SetIncExponent(1);
        QCOMPARE(p.edit->Text(), QStringLiteral("_5.00"));
        QTest::keyClicks(p.edit, QStringLiteral("7"));
        QCOMPARE(p.edit->Value(), 75.0);
        QCOMPARE(p.edit->IncExponent(), 0);
        QTest::keyClicks(p.edit, QStringLiteral(":-.A"));
        QTest::keyClick(p.edit, Qt::Key_Backspace);
        QTest::keyClick(p.edit, Qt::Key_Delete);
        QCOMPARE(p.edit->Value(), 75.0);
        QTest::keyClicks(p.edit, QStringLiteral("123"));
        QCOMPARE(p.edit->Value(), 71.23);

        p.edit->setEditorEnabled(false);
        QTest::keyClicks(p.edit, QStringLiteral("9"));
        QCOMPARE(p.edit->Value(), 71.23);
        QCOMPARE(p.changes.size(), 5);
    }

    void invalidDigitShowsTheErrorBox() {
        Panel p;
        testsupport::ModalAnswerer answerer;
        p.edit->setValue(-5);
        p.edit->SetIncExponent(2); // left of the minus sign: "0-5.00"
        const QString text = p.edit->Text();
        QTest::keyClicks(p.edit, QStringLiteral("7"));
        QCOMPARE(answerer.texts(), QStringList{QStringLiteral("Not a valid number")});
        QCOMPARE(p.edit->Value(), -5.0);
        QCOMPARE(p.edit->Text(), text);
        QCOMPARE(p.edit->IncExponent(), 2);
        QCOMPARE(p.changes.size(), 1);
    }

    void clicksPickTheDigit() {
        Panel p;
        p.edit->setValue(12.34);
        const struct {
            int charIndex;
            int exponent;
        } cases[] = {{0, 1}, {1, 0}, {2, 0}, {3, -1}, {4, -2}};
        for (const auto& c : cases) {
            p.click(p.xOfChar(c.charIndex));
            QCOMPARE(p.edit->IncExponent(), c.exponent);
        }
        p.click(p.xOfChar(0) - 15); // left of the text: one beyond the first digit
        QCOMPARE(p.edit->IncExponent(), 2);
        QCOMPARE(p.edit->Text(), QStringLiteral("_12.34"));

        p.edit->setThousandSeparator(QChar(u','));
        p.edit->setDecimals(0);
        p.edit->setValue(1234);
        p.edit->SetIncExponent(0);
        p.click(p.xOfChar(1)); // on the separator: the digit right of it
        QCOMPARE(p.edit->IncExponent(), 2);
    }

    void doubleClickZeroesToTheRight() {
        Panel p;
        p.edit->setValue(1234.56);
        p.click(p.xOfChar(2), true); // on "3"
        QCOMPARE(p.edit->Value(), 1230.0);
        const int changes = p.changes.size();
        p.edit->setValue(1234.56);
        p.click(p.xOfChar(6), true); // the last decimal
        QCOMPARE(p.edit->Value(), 1234.56);
        QCOMPARE(p.changes.size(), changes + 1);

        p.edit->SetIncExponent(-1);
        QTest::keyClick(p.edit, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(p.edit->Value(), 1234.5);
    }

    void spinButtonRepeatsAndPausesOffTheButton() {
        Panel p;
        p.other->setFocus();
        const QPoint inside = p.up()->rect().center();
        QTest::mousePress(p.up(), Qt::LeftButton, {}, inside);
        QVERIFY(p.edit->hasFocus());
        QCOMPARE(p.edit->Value(), 1.0); // the first step comes with the press
        QVERIFY(p.timer()->isActive());
        QCOMPARE(p.timer()->interval(), TPlusSpinEdit::InitRepeatPause);
        p.tick();
        QCOMPARE(p.edit->Value(), 2.0);
        QCOMPARE(p.timer()->interval(), TPlusSpinEdit::RepeatPause);
        p.tick();
        QCOMPARE(p.edit->Value(), 3.0);

        QTest::mouseMove(p.up(), QPoint(-30, inside.y()));
        QVERIFY(!p.up()->isDown());
        p.tick();
        QCOMPARE(p.edit->Value(), 3.0);
        QTest::mouseMove(p.up(), inside);
        p.tick();
        QCOMPARE(p.edit->Value(), 4.0);

        QTest::mouseRelease(p.up(), Qt::LeftButton, {}, inside);
        QVERIFY(!p.timer()->isActive());
        QVERIFY(!p.edit->Spinning());

        p.edit->setTrackSpin(false);
        p.changes.clear();
        QTest::mousePress(p.down(), Qt::LeftButton, {}, p.down()->rect().center());
        p.tick();
        QVERIFY(p.changes.isEmpty());
        QTest::mouseRelease(p.down(), Qt::LeftButton, {}, p.down()->rect().center());
        QCOMPARE(p.changes, (QList<double>{2}));
    }

    void disabledIgnoresInputButKeepsTabFocus() {
        Panel p;
        p.edit->setValue(5);
        p.other->setFocus();
        p.edit->setEnabled(false);
        QVERIFY(p.edit->isEnabled()); // the window itself stays enabled
        p.click(p.xOfChar(1));
        QVERIFY(p.other->hasFocus());
        QTest::mouseClick(p.up(), Qt::LeftButton);
        QVERIFY(p.other->hasFocus());
        QTest::keyClick(p.edit, Qt::Key_Up);
        QTest::keyClicks(p.edit, QStringLiteral("7"));
        QCOMPARE(p.edit->IncExponent(), 0);
        QCOMPARE(p.edit->Value(), 5.0);
        QCOMPARE(p.changes.size(), 1);
        QTest::keyClick(p.other, Qt::Key_Backtab);
        QVERIFY(p.edit->hasFocus());
    }

    void paintsFocusBoxCaretUnderlineAndGrey() {
        Panel p;
        p.edit->setValue(5);
        QVERIFY(p.edit->hasFocus());
        const QRect box = p.edit->FocusRect();
        QImage img = p.image();
        QVERIFY(isBlue(img.pixel(box.left(), box.top())));
        QVERIFY(isBlue(img.pixel(box.right() - 1, box.bottom() - 1)));
        for (int row : {box.bottom(), box.bottom() + 1}) // the 2-pixel caret
            QCOMPARE(img.pixel(box.left(), row), qRgb(0, 0, 0));

        p.heldKey(Qt::Key_Up, 1); // the caret hides while spinning
        img = p.image();
        QCOMPARE(img.pixel(box.left(), box.bottom() + 1), qRgb(255, 255, 255));
        QTest::keyRelease(p.edit, Qt::Key_Up);

        p.other->setFocus();
        img = p.image();
        QVERIFY(!isBlue(img.pixel(box.left(), box.top())));
        QCOMPARE(img.pixel(box.left(), box.bottom()), qRgb(0, 0, 0)); // underline
        QCOMPARE(img.pixel(box.left(), box.bottom() + 1), qRgb(255, 255, 255));

        auto darkestText = [&] {
            const QImage i = p.image();
            int darkest = 255;
            for (int y = box.top(); y < box.bottom(); ++y)
                for (int x = 2; x < p.up()->x(); ++x) // right of the border
                    darkest = std::min(darkest, qGray(i.pixel(x, y)));
            return darkest;
        };
        QVERIFY(darkestText() < 40);
        p.edit->setEnabled(false);
        QCOMPARE(darkestText(), 128);
    }

    void placeholderIsOneDigitWide() {
        Panel p; // "_5.00", drawn "05.00"
        p.edit->setValue(5);
        p.edit->SetIncExponent(1);
        p.other->setFocus();
        Panel q; // "5.00"
        q.edit->setValue(5);
        q.other->setFocus();
        const int digit = QFontMetrics(p.edit->font()).horizontalAdvance(QChar(u'0'));
        const int rows = p.edit->FocusRect().bottom(); // above the underline
        const QImage pi = p.image();
        const QImage qi = q.image();
        // The rest of the text is where it would be without the placeholder...
        const int restLeft = p.charLeft(1);
        QCOMPARE(restLeft, q.charLeft(0));
        const QRect rest(restLeft, 0, p.up()->x() - restLeft, rows);
        QCOMPARE(pi.copy(rest), qi.copy(rest));
        // ...and the placeholder cell, one digit wide, holds the glyph of a real "0".
        QCOMPARE(restLeft - p.charLeft(0), digit);
        QCOMPARE(pi.copy(p.charLeft(0), 0, digit, rows), pi.copy(p.charLeft(3), 0, digit, rows));
    }
};

QTEST_MAIN(TstPlusSpinEdit)
#include "tst_plusspinedit.moc"
