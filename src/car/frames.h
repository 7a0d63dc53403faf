#pragma once

#include "car/carcode.h"
#include "common/fields.h"

#include <QString>
#include <QStringView>

#include <chrono>

// The bytes of the frames sent to the car.

namespace smartcar {

// The speed byte of an advance, retreat or hot-start frame. The car reads it as two 4-bit
// decimal digits, the tens and units of half the speed: "120" gives 0x60, "121" too, "-20"
// gives 0x00. Throws Failure::typeMismatch for text that is not a number and
// Failure::overflow for a half of 100 or more.
quint8 speedByte(QStringView newSpeedText);

// The byte typed in hexadecimal in the raw command box: "ff" and "0FF" give 0xFF, "7G" 0x07,
// "", "G1" and "0x10" give 0x00. Throws Failure::overflow for a value above 0xFF.
quint8 rawByte(QStringView commandText);

// The longest turn the console will hold still for. A turn blocks the whole console, so a
// few digits too many must not freeze it (and keep the wheels turned) for days.
inline constexpr qint32 kMaxTurnTimeMs = 10000;

// The turn time: toMilliseconds of the text with the limit kMaxTurnTimeMs. A negative time is
// accepted and means no wait.
qint32 turnTime(QStringView changeTimeText);

// How long a turn keeps its frame on the wire: a negative turn time means no wait at all.
inline std::chrono::milliseconds turnWait(qint32 turnTimeMs)
{
    return std::chrono::milliseconds(turnTimeMs > 0 ? turnTimeMs : 0);
}

} // namespace smartcar
