#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <optional>

// The command codes and how a frame's bytes read, shared by the console and the simulated car.

namespace smartcar {

// The code byte that starts every built-in frame. The car's controller knows nothing else.
enum class CarCode : quint8 {
    TurnLeft = 0x81,
    TurnRight = 0x82,
    CentreAfterLeft = 0x83,
    CentreAfterRight = 0x84,
    Advance = 0x85,
    Retreat = 0x86,
    ColdBrake = 0x87,
    RangingOn = 0x88,
    RangingOff = 0x89,
    HotStart = 0x8A,
};

inline constexpr char codeByte(CarCode code)
{
    return char(quint8(code));
}

// The code a byte stands for; nothing for a byte outside the codes.
inline constexpr std::optional<CarCode> carCodeOf(quint8 byte)
{
    if (byte < quint8(CarCode::TurnLeft) || byte > quint8(CarCode::HotStart))
        return std::nullopt;
    return CarCode(byte);
}

// Advance, retreat and hot start: the frame's second byte is the speed.
inline constexpr bool carriesSpeed(CarCode code)
{
    return code == CarCode::Advance || code == CarCode::Retreat || code == CarCode::HotStart;
}

// The speed a speed byte carries: its two 4-bit digits are the tens and units of half the
// speed (0x60 is 120). A digit above 9 counts with its value, as the car counts it (0xFF is
// 15 tens and 15 units: 330).
inline constexpr int speedOfSpeedByte(quint8 speedByte)
{
    return 2 * ((speedByte >> 4) * 10 + (speedByte & 0x0F));
}

// "85 60": two upper-case hexadecimal digits per byte, separated by blanks, as both ends
// write frames in their logs.
inline QString hexText(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
}

} // namespace smartcar
