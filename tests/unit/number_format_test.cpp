#include "comm/number_format.h"

#include <QLocale>
#include <QTest>

#include <cmath>
#include <limits>

using namespace communication::cmd;

class NumberFormatTest : public QObject {
    Q_OBJECT

private slots:
    void fixedFormats_data();
    void fixedFormats();
    void fixedFormatsIgnoreUserLocale();
    void nonFiniteHasNoText();
    void wholeNumbers();
    void general_data();
    void general();
    void wholeCounts_data();
    void wholeCounts();
};

enum Kind { Delay, Time, Volts };

void NumberFormatTest::fixedFormats_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("delay 100 ns") << int(Delay) << 100e-9 << "0.000000100000";
    QTest::newRow("delay negative 1.5 us") << int(Delay) << -1.5e-6 << "-0.000001500000";
    QTest::newRow("delay 10.5 ns") << int(Delay) << 10.5e-9 << "0.000000010500";
    QTest::newRow("delay 5 ps") << int(Delay) << 5e-12 << "0.000000000005";
    // 0.30000000000000004: nearest 12-decimal value, not a truncation artefact.
    QTest::newRow("delay 0.1+0.2") << int(Delay) << 0.1 + 0.2 << "0.300000000000";
    QTest::newRow("delay 3 x 1e-9") << int(Delay) << 3 * 1e-9 << "0.000000003000";
    QTest::newRow("delay rounds last digit up")
        << int(Delay) << 1.23456789012345e-7 << "0.000000123457";
    // 1/8192 = 0.0001220703125 exactly: a true tie goes away from zero.
    QTest::newRow("delay exact tie") << int(Delay) << 1.0 / 8192 << "0.000122070313";
    QTest::newRow("delay exact tie negative") << int(Delay) << -1.0 / 8192 << "-0.000122070313";
    QTest::newRow("delay just below a tie")
        << int(Delay) << std::nextafter(1.0 / 8192, 0.0) << "0.000122070312";
    QTest::newRow("delay tiny negative keeps its sign")
        << int(Delay) << -1e-13 << "-0.000000000000";
    QTest::newRow("delay negative zero") << int(Delay) << -0.0 << "0.000000000000";
    QTest::newRow("delay large, no grouping") << int(Delay) << 1234567.25 << "1234567.250000000000";

    QTest::newRow("time 1 ms") << int(Time) << 0.001 << "0.001000000";
    QTest::newRow("time 100 ns") << int(Time) << 100e-9 << "0.000000100";
    QTest::newRow("time 1.000000003 s") << int(Time) << 1.000000003 << "1.000000003";
    QTest::newRow("time exact tie") << int(Time) << 1.0 / 1024 << "0.000976563";
    QTest::newRow("time below resolution") << int(Time) << 4e-10 << "0.000000000";
    QTest::newRow("time 0.1+0.2") << int(Time) << 0.1 + 0.2 << "0.300000000";

    QTest::newRow("volts 2.5") << int(Volts) << 2.5 << "2.50";
    QTest::newRow("volts 0.2") << int(Volts) << 0.2 << "0.20";
    QTest::newRow("volts 3.3") << int(Volts) << 3.3 << "3.30";
    QTest::newRow("volts 15") << int(Volts) << 15.0 << "15.00";
    // 2.675 is stored as 2.67499999...: correct rounding gives 2.67.
    QTest::newRow("volts 2.675 binary below") << int(Volts) << 2.675 << "2.67";
    QTest::newRow("volts exact tie") << int(Volts) << 0.125 << "0.13";
    QTest::newRow("volts negative") << int(Volts) << -1.25 << "-1.25";
    QTest::newRow("volts tiny negative") << int(Volts) << -0.004 << "-0.00";
}

void NumberFormatTest::fixedFormats() {
    QFETCH(int, kind);
    QFETCH(double, value);
    QFETCH(QString, text);
    switch (kind) {
    case Delay:
        QCOMPARE(formatDelay(value), text);
        break;
    case Time:
        QCOMPARE(formatTime(value), text);
        break;
    case Volts:
        QCOMPARE(formatVolts(value), text);
        break;
    }
}

void NumberFormatTest::fixedFormatsIgnoreUserLocale() {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString delay = formatDelay(1234.5);
    const QString general = formatGeneral(1234567.5);
    const QString volts = formatVolts(2.5);
    const QString count = formatCount(4000000000ULL);
    QLocale::setDefault(saved);

    QCOMPARE(delay, QStringLiteral("1234.500000000000"));
    QCOMPARE(general, QStringLiteral("1234567.5"));
    QCOMPARE(volts, QStringLiteral("2.50"));
    QCOMPARE(count, QStringLiteral("4000000000"));
}

void NumberFormatTest::nonFiniteHasNoText() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double v : {nan, inf, -inf}) {
        QVERIFY(formatDelay(v).isEmpty());
        QVERIFY(formatTime(v).isEmpty());
        QVERIFY(formatVolts(v).isEmpty());
        QVERIFY(formatGeneral(v).isEmpty());
    }
}

