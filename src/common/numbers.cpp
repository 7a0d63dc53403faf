#include "common/numbers.h"

#include "common/failure.h"

#include <QLocale>

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

// Converts text already known to be a well-formed ASCII decimal. QLocale::c() reads it the
// same whatever locale Qt took from the environment (a German desktop would read "1,5").
// Gives an infinity of the right sign on overflow and zero on underflow.
double convertDecimal(QStringView ascii)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(ascii, &ok);
    return ok || std::isinf(value) ? value : 0.0;
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
    qsizetype i = begin;
    const auto skipDigits = [&] {
        const qsizetype from = i;
        while (i < end && isAsciiDigit(text[i]))
            ++i;
        return i - from;
    };
    const auto skipSign = [&] {
        if (i < end && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            ++i;
    };
    skipSign();
    qsizetype mantissaDigits = skipDigits();
    if (i < end && text[i] == QLatin1Char('.')) {
        ++i;
        mantissaDigits += skipDigits();
    }
    if (mantissaDigits == 0)
        throw Failure::typeMismatch(field);
    if (i < end && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        skipSign();
        if (skipDigits() == 0)
            throw Failure::typeMismatch(field);
    }
    if (i != end)
        throw Failure::typeMismatch(field);

    const double value = convertDecimal(text.sliced(begin, end - begin));
    if (std::isinf(value))
        throw Failure::overflow(field);
    return value;
}

qint32 toWholeNumber(QStringView text, const QString& field)
{
    // nearbyint rounds in the default mode, to nearest with an exact half going to the even one.
    const double whole = std::nearbyint(toNumber(text, field));
    if (whole < double(std::numeric_limits<qint32>::min())
        || whole > double(std::numeric_limits<qint32>::max()))
        throw Failure::overflow(field);
    return qint32(whole);
}

qint32 toMilliseconds(QStringView text, const QString& field, qint32 limitMs)
{
    const qint32 ms = toWholeNumber(text, field);
    if (ms > limitMs)
        throw Failure::aboveLimit(field, limitMs, QStringLiteral("毫秒"));
    return ms;
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

bool startsWithHexPrefix(QStringView text)
{
    QString head;
    for (const QChar c : text) {
        if (isBlank(c))
            continue;
        head += c;
        if (head.size() == 2)
            break;
    }
    return head.compare(u"0x", Qt::CaseInsensitive) == 0
        || head.compare(u"&h", Qt::CaseInsensitive) == 0;
}

double readLeadingDecimal(QStringView text)
{
    QString ascii;
    bool signSeen = false;
    bool pointSeen = false;
    bool digitSeen = false;
    for (QChar c : text) {
        if (isBlank(c))
            continue;
        if (!signSeen && !pointSeen && !digitSeen
            && (c == QLatin1Char('+') || c == QLatin1Char('-'))) {
            signSeen = true;
        } else if (isAsciiDigit(c)) {
            digitSeen = true;
        } else if (c == QLatin1Char('.') && !pointSeen) {
            pointSeen = true;
        } else {
            break;
        }
        ascii += c;
    }
    return digitSeen ? convertDecimal(ascii) : 0.0;
}

} // namespace smartcar
