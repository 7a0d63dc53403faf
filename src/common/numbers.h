#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// Reading and writing the numbers the operator types.

namespace smartcar {

// Strict conversion of operator text that must be a number: a decimal with optional sign,
// fraction and exponent ("120", "-20", "120.9", ".5", "1.5e3"), blanks around it allowed.
// Anything else is not a number, the empty text included: no "inf", "nan", hex, thousands
// separators or non-ASCII digits.
// Throws Failure::typeMismatch(field) for text that is not a number and
// Failure::overflow(field) for a number beyond the range of a double.
double toNumber(QStringView text, const QString& field);

// toNumber, then the nearest whole number, an exact half going to the even neighbour.
// Throws Failure::overflow(field) outside the signed 32-bit range.
qint32 toWholeNumber(QStringView text, const QString& field);

// A wait the operator types, in milliseconds: toWholeNumber, then refused above `limitMs`
// with Failure::aboveLimit(field). Zero or below stands and means no wait.
qint32 toMilliseconds(QStringView text, const QString& field, qint32 limitMs);

// A double in plain decimal notation with at most 15 significant digits, the last one rounded
// to nearest: "-" for negatives, no leading zeros but a single 0, the decimal point and the
// fraction digits only when there is a fraction ("60", "60.45", "-10", "0.5"). Numbers that
// plain notation cannot show in 15 significant digits (10^15 and more, or smaller than
// 10^-15) give nothing.
std::optional<QString> toPlainText(double value);

// Lenient readings: blanks, tabs and line feeds are skipped wherever they stand, the number is
// taken from the start up to the first character that cannot continue it, and no digit at
// all gives 0.

// Hexadecimal digits (0-9, A-F, a-f). Nothing when the digits exceed 32 bits: a long run of
// digits is too large, never wrapped around.
std::optional<quint32> readLeadingHex(QStringView text);
// The text begins, blanks aside, with a radix prefix ("0x87", "&H87"), which the hexadecimal
// reading above stops at, taking it for 0.
bool startsWithHexPrefix(QStringView text);

// An optional sign, decimal digits and at most one full stop as the decimal point. Digits
// beyond the range of a double give an infinity of the sign read.
double readLeadingDecimal(QStringView text);

} // namespace smartcar
