// Times as text and text as times, exact to the picosecond where asked.
#include "timing/timing_model.h"

#include <cmath>

namespace timing {

Ps ToPs(double seconds, int decimals) {
    if (!std::isfinite(seconds))
        return 0;
    if (std::fabs(seconds) >= double(detail::kFar) / double(PsPerSecond))
        return seconds < 0 ? -detail::kFar : detail::kFar;
    decimals = std::clamp(decimals, 0, 12);
    // Rounded as the command text with so many decimals rounds it, then
    // read as whole picoseconds: exact where a product of doubles is not.
    QString text = QString::number(seconds, 'f', decimals);
    text.remove(QLatin1Char('.'));
    Ps value = text.toLongLong();
    for (int i = decimals; i < 12; ++i)
        value *= 10;
    return value;
}

QString FormatTime(Ps t, int significant) {
    static const struct {
        std::uint64_t unit;
        int decimals; // digits of the unit below its one
        const char* name;
    } units[] = {{1'000'000'000'000, 12, "s"},
                 {1'000'000'000, 9, "ms"},
                 {1'000'000, 6, "\u00b5s"},
                 {1'000, 3, "ns"},
                 {1, 0, "ps"}};
    if (t == 0)
        return QStringLiteral("0 s");
    const bool negative = t < 0;
    std::uint64_t magnitude = negative ? std::uint64_t(-(t + 1)) + 1 : std::uint64_t(t);
    const auto unitOf = [](std::uint64_t m) {
        int u = 0;
        while (u < 4 && m < units[u].unit)
            ++u;
        return u;
    };
    int u = unitOf(magnitude);
    // Keep `significant` digits, counted from the first digit of the whole
    // part, rounding half away from zero; 999.9996 ns becomes 1 µs.
    const int wholeDigits = int(QString::number(magnitude / units[u].unit).size());
    const int keep = std::max(0, significant - wholeDigits);
    if (keep < units[u].decimals) {
        unsigned __int128 step = 1;
        for (int i = keep; i < units[u].decimals; ++i)
            step *= 10;
        const unsigned __int128 rounded = (magnitude + step / 2) / step * step;
        magnitude = std::uint64_t(std::min<unsigned __int128>(rounded, ~std::uint64_t(0)));
        u = unitOf(magnitude);
    }
    const std::uint64_t unit = units[u].unit;
    QString fraction = QString::number(magnitude % unit).rightJustified(units[u].decimals, u'0');
    if (unit == 1)
        fraction.clear();
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    QString text = negative ? QStringLiteral("-") : QString();
    text += QString::number(magnitude / unit);
    if (!fraction.isEmpty())
        text += QLatin1Char('.') + fraction;
    return text + QLatin1Char(' ') + QString::fromUtf8(units[u].name);
}

QString FormatFrequency(double hertz) {
    if (!std::isfinite(hertz) || hertz <= 0)
        return QStringLiteral("\u2014");
    static const char* const names[] = {"Hz", "kHz", "MHz", "GHz", "THz"};
    int u = 0;
    while (u < 4 && hertz >= 1000.0) {
        hertz /= 1000.0;
        ++u;
    }
    return QString::number(hertz, 'g', 6) + QLatin1Char(' ') + QLatin1String(names[u]);
}

} // namespace timing
