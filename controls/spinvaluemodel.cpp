#include "controls/spinvaluemodel.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <string>

namespace {

// ln(b) for b = 2..20, rounded to 13 decimals; every base logarithm uses these
// so that exponents come out the same as the control always computed them.
constexpr double LnTable[] = {
    0.6931471805599, 1.0986122886681, 1.3862943611199, 1.6094379124341, 1.7917594692281,
    1.9459101490553, 2.0794415416798, 2.1972245773362, 2.3025850929940, 2.3978952727984,
    2.4849066497880, 2.5649493574615, 2.6390573296153, 2.7080502011022, 2.7725887222398,
    2.8332133440562, 2.8903717578962, 2.9444389791664, 2.9957322735540,
};

constexpr QChar DecimalPoint = QChar(u'.');

// No digit position of a double lies beyond this exponent; the cap keeps
// infinite bounds and runaway focus moves from overflowing the arithmetic.
constexpr int MaxExponent = 400;

// To the nearest integer, ties to even, within +-MaxExponent.
int roundEven(double x) {
    if (std::isnan(x))
        return 0;
    return static_cast<int>(
        std::clamp(std::nearbyint(x), double(-MaxExponent), double(MaxExponent)));
}

bool parseDecimal(const QString& s, double* out) {
    const std::string text = s.toStdString();
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, *out);
    return r.ec == std::errc() && r.ptr == end;
}

} // namespace

TSpinValueModel::TSpinValueModel() {
    reformat();
}

double TSpinValueModel::lnBase(int base) {
    return LnTable[std::clamp(base, MinBase, MaxBase) - MinBase];
}

bool TSpinValueModel::SetValue(double NewValue) {
    if (bounded()) {
        if (NewValue < fMinValue || std::isnan(NewValue))
            NewValue = fMinValue;
        else if (NewValue > fMaxValue)
            NewValue = fMaxValue;
    } else if (!std::isfinite(NewValue)) {
        // Nothing to show and NaN never compares equal: refuse instead of
        // firing a change on every assignment.
        return false;
    }
    if (NewValue == fValue)
        return false;
    fValue = NewValue;
    reformat();
    return true;
}

void TSpinValueModel::setValue(double NewValue) {
    if (!SetValue(NewValue))
        return;
    if (!fSpinning || fTrackSpin)
        changed();
    else
        fModified = true;
}

void TSpinValueModel::changed() {
    fModified = false;
    if (onChange)
        onChange();
}

bool TSpinValueModel::endSpin() {
    if (!fSpinning)
        return false;
    fSpinning = false;
    if (!fTrackSpin && fModified)
        changed();
    return true;
}

void TSpinValueModel::stepBy(int sign) {
    const double next = fValue + sign * fIncrement;
    bool ok = false;
    const double shown = std::isfinite(next) ? formatFixed(next, fDecimals).toDouble(&ok) : next;
    setValue(ok ? shown : next);
}

// A bound that is not finite is refused as NaN is: the text of an infinite
// limit cannot be formatted, and AutoSize formats the limits.
bool TSpinValueModel::setMinValue(double v) {
    if (!std::isfinite(v) || v == fMinValue)
        return false;
    fMinValue = v;
    setValue(fValue);
    return true;
}

bool TSpinValueModel::setMaxValue(double v) {
    if (!std::isfinite(v) || v == fMaxValue)
        return false;
    fMaxValue = v;
    setValue(fValue);
    return true;
}

void TSpinValueModel::setIncrement(double x) {
    const double a = std::fabs(x);
    // A vanishing step would stall the spin and divide by zero in the
    // relative comparisons: keep the previous step.
    if (!std::isfinite(a) || a <= 1e-20)
        return;
    fSavedIncrement = x;
    if (std::fabs(a - fIncrement) / fIncrement < 1e-7)
        return;
    const double L = lnBase(fBase);
    int e = roundEven(std::log(a) / L);
    // Relative tolerance of 1e-4, so 0.099995 still belongs to the 0.1 digit.
    if (a * 1.0001 < std::exp(e * L))
        --e;
    fIncExponent = e;
    updateFocusIndex();
    fIncrement = a;
    if (onSetIncrement)
        onSetIncrement();
}

void TSpinValueModel::SetIncExponent(int e) {
    e = std::clamp(e, -fDecimals, MaxExponent);
    if (bounded())
        e = std::min(e, std::max(DigitExponent(fBase, fMaxValue), DigitExponent(fBase, fMinValue)));
    double p = 1.0;
    for (int i = 0; i < std::abs(e); ++i)
        p = e > 0 ? p * fBase : p / fBase;
    if (e == fIncExponent && std::fabs(p - fIncrement) / fIncrement <= 1e-7)
        return;
    // The assigned increment is the smallest step the control ever takes.
    fIncrement = std::max(p, fSavedIncrement);
    fIncExponent = e;
    if (onSetIncrement)
        onSetIncrement();
    updateFocusIndex();
}