void NumberFormatTest::wholeNumbers() {
    QCOMPARE(formatCount(0), QStringLiteral("0"));
    QCOMPARE(formatCount(4000000000ULL), QStringLiteral("4000000000"));
    QCOMPARE(formatCount(4294967295ULL), QStringLiteral("4294967295"));
    QCOMPARE(formatCount(18446744073709551615ULL), QStringLiteral("18446744073709551615"));
    QCOMPARE(formatInteger(-1), QStringLiteral("-1"));
    QCOMPARE(formatInteger(std::numeric_limits<qint64>::min()),
             QStringLiteral("-9223372036854775808"));
    QCOMPARE(formatInteger(1000000), QStringLiteral("1000000"));
}

void NumberFormatTest::general_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("1 ms") << 0.001 << "0.001";
    QTest::newRow("computed 1 ms") << 0.1 * 0.01 << "0.001";
    QTest::newRow("0.00025") << 0.00025 << "0.00025";
    QTest::newRow("0.00005") << 0.00005 << "5E-5";
    QTest::newRow("negative 0.00005") << -0.00005 << "-5E-5";
    QTest::newRow("100 ns") << 100e-9 << "1E-7";
    QTest::newRow("negative 1.5 us") << -1.5e-6 << "-1.5E-6";
    QTest::newRow("1e-5") << 1e-5 << "1E-5";
    QTest::newRow("1.5e-10") << 1.5e-10 << "1.5E-10";

    // Lower switch point: 1E-4 is fixed, anything that stays below it after
    // rounding to 15 digits is scientific.
    QTest::newRow("1e-4") << 0.0001 << "0.0001";
    QTest::newRow("just below 1e-4 rounds to it") << std::nextafter(0.0001, 0.0) << "0.0001";
    QTest::newRow("9.9999e-5") << 0.000099999 << "9.9999E-5";
    QTest::newRow("15 digits below 1e-4") << 9.99999999999999e-5 << "9.99999999999999E-5";

    // Upper switch point: 15 integer digits are fixed, 1E15 is scientific.
    QTest::newRow("fifteen nines") << 999999999999999.0 << "999999999999999";
    QTest::newRow("1e15") << 1e15 << "1E15";
    QTest::newRow("rounds up to 1e15") << 999999999999999.9 << "1E15";
    QTest::newRow("1e14") << 1e14 << "100000000000000";
    QTest::newRow("1.5e15") << 1.5e15 << "1.5E15";
    QTest::newRow("large") << 123456789012345678.0 << "1.23456789012346E17";

    QTest::newRow("0.1+0.2") << 0.1 + 0.2 << "0.3";
    QTest::newRow("one third") << 1.0 / 3 << "0.333333333333333";
    QTest::newRow("two thirds rounds") << 2.0 / 3 << "0.666666666666667";
    QTest::newRow("integer") << 100.0 << "100";
    QTest::newRow("fraction") << 123.456 << "123.456";
    QTest::newRow("volts") << 2.5 << "2.5";
    QTest::newRow("negative integer") << -42.0 << "-42";
    QTest::newRow("smallest subnormal") << 5e-324 << "4.94065645841247E-324";
    QTest::newRow("largest") << std::numeric_limits<double>::max() << "1.79769313486232E308";
}

void NumberFormatTest::general() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(formatGeneral(value), text);
}

void NumberFormatTest::wholeCounts_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<quint32>("unsignedCount");
    QTest::addColumn<qint32>("signedCount");

    QTest::newRow("half to even down") << 2.5 << quint32(2) << qint32(2);
    QTest::newRow("half to even up") << 3.5 << quint32(4) << qint32(4);
    QTest::newRow("negative half to even") << -2.5 << quint32(4294967294u) << qint32(-2);
    QTest::newRow("just below a half") << 0.49999999999999994 << quint32(0) << qint32(0);
    QTest::newRow("above a half") << 7.5000001 << quint32(8) << qint32(8);
    QTest::newRow("largest count") << 4000000000.0 << quint32(4000000000u) << qint32(-294967296);
    QTest::newRow("near largest count")
        << 3999999999.6 << quint32(4000000000u) << qint32(-294967296);
    QTest::newRow("2^32 wraps") << 4294967296.0 << quint32(0) << qint32(0);
    QTest::newRow("minus one") << -1.0 << quint32(4294967295u) << qint32(-1);
    QTest::newRow("beyond 64 bits keeps low bits") << 0x1p70 + 0x1p40 << quint32(0) << qint32(0);
    QTest::newRow("2^40 + 7") << 1099511627783.0 << quint32(7) << qint32(7);
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << quint32(0) << qint32(0);
}

void NumberFormatTest::wholeCounts() {
    QFETCH(double, value);
    QFETCH(quint32, unsignedCount);
    QFETCH(qint32, signedCount);
    QCOMPARE(wholeCountUnsigned(value), unsignedCount);
    QCOMPARE(wholeCountSigned(value), signedCount);
}

QTEST_APPLESS_MAIN(NumberFormatTest)
#include "number_format_test.moc"
