#include "monitor/poll.h"

#include "common/failure.h"
#include "common/numbers.h"

namespace smartcar {

namespace {

// The reading is always the two digits readingText passed on.
int readingValue(QStringView reading)
{
    bool ok = false;
    const int value = reading.toInt(&ok, 16);
    Q_ASSERT(ok && reading.size() == 2);
    return value;
}

} // namespace

QString hexText(QByteArrayView received)
{
    return QString::fromLatin1(received.toByteArray().toHex().toUpper());
}

std::optional<QString> readingText(const QString& hexText)
{
    if (hexText.size() != 2)
        return std::nullopt;
    return hexText;
}

QString speedCaption(QStringView reading)
{
    return QStringLiteral("%1R/Min").arg(readingValue(reading), 2, 10, QLatin1Char('0'));
}

bool isAlarm(QStringView reading, QStringView alarmSpeedText)
{
    // An alarm speed of a thousand digits reads as infinity and is simply never reached.
    return double(readingValue(reading)) > readLeadingDecimal(alarmSpeedText);
}

qint32 samplingInterval(QStringView text)
{
    const QString field = QStringLiteral("「采样间隔」");
    const qint32 ms = toWholeNumber(text, field);
    if (ms > kLongestSamplingIntervalMs)
        throw Failure::outOfRange(field, 0, kLongestSamplingIntervalMs, QStringLiteral("毫秒"));
    return ms;
}

} // namespace smartcar
