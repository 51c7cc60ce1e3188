// Value model of the spin edit, without any window.
#include "controls/spinvaluemodel.h"

#include <QtTest>

namespace {

struct Counted {
    TSpinValueModel m;
    int changes = 0;
    int increments = 0;
    Counted() {
        m.onChange = [this] { ++changes; };
        m.onSetIncrement = [this] { ++increments; };
    }
};

} // namespace

class TstSpinValueModel : public QObject {
    Q_OBJECT

private slots:
    void newModelDefaults() {
        TSpinValueModel m;
        QCOMPARE(m.Value(), 0.0);
        QCOMPARE(m.Text(), QStringLiteral("0.00"));
        QCOMPARE(m.Increment(), 1.0);
        QCOMPARE(m.IncExponent(), 0);
        QCOMPARE(m.SavedIncrement(), 0.0);
        m.setValue(-5); // equal bounds: unbounded
        QCOMPARE(m.Text(), QStringLiteral("-5.00"));
    }

    void formatText_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<int>("base");
        QTest::addColumn<QString>("text");
        const QChar comma(u',');
        QTest::newRow("grouped both sides") << 1234.5 << 9 << comma << 10 << "1,234.500,000,000";
        QTest::newRow("small grouped") << 0.0000001 << 12 << comma << 10 << "0.000,000,100,000";
        QTest::newRow("minus, short") << -123.5 << 1 << comma << 10 << "-123.5";
        QTest::newRow("minus, grouped") << -1234.5 << 1 << comma << 10 << "-1,234.5";
        QTest::newRow("no decimals") << 4000000000.0 << 0 << comma << 10 << "4,000,000,000";
        QTest::newRow("negative zero shown") << -0.001 << 2 << QChar() << 10 << "-0.00";
        QTest::newRow("half away up") << 2.5 << 0 << QChar() << 10 << "3";
        QTest::newRow("half away down") << -2.5 << 0 << QChar() << 10 << "-3";
        QTest::newRow("tie as read") << 1.005 << 2 << QChar() << 10 << "1.01";
        QTest::newRow("carry through nines") << 999.9996 << 3 << comma << 10 << "1,000.000";
        QTest::newRow("point groups with space")
            << 1234567.0 << 0 << QChar(u'.') << 10 << "1 234 567";
        QTest::newRow("digit groups with space")
            << 1234567.0 << 0 << QChar(u'7') << 10 << "1 234 567";
        QTest::newRow("no separator") << 1234567.0 << 2 << QChar() << 10 << "1234567.00";
        QTest::newRow("base 16 groups by 4") << 1234567.0 << 5 << comma << 16 << "123,4567.0000,0";
    }
    void formatText() {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(QChar, separator);
        QFETCH(int, base);
        QFETCH(QString, text);
        TSpinValueModel m;
        m.setBase(base);
        m.setDecimals(decimals);
        m.setThousandSeparator(separator);
        m.setValue(value);
        QCOMPARE(m.Text(), text);
    }

    void clampingAndChangeRules() {
        Counted c;
        c.m.setMaxValue(1000000);
        c.m.setMinValue(1);
        QCOMPARE(c.m.Value(), 1.0); // re-clamped when the bounds were set
        QCOMPARE(c.changes, 1);
        c.m.setValue(0);
        QCOMPARE(c.m.Value(), 1.0);
        QCOMPARE(c.changes, 1); // clamped onto the current value: nothing fires
        c.m.setValue(2000000);
        QCOMPARE(c.m.Value(), 1000000.0);
        QCOMPARE(c.changes, 2);
        c.m.setValue(1000000);
        QCOMPARE(c.changes, 2);
        QVERIFY(c.m.SetValue(500));
        QCOMPARE(c.m.Text(), QStringLiteral("500.00"));
        QCOMPARE(c.changes, 2); // SetValue never fires
        c.m.setMaxValue(10);
        QCOMPARE(c.m.Value(), 10.0);
        QCOMPARE(c.changes, 3);
        c.m.setValue(qQNaN());
        QCOMPARE(c.m.Value(), 1.0); // NaN in a bounded control becomes the minimum
    }

    void nonFiniteUnboundedIsRefused() {
        Counted c;
        c.m.setValue(3);
        c.m.setValue(qQNaN());
        c.m.setValue(qInf());
        QCOMPARE(c.m.Value(), 3.0);
        QCOMPARE(c.changes, 1);
    }

    void incrementExponent_data() {
        QTest::addColumn<double>("increment");
        QTest::addColumn<int>("exponent");
        QTest::newRow("5e-9") << 5e-9 << -9;
        QTest::newRow("1e-8") << 1e-8 << -8;
        QTest::newRow("0.1") << 0.1 << -1;
        QTest::newRow("0.099995") << 0.099995 << -1;
        QTest::newRow("0.09999") << 0.09999 << -2;
        QTest::newRow("5") << 5.0 << 0;
        QTest::newRow("10") << 10.0 << 1;
        QTest::newRow("5e-12") << 5e-12 << -12;
    }
    void incrementExponent() {
        QFETCH(double, increment);
        QFETCH(int, exponent);
        Counted c;
        c.m.setDecimals(12);
        c.m.setIncrement(increment);
        QCOMPARE(c.m.IncExponent(), exponent);
        QCOMPARE(c.m.Increment(), increment);
        QCOMPARE(c.increments, 1);
    }

    void savedIncrementIsTheFloor() {
        TSpinValueModel m;
        m.setDecimals(9);
        m.setIncrement(5e-9);
        QCOMPARE(m.Increment(), 5e-9);
        m.SetIncExponent(m.IncExponent() + 1);
        QCOMPARE(m.Increment(), 1e-8);
        m.SetIncExponent(m.IncExponent() - 1);
        QCOMPARE(m.IncExponent(), -9);
        QCOMPARE(m.Increment(), 5e-9);

        m.setDecimals(12);
        m.setIncrement(1e-8);
        m.SetIncExponent(-9);
        QCOMPARE(m.IncExponent(), -9);
        QCOMPARE(m.Increment(), 1e-8); // never below the assigned step
        m.SetIncExponent(-7);
        QCOMPARE(m.Increment(), 1e-7);

        m.setIncrement(-2); // sign kept in the saved increment: no floor
        QCOMPARE(m.Increment(), 2.0);
        QCOMPARE(m.IncExponent(), 0);
        m.SetIncExponent(-2);
        QVERIFY(qFuzzyCompare(m.Increment(), 0.01));
    }

    void zeroIncrementKeepsStep() {
        Counted c;
        c.m.setIncrement(0.5);
        const int before = c.increments;
        c.m.setIncrement(0);
        c.m.setIncrement(1e-21);
        QCOMPARE(c.m.Increment(), 0.5);
        QCOMPARE(c.m.IncExponent(), -1);
        QCOMPARE(c.increments, before);
        c.m.SpinUp();
        QCOMPARE(c.m.Value(), 0.5);
    }

    void digitExponent_data() {
        QTest::addColumn<double>("bound");
        QTest::addColumn<int>("exponent");
        QTest::newRow("999") << 999.0 << 2;
        QTest::newRow("1000") << 1000.0 << 3;
        QTest::newRow("5") << 5.0 << 1;
        QTest::newRow("0") << 0.0 << 1;
        QTest::newRow("1e6") << 1000000.0 << 6;
        QTest::newRow("4e9") << 4000000000.0 << 9;
        QTest::newRow("-5") << -5.0 << 2;
        QTest::newRow("-1000") << -1000.0 << 4;
    }
    void digitExponent() {
        QFETCH(double, bound);
        QFETCH(int, exponent);
        QCOMPARE(TSpinValueModel::DigitExponent(10, bound), exponent);
    }

    void focusLimitsFromBounds_data() {
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<int>("limit");
        QTest::newRow("-1000..1000") << -1000.0 << 1000.0 << 4;
        QTest::newRow("1..999") << 1.0 << 999.0 << 2;
        QTest::newRow("1..1000") << 1.0 << 1000.0 << 3;
    }
    void focusLimitsFromBounds() {
        QFETCH(double, min);
        QFETCH(double, max);
        QFETCH(int, limit);
        TSpinValueModel m;
        m.setDecimals(0);
        m.setMaxValue(max);
        m.setMinValue(min);
        m.SetIncExponent(20);
        QCOMPARE(m.IncExponent(), limit);
        m.SetIncExponent(-5);
        QCOMPARE(m.IncExponent(), 0); // never right of the last decimal
    }

    void propertyClamps() {
        TSpinValueModel m;
        m.setDecimals(25);
        QCOMPARE(m.Decimals(), 18);
        m.setDecimals(-3);
        QCOMPARE(m.Decimals(), 0);
        m.setValue(2.5);
        QCOMPARE(m.IntValue(), 2);
        m.setValue(3.5);
        QCOMPARE(m.IntValue(), 4);
        m.setValue(-2.5);
        QCOMPARE(m.IntValue(), -2);
        m.setValue(4e9);
        QCOMPARE(m.IntValue(), INT_MAX); // saturates instead of overflowing

        TSpinValueModel wide;               // the widest bound must not overflow the focus limit
        QVERIFY(!wide.setMaxValue(qInf())); // refused, as NaN is
        QVERIFY(!wide.setMinValue(-qInf()));
        QVERIFY(wide.setMaxValue(std::numeric_limits<double>::max()));
        wide.SetIncExponent(1 << 30);
        QVERIFY(wide.IncExponent() > 300 && wide.IncExponent() < 1000);
    }

    void placeholdersFollowTheFocus() {
        TSpinValueModel m;
        m.setValue(5);
        QCOMPARE(m.FocusIndex(), 1);
        m.SetIncExponent(1);
        QCOMPARE(m.Text(), QStringLiteral("_5.00"));
        QCOMPARE(m.shownText(), QStringLiteral("05.00"));
        QCOMPARE(m.FocusIndex(), 1);
        m.SetIncExponent(2);
        QCOMPARE(m.Text(), QStringLiteral("__5.00"));
        m.SetIncExponent(1);
        QCOMPARE(m.Text(), QStringLiteral("_5.00"));
        m.setValue(7); // a new value keeps the focus exponent
        QCOMPARE(m.Text(), QStringLiteral("_7.00"));
        m.SetIncExponent(-2);
        QCOMPARE(m.Text(), QStringLiteral("7.00"));
        QCOMPARE(m.FocusIndex(), 4);

        m.setDecimals(0);
        m.setThousandSeparator(QChar(u','));
        m.setValue(5);
        m.SetIncExponent(3);
        QCOMPARE(m.Text(), QStringLiteral("_,__5"));
        m.SetIncExponent(4);
        QCOMPARE(m.Text(), QStringLiteral("__,__5"));
        m.SetIncExponent(2);
        QCOMPARE(m.Text(), QStringLiteral("__5"));
        m.SetIncExponent(0);
        QCOMPARE(m.Text(), QStringLiteral("5"));
    }

    void focusIndexSkipsSeparators() {
        TSpinValueModel m;
        m.setDecimals(9);
        m.setThousandSeparator(QChar(u','));
        m.setValue(1234.5);
        const QString t = m.Text(); // "1,234.500,000,000"
        const struct {
            int exponent;
            QChar digit;
            int index;
        } cases[] = {{3, u'1', 1},  {2, u'2', 3},   {0, u'4', 5},
                     {-1, u'5', 7}, {-4, u'0', 11}, {-9, u'0', 17}};
        for (const auto& c : cases) {
            m.SetIncExponent(c.exponent);
            QCOMPARE(m.FocusIndex(), c.index);
            QCOMPARE(t.at(c.index - 1), c.digit);
        }
    }

    void typedDigits() {
        Counted c;
        c.m.setValue(123.45);
        c.m.SetIncExponent(1);
        QCOMPARE(c.m.typeDigit(u'7'), TSpinValueModel::DigitResult::Accepted);
        QCOMPARE(c.m.Value(), 173.45);
        QCOMPARE(c.m.IncExponent(), 0);

        c.m.setValue(5);
        c.m.SetIncExponent(1); // "05.00"
        c.m.typeDigit(u'7');
        QCOMPARE(c.m.Value(), 75.0);
        QCOMPARE(c.m.IncExponent(), 0);

        c.m.SetIncExponent(3); // "0075.00": the zeros right of the focus stay zeros
        c.m.typeDigit(u'1');
        QCOMPARE(c.m.Value(), 1075.0);

        c.m.setValue(-5);
        c.m.SetIncExponent(1); // focus on the minus sign: replaced
        c.m.typeDigit(u'3');
        QCOMPARE(c.m.Value(), 35.0);

        c.m.SetIncExponent(-2);
        c.m.typeDigit(u'3'); // last decimal: the focus stays
        QCOMPARE(c.m.Value(), 35.03);
        QCOMPARE(c.m.IncExponent(), -2);

        c.m.setValue(0.2);
        c.m.SetIncExponent(-1);
        c.m.typeDigit(u'3');
        QCOMPARE(c.m.Value(), 0.3); // the nearest double, not 3 * 0.1
    }

    void focusBeyondTextAfterDecimalsLowered() {
        TSpinValueModel m;
        m.setDecimals(9);
        m.setIncrement(1e-9);
        m.setDecimals(2);
        QVERIFY(m.FocusIndex() > m.Text().size());
        QCOMPARE(m.typeDigit(u'5'), TSpinValueModel::DigitResult::Ignored);
    }

    void parseText() {
        bool ok = false;
        QCOMPARE(TSpinValueModel::ParseText(QStringLiteral("-12.5"), 10, &ok), -12.5);
        QVERIFY(ok);
        QCOMPARE(TSpinValueModel::ParseText(QStringLiteral("ff.8"), 16, &ok), 255.5);
        QVERIFY(ok);
        QCOMPARE(TSpinValueModel::ParseText(QStringLiteral("-101"), 2, &ok), -5.0);
        for (const char* bad : {"1.2.3", "-", "1-2", "12a", "2"}) {
            TSpinValueModel::ParseText(QString::fromLatin1(bad), bad[0] == '2' ? 2 : 10, &ok);
            QVERIFY2(!ok, bad);
        }
    }

    void rightZero_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<int>("exponent");
        QTest::addColumn<double>("result");
        QTest::newRow("tens") << 1234.56 << 2 << 1 << 1230.0;
        QTest::newRow("first decimal") << 1234.56 << 2 << -1 << 1234.5;
        QTest::newRow("units cuts decimals") << 1234.56 << 2 << 0 << 1234.0;
        QTest::newRow("negative, past the sign") << -5.25 << 2 << 2 << 0.0;
        QTest::newRow("last decimal") << 1234.56 << 2 << -2 << 1234.56;
        QTest::newRow("beyond 12 significant digits") << 999.123456789012 << 12 << -3 << 999.123;
        QTest::newRow("12 significant digits, then zeros")
            << 1234.567890123456 << 12 << -10 << 1234.56789012;
        QTest::newRow("last of 12 decimals keeps all")
            << 999.123456789012 << 12 << -12 << 999.123456789012;
    }
    void rightZero() {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(int, exponent);
        QFETCH(double, result);
        TSpinValueModel m;
        m.setDecimals(decimals);
        m.setValue(value);
        m.SetIncExponent(exponent);
        m.RightZero();
        QCOMPARE(m.Value(), result);
    }
};

QTEST_GUILESS_MAIN(TstSpinValueModel)
#include "tst_spinvaluemodel.moc"