int TSpinValueModel::DigitExponent(int base, double x) {
    const double L = lnBase(base);
    const double a = std::fabs(x);
    int n = a > 1 ? roundEven(std::log(a) / L) : 0;
    if (a < std::exp(n * L))
        --n;
    n = std::max(n, 1);
    if (x < 0)
        ++n; // the minus sign takes a digit position
    return n;
}

void TSpinValueModel::setDecimals(int d) {
    fDecimals = std::clamp(d, 0, MaxDecimals);
    reformat();
}

void TSpinValueModel::setLeadingDigits(int d) {
    fLeading = std::clamp(d, 0, MaxDecimals);
    reformat();
}

bool TSpinValueModel::setBase(int b) {
    b = std::clamp(b, MinBase, MaxBase);
    if (b == fBase)
        return false;
    fBase = b;
    SetIncExponent(fIncExponent);
    reformat();
    return true;
}

bool TSpinValueModel::setThousandSeparator(QChar c) {
    if (c == fThousandSep)
        return false;
    fThousandSep = c;
    fInternalThousandSep = c;
    // Characters that would read as part of the number group with a space.
    // The placeholder is among them: it would be taken for a leading zero.
    const char16_t u = c.unicode();
    const bool alnum = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
    if (alnum || u == '+' || u == '-' || c == DecimalPoint || c == Placeholder)
        fInternalThousandSep = QChar(u' ');
    reformat();
    return true;
}

int TSpinValueModel::IntValue() const {
    const double r = std::nearbyint(fValue);
    if (std::isnan(r))
        return 0;
    if (r >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (r <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(r);
}

QString TSpinValueModel::shownText() const {
    QString t = fText;
    t.replace(Placeholder, QChar(u'0'));
    return t;
}

QString TSpinValueModel::formatFixed(double v, int decimals) {
    // Total over every double: what is not a number is shown as zero.
    if (!std::isfinite(v))
        v = 0;
    const bool negative = v < 0;
    const double a = std::fabs(v);
    // The shortest decimal that reads back as the same double, so that a value
    // typed as 1.005 rounds the way it reads, not the way it is stored.
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific);
    const std::string sci(buf, r.ptr);
    const auto ePos = sci.find('e');
    std::string mant = sci.substr(0, ePos);
    mant.erase(std::remove(mant.begin(), mant.end(), '.'), mant.end());
    const int exp10 = std::stoi(sci.substr(ePos + 1));
    // mant[i] is the digit of exponent exp10 - i.
    auto digitAt = [&](int p) {
        const int i = exp10 - p;
        return i >= 0 && i < static_cast<int>(mant.size()) ? mant[i] : '0';
    };
    std::string digits;
    for (int p = std::max(exp10, 0); p >= -decimals; --p)
        digits += digitAt(p);
    if (digitAt(-decimals - 1) >= '5') { // half away from zero
        int j = static_cast<int>(digits.size()) - 1;
        while (j >= 0 && digits[j] == '9')
            digits[j--] = '0';
        if (j < 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[j];
    }
    const std::size_t intLen = digits.size() - decimals;
    std::size_t first = 0;
    while (first + 1 < intLen && digits[first] == '0')
        ++first;
    std::string out = negative ? "-" : "";
    out += digits.substr(first, intLen - first);
    if (decimals > 0)
        out += '.' + digits.substr(intLen);
    return QString::fromStdString(out);
}

QString TSpinValueModel::FormatText(double v) const {
    const QString plain = formatFixed(v, fDecimals);
    const QChar sep = fInternalThousandSep;
    if (sep.isNull())
        return plain;
    const int G = groupSize();
    const bool negative = plain.startsWith(u'-');
    const int point = fDecimals > 0 ? plain.indexOf(DecimalPoint) : plain.size();
    const QString intDigits = plain.mid(negative ? 1 : 0, point - (negative ? 1 : 0));
    QString out = negative ? QStringLiteral("-") : QString();
    for (int i = 0; i < intDigits.size(); ++i) {
        if (i > 0 && (intDigits.size() - i) % G == 0)
            out += sep;
        out += intDigits[i];
    }
    if (fDecimals > 0) {
        out += DecimalPoint;
        const QString dec = plain.mid(point + 1);
        for (int i = 0; i < dec.size(); ++i) {
            if (i > 0 && i % G == 0)
                out += sep;
            out += dec[i];
        }
    }
    return out;
}

void TSpinValueModel::reformat() {
    fText = FormatText(fValue);
    updateFocusIndex();
}

void TSpinValueModel::updateFocusIndex() {
    QString s = fText;
    const int n = s.size();
    const int e = fIncExponent;
    const QChar sep = fInternalThousandSep;
    const int G = groupSize();
    int index = n - e - fDecimals;
    if (e >= 0 && fDecimals > 0)
        --index; // the point lies right of the focus digit
    if (!sep.isNull()) {
        index -= (fDecimals - 1) / G;
        if (e < 0)
            index += (-1 - e) / G;
        else
            index -= e / G;
    }
    bool changed = false;
    if (index < 1) {
        // Leading zeros up to the focus digit, grouped like the integer part.
        for (int i = index; i <= 0; ++i) {
            const bool sepHere = !sep.isNull() && (e / G + e + i + 1) % (G + 1) == 0;
            s.prepend(sepHere ? sep : Placeholder);
        }
        index = 1;
        changed = true;
    }
    while (index > 1 && (s.front() == Placeholder || (!sep.isNull() && s.front() == sep))) {
        s.remove(0, 1);
        --index;
        changed = true;
    }
    if (changed)
        fText = s;
    fFocusIndex = index;
    if (onDisplayChanged)
        onDisplayChanged();
}

int TSpinValueModel::DigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'z')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'Z')
        return u - 'A' + 10;
    return -1;
}

