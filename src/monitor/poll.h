#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// What one poll tick makes of the bytes it read.

namespace smartcar {

// The tick's reading: the byte, when exactly one came in. The car sends one byte per reading,
// so anything longer is two readings run together and shows nothing.
std::optional<quint8> readingOf(QByteArrayView received);

// The speed display for a reading: its value in decimal with at least two digits, then
// "R/Min" (0x3C gives "60R/Min", 0x05 gives "05R/Min", 0xFF gives "255R/Min").
QString speedCaption(quint8 reading);

// Whether a reading sets off the alarm: the speed (0 to 255) is above the alarm speed the
// operator typed, read leniently as a decimal ("4 5" is 45, "45km" 45, "abc" 0). An equal
// speed does not.
bool isAlarm(quint8 reading, QStringView alarmSpeedText);

// A tick waits the sampling interval while the window keeps handling events; one that waits
// longer than this would leave monitoring looking alive with no reading for as long.
constexpr qint32 kLongestSamplingIntervalMs = 10000;

// The sampling interval: toMilliseconds of the text with the limit kLongestSamplingIntervalMs.
// Zero or below stands and means no wait.
qint32 samplingInterval(QStringView text);

} // namespace smartcar
