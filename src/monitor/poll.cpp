#include "monitor/poll.h"

#include "common/fields.h"
#include "common/numbers.h"

namespace smartcar {

std::optional<quint8> readingOf(QByteArrayView received)
{
    if (received.size() != 1)
        return std::nullopt;
    return quint8(received.front());
}

QString speedCaption(quint8 reading)
{
    return QStringLiteral("%1R/Min").arg(int(reading), 2, 10, QLatin1Char('0'));
}

bool isAlarm(quint8 reading, QStringView alarmSpeedText)
{
    // An alarm speed of a thousand digits reads as infinity and is simply never reached.
    return double(reading) > readLeadingDecimal(alarmSpeedText);
}

qint32 samplingInterval(QStringView text)
{
    return toMilliseconds(text, kSamplingIntervalField, kLongestSamplingIntervalMs);
}

} // namespace smartcar
