// Whatever bytes a tick reads, with any alarm speed text: a reading exists only for exactly
// one byte, its caption gives the byte's value back, and the lamp decision depends on that
// value alone.
#include "common/numbers.h"
#include "fuzz/fuzzcheck.h"
#include "monitor/poll.h"

#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace smartcar;
    if (size == 0)
        return 0;
    // First byte: how many of the following bytes the tick received; the rest is MaxSpeed.
    const size_t n = qMin<size_t>(data[0] % 8, size - 1);
    const QByteArray received(reinterpret_cast<const char*>(data + 1), qsizetype(n));
    const QString alarmText = QString::fromUtf8(reinterpret_cast<const char*>(data + 1 + n),
                                                qsizetype(size - 1 - n));

    const auto reading = readingOf(received);
    require(reading.has_value() == (received.size() == 1));
    if (!reading)
        return 0;
    const int value = *reading;
    require(value == quint8(received[0]));

    const QString caption = speedCaption(*reading);
    require(caption.endsWith(QStringLiteral("R/Min")));
    const QString digits = caption.chopped(5);
    require(digits.size() >= 2);
    bool ok = false;
    require(digits.toInt(&ok) == value && ok);

    const bool lit = isAlarm(*reading, alarmText);
    // The lamp decision is monotonic in the speed: a faster reading under the same alarm
    // speed lights whenever a slower one does, and 0 never lights above a non-negative one.
    if (value < 255)
        require(!lit || isAlarm(quint8(value + 1), alarmText));
    const double alarm = readLeadingDecimal(alarmText);
    if (!std::isnan(alarm) && alarm >= 255.0)
        require(!lit);
    if (!std::isnan(alarm) && alarm < 0.0)
        require(lit);
    return 0;
}
