#pragma once

#include <QChar>
#include <QString>
#include <functional>

// The window-free half of TPlusSpinEdit: value, bounds, step and focus digit,
// the display text with its placeholders, typed digits and RightZero. The
// widget installs the three callbacks and adds input, geometry and painting.
class TSpinValueModel {
public:
    static constexpr int MaxDecimals = 18;
    static constexpr int MinBase = 2;
    static constexpr int MaxBase = 20;
    // Stands in the display text for a leading zero left of the first digit.
    static constexpr QChar Placeholder = QChar(u'_');

    enum class DigitResult { Ignored, Invalid, Accepted };

    // Fired after the value changed (the control's Change), after the step or
    // the focus digit was set, and after the display text or focus index moved.
    std::function<void()> onChange;
    std::function<void()> onSetIncrement;
    std::function<void()> onDisplayChanged;

    TSpinValueModel();

    double Value() const { return fValue; }
    // Clamps, stores and fires onChange on a real change (owed while spinning
    // with TrackSpin off).
    void setValue(double NewValue);
    // Clamps and stores without firing; true when the stored value changed.
    bool SetValue(double NewValue);

    double MinValue() const { return fMinValue; }
    double MaxValue() const { return fMaxValue; }
    // True when the bound changed (the caller then re-applies AutoSize).
    bool setMinValue(double v);
    bool setMaxValue(double v);
    bool bounded() const { return fMinValue != fMaxValue; }

    double Increment() const { return fIncrement; }
    double SavedIncrement() const { return fSavedIncrement; }
    void setIncrement(double x);
    int IncExponent() const { return fIncExponent; }
    void SetIncExponent(int e);

    int Decimals() const { return fDecimals; }
    void setDecimals(int d);
    int LeadingDigits() const { return fLeading; }
    void setLeadingDigits(int d);
    int Base() const { return fBase; }
    bool setBase(int b);
    QChar ThousandSeparator() const { return fThousandSep; }
    QChar InternalSeparator() const { return fInternalThousandSep; }
    bool setThousandSeparator(QChar c);

    bool TrackSpin() const { return fTrackSpin; }
    void setTrackSpin(bool on) { fTrackSpin = on; }
    bool EditorEnabled() const { return fEditorEnabled; }
    void setEditorEnabled(bool on) { fEditorEnabled = on; }
    bool EnterRequired() const { return fEnterReq; }
    void setEnterRequired(bool on) { fEnterReq = on; }

    int IntValue() const;

    // Display text, placeholders included, and the 1-based focus position in it.
    const QString& Text() const { return fText; }
    int FocusIndex() const { return fFocusIndex; }
    // The display text as drawn and measured: placeholders shown as "0".
    QString shownText() const;

    bool spinning() const { return fSpinning; }
    bool modified() const { return fModified; }
    void beginSpin() { fSpinning = true; }
    // Ends a spin; fires the owed onChange when TrackSpin is off. False when
    // no spin was in progress.
    bool endSpin();

    void SpinUp() { stepBy(1); }
    void SpinDown() { stepBy(-1); }

    // A typed character replaces the focus digit. Invalid means the edited
    // text does not parse; nothing has changed then.
    DigitResult typeDigit(QChar c);
    void RightZero();
    // Exponent of the digit at pixel x, given the text's left edge and a
    // function measuring the pixel width of a string (not yet clamped).
    int exponentAt(int x, int capXStart, const std::function<int(const QString&)>& width) const;

    // The value as the display shows it, without placeholders.
    QString FormatText(double v) const;
    int groupSize() const { return fBase == 10 ? 3 : 4; }

    static int DigitValue(QChar c);
    static double ParseText(const QString& s, int base, bool* ok);
    static int DigitExponent(int base, double x);
    // Natural logarithm of a base, rounded to 13 decimals.
    static double lnBase(int base);
    // Fixed point, half away from zero at the last decimal, no grouping.
    static QString formatFixed(double v, int decimals);

private:
    void reformat();
    void updateFocusIndex();
    void changed();

    double fMinValue = 0;
    double fMaxValue = 0;
    double fValue = 0;
    // One increment up or down, kept as shown (rounded to the decimals), so
    // that many steps add up no rounding error.
    void stepBy(int sign);
    double fIncrement = 1.0;
    double fSavedIncrement = 0;
    int fDecimals = 2;
    int fLeading = 0;
    bool fTrackSpin = true;
    bool fModified = false;
    bool fEditorEnabled = true;
    QChar fThousandSep;
    int fBase = 10;
    bool fEnterReq = false;
    int fIncExponent = 0;
    int fFocusIndex = 1;
    bool fSpinning = false;
    QChar fInternalThousandSep;
    QString fText;
};
