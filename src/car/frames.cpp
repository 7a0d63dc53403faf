#include "car/frames.h"

#include "common/failure.h"
#include "common/numbers.h"

#include <cmath>

namespace smartcar {

quint8 speedByte(QStringView newSpeedText)
{
    const double half = toNumber(newSpeedText, kSpeedField) / 2.0;
    const std::optional<QString> plain = toPlainText(half);
    if (!plain) {
        // Plain notation cannot show the half. A large positive half is as much too fast as
        // any other half of 100 or more; the exponent digits of "1E+15" must never become a
        // speed byte. Large negative halves and tiny ones read as no digit at all, that is 0.
        if (half >= 1.0)
            throw Failure::overflow(kSpeedField);
        return 0;
    }
    const std::optional<quint32> value = readLeadingHex(*plain);
    if (!value || *value > 0xFF)
        throw Failure::overflow(kSpeedField);
    return quint8(*value);
}

quint8 rawByte(QStringView commandText)
{
    const std::optional<quint32> value = readLeadingHex(commandText);
    if (!value || *value > 0xFF)
        throw Failure::overflow(kCommandField);
    return quint8(*value);
}

qint32 turnTime(QStringView changeTimeText)
{
    return toMilliseconds(changeTimeText, kTurnTimeField, kMaxTurnTimeMs);
}

} // namespace smartcar
