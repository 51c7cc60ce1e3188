#pragma once

#include <QString>
#include <QtGlobal>

// Number texts of the instrument's command language. Every formatter writes
// "." as decimal separator, a leading "-" for negative values and never a
// group separator, whatever the user's locale.
//
// Fixed formats are correctly rounded from the exact binary value of the
// double; a value exactly halfway between two last digits rounds away from
// zero. A result whose digits are all zero carries no sign.
// A value that is not finite (NaN, infinity) has no text in the command
// language: every formatter then returns an empty text.
namespace communication::cmd {

// Delay in seconds, 12 decimals: 1e-7 gives "0.000000100000".
QString formatDelay(double seconds);

// Period or width in seconds, 9 decimals: 0.001 gives "0.001000000".
QString formatTime(double seconds);

// Volts, 2 decimals: 2.5 gives "2.50".
QString formatVolts(double volts);

// Whole numbers as plain decimal digits: 4000000000 gives "4000000000".
QString formatCount(quint64 count);
QString formatInteger(qint64 value);

// The settings file's number form: at most 15 significant digits, trailing
// zeros dropped, a decimal point only when needed. Fixed notation for
// magnitudes from 0.0001 up to below 1e15 (judged after rounding to 15
// digits), otherwise mantissa, "E" and an exponent without plus sign or
// leading zeros: 0.00025 gives "0.00025", 0.00005 gives "5E-5", 1e-7 gives
// "1E-7", 0 gives "0".
QString formatGeneral(double value);

// A spin edit's value brought to the whole count that is sent: rounded to the
// nearest whole number (a half to the even neighbour), then its low 32 bits.
// Non-finite values give 0.
quint32 wholeCountUnsigned(double value);
qint32 wholeCountSigned(double value);

} // namespace communication::cmd
