#include "comm/number_format.h"

#include <cmath>

namespace communication::cmd {

namespace {

constexpr int GeneralDigits = 15;
// Fixed notation from 1E-4 up to below 1E15.
constexpr int GeneralMinFixedExponent = -4;
constexpr int GeneralMaxFixedExponent = 14;

// QString::number is locale-independent and correctly rounded.
QString formatFixed(double value, int decimals) {
    if (!std::isfinite(value))
        return QString();
    QString text = QString::number(value, 'f', decimals);
    // A negative value keeps its "-" even where it rounds to zero; negative
    // zero is no negative value.
    if (value == 0.0 && text.startsWith(QLatin1Char('-')))
        text.remove(0, 1);
    return text;
}

} // namespace

QString formatDelay(double seconds) {
    return formatFixed(seconds, 12);
}

QString formatTime(double seconds) {
    return formatFixed(seconds, 9);
}

QString formatVolts(double volts) {
    return formatFixed(volts, 2);
}

QString formatCount(quint64 count) {
    return QString::number(count);
}

QString formatInteger(qint64 value) {
    return QString::number(value);
}

QString formatGeneral(double value) {
    if (!std::isfinite(value))
        return QString();
    if (value == 0.0)
        return QStringLiteral("0");

    // Scientific form with exactly 15 significant digits, e.g.
    // "-2.50000000000000e-04": the rounding to 15 digits happens here once,
    // and the notation is chosen from the exponent of the rounded value.
    const QString sci = QString::number(value, 'e', GeneralDigits - 1);
    const qsizetype ePos = sci.indexOf(QLatin1Char('e'));
    const bool negative = sci.startsWith(QLatin1Char('-'));
    QString digits = sci.left(ePos);
    digits.remove(QLatin1Char('-'));
    digits.remove(QLatin1Char('.'));
    const int exponent = sci.mid(ePos + 1).toInt();

    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);

    QString text;
    if (exponent < GeneralMinFixedExponent || exponent > GeneralMaxFixedExponent) {
        text = digits.left(1);
        if (digits.size() > 1)
            text += QLatin1Char('.') + digits.mid(1);
        text += QLatin1Char('E') + QString::number(exponent);
    } else if (exponent < 0) {
        text = QStringLiteral("0.") + QString(-exponent - 1, QLatin1Char('0')) + digits;
    } else {
        const int intDigits = exponent + 1;
        if (digits.size() <= intDigits) {
            text = digits + QString(intDigits - digits.size(), QLatin1Char('0'));
        } else {
            text = digits.left(intDigits) + QLatin1Char('.') + digits.mid(intDigits);
        }
    }
    return negative ? QLatin1Char('-') + text : text;
}

namespace {

// Nearest whole number, a half to the even neighbour, independent of the
// floating-point environment's rounding mode.
double roundHalfEven(double value) {
    const double below = std::floor(value);
    const double fraction = value - below; // exact for every double
    if (fraction > 0.5)
        return below + 1.0;
    if (fraction < 0.5)
        return below;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

} // namespace

quint32 wholeCountUnsigned(double value) {
    if (!std::isfinite(value))
        return 0;
    // The remainder modulo 2^32 is exact and keeps the low 32 bits of the
    // two's complement form, also for values beyond the 64-bit range.
    double low = std::fmod(roundHalfEven(value), 4294967296.0);
    if (low < 0.0)
        low += 4294967296.0;
    return static_cast<quint32>(low);
}

qint32 wholeCountSigned(double value) {
    return static_cast<qint32>(wholeCountUnsigned(value));
}

} // namespace communication::cmd