double TSpinValueModel::ParseText(const QString& s, int base, bool* ok) {
    *ok = false;
    const bool negative = s.size() > 1 && s.front() == u'-';
    double acc = 0;
    double scale = 1;
    bool point = false;
    for (int i = negative ? 1 : 0; i < s.size(); ++i) {
        if (s[i] == DecimalPoint) {
            if (point)
                return 0;
            point = true;
            scale = 1.0 / base;
            continue;
        }
        int d = DigitValue(s[i]);
        if (d < 0 || d >= base)
            return 0;
        if (negative)
            d = -d;
        if (!point) {
            acc = acc * base + d;
        } else {
            acc += d * scale;
            scale /= base;
        }
    }
    // In decimal, the nearest double to what was typed (0.3, not 3 * 0.1).
    double exact = 0;
    if (base == 10 && parseDecimal(s, &exact))
        acc = exact;
    // Digits beyond the range of a double are no number the control can hold.
    *ok = std::isfinite(acc);
    return *ok ? acc : 0;
}

TSpinValueModel::DigitResult TSpinValueModel::typeDigit(QChar c) {
    const int d = DigitValue(c);
    if (!fEditorEnabled || d < 0 || d >= fBase)
        return DigitResult::Ignored;
    // The focus digit may lie right of the text after Decimals was lowered.
    if (fFocusIndex < 1 || fFocusIndex > fText.size())
        return DigitResult::Ignored;
    QString s = fText;
    s[fFocusIndex - 1] = c;
    for (int i = fFocusIndex; i < s.size(); ++i)
        if (s[i] == Placeholder)
            s[i] = QChar(u'0');
    if (!fInternalThousandSep.isNull())
        s.remove(fInternalThousandSep);
    bool ok = false;
    const double x = ParseText(s, fBase, &ok);
    if (!ok)
        return DigitResult::Invalid;
    if (fIncExponent > -fDecimals)
        SetIncExponent(fIncExponent - 1);
    setValue(x);
    return DigitResult::Accepted;
}

void TSpinValueModel::RightZero() {
    int k = 0;
    if (fIncExponent < 0) {
        k = fDecimals + fIncExponent;
        if (k <= 0)
            return; // nothing right of the focus digit: the value stays as it is
    }
    // The number as the control writes it, 12 significant digits; those
    // beyond are zeros.
    QString s = formatFixed(QString::number(fValue, 'g', 12).toDouble(), fDecimals);
    if (fIncExponent >= 0) {
        if (fDecimals > 0)
            s.truncate(s.indexOf(DecimalPoint));
        k = std::min(fIncExponent, static_cast<int>(s.size()));
    }
    for (int i = s.size() - k; i < s.size(); ++i)
        s[i] = QChar(u'0');
    double x = 0;
    if (parseDecimal(s, &x))
        setValue(x);
}

int TSpinValueModel::exponentAt(int x, int capXStart,
                                const std::function<int(const QString&)>& width) const {
    QString s = shownText();
    s.chop(1);
    int e = -fDecimals;
    const QChar sep = fInternalThousandSep;
    while (!s.isEmpty() && width(s) > x - capXStart) {
        ++e;
        s.chop(1);
        // The point belongs to the units digit, a separator to the digit right of it.
        if (!s.isEmpty() && (e == 0 || (!sep.isNull() && s.back() == sep)))
            s.chop(1);
    }
    if (x < capXStart)
        ++e;
    return e;
}
