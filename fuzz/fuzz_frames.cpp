// Operator text of any shape in the three driving fields. A speed byte always carries two
// decimal digits; a raw byte is whatever the leading hex digits say; a turn time is the
// rounded number; anything else is the console's own failure, never a wrong byte.
#include "car/frames.h"
#include "common/failure.h"
#include "common/numbers.h"
#include "fuzz/fuzzcheck.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Half the speed as it reads back from 15 significant digits ("%.15g" rounds the same way).
double halfAsWritten(double speed)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", speed / 2.0);
    return std::strtod(buf, nullptr);
}

bool isBadNumberFailure(const smartcar::Failure& f)
{
    return f.kind() == smartcar::Failure::Kind::TypeMismatch
        || f.kind() == smartcar::Failure::Kind::Overflow;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace smartcar;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    try {
        const quint8 b = speedByte(text);
        // Both 4-bit digits are decimal: the car reads them as tens and units.
        require((b >> 4) <= 9 && (b & 0x0F) <= 9);
        const double speed = toNumber(text, kSpeedField);
        const double half = halfAsWritten(speed);
        if (half >= 1.0) {
            // The byte is the whole part of half the speed, written in its decimal digits.
            const int whole = int(std::floor(half));
            require(whole < 100);
            require(b == quint8(((whole / 10) << 4) | (whole % 10)));
        } else {
            require(b == 0); // halves below 1, negatives and tiny values included
        }
    } catch (const Failure& f) {
        require(isBadNumberFailure(f));
        // A refused speed is either not a number at all or half of it reaches 100.
        if (f.kind() == Failure::Kind::Overflow) {
            try {
                require(halfAsWritten(toNumber(text, kSpeedField)) >= 100.0);
            } catch (const Failure& g) {
                require(g.kind() == Failure::Kind::Overflow); // beyond a double
            }
        }
    }

    try {
        const quint8 b = rawByte(text);
        const auto value = readLeadingHex(text);
        require(value && *value == b);
    } catch (const Failure& f) {
        require(f.kind() == Failure::Kind::Overflow);
        const auto value = readLeadingHex(text);
        require(!value || *value > 0xFF);
    }

    try {
        const qint32 ms = turnTime(text);
        require(turnWait(ms).count() >= 0);
        require(turnWait(ms).count() == (ms > 0 ? ms : 0));
        require(ms <= kMaxTurnTimeMs);
    } catch (const Failure& f) {
        // A turn longer than the longest allowed is refused, not waited.
        if (f.kind() == Failure::Kind::OutOfRange)
            require(toWholeNumber(text, kTurnTimeField) > kMaxTurnTimeMs);
        else
            require(isBadNumberFailure(f));
    }
    return 0;
}
