#include "common/numbers.h"

#include "common/failure.h"

#include <QByteArray>

#include <charconv>
#include <cmath>
#include <limits>

namespace smartcar {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

bool isSurroundingBlank(QChar c)
{
    return isBlank(c) || c == QLatin1Char('\r');
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Whether a well-formed decimal that does not fit a double is too large (rather than too
// small): the place of its first significant digit plus its exponent.
bool isHuge(const QByteArray& ascii)
{
    qsizetype e = ascii.indexOf('e');
    if (e < 0)
        e = ascii.indexOf('E');
    const QByteArray mantissa = e < 0 ? ascii : ascii.left(e);
    qint64 exponent = 0;
    if (e >= 0) {
        const QByteArray exp = ascii.mid(e + 1);
        const bool negative = exp.startsWith('-');
        for (char c : exp) {
            if (c >= '0' && c <= '9')
                exponent = qMin<qint64>(exponent * 10 + (c - '0'), qint64(1) << 40);
        }
        if (negative)
            exponent = -exponent;
    }
    const qsizetype point = mantissa.indexOf('.');
    const qsizetype intEnd = point < 0 ? mantissa.size() : point;
    qint64 place = 0; // decimal place of the first significant digit: 0 for units
    bool found = false;
    qsizetype intStart = 0;
    while (intStart < intEnd && !(mantissa[intStart] >= '0' && mantissa[intStart] <= '9'))
        ++intStart; // the sign
    for (qsizetype i = intStart; i < intEnd; ++i) {
        if (mantissa[i] != '0') {
            place = intEnd - i - 1;
            found = true;
            break;
        }
    }
    if (!found && point >= 0) {
        for (qsizetype i = point + 1; i < mantissa.size(); ++i) {
            if (mantissa[i] != '0') {
                place = -(i - point);
                found = true;
                break;
            }
        }
    }
    return found && place + exponent > 0;
}

// Converts ASCII text already known to be a well-formed decimal. from_chars is independent of
// the C locale, which Qt sets from the environment (a German desktop would read "1,5").
// Returns nothing on overflow; an underflow gives a signed zero.
std::optional<double> convertDecimal(const QByteArray& ascii)
{
    double value = 0;
    const char* first = ascii.constData();
    const char* last = first + ascii.size();
    const bool negative = first != last && *first == '-';
    if (first != last && (*first == '+' || *first == '-'))
        ++first; // from_chars takes no '+'; the sign is put back below
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        if (isHuge(ascii))
            return std::nullopt;
        value = 0;
    } else if (ec != std::errc() || ptr != last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

} // namespace

double toNumber(QStringView text, const QString& field)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSurroundingBlank(text[begin]))
        ++begin;
    while (end > begin && isSurroundingBlank(text[end - 1]))
        --end;

    // sign? digits* ('.' digits*)? with at least one digit, then (e|E) sign? digits+
    QByteArray ascii;
    qsizetype i = begin;
    if (i < end && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ascii += char(text[i++].unicode());
    int mantissaDigits = 0;
    while (i < end && isAsciiDigit(text[i])) {
        ascii += char(text[i++].unicode());
        ++mantissaDigits;
    }
    if (i < end && text[i] == QLatin1Char('.')) {
        ascii += '.';
        ++i;
        while (i < end && isAsciiDigit(text[i])) {
            ascii += char(text[i++].unicode());
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        throw Failure::typeMismatch(field);
    if (i < end && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ascii += 'e';
        ++i;
        if (i < end && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            ascii += char(text[i++].unicode());
        int exponentDigits = 0;
        while (i < end && isAsciiDigit(text[i])) {
            ascii += char(text[i++].unicode());
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            throw Failure::typeMismatch(field);
    }
    if (i != end)
        throw Failure::typeMismatch(field);

    const auto value = convertDecimal(ascii);
    if (!value)
        throw Failure::overflow(field);
    return *value;
}

double roundHalfEven(double value)
{
    const double down = std::floor(value);
    const double diff = value - down;
    if (diff < 0.5)
        return down;
    if (diff > 0.5)
        return down + 1;
    return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

qint32 toWholeNumber(QStringView text, const QString& field)
{
    const double whole = roundHalfEven(toNumber(text, field));
    if (whole < double(std::numeric_limits<qint32>::min())
        || whole > double(std::numeric_limits<qint32>::max()))
        throw Failure::overflow(field);
    return qint32(whole);
}

std::optional<QString> toPlainText(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    if (value == 0)
        return QStringLiteral("0");

    // 15 significant digits, rounded: d.dddddddddddddde[+-]x
    const QString sci = QString::number(value, 'e', 14);
    const qsizetype ePos = sci.indexOf(QLatin1Char('e'));
    const bool negative = sci.startsWith(QLatin1Char('-'));
    QString digits = sci.left(ePos);
    digits.remove(QLatin1Char('-'));
    digits.remove(QLatin1Char('.'));
    const int exponent = sci.mid(ePos + 1).toInt();
    if (exponent >= 15 || exponent < -15)
        return std::nullopt;

    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);

    QString out;
    if (exponent >= 0) {
        const qsizetype intDigits = exponent + 1;
        if (digits.size() <= intDigits) {
            out = digits + QString(intDigits - digits.size(), QLatin1Char('0'));
        } else {
            out = digits.left(intDigits) + QLatin1Char('.') + digits.mid(intDigits);
        }
    } else {
        out = QStringLiteral("0.") + QString(-exponent - 1, QLatin1Char('0')) + digits;
    }
    return negative ? QLatin1Char('-') + out : out;
}

std::optional<quint32> readLeadingHex(QStringView text)
{
    quint64 value = 0;
    for (QChar c : text) {
        if (isBlank(c))
            continue;
        const int digit = hexValue(c);
        if (digit < 0)
            break;
        value = value * 16 + quint64(digit);
        if (value > std::numeric_limits<quint32>::max())
            return std::nullopt;
    }
    return quint32(value);
}

double readLeadingDecimal(QStringView text)
{
    QByteArray ascii;
    bool signSeen = false;
    bool pointSeen = false;
    bool digitSeen = false;
    for (QChar c : text) {
        if (isBlank(c))
            continue;
        if (!signSeen && !pointSeen && !digitSeen
            && (c == QLatin1Char('+') || c == QLatin1Char('-'))) {
            signSeen = true;
            ascii += char(c.unicode());
        } else if (isAsciiDigit(c)) {
            digitSeen = true;
            ascii += char(c.unicode());
        } else if (c == QLatin1Char('.') && !pointSeen) {
            pointSeen = true;
            ascii += '.';
        } else {
            break;
        }
    }
    if (!digitSeen)
        return 0;
    const bool negative = ascii.startsWith('-');
    const auto value = convertDecimal(ascii);
    if (!value)
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    return *value;
}

} // namespace smartcar
